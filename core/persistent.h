// Objects that can copy themselves into one another (Assign / AssignTo).
#pragma once

#include "exceptions.h"

class TPersistent : public TObject {
  PX_CLASS(TPersistent, TObject)
 public:
  // Copies `source` into this object through the source's AssignTo; a null
  // source raises EConvertError "Cannot assign a nil to a <class>".
  virtual void Assign(const TPersistent* source);

 protected:
  // Copies this object into `dest`. The base refuses with EConvertError
  // "Cannot assign a <this class> to a <dest class>".
  virtual void AssignTo(TPersistent* dest) const;

  [[noreturn]] void AssignError(const TPersistent* source) const;
};
