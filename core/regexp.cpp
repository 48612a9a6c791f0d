// RegExp over PCRE2 (8-bit, no UTF: every byte is one character).
#include "regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace {

// Limits against catastrophic backtracking: a runaway pattern gives up after
// a few hundred milliseconds and at most 128 MB of backtracking memory,
// while a lazy group such as "((?:.|\n)*?)" still spans a page of half a
// megabyte.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kDepthLimit = 5'000'000;
constexpr uint32_t kHeapLimitKiB = 128 * 1024;

struct CodeFree {
  void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) return "Regular expression error " + std::to_string(code);
  return reinterpret_cast<const char*>(buffer);
}

bool IsLimitError(int code) {
  return code == PCRE2_ERROR_MATCHLIMIT || code == PCRE2_ERROR_DEPTHLIMIT || code == PCRE2_ERROR_HEAPLIMIT;
}

std::unique_ptr<pcre2_match_context, MatchContextFree> BoundedContext() {
  std::unique_ptr<pcre2_match_context, MatchContextFree> context(pcre2_match_context_create(nullptr));
  if (!context) throw ERegExpError(ErrorText(PCRE2_ERROR_NOMEMORY));
  pcre2_set_match_limit(context.get(), kMatchLimit);
  pcre2_set_depth_limit(context.get(), kDepthLimit);
  pcre2_set_heap_limit(context.get(), kHeapLimitKiB);
  return context;
}

}  // namespace

std::string RegExp(std::string_view s, std::string_view pattern, int index) {
  if (pattern.empty()) throw ERegExpError("Required value is null");
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  std::unique_ptr<pcre2_code, CodeFree> code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                                           PCRE2_MULTILINE | PCRE2_DOTALL, &errorCode, &errorOffset,
                                                           nullptr));
  if (!code) return {};
  std::unique_ptr<pcre2_match_data, MatchDataFree> match(pcre2_match_data_create_from_pattern(code.get(), nullptr));
  if (!match) throw ERegExpError(ErrorText(PCRE2_ERROR_NOMEMORY));
  const auto context = BoundedContext();
  const char* subject = s.empty() ? "" : s.data();  // the engine refuses a null subject
  const int captured =
      pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(subject), s.size(), 0, 0, match.get(), context.get());
  if (captured == PCRE2_ERROR_NOMATCH || IsLimitError(captured)) return {};
  if (captured < 0) throw ERegExpError(ErrorText(captured));
  // captured is one more than the highest group that took part.
  if (index < 0 || index >= captured) return {};
  const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(match.get());
  const PCRE2_SIZE start = offsets[2 * index], end = offsets[2 * index + 1];
  if (start == PCRE2_UNSET || end < start) return {};
  return std::string(s.substr(start, end - start));
}
