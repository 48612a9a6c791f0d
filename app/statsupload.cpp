#include "statsupload.h"

#include <QTimer>

#include "cp1251.h"
#include "httpsend.h"
#include "options.h"

void TTransferPace::ApplyTo(TMyHTTPSend& http) const {
  http.TransferTimeoutMs = 0;
  http.StallBytesPerSec = bytesPerSec;
  http.StallTimeoutSec = stallSec;
}

void TUploadStop::Set(std::function<void()> stopper) {
  std::lock_guard guard(lock_);
  stopper_ = std::move(stopper);
  if (stopped_ && stopper_) stopper_();
}

void TUploadStop::Clear() {
  std::lock_guard guard(lock_);
  stopper_ = nullptr;
}

void TUploadStop::Stop() {
  std::lock_guard guard(lock_);
  stopped_ = true;
  if (stopper_) stopper_();
}

bool TUploadStop::Stopped() const {
  std::lock_guard guard(lock_);
  return stopped_;
}

bool PostStatsReport(const std::string& url, const std::string& report, TUploadStop& stop) {
  TMyHTTPSend http;
  http.MimeType = "text/plain";
  http.UserAgent = "Parlomix Statistic v. " + ProgramVersion.FileVersion;
  http.Document = report;
  // The client announces a body only when there is one; a server must still
  // learn that a week without sends posts nothing, or it waits for a body
  // (or refuses the post) and the empty week is never booked.
  if (report.empty()) http.Headers.push_back("Content-Length: 0");
  http.ConnectTimeoutMs = kStatsUploadTimeoutMs;
  http.StallTimeoutSec = kStatsUploadTimeoutMs / 1000;
  stop.Set([&http] { http.Stop(); });
  bool sent = http.HTTPMethod("POST", url);
  stop.Clear();
  return sent && !stop.Stopped() && http.ResultCode == 200 && cp1251::SameText(http.Document, "OK");
}

TStatsSendThread::TStatsSendThread(std::string url, std::string report, int64_t cutoff, TPoster poster,
                                   int timeoutMs)
    : url_(std::move(url)), report_(std::move(report)), cutoff_(cutoff), poster_(std::move(poster)),
      timeoutMs_(timeoutMs) {}

TStatsSendThread::~TStatsSendThread() {
  stop_.Stop();
  if (thread_.joinable()) thread_.join();
}

void TStatsSendThread::Start() {
  // The main thread keeps the time: a server that answers too slowly, or
  // trickles its answer, is cut off.
  QTimer::singleShot(timeoutMs_, this, [this] { stop_.Stop(); });
  thread_ = std::thread([this] {
    bool success = false;
    try {
      success = poster_(url_, report_, stop_);
    } catch (...) {
      // A failed upload is tried again at a later start.
    }
    // Queued to the main thread: emitted from this thread, received there.
    QMetaObject::invokeMethod(this, [this, success] { emit finished(success); }, Qt::QueuedConnection);
  });
}
