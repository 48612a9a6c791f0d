// Names a registry was asked for and did not know, remembered for as long as
// the registry stays as it was, so that a name asked for again and again is
// turned away without a search.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

// Safe to use from several threads. A state of the registry is named by a
// generation number that changes with every change to the registry.
class TNameMissCache {
 public:
  TNameMissCache();

  // True when `name` (any case) was remembered as unknown in `generation`.
  bool Recall(uint64_t generation, std::string_view name);
  // Remembers `name` as unknown in `generation`; names remembered for any
  // other generation are forgotten.
  void Remember(uint64_t generation, std::string_view name);

 private:
  // A thread's memo of its last hit in a cache.
  struct TRecalled;
  // This thread's memo for the cache numbered `id`.
  static TRecalled& Memo(uint64_t id);
  // Recall past the memo, which a hit updates.
  bool RecallLocked(uint64_t generation, std::string_view name, TRecalled& memo);

  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  // Tells caches apart in each thread's memo of its last hits, which is
  // read without the lock.
  const uint64_t id_;
  std::mutex lock_;
  uint64_t generation_ = 0;
  std::unordered_set<std::string, Hash, Equal> names_;
  std::string last_;  // the name recalled last, one of names_ (or empty)
};
