// The flat cookie list of the HTTP client.
#include "httpcookies.h"

#include <algorithm>
#include <iterator>

#include "cp1251.h"
#include "gatelimits.h"
#include "strfuncs.h"

namespace httpcookies {

TCookieList::TCookieList(std::initializer_list<std::string> lines) {
  for (const std::string& line : lines) Append(line);
}

TCookieList::TCookieList(const TCookieList& other) {
  for (const std::string& line : other.lines_) Append(line);
}

TCookieList& TCookieList::operator=(const TCookieList& other) {
  if (this != &other) *this = TCookieList(other);
  return *this;
}

TCookieList& TCookieList::operator=(std::initializer_list<std::string> lines) {
  return *this = TCookieList(lines);
}

void TCookieList::clear() {
  index_.clear();
  lines_.clear();
}

void TCookieList::Append(std::string line) {
  lines_.push_back(std::move(line));
  index_.try_emplace(cp1251::UpperCase(Split(lines_.back()).first), std::prev(lines_.end()));
}

const std::string* TCookieList::Find(std::string_view name) const {
  auto found = index_.find(cp1251::UpperCase(name));
  return found == index_.end() ? nullptr : &*found->second;
}

void TCookieList::Set(std::string_view name, std::string_view value) {
  auto found = index_.find(cp1251::UpperCase(name));
  if (value.empty()) {
    if (found == index_.end()) return;
    lines_.erase(found->second);
    index_.erase(found);
    return;
  }
  std::string line = std::string(name) + "=" + std::string(value);
  if (found != index_.end())
    *found->second = std::move(line);
  else
    Append(std::move(line));
}

bool TCookieList::operator==(const std::vector<std::string>& lines) const {
  return lines_.size() == lines.size() && std::equal(lines_.begin(), lines_.end(), lines.begin());
}

std::pair<std::string_view, std::string_view> Split(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {line, {}};
  return {line.substr(0, eq), line.substr(eq + 1)};
}

std::string Value(const TCookieList& list, std::string_view name) {
  const std::string* line = list.Find(name);
  return line ? std::string(Split(*line).second) : std::string();
}

void SetValue(TCookieList& list, std::string_view name, std::string_view value) { list.Set(name, value); }

void ApplySetCookie(TCookieList& list, std::string_view headerValue) {
  std::string_view pair = headerValue.substr(0, headerValue.find(';'));
  size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  std::string_view name = strfuncs::Trim(pair.substr(0, eq));
  if (name.empty()) return;
  std::string_view value = strfuncs::Trim(pair.substr(eq + 1));
  if (name.size() + value.size() > kMaxCookieSize) return;
  if (list.size() >= kMaxCookies && !value.empty() && !list.Find(name)) return;
  list.Set(name, value);
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
