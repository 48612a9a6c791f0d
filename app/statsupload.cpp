#include "statsupload.h"

TStatsSendThread::TStatsSendThread(std::string url, std::string report, int64_t cutoff, TPoster poster)
    : url_(std::move(url)), report_(std::move(report)), cutoff_(cutoff), poster_(std::move(poster)) {}

TStatsSendThread::~TStatsSendThread() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void TStatsSendThread::Start() {
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

// Until the HTTP client is merged.
bool PostStatsReport(const std::string&, const std::string&, const std::atomic<bool>&) { return false; }
