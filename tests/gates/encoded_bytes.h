// Bytes as files hold them: gzip streams made with zlib's own deflate,
// UTF-16 with its byte-order mark, and floods of one piece repeated.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <string>
#include <string_view>

// UTF-8 text as UTF-16 bytes, the byte-order mark first.
inline std::string Utf16(std::string_view utf8, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  auto unit = [&](char32_t u) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  for (size_t i = 0; i < utf8.size();) {
    auto b = static_cast<unsigned char>(utf8[i]);
    int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += len;
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// `data` as one gzip member.
inline std::string Gzip(std::string_view data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// `text` `count` times, made by doubling, so that floods of millions stay
// cheap to make.
inline std::string Repeat(std::string_view text, size_t count) {
  size_t size = text.size() * count;
  if (size == 0) return std::string();
  std::string out(text);
  out.reserve(size);
  while (out.size() < size) out.append(out, 0, std::min(out.size(), size - out.size()));
  return out;
}
