// The update download against an update server in this process: the file
// written in pieces while it arrives, its progress, the sizes that must
// agree, redirects, failures, a stop on a silent server, and the request
// the updater makes.
#include "downloadthread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "app/qtwait.h"
#include "app/updateserver.h"
#include "applimits.h"
#include "gates/httptestenv.h"
#include "support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Bytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return bytes;
}

class DownloadTest : public ::testing::Test {
 protected:
  HttpProfile http;
  UpdateServer server;
  TempDir folder;
  std::string path = folder.File("download.bin");
  TDownloadFile file{path};

  // Runs a download into the file to its end.
  std::unique_ptr<TDownloadThread> Fetch(const std::string& urlPath) {
    EXPECT_TRUE(file.Create());
    auto thread = std::make_unique<TDownloadThread>(server.Url(urlPath), &file);
    bool ended = false;
    QObject::connect(thread.get(), &TDownloadThread::finished, [&] { ended = true; });
    EXPECT_TRUE(WaitUntil([&] { return ended; }));
    return thread;
  }
};

TEST_F(DownloadTest, TheBodyGoesToTheFileInPiecesWhileItArrives) {
  std::string body = Bytes(200000);
  server.Set("/gates.xml.gz", {.body = body, .pauseAt = 100000});
  ASSERT_TRUE(file.Create());
  TDownloadThread thread(server.Url("/gates.xml.gz"), &file);
  std::optional<std::pair<int64_t, int64_t>> last;
  int reports = 0;
  QObject::connect(&thread, &TDownloadThread::progress, [&](qint64 total, qint64 received) {
    last = {total, received};
    ++reports;
  });
  bool ended = false;
  QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });

  // Half-way the server stops: what came so far is on disk already, in
  // pieces above 65536 bytes, and the progress knows the whole size.
  ASSERT_TRUE(WaitUntil([&] { return server.Paused() && last && last->second == 100000; }));
  uint64_t onDisk = std::filesystem::file_size(path);
  EXPECT_GT(onDisk, 65536u);
  EXPECT_LE(onDisk, 100000u);
  EXPECT_EQ(last->first, 200000);
  EXPECT_FALSE(ended);

  server.Release();
  ASSERT_TRUE(WaitUntil([&] { return ended; }));
  EXPECT_TRUE(thread.Success());
  EXPECT_FALSE(thread.Cancelled());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(folder.Read("download.bin"), body);
  EXPECT_EQ(*last, std::make_pair(int64_t{200000}, int64_t{200000}));
  EXPECT_GE(reports, 2) << "half-way and at the end";
}

TEST_F(DownloadTest, AMissingSizeIsAllowedAndAWrongOneFails) {
  std::string body = Bytes(150000);
  server.Set("/chunked", {.body = body, .chunked = true});
  EXPECT_TRUE(Fetch("/chunked")->Success());
  file.Close();
  EXPECT_EQ(folder.Read("download.bin"), body);

  // The connection ends before the announced size: what arrived is not the
  // file the server named.
  server.Set("/short", {.body = Bytes(120000), .announced = 200000});
  EXPECT_FALSE(Fetch("/short")->Success());
  file.Close();
  EXPECT_EQ(std::filesystem::file_size(path), 120000u);
}

TEST_F(DownloadTest, OnlyStatus200AndWebRedirectsCount) {
  EXPECT_FALSE(Fetch("/missing")->Success()) << "404";
  server.Set("/error", {.status = 500, .body = "oops"});
  EXPECT_FALSE(Fetch("/error")->Success());

  std::string body = Bytes(70000);
  server.Put("/files/gates.xml", body);
  server.Set("/moved", {.status = 302, .body = "the redirect's own page", .location = "/files/gates.xml"});
  server.Set("/moved-twice", {.status = 301, .body = "again", .location = server.Url("/moved")});
  EXPECT_TRUE(Fetch("/moved-twice")->Success());
  file.Close();
  EXPECT_EQ(folder.Read("download.bin"), body) << "no redirect page left in the file";

  for (const char* target : {"ftp://127.0.0.1/gates.xml", "file:///etc/passwd", "gopher://127.0.0.1/"}) {
    server.Set("/elsewhere", {.status = 302, .location = target});
    EXPECT_FALSE(Fetch("/elsewhere")->Success()) << target;
  }
  server.Set("/loop", {.status = 302, .location = "/loop"});
  EXPECT_FALSE(Fetch("/loop")->Success());
  size_t loops = 0;
  for (const std::string& p : server.Paths()) loops += p == "/loop";
  EXPECT_EQ(loops, static_cast<size_t>(kMaxUpdateRedirects) + 1);
}

