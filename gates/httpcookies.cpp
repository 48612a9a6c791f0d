// The flat cookie list of the HTTP client.
#include "httpcookies.h"

#include "cp1251.h"
#include "strfuncs.h"

namespace httpcookies {

std::pair<std::string_view, std::string_view> Split(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {line, {}};
  return {line.substr(0, eq), line.substr(eq + 1)};
}

int IndexOf(const TCookieList& list, std::string_view name) {
  for (size_t i = 0; i < list.size(); ++i)
    if (cp1251::SameText(Split(list[i]).first, name)) return static_cast<int>(i);
  return -1;
}

std::string Value(const TCookieList& list, std::string_view name) {
  int i = IndexOf(list, name);
  return i < 0 ? std::string() : std::string(Split(list[i]).second);
}

void SetValue(TCookieList& list, std::string_view name, std::string_view value) {
  int i = IndexOf(list, name);
  if (value.empty()) {
    if (i >= 0) list.erase(list.begin() + i);
    return;
  }
  std::string line = std::string(name) + "=" + std::string(value);
  if (i >= 0)
    list[i] = std::move(line);
  else
    list.push_back(std::move(line));
}

void ApplySetCookie(TCookieList& list, std::string_view headerValue) {
  std::string_view pair = headerValue.substr(0, headerValue.find(';'));
  size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  std::string_view name = strfuncs::Trim(pair.substr(0, eq));
  if (name.empty()) return;
  SetValue(list, name, strfuncs::Trim(pair.substr(eq + 1)));
}

std::string Join(const TCookieList& list) {
  std::string out;
  for (const std::string& line : list) {
    if (!out.empty()) out += "; ";
    out += line;
  }
  return out;
}

}  // namespace httpcookies
