// The weekly statistics upload on a worker thread of its own: the report is
// posted as plain text and taken as stored when the server answers status
// 200 with the body "OK" in any letter case.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "applimits.h"

class TMyHTTPSend;

// Ends a request under way from another thread: the worker registers how
// its request is stopped while it runs; a stop asked for before that takes
// effect as soon as it registers.
class TUploadStop {
 public:
  // Registers the stopper of the request about to run; calls it at once when
  // a stop was asked for already.
  void Set(std::function<void()> stopper);
  // The request has ended: nothing to stop any more.
  void Clear();
  // Stops the registered request, and any registered later.
  void Stop();
  bool Stopped() const;

 private:
  mutable std::mutex lock_;
  std::function<void()> stopper_;
  bool stopped_ = false;
};

// How a long transfer is bounded instead of by an overall time (see
// kLongTransferBytesPerSec); a test may give smaller figures.
struct TTransferPace {
  long bytesPerSec = kLongTransferBytesPerSec;
  long stallSec = kLongTransferStallSec;
  // Gives `http` this pace and lifts its overall time limit.
  void ApplyTo(TMyHTTPSend& http) const;
};

// Posts `report` to `url` as the statistics upload; true when the server
// stored it. `stop` ends it early.
bool PostStatsReport(const std::string& url, const std::string& report, TUploadStop& stop);

class TStatsSendThread : public QObject {
  Q_OBJECT

 public:
  using TPoster = std::function<bool(const std::string& url, const std::string& report, TUploadStop& stop)>;

  // The upload of `report`, holding the daily rows before `cutoff`; one
  // still running after `timeoutMs` is stopped and counts as failed.
  TStatsSendThread(std::string url, std::string report, int64_t cutoff, TPoster poster = PostStatsReport,
                   int timeoutMs = kStatsUploadTimeoutMs);
  // Stops the upload and waits for its thread; a result not yet handled is
  // dropped with this object.
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
  int timeoutMs_;
  TUploadStop stop_;
  std::thread thread_;
};
