// Ownership of the objects scripts create: one process-wide table, locked,
// since scripts may run on any worker thread.
#include "scriptowned.h"

#include <mutex>
#include <unordered_map>

#include "values.h"

namespace {

struct OwnedTable {
  std::mutex lock;
  std::unordered_map<const TObject*, std::unique_ptr<TObject>> objects;
};

OwnedTable& Owned() {
  static OwnedTable table;
  return table;
}

}  // namespace

Variant AdoptScriptObject(std::unique_ptr<TObject> obj) {
  TObject* raw = obj.get();
  if (!raw) return ObjectToValue(nullptr);
  OwnedTable& t = Owned();
  std::lock_guard<std::mutex> guard(t.lock);
  t.objects[raw] = std::move(obj);
  return ObjectToValue(raw);
}

bool IsScriptObject(const TObject* obj) {
  OwnedTable& t = Owned();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.objects.count(obj) != 0;
}

std::unique_ptr<TObject> ReleaseScriptObject(const TObject* obj) {
  OwnedTable& t = Owned();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.objects.find(obj);
  if (it == t.objects.end()) return nullptr;
  std::unique_ptr<TObject> owned = std::move(it->second);
  t.objects.erase(it);
  return owned;
}

bool FreeScriptObject(const TObject* obj) {
  // Destroyed outside the lock: a destructor may free further script objects.
  std::unique_ptr<TObject> owned = ReleaseScriptObject(obj);
  return owned != nullptr;
}
