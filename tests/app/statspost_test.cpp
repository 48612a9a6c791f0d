// The statistics upload against a statistics server in this process: what
// is sent, which answer counts as stored, the weekly rule at start-up, the
// time limit, and a window closed while its upload runs.
#include <chrono>

#include "app/mainwindow.h"
#include "app/statsserver.h"
#include "app/qtwait.h"
#include "cp1251.h"
#include "datetime.h"
#include "stats.h"
#include "statsupload.h"

namespace {

constexpr int64_t kDay = 86400;

// The post's outcome through the real client, as the window's worker runs it.
bool Post(const std::string& url, const std::string& report) {
  TUploadStop stop;
  return PostStatsReport(url, report, stop);
}

TEST(StatsPost, TheReportGoesAsPlainTextWithTheProgramsAgent) {
  ReadProgramVersion();
  StatsServer server;
  std::string report = "1700000000,МТС,3,1\r\n1700086400,G,0,2"_cp;
  EXPECT_TRUE(Post(server.Url(), report));
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, report) << "byte for byte";
  EXPECT_EQ(posts[0].contentType, "text/plain");
  ASSERT_FALSE(ProgramVersion.FileVersion.empty());
  EXPECT_EQ(posts[0].userAgent, "Parlomix Statistic v. " + ProgramVersion.FileVersion);
}

TEST(StatsPost, OnlyStatus200WithTheBodyOkCountsAsStored) {
  StatsServer server;
  const std::pair<int, const char*> answers[] = {{200, "ok"}, {200, "Ok"}, {200, "OK\n"}, {200, "Not OK"},
                                                 {200, ""},   {500, "OK"}, {302, "OK"}};
  for (const auto& [status, body] : answers) {
    server.status = status;
    server.answer = body;
    bool expected = status == 200 && cp1251::SameText(body, "OK");
    EXPECT_EQ(Post(server.Url(), "x"), expected) << status << " " << body;
  }
  EXPECT_FALSE(Post("http://127.0.0.1:1/poststats/", "x")) << "nobody listening";
  EXPECT_FALSE(Post("file:///etc/passwd", "x"));
}

TEST(StatsPost, AnUploadThatTakesTooLongIsStoppedAndFails) {
  StatsServer server;
  server.delay = std::chrono::milliseconds(60000);
  TStatsSendThread upload(server.Url(), "x", 0, PostStatsReport, 300);
  std::optional<bool> result;
  QObject::connect(&upload, &TStatsSendThread::finished, &upload, [&](bool success) { result = success; });
  auto start = std::chrono::steady_clock::now();
  upload.Start();
  ASSERT_TRUE(WaitUntil([&] { return result.has_value(); }, 2500));
  EXPECT_FALSE(*result);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
}

class StatsAtStartUp : public MainWindowTest {
 protected:
  StatsServer server;
  int64_t today = TStats::Today();

  // Rows of two earlier days and of today, and the last upload `daysAgo`.
  void Prepare(int daysAgo) {
    PresetOption("Network\\Proxy", "Direct");
    PresetOption("Stats\\PostURL", server.Url());
    PresetOption("Stats\\LastPost", std::to_string(today - daysAgo * kDay));
    WithDatabase([&](TSQLiteDatabase& db) {
      for (auto [date, gate] : {std::pair{today - 2 * kDay, "A"}, std::pair{today - kDay, "B"}, std::pair{today, "A"}})
        db.ExecSQL("INSERT INTO Stats (Date,GateName,SendCount,SendError,Posted) VALUES (" + std::to_string(date) +
                   ",'" + gate + "',5,1,0)");
    });
  }
  int64_t Unposted() { return Database->GetIntValue("SELECT count(*) FROM Stats WHERE Posted=0"); }
};

TEST_F(StatsAtStartUp, SevenDaysAfterTheLastUploadNothingIsSent) {
  Prepare(7);
  auto frm = Start();
  WaitUntil([] { return false; }, 300);
  EXPECT_TRUE(server.Posts().empty());
  EXPECT_EQ(Unposted(), 3);
}

TEST_F(StatsAtStartUp, EightDaysAfterItTheEarlierDaysAreSentAndMarked) {
  Prepare(8);
  auto frm = Start();
  ASSERT_TRUE(WaitUntil([&] { return Unposted() == 1; }));
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, std::to_string(today - 2 * kDay) + ",A,5,1\r\n" + std::to_string(today - kDay) + ",B,5,1");
  EXPECT_EQ(DateTimeToUnix(Options->ReadDateTime("Stats\\LastPost")), today);
}

TEST_F(StatsAtStartUp, NeitherIsSentWhenStatisticsAreOff) {
  Prepare(30);
  PresetOption("Stats\\SendStatsToServer", "FALSE");
  auto frm = Start();
  WaitUntil([] { return false; }, 300);
  EXPECT_TRUE(server.Posts().empty());
}

TEST_F(StatsAtStartUp, ARefusedUploadIsTriedAgainAtTheNextStart) {
  Prepare(30);
  server.answer = "busy";
  {
    auto frm = Start();
    ASSERT_TRUE(WaitUntil([&] { return server.Posts().size() == 1; }));
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(Unposted(), 3);
  }
  server.answer = "OK";
  auto frm = Start();
  ASSERT_TRUE(WaitUntil([&] { return Unposted() == 1; }));
  EXPECT_EQ(server.Posts().size(), 2u);
}

TEST_F(StatsAtStartUp, AWindowClosedDuringItsUploadStopsItAndMarksNothing) {
  Prepare(30);
  server.delay = std::chrono::milliseconds(60000);
  auto start = std::chrono::steady_clock::now();
  {
    auto frm = Start();
    ASSERT_TRUE(WaitUntil([&] { return server.Posts().size() == 1; }));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000)) << "the upload was stopped";
  WithDatabase([](TSQLiteDatabase& db) {
    EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM Stats WHERE Posted=0"), 3);
  });
}

}  // namespace
