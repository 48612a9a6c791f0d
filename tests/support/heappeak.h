// The most heap a piece of work holds at once, for tests that a routine
// refuses to build what would not fit before it builds it. Only the
// sanitizer builds, where every allocation passes the allocator's hooks, can
// tell; `make test` runs those.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#if defined(__SANITIZE_ADDRESS__)
#define PX_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PX_HEAP_HOOKS 1
#endif
#endif

#ifdef PX_HEAP_HOOKS
extern "C" size_t __sanitizer_get_current_allocated_bytes();
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));

namespace heappeak {
inline std::atomic<bool> watching{false};
inline std::atomic<size_t> peak{0};

inline void OnMalloc(const volatile void*, size_t) {
  if (!watching.load(std::memory_order_relaxed)) return;
  const size_t now = __sanitizer_get_current_allocated_bytes();
  size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}
// The allocator takes the two hooks only as a pair.
inline void OnFree(const volatile void*) {}
}  // namespace heappeak
#endif

// Bytes of heap above what was in use before, at the fullest moment of
// `job`, or -1 where the build cannot tell.
inline int64_t PeakHeapDuring(const std::function<void()>& job) {
#ifdef PX_HEAP_HOOKS
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(heappeak::OnMalloc, heappeak::OnFree) != 0;
  const size_t before = __sanitizer_get_current_allocated_bytes();
  heappeak::peak = before;
  heappeak::watching = installed;
  job();
  heappeak::watching = false;
  return installed ? static_cast<int64_t>(heappeak::peak.load() - before) : -1;
#else
  job();
  return -1;
#endif
}
