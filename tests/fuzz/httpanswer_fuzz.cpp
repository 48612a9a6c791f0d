// Feeds arbitrary bytes to the HTTP client's reading of an answer's head:
// the first line is the URL that answered, every further line (its line end
// kept) a line of the head as curl hands it over. The header list must hold
// no line ends and no empty lines; the cookies taken from it, into an empty
// list and into one a few short of its cap, must stay within their caps,
// and their index must find every line and only that line; and a redirect
// target, escaped as the client sends it, must hold nothing of the escaping
// set but complete escapes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cp1251.h"
#include "gatelimits.h"
#include "httpcookies.h"
#include "httpsend.h"
#include "httpurl.h"
#include "strfuncs.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckCookies(const httpcookies::TCookieList& cookies) {
  Check(cookies.size() <= kMaxCookies);
  size_t joined = 0;
  for (const std::string& line : cookies) {
    auto [name, value] = httpcookies::Split(line);
    Check(!name.empty() && !value.empty());
    Check(name.size() + value.size() <= kMaxCookieSize);
    Check(cookies.Find(name) == &line);
    Check(cookies.Find(cp1251::LowerCase(name)) == &line);
    Check(httpcookies::Value(cookies, name) == value);
    joined += line.size() + (joined ? 2 : 0);
  }
  Check(httpcookies::Join(cookies).size() == joined);
}

bool Escaped(std::string_view url) {
  static constexpr std::string_view kUnsafe = "\"<>[\\]^{|}~`";
  for (size_t i = 0; i < url.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(url[i]);
    if (c <= 0x20 || c >= 0x7F || kUnsafe.find(static_cast<char>(c)) != std::string_view::npos) return false;
    if (c == '%' && (i + 2 >= url.size() || strfuncs::HexDigitValue(url[i + 1]) < 0 ||
                     strfuncs::HexDigitValue(url[i + 2]) < 0))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t end = input.find('\n');
  std::string_view base = input.substr(0, end);
  std::string_view head = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);

  std::vector<std::string> headers;
  while (!head.empty()) {
    size_t next = head.find('\n');
    size_t length = next == std::string_view::npos ? head.size() : next + 1;
    bool status = TakeHeaderLine(headers, head.substr(0, length));
    if (status) Check(headers.empty());
    head.remove_prefix(length);
  }
  for (const std::string& line : headers)
    Check(!line.empty() && line.back() != '\r' && line.back() != '\n');

  std::string mime;
  httpcookies::TCookieList cookies;
  TakeAnswerHeaders(headers, mime, cookies);
  CheckCookies(cookies);
  // The same answer again, onto what it left: replacements and removals of
  // known names, and a copy that must index the same lines.
  TakeAnswerHeaders(headers, mime, cookies);
  CheckCookies(cookies);
  httpcookies::TCookieList copy = cookies;
  Check(copy == cookies);
  CheckCookies(copy);

  // Names of one and two letters or digits, as an answer may set too.
  static const httpcookies::TCookieList nearlyFull = [] {
    static constexpr std::string_view kChars = "abcdefghijklmnopqrstuvwxyz0123456789";
    httpcookies::TCookieList list;
    for (size_t i = 0; list.size() + 4 < kMaxCookies; ++i) {
      std::string name(1, kChars[i % kChars.size()]);
      if (i >= kChars.size()) name = std::string(1, kChars[i / kChars.size() - 1]) + name;
      list.Set(name, "v");
    }
    return list;
  }();
  if (!cookies.empty()) {
    httpcookies::TCookieList crowded = nearlyFull;
    TakeAnswerHeaders(headers, mime, crowded);
    CheckCookies(crowded);
  }

  std::string target = RedirectTarget(headers, base);
  std::string location = HeaderValue(headers, "Location");
  Check(target.empty() == location.empty());
  if (IsAbsoluteURL(location)) Check(target == location);
  if (!target.empty()) Check(Escaped(EscapeURL(target, true)));
  return 0;
}
