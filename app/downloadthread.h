// One update download on a worker thread of its own: an update description
// into memory, or an update file written to disk in pieces while it
// arrives, with its progress reported to the main thread.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include "statsupload.h"

// The file a download is written into. Made new on the main thread (never
// through a link left at its name), then written by the download's thread
// only, until that thread has ended.
class TDownloadFile {
 public:
  explicit TDownloadFile(std::string path);
  // Closes the file; it stays on disk.
  ~TDownloadFile();
  TDownloadFile(const TDownloadFile&) = delete;
  TDownloadFile& operator=(const TDownloadFile&) = delete;

  // Deletes a file of that name and creates it empty; false when it cannot
  // be created.
  bool Create();
  // The stream that writes to the file; it fails on a failed write.
  std::ostream& Stream() { return stream_; }
  // Empties the file, for the body of the answer a redirect leads to.
  void Rewind();
  // The bytes in the file now.
  uint64_t Size() const;
  // Closes the file; false when a write failed on the way.
  bool Close();
  const std::string& Path() const { return path_; }

 private:
  class TFdBuf : public std::streambuf {
   public:
    int fd = -1;

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
  };

  std::string path_;
  TFdBuf buf_;
  std::ostream stream_{&buf_};
};

class TDownloadThread : public QObject {
  Q_OBJECT

 public:
  // Starts at once: a GET of `address` as the updater (its user agent, no
  // caching), redirects followed (http and https only), into `file` when one
  // is given (not owned; it must outlive this object), where an answer over
  // the HTTP client's download cap fails as soon as it says so or gets
  // there, else into memory, where more than an update description may hold
  // fails the download. A download into a file has no overall time limit:
  // it ends when it falls below `pace`.
  TDownloadThread(std::string address, TDownloadFile* file, QObject* parent = nullptr, TTransferPace pace = {});
  // Cancels the download and waits for its thread; a result not yet handled
  // is dropped with this object.
  ~TDownloadThread() override;

  // Ends the download at once, also one that hangs on a silent server; it
  // then counts as cancelled. Main thread.
  void Cancel();

  // After `finished`: status 200 and, into a file, every byte written and
  // as many as the server announced (when it announced a size).
  bool Success() const { return success_; }
  bool Cancelled() const { return cancelled_.load(); }
  // The body of a download into memory, after `finished`.
  const std::string& Body() const { return body_; }

 signals:
  // On the main thread while a file download runs: the announced size (0
  // when the server named none) and the body bytes received so far. Only
  // the latest figures are sent when the main thread falls behind.
  void progress(qint64 total, qint64 received);
  // On the main thread, once, when the download has ended.
  void finished();

 private:
  void Run();
  void PublishProgress(int64_t total, int64_t received);

  std::string address_;
  TDownloadFile* file_;
  TTransferPace pace_;
  TUploadStop stop_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int64_t> total_{0}, received_{0};
  std::atomic<bool> progressQueued_{false};
  bool success_ = false;
  std::string body_;
  std::thread thread_;
};
