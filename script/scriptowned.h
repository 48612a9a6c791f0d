// The objects scripts created through host constructors. They belong to the
// program object whose run created them (TScriptObjects, one per program)
// and are freed with it, so that a program kept for a whole send frees what
// its scripts left behind when the send ends. A script's Free destroys only
// these; any other object (a named object of a send, an exception, a unit
// entry) belongs to someone else and is never freed by a script.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "object.h"
#include "variant.h"

// One owner's table of script-created objects.
class TScriptObjects {
 public:
  TScriptObjects() = default;
  // Frees every object still held.
  ~TScriptObjects();
  TScriptObjects(const TScriptObjects&) = delete;
  TScriptObjects& operator=(const TScriptObjects&) = delete;

  // Takes `obj` and returns it as an object value (nil for nullptr).
  Variant Adopt(std::unique_ptr<TObject> obj);
  bool Owns(const TObject* obj) const;
  // Hands `obj` back (nullptr when not held here).
  std::unique_ptr<TObject> Release(const TObject* obj);
  // Objects held now.
  size_t Count() const;
  // Frees every object held.
  void Clear();

 private:
  mutable std::mutex lock_;
  std::unordered_map<const TObject*, std::unique_ptr<TObject>> objects_;
};

// Hands a new object to the program running on this thread (to a
// process-wide table when none runs, as for host code outside any run) and
// returns it as an object value. Host constructors registered for scripts
// return their new object through this.
Variant AdoptScriptObject(std::unique_ptr<TObject> obj);
// True while `obj` is owned by scripts: by the running program, a program
// running around it on this thread, or the process-wide table.
bool IsScriptObject(const TObject* obj);
// Destroys `obj` when scripts own it; false, with nothing done, otherwise.
bool FreeScriptObject(const TObject* obj);
// Takes an object back from scripts (nullptr when they do not own it), so
// the host may keep it past Free.
std::unique_ptr<TObject> ReleaseScriptObject(const TObject* obj);
// Objects in the process-wide table (made while no program ran).
size_t UnownedScriptObjectCount();
