// gzip through zlib, inflated piece by piece so that the size cap holds
// whatever the stream claims about itself.
#include "gzipreader.h"

#include <zlib.h>

#include <algorithm>

#include "cp1251.h"
#include "gatelimits.h"

namespace {

// zlib's own texts for the failures a user may meet, in the user's words.
struct ZlibReason {
  std::string_view zlib;
  const char* text;
};

const ZlibReason kZlibReasons[] = {
    {"incorrect data check", "контрольная сумма не сходится"},
    {"incorrect length check", "длина не сходится"},
    {"incorrect header check", "это не сжатый файл gzip"},
};

[[noreturn]] void Raise(std::string_view utf8) { throw EGzipError(cp1251::FromUtf8(utf8)); }

[[noreturn]] void RaiseDataError(const char* zlibMessage) {
  std::string_view message = zlibMessage ? zlibMessage : "";
  for (const ZlibReason& reason : kZlibReasons)
    if (reason.zlib == message) Raise(reason.text);
  Raise("сжатые данные повреждены");
}

bool OnlyZeros(const Bytef* bytes, std::size_t size) {
  return std::all_of(bytes, bytes + size, [](Bytef b) { return b == 0; });
}

// The inflate state, ended whatever way the reading ends.
class Inflater {
 public:
  Inflater() {
    // 16 added to the window bits: a gzip wrapper, not a zlib one.
    if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) Raise("недостаточно памяти для распаковки");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  z_stream& operator*() { return stream_; }
  z_stream* operator->() { return &stream_; }

 private:
  z_stream stream_{};
};

}  // namespace

std::string InflateGzip(std::string_view data, std::size_t maxSize) {
  Inflater z;
  auto* next = reinterpret_cast<const Bytef*>(data.data());
  std::size_t left = data.size();
  std::string out;
  std::size_t produced = 0;
  for (;;) {
    if (z->avail_in == 0 && left > 0) {
      auto piece = static_cast<uInt>(std::min(left, kGzipChunkSize));
      z->next_in = const_cast<Bytef*>(next);
      z->avail_in = piece;
      next += piece;
      left -= piece;
    }
    // Room for one byte beyond the cap tells a stream that is exactly as
    // long as allowed from one that is longer.
    std::size_t room = std::min(kGzipChunkSize, maxSize + 1 - produced);
    out.resize(produced + room);
    z->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
    z->avail_out = static_cast<uInt>(room);
    int rc = inflate(&*z, Z_NO_FLUSH);
    produced += room - z->avail_out;
    if (produced > maxSize) Raise("распакованные данные больше допустимого размера");
    if (rc == Z_STREAM_END) {
      if (z->avail_in == 0 && left == 0) break;
      // Some servers and tools pad a file with zero bytes, which gzip
      // itself passes over; no member starts with one. The byte after the
      // member is the next one fed, or the next piece's first.
      const Bytef* after = z->avail_in > 0 ? z->next_in : next;
      if (*after == 0) {
        if (!OnlyZeros(z->next_in, z->avail_in) || !OnlyZeros(next, left)) Raise("это не сжатый файл gzip");
        break;
      }
      // Another member follows (RFC 1952 allows a series of them).
      if (inflateReset(&*z) != Z_OK) Raise("сжатые данные повреждены");
      continue;
    }
    if (rc == Z_DATA_ERROR) RaiseDataError(z->msg);
    if (rc == Z_MEM_ERROR) Raise("недостаточно памяти для распаковки");
    if (rc != Z_OK && rc != Z_BUF_ERROR) Raise("сжатые данные повреждены");
    // Without input to give and with room to spare, inflate is waiting for
    // a rest of the stream that is not there.
    if (z->avail_in == 0 && left == 0 && z->avail_out > 0) Raise("сжатые данные обрываются");
  }
  out.resize(produced);
  return out;
}
