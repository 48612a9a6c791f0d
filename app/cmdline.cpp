#include "cmdline.h"

#include "cp1251.h"

std::string DequoteSwitchValue(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::string(text);
  std::string out;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != '"') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '"') {
      out += '"';
      ++i;
      continue;
    }
    break;  // the closing quote; anything after it is dropped
  }
  return out;
}

namespace {

// Arguments shorter than two characters or not opening with a switch
// character are no switches.
bool IsSwitch(std::string_view arg) { return arg.size() >= 2 && (arg[0] == '-' || arg[0] == '/'); }

}  // namespace

std::optional<std::string> FindProfileSwitch(const std::vector<std::string>& args) {
  std::optional<std::string> folder;
  for (const std::string& arg : args)
    if (IsSwitch(arg) && cp1251::Lower(arg[1]) == 'p') folder = DequoteSwitchValue(std::string_view(arg).substr(2));
  return folder;
}

std::vector<TImportSwitch> FindImportSwitches(const std::vector<std::string>& args) {
  std::vector<TImportSwitch> found;
  for (const std::string& arg : args) {
    if (!IsSwitch(arg) || arg.size() < 3) continue;
    std::string name = cp1251::LowerCase(std::string_view(arg).substr(1, 2));
    if (name != "ig" && name != "il") continue;
    found.push_back({name == "il", DequoteSwitchValue(std::string_view(arg).substr(3))});
  }
  return found;
}
