// Ownership of the objects scripts create: a table per program object, and
// one process-wide table for objects made while no program runs.
#include "scriptowned.h"

#include <vector>

#include "scriptrun.h"
#include "values.h"

namespace {

TScriptObjects& Unowned() {
  static TScriptObjects table;
  return table;
}

// Every table that may own an object named on this thread: the runs from
// the innermost out, then the process-wide one.
template <class F>
auto FirstOwner(F ask) -> decltype(ask(Unowned())) {
  for (const TScriptRunScope* s = CurrentScriptRunScope(); s; s = s->Outer())
    if (auto found = ask(s->Run().Objects)) return found;
  return ask(Unowned());
}

}  // namespace

TScriptObjects::~TScriptObjects() { Clear(); }

Variant TScriptObjects::Adopt(std::unique_ptr<TObject> obj) {
  TObject* raw = obj.get();
  if (!raw) return ObjectToValue(nullptr);
  std::lock_guard<std::mutex> guard(lock_);
  objects_[raw] = std::move(obj);
  return ObjectToValue(raw);
}

bool TScriptObjects::Owns(const TObject* obj) const {
  std::lock_guard<std::mutex> guard(lock_);
  return objects_.count(obj) != 0;
}

std::unique_ptr<TObject> TScriptObjects::Release(const TObject* obj) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = objects_.find(obj);
  if (it == objects_.end()) return nullptr;
  std::unique_ptr<TObject> owned = std::move(it->second);
  objects_.erase(it);
  return owned;
}

size_t TScriptObjects::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return objects_.size();
}

void TScriptObjects::Clear() {
  // Destroyed outside the lock: a destructor may free further script
  // objects, here or in another table.
  std::unordered_map<const TObject*, std::unique_ptr<TObject>> doomed;
  {
    std::lock_guard<std::mutex> guard(lock_);
    doomed.swap(objects_);
  }
}

Variant AdoptScriptObject(std::unique_ptr<TObject> obj) {
  TScriptRun* run = CurrentScriptRun();
  return (run ? run->Objects : Unowned()).Adopt(std::move(obj));
}

bool IsScriptObject(const TObject* obj) {
  return FirstOwner([obj](TScriptObjects& t) { return t.Owns(obj); });
}

std::unique_ptr<TObject> ReleaseScriptObject(const TObject* obj) {
  return FirstOwner([obj](TScriptObjects& t) { return t.Release(obj); });
}

bool FreeScriptObject(const TObject* obj) {
  std::unique_ptr<TObject> owned = ReleaseScriptObject(obj);
  return owned != nullptr;
}

size_t UnownedScriptObjectCount() { return Unowned().Count(); }
