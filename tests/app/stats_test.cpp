// Statistics over a real user database: counting, the daily cleanup, the
// weekly test and the report with the rows it marks.
#include "stats.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/fresh_database.h"
#include "cp1251.h"
#include "datetime.h"
#include "options.h"
#include "support/optionsprofile.h"

namespace {

constexpr int64_t kDay = 86400;

class Stats : public FreshDatabase {
 protected:
  OptionsProfile profile;

  void SetUp() override {
    FreshDatabase::SetUp();
    Options = profile.options.get();
  }
  void TearDown() override {
    Options = nullptr;
    FreshDatabase::TearDown();
  }
  // "sent/errors/posted" of a gate's daily row, or of its all-time row.
  std::string Row(const std::string& gate, std::optional<int64_t> date) {
    db().AddParamText(":Gate", gate);
    std::string where = "GateName=:Gate AND Date is NULL";
    if (date) {
      db().AddParamInt(":Date", *date);
      where = "GateName=:Gate AND Date=:Date";
    }
    auto t = db().GetUniTable("SELECT SendCount, SendError, Posted, count(*) FROM Stats WHERE " + where);
    if (t->FieldAsInteger(3) == 0) return "none";
    EXPECT_EQ(t->FieldAsInteger(3), 1) << "one row per gate and day";
    return std::to_string(t->FieldAsInteger(0)) + "/" + std::to_string(t->FieldAsInteger(1)) + "/" +
           std::to_string(t->FieldAsInteger(2));
  }
  void Put(int64_t date, const std::string& gate, int sent, int errors, int posted = 0) {
    db().AddParamInt(":Date", date);
    db().AddParamText(":Gate", gate);
    db().AddParamInt(":SC", sent);
    db().AddParamInt(":EC", errors);
    db().AddParamInt(":Posted", posted);
    db().ExecSQL("INSERT INTO Stats (Date,GateName,SendCount,SendError,Posted) Values(:Date,:Gate,:SC,:EC,:Posted)");
  }
  int64_t Count(const std::string& where) { return db().GetIntValue("SELECT count(*) FROM Stats WHERE " + where); }
};

TEST_F(Stats, TodayIsTheLocalDateTakenAsUtc) {
  int64_t today = TStats::Today();
  EXPECT_EQ(today % kDay, 0);
  EXPECT_EQ(today, DateTimeToUnix(std::floor(Now())));
}

TEST_F(Stats, EachSendRaisesTodaysRowAndTheAllTimeRow) {
  int64_t today = TStats::Today();
  Put(today - kDay, "G", 5, 5);  // yesterday's row is left alone
  TStats::Log("G", false);
  TStats::Log("G", true);
  TStats::Log("МТС"_cp, false);
  EXPECT_EQ(Row("G", today), "1/1/0");
  EXPECT_EQ(Row("G", std::nullopt), "1/1/0");
  EXPECT_EQ(Row("G", today - kDay), "5/5/0");
  EXPECT_EQ(Row("МТС"_cp, today), "1/0/0");
  EXPECT_EQ(Row("МТС"_cp, std::nullopt), "1/0/0");
  // A count at the top of the integers stays an exact integer there.
  db().ExecSQL("UPDATE Stats SET SendCount=9223372036854775807, SendError=9223372036854775807");
  TStats::Log("G", false);
  TStats::Log("G", true);
  EXPECT_EQ(Count("typeof(SendCount)<>'integer' OR typeof(SendError)<>'integer'"), 0);
}

TEST_F(Stats, AFailingWriteLeavesBothRowsAsTheyWereAndRaisesNothing) {
  // The all-time row cannot be written: the daily row written before it in
  // the same transaction must go too.
  db().ExecSQL("CREATE TRIGGER refuse BEFORE INSERT ON Stats WHEN NEW.Date IS NULL BEGIN SELECT RAISE(ABORT, 'no'); END");
  EXPECT_NO_THROW(TStats::Log("G", false));
  EXPECT_EQ(Count("1"), 0);
  CloseDatabases();
  EXPECT_NO_THROW(TStats::Log("G", false));  // no database at all
  OpenDatabases(dir.File("Parlomix.db3"), dir.File("Gates.db3"));
}

TEST_F(Stats, CleanupDeletesRowsOlderThanSixtyDaysOncePerDay) {
  int64_t today = TStats::Today();
  Put(today - 61 * kDay, "G", 1, 0);
  Put(today - 60 * kDay, "G", 1, 0);
  Put(today, "G", 1, 0);
  Put(0, "Epoch", 1, 0);
  db().ExecSQL("INSERT INTO Stats (Date,GateName,SendCount,SendError,Posted) Values(NULL,'G',9,9,0)");
  TStats::Cleanup();
  EXPECT_EQ(Count("Date IS NOT NULL"), 2);
  EXPECT_EQ(Count("Date=" + std::to_string(today - 60 * kDay)), 1);
  EXPECT_EQ(Count("Date IS NULL"), 1);  // the all-time row is never deleted
  EXPECT_EQ(DateTimeToUnix(Options->ReadDateTime("Stats\\LastCleanup")), today);

  Put(today - 90 * kDay, "G", 1, 0);
  TStats::Cleanup();  // the same day again: nothing
  EXPECT_EQ(Count("Date=" + std::to_string(today - 90 * kDay)), 1);

  Options->WriteDateTime("Stats\\LastCleanup", std::floor(Now()) - 1);  // yesterday
  TStats::Cleanup();
  EXPECT_EQ(Count("Date=" + std::to_string(today - 90 * kDay)), 0);
}

TEST_F(Stats, TheUploadIsDueOnlyAfterSevenWholeDays) {
  TDateTime today = std::floor(Now());
  EXPECT_TRUE(TStats::IsPostDue());  // never uploaded
  Options->WriteDateTime("Stats\\LastPost", today - 7);
  EXPECT_FALSE(TStats::IsPostDue());
  Options->WriteDateTime("Stats\\LastPost", today - 7 + 0.99);  // the time of day does not count
  EXPECT_FALSE(TStats::IsPostDue());
  Options->WriteDateTime("Stats\\LastPost", today - 8 + 0.99);
  EXPECT_TRUE(TStats::IsPostDue());
}

TEST_F(Stats, TheReportHoldsTheUnpostedEarlierDaysByteForByte) {
  int64_t today = TStats::Today();
  int64_t d1 = today - 3 * kDay, d2 = today - kDay;
  Put(d1 - kDay, "Old", 7, 7, 1);  // posted already
  Put(d1, "MTS", 3, 1);
  Put(d1, "Билайн"_cp, 2, 0);
  Put(d2, "MTS", 0, 4);
  Put(d2, "Билайн"_cp, 10, 11);
  Put(today, "MTS", 1, 1);
  db().ExecSQL("INSERT INTO Stats (Date,GateName,SendCount,SendError,Posted) Values(NULL,'MTS',99,99,0)");
  std::string expected = std::to_string(d1) + ",MTS,3,1\r\n" + std::to_string(d1) + ",Билайн,2,0\r\n"_cp +
                         std::to_string(d2) + ",MTS,0,4\r\n" + std::to_string(d2) + ",Билайн,10,11"_cp;
  EXPECT_EQ(TStats::BuildReport(today), expected);
  EXPECT_EQ(TStats::BuildReport(d1), "");
}

TEST_F(Stats, AnUploadEndingAfterMidnightMarksOnlyTheRowsItSent) {
  int64_t today = TStats::Today();
  Put(today - kDay, "G", 1, 0);
  Put(today, "G", 2, 0);
  // The report was cut at the start of the day the upload began; by the time
  // it reports, the next day may have come, and today's row is then an
  // earlier day's that was never sent.
  std::string report = TStats::BuildReport(today);
  EXPECT_EQ(report, std::to_string(today - kDay) + ",G,1,0");
  TStats::PostDone(true, today);
  EXPECT_EQ(Row("G", today - kDay), "1/0/1");
  EXPECT_EQ(Row("G", today), "2/0/0");
  EXPECT_EQ(DateTimeToUnix(Options->ReadDateTime("Stats\\LastPost")), today);
}

TEST_F(Stats, AFailedUploadChangesNothing) {
  int64_t today = TStats::Today();
  Put(today - kDay, "G", 1, 0);
  TStats::PostDone(false, today);
  EXPECT_EQ(Row("G", today - kDay), "1/0/0");
  EXPECT_EQ(Options->ReadDateTime("Stats\\LastPost"), 0);
}

}  // namespace
