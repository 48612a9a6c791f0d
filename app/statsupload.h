// The weekly statistics upload on a worker thread of its own: the report is
// posted as plain text and taken as stored when the server answers status
// 200 with the body "OK" in any letter case.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Posts `report` to `url`; true when the server stored it. Gives up after
// kStatsUploadTimeoutMs, or soon after `stop` is set.
bool PostStatsReport(const std::string& url, const std::string& report, const std::atomic<bool>& stop);

class TStatsSendThread : public QObject {
  Q_OBJECT

 public:
  using TPoster = std::function<bool(const std::string& url, const std::string& report, const std::atomic<bool>& stop)>;

  // The upload of `report`, holding the daily rows before `cutoff`.
  TStatsSendThread(std::string url, std::string report, int64_t cutoff, TPoster poster = PostStatsReport);
  // Asks the upload to stop and waits for its thread; a result not yet
  // handled is dropped with this object.
  ~TStatsSendThread() override;

  void Start();
  const std::string& Report() const { return report_; }
  int64_t Cutoff() const { return cutoff_; }

 signals:
  // On the main thread, once the upload has ended.
  void finished(bool success);

 private:
  std::string url_;
  std::string report_;
  int64_t cutoff_;
  TPoster poster_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
