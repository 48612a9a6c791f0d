#include "object.h"

#include <mutex>
#include <unordered_map>

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uint64_t, TObject*> objects;
  uint64_t next = 1;
};

std::atomic<int64_t> liveObjects{0};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

}  // namespace

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == other) return true;
  return false;
}

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo info{"TObject", nullptr};
  return info;
}

TObject::TObject() { liveObjects.fetch_add(1, std::memory_order_relaxed); }
TObject::TObject(const TObject&) { liveObjects.fetch_add(1, std::memory_order_relaxed); }

int64_t TObject::LiveCount() { return liveObjects.load(std::memory_order_relaxed); }

TObject::~TObject() {
  liveObjects.fetch_sub(1, std::memory_order_relaxed);
  if (uint64_t h = handle_.load(std::memory_order_acquire)) {
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    table.objects.erase(h);
  }
}

uint64_t TObject::Handle() const {
  if (uint64_t h = handle_.load(std::memory_order_acquire)) return h;
  HandleTable& table = Handles();
  std::lock_guard guard(table.lock);
  if (uint64_t h = handle_.load(std::memory_order_relaxed)) return h;
  uint64_t h = table.next++;
  table.objects.emplace(h, const_cast<TObject*>(this));
  handle_.store(h, std::memory_order_release);
  return h;
}

TObject* TObject::FromHandle(uint64_t handle) {
  if (handle == 0) return nullptr;
  HandleTable& table = Handles();
  std::lock_guard guard(table.lock);
  auto it = table.objects.find(handle);
  return it == table.objects.end() ? nullptr : it->second;
}
