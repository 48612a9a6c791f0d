// Searching and cutting text for the gates' page scraping, and small text
// conversions. Positions are 1-based; 0 means "not found".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The text between the first startStr and the first endStr after it; an
// empty startStr means the start of s, an empty endStr its end. Empty when
// a delimiter is missing.
std::string StrBetween(std::string_view s, std::string_view startStr, std::string_view endStr);

// The text between the first endStr and the nearest startStr before it (an
// empty startStr means the start of s, an empty endStr its end); empty when
// either is missing.
std::string StrBetweenRev(std::string_view s, std::string_view startStr, std::string_view endStr);

// Position of the last subStr in s; 0 when none or when subStr is empty.
int64_t LastPos(std::string_view subStr, std::string_view s);

// Position of the last subStr in s that ends at or before position
// length(s) - offset + 1; 0 when none, when subStr is empty or when offset
// lies outside 1..length(s).
int64_t LastPosEx(std::string_view subStr, std::string_view s, int64_t offset);

// Every backslash followed by "n" becomes CR LF.
std::string ExpandLineBreaks(std::string_view s);

// True when every character code is below 128 (also for empty text).
bool isAscii(std::string_view s);

// Pairs of hexadecimal digits as bytes, from the left (an odd last digit is
// dropped). Decoding stops at the first pair that is not hexadecimal and the
// result holds only the bytes decoded before it.
std::string DecodeHex(std::string_view s);
