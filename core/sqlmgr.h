// The one database connection of the program: the user database with the
// gates database attached as `gates`, both created or brought to the current
// schema version when they are opened.
#pragma once

#include <string>

#include "sqlite3db.h"

// The schema version both databases are brought to.
inline constexpr int kDatabaseVersion = 2;

// The global connection; null until OpenDatabases has run and after
// CloseDatabases.
extern TSQLiteDatabase* Database;
// Database itself; raises ESQLiteException "Database is not open" while it
// is null.
TSQLiteDatabase& CurrentDatabase();

// Runs `work(db)` in one transaction on the global connection `db`; false
// when there is no connection or the work failed (and was rolled back).
template <class Work>
bool RunInDatabaseTransaction(Work&& work) {
  if (!Database) return false;
  TSQLiteDatabase& db = *Database;
  return RunInTransaction(db, [&] { work(db); });
}

// Opens the user database, attaches the gates database, creates or upgrades
// both schemas and reads ProgramVersion.GatesVersion. Does nothing when the
// connection exists. A file that cannot be opened or is not a database of
// this program raises ESQLiteException and leaves Database null. Returns true.
bool OpenDatabases(const std::string& mainFile, const std::string& gatesFile);
// Detaches the gates database and closes the connection.
void CloseDatabases();
// Creates `fileName` empty when it does not exist; true when it was created.
bool CreateEmptyFile(const std::string& fileName);

// Schema creation and upgrade on Database, each in one transaction; a
// failure inside the transaction rolls it back and is not reported.
void CreateUserSchema();
void CreateGatesSchema();
// Raise ESQLiteException when the version cannot be read (no Config table).
void UpgradeUserSchema();
void UpgradeGatesSchema();
