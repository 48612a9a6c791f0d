// Bulk inserts through the database layer against the same inserts written
// directly on the SQLite C API, which is as fast as the engine goes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "cp1251.h"
#include "sqlmgr.h"
#include "temp_profile.h"

namespace {

constexpr int kHistoryRows = 100000;
constexpr int kPrefixRows = 50000;

const char* const kInsertHistory =
    "INSERT INTO History (DATETIME, GateName, Message, Phone, Signature, DeliveryStatus) "
    "VALUES (:DateTime, :GateName, :Message, :Phone, :Signature, :DeliveryStatus)";
const char* const kInsertPrefix =
    "INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd, Tag) "
    "VALUES (:GateName, :Format, :PrefixStart, :PrefixEnd, :Tag)";

// The row values, Windows-1251 as the program holds them.
struct Row {
  std::string gate = "MTS Россия"_cp;
  std::string message = "Привет! Буду через полчаса, жди у метро."_cp;
  std::string signature = "Вася"_cp;
  std::string Phone(int i) const { return "7916" + std::to_string(1000000 + i); }
};

void LayerInserts(TSQLiteDatabase& db, const Row& row) {
  db.BeginTransaction();
  for (int i = 0; i < kHistoryRows; ++i) {
    db.AddParamInt(":DateTime", 1700000000 + i);
    db.AddParamText(":GateName", row.gate);
    db.AddParamText(":Message", row.message);
    db.AddParamText(":Phone", row.Phone(i));
    db.AddParamText(":Signature", row.signature);
    db.AddParamInt(":DeliveryStatus", i % 5);
    db.ExecSQL(kInsertHistory);
  }
  db.Commit();
  db.BeginTransaction();
  for (int i = 0; i < kPrefixRows; ++i) {
    db.AddParamText(":GateName", row.gate);
    db.AddParamText(":Format", "1.3.7");
    db.AddParamText(":PrefixStart", row.Phone(i));
    db.AddParamText(":PrefixEnd", row.Phone(i + 9));
    db.AddParamInt(":Tag", i % 3);
    db.ExecSQL(kInsertPrefix);
  }
  db.Commit();
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The same rows on the bare C API: one prepared statement per table, texts
// converted to UTF-8 once, as a program written straight on the engine would.
void RawInserts(sqlite3* db, const Row& row) {
  std::string gate = cp1251::ToUtf8(row.gate), message = cp1251::ToUtf8(row.message),
              signature = cp1251::ToUtf8(row.signature);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_exec(db, "BEGIN TRANSACTION", nullptr, nullptr, nullptr);
  sqlite3_prepare_v2(db, kInsertHistory, -1, &stmt, nullptr);
  for (int i = 0; i < kHistoryRows; ++i) {
    sqlite3_bind_int64(stmt, 1, 1700000000 + i);
    BindText(stmt, 2, gate);
    BindText(stmt, 3, message);
    BindText(stmt, 4, row.Phone(i));
    BindText(stmt, 5, signature);
    sqlite3_bind_int64(stmt, 6, i % 5);
    if (sqlite3_step(stmt) != SQLITE_DONE) std::abort();
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "BEGIN TRANSACTION", nullptr, nullptr, nullptr);
  sqlite3_prepare_v2(db, kInsertPrefix, -1, &stmt, nullptr);
  for (int i = 0; i < kPrefixRows; ++i) {
    BindText(stmt, 1, gate);
    BindText(stmt, 2, "1.3.7");
    BindText(stmt, 3, row.Phone(i));
    BindText(stmt, 4, row.Phone(i + 9));
    sqlite3_bind_int64(stmt, 5, i % 3);
    if (sqlite3_step(stmt) != SQLITE_DONE) std::abort();
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// Times `insert` on a fresh pair of databases per iteration; creating them
// is left out of the time.
template <class Insert>
void TimeInserts(benchmark::State& state, Insert&& insert) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      TempProfile profile;
      state.ResumeTiming();
      insert();
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.counters["rows/s"] =
      benchmark::Counter(double(kHistoryRows + kPrefixRows) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_LayerBulkInsert(benchmark::State& state) {
  Row row;
  TimeInserts(state, [&] { LayerInserts(*Database, row); });
}

void BM_RawBulkInsert(benchmark::State& state) {
  Row row;
  TimeInserts(state, [&] { RawInserts(Database->Handle(), row); });
}

}  // namespace

BENCHMARK(BM_LayerBulkInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawBulkInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
