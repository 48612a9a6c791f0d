// RegExp over PCRE2 (8-bit, no UTF: every byte is one character). Gates
// run the same few patterns over pages of hundreds of kilobytes at every
// send, so patterns are compiled once, to machine code where the library
// can, and kept.
#include "regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// Limits against catastrophic backtracking: a runaway pattern fails after
// a few hundred milliseconds and at most 128 MB of backtracking memory,
// while a lazy group such as "((?:.|\n)*?)" still spans a page of half a
// megabyte.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kDepthLimit = 5'000'000;
constexpr uint32_t kHeapLimitKiB = 128 * 1024;

struct MatchDataFree {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};

// Patterns kept compiled; past this many the cache starts afresh, so that a
// script making patterns of its own in a loop cannot grow it without end.
constexpr size_t kMaxCachedPatterns = 256;

// A compiled pattern (nullptr when the pattern does not compile); shared by
// every thread, which PCRE2 allows for matching.
using CompiledPattern = std::shared_ptr<pcre2_code>;

CompiledPattern Compile(std::string_view pattern) {
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   PCRE2_MULTILINE | PCRE2_DOTALL, &errorCode, &errorOffset, nullptr);
  if (!code) return nullptr;
  // Without machine code (no JIT on this platform, or no memory for it) the
  // interpreter matches alone.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  return CompiledPattern(code, pcre2_code_free);
}

CompiledPattern CachedPattern(std::string_view pattern) {
  static std::mutex lock;
  static std::unordered_map<std::string, CompiledPattern> cache;
  {
    std::lock_guard guard(lock);
    auto it = cache.find(std::string(pattern));
    if (it != cache.end()) return it->second;
  }
  CompiledPattern compiled = Compile(pattern);
  std::lock_guard guard(lock);
  if (cache.size() >= kMaxCachedPatterns) cache.clear();
  cache.emplace(std::string(pattern), compiled);
  return compiled;
}

std::string ErrorText(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) return "Regular expression error " + std::to_string(code);
  return reinterpret_cast<const char*>(buffer);
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
  const CompiledPattern code = CachedPattern(pattern);
  if (!code) return {};
  std::unique_ptr<pcre2_match_data, MatchDataFree> match(pcre2_match_data_create_from_pattern(code.get(), nullptr));
  if (!match) throw ERegExpError(ErrorText(PCRE2_ERROR_NOMEMORY));
  const auto context = BoundedContext();
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(s.empty() ? "" : s.data());  // the engine refuses a null subject
  int captured = pcre2_match(code.get(), subject, s.size(), 0, 0, match.get(), context.get());
  // Machine code runs on a small stack of its own; a match that needs more
  // (a lazy group across a whole page) is left to the interpreter, whose
  // limits are the ones above.
  if (captured == PCRE2_ERROR_JIT_STACKLIMIT)
    captured = pcre2_match(code.get(), subject, s.size(), 0, PCRE2_NO_JIT, match.get(), context.get());
  if (captured == PCRE2_ERROR_NOMATCH) return {};
  // A limit reached says nothing about whether the page holds the text:
  // read as "no match" it would let a script carry on as if the page lacked
  // it, so it fails the script like every other engine failure.
  if (captured < 0) throw ERegExpError(ErrorText(captured));
  // captured is one more than the highest group that took part.
  if (index < 0 || index >= captured) return {};
  const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(match.get());
  const PCRE2_SIZE start = offsets[2 * index], end = offsets[2 * index + 1];
  if (start == PCRE2_UNSET || end < start) return {};
  return std::string(s.substr(start, end - start));
}
