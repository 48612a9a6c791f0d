// Opening, creation and upgrade of the user and gates databases.
#include "sqlmgr.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string_view>
#include <vector>

#include "cp1251.h"
#include "options.h"

TSQLiteDatabase* Database = nullptr;

namespace {

std::unique_ptr<TSQLiteDatabase> OwnedDatabase;

const std::string kVersionText = std::to_string(kDatabaseVersion);

constexpr const char* kUserConfigTable[] = {
    "CREATE TABLE Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL)",
    "CREATE UNIQUE INDEX [IDX_CONFIG_PARAMNAME] ON Config(ParamName ASC)",
};

constexpr const char* kUserTables[] = {
    "CREATE TABLE History (ID INTEGER PRIMARY KEY AUTOINCREMENT, DATETIME TIMESTAMP NOT NULL, FromPhone TEXT, "
    "GateName TEXT, Message TEXT, Phone TEXT, Signature TEXT, Subject TEXT, DeliveryStatus INTEGER DEFAULT 0, "
    "MultiMedia BLOB)",
    "CREATE INDEX [IDX_HISTORY_DATETIME] ON History(Datetime ASC)",
    "CREATE INDEX [IDX_HISTORY_PHONE] ON History(Phone ASC)",
    "CREATE INDEX [IDX_HISTORY_GATENAME] ON History(GateName ASC)",
    "CREATE TABLE PhoneBookGroup (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, FromPhone TEXT, "
    "GateName TEXT, Signature TEXT)",
    "CREATE UNIQUE INDEX [IDX_PHONEBOOKGROUP_NAME] ON PhoneBookGroup(Name ASC)",
    "CREATE TABLE PhoneBook (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, Phone TEXT NOT NULL, "
    "ID_GROUP INTEGER, GateName TEXT, FromPhone TEXT, Signature TEXT, Translit BOOLEAN)",
    "CREATE UNIQUE INDEX [IDX_PHONEBOOK_NAME] ON PhoneBook(Name ASC)",
    "CREATE INDEX [IDX_PHONEBOOK_PHONE] ON PhoneBook(Phone ASC)",
    "CREATE INDEX [IDX_PHONEBOOK_IDGROUP] ON PhoneBook(ID_GROUP ASC)",
    "CREATE TABLE Template (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, TemplateText TEXT NOT NULL, "
    "POS INTEGER)",
    "CREATE UNIQUE INDEX [IDX_TEMPLATE_NAME] ON Template(Name ASC)",
    "CREATE UNIQUE INDEX [IDX_TEMPLATE_POS] ON Template(Pos ASC)",
};

// The templates a new user starts with, in position order from 1; "|" marks
// where the caret goes.
constexpr std::string_view kSeedTemplates[][2] = {
    {"Опаздываю", "Опаздываю, буду в |"},
    {"Я на встрече", "Я на встрече"},
    {"Я занят", "Я занят"},
    {"Все отменяется", "Все отменяется"},
    {"Встретимся через", "Встретимся через |"},
    {"Перезвоните", "Перезвоните пожалуйста по тел. |"},
    {"Я тебя люблю", "Я тебя люблю :-*"},
    {"Поздравляю", "Поздравляю!"},
    {"Улыбнись", "Улыбнись :)"},
    {"Заходи на чай", "Заходи на чай"},
    {"Хлеба купи", "Хлеба купи"},
};

constexpr const char* kLastItemsTable[] = {
    "CREATE TABLE LastItems (ID INTEGER PRIMARY KEY AUTOINCREMENT, ItemClass INTEGER NOT NULL, ItemText TEXT NOT "
    "NULL, LastUseTime TIMESTAMP NOT NULL)",
    "CREATE UNIQUE INDEX [IDX_LASTITEMS_TEXT] ON LastItems(ItemText ASC)",
    "CREATE INDEX [IDX_LASTITEMS_CLASS] ON LastItems(ItemClass ASC)",
    "CREATE INDEX [IDX_LASTITEMS_LASTUSETIME] ON LastItems(LastUseTime ASC)",
};

// Recent subjects of a new user, newest first.
constexpr std::string_view kSeedSubjects[] = {
    "Без темы", "С праздником!", "Поздравляю!", "Привет!",  "Как дела?",
    "С Днем Рождения!", "Улыбнись :)", "Я тебя люблю!", "Где же ты?", "Заходи на чай!",
};

constexpr const char* kStatsTable[] = {
    "CREATE TABLE Stats (Date TIMESTAMP, GateName TEXT, SendCount INTEGER, SendError INTEGER, Posted BOOLEAN)",
    "CREATE INDEX [IDX_STATS_DATE] ON Stats(Date ASC)",
    "CREATE INDEX [IDX_STATS_POSTED] ON Stats(Posted ASC)",
};

constexpr const char* kGatesTables[] = {
    "CREATE TABLE gates.Gate (Name TEXT NOT NULL, Class TEXT NOT NULL, Type TEXT NOT NULL, Caption TEXT NOT NULL, "
    "Version INTEGER NOT NULL, Disabled BOOLEAN DEFAULT 0,Priority INTEGER NOT NULL DEFAULT 10)",
    "CREATE UNIQUE INDEX gates.[IDX_GATE_NAME] ON Gate(Name ASC)",
    "CREATE INDEX gates.[IDX_GATE_TYPE] ON Gate(Type ASC)",
    "CREATE INDEX gates.[IDX_GATE_DISABLED] ON Gate(Disabled ASC)",
    "CREATE INDEX gates.[IDX_GATE_PRIORITY] ON Gate(Priority DESC)",
    "CREATE TABLE gates.GateParam ( GateName TEXT NOT NULL, ParamName TEXT NOT NULL, ParamClass INTEGER NOT NULL, "
    "ParamValue TEXT NOT NULL)",
    "CREATE INDEX gates.[IDX_GATEPARAM_GATENAME] ON GateParam(GateName ASC)",
    "CREATE INDEX gates.[IDX_GATEPARAM_PARAMNAME] ON GateParam(ParamName ASC)",
    "CREATE INDEX gates.[IDX_GATEPARAM_PARAMCLASS] ON GateParam(ParamClass ASC)",
    "CREATE TABLE gates.GatePrefix ( GateName TEXT NOT NULL CONSTRAINT C_GATEPARAM_GATE REFERENCES Gate(Name) ON "
    "DELETE CASCADE, Format TEXT, PrefixStart TEXT, PrefixEnd TEXT,Tag INT DEFAULT 0)",
    "CREATE INDEX gates.[IDX_GATEPREFIX_GATENAME] ON GatePrefix(GateName ASC)",
    "CREATE INDEX gates.[IDX_GATEPREFIX_PREFIXSTART] ON GatePrefix(PrefixStart ASC)",
    "CREATE INDEX gates.[IDX_GATEPREFIX_PREFIXEND] ON GatePrefix(PrefixEnd ASC)",
};

// The work that brings a database to `version` from the one before it.
struct UpgradeStep {
  int64_t version;
  std::vector<std::string> statements;
};

// One upgrade: where the version is read and written, and its steps in
// ascending order of version; step 2 is the only one with work so far.
struct SchemaUpgrade {
  const char* readVersion;
  const char* writeVersion;
  std::vector<UpgradeStep> steps;
};

void Append(std::vector<std::string>& out, const auto& statements) {
  for (const char* sql : statements) out.emplace_back(sql);
}

// Seed values are ours, but a quote in one must not break its statement.
std::string Quoted(std::string_view utf8) {
  std::string out = "'";
  for (char c : cp1251::FromUtf8(utf8)) {
    out += c;
    if (c == '\'') out += c;
  }
  return out + "'";
}

std::vector<std::string> UserSchema() {
  std::vector<std::string> sql;
  Append(sql, kUserConfigTable);
  sql.push_back("INSERT INTO Config (ParamName,ParamValue) VALUES('dbversion', " + kVersionText + ")");
  Append(sql, kUserTables);
  int pos = 0;
  for (const auto& [name, text] : kSeedTemplates)
    sql.push_back("INSERT INTO Template (Name, TemplateText, Pos) VALUES(" + Quoted(name) + "," + Quoted(text) + "," +
                  std::to_string(++pos) + ")");
  Append(sql, kLastItemsTable);
  int time = std::size(kSeedSubjects);
  for (std::string_view subject : kSeedSubjects)
    sql.push_back("INSERT INTO LastItems (ItemClass,ItemText,LastUseTime) VALUES(1," + Quoted(subject) + "," +
                  std::to_string(--time) + ")");
  Append(sql, kStatsTable);
  return sql;
}

std::vector<std::string> GatesSchema() {
  std::vector<std::string> sql = {
      "CREATE TABLE gates.Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL)",
      "CREATE UNIQUE INDEX gates.[IDX_GATESCONFIG_PARAMNAME] ON Config (ParamName ASC)",
      "INSERT INTO gates.Config (ParamName,ParamValue) VALUES('dbversion'," + kVersionText + " )",
      "INSERT INTO gates.Config (ParamName,ParamValue) VALUES('gatesversion','0')",
  };
  Append(sql, kGatesTables);
  return sql;
}

SchemaUpgrade UserUpgrade() {
  UpgradeStep step2{2, {"ALTER TABLE History ADD COLUMN DeliveryStatus INT DEFAULT 0"}};
  Append(step2.statements, kStatsTable);
  return {"SELECT ParamValue FROM Config WHERE ParamName='dbversion'",
          "Update Config SET ParamValue=:Val WHERE ParamName='dbversion'",
          {std::move(step2)}};
}

SchemaUpgrade GatesUpgrade() {
  return {"SELECT ParamValue FROM gates.Config WHERE ParamName='dbversion'",
          "Update gates.Config SET ParamValue=:Val WHERE ParamName='dbversion'",
          {{2, {"ALTER TABLE gates.GatePrefix ADD COLUMN Tag INT DEFAULT 0"}}}};
}

// Schema work that fails is dropped: it must never stop the program from
// starting.
void RunSchema(TSQLiteDatabase& db, const std::vector<std::string>& statements) {
  RunInTransaction(db, [&] {
    for (const std::string& sql : statements) db.ExecSQL(sql);
  });
}

void Upgrade(TSQLiteDatabase& db, const SchemaUpgrade& upgrade) {
  int64_t version = db.GetIntValue(upgrade.readVersion);
  // A newer program wrote this file; its schema is not ours to change.
  if (version >= kDatabaseVersion) return;
  // The version is whatever number the file holds: the steps it lacks are
  // picked from the list, never counted up to one by one.
  RunInTransaction(db, [&] {
    for (const UpgradeStep& step : upgrade.steps)
      if (step.version > version)
        for (const std::string& sql : step.statements) db.ExecSQL(sql);
    db.AddParamInt(":Val", kDatabaseVersion);
    db.ExecSQL(upgrade.writeVersion);
  });
}

// Indexes for the lookups that run on every keystroke of the recipient
// field and for the full history load; the tables stay as they are. Added
// to files of the current version only, quietly, like the schema itself.
// A number's format is looked up by gate and range start; the range end and
// the format ride along in the index, so the table is never read.
constexpr const char* kGatesLookupIndexes[] = {
    "CREATE INDEX IF NOT EXISTS gates.[IDX_GATEPREFIX_GATE_RANGE] ON GatePrefix(GateName ASC, PrefixStart ASC, "
    "PrefixEnd, Format)",
    "CREATE INDEX IF NOT EXISTS gates.[IDX_GATEPREFIX_RANGE] ON GatePrefix(PrefixStart ASC, PrefixEnd, Format)",
};

void AddLookupIndex(TSQLiteDatabase& db, const SchemaUpgrade& upgrade, const char* sql) {
  RunInTransaction(db, [&] {
    if (db.GetIntValue(upgrade.readVersion) == kDatabaseVersion) db.ExecSQL(sql);
  });
}

// A file without a single table (left empty by a start that failed before
// its schema was written) is as good as new.
bool HasNoTables(TSQLiteDatabase& db, const std::string& schemaName) {
  return db.GetIntValue("SELECT count(*) FROM " + schemaName + ".sqlite_master") == 0;
}

// The path is a file-system name, not program text: it reaches the engine
// byte for byte, bound like every value from outside.
void AttachGates(TSQLiteDatabase& db, const std::string& gatesFile) {
  static const std::string kSql = "ATTACH DATABASE :FileName AS gates";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db.Handle(), kSql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    db.RaiseError("Error executing SQL", kSql);
  TSQLiteStatement stmt(raw);
  sqlite3_bind_text64(raw, 1, gatesFile.data(), gatesFile.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (sqlite3_step(raw) != SQLITE_DONE) db.RaiseError("Error executing SQL statement", kSql);
}

}  // namespace

TSQLiteDatabase& CurrentDatabase() {
  if (!Database) throw ESQLiteException("Database is not open");
  return *Database;
}

bool CreateEmptyFile(const std::string& fileName) {
  int fd = open(fileName.c_str(), O_CREAT | O_EXCL | O_RDWR, 0644);
  if (fd < 0) return false;
  close(fd);
  return true;
}

void CreateUserSchema() { RunSchema(CurrentDatabase(), UserSchema()); }

void CreateGatesSchema() { RunSchema(CurrentDatabase(), GatesSchema()); }

void UpgradeUserSchema() { Upgrade(CurrentDatabase(), UserUpgrade()); }

void UpgradeGatesSchema() { Upgrade(CurrentDatabase(), GatesUpgrade()); }

bool OpenDatabases(const std::string& mainFile, const std::string& gatesFile) {
  if (Database) return true;
  // The engine fails on a pipe at once, but takes a device such as
  // /dev/null for an empty database whose writes vanish: the history would
  // be lost without a word.
  for (const std::string* file : {&mainFile, &gatesFile})
    if (struct stat st {}; ::stat(file->c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      throw ESQLiteException("Failed to open database \"" + cp1251::FromUtf8(*file) + "\" : not a regular file");
  bool newMain = CreateEmptyFile(mainFile);
  bool newGates = CreateEmptyFile(gatesFile);
  // The connection becomes the global one only once both files have proved
  // to be ours, so a failure leaves no half-opened state behind.
  auto db = std::make_unique<TSQLiteDatabase>(mainFile);
  db->RegisterUpper();
  Database = db.get();
  try {
    if (newMain || HasNoTables(*db, "main"))
      CreateUserSchema();
    else
      UpgradeUserSchema();
    AttachGates(*db, gatesFile);
    if (newGates || HasNoTables(*db, "gates"))
      CreateGatesSchema();
    else
      UpgradeGatesSchema();
    AddLookupIndex(*db, UserUpgrade(),
                   "CREATE INDEX IF NOT EXISTS [IDX_HISTORY_PHONE_GATE] ON History(Phone ASC, GateName ASC, "
                   "DateTime ASC)");
    for (const char* sql : kGatesLookupIndexes) AddLookupIndex(*db, GatesUpgrade(), sql);
    ProgramVersion.GatesVersion =
        static_cast<int>(db->GetIntValue("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"));
  } catch (...) {
    Database = nullptr;
    throw;
  }
  OwnedDatabase = std::move(db);
  return true;
}

void CloseDatabases() {
  if (!Database) return;
  std::unique_ptr<TSQLiteDatabase> db = std::move(OwnedDatabase);
  Database = nullptr;
  try {
    db->ExecSQL("DETACH DATABASE gates");
  } catch (const ESQLiteException&) {
    // Closing the connection below detaches it as well.
  }
}
