// The object layer over SQLite: one connection with named parameters queued
// for the next statement, transactions and custom functions, a forward-only
// cursor, and the exception every database failure raises. Program text is
// Windows-1251; it crosses into the engine as UTF-8 and comes back converted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "exceptions.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

// Every failure of the database layer; the text carries the SQL and the
// engine's own message where there is one.
class ESQLiteException : public Exception {
  PX_CLASS(ESQLiteException, Exception)
 public:
  using Exception::Exception;
};

// The English text of an engine result code; codes without a text of their
// own give "Unknown SQLite Error Code \"N\"".
std::string SQLiteErrorText(int code);

// One parameter queued for the next statement.
class TSQliteParam : public TObject {
  PX_CLASS(TSQliteParam, TObject)
 public:
  enum : int { kInteger = 1, kFloat = 2, kText = 3, kNull = 5 };

  std::string Name;  // as written in the SQL, prefix included (":Phone")
  int ValueType = kNull;
  int64_t ValueInteger = 0;
  double ValueFloat = 0;
  std::string ValueText;  // Windows-1251
};

// A scalar SQL function: the engine's context, argument count and arguments.
using TSQLiteFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

class TSQLiteUniTable;

// What a cache of rows read from one database compares to know whether it
// is still current. It changes whenever this connection writes to any of
// its databases (more often than needed, never too seldom), whenever
// another connection commits to that database, and with the connection.
struct TDataStamp {
  uint64_t connection = 0;
  int64_t changes = -1;
  int64_t version = -1;
  bool operator==(const TDataStamp&) const = default;
};

// Prepared statements are finalised as soon as their owner lets go of them.
struct TSQLiteStatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const;
};
using TSQLiteStatement = std::unique_ptr<sqlite3_stmt, TSQLiteStatementFinalizer>;

class TSQLiteDatabase : public TObject {
  PX_CLASS(TSQLiteDatabase, TObject)
 public:
  // Opens or creates the database file (a file-system path). Raises
  // ESQLiteException "Failed to open database ..." when the engine refuses.
  explicit TSQLiteDatabase(const std::string& fileName);
  // Rolls back an open transaction, then closes the connection.
  ~TSQLiteDatabase() override;
  TSQLiteDatabase(const TSQLiteDatabase&) = delete;
  TSQLiteDatabase& operator=(const TSQLiteDatabase&) = delete;

  sqlite3* Handle() const { return handle_; }
  // True while the engine has a transaction open on this connection; taken
  // from the engine, so a transaction it ended by itself is not reported open.
  bool InTransaction() const;
  const std::vector<TSQliteParam>& Params() const { return params_; }

  // Runs the first statement of `sql`, which must return no rows; the queued
  // parameters are bound to it and dropped. Raises ESQLiteException.
  void ExecSQL(const std::string& sql);
  // Opens a cursor on the first statement of `sql`, standing on its first row.
  std::unique_ptr<TSQLiteUniTable> GetUniTable(const std::string& sql);
  // First column of the first row as an integer; 0 without a row or for null.
  int64_t GetIntValue(const std::string& sql);
  // First column of the first row as text; empty without a row.
  std::string GetStringValue(const std::string& sql);
  int64_t GetLastInsertRowID() const;
  // The stamp of the database `schema` ("main" or an attached alias).
  // Raises ESQLiteException for a name that is no attached database.
  TDataStamp DataStamp(const std::string& schema = "main");

  // Raises "Transaction already open" when one is open.
  void BeginTransaction();
  void Commit();
  void Rollback();

  void AddParamInt(const std::string& name, int64_t value);
  void AddParamFloat(const std::string& name, double value);
  void AddParamText(const std::string& name, const std::string& value);
  void AddParamNull(const std::string& name);
  void ClearParams() { params_.clear(); }

  // Registers a scalar function for any text encoding. Raises on refusal.
  void AddCustomFunction(const std::string& name, int argCount, TSQLiteFunction callback);
  // Replaces the engine's ASCII-only `upper` by the Windows-1251 one.
  void RegisterUpper();

  // Raises ESQLiteException with `message`, followed by the engine's current
  // error code, its text, the SQL and the engine's message when the code is
  // not 0.
  [[noreturn]] void RaiseError(const std::string& message, const std::string& sql) const;

