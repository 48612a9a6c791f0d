// Feeds arbitrary bytes to the tokenizer: every token must lie inside the
// text, the read position must always advance until the end, and re-reading
// from a token's start must give the same token.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "errors.h"
#include "tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string source(reinterpret_cast<const char*>(data), size);
  std::string_view text = ScriptText(source);
  size_t offset = 0;
  try {
    for (;;) {
      TToken token = ReadTokenIn(text, offset);
      if (token.Start < offset || token.End < token.Start || token.End > text.size()) std::abort();
      int32_t kind = ClassifyToken(token.Text);
      OperatorPriority(kind);
      if (token.Text.empty()) break;
      if (token.End == offset) std::abort();  // no progress
      TToken again = ReadTokenIn(text, offset);
      if (again.Text != token.Text || again.End != token.End) std::abort();
      offset = token.End;
    }
  } catch (const EInterpreterError& e) {
    if (e.ErrCode != 101 || e.ErrPos < 0 || static_cast<size_t>(e.ErrPos) > text.size()) std::abort();
  } catch (const EConvertError&) {
  }
  return 0;
}
