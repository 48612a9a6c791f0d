// The program's command line: "-p<folder>" chooses the profile folder,
// "-ig<file>" imports one gate and "-il<file>" a gate package; "/" may stand
// for "-", the switch letters are read in any case and the value may be
// quoted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value of a switch: without its surrounding double quotes, a doubled
// quote inside standing for one. A value that does not begin with a quote is
// returned as it is; an unclosed quote runs to the end.
std::string DequoteSwitchValue(std::string_view text);

// The folder named by the last argument that begins with "-p" or "/p" (any
// case, whatever follows); nullopt when there is none. `args` excludes the
// program name.
std::optional<std::string> FindProfileSwitch(const std::vector<std::string>& args);

struct TImportSwitch {
  bool package = false;  // "il": a gate package; "ig": a single gate
  std::string path;
  bool operator==(const TImportSwitch&) const = default;
};

// The import switches in command-line order.
std::vector<TImportSwitch> FindImportSwitches(const std::vector<std::string>& args);
