// A profile folder of its own for one benchmark, with both databases open
// as the global connection; closed and removed afterwards.
#pragma once

#include "sqlmgr.h"
#include "support/tempdir.h"

class TempProfile {
 public:
  TempProfile() { OpenDatabases(dir_.File("Parlomix.db3"), dir_.File("Gates.db3")); }
  ~TempProfile() { CloseDatabases(); }
  TempProfile(const TempProfile&) = delete;
  TempProfile& operator=(const TempProfile&) = delete;

 private:
  TempDir dir_;
};
