// The few Delphi string primitives the text helpers are defined by, with
// their 1-based positions and their forgiving treatment of odd indices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace strfuncs {

// Text without leading and trailing characters of code 32 and below.
std::string_view Trim(std::string_view s);
// Up to count characters from 1-based index; an index below 1 counts as 1,
// one past the end or a negative count gives empty text.
std::string Copy(std::string_view s, int64_t index, int64_t count);
// 1-based position of the first sub at or after offset; 0 when there is
// none, when sub is empty or when offset lies outside 1..length of s.
int64_t PosEx(std::string_view sub, std::string_view s, int64_t offset = 1);
// The value of one hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);

}  // namespace strfuncs
