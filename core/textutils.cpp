// Text search and cutting helpers used by the gates' scripts.
#include "textutils.h"

#include "strfuncs.h"

std::string StrBetween(std::string_view s, std::string_view startStr, std::string_view endStr) {
  const int64_t start = startStr.empty() ? 1 : strfuncs::PosEx(startStr, s);
  if (start == 0) return {};
  const int64_t from = start + static_cast<int64_t>(startStr.size());
  const int64_t end = endStr.empty() ? static_cast<int64_t>(s.size()) + 1 : strfuncs::PosEx(endStr, s, from);
  if (end == 0) return {};
  return strfuncs::Copy(s, from, end - from);
}

std::string StrBetweenRev(std::string_view s, std::string_view startStr, std::string_view endStr) {
  const int64_t length = static_cast<int64_t>(s.size());
  const int64_t last = endStr.empty() ? length : strfuncs::PosEx(endStr, s) - 1;
  if (last <= 0) return {};
  const int64_t start = startStr.empty() ? 1 : LastPosEx(startStr, s, length - last + 1);
  if (start <= 0) return {};
  const int64_t from = start + static_cast<int64_t>(startStr.size());
  return strfuncs::Copy(s, from, last - from + 1);
}

int64_t LastPos(std::string_view subStr, std::string_view s) { return LastPosEx(subStr, s, 1); }

int64_t LastPosEx(std::string_view subStr, std::string_view s, int64_t offset) {
  const int64_t length = static_cast<int64_t>(s.size());
  if (subStr.empty() || offset < 1 || offset > length) return 0;
  const int64_t lastEnd = length - offset + 1;  // 1-based position the match may end at, at the latest
  const int64_t latestStart = lastEnd - static_cast<int64_t>(subStr.size());  // 0-based
  if (latestStart < 0) return 0;
  const size_t found = s.rfind(subStr, static_cast<size_t>(latestStart));
  return found == std::string_view::npos ? 0 : static_cast<int64_t>(found) + 1;
}

std::string ExpandLineBreaks(std::string_view s) {
  std::string result;
  result.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      result += "\r\n";
      ++i;
    } else {
      result += s[i];
    }
  }
  return result;
}

bool isAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 128) return false;
  return true;
}

std::string DecodeHex(std::string_view s) {
  std::string bytes;
  bytes.reserve(s.size() / 2);
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    const int high = strfuncs::HexDigitValue(s[i]), low = strfuncs::HexDigitValue(s[i + 1]);
    if (high < 0 || low < 0) break;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}