 private:
  friend class TSQLiteUniTable;

  struct CachedStatement {
    TSQLiteStatement stmt;
    uint64_t lastUse;
  };
  using StatementCache = std::unordered_map<std::string, CachedStatement>;

  // Prepares the first statement of `sql`. Raises, and drops the queued
  // parameters, when the text does not prepare.
  TSQLiteStatement Prepare(const std::string& sql);
  // The statement of `sql` taken out of the cache (prepared on a miss),
  // with the queued parameters bound.
  StatementCache::node_type AcquireBound(const std::string& sql);
  // Puts a statement back into the cache, ready for its next run.
  void Release(StatementCache::node_type node);
  // Binds and empties the queue, also when binding fails.
  void BindParams(sqlite3_stmt* stmt, const std::string& sql);
  TSQliteParam& AddParam(const std::string& name, int type);

  sqlite3* handle_ = nullptr;
  uint64_t serial_ = 0;  // tells this connection from every other one of the process
  std::vector<TSQliteParam> params_;
  // Statements by their text, while no one runs them: bulk writes and
  // lookups run the same few statements thousands of times, and preparing
  // costs more than running.
  StatementCache cache_;
  uint64_t useCount_ = 0;
  std::string scratch_;  // UTF-8 of the value being bound
};

// Rolls back the transaction open on `db`, if any; a failure is dropped,
// since the engine has then ended the transaction by itself.
void RollbackQuietly(TSQLiteDatabase& db) noexcept;

// Runs `work` in one transaction on `db` and commits. A database failure
// rolls the transaction back and gives false; a transaction already open is
// left alone and gives false too.
template <class Work>
bool RunInTransaction(TSQLiteDatabase& db, Work&& work) {
  try {
    db.BeginTransaction();
  } catch (const ESQLiteException&) {
    return false;
  }
  try {
    work();
    db.Commit();
    return true;
  } catch (const ESQLiteException&) {
    RollbackQuietly(db);
    return false;
  } catch (...) {
    RollbackQuietly(db);
    throw;
  }
}

// A forward-only cursor over the rows of one query.
class TSQLiteUniTable : public TObject {
  PX_CLASS(TSQLiteUniTable, TObject)
 public:
  // Column kinds read from the declared types.
  enum : int { kInteger = 1, kFloat = 2, kText = 3, kBlob = 4, kNull = 5 };

  // Prepares and binds the query and fetches its first row. Raises
  // ESQLiteException as ExecSQL does, or "Could not retrieve data". The
  // cursor must be freed before its connection.
  TSQLiteUniTable(TSQLiteDatabase& db, const std::string& sql);
  ~TSQLiteUniTable() override;
  TSQLiteUniTable(const TSQLiteUniTable&) = delete;
  TSQLiteUniTable& operator=(const TSQLiteUniTable&) = delete;

  int ColCount() const { return static_cast<int>(colNames_.size()); }
  // Column names, upper-cased, in column order.
  const std::vector<std::string>& ColNames() const { return colNames_; }
  const std::vector<int>& ColTypes() const { return colTypes_; }
  // Rows fetched so far (1 while on the first row).
  int Row() const { return row_; }
  // True when there is no current row.
  bool Eof() const { return eof_; }
  const std::string& SQL() const { return sql_; }
  TSQLiteDatabase& DB() const { return db_; }

  // Fetches the next row; true when the cursor stands on one. Raises
  // "Could not retrieve data" when the engine fails.
  bool Next();
  int64_t FieldAsInteger(int index) const;
  // The column as Windows-1251 text; null gives empty text.
  std::string FieldAsString(int index) const;
  std::string GetField(int index) const { return FieldAsString(index); }
  // Column position by name, without regard to case. Raises when absent.
  int FieldIndex(const std::string& name) const;
  std::string FieldByName(const std::string& name) const { return FieldAsString(FieldIndex(name)); }

 private:
  TSQLiteDatabase& db_;
  std::string sql_;
  TSQLiteDatabase::StatementCache::node_type node_;
  sqlite3_stmt* stmt_;
  std::vector<std::string> colNames_;
  std::vector<int> colTypes_;
  int row_ = 0;
  bool eof_ = false;
  bool done_ = false;
};
