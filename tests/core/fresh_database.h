// A test fixture with the program's databases freshly created in a
// temporary profile and opened as the global connection.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "sqlmgr.h"
#include "support/tempdir.h"

class FreshDatabase : public ::testing::Test {
 protected:
  TempDir dir;

  void SetUp() override { OpenDatabases(dir.File("Parlomix.db3"), dir.File("Gates.db3")); }
  void TearDown() override { CloseDatabases(); }

  TSQLiteDatabase& db() { return *Database; }

  // A gate with its caption and prefix ranges ("start-end" in `format`).
  void AddGate(const std::string& name, const std::string& caption,
               const std::vector<std::array<std::string, 3>>& ranges) {
    db().AddParamText(":Name", name);
    db().AddParamText(":Caption", caption);
    db().ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES (:Name, 'HTTP', 'SMS', :Caption, 1)");
    for (const auto& [start, end, format] : ranges) {
      db().AddParamText(":Name", name);
      db().AddParamText(":Start", start);
      db().AddParamText(":End", end);
      db().AddParamText(":Format", format);
      db().ExecSQL("INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, :Format, :Start, :End)");
    }
  }
};
