// A GIF writer for tests (QtGui reads GIF but cannot write it): pictures of
// at most 256 colours, stored with uncompressed LZW codes, which every
// decoder reads.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

inline std::string EncodeGif(const QImage& image) {
  std::map<QRgb, int> palette;
  std::vector<int> indexes;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      auto [it, added] = palette.emplace(c, static_cast<int>(palette.size()));
      indexes.push_back(it->second);
    }
  if (palette.size() > 256) return {};
  std::string out = "GIF89a";
  auto word = [&](int v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
  };
  word(image.width());
  word(image.height());
  out += '\xF7';  // a global table of 256 entries
  out += '\0';
  out += '\0';
  std::string table(256 * 3, '\0');
  for (const auto& [rgb, i] : palette) {
    table[3 * i] = static_cast<char>(qRed(rgb));
    table[3 * i + 1] = static_cast<char>(qGreen(rgb));
    table[3 * i + 2] = static_cast<char>(qBlue(rgb));
  }
  out += table;
  out += ',';
  word(0);
  word(0);
  word(image.width());
  word(image.height());
  out += '\0';
  out += '\x08';  // minimum code size
  // 9-bit codes, least significant bit first; a clear code before the table
  // would need 10 bits.
  std::string data;
  uint32_t bits = 0;
  int count = 0;
  auto putCode = [&](int code) {
    bits |= static_cast<uint32_t>(code) << count;
    count += 9;
    while (count >= 8) {
      data += static_cast<char>(bits & 0xFF);
      bits >>= 8;
      count -= 8;
    }
  };
  constexpr int kClear = 256, kEnd = 257;
  putCode(kClear);
  int sinceClear = 0;
  for (int index : indexes) {
    if (sinceClear == 200) {
      putCode(kClear);
      sinceClear = 0;
    }
    putCode(index);
    ++sinceClear;
  }
  putCode(kEnd);
  if (count > 0) data += static_cast<char>(bits & 0xFF);
  for (size_t at = 0; at < data.size(); at += 255) {
    const std::string block = data.substr(at, 255);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
  out += ';';
  return out;
}
