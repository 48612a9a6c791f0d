// A named pipe for tests of code that must never wait on one. Should a
// reader open it and wait all the same, the other end is opened after
// `patience`, which frees the reader with an empty read, and Blocked() says
// so: the test fails instead of hanging the suite. The pipe takes the place
// of any file at `path`, and it (or what took its place) goes at the end.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

class TestFifo {
 public:
  explicit TestFifo(std::string path, std::chrono::milliseconds patience = std::chrono::seconds(3))
      : path_(std::move(path)) {
    ::unlink(path_.c_str());
    if (mkfifo(path_.c_str(), 0600) != 0) std::abort();
    watcher_ = std::thread([this, end = std::chrono::steady_clock::now() + patience] {
      for (; !stop_; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        if (std::chrono::steady_clock::now() < end) continue;
        // Opens only while a reader holds the pipe; a file the code under
        // test put in its place is no reader.
        int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) blocked_ = true;
        if (fd >= 0) ::close(fd);
      }
    });
  }
  ~TestFifo() {
    stop_ = true;
    watcher_.join();
    ::unlink(path_.c_str());
  }

  const std::string& Path() const { return path_; }
  // A reader held the pipe open past the patience.
  bool Blocked() const { return blocked_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false}, blocked_{false};
  std::thread watcher_;
};
