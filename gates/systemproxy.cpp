// The system's proxy setting read from the environment.
#include "systemproxy.h"

#include <cstdlib>
#include <vector>

#include "cp1251.h"
#include "strfuncs.h"

namespace {

std::vector<std::string_view> SplitEntries(std::string_view text, std::string& storage) {
  storage.assign(text);
  for (char& c : storage)
    if (c == ' ') c = ',';
  std::vector<std::string_view> entries;
  std::string_view rest = storage;
  for (;;) {
    size_t comma = rest.find(',');
    std::string_view entry = rest.substr(0, comma);
    if (!entry.empty()) entries.push_back(entry);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return entries;
}

std::string_view ChooseEntry(const std::vector<std::string_view>& entries, std::string_view protocol) {
  std::string prefix = cp1251::LowerCase(protocol) + "=";
  for (std::string_view entry : entries)
    if (cp1251::LowerCase(entry.substr(0, prefix.size())) == prefix) return entry.substr(prefix.size());
  std::string_view chosen;
  for (std::string_view entry : entries)
    if (entry.find('=') == std::string_view::npos) chosen = entry;
  return chosen;
}

// The first set, non-empty variable of the two names.
std::string Environment(const char* lower, const char* upper) {
  for (const char* name : {lower, upper}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return {};
}

}  // namespace

TProxySetting ParseProxyText(std::string_view text, std::string_view protocol) {
  std::string storage;
  std::string_view entry = ChooseEntry(SplitEntries(text, storage), protocol);
  size_t colon = entry.find(':');
  TProxySetting setting;
  setting.Host = std::string(strfuncs::Trim(entry.substr(0, colon)));
  if (colon != std::string_view::npos) setting.Port = std::string(strfuncs::Trim(entry.substr(colon + 1)));
  return setting;
}

std::string ProxyTextOfURL(std::string_view value) {
  value = strfuncs::Trim(value);
  size_t scheme = value.find("://");
  if (scheme != std::string_view::npos) value.remove_prefix(scheme + 3);
  value = value.substr(0, value.find('/'));
  size_t at = value.rfind('@');
  if (at != std::string_view::npos) value.remove_prefix(at + 1);
  return std::string(value);
}

TProxySetting GetSystemProxy() {
  std::string value = Environment("http_proxy", "HTTP_PROXY");
  if (value.empty()) return {};
  TProxySetting setting = ParseProxyText(ProxyTextOfURL(value), "http");
  if (!setting.Host.empty()) setting.Bypass = Environment("no_proxy", "NO_PROXY");
  return setting;
}
