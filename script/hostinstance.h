// How a host callback reaches the object it was called on. Every getter,
// setter and method registered for a class (AddGet, AddSet, AddIGet,
// AddISet, AddIDGet, AddIDSet) reads its instance through RequireInstance,
// never through Args.Obj or Args.Instance() directly:
//
//   adapter.AddGet(&TPropList::StaticClass(), "Count",
//       [](Variant& value, TInterpreterArgs& args) {
//         value = Variant::Integer(RequireInstance<TPropList>(args).Count());
//       }, 0, {}, varInteger);
//
// so that no callback can meet a null, freed or foreign object, whatever a
// script wrote left of the dot.
#pragma once

#include "args.h"
#include "errors.h"
#include "object.h"

// The live instance of T (or of a descendant) the call was made on. Error 53
// ("Type mismatch") when the call has no instance of that class: nil, a
// class reference, a record or an object of another class; error 2 when the
// object has been freed.
template <class T>
T& RequireInstance(const TInterpreterArgs& args) {
  T* instance = ObjectAs<T>(args.Instance());
  if (!instance) RaiseError(53, -1);
  return *instance;
}
