// The HTTP client's cookie list: one flat list of "name=value" lines for all
// hosts, sent whole with every request. Names compare without regard to case.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httpcookies {

using TCookieList = std::vector<std::string>;

// Name and value of one line (the text before and after its first "=").
std::pair<std::string_view, std::string_view> Split(std::string_view line);

// Index of the cookie of that name; -1 when there is none.
int IndexOf(const TCookieList& list, std::string_view name);

// The cookie's value; empty when there is none.
std::string Value(const TCookieList& list, std::string_view name);

// A known name gets its new value in place, a new one is appended, and an
// empty value removes the cookie.
void SetValue(TCookieList& list, std::string_view name, std::string_view value);

// Takes one Set-Cookie header value: the name and the value up to the first
// ";", both trimmed; the attributes are ignored. A value without "=" or with
// an empty name names no cookie and changes nothing.
void ApplySetCookie(TCookieList& list, std::string_view headerValue);

// The Cookie header's value: the lines joined by "; ".
std::string Join(const TCookieList& list);

}  // namespace httpcookies
