// A test fixture with the program's databases freshly created in a
// temporary profile and opened as the global connection.
#pragma once

#include <gtest/gtest.h>

#include "sqlmgr.h"
#include "support/tempdir.h"

class FreshDatabase : public ::testing::Test {
 protected:
  TempDir dir;

  void SetUp() override { OpenDatabases(dir.File("Parlomix.db3"), dir.File("Gates.db3")); }
  void TearDown() override { CloseDatabases(); }

  TSQLiteDatabase& db() { return *Database; }
};
