// Form-value escaping and its inverse.
#include "formencode.h"

#include <array>

#include "charset.h"
#include "strfuncs.h"

namespace {

// The characters that pass unescaped besides letters and digits.
constexpr std::string_view kUnreserved = "!#'*-._~@";

constexpr std::array<bool, 256> MakeKeepTable() {
  std::array<bool, 256> keep{};
  for (int c = '0'; c <= '9'; ++c) keep[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) keep[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) keep[c] = true;
  for (char c : kUnreserved) keep[static_cast<unsigned char>(c)] = true;
  return keep;
}
constexpr std::array<bool, 256> kKeep = MakeKeepTable();

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string EncodeFormElem(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(s.size());
  for (char c : s) {
    const auto byte = static_cast<unsigned char>(c);
    if (kKeep[byte]) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

namespace {

std::string Decode(std::string_view s, bool plusIsSpace) {
  std::string decoded;
  decoded.reserve(s.size());
  const auto at = [&](size_t i) { return plusIsSpace && s[i] == '+' ? ' ' : s[i]; };
  size_t i = 0;
  while (i < s.size()) {
    const char c = at(i++);
    if (c != '%') {
      decoded += c;
      continue;
    }
    if (i + 1 >= s.size()) break;  // "%" among the last two characters
    const char first = at(i), second = at(i + 1);
    if (IsLineBreak(first)) {
      // A soft line break: CR LF and LF CR go as one.
      i += (IsLineBreak(second) && second != first) ? 2 : 1;
      continue;
    }
    const int high = strfuncs::HexDigitValue(first), low = strfuncs::HexDigitValue(second);
    if (high < 0 || low < 0) {
      decoded += c;
      continue;
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

}  // namespace

std::string DecodeFormElem(std::string_view s) { return Decode(s, true); }

std::string DecodePercentEscapes(std::string_view s) { return Decode(s, false); }

std::string ConvertAndEncodeFormElem(std::string_view s, std::string_view charset) {
  std::string encoded;
  ConvertAndEncodeFormElem(s, charset, [&encoded](std::string_view piece) { encoded += piece; });
  return encoded;
}

void ConvertAndEncodeFormElem(std::string_view s, std::string_view charset, const TTextSink& write) {
  ConvertToEncoding(s, charset, [&write](std::string_view piece) { write(EncodeFormElem(piece)); });
}
