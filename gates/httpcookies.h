// The HTTP client's cookie list: one flat list of "name=value" lines for all
// hosts, sent whole with every request. Names compare without regard to case.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace httpcookies {

// The lines in the order their names first came, with an index by name, so
// that finding, replacing or removing one cookie costs the same however
// long the list is: a server may answer with thousands of Set-Cookie lines.
class TCookieList {
 public:
  using value_type = std::string;
  using const_iterator = std::list<std::string>::const_iterator;
  using iterator = const_iterator;

  TCookieList() = default;
  // The lines as given; a name given twice is kept twice, and its first
  // line is the one found.
  TCookieList(std::initializer_list<std::string> lines);
  TCookieList(const TCookieList& other);
  TCookieList(TCookieList&& other) noexcept = default;
  TCookieList& operator=(const TCookieList& other);
  TCookieList& operator=(TCookieList&& other) noexcept = default;
  TCookieList& operator=(std::initializer_list<std::string> lines);

  const_iterator begin() const { return lines_.begin(); }
  const_iterator end() const { return lines_.end(); }
  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  void clear();

  // The line of the cookie of that name; nullptr when there is none.
  const std::string* Find(std::string_view name) const;
  // A known name gets its new value in place, a new one is appended, and an
  // empty value removes the cookie.
  void Set(std::string_view name, std::string_view value);

  bool operator==(const TCookieList& other) const { return lines_ == other.lines_; }
  bool operator==(const std::vector<std::string>& lines) const;

 private:
  void Append(std::string line);

  std::list<std::string> lines_;
  // Upper-cased name to its line.
  std::unordered_map<std::string, std::list<std::string>::iterator> index_;
};

// Name and value of one line (the text before and after its first "=").
std::pair<std::string_view, std::string_view> Split(std::string_view line);

// The cookie's value; empty when there is none.
std::string Value(const TCookieList& list, std::string_view name);

// A known name gets its new value in place, a new one is appended, and an
// empty value removes the cookie.
void SetValue(TCookieList& list, std::string_view name, std::string_view value);

// Takes one Set-Cookie header value: the name and the value up to the first
// ";", both trimmed; the attributes are ignored. A value without "=" or with
// an empty name names no cookie and changes nothing. As in browsers, a
// cookie whose name and value together pass kMaxCookieSize is dropped, and
// so is a new name while the list holds kMaxCookies (those it has can still
// change or go).
void ApplySetCookie(TCookieList& list, std::string_view headerValue);

// The Cookie header's value: the lines joined by "; ".
std::string Join(const TCookieList& list);

}  // namespace httpcookies
