// The cache of names a registry did not know.
#include "misscache.h"

#include <atomic>

#include "samename.h"

// A thread's last hit in a cache. A miss holds for as long as the
// generation does, so a hit once seen in a generation needs no lock to be
// seen again; a few slots keep nested interpreters' caches apart. Plain
// bytes, so that the thread's copy needs no construction on each access;
// longer names and names written otherwise take the locked path.
constexpr size_t kRecalledLength = 31;

struct TNameMissCache::TRecalled {
  uint64_t cache;  // 0: empty
  uint64_t generation;
  uint8_t length;
  char name[kRecalledLength];

  bool Holds(uint64_t id, uint64_t gen, std::string_view text) const {
    if (cache != id || generation != gen || length != text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
      if (name[i] != text[i]) return false;
    return true;
  }
  void Keep(uint64_t id, uint64_t gen, std::string_view text) {
    if (text.size() > kRecalledLength) return;
    cache = id;
    generation = gen;
    length = static_cast<uint8_t>(text.size());
    text.copy(name, text.size());
  }
};

namespace {

// Enough for every name of any real script; a text made of endless distinct
// names starts over rather than growing without bound.
constexpr size_t kMaxNames = 4096;

std::atomic<uint64_t> lastCacheId{0};

}  // namespace

TNameMissCache::TNameMissCache() : id_(lastCacheId.fetch_add(1, std::memory_order_relaxed) + 1) {}

TNameMissCache::TRecalled& TNameMissCache::Memo(uint64_t id) {
  constexpr size_t kSlots = 4;
  thread_local TRecalled recalled[kSlots];
  return recalled[id % kSlots];
}

size_t TNameMissCache::Hash::operator()(std::string_view name) const {
  // Names equal in any case must hash alike: ASCII bytes hash with bit 5
  // set (the two cases of a letter differ there only), other bytes by
  // their count alone, since not every pair of theirs differs that way.
  size_t h = 14695981039346656037ull;
  for (char c : name) {
    const unsigned char b = static_cast<unsigned char>(c);
    h = (h ^ (b < 0x80 ? (b | 0x20) : 0x80)) * 1099511628211ull;
  }
  return h;
}

bool TNameMissCache::Equal::operator()(std::string_view a, std::string_view b) const {
  return SameName(a, b);
}

bool TNameMissCache::Recall(uint64_t generation, std::string_view name) {
  TRecalled& memo = Memo(id_);
  if (memo.Holds(id_, generation, name)) return true;
  return RecallLocked(generation, name, memo);
}

bool TNameMissCache::RecallLocked(uint64_t generation, std::string_view name, TRecalled& memo) {
  std::lock_guard<std::mutex> guard(lock_);
  if (generation != generation_ || names_.empty()) return false;
  // A loop asks for one name over and over: the last one recalled is
  // checked before the table.
  if (!last_.empty() && Equal{}(last_, name)) {
    memo.Keep(id_, generation, name);
    return true;
  }
  auto it = names_.find(name);
  if (it == names_.end()) return false;
  last_ = *it;
  memo.Keep(id_, generation, name);
  return true;
}

void TNameMissCache::Remember(uint64_t generation, std::string_view name) {
  std::lock_guard<std::mutex> guard(lock_);
  if (generation != generation_ || names_.size() >= kMaxNames) {
    names_.clear();
    last_.clear();
    generation_ = generation;
  }
  names_.emplace(name);
}
