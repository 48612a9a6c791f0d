#include "sqlite3db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "core/error_of.h"
#include "cp1251.h"
#include "support/tempdir.h"

namespace {

class SQLiteLayer : public ::testing::Test {
 protected:
  TempDir dir;
  TSQLiteDatabase db{dir.File("test.db3")};

  int64_t Count(const std::string& table) { return db.GetIntValue("SELECT count(*) FROM " + table); }
};

TEST(SQLiteErrorText, TableAndFallback) {
  EXPECT_EQ(SQLiteErrorText(0), "Successful result");
  EXPECT_EQ(SQLiteErrorText(19), "Abort due to contraint violation");
  EXPECT_EQ(SQLiteErrorText(26), "File opened that is not a database file");
  EXPECT_EQ(SQLiteErrorText(100), "sqlite3_step() has another row ready");
  EXPECT_EQ(SQLiteErrorText(101), "sqlite3_step() has finished executing");
  EXPECT_EQ(SQLiteErrorText(42), "Unknown SQLite Error Code \"42\"");
  EXPECT_EQ(SQLiteErrorText(27), "Unknown SQLite Error Code \"27\"");
}

TEST(SQLiteOpen, FailureNamesFileAndReason) {
  TempDir dir;
  std::string file = dir.File("missing/sub/x.db3");
  EXPECT_EQ(ErrorOf([&] { TSQLiteDatabase db(file); }),
            "Failed to open database \"" + file + "\" : unable to open database file");
}

TEST_F(SQLiteLayer, ErrorTextsCarryCodeSqlAndEngineMessage) {
  EXPECT_EQ(ErrorOf([&] { db.GetUniTable("SELECT * FROM Nowhere"); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r\"SELECT * FROM Nowhere\": "
            "no such table: Nowhere");
  EXPECT_EQ(ErrorOf([&] { db.ExecSQL(""); }), "Could not prepare SQL statement");
  EXPECT_EQ(ErrorOf([&] { db.ExecSQL("  -- only a comment"); }), "Could not prepare SQL statement");

  db.ExecSQL("CREATE TABLE t (a INTEGER UNIQUE)");
  db.ExecSQL("INSERT INTO t VALUES (1)");
  EXPECT_EQ(ErrorOf([&] { db.ExecSQL("INSERT INTO t VALUES (1)"); }),
            "Error executing SQL statement.\rError [19]: Abort due to contraint violation.\r\"INSERT INTO t VALUES "
            "(1)\": UNIQUE constraint failed: t.a");
  // A statement that yields a row is not one ExecSQL may run.
  EXPECT_EQ(ErrorOf([&] { db.ExecSQL("SELECT a FROM t"); }), "Error executing SQL statement");
  // A failure while rows are fetched, not while the query is prepared.
  EXPECT_EQ(ErrorOf([&] { db.GetUniTable("SELECT abs(-9223372036854775807 - 1)"); }),
            "Could not retrieve data.\rError [1]: SQL error or missing database.\r\"SELECT abs(-9223372036854775807 - "
            "1)\": integer overflow");
  // The SQL is quoted as the program wrote it, Windows-1251 included.
  std::string cyr = "SELECT * FROM Таблица"_cp;
  EXPECT_EQ(ErrorOf([&] { db.GetUniTable(cyr); }),
            "Error executing SQL.\rError [1]: SQL error or missing database.\r\"" + cyr + "\": " +
                "no such table: Таблица"_cp);
}

TEST_F(SQLiteLayer, ParametersApplyToTheNextStatementOnly) {
  db.ExecSQL("CREATE TABLE t (i, f, s, n)");
  db.AddParamInt(":I", 1);
  db.AddParamInt(":I", -(int64_t(1) << 40));  // queued twice: the later value wins
  db.AddParamFloat(":F", 2.5);
  db.AddParamText(":S", "Привет, 'мир'"_cp);
  db.AddParamNull(":N");
  db.AddParamText(":Unused", "x");
  EXPECT_EQ(db.Params().size(), 6u);
  db.ExecSQL("INSERT INTO t VALUES (:I, :F, :S, :N)");
  EXPECT_TRUE(db.Params().empty());

  auto t = db.GetUniTable("SELECT i, f, s, n, typeof(f), typeof(n), hex(s) FROM t");
  EXPECT_EQ(t->FieldAsInteger(0), -(int64_t(1) << 40));
  EXPECT_EQ(t->FieldAsString(1), "2.5");
  EXPECT_EQ(t->FieldAsString(2), "Привет, 'мир'"_cp);
  EXPECT_EQ(t->FieldAsString(3), "");
  EXPECT_EQ(t->FieldAsString(4), "real");
  EXPECT_EQ(t->FieldAsString(5), "null");
  // Stored as UTF-8, not as the program's single-byte text.
  std::string hex;
  for (unsigned char c : cp1251::ToUtf8("Привет, 'мир'"_cp)) {
    static const char digits[] = "0123456789ABCDEF";
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  EXPECT_EQ(t->FieldAsString(6), hex);
  t.reset();

  // The unused parameter was dropped with the statement it was queued for.
  db.ExecSQL("CREATE TABLE u (x)");
  db.ExecSQL("INSERT INTO u VALUES (:Unused)");
  EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM u WHERE x IS NULL"), 1);

  // The same text again: the value of the earlier run is not reused.
  db.AddParamText(":Unused", "y");
  db.ExecSQL("INSERT INTO u VALUES (:Unused)");
  db.ExecSQL("INSERT INTO u VALUES (:Unused)");
  EXPECT_EQ(db.GetStringValue("SELECT group_concat(coalesce(x, 'null'), ',') FROM u"), "null,y,null");
  // ...and it follows a table that was dropped and made anew in between.
  db.ExecSQL("DROP TABLE u");
  db.ExecSQL("CREATE TABLE u (x INTEGER)");
  db.AddParamText(":Unused", "42");
  db.ExecSQL("INSERT INTO u VALUES (:Unused)");
  EXPECT_EQ(db.GetStringValue("SELECT typeof(x) FROM u"), "integer");
}

TEST_F(SQLiteLayer, FailedPrepareDropsTheQueue) {
  db.ExecSQL("CREATE TABLE t (x)");
  db.AddParamText(":X", "stale");
  EXPECT_THROW(db.ExecSQL("INSERT INTO missing VALUES (:X)"), ESQLiteException);
  EXPECT_TRUE(db.Params().empty());
  db.ExecSQL("INSERT INTO t VALUES (:X)");
  EXPECT_EQ(db.GetStringValue("SELECT coalesce(x, 'null') FROM t"), "null");
}

TEST_F(SQLiteLayer, SingleValueReads) {
  db.ExecSQL("CREATE TABLE t (x)");
  EXPECT_EQ(db.GetIntValue("SELECT x FROM t"), 0);
  EXPECT_EQ(db.GetStringValue("SELECT x FROM t"), "");
  db.ExecSQL("INSERT INTO t VALUES (NULL)");
  EXPECT_EQ(db.GetIntValue("SELECT x FROM t"), 0);
  db.ExecSQL("INSERT INTO t VALUES ('42')");
  EXPECT_EQ(db.GetLastInsertRowID(), 2);
  EXPECT_EQ(db.GetIntValue("SELECT x FROM t WHERE rowid=2"), 42);
  EXPECT_EQ(db.GetStringValue("SELECT x || 'ё' FROM t WHERE rowid=2"_cp), "42ё"_cp);
  // Only the first statement of a text runs.
  db.ExecSQL("INSERT INTO t VALUES (7); INSERT INTO t VALUES (8)");
  EXPECT_EQ(Count("t"), 3);
}

// A cache keyed on the stamp must see every committed change: its own
// connection's, another connection's, and a connection opened anew.
TEST_F(SQLiteLayer, TheDataStampMovesWithEveryChange) {
  db.ExecSQL("CREATE TABLE t (x)");
  TDataStamp before = db.DataStamp();
  EXPECT_EQ(db.DataStamp(), before) << "reading changes nothing";
  db.GetIntValue("SELECT count(*) FROM t");
  EXPECT_EQ(db.DataStamp(), before);
  db.ExecSQL("INSERT INTO t VALUES (1)");
  TDataStamp own = db.DataStamp();
  EXPECT_NE(own, before);

  {
    TSQLiteDatabase other(dir.File("test.db3"));
    other.ExecSQL("UPDATE t SET x=2");
  }
  EXPECT_NE(db.DataStamp(), own) << "another connection's commit";

  // Two fresh connections have changed nothing and seen nothing change.
  TSQLiteDatabase first(dir.File("test.db3")), second(dir.File("test.db3"));
  EXPECT_NE(first.DataStamp(), second.DataStamp()) << "another connection never shares a stamp";

  db.ExecSQL("ATTACH DATABASE '" + dir.File("side.db3") + "' AS side");
  db.ExecSQL("CREATE TABLE side.s (y)");
  TDataStamp side = db.DataStamp("side");
  EXPECT_EQ(db.DataStamp("side"), side);
  EXPECT_THROW(db.DataStamp("nosuch"), ESQLiteException);
  EXPECT_THROW(db.DataStamp("main; DROP TABLE t"), ESQLiteException);
  EXPECT_THROW(db.DataStamp(""), ESQLiteException);
  EXPECT_EQ(Count("t"), 1);
}

// Another connection holding the file for a moment (a backup tool reading
// it, another writer, a writer in the middle of its commit) delays a write;
// it does not fail it.
TEST_F(SQLiteLayer, ALockHeldForAMomentIsWaitedOut) {
  using namespace std::chrono_literals;
  db.ExecSQL("CREATE TABLE t (x)");
  for (const char* lock : {"BEGIN", "BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"}) {
    TSQLiteDatabase other(dir.File("test.db3"));
    other.ExecSQL(lock);
    other.GetIntValue("SELECT count(*) FROM t");  // a plain BEGIN takes its read lock here
    auto start = std::chrono::steady_clock::now();
    std::thread release([&] {
      std::this_thread::sleep_for(300ms);
      other.Commit();
    });
    std::string error = ErrorOf([&] { db.ExecSQL("INSERT INTO t VALUES (1)"); });
    auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_EQ(error, "<no exception>") << lock;
    EXPECT_GE(waited, 300ms) << lock;
  }
  EXPECT_EQ(Count("t"), 3);
}

TEST_F(SQLiteLayer, TransactionsFollowTheEngine) {
  db.ExecSQL("CREATE TABLE t (x)");
  EXPECT_FALSE(db.InTransaction());
  db.BeginTransaction();
  EXPECT_TRUE(db.InTransaction());
  db.ExecSQL("INSERT INTO t VALUES (1)");
  EXPECT_EQ(ErrorOf([&] { db.BeginTransaction(); }), "Transaction already open");
  EXPECT_TRUE(db.InTransaction());
  db.Rollback();
  EXPECT_FALSE(db.InTransaction());
  EXPECT_EQ(Count("t"), 0);

  // A transaction ended behind the layer's back is not reported open, so
  // the next one can start.
  db.BeginTransaction();
  db.ExecSQL("COMMIT");
  EXPECT_FALSE(db.InTransaction());
  db.BeginTransaction();
  db.ExecSQL("INSERT INTO t VALUES (2)");
  db.Commit();
  EXPECT_EQ(Count("t"), 1);

  // A rollback with nothing open fails, and does not leave a flag behind.
  EXPECT_THROW(db.Rollback(), ESQLiteException);
  EXPECT_FALSE(db.InTransaction());
}

TEST(SQLiteClose, OpenTransactionIsRolledBack) {
  TempDir dir;
  {
    TSQLiteDatabase db(dir.File("t.db3"));
    db.ExecSQL("CREATE TABLE t (x)");
    db.BeginTransaction();
    db.ExecSQL("INSERT INTO t VALUES (1)");
  }
  TSQLiteDatabase db(dir.File("t.db3"));
  EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM t"), 0);
}

TEST_F(SQLiteLayer, CursorColumnsAndRows) {
  db.ExecSQL(
      "CREATE TABLE k (a INTEGER, b BOOLEAN, c NUMERIC, d FLOAT, e DOUBLE, f REAL, g BLOB, h TEXT, i TIMESTAMP, "
      "j INT, l Double, Phone TEXT)");
  auto empty = db.GetUniTable("SELECT a, b, c, d, e, f, g, h, i, j, l, 1 + 1 AS \"имя\" FROM k"_cp);
  EXPECT_TRUE(empty->Eof());
  EXPECT_EQ(empty->Row(), 0);
  EXPECT_EQ(empty->ColCount(), 12);
  EXPECT_EQ(empty->ColTypes(), (std::vector<int>{1, 1, 2, 2, 2, 2, 4, 3, 3, 3, 3, 5}));
  EXPECT_EQ(empty->ColNames()[0], "A");
  EXPECT_EQ(empty->ColNames()[11], "ИМЯ"_cp);
  EXPECT_EQ(empty->FieldIndex("Имя"_cp), 11);
  empty.reset();

  for (int i = 1; i <= 3; ++i) {
    db.AddParamText(":P", std::to_string(i * 111));
    db.ExecSQL("INSERT INTO k (Phone) VALUES (:P)");
  }
  auto t = db.GetUniTable("SELECT Phone FROM k ORDER BY Phone");
  std::vector<std::string> phones;
  while (!t->Eof()) {
    phones.push_back(t->FieldByName("phone"));
    EXPECT_EQ(t->Row(), static_cast<int>(phones.size()));
    t->Next();
  }
  EXPECT_EQ(phones, (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_FALSE(t->Next());
  EXPECT_TRUE(t->Eof());

  // The same query open twice at once: two independent cursors.
  auto first = db.GetUniTable("SELECT Phone FROM k ORDER BY Phone");
  first->Next();
  auto second = db.GetUniTable("SELECT Phone FROM k ORDER BY Phone");
  EXPECT_EQ(first->FieldAsString(0), "222");
  EXPECT_EQ(second->FieldAsString(0), "111");
  first.reset();
  second.reset();
  // Many other statements in between do not disturb a query run again.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(db.GetIntValue("SELECT " + std::to_string(i)), i);
  db.AddParamText(":P", "333");
  EXPECT_EQ(db.GetStringValue("SELECT Phone FROM k WHERE Phone=:P"), "333");
  db.AddParamText(":P", "222");
  EXPECT_EQ(db.GetStringValue("SELECT Phone FROM k WHERE Phone=:P"), "222");
  EXPECT_EQ(ErrorOf([&] { t->FieldIndex("Nope"); }), "Field not found in dataset: Nope");

  auto noColumns = db.GetUniTable("DELETE FROM k WHERE Phone='111'");
  EXPECT_EQ(ErrorOf([&] { noColumns->FieldIndex("Phone"); }), "Field Phone Not found. Empty dataset");
}

TEST_F(SQLiteLayer, UpperKnowsCyrillic) {
  EXPECT_EQ(db.GetStringValue("SELECT upper('привет ёжик abc')"_cp), "привет ёжик ABC"_cp);
  db.RegisterUpper();
  EXPECT_EQ(db.GetStringValue("SELECT upper('привет ёжик abc')"_cp), "ПРИВЕТ ЁЖИК ABC"_cp);
  EXPECT_EQ(db.GetStringValue("SELECT typeof(upper(NULL)) || ':' || upper(NULL)"), "text:");
  // Characters the code page lacks pass through untouched (not as "?").
  EXPECT_EQ(db.GetIntValue("SELECT upper(char(223, 0x4E2D, 0x1F600, 0x451)) = char(223, 0x4E2D, 0x1F600, 0x401)"), 1);
  EXPECT_EQ(db.GetStringValue("SELECT upper('ёжъ€ßÿ 5')"_cp), "ЁЖЪ€ßÿ 5"_cp);
  db.ExecSQL("CREATE TABLE p (Name)");
  db.AddParamText(":N", "Иванов Пётр"_cp);
  db.ExecSQL("INSERT INTO p VALUES (:N)");
  db.AddParamText(":Name", "%"_cp + cp1251::UpperCase("пётр"_cp) + "%");
  EXPECT_EQ(db.GetStringValue("SELECT Name FROM p WHERE upper(Name) like :Name"), "Иванов Пётр"_cp);
}

}  // namespace
