// The statistics upload's worker: its result reaches the main thread, and a
// worker still running when its owner goes is stopped, joined and forgotten.
#include "statsupload.h"

#include <gtest/gtest.h>

#include <QThread>
#include <chrono>
#include <thread>

#include "app/qtwait.h"

namespace {

TEST(StatsSendThread, TheResultArrivesOnTheMainThread) {
  std::thread::id posterThread;
  TStatsSendThread upload("http://127.0.0.1:1/poststats/", "1,G,1,0", 86400,
                          [&](const std::string& url, const std::string& report, TUploadStop&) {
                            posterThread = std::this_thread::get_id();
                            return url == "http://127.0.0.1:1/poststats/" && report == "1,G,1,0";
                          });
  int calls = 0;
  bool result = false;
  QThread* receivedOn = nullptr;
  QObject::connect(&upload, &TStatsSendThread::finished, &upload, [&](bool success) {
    ++calls;
    result = success;
    receivedOn = QThread::currentThread();
  });
  upload.Start();
  ASSERT_TRUE(WaitUntil([&] { return calls == 1; }));
  EXPECT_TRUE(result);
  EXPECT_EQ(receivedOn, QThread::currentThread());
  EXPECT_NE(posterThread, std::this_thread::get_id());
  EXPECT_EQ(upload.Cutoff(), 86400);
}

TEST(StatsSendThread, AFailureOrAnExceptionIsAFailedUpload) {
  for (int kind = 0; kind < 2; ++kind) {
    TStatsSendThread upload("u", "r", 0, [kind](const std::string&, const std::string&, TUploadStop&) -> bool {
      if (kind == 1) throw std::runtime_error("socket gone");
      return false;
    });
    std::optional<bool> result;
    QObject::connect(&upload, &TStatsSendThread::finished, &upload, [&](bool success) { result = success; });
    upload.Start();
    ASSERT_TRUE(WaitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(*result);
  }
}

TEST(StatsSendThread, GoingAwayStopsTheWorkerAndDropsItsResult) {
  std::atomic<bool> stopSeen{false};
  int calls = 0;
  auto upload = std::make_unique<TStatsSendThread>(
      "u", "r", 0, [&](const std::string&, const std::string&, TUploadStop& stop) {
        while (!stop.Stopped()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stopSeen = true;
        return true;
      });
  QObject::connect(upload.get(), &TStatsSendThread::finished, upload.get(), [&](bool) { ++calls; });
  upload->Start();
  upload.reset();  // joins: the worker has ended once this returns
  EXPECT_TRUE(stopSeen);
  WaitUntil([] { return false; }, 100);
  EXPECT_EQ(calls, 0);
}

}  // namespace
