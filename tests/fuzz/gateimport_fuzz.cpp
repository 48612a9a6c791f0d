// Feeds arbitrary bytes to the gate import, the way files reach it: bytes
// that begin as gzip does go through a ".gz" package file (inflating
// included), all others are imported both as a package and as a single
// gate. Nothing may crash, hang or leak, a failure before the first gate may
// only be the import's own exception, and whatever the import leaves in the
// database must be whole gates: no prefix or parameter of a gate that is not
// there, and no transaction left open.
//
// One database serves every run, emptied of gates before each, with the
// disk writes of a commit relaxed: the import commits once per gate, and
// waiting for the disk would make each run cost milliseconds.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "importgate.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

namespace {

void Exec(const char* sql) {
  if (sqlite3_exec(Database->Handle(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

struct Profile {
  TempDir dir;
  std::string package = dir.File("gates.xml.gz");

  Profile() {
    if (!OpenDatabases(dir.File("Parlomix.db3"), dir.File("Gates.db3"))) std::abort();
    Exec("PRAGMA main.synchronous=OFF; PRAGMA gates.synchronous=OFF;"
         "PRAGMA main.journal_mode=MEMORY; PRAGMA gates.journal_mode=MEMORY;");
    // Failures inside a gate are expected here; the default would print each.
    SetGateImportFailureHandler([](const std::string&) {});
  }
};

Profile& TheProfile() {
  static Profile profile;
  return profile;
}

int64_t Count(const char* sql) { return Database->GetIntValue(sql); }

// Every prefix and parameter row belongs to a gate that is there: a gate
// either went in whole or was rolled back whole.
void CheckDatabase() {
  if (Database->InTransaction() || !Database->Params().empty()) std::abort();
  if (Count("SELECT count(*) FROM gates.GatePrefix WHERE GateName NOT IN (SELECT Name FROM gates.Gate)") != 0)
    std::abort();
  if (Count("SELECT count(*) FROM gates.GateParam WHERE ParamClass IN (0, 1) AND "
            "GateName NOT IN (SELECT Name FROM gates.Gate)") != 0)
    std::abort();
}

template <class Import>
void Try(Import&& import) {
  try {
    import();
  } catch (const EGateImportError&) {
  }
  CheckDatabase();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Profile& profile = TheProfile();
  Exec("DELETE FROM gates.Gate; DELETE FROM gates.GatePrefix; DELETE FROM gates.GateParam;");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.starts_with("\x1F\x8B")) {
    std::ofstream(profile.package, std::ios::binary | std::ios::trunc) << bytes;
    Try([&] { ImportGatePackage(profile.package, true); });
    return 0;
  }
  Try([&] {
    std::istringstream in(bytes);
    ImportGatePackageStream(in, true);
  });
  Try([&] {
    std::istringstream in(bytes);
    ImportGateStream(in, false);
  });
  return 0;
}
