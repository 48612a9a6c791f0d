// A profile for one window at a time, set up as the main window sets it up:
// both ini files under the global options, the placement storage, and both
// databases open as the global connection.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "inistorage.h"
#include "options.h"
#include "placement.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

class WindowProfile : public ::testing::Test {
 protected:
  TempDir profile;
  std::string savedProfile = ProfileDir;
  std::unique_ptr<TIniStorage> placement, storage;
  std::unique_ptr<TOptions> options;

  void SetUp() override {
    ProfileDir = profile.Path().string() + "/";
    OpenStorages();
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  }
  void TearDown() override {
    if (Database) CloseDatabases();
    CloseStorages();
    ProfileDir = savedProfile;
  }
  void OpenStorages() {
    storage = std::make_unique<TIniStorage>(ProfileDir + "Parlomix.ini");
    storage->SetOwnerOnly(true);
    placement = std::make_unique<TIniStorage>(ProfileDir + "Placemnt.ini");
    placement->AddSubStorage("Configuration", storage.get());
    options = std::make_unique<TOptions>(placement.get());
    Options = options.get();
    PlacementStorage = placement.get();
  }
  void CloseStorages() {
    Options = nullptr;
    PlacementStorage = nullptr;
    options.reset();
    placement.reset();
    storage.reset();
  }
  TSQLiteDatabase& db() { return *Database; }
};
