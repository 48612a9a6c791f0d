// Whole-file reads and writes with the guarantees callers rely on: reads
// refuse what is too large, and replacing a file never leaves it half
// written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exceptions.h"

// A file that cannot be created, written or renamed into place.
class EFileError : public Exception {
  PX_CLASS(EFileError, Exception)
 public:
  using Exception::Exception;
};

// Reads a whole regular file of at most `maxSize` bytes into `out`. False,
// with `out` emptied, when the path is missing or not a regular file, cannot
// be read or holds more than `maxSize` bytes.
bool TryReadFile(const std::string& path, uint64_t maxSize, std::string& out);

// Replaces `path` with `bytes`: they go to a new file in the same folder,
// which is flushed to disk and renamed over `path`, so a crash or a full disk
// leaves either the old file or the new one. Raises EFileError, leaving the
// old file and no temporary behind.
void ReplaceFile(const std::string& path, std::string_view bytes);

// Creates `path` (or empties it) and writes `bytes`. Raises EFileError.
void WriteNewFile(const std::string& path, std::string_view bytes);
// Appends `bytes` to `path`, creating it when missing. Raises EFileError.
void AppendToFile(const std::string& path, std::string_view bytes);
