#include "downloadthread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "applimits.h"
#include "httpsend.h"
#include "httpurl.h"
#include "options.h"

// ---- TDownloadFile ----

TDownloadFile::TDownloadFile(std::string path) : path_(std::move(path)) {}

TDownloadFile::~TDownloadFile() { Close(); }

bool TDownloadFile::Create() {
  Close();
  // unlink removes a link itself, never what it points to; O_EXCL and
  // O_NOFOLLOW refuse one planted again in between.
  ::unlink(path_.c_str());
  buf_.fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  stream_.clear();
  return buf_.fd >= 0;
}

void TDownloadFile::Rewind() {
  if (buf_.fd < 0) return;
  if (::ftruncate(buf_.fd, 0) != 0 || ::lseek(buf_.fd, 0, SEEK_SET) != 0) stream_.setstate(std::ios::badbit);
}

uint64_t TDownloadFile::Size() const {
  struct stat st {};
  if (buf_.fd < 0 || ::fstat(buf_.fd, &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool TDownloadFile::Close() {
  bool ok = stream_.good();
  if (buf_.fd >= 0 && ::close(buf_.fd) != 0) ok = false;
  buf_.fd = -1;
  return ok;
}

TDownloadFile::TFdBuf::int_type TDownloadFile::TFdBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize TDownloadFile::TFdBuf::xsputn(const char* data, std::streamsize count) {
  std::streamsize written = 0;
  while (fd >= 0 && written < count) {
    ssize_t n = ::write(fd, data + written, static_cast<size_t>(count - written));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += n;
  }
  return written;
}

// ---- TDownloadThread ----

TDownloadThread::TDownloadThread(std::string address, TDownloadFile* file, QObject* parent, TTransferPace pace)
    : QObject(parent), address_(std::move(address)), file_(file), pace_(pace) {
  thread_ = std::thread([this] {
    try {
      Run();
    } catch (...) {
      // An HTTP client that cannot be made is a failed download.
      success_ = false;
    }
    QMetaObject::invokeMethod(this, [this] { emit finished(); }, Qt::QueuedConnection);
  });
}

TDownloadThread::~TDownloadThread() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void TDownloadThread::Cancel() {
  cancelled_ = true;
  stop_.Stop();
}

void TDownloadThread::Run() {
  TMyHTTPSend http;
  http.UserAgent = "Parlomix Updater v. " + ProgramVersion.FileVersion;
  http.ConnectTimeoutMs = kUpdateConnectTimeoutMs;
  http.StallTimeoutSec = kUpdateStallTimeoutSec;
  if (file_) {
    http.OutputStream = &file_->Stream();
    pace_.ApplyTo(http);
  }
  bool oversized = false;
  http.OnProgress = [&](int64_t total, int64_t received) {
    if (file_) {
      PublishProgress(total, received);
      return;
    }
    if (static_cast<uint64_t>(total) > kMaxUpdateDescriptionSize ||
        static_cast<uint64_t>(received) > kMaxUpdateDescriptionSize) {
      oversized = true;
      http.Stop();
    }
  };
  stop_.Set([&http] { http.Stop(); });

  // Redirects are followed here rather than by the client, so that the body
  // of a redirect answer never stays in the file.
  std::string address = address_;
  bool ok = false;
  for (int redirects = 0;; ++redirects) {
    http.Clear();
    http.Headers = {"Pragma: no-cache", "Cache-Control: no-cache"};
    ok = http.HTTPMethod("GET", address, true);
    bool redirect = ok && http.ResultCode >= 300 && http.ResultCode <= 399;
    std::string location = redirect ? HeaderValue(http.Headers, "Location") : std::string();
    if (location.empty() || redirects >= kMaxUpdateRedirects) break;
    address = ResolveRelativeURL(http.CurrentURL, location);
    if (file_) file_->Rewind();
  }
  stop_.Clear();

  bool success = ok && !stop_.Stopped() && !oversized && http.ResultCode == 200;
  if (file_) {
    success = success && file_->Stream().good() &&
              (http.DownloadSize <= 0 || file_->Size() == static_cast<uint64_t>(http.DownloadSize));
  } else {
    body_ = std::move(http.Document);
  }
  success_ = success;
}

void TDownloadThread::PublishProgress(int64_t total, int64_t received) {
  total_ = total;
  received_ = received;
  // One queued call at a time carries the latest figures.
  if (progressQueued_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        progressQueued_ = false;
        emit progress(total_.load(), received_.load());
      },
      Qt::QueuedConnection);
}
