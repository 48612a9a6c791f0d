#include "stats.h"

#include <cmath>
#include <cstdio>

#include "datetime.h"
#include "options.h"
#include "sqlmgr.h"

namespace {

// Days a daily row is kept.
constexpr int kKeepDays = 60;
// Days between two uploads.
constexpr int kPostPeriodDays = 7;

TDateTime DateOf(TDateTime dt) { return std::floor(dt); }

// The daily row (today) or the all-time row (Date NULL) of a gate, raised by
// one send.
void IncrementRow(TSQLiteDatabase& db, const std::string& gateName, bool isError, bool allTime) {
  const std::string dateTest = allTime ? " is NULL" : "=:Date";
  const int64_t today = TStats::Today();
  auto bind = [&] {
    db.AddParamText(":Gate", gateName);
    if (!allTime) db.AddParamInt(":Date", today);
  };
  bind();
  bool exists = !db.GetStringValue("SELECT GateName FROM Stats Where GateName=:Gate AND Date" + dateTest).empty();
  bind();
  if (exists) {
    // A count at the top of SQLite's integers stays there: one more would
    // turn it into an inexact floating-point number.
    db.ExecSQL(std::string("UPDATE Stats SET ") +
               (isError ? "SendError=SendError+(SendError<9223372036854775807) "
                        : "SendCount=SendCount+(SendCount<9223372036854775807) ") +
               "WHERE GateName=:Gate AND Date" + dateTest);
    return;
  }
  if (allTime) {
    db.AddParamNull(":Date");
  }
  db.AddParamInt(":SC", isError ? 0 : 1);
  db.AddParamInt(":EC", isError ? 1 : 0);
  db.AddParamInt(":Posted", 0);
  db.ExecSQL(
      "INSERT INTO Stats (Date,GateName, SendCount,SendError,Posted) Values(:Date,:Gate, :SC,:EC,:Posted)");
}

}  // namespace

int64_t TStats::Today() { return DateTimeToUnix(DateOf(Now())); }

void TStats::Log(const std::string& gateName, bool isError) {
  RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    IncrementRow(db, gateName, isError, false);
    IncrementRow(db, gateName, isError, true);
  });
}

void TStats::Cleanup() {
  TDateTime now = Now();
  if (!(now - 1 > Options->ReadDateTime("Stats\\LastCleanup"))) return;
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":MinDate", DateTimeToUnix(DateOf(now) - kKeepDays));
  db.ExecSQL("DELETE FROM Stats WHERE Date is not NULL AND Date<:MinDate");
  Options->WriteDateTime("Stats\\LastCleanup", DateOf(now));
}

bool TStats::IsPostDue() {
  return DateOf(Now()) - kPostPeriodDays > DateOf(Options->ReadDateTime("Stats\\LastPost"));
}

std::string TStats::BuildReport(int64_t cutoff) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":Date", cutoff);
  auto table =
      db.GetUniTable("SELECT Date, GateName, SendCount,SendError FROM Stats WHERE Posted=0 AND Date is not NULL AND "
                     "Date<:Date");
  std::string report;
  for (; !table->Eof(); table->Next()) {
    if (!report.empty()) report += "\r\n";
    report += std::to_string(table->FieldAsInteger(0)) + "," + table->FieldAsString(1) + "," +
              std::to_string(table->FieldAsInteger(2)) + "," + std::to_string(table->FieldAsInteger(3));
  }
  return report;
}

void TStats::SetPosted(int64_t cutoff) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":Date", cutoff);
  db.ExecSQL("UPDATE Stats SET Posted = 1 WHERE Posted=0 AND Date is not NULL AND Date<:Date");
}

void TStats::PostDone(bool success, int64_t cutoff) {
  if (!success) return;
  SetPosted(cutoff);
  Options->WriteDateTime("Stats\\LastPost", DateOf(Now()));
}
