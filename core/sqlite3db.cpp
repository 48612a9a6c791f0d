// Connection, cursor and error texts of the database layer over the SQLite
// C library.
#include "sqlite3db.h"

#include <sqlite3.h>

#include <atomic>
#include <string_view>

#include "corelimits.h"
#include "cp1251.h"

namespace {

struct ResultCodeText {
  int code;
  const char* text;
};

constexpr ResultCodeText kResultCodeTexts[] = {
    {0, "Successful result"},
    {1, "SQL error or missing database"},
    {2, "An internal logic error in SQLite"},
    {3, "Access permission denied"},
    {4, "Callback routine requested an abort"},
    {5, "The database file is locked"},
    {6, "A table in the database is locked"},
    {7, "A malloc() failed"},
    {8, "Attempt to write a readonly database"},
    {9, "Operation terminated by sqlite3_interrupt()"},
    {10, "Some kind of disk I/O error occurred"},
    {11, "The database disk image is malformed"},
    {12, "(Internal Only) Table or record not found"},
    {13, "Insertion failed because database is full"},
    {14, "Unable to open the database file"},
    {15, "Database lock protocol error"},
    {16, "Database is empty"},
    {17, "The database schema changed"},
    {18, "Too much data for one row of a table"},
    {19, "Abort due to contraint violation"},
    {20, "Data type mismatch"},
    {21, "Library used incorrectly"},
    {22, "Uses OS features not supported on host"},
    {23, "Authorization denied"},
    {24, "Auxiliary database format error"},
    {25, "2nd parameter to sqlite3_bind out of range"},
    {26, "File opened that is not a database file"},
    {100, "sqlite3_step() has another row ready"},
    {101, "sqlite3_step() has finished executing"},
};

// Column kinds by declared type; the comparison is exact, case included.
struct DeclaredKind {
  std::string_view type;
  int kind;
};

constexpr DeclaredKind kDeclaredKinds[] = {
    {"INTEGER", TSQLiteUniTable::kInteger}, {"BOOLEAN", TSQLiteUniTable::kInteger},
    {"NUMERIC", TSQLiteUniTable::kFloat},   {"FLOAT", TSQLiteUniTable::kFloat},
    {"DOUBLE", TSQLiteUniTable::kFloat},    {"REAL", TSQLiteUniTable::kFloat},
    {"BLOB", TSQLiteUniTable::kBlob},
};

int KindOfDeclaredType(std::string_view declared) {
  for (const DeclaredKind& entry : kDeclaredKinds)
    if (entry.type == declared) return entry.kind;
  return TSQLiteUniTable::kText;
}

// The engine's text (UTF-8) as program text.
std::string EngineText(const unsigned char* utf8) {
  return utf8 ? cp1251::FromUtf8(reinterpret_cast<const char*>(utf8)) : std::string();
}

// A column's text as program text; plain ASCII (numbers, gate names) is
// taken over as it is.
std::string ColumnText(sqlite3_stmt* stmt, int index) {
  const unsigned char* utf8 = sqlite3_column_text(stmt, index);
  if (!utf8) return std::string();
  std::string_view text(reinterpret_cast<const char*>(utf8), sqlite3_column_bytes(stmt, index));
  for (char c : text)
    if (c < 0) return cp1251::FromUtf8(text);
  return std::string(text);
}

// The UTF-8 form of program text: the text itself when it is plain ASCII,
// otherwise its conversion in `scratch`.
const char* Utf8(const std::string& text, std::string& scratch) {
  bool ascii = true;
  for (char c : text) ascii &= static_cast<unsigned char>(c) < 0x80;
  if (ascii) return text.c_str();
  scratch = cp1251::ToUtf8(text);
  return scratch.c_str();
}

// upper(x) with the Windows-1251 case rules, Cyrillic included; null gives
// empty text. It runs once per row of a name search, so it works on the
// UTF-8 text in place, one code point at a time, without allocating.
void SQLiteUpperFunc(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const unsigned char* text = argc > 0 ? sqlite3_value_text(argv[0]) : nullptr;
  if (!text) return sqlite3_result_text(context, "", 0, SQLITE_STATIC);
  int size = sqlite3_value_bytes(argv[0]);
  thread_local std::string out;
  out.assign(reinterpret_cast<const char*>(text), size);
  for (int i = 0; i < size;) {
    unsigned char b = text[i];
    if (b < 0x80) {
      if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
      ++i;
      continue;
    }
    // Only two-byte sequences hold letters of the code page, and their
    // upper-case forms are two bytes long too.
    if (b >= 0xC2 && b < 0xE0 && i + 1 < size && (text[i + 1] & 0xC0) == 0x80) {
      char32_t cp = (char32_t(b & 0x1F) << 6) | (text[i + 1] & 0x3F);
      char32_t up = cp1251::UpperCodePoint(cp);
      if (up != cp && up >= 0x80 && up < 0x800) {
        out[i] = static_cast<char>(0xC0 | (up >> 6));
        out[i + 1] = static_cast<char>(0x80 | (up & 0x3F));
      }
      i += 2;
      continue;
    }
    ++i;
  }
  sqlite3_result_text(context, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// The statement in the cache that ran longest ago.
template <class Cache>
typename Cache::iterator LeastRecentlyUsed(Cache& cache) {
  auto oldest = cache.begin();
  for (auto it = cache.begin(); it != cache.end(); ++it)
    if (it->second.lastUse < oldest->second.lastUse) oldest = it;
  return oldest;
}

}  // namespace

std::string SQLiteErrorText(int code) {
  for (const ResultCodeText& entry : kResultCodeTexts)
    if (entry.code == code) return entry.text;
  return "Unknown SQLite Error Code \"" + std::to_string(code) + "\"";
}

void TSQLiteStatementFinalizer::operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }

// ---------------------------------------------------------------------------
// TSQLiteDatabase

TSQLiteDatabase::TSQLiteDatabase(const std::string& fileName) {
  sqlite3* handle = nullptr;
  // One thread uses a connection (the main thread), so the engine's own
  // locking of every call is pure cost.
  int rc = sqlite3_open_v2(fileName.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc == SQLITE_OK) {
    static std::atomic<uint64_t> connections{0};
    // Every connection of the program is made here, so every one of them
    // waits out a lock that another program holds for a moment.
    sqlite3_busy_timeout(handle, kDatabaseBusyTimeoutMs);
    handle_ = handle;
    serial_ = ++connections;
    return;
  }
  std::string reason = handle ? cp1251::FromUtf8(sqlite3_errmsg(handle)) : "unknown error";
  sqlite3_close(handle);
  throw ESQLiteException("Failed to open database \"" + cp1251::FromUtf8(fileName) + "\" : " + reason);
}

TSQLiteDatabase::~TSQLiteDatabase() {
  RollbackQuietly(*this);
  cache_.clear();
  // The deferred close waits for cursors a caller still holds instead of
  // failing and leaking the connection.
  sqlite3_close_v2(handle_);
}

bool TSQLiteDatabase::InTransaction() const { return handle_ && !sqlite3_get_autocommit(handle_); }

void TSQLiteDatabase::RaiseError(const std::string& message, const std::string& sql) const {
  int code = handle_ ? sqlite3_errcode(handle_) : 0;
  if (code == SQLITE_OK) throw ESQLiteException(message);
  throw ESQLiteException(message + ".\rError [" + std::to_string(code) + "]: " + SQLiteErrorText(code) + ".\r\"" +
                         sql + "\": " + cp1251::FromUtf8(sqlite3_errmsg(handle_)));
}

TSQLiteStatement TSQLiteDatabase::Prepare(const std::string& sql) {
  std::string utf8 = cp1251::ToUtf8(sql);
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(handle_, utf8.c_str(), static_cast<int>(utf8.size()), &raw, nullptr);
  TSQLiteStatement stmt(raw);
  // Parameters queued for a statement that never ran must not leak into
  // the next one.
  if (rc != SQLITE_OK) {
    ClearParams();
    RaiseError("Error executing SQL", sql);
  }
  if (!stmt) {
    ClearParams();
    RaiseError("Could not prepare SQL statement", sql);
  }
  return stmt;
}

TSQLiteDatabase::StatementCache::node_type TSQLiteDatabase::AcquireBound(const std::string& sql) {
  constexpr size_t kCacheSize = 32;
  auto it = cache_.find(sql);
  if (it == cache_.end()) {
    TSQLiteStatement stmt = Prepare(sql);
    if (cache_.size() >= kCacheSize) cache_.erase(LeastRecentlyUsed(cache_));
    it = cache_.emplace(sql, CachedStatement{std::move(stmt), 0}).first;
  }
  it->second.lastUse = ++useCount_;
  StatementCache::node_type node = cache_.extract(it);
  BindParams(node.mapped().stmt.get(), sql);
  return node;
}

void TSQLiteDatabase::BindParams(sqlite3_stmt* stmt, const std::string& sql) {
  struct ClearOnExit {
    std::vector<TSQliteParam>& params;
    ~ClearOnExit() { params.clear(); }
  } clearOnExit{params_};
  for (const TSQliteParam& param : params_) {
    int index = sqlite3_bind_parameter_index(stmt, Utf8(param.Name, scratch_));
    if (index == 0) continue;
    int rc = SQLITE_OK;
    switch (param.ValueType) {
      case TSQliteParam::kInteger:
        rc = sqlite3_bind_int64(stmt, index, param.ValueInteger);
        break;
      case TSQliteParam::kFloat:
        rc = sqlite3_bind_double(stmt, index, param.ValueFloat);
        break;
      case TSQliteParam::kText: {
        const char* utf8 = Utf8(param.ValueText, scratch_);
        size_t size = utf8 == param.ValueText.c_str() ? param.ValueText.size() : scratch_.size();
        rc = sqlite3_bind_text64(stmt, index, utf8, size, SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
      }
      default:
        rc = sqlite3_bind_null(stmt, index);
        break;
    }
    if (rc != SQLITE_OK) RaiseError("Could not bind parameter " + param.Name, sql);
  }
}

void TSQLiteDatabase::ExecSQL(const std::string& sql) {
  StatementCache::node_type node = AcquireBound(sql);
  sqlite3_stmt* stmt = node.mapped().stmt.get();
  int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  if (rc != SQLITE_DONE) RaiseError("Error executing SQL statement", sql);
  Release(std::move(node));
}

void TSQLiteDatabase::Release(StatementCache::node_type node) {
  sqlite3_stmt* stmt = node.mapped().stmt.get();
  sqlite3_reset(stmt);
  // A parameter the next run does not queue must read as null again.
  sqlite3_clear_bindings(stmt);
  // The same text may run twice at once (nested cursors); the second copy
  // is finalised here.
  cache_.insert(std::move(node));
}

std::unique_ptr<TSQLiteUniTable> TSQLiteDatabase::GetUniTable(const std::string& sql) {
  return std::make_unique<TSQLiteUniTable>(*this, sql);
}

int64_t TSQLiteDatabase::GetIntValue(const std::string& sql) {
  TSQLiteUniTable table(*this, sql);
  return table.Eof() ? 0 : table.FieldAsInteger(0);
}

std::string TSQLiteDatabase::GetStringValue(const std::string& sql) {
  TSQLiteUniTable table(*this, sql);
  return table.Eof() ? std::string() : table.FieldAsString(0);
}

int64_t TSQLiteDatabase::GetLastInsertRowID() const { return sqlite3_last_insert_rowid(handle_); }

TDataStamp TSQLiteDatabase::DataStamp(const std::string& schema) {
  // The name becomes part of the statement: only a plain identifier will do.
  bool plain = !schema.empty();
  for (char c : schema) plain = plain && (cp1251::IsLetterOrDigit(c) || c == '_') && static_cast<unsigned char>(c) < 128;
  if (!plain) throw ESQLiteException("Invalid database name \"" + schema + "\"");
  TDataStamp stamp;
  stamp.connection = serial_;
  stamp.changes = sqlite3_total_changes64(handle_);
  stamp.version = GetIntValue("PRAGMA " + schema + ".data_version");
  return stamp;
}

void TSQLiteDatabase::BeginTransaction() {
  if (InTransaction()) throw ESQLiteException("Transaction already open");
  ExecSQL("BEGIN TRANSACTION");
}

void TSQLiteDatabase::Commit() { ExecSQL("COMMIT"); }

void TSQLiteDatabase::Rollback() { ExecSQL("ROLLBACK"); }

TSQliteParam& TSQLiteDatabase::AddParam(const std::string& name, int type) {
  TSQliteParam& param = params_.emplace_back();
  param.Name = name;
  param.ValueType = type;
  return param;
}

void TSQLiteDatabase::AddParamInt(const std::string& name, int64_t value) {
  AddParam(name, TSQliteParam::kInteger).ValueInteger = value;
}

void TSQLiteDatabase::AddParamFloat(const std::string& name, double value) {
  AddParam(name, TSQliteParam::kFloat).ValueFloat = value;
}

void TSQLiteDatabase::AddParamText(const std::string& name, const std::string& value) {
  AddParam(name, TSQliteParam::kText).ValueText = value;
}

void TSQLiteDatabase::AddParamNull(const std::string& name) { AddParam(name, TSQliteParam::kNull); }

void TSQLiteDatabase::AddCustomFunction(const std::string& name, int argCount, TSQLiteFunction callback) {
  int rc = sqlite3_create_function(handle_, cp1251::ToUtf8(name).c_str(), argCount, SQLITE_ANY, nullptr, callback,
                                   nullptr, nullptr);
  if (rc != SQLITE_OK) RaiseError("Could not register function " + name, std::string());
}

void TSQLiteDatabase::RegisterUpper() { AddCustomFunction("upper", 1, SQLiteUpperFunc); }

void RollbackQuietly(TSQLiteDatabase& db) noexcept {
  try {
    if (db.InTransaction()) db.Rollback();
  } catch (const ESQLiteException&) {
  }
}

// ---------------------------------------------------------------------------
// TSQLiteUniTable

TSQLiteUniTable::TSQLiteUniTable(TSQLiteDatabase& db, const std::string& sql)
    : db_(db), sql_(sql), node_(db.AcquireBound(sql)), stmt_(node_.mapped().stmt.get()) {
  sqlite3_stmt* stmt = stmt_;
  int count = sqlite3_column_count(stmt);
  colNames_.reserve(count);
  colTypes_.reserve(count);
  for (int i = 0; i < count; ++i) {
    colNames_.push_back(cp1251::UpperCase(EngineText(reinterpret_cast<const unsigned char*>(sqlite3_column_name(stmt, i)))));
    const char* declared = sqlite3_column_decltype(stmt, i);
    // An expression has no declared type; before the first step the engine
    // reports its storage class as null.
    colTypes_.push_back(declared ? KindOfDeclaredType(declared) : sqlite3_column_type(stmt, i));
  }
  Next();
}

TSQLiteUniTable::~TSQLiteUniTable() { db_.Release(std::move(node_)); }

bool TSQLiteUniTable::Next() {
  // Stepping a finished statement would make the engine run the query again
  // from its first row.
  if (done_) return false;
  eof_ = true;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) {
    eof_ = false;
    ++row_;
  } else if (rc == SQLITE_DONE) {
    done_ = true;
  } else {
    done_ = true;
    sqlite3_reset(stmt_);
    db_.RaiseError("Could not retrieve data", sql_);
  }
  return !eof_;
}

int64_t TSQLiteUniTable::FieldAsInteger(int index) const { return sqlite3_column_int64(stmt_, index); }

std::string TSQLiteUniTable::FieldAsString(int index) const {
  return ColumnText(stmt_, index);
}

int TSQLiteUniTable::FieldIndex(const std::string& name) const {
  if (colNames_.empty()) throw ESQLiteException("Field " + name + " Not found. Empty dataset");
  std::string upper = cp1251::UpperCase(name);
  for (size_t i = 0; i < colNames_.size(); ++i)
    if (colNames_[i] == upper) return static_cast<int>(i);
  throw ESQLiteException("Field not found in dataset: " + name);
}
