#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cp1251.h"

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now; false when the close reported a failure (a delayed write error).
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw EFileError(what + " " + path + ": " + std::strerror(errno));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void WriteWithFlags(const std::string& path, std::string_view bytes, int flags) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644));
  if (fd.Get() < 0) Fail("Cannot create file", path);
  if (!WriteAll(fd.Get(), bytes)) Fail("Cannot write file", path);
  if (!fd.Close()) Fail("Cannot write file", path);
}

}  // namespace

TReadFailure ReadWholeFile(const std::string& path, uint64_t maxSize, std::string& out) {
  out.clear();
  // Opening some devices does something (a watchdog starts counting), and a
  // pipe would need O_NONBLOCK: what is not a file is refused by its name
  // first, and by its descriptor once more against a swap in between.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return TReadFailure::Missing;
  if (!S_ISREG(st.st_mode)) return TReadFailure::NotRegular;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) return TReadFailure::Missing;
  if (::fstat(fd.Get(), &st) != 0) return TReadFailure::Unreadable;
  if (!S_ISREG(st.st_mode)) return TReadFailure::NotRegular;
  if (static_cast<uint64_t>(st.st_size) > maxSize) return TReadFailure::TooLarge;
  // The file may grow while it is read: one byte past the cap tells.
  out.resize(static_cast<size_t>(st.st_size) + 1);
  size_t got = 0;
  while (got < out.size()) {
    ssize_t n = ::read(fd.Get(), out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.clear();
      return TReadFailure::Unreadable;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
    if (got > maxSize) {
      out.clear();
      return TReadFailure::TooLarge;
    }
    if (got == out.size()) out.resize(out.size() * 2);
  }
  out.resize(got);
  return TReadFailure::None;
}

bool TryReadFile(const std::string& path, uint64_t maxSize, std::string& out) {
  return ReadWholeFile(path, maxSize, out) == TReadFailure::None;
}

std::string ReadFailureText(TReadFailure failure, uint64_t maxSize) {
  switch (failure) {
    case TReadFailure::None: return {};
    case TReadFailure::Missing: return "файл не найден или недоступен"_cp;
    case TReadFailure::NotRegular: return "не является обычным файлом"_cp;
    case TReadFailure::TooLarge:
      if (maxSize >= (1u << 20)) return "файл больше "_cp + std::to_string(maxSize >> 20) + " МБ"_cp;
      return "файл больше "_cp + std::to_string(maxSize) + " байт"_cp;
    case TReadFailure::Unreadable: return "ошибка чтения файла"_cp;
  }
  return {};
}

std::optional<TFileStamp> FileStampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  auto nanoseconds = [](const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return TFileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                    static_cast<uint64_t>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  std::string temp = path + ".XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.Get() < 0) Fail("Cannot create file", temp);
  auto failWith = [&](const std::string& what) {
    int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    Fail(what, path);
  };
  if (!WriteAll(fd.Get(), bytes) || ::fsync(fd.Get()) != 0) failWith("Cannot write file");
  if (!fd.Close()) failWith("Cannot write file");
  ::chmod(temp.c_str(), 0644);
  if (::rename(temp.c_str(), path.c_str()) != 0) failWith("Cannot replace file");
}

void WriteNewFile(const std::string& path, std::string_view bytes) { WriteWithFlags(path, bytes, O_TRUNC); }

void AppendToFile(const std::string& path, std::string_view bytes) { WriteWithFlags(path, bytes, O_APPEND); }
