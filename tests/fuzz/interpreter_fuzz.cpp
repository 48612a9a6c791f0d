// Feeds arbitrary text to the interpreter's entry (block, declaration, unit,
// program or expression) with the developer host: nothing may crash, hang
// or leak. A statement budget set through OnStatement ends endless loops.
#include <cstdint>
#include <exception>
#include <string>

#include "devhost.h"
#include "errors.h"

namespace {

constexpr int kStatementBudget = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TInterpreterProgram program;
  int statements = 0;
  program.OnStatement = [&statements](TObject*) {
    if (++statements > kStatementBudget) throw EInterpreterError(3, -1);
  };
  std::string out;
  RunDevScript(text, out, program);
  return 0;
}
