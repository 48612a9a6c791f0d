// The call of an external procedure, refused.
#include "external.h"

#include "errors.h"

void CallExternalFunction(const TExternalFunction& function, Variant& result) {
  result = Variant::Boolean(false);
  RaiseError(184, -1, function.LibraryName);
}
