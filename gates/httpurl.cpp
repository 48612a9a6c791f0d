// Escaping and resolving of the URLs the HTTP client sends.
#include "httpurl.h"

#include <array>

#include "strfuncs.h"

namespace {

constexpr std::array<bool, 256> MakeEscapeTable() {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = c <= 0x20 || c >= 0x7F;
  for (char c : std::string_view("\"%<>[\\]^{|}~`")) table[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr std::array<bool, 256> kEscape = MakeEscapeTable();

bool IsEscapeAt(std::string_view url, size_t i) {
  return i + 2 < url.size() && strfuncs::HexDigitValue(url[i + 1]) >= 0 &&
         strfuncs::HexDigitValue(url[i + 2]) >= 0;
}

bool IsSchemeChar(char c, bool first) {
  bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (first) return letter;
  return letter || (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-';
}

// The base's folder: its path without the query, cut at the last "/".
std::string BaseFolder(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

}  // namespace

std::string EscapeURL(std::string_view url, bool keepEscapes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size() + 8);
  for (size_t i = 0; i < url.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(url[i]);
    if (!kEscape[c] || (keepEscapes && c == '%' && IsEscapeAt(url, i))) {
      out += static_cast<char>(c);
      continue;
    }
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

bool IsAbsoluteURL(std::string_view url) {
  size_t i = 0;
  while (i < url.size() && IsSchemeChar(url[i], i == 0)) ++i;
  return i > 0 && url.substr(i, 3) == "://";
}

std::string ResolveRelativeURL(std::string_view base, std::string_view target) {
  if (IsAbsoluteURL(target)) return std::string(target);
  // A new query keeps everything of the base before its own, scheme or not.
  if (target.starts_with("?")) return std::string(base.substr(0, base.find('?'))) + std::string(target);
  size_t sep = base.find("://");
  if (sep == std::string_view::npos) return std::string(target);
  if (target.starts_with("//")) return std::string(base.substr(0, sep + 1)) + std::string(target);

  // The host part ends where the path or, on a page with no path, the query
  // begins.
  size_t hostEnd = base.find_first_of("/?#", sep + 3);
  std::string_view host = base.substr(0, hostEnd);
  std::string path = hostEnd == std::string_view::npos ? std::string() : BaseFolder(base.substr(hostEnd));

  // Only the target's path is made of segments; its query goes on unchanged.
  size_t queryAt = target.find_first_of("?#");
  std::string_view query = queryAt == std::string_view::npos ? std::string_view() : target.substr(queryAt);
  std::string_view rest = target.substr(0, queryAt);
  bool keepSlash = rest.ends_with('/');
  if (rest.starts_with('/')) {
    path.clear();
    rest.remove_prefix(1);
  }
  for (size_t next = rest.find('/'); next != std::string_view::npos; next = rest.find('/')) {
    std::string_view segment = rest.substr(0, next);
    rest.remove_prefix(next + 1);
    if (segment == "..") {
      size_t last = path.rfind('/');
      if (last != std::string::npos) path.erase(last);
    } else if (segment != ".") {
      path += '/';
      path += segment;
    }
  }
  if (!rest.empty()) {
    path += '/';
    path += rest;
  } else if (keepSlash) {
    path += '/';
  }
  return std::string(host) + path + std::string(query);
}
