#include "options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "cp1251.h"
#include "exceptions.h"
#include "version.h"

namespace fs = std::filesystem;

std::string ProgramDir;
std::string ProfileDir;
std::string TranslitDir;
TProgramVersion ProgramVersion;
TOptions* Options = nullptr;

TCustomOptions::TCustomOptions(TIniStorage* storage, std::string rootPath)
    : storage_(storage), rootPath_(std::move(rootPath)) {
  if (rootPath_.empty() || rootPath_.back() != '\\') rootPath_ += '\\';
}

TCustomOptions::~TCustomOptions() = default;

void TCustomOptions::AddDefault(std::string key, const Variant& value) {
  auto w = std::make_unique<TStoredItemWrapper>();
  w->Value = value;
  defaults_.emplace_back(std::move(key), std::move(w));
}

Variant TCustomOptions::GetDefault(std::string_view key) const {
  for (const auto& [k, w] : defaults_)
    if (cp1251::SameText(k, key)) return w->Value;
  return Variant();
}

// A default that does not convert to the type asked for reads as that
// type's zero rather than failing every read of the key.
namespace {
template <class T, class F>
T DefaultAs(const Variant& v, F convert) {
  try {
    return convert(v);
  } catch (const EVariantError&) {
    return T{};
  }
}
}  // namespace

std::string TCustomOptions::ReadString(std::string_view key) const {
  std::string def = DefaultAs<std::string>(GetDefault(key), [](const Variant& v) { return VarToStr(v); });
  return storage_->ReadString(PathOf(key), def);
}

int32_t TCustomOptions::ReadInteger(std::string_view key) const {
  int32_t def = DefaultAs<int32_t>(GetDefault(key), [](const Variant& v) { return v.AsInteger(); });
  return storage_->ReadInteger(PathOf(key), def);
}

bool TCustomOptions::ReadBool(std::string_view key) const {
  bool def = DefaultAs<bool>(GetDefault(key), [](const Variant& v) { return v.AsBoolean(); });
  return storage_->ReadBool(PathOf(key), def);
}

TDateTime TCustomOptions::ReadDateTime(std::string_view key) const {
  TDateTime def = DefaultAs<TDateTime>(GetDefault(key), [](const Variant& v) { return v.AsDate(); });
  std::string text = storage_->ReadString(PathOf(key), std::to_string(DateTimeToUnix(def)));
  int64_t seconds;
  if (!TryStrToInt64(text, seconds)) return UnixToDateTime(DateTimeToUnix(def));
  return UnixToDateTime(seconds);
}

void TCustomOptions::WriteString(std::string_view key, std::string_view value) {
  storage_->WriteString(PathOf(key), value);
}

void TCustomOptions::WriteInteger(std::string_view key, int32_t value) { storage_->WriteInteger(PathOf(key), value); }

void TCustomOptions::WriteBool(std::string_view key, bool value) { storage_->WriteBool(PathOf(key), value); }

void TCustomOptions::WriteDateTime(std::string_view key, TDateTime value) {
  storage_->WriteString(PathOf(key), std::to_string(DateTimeToUnix(value)));
}

void TCustomOptions::Reload() {
  storage_->Reload();
  std::string rest;
  TIniStorage* sub = storage_->Resolve(rootPath_ + "*", rest);
  if (sub != storage_) sub->Reload();
}

TOptions::TOptions(TIniStorage* storage, std::string rootPath, bool callDefineDefaults)
    : TCustomOptions(storage, std::move(rootPath)) {
  if (callDefineDefaults) DefineDefaults();
}

