// Whole-file reads and writes with the guarantees callers rely on: reads
// refuse what is too large, and replacing a file never leaves it half
// written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "exceptions.h"

// A file that cannot be created, written or renamed into place.
class EFileError : public Exception {
  PX_CLASS(EFileError, Exception)
 public:
  using Exception::Exception;
};

// Why a whole file could not be read.
enum class TReadFailure {
  None,
  Missing,     // not there, or not to be opened
  NotRegular,  // a folder, pipe, device or socket
  TooLarge,    // more than the reader's cap
  Unreadable,  // a read failed
};

// Reads a whole regular file of at most `maxSize` bytes into `out`; on
// failure `out` is emptied and the reason returned. Never waits: anything but
// a regular file (a named pipe with no writer, a device that never ends) is
// refused, and is not even opened when it is seen beforehand.
TReadFailure ReadWholeFile(const std::string& path, uint64_t maxSize, std::string& out);
// ReadWholeFile, true when it read the file.
bool TryReadFile(const std::string& path, uint64_t maxSize, std::string& out);
// The reason in the user's words ("не является обычным файлом"), for a
// message that names the file before it; `maxSize` is the cap a too large
// file passed.
std::string ReadFailureText(TReadFailure failure, uint64_t maxSize);

// What tells one version of a file from the next: which file it is, its
// size and when it was last written. Equal stamps mean nobody has written
// or replaced the file in between.
struct TFileStamp {
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modified = 0, changed = 0;  // nanoseconds since 1970
  bool operator==(const TFileStamp&) const = default;
};
// The stamp of the file at `path` (a link is followed); nullopt when there
// is none.
std::optional<TFileStamp> FileStampOf(const std::string& path);

// Replaces `path` with `bytes`: they go to a new file in the same folder,
// which is flushed to disk and renamed over `path`, so a crash or a full disk
// leaves either the old file or the new one. Raises EFileError, leaving the
// old file and no temporary behind.
void ReplaceFile(const std::string& path, std::string_view bytes);

// Creates `path` (or empties it) and writes `bytes`. Raises EFileError.
void WriteNewFile(const std::string& path, std::string_view bytes);
// Appends `bytes` to `path`, creating it when missing. Raises EFileError.
void AppendToFile(const std::string& path, std::string_view bytes);
