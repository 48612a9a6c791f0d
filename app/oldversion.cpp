#include "oldversion.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "applimits.h"
#include "cp1251.h"
#include "files.h"
#include "inistorage.h"
#include "options.h"
#include "phone.h"
#include "phonebook.h"
#include "sqlite3db.h"
#include "variant.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOldIniName = "Parlomix.ini";
constexpr const char* kOldPhoneBookName = "Parlomix.phb";

int IniInteger(const TIniFile& ini, std::string_view section, std::string_view name) {
  std::string text;
  int64_t value = 0;
  if (!ini.ReadValue(section, name, text) || !TryStrToInt64(text, value) || value < INT32_MIN || value > INT32_MAX)
    return 0;
  return static_cast<int>(value);
}

std::string IniText(const TIniFile& ini, std::string_view section, std::string_view name) {
  std::string text;
  ini.ReadValue(section, name, text);
  return text;
}

// The text before the first ";" of `rest`, which then continues after it;
// nullopt, and `rest` unchanged, when there is no ";".
std::optional<std::string_view> TakeField(std::string_view& rest) {
  size_t at = rest.find(';');
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view field = rest.substr(0, at);
  rest.remove_prefix(at + 1);
  return field;
}

void TakeSettings(const std::string& path, const TOldSettings& old, TCustomOptions& options,
                  const std::function<void()>& keepThisRun) {
  if (RenameAside(path).empty()) throw EFileError("Cannot rename " + path);
  // Only the options file is read anew: the window placements of this run
  // live in the other file and stay.
  std::string rest;
  if (TIniStorage* file = options.Storage()->Resolve(options.RootPath() + "*", rest)) file->Reload();
  options.WriteInteger("Message\\TotalMsgSent", old.totalMsgSend);
  if (old.useProxy) {
    options.WriteString("Network\\ProxyHost", old.proxyHost);
    options.WriteString("Network\\ProxyPort", old.proxyPort);
    options.WriteString("Network\\Proxy", "HTTP");
  }
  // What the user chose in this run is newer than what the older version kept.
  if (keepThisRun) keepThisRun();
}

void TakeContacts(const std::string& path, TMigrationResult& result) {
  std::string text;
  if (!TryReadFile(path, kMaxOldPhoneBookSize, text)) throw EFileError("Cannot read " + path);
  TOldContact contact;
  TPhoneBookItem item;  // one object for every line: group 0, no signature, translit 0
  std::string_view rest = text;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ParseOldPhoneBookLine(line, contact);
    if (contact.name.empty() || contact.phone.empty()) {
      ++result.linesSkipped;
      continue;
    }
    try {
      if (!TPhoneBook::GetPhoneByName(contact.name).empty() || !TPhoneBook::GetNameByPhone(contact.phone).empty())
        continue;
      item.Name = contact.name;
      item.GateName = contact.gateName;
      item.Phone = contact.phone;
      TPhoneBook::AddItem(item);
      ++result.contactsAdded;
    } catch (const ESQLiteException&) {
      if (!result.firstError) result.firstError = std::current_exception();
      ++result.contactsFailed;
    }
  }
  if (RenameAside(path).empty()) throw EFileError("Cannot rename " + path);
}

}  // namespace

std::optional<TOldSettings> ReadOldSettings(const std::string& iniPath) {
  if (!fs::exists(iniPath)) return std::nullopt;
  TIniFile ini;
  // It is the options file as well: one that cannot be read (a pipe, a
  // device) has been told when the options were loaded, and holds nothing
  // to take over.
  if (!ini.LoadFromFile(iniPath) || !ini.SectionExists("SMSFrm")) return std::nullopt;
  TOldSettings old;
  old.totalMsgSend = IniInteger(ini, "Message", "TotalMsgSend");
  old.useProxy = IniInteger(ini, "Connection", "UseProxy") == 1;
  if (old.useProxy) {
    old.proxyHost = IniText(ini, "Connection", "ProxyHost");
    old.proxyPort = IniText(ini, "Connection", "ProxyPort");
  }
  return old;
}

void ParseOldPhoneBookLine(std::string_view line, TOldContact& contact) {
  std::string_view rest = line;
  auto name = TakeField(rest);
  if (!name) return;
  contact.name = std::string(*name);
  auto gate = TakeField(rest);
  if (!gate) return;
  contact.gateName = cp1251::SameText(*gate, "MTSNW") ? std::string("MTS") : std::string(*gate);
  auto code = TakeField(rest);
  if (!code) return;
  std::string digits = ExtractDigits(*code) + ExtractDigits(rest);
  contact.phone = digits.empty() ? std::string() : "7" + digits;
}

std::string RenameAside(const std::string& path) {
  std::string target = path + ".bak";
  for (int n = 2; fs::exists(target); ++n) target = path + ".bak" + std::to_string(n);
  std::error_code ec;
  fs::rename(path, target, ec);
  if (ec) return {};
  ::chmod(target.c_str(), S_IRUSR | S_IWUSR);
  return target;
}

TMigrationResult MigrateOldVersion(const std::string& profileDir, TCustomOptions& options,
                                   const std::function<void()>& keepThisRun) {
  TMigrationResult result;
  std::string iniPath = profileDir + kOldIniName;
  if (auto old = ReadOldSettings(iniPath)) {
    result.settingsTaken = true;
    TakeSettings(iniPath, *old, options, keepThisRun);
  }
  std::string phoneBookPath = profileDir + kOldPhoneBookName;
  if (fs::exists(phoneBookPath)) TakeContacts(phoneBookPath, result);
  return result;
}
