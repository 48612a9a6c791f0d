// Feeds arbitrary bytes to the options file reader as the profile's
// Parlomix.ini, then reads options the way the program does: every key the
// file holds through each typed read, and keys it lacks through their
// defaults. The options object must read what the file says, and the file
// written back must read as it did.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "inistorage.h"
#include "options.h"
#include "support/optionsprofile.h"

namespace {

// Keys the program reads whether the file holds them or not: a text, a
// number, a switch and a date-time with defaults, and a number without one.
constexpr const char* kProgramKeys[] = {"Network\\Proxy", "Message\\MaxSubjectsCount", "Send\\LogSend",
                                        "Stats\\LastPost", "Message\\TotalMsgSent"};

void ReadEveryWay(const TOptions& options, const std::string& key) {
  options.ReadString(key);
  options.ReadInteger(key);
  options.ReadBool(key);
  options.ReadDateTime(key);
}

// The file as a fresh read sees it: every section with its values, in order.
std::string Image(const std::string& file) {
  TIniFile ini;
  if (!ini.LoadFromFile(file)) std::abort();
  return ini.Serialize();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static OptionsProfile profile;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string file = profile.dir.File("Parlomix.ini");
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
  TOptions& options = *profile.options;
  options.Reload();

  TIniFile ini;
  ini.Parse(text);
  for (const std::string& section : ini.SectionNames())
    for (const std::string& name : ini.ValueNames(section)) {
      if (name.find('\\') != std::string::npos) continue;  // no path can name it
      std::string key = section + "\\" + name, value;
      if (!ini.ReadValue(section, name, value) || options.ReadString(key) != value) std::abort();
      ReadEveryWay(options, key);
    }
  for (const char* key : kProgramKeys) ReadEveryWay(options, key);

  if (!profile.placement.Flush(/*always=*/true)) std::abort();
  if (Image(file) != ini.Serialize()) std::abort();
  return 0;
}
