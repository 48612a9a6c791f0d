// The text layer: all text below the UI is Windows-1251 bytes. These fixed
// tables give its Unicode mapping, letter case and classification, the same
// on every machine whatever the process locale says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cp1251 {

// The Unicode code point of one Windows-1251 byte. The one byte the code page
// leaves undefined (0x98) maps to U+0098, so every byte survives a round trip.
char32_t ToUnicode(unsigned char c);
// The Windows-1251 byte of a code point, or '?' when the code page lacks it.
char FromUnicode(char32_t cp);

// Windows-1251 text to UTF-8.
std::string ToUtf8(std::string_view text);
// UTF-8 to Windows-1251; characters the code page lacks and malformed
// sequences become '?'.
std::string FromUtf8(std::string_view utf8);

// The upper-case form of a code point by the code page's rules; code points
// the code page lacks come back unchanged.
char32_t UpperCodePoint(char32_t cp);

// Letter case of one byte (Latin, Cyrillic and the other letters of the code page).
char Upper(char c);
char Lower(char c);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);

bool IsLetter(char c);
bool IsUpperLetter(char c);
bool IsLowerLetter(char c);
bool IsCyrillic(char c);
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsLetterOrDigit(char c) { return IsLetter(c) || IsDigit(c); }

// Case-insensitive comparison: <0, 0 or >0. Letters fold to upper case and
// sort alphabetically (Cyrillic after Latin, Ё right after Е), other bytes by
// their value.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// The folded sort weight CompareText uses for one byte; equal for the two
// cases of a letter. Useful for hashing names without regard to case.
uint16_t SortWeight(char c);

}  // namespace cp1251

// Text written in the UTF-8 source, as the Windows-1251 bytes the program
// works with: "Ошибка"_cp.
inline std::string operator""_cp(const char* text, size_t length) {
  return cp1251::FromUtf8(std::string_view(text, length));
}