void TOptions::DefineDefaults() {
  struct Default {
    const char* key;
    Variant value;
  };
  const std::string update(kUpdateServer), site(kWebSite);
  const Variant T = Variant::Boolean(true), F = Variant::Boolean(false);
  const Default kDefaults[] = {
      {"Network\\Proxy", Variant::String("IE")},
      {"Interface\\CloseToTray", F},
      {"Interface\\MinimizeToTray", F},
      {"Interface\\AlwaysInTray", F},
      {"Interface\\TrayRestoreDblClick", T},
      {"Interface\\OneInstance", T},
      {"Interface\\FormatPhones", T},
      {"Message\\ClearAfterSend", T},
      {"Message\\ClearOnlyText", F},
      {"Message\\SignatureDelimiter", Variant::String("\\n")},
      {"Message\\Signature", Variant::String("")},
      {"Message\\MaxSubjectsCount", Variant::Integer(30)},
      {"Message\\MaxSignaturesCount", Variant::Integer(30)},
      {"Message\\MaxPhoneHistoryCount", Variant::Integer(100)},
      {"Message\\SaveOnExit", T},
      {"Message\\AddToHistory", T},
      {"Message\\ClearHistoryOnExit", F},
      {"Message\\ErrorMsgToHistory", F},
      {"Send\\CheckDelivery", T},
      {"Send\\MaxChecksDelivery", Variant::Integer(20)},
      {"Send\\LogSend", F},
      {"Send\\CheckDeliveryDelay", Variant::Integer(1000)},
      {"Send\\CheckDeliveryDelta", Variant::Integer(1000)},
      {"Send\\AutoCloseDispSuccess", F},
      {"Update\\AutoCheckUpdate", T},
      {"Update\\UpdatePeriod", Variant::Integer(5)},
      {"Update\\URL", Variant::String(update + "/version.xml")},
      {"Update\\AutoCheckUpdateGates", T},
      {"Update\\UpdateGatesPeriod", Variant::Integer(5)},
      {"Update\\GatesURL", Variant::String(update + "/gates.xml")},
      {"General\\FirstRunDone", F},
      {"General\\HelpURL", Variant::String(site + "/help.html")},
      {"General\\HomeURL", Variant::String(site)},
      {"General\\ForumURL", Variant::String(site + "/forum.html")},
      {"General\\FeedbackURL", Variant::String(site + "/feedback.html")},
      {"Stats\\LogStats", T},
      {"Stats\\SendStatsToServer", T},
      {"Stats\\PostURL", Variant::String(update + "/poststats/")},
  };
  for (const Default& d : kDefaults) AddDefault(d.key, d.value);
}

std::string ExpandEnvironmentStrings(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    std::string fallback;
    if (!value && name == "APPDATA") {
      // Linux has no APPDATA: the XDG data folder plays its part.
      if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        fallback = xdg;
      else if (const char* home = std::getenv("HOME"); home && *home)
        fallback = std::string(home) + "/.local/share";
      if (!fallback.empty()) value = fallback.c_str();
    }
    if (value) {
      out += value;
      i = close + 1;
    } else {
      // An unknown name stays as written; its closing "%" may open the next.
      out += text.substr(open, close - open);
      i = close;
    }
  }
  return out;
}

namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string Separators(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

}  // namespace

std::string PrepareFolder(const std::string& path) {
  std::string expanded = Separators(ExpandEnvironmentStrings(path));
  // An empty path is the current folder, as any relative one is taken
  // against it ("-p" followed by a blank gives one).
  if (expanded.empty()) expanded = ".";
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(expanded), ec);
  if (ec) p = fs::path(expanded);
  std::string result = WithSlash(p.lexically_normal().string());
  fs::create_directories(result, ec);
  return result;
}

void SetProfileDir(const std::string& path) { ProfileDir = PrepareFolder(path); }

std::string ProgramFileName() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

void ReadProgramVersion() {
  ProgramVersion.FileVersion = PARLOMIX_VERSION;
  ProgramVersion.Build = PARLOMIX_VERSION_BUILD;
  ProgramVersion.FixedVersion = {PARLOMIX_VERSION_MAJOR, PARLOMIX_VERSION_MINOR, PARLOMIX_VERSION_PATCH,
                                 PARLOMIX_VERSION_BUILD};
}

void CheckProfileDir() {
  const std::string failed = "Невозможно инициализировать настройки"_cp;
  const std::string folder = cp1251::FromUtf8(ProfileDir);
  std::error_code ec;
  if (!fs::is_directory(ProfileDir, ec))
    throw EProfileFolderError(failed + "\nНе удалось создать папку профиля "_cp + folder);
  if (access(ProfileDir.c_str(), W_OK | X_OK) != 0)
    throw EProfileFolderError(failed + "\nПапка профиля "_cp + folder + " недоступна для записи"_cp);
}

void InitProgramPaths(const std::string& programFile) {
  if (programFile.empty()) throw Exception("The program file is unknown");
  std::error_code ec;
  fs::path exe = fs::absolute(fs::path(programFile), ec);
  if (ec) throw Exception("The program file is unknown");
  ProgramDir = WithSlash(exe.parent_path().lexically_normal().string());

  std::string profile = "%APPDATA%\\Parlomix";
  std::string tables = ProgramDir + "Translit";
  std::string ini = ProgramDir + "Parlomix.ini";
  if (fs::exists(ini, ec)) {
    TIniFile file;
    if (!file.LoadFromFile(ini)) throw Exception("Cannot read " + ini);
    std::string value;
    if (file.ReadValue("Path", "Profile", value)) profile = value;
    if (file.ReadValue("Path", "TranslistData", value)) tables = value;
  }
  if (chdir(ProgramDir.c_str()) != 0) throw Exception("Cannot change to the folder " + ProgramDir);

  // A tables folder that cannot be made (a program installed where its
  // user may not write) only means no tables from there.
  ProfileDir = PrepareFolder(profile);
  TranslitDir = PrepareFolder(tables);
}
