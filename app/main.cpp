// parlomix: the program entry.
#include <string>
#include <vector>

#include "application.h"
#include "program.h"
#include "startup.h"

int main(int argc, char** argv) {
  // Taken before the application object removes the arguments Qt knows.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (!InitSettings(argc, argv)) return 1;
  TParlomixApp app(argc, argv);
  return RunProgram(app, std::move(args));
}
