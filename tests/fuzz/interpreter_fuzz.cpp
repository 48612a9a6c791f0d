// Feeds arbitrary text to the interpreter's entry (block, declaration, unit,
// program or expression) with the developer host: nothing may crash, hang
// or leak. A statement budget set through OnStatement ends endless loops;
// a memory budget smaller than a gate's keeps each run quick. The seeds in
// corpus/interpreter are the scripts that once broke the engine: deep
// nesting through host calls, records holding themselves, strings and
// arrays that double. Run with -rss_limit_mb=1024: no run may pass 1 GB.
#include <cstdint>
#include <exception>
#include <string>

#include "devhost.h"
#include "errors.h"

namespace {

constexpr int kStatementBudget = 20000;
constexpr int64_t kMemoryBudget = int64_t{64} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TInterpreterProgram program;
  program.Limits().MemoryBudget = kMemoryBudget;
  int statements = 0;
  program.OnStatement = [&statements](TObject*) {
    if (++statements > kStatementBudget) throw EInterpreterError(3, -1);
  };
  std::string out;
  RunDevScript(text, out, program);
  return 0;
}
