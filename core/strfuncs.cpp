// Delphi string primitives over byte strings.
#include "strfuncs.h"

#include <cstring>

namespace strfuncs {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string Copy(std::string_view s, int64_t index, int64_t count) {
  const int64_t length = static_cast<int64_t>(s.size());
  if (index < 1) index = 1;
  if (count <= 0 || index > length) return {};
  const int64_t available = length - index + 1;
  return std::string(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count < available ? count : available)));
}

int64_t PosEx(std::string_view sub, std::string_view s, int64_t offset) {
  if (sub.empty() || offset < 1 || offset > static_cast<int64_t>(s.size())) return 0;
  // memmem rather than find: gate scripts search pages of hundreds of
  // kilobytes for markup whose first character ("<", "n") occurs everywhere.
  const size_t from = static_cast<size_t>(offset - 1);
  const void* found = memmem(s.data() + from, s.size() - from, sub.data(), sub.size());
  return found ? static_cast<const char*>(found) - s.data() + 1 : 0;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace strfuncs
