// The cache of names a registry did not know.
#include "misscache.h"

#include <atomic>

#include "cp1251.h"

namespace {

// Enough for every name of any real script; a text made of endless distinct
// names starts over rather than growing without bound.
constexpr size_t kMaxNames = 4096;

// A thread's last hit in a cache. A miss holds for as long as the
// generation does, so a hit once seen in a generation needs no lock to be
// seen again; a few slots keep nested interpreters' caches apart.
struct TRecalled {
  uint64_t cache = 0;  // 0: empty
  uint64_t generation = 0;
  std::string name;
};

constexpr size_t kRecalledSlots = 4;
thread_local TRecalled recalled[kRecalledSlots];

std::atomic<uint64_t> lastCacheId{0};

void Memorize(TRecalled& memo, uint64_t cache, uint64_t generation, std::string_view name) {
  memo.cache = cache;
  memo.generation = generation;
  memo.name = name;
}

}  // namespace

TNameMissCache::TNameMissCache() : id_(lastCacheId.fetch_add(1, std::memory_order_relaxed) + 1) {}

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
  return a.size() == b.size() && cp1251::SameText(a, b);
}

bool TNameMissCache::Recall(uint64_t generation, std::string_view name) {
  TRecalled& memo = recalled[id_ % kRecalledSlots];
  if (memo.cache == id_ && memo.generation == generation && Equal{}(memo.name, name)) return true;
  std::lock_guard<std::mutex> guard(lock_);
  if (generation != generation_ || names_.empty()) return false;
  // A loop asks for one name over and over: the last one recalled is
  // checked before the table.
  if (!last_.empty() && Equal{}(last_, name)) {
    Memorize(memo, id_, generation, name);
    return true;
  }
  auto it = names_.find(name);
  if (it == names_.end()) return false;
  last_ = *it;
  Memorize(memo, id_, generation, name);
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
