// The send logs' zip archive: a small zip writer over zlib, built in memory.
// Every entry is deflated; no data descriptors, no 64-bit extension.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "object.h"

class TZipFile : public TObject {
  PX_CLASS(TZipFile, TObject)
 public:
  // Appends an entry with no data under `name`, stamped with the current
  // local time; returns its index. A name over 65535 bytes raises EListError.
  int AddFile(const std::string& name, uint32_t externalAttributes = 0);
  // Deflates `data` into entry `index` (raw deflate, level 6) and sets its
  // CRC-32, sizes and a fresh time stamp. An index outside the entries raises
  // EListError "Index out of range."; data over 4 GiB raises EListError too.
  void SetData(int index, std::string_view data);
  // Removes entry `index`; raises EListError outside the entries.
  void Delete(int index);
  int Count() const { return static_cast<int>(entries_.size()); }
  // The number of bytes SaveToStream adds.
  uint64_t Size() const;
  // Appends the archive to `out`: the local entries in order, the central
  // directory and the end record. Offsets are positions within `out`.
  void SaveToStream(std::string& out) const;

  std::string Comment;  // the archive comment; empty in this program

 private:
  struct Entry {
    std::string name;
    uint32_t dosTime = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    uint32_t externalAttributes = 0;
    std::string data;  // deflated
  };
  Entry& At(int index);

  std::vector<Entry> entries_;
};

// How much ZipFolder takes at most.
struct TZipLimits {
  uint64_t maxFileSize;     // a larger file is left out
  uint64_t maxArchiveSize;  // a file that would make the archive larger is left out
  int maxEntries;           // files after this many are left out
};

// Appends a zip archive of the regular files directly in `folder` to `out`,
// in name order, each under its bare name with external attributes 0.
// Subfolders, links and files that vanish or cannot be read are left out, as
// is whatever the limits refuse; a folder that cannot be listed gives an
// archive without entries.
void ZipFolder(const std::string& folder, std::string& out, const TZipLimits& limits);

// The raw deflate stream of `data` at level 6 (no zlib header or trailer).
std::string DeflateRaw(std::string_view data);
// A local time as one DOS value: date in the high half, time in the low half;
// years before 1980 count as 1980-01-01 00:00:00.
uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second);
