// A fresh profile with both ini files and an options object over them, the
// way the main window sets them up, for tests of code that reads options.
#pragma once

#include <memory>

#include "inistorage.h"
#include "options.h"
#include "support/tempdir.h"

struct OptionsProfile {
  TempDir dir;
  TIniStorage placement{dir.File("Placemnt.ini")};
  TIniStorage storage{dir.File("Parlomix.ini")};
  std::unique_ptr<TOptions> options;

  OptionsProfile() {
    placement.AddSubStorage("Configuration", &storage);
    options = std::make_unique<TOptions>(&placement);
  }
};
