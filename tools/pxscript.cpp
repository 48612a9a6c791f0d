// pxscript FILE: runs a script file through the interpreter's entry (block,
// declaration, unit with main, program or expression), prints what it wrote
// and its result on stdout; a failure prints its message on stderr and exits
// with 1.
#include <fstream>
#include <iostream>
#include <sstream>

#include "devhost.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pxscript FILE\n";
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 2;
  }
  std::ostringstream text;
  text << file.rdbuf();
  TInterpreterProgram program;
  std::string out;
  std::string error = RunDevScript(text.str(), out, program);
  std::cout << out;
  std::cout.flush();
  if (!error.empty()) {
    std::cerr << error << "\n";
    return 1;
  }
  return 0;
}
