// A profile folder of its own for one benchmark, with both databases open
// as the global connection; closed and removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sqlmgr.h"

class TempProfile {
 public:
  TempProfile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pxbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    dir_ = pattern + "/";
    OpenDatabases(dir_ + "Parlomix.db3", dir_ + "Gates.db3");
  }
  ~TempProfile() {
    CloseDatabases();
    std::filesystem::remove_all(dir_);
  }
  TempProfile(const TempProfile&) = delete;
  TempProfile& operator=(const TempProfile&) = delete;

 private:
  std::string dir_;
};
