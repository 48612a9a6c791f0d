#include "zipfile.h"

#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

#include "exceptions.h"
#include "files.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kDeflated = 8;
constexpr uint64_t kLocalHeaderSize = 30;
constexpr uint64_t kCentralHeaderSize = 46;
constexpr uint64_t kEndRecordSize = 22;

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t NowDos() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return DosDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

[[noreturn]] void OutOfRange() { throw EListError("Index out of range."); }

// The regular files directly in `folder`, by name. Symbolic links are left
// out: an archive of a folder holds that folder, not what links point to.
std::vector<fs::path> FilesIn(const std::string& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->symlink_status(typeError).type() == fs::file_type::regular) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::string DeflateRaw(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw Exception("deflate failed");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw Exception("deflate failed");
  return out;
}

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return (1u << 21) | (1u << 16);
  uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) | (month << 5) | day;
  uint32_t time = (hour << 11) | (minute << 5) | (second / 2);
  return (date << 16) | time;
}

TZipFile::Entry& TZipFile::At(int index) {
  if (index < 0 || index >= Count()) OutOfRange();
  return entries_[index];
}

int TZipFile::AddFile(const std::string& name, uint32_t externalAttributes) {
  if (name.size() > 0xFFFF) throw EListError("Name too long.");
  Entry e;
  e.name = name;
  e.dosTime = NowDos();
  e.externalAttributes = externalAttributes;
  // An empty entry already holds the empty deflate stream, so an entry that
  // never gets data still unpacks.
  e.data = DeflateRaw({});
  e.compressedSize = static_cast<uint32_t>(e.data.size());
  entries_.push_back(std::move(e));
  return Count() - 1;
}

void TZipFile::SetData(int index, std::string_view data) {
  Entry& e = At(index);
  if (data.size() > std::numeric_limits<uint32_t>::max()) throw EListError("Entry too large.");
  e.data = DeflateRaw(data);
  e.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  e.size = static_cast<uint32_t>(data.size());
  e.compressedSize = static_cast<uint32_t>(e.data.size());
  e.dosTime = NowDos();
}

void TZipFile::Delete(int index) {
  At(index);
  entries_.erase(entries_.begin() + index);
}

uint64_t TZipFile::Size() const {
  uint64_t size = kEndRecordSize + Comment.size();
  for (const Entry& e : entries_) size += kLocalHeaderSize + kCentralHeaderSize + 2 * e.name.size() + e.data.size();
  return size;
}

void TZipFile::SaveToStream(std::string& out) const {
  // The fields from "version needed" to "name length", alike in both headers.
  auto common = [](std::string& o, const Entry& e) {
    Put16(o, kVersion);
    Put16(o, 0);
    Put16(o, kDeflated);
    Put32(o, e.dosTime);
    Put32(o, e.crc);
    Put32(o, e.compressedSize);
    Put32(o, e.size);
    Put16(o, static_cast<uint32_t>(e.name.size()));
  };
  std::vector<uint32_t> offsets;
  for (const Entry& e : entries_) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    Put32(out, kLocalSignature);
    common(out, e);
    Put16(out, 0);
    out += e.name;
    out += e.data;
  }
  uint32_t centralStart = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    Put32(out, kCentralSignature);
    Put16(out, kVersion);
    common(out, e);
    Put16(out, 0);  // extra field
    Put16(out, 0);  // comment
    Put16(out, 0);  // disk
    Put16(out, 0);  // internal attributes
    Put32(out, e.externalAttributes);
    Put32(out, offsets[i]);
    out += e.name;
  }
  uint32_t centralSize = static_cast<uint32_t>(out.size()) - centralStart;
  Put32(out, kEndSignature);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put16(out, static_cast<uint32_t>(entries_.size()));
  Put32(out, centralSize);
  Put32(out, centralStart);
  Put16(out, static_cast<uint32_t>(Comment.size()));
  out += Comment;
}

void ZipFolder(const std::string& folder, std::string& out, const TZipLimits& limits) {
  TZipFile zip;
  std::string content;
  for (const fs::path& file : FilesIn(folder)) {
    if (zip.Count() >= limits.maxEntries) break;
    if (!TryReadFile(file.string(), limits.maxFileSize, content)) continue;
    int index = zip.AddFile(file.filename().string(), 0);
    zip.SetData(index, content);
    if (zip.Size() > limits.maxArchiveSize) zip.Delete(index);
  }
  zip.SaveToStream(out);
}
