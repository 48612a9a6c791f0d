#include "sqlmgr.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/error_of.h"
#include "cp1251.h"
#include "options.h"
#include "support/tempdir.h"

extern char** environ;

namespace {

// The sqlite3 command-line tool on a database file: an outside reader that
// sees the files as any other program would. Returns its standard output.
std::string Sqlite3(const std::string& file, const std::string& sql) {
  int out[2];
  if (pipe(out) != 0) return "<pipe failed>";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string tool = "sqlite3";
  std::vector<char*> argv = {tool.data(), const_cast<char*>(file.c_str()), const_cast<char*>(sql.c_str()), nullptr};
  pid_t pid;
  int rc = posix_spawnp(&pid, "sqlite3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, n);
  close(out[0]);
  if (rc != 0) return "<sqlite3 not started>";
  int status = 0;
  waitpid(pid, &status, 0);
  return text;
}

// The definitions of one database's tables and indexes, as stored.
std::string SchemaOf(const std::string& file) {
  return Sqlite3(file, "SELECT type || ' ' || name || ': ' || sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY type, name");
}

std::string ErrorOfOpen(const std::string& main, const std::string& gates) {
  return ErrorOf([&] { OpenDatabases(main, gates); });
}

class Databases : public ::testing::Test {
 protected:
  // A profile folder with quotes of both kinds and Cyrillic letters in it.
  TempDir dir;
  std::string profile = dir.File("Профиль \"мой\" 'x'") + "/";
  std::string mainFile = profile + "Parlomix.db3";
  std::string gatesFile = profile + "Gates.db3";

  void SetUp() override {
    std::filesystem::create_directories(profile);
    ProgramVersion.GatesVersion = -1;
  }
  void TearDown() override { CloseDatabases(); }

  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> values;
    for (auto t = Database->GetUniTable(sql); !t->Eof(); t->Next()) values.push_back(t->FieldAsString(0));
    return values;
  }
};

const char* const kUserSchemaV2 =
    "index IDX_CONFIG_PARAMNAME: CREATE UNIQUE INDEX [IDX_CONFIG_PARAMNAME] ON Config(ParamName ASC)\n"
    "index IDX_HISTORY_DATETIME: CREATE INDEX [IDX_HISTORY_DATETIME] ON History(Datetime ASC)\n"
    "index IDX_HISTORY_GATENAME: CREATE INDEX [IDX_HISTORY_GATENAME] ON History(GateName ASC)\n"
    "index IDX_HISTORY_PHONE: CREATE INDEX [IDX_HISTORY_PHONE] ON History(Phone ASC)\n"
    "index IDX_HISTORY_PHONE_GATE: CREATE INDEX [IDX_HISTORY_PHONE_GATE] ON History(Phone ASC, GateName ASC, DateTime "
    "ASC)\n"
    "index IDX_LASTITEMS_CLASS: CREATE INDEX [IDX_LASTITEMS_CLASS] ON LastItems(ItemClass ASC)\n"
    "index IDX_LASTITEMS_LASTUSETIME: CREATE INDEX [IDX_LASTITEMS_LASTUSETIME] ON LastItems(LastUseTime ASC)\n"
    "index IDX_LASTITEMS_TEXT: CREATE UNIQUE INDEX [IDX_LASTITEMS_TEXT] ON LastItems(ItemText ASC)\n"
    "index IDX_PHONEBOOKGROUP_NAME: CREATE UNIQUE INDEX [IDX_PHONEBOOKGROUP_NAME] ON PhoneBookGroup(Name ASC)\n"
    "index IDX_PHONEBOOK_IDGROUP: CREATE INDEX [IDX_PHONEBOOK_IDGROUP] ON PhoneBook(ID_GROUP ASC)\n"
    "index IDX_PHONEBOOK_NAME: CREATE UNIQUE INDEX [IDX_PHONEBOOK_NAME] ON PhoneBook(Name ASC)\n"
    "index IDX_PHONEBOOK_PHONE: CREATE INDEX [IDX_PHONEBOOK_PHONE] ON PhoneBook(Phone ASC)\n"
    "index IDX_STATS_DATE: CREATE INDEX [IDX_STATS_DATE] ON Stats(Date ASC)\n"
    "index IDX_STATS_POSTED: CREATE INDEX [IDX_STATS_POSTED] ON Stats(Posted ASC)\n"
    "index IDX_TEMPLATE_NAME: CREATE UNIQUE INDEX [IDX_TEMPLATE_NAME] ON Template(Name ASC)\n"
    "index IDX_TEMPLATE_POS: CREATE UNIQUE INDEX [IDX_TEMPLATE_POS] ON Template(Pos ASC)\n"
    "table Config: CREATE TABLE Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL)\n"
    "table History: CREATE TABLE History (ID INTEGER PRIMARY KEY AUTOINCREMENT, DATETIME TIMESTAMP NOT NULL, "
    "FromPhone TEXT, GateName TEXT, Message TEXT, Phone TEXT, Signature TEXT, Subject TEXT, DeliveryStatus INTEGER "
    "DEFAULT 0, MultiMedia BLOB)\n"
    "table LastItems: CREATE TABLE LastItems (ID INTEGER PRIMARY KEY AUTOINCREMENT, ItemClass INTEGER NOT NULL, "
    "ItemText TEXT NOT NULL, LastUseTime TIMESTAMP NOT NULL)\n"
    "table PhoneBook: CREATE TABLE PhoneBook (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, Phone TEXT "
    "NOT NULL, ID_GROUP INTEGER, GateName TEXT, FromPhone TEXT, Signature TEXT, Translit BOOLEAN)\n"
    "table PhoneBookGroup: CREATE TABLE PhoneBookGroup (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, "
    "FromPhone TEXT, GateName TEXT, Signature TEXT)\n"
    "table Stats: CREATE TABLE Stats (Date TIMESTAMP, GateName TEXT, SendCount INTEGER, SendError INTEGER, Posted "
    "BOOLEAN)\n"
    "table Template: CREATE TABLE Template (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, TemplateText "
    "TEXT NOT NULL, POS INTEGER)\n"
    "table sqlite_sequence: CREATE TABLE sqlite_sequence(name,seq)\n";

// The engine stores an attached table's definition without the schema name.
const char* const kGatesSchemaV2 =
    "index IDX_GATEPARAM_GATENAME: CREATE INDEX [IDX_GATEPARAM_GATENAME] ON GateParam(GateName ASC)\n"
    "index IDX_GATEPARAM_PARAMCLASS: CREATE INDEX [IDX_GATEPARAM_PARAMCLASS] ON GateParam(ParamClass ASC)\n"
    "index IDX_GATEPARAM_PARAMNAME: CREATE INDEX [IDX_GATEPARAM_PARAMNAME] ON GateParam(ParamName ASC)\n"
    "index IDX_GATEPREFIX_GATENAME: CREATE INDEX [IDX_GATEPREFIX_GATENAME] ON GatePrefix(GateName ASC)\n"
    "index IDX_GATEPREFIX_GATE_RANGE: CREATE INDEX [IDX_GATEPREFIX_GATE_RANGE] ON GatePrefix(GateName ASC, PrefixStart "
    "ASC, PrefixEnd, Format)\n"
    "index IDX_GATEPREFIX_PREFIXEND: CREATE INDEX [IDX_GATEPREFIX_PREFIXEND] ON GatePrefix(PrefixEnd ASC)\n"
    "index IDX_GATEPREFIX_PREFIXSTART: CREATE INDEX [IDX_GATEPREFIX_PREFIXSTART] ON GatePrefix(PrefixStart ASC)\n"
    "index IDX_GATEPREFIX_RANGE: CREATE INDEX [IDX_GATEPREFIX_RANGE] ON GatePrefix(PrefixStart ASC, PrefixEnd, Format)\n"
    "index IDX_GATESCONFIG_PARAMNAME: CREATE UNIQUE INDEX [IDX_GATESCONFIG_PARAMNAME] ON Config (ParamName ASC)\n"
    "index IDX_GATE_DISABLED: CREATE INDEX [IDX_GATE_DISABLED] ON Gate(Disabled ASC)\n"
    "index IDX_GATE_NAME: CREATE UNIQUE INDEX [IDX_GATE_NAME] ON Gate(Name ASC)\n"
    "index IDX_GATE_PRIORITY: CREATE INDEX [IDX_GATE_PRIORITY] ON Gate(Priority DESC)\n"
    "index IDX_GATE_TYPE: CREATE INDEX [IDX_GATE_TYPE] ON Gate(Type ASC)\n"
    "table Config: CREATE TABLE Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL)\n"
    "table Gate: CREATE TABLE Gate (Name TEXT NOT NULL, Class TEXT NOT NULL, Type TEXT NOT NULL, Caption TEXT NOT "
    "NULL, Version INTEGER NOT NULL, Disabled BOOLEAN DEFAULT 0,Priority INTEGER NOT NULL DEFAULT 10)\n"
    "table GateParam: CREATE TABLE GateParam ( GateName TEXT NOT NULL, ParamName TEXT NOT NULL, ParamClass INTEGER "
    "NOT NULL, ParamValue TEXT NOT NULL)\n"
    "table GatePrefix: CREATE TABLE GatePrefix ( GateName TEXT NOT NULL CONSTRAINT C_GATEPARAM_GATE REFERENCES "
    "Gate(Name) ON DELETE CASCADE, Format TEXT, PrefixStart TEXT, PrefixEnd TEXT,Tag INT DEFAULT 0)\n";

TEST_F(Databases, FirstStartCreatesBothSchemas) {
  EXPECT_TRUE(OpenDatabases(mainFile, gatesFile));
  ASSERT_NE(Database, nullptr);
  EXPECT_EQ(ProgramVersion.GatesVersion, 0);

  EXPECT_EQ(Column("SELECT ParamName || '=' || ParamValue FROM Config"), std::vector<std::string>{"dbversion=2"});
  EXPECT_EQ(Column("SELECT ParamName || '=' || ParamValue FROM gates.Config ORDER BY ParamName"),
            (std::vector<std::string>{"dbversion=2", "gatesversion=0"}));
  EXPECT_EQ(Column("SELECT Pos || ' ' || Name || ' ' || TemplateText FROM Template WHERE Pos IN (1, 6, 11) ORDER BY Pos"),
            (std::vector<std::string>{"1 Опаздываю Опаздываю, буду в |"_cp,
                                      "6 Перезвоните Перезвоните пожалуйста по тел. |"_cp,
                                      "11 Хлеба купи Хлеба купи"_cp}));
  EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM Template WHERE Pos BETWEEN 1 AND 11"), 11);
  EXPECT_EQ(Column("SELECT ItemText FROM LastItems WHERE ItemClass=1 ORDER BY LastUseTime DESC"),
            (std::vector<std::string>{"Без темы"_cp, "С праздником!"_cp, "Поздравляю!"_cp, "Привет!"_cp,
                                      "Как дела?"_cp, "С Днем Рождения!"_cp, "Улыбнись :)"_cp, "Я тебя люблю!"_cp,
                                      "Где же ты?"_cp, "Заходи на чай!"_cp}));
  EXPECT_EQ(Database->GetIntValue("SELECT min(LastUseTime) + max(LastUseTime) * 100 FROM LastItems"), 900);
  CloseDatabases();
  EXPECT_EQ(Database, nullptr);

  // The files lie under the very names given, quotes and all.
  EXPECT_EQ(SchemaOf(mainFile), kUserSchemaV2);
  EXPECT_EQ(SchemaOf(gatesFile), kGatesSchemaV2);
  EXPECT_EQ(Sqlite3(mainFile, "PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(Sqlite3(gatesFile, "PRAGMA integrity_check"), "ok\n");
  // The stored texts are UTF-8.
  EXPECT_EQ(Sqlite3(mainFile, "SELECT Name FROM Template WHERE Pos=2"), "Я на встрече\n");
}

TEST_F(Databases, OpenTwiceAndClose) {
  OpenDatabases(mainFile, gatesFile);
  TSQLiteDatabase* first = Database;
  OpenDatabases(dir.File("other.db3"), dir.File("other-gates.db3"));
  EXPECT_EQ(Database, first);
  EXPECT_FALSE(std::filesystem::exists(dir.File("other.db3")));
  EXPECT_EQ(Column("SELECT name FROM pragma_database_list ORDER BY seq"),
            (std::vector<std::string>{"main", "gates"}));
  EXPECT_EQ(Column("SELECT file FROM pragma_database_list WHERE name='gates'"),
            std::vector<std::string>{cp1251::FromUtf8(gatesFile)});
  // Statements the connection keeps ready do not hold the gates database.
  Database->AddParamText(":Name", "MTS");
  Database->ExecSQL("INSERT INTO gates.GatePrefix (GateName) VALUES (:Name)");
  Database->ExecSQL("DETACH DATABASE gates");
  EXPECT_EQ(Column("SELECT name FROM pragma_database_list"), std::vector<std::string>{"main"});
  CloseDatabases();
  CloseDatabases();
  EXPECT_EQ(Database, nullptr);
}

// A version-1 user database: no delivery status, no statistics.
void WriteUserV1(const std::string& file, const std::string& version) {
  Sqlite3(file,
          "CREATE TABLE Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL);"
          "INSERT INTO Config VALUES ('dbversion', '" + version + "');"
          "CREATE TABLE History (ID INTEGER PRIMARY KEY AUTOINCREMENT, DATETIME TIMESTAMP NOT NULL, FromPhone TEXT, "
          "GateName TEXT, Message TEXT, Phone TEXT, Signature TEXT, Subject TEXT, MultiMedia BLOB);"
          "INSERT INTO History (DATETIME, Phone, Message) VALUES (1234567890, '79001234567', 'Привет');");
}

// A version-1 gates database: prefix ranges without tags.
void WriteGatesV1(const std::string& file, const std::string& version) {
  Sqlite3(file,
          "CREATE TABLE Config (ParamName TEXT NOT NULL,ParamValue TEXT NOT NULL);"
          "INSERT INTO Config VALUES ('dbversion', '" + version + "');"
          "INSERT INTO Config VALUES ('gatesversion', '57');"
          "CREATE TABLE GatePrefix ( GateName TEXT NOT NULL, Format TEXT, PrefixStart TEXT, PrefixEnd TEXT);"
          "INSERT INTO GatePrefix VALUES ('MTS', '1.3.7', '7910', '7919');");
}

TEST_F(Databases, VersionOneIsUpgraded) {
  WriteUserV1(mainFile, "1");
  WriteGatesV1(gatesFile, "1");
  OpenDatabases(mainFile, gatesFile);
  EXPECT_EQ(ProgramVersion.GatesVersion, 57);
  EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM Config WHERE ParamName='dbversion'"), "2");
  EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='dbversion'"), "2");
  EXPECT_EQ(Column("SELECT Message || ' ' || DeliveryStatus FROM History"), std::vector<std::string>{"Привет 0"_cp});
  EXPECT_EQ(Column("SELECT GateName || ' ' || Tag FROM GatePrefix"), std::vector<std::string>{"MTS 0"});
  CloseDatabases();

  std::string user = SchemaOf(mainFile);
  EXPECT_NE(user.find("Subject TEXT, MultiMedia BLOB, DeliveryStatus INT DEFAULT 0)\n"), std::string::npos);
  EXPECT_NE(user.find("table Stats: CREATE TABLE Stats (Date TIMESTAMP, GateName TEXT, SendCount INTEGER, SendError "
                      "INTEGER, Posted BOOLEAN)\n"),
            std::string::npos);
  EXPECT_NE(user.find("index IDX_STATS_POSTED: CREATE INDEX [IDX_STATS_POSTED] ON Stats(Posted ASC)\n"),
            std::string::npos);
  std::string gates = SchemaOf(gatesFile);
  EXPECT_NE(gates.find("PrefixEnd TEXT, Tag INT DEFAULT 0)\n"), std::string::npos);
  EXPECT_NE(gates.find("index IDX_GATEPREFIX_RANGE:"), std::string::npos);
  EXPECT_EQ(Sqlite3(mainFile, "PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(Sqlite3(gatesFile, "PRAGMA integrity_check"), "ok\n");

  // A second start finds version 2 and changes nothing.
  OpenDatabases(mainFile, gatesFile);
  CloseDatabases();
  EXPECT_EQ(SchemaOf(mainFile), user);
  EXPECT_EQ(SchemaOf(gatesFile), gates);
}

TEST_F(Databases, NewerVersionIsLeftAlone) {
  WriteUserV1(mainFile, "3");
  WriteGatesV1(gatesFile, "7");
  std::string user = SchemaOf(mainFile), gates = SchemaOf(gatesFile);
  OpenDatabases(mainFile, gatesFile);
  EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM Config WHERE ParamName='dbversion'"), "3");
  EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='dbversion'"), "7");
  CloseDatabases();
  EXPECT_EQ(SchemaOf(mainFile), user);
  EXPECT_EQ(SchemaOf(gatesFile), gates);
}

// Whatever number a file claims as its version, opening it takes the steps
// that version lacks and never counts through the numbers in between.
TEST_F(Databases, AnyStoredVersionOpensAtOnce) {
  struct Case {
    const char* stored;   // null: no version row at all
    bool changesPresent;  // the step-2 columns are there already, whatever the version says
    bool upgraded;
    const char* after;    // the version row after opening
  };
  const Case cases[] = {
      {"-9000000000000000000", false, true, "2"},
      {"-9223372036854775808", false, true, "2"},
      {"-1", false, true, "2"},
      {nullptr, false, true, ""},  // read as 0: upgraded, and no row to write the version to
      // The step-2 changes fail on columns that exist: rolled back, left as found.
      {"-9223372036854775808", true, false, "-9223372036854775808"},
      {"9223372036854775807", false, false, "9223372036854775807"},
  };
  for (const Case& c : cases) {
    std::string name = c.stored ? c.stored : "no row";
    TempDir other;
    std::string main = other.File("Parlomix.db3"), gates = other.File("Gates.db3");
    WriteUserV1(main, c.stored ? c.stored : "0");
    WriteGatesV1(gates, c.stored ? c.stored : "0");
    for (const auto& [file, change] : {std::pair{main, "ALTER TABLE History ADD COLUMN DeliveryStatus INT"},
                                       std::pair{gates, "ALTER TABLE GatePrefix ADD COLUMN Tag INT"}}) {
      if (!c.stored) Sqlite3(file, "DELETE FROM Config WHERE ParamName='dbversion'");
      if (c.changesPresent) Sqlite3(file, change);
    }
    std::string user = SchemaOf(main), gate = SchemaOf(gates);
    OpenDatabases(main, gates);
    EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM Config WHERE ParamName='dbversion'"), c.after) << name;
    EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='dbversion'"), c.after)
        << name;
    bool columns = c.upgraded || c.changesPresent;
    EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM pragma_table_info('History') WHERE name='DeliveryStatus'"),
              columns)
        << name;
    EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM gates.pragma_table_info('GatePrefix') WHERE name='Tag'"),
              columns)
        << name;
    CloseDatabases();
    if (!c.upgraded) {
      EXPECT_EQ(SchemaOf(main), user) << name;
      EXPECT_EQ(SchemaOf(gates), gate) << name;
    }
  }
}

TEST_F(Databases, FilesWithoutTablesAreTreatedAsNew) {
  std::ofstream(mainFile).close();
  std::ofstream(gatesFile).close();
  OpenDatabases(mainFile, gatesFile);
  EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM Template"), 11);
  EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM gates.Gate"), 0);
  EXPECT_EQ(ProgramVersion.GatesVersion, 0);
}

TEST_F(Databases, ForeignOrCorruptFilesRaise) {
  std::string junk(8192, 'x');
  TempDir other;
  // Not a database at all, as main and as gates file.
  std::string bad = other.Write("junk.db3", junk);
  EXPECT_NE(ErrorOfOpen(bad, gatesFile).find("Error [26]: File opened that is not a database file."),
            std::string::npos);
  EXPECT_EQ(Database, nullptr);
  EXPECT_NE(ErrorOfOpen(mainFile, bad).find("[26]"), std::string::npos);
  EXPECT_EQ(Database, nullptr);

  // A database of some other program: no Config table.
  std::string foreign = other.File("foreign.db3");
  Sqlite3(foreign, "CREATE TABLE t (x)");
  EXPECT_NE(ErrorOfOpen(foreign, gatesFile).find("no such table: Config"), std::string::npos);
  EXPECT_EQ(Database, nullptr);

  // One of ours with its schema page overwritten.
  std::string broken = other.File("broken.db3");
  WriteUserV1(broken, "2");
  {
    std::fstream f(broken, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(100);
    f.write(junk.data(), 3000);
  }
  std::string error = ErrorOfOpen(broken, gatesFile);
  EXPECT_NE(error.find("The database disk image is malformed"), std::string::npos) << error;
  EXPECT_EQ(Database, nullptr);

  // The good files still open after all that.
  OpenDatabases(mainFile, gatesFile);
  EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM LastItems"), 10);
}

}  // namespace
