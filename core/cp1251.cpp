#include "cp1251.h"

#include <algorithm>
#include <array>

namespace cp1251 {
namespace {

// Upper half of the code page; the lower half is ASCII.
constexpr char16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

constexpr char32_t CodePoint(unsigned c) { return c < 0x80 ? c : kHigh[c - 0x80]; }

constexpr bool IsUpperCodePoint(char32_t u) {
  return (u >= 'A' && u <= 'Z') || (u >= 0x0400 && u <= 0x042F) || u == 0x0490;
}
constexpr bool IsLowerCodePoint(char32_t u) {
  return (u >= 'a' && u <= 'z') || (u >= 0x0430 && u <= 0x045F) || u == 0x0491;
}
constexpr char32_t UpperCodePoint(char32_t u) {
  if (u >= 'a' && u <= 'z') return u - 32;
  if (u >= 0x0430 && u <= 0x044F) return u - 0x20;
  if (u >= 0x0450 && u <= 0x045F) return u - 0x50;
  if (u == 0x0491) return 0x0490;
  return u;
}
constexpr char32_t LowerCodePoint(char32_t u) {
  if (u >= 'A' && u <= 'Z') return u + 32;
  if (u >= 0x0410 && u <= 0x042F) return u + 0x20;
  if (u >= 0x0400 && u <= 0x040F) return u + 0x50;
  if (u == 0x0490) return 0x0491;
  return u;
}

constexpr unsigned char ByteOf(char32_t u) {
  for (unsigned c = 0; c < 256; ++c)
    if (CodePoint(c) == u) return static_cast<unsigned char>(c);
  return '?';
}

enum : uint8_t { kLetter = 1, kUpper = 2, kLower = 4, kCyrillic = 8 };

struct Tables {
  std::array<unsigned char, 256> upper{}, lower{}, flags{};
  std::array<uint16_t, 256> weight{};
};

// Alphabetical position of an upper-case letter among the Cyrillic ones, with
// Ё placed right after Е; the other Cyrillic letters follow the Russian ones.
constexpr uint16_t CyrillicOrder(char32_t u) {
  if (u >= 0x0410 && u <= 0x0415) return static_cast<uint16_t>(u - 0x0410) * 2;  // А..Е
  if (u == 0x0401) return 11;                                                      // Ё
  if (u >= 0x0416 && u <= 0x042F) return static_cast<uint16_t>(u - 0x0410) * 2;  // Ж..Я
  return static_cast<uint16_t>(100 + (u & 0xFFF));                                 // Ђ, Ґ, Є, ...
}

constexpr Tables MakeTables() {
  Tables t{};
  for (unsigned c = 0; c < 256; ++c) {
    char32_t u = CodePoint(c);
    bool up = IsUpperCodePoint(u), low = IsLowerCodePoint(u);
    bool cyr = (u >= 0x0400 && u <= 0x045F) || u == 0x0490 || u == 0x0491;
    t.upper[c] = up || !low ? c : ByteOf(UpperCodePoint(u));
    t.lower[c] = low || !up ? c : ByteOf(LowerCodePoint(u));
    t.flags[c] = static_cast<uint8_t>((up || low ? kLetter : 0) | (up ? kUpper : 0) | (low ? kLower : 0) |
                                      (cyr ? kCyrillic : 0));
  }
  for (unsigned c = 0; c < 256; ++c) {
    unsigned char f = t.upper[c];
    char32_t u = CodePoint(f);
    if (!(t.flags[f] & kLetter))
      t.weight[c] = static_cast<uint16_t>(f);
    else if (t.flags[f] & kCyrillic)
      t.weight[c] = static_cast<uint16_t>(0x400 + CyrillicOrder(u));
    else
      t.weight[c] = static_cast<uint16_t>(u);  // Latin upper case keeps its ASCII place
  }
  return t;
}

constexpr Tables kTables = MakeTables();

inline unsigned char U8(char c) { return static_cast<unsigned char>(c); }

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

}  // namespace

char32_t ToUnicode(unsigned char c) { return CodePoint(c); }

char FromUnicode(char32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  // А..я, the bulk of all Russian text, lie in one run of the code page.
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(cp - 0x0410 + 0xC0);
  // The upper half is small; a reverse table keeps this a lookup.
  static const auto reverse = [] {
    std::array<std::pair<char16_t, unsigned char>, 128> r{};
    for (unsigned c = 0; c < 128; ++c) r[c] = {kHigh[c], static_cast<unsigned char>(c + 0x80)};
    std::sort(r.begin(), r.end());
    return r;
  }();
  if (cp > 0xFFFF) return '?';
  auto it = std::lower_bound(reverse.begin(), reverse.end(), std::pair<char16_t, unsigned char>{char16_t(cp), 0});
  return it != reverse.end() && it->first == cp ? static_cast<char>(it->second) : '?';
}

std::string ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, CodePoint(U8(c)));
  return out;
}

std::string FromUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char b = U8(s[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    int len = b >= 0xF5 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (len == 0 || i + len > n) {
      out += '?';
      ++i;
      continue;
    }
    char32_t cp = b & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cb = U8(s[i + k]);
      if ((cb & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cb & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed.
    if (ok && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
      ok = false;
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    out += FromUnicode(cp);
    i += len;
  }
  return out;
}

char32_t UpperCodePoint(char32_t cp) {
  if (cp < 0x80) return cp >= 'a' && cp <= 'z' ? cp - 32 : cp;
  char b = FromUnicode(cp);
  if (b == '?') return cp;
  return CodePoint(kTables.upper[U8(b)]);
}

char Upper(char c) { return static_cast<char>(kTables.upper[U8(c)]); }
char Lower(char c) { return static_cast<char>(kTables.lower[U8(c)]); }

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Upper(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsLetter(char c) { return kTables.flags[U8(c)] & kLetter; }
bool IsUpperLetter(char c) { return kTables.flags[U8(c)] & kUpper; }
bool IsLowerLetter(char c) { return kTables.flags[U8(c)] & kLower; }
bool IsCyrillic(char c) { return kTables.flags[U8(c)] & kCyrillic; }

uint16_t SortWeight(char c) { return kTables.weight[U8(c)]; }

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int d = int(kTables.weight[U8(a[i])]) - int(kTables.weight[U8(b[i])]);
    if (d) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Names compared are mostly written alike: equal bytes skip the table.
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && kTables.upper[U8(a[i])] != kTables.upper[U8(b[i])]) return false;
  return true;
}

}  // namespace cp1251