TEST_F(DownloadTest, ACancelMidWayEndsTheDownloadAtOnce) {
  server.Set("/slow", {.body = Bytes(400000), .pieceDelayMs = 20});
  ASSERT_TRUE(file.Create());
  TDownloadThread thread(server.Url("/slow"), &file);
  int64_t received = 0;
  QObject::connect(&thread, &TDownloadThread::progress, [&](qint64, qint64 bytes) { received = bytes; });
  bool ended = false;
  QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });
  ASSERT_TRUE(WaitUntil([&] { return received > 40000; }));
  auto start = Clock::now();
  thread.Cancel();
  ASSERT_TRUE(WaitUntil([&] { return ended; }, 3000));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(thread.Cancelled());
  EXPECT_FALSE(thread.Success());
  EXPECT_LT(received, 400000);
}

TEST_F(DownloadTest, ADownloadSlowerThanItsPaceEnds) {
  server.Set("/slow", {.body = Bytes(100000), .pieceDelayMs = 300});
  ASSERT_TRUE(file.Create());
  TDownloadThread thread(server.Url("/slow"), &file, nullptr, {.bytesPerSec = 100000, .stallSec = 1});
  bool ended = false;
  QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });
  auto start = Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return ended; }, 5000));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000)) << "the whole body would take four seconds";
  EXPECT_FALSE(thread.Success());
  EXPECT_FALSE(thread.Cancelled());
}

TEST_F(DownloadTest, ACancelEndsADownloadThatHangsOnASilentServer) {
  server.Set("/stalled", {.body = Bytes(200000), .pauseAt = 70000});
  ASSERT_TRUE(file.Create());
  TDownloadThread thread(server.Url("/stalled"), &file);
  bool ended = false;
  QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });
  ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  WaitUntil([] { return false; }, 200);
  auto start = Clock::now();
  thread.Cancel();
  ASSERT_TRUE(WaitUntil([&] { return ended; }, 3000));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "at once, not when curl next looks";
  EXPECT_TRUE(thread.Cancelled());
  EXPECT_FALSE(thread.Success());
}

TEST_F(DownloadTest, ADescriptionComesIntoMemoryAsTheUpdaterAsksForIt) {
  ReadProgramVersion();
  server.Put("/version.xml", "<parlomix><version>1.2.3.4</version></parlomix>");
  TDownloadThread thread(server.Url("/version.xml"), nullptr);
  bool ended = false;
  QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });
  ASSERT_TRUE(WaitUntil([&] { return ended; }));
  EXPECT_TRUE(thread.Success());
  EXPECT_EQ(thread.Body(), "<parlomix><version>1.2.3.4</version></parlomix>");
  auto hits = server.Hits();
  ASSERT_EQ(hits.size(), 1u);
  ASSERT_FALSE(ProgramVersion.FileVersion.empty());
  EXPECT_EQ(hits[0].userAgent, "Parlomix Updater v. " + ProgramVersion.FileVersion);
  EXPECT_EQ(hits[0].pragma, "no-cache");
  EXPECT_EQ(hits[0].cacheControl, "no-cache");
}

TEST_F(DownloadTest, ADescriptionLargerThanAnyIsRefused) {
  for (bool chunked : {false, true}) {
    server.Set("/huge.xml", {.body = std::string(kMaxUpdateDescriptionSize + 1, 'x'), .chunked = chunked});
    TDownloadThread thread(server.Url("/huge.xml"), nullptr);
    bool ended = false;
    QObject::connect(&thread, &TDownloadThread::finished, [&] { ended = true; });
    ASSERT_TRUE(WaitUntil([&] { return ended; }));
    EXPECT_FALSE(thread.Success()) << chunked;
    EXPECT_LE(thread.Body().size(), kMaxUpdateDescriptionSize + 65536) << "not held whole";
  }
}

TEST_F(DownloadTest, AThreadDestroyedWhileItRunsStopsAndIsJoined) {
  server.Set("/stalled", {.body = Bytes(200000), .pauseAt = 1000});
  ASSERT_TRUE(file.Create());
  auto start = Clock::now();
  {
    TDownloadThread thread(server.Url("/stalled"), &file);
    ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  }
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

TEST(DownloadFile, AFileIsMadeNewAndNeverThroughALink) {
  TempDir folder, outside;
  std::string target = outside.Write("precious.txt", "keep me");
  std::string path = folder.File("gates.xml");
  std::filesystem::create_symlink(target, path);
  TDownloadFile file(path);
  ASSERT_TRUE(file.Create());
  file.Stream() << "new";
  file.Rewind();
  file.Stream() << "content";
  EXPECT_EQ(file.Size(), 7u);
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(folder.Read("gates.xml"), "content");
  EXPECT_EQ(outside.Read("precious.txt"), "keep me");
  TDownloadFile nowhere(folder.File("no/such/folder/x"));
  EXPECT_FALSE(nowhere.Create());
}

}  // namespace
