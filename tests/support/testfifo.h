// A named pipe for tests of code that must never wait on one. Should a
// reader open it and wait all the same, the pipe's other end is opened after
// `patience`, which frees the reader with an empty read, and Blocked() says
// so: the test fails instead of hanging the suite. The pipe takes the
// place of any file at `path`, and is removed (or what took its place) at
// the end.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class TestFifo {
 public:
  explicit TestFifo(std::string path, std::chrono::milliseconds patience = std::chrono::seconds(3))
      : path_(std::move(path)) {
    ::unlink(path_.c_str());  // a file there gives way
    if (mkfifo(path_.c_str(), 0600) != 0) std::abort();
    watcher_ = std::thread([this, patience] {
      std::unique_lock lock(mutex_);
      if (stop_.wait_for(lock, patience, [this] { return stopping_; })) return;
      while (!stop_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_; })) {
        // Opens only while a reader has the pipe open, without waiting; a
        // file the code under test has put in the pipe's place is no reader.
        int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) blocked_ = true;
        ::close(fd);
      }
    });
  }
  ~TestFifo() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    watcher_.join();
    ::unlink(path_.c_str());
  }
  TestFifo(const TestFifo&) = delete;
  TestFifo& operator=(const TestFifo&) = delete;

  const std::string& Path() const { return path_; }
  // A reader held the pipe open past the patience.
  bool Blocked() const { return blocked_; }

 private:
  std::string path_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::atomic<bool> blocked_{false};
  std::thread watcher_;
};
