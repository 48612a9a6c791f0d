#include "sendlogger.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files.h"
#include "gatelimits.h"
#include "options.h"
#include "timezone.h"
#include "zipfile.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfoFile = "info.txt";

[[noreturn]] void FolderError(const std::string& what, const fs::path& path, const std::error_code& ec) {
  throw EFileError(what + " " + path.string() + ": " + ec.message());
}

}  // namespace

std::string TSendLogger::GetFolder() const { return ProfileDir + "Log/"; }

void TSendLogger::CreateFolder() const {
  std::error_code ec;
  fs::path folder = GetFolder();
  fs::create_directories(folder, ec);
  std::error_code typeError;
  if (!fs::is_directory(folder, typeError)) FolderError("Cannot create the folder", folder, ec ? ec : typeError);
}

void TSendLogger::Start() {
  ClearFolder();
  Counter = 1;
  logged_ = 0;
  const std::string lines[] = {
      "Parlomix v." + ProgramVersion.FileVersion,
      "Gates v." + std::to_string(ProgramVersion.GatesVersion),
      "Gate: " + GateName,
      "TimeZone: " + TimeZone(),
      "TimeZoneBias: " + std::to_string(TimeZoneBias()),
      std::string("TimeZoneDaylight: ") + (TimeZoneDaylight() ? "True" : "False"),
  };
  std::string info;
  for (const std::string& line : lines) info += (info.empty() ? "" : "\r\n") + line;
  WriteNewFile(GetFolder() + std::string(kInfoFile), info);
}

void TSendLogger::AppendToInfo(std::string_view text) const { AppendToFile(GetFolder() + std::string(kInfoFile), text); }

void TSendLogger::WriteLogFile(const std::string& name, std::string_view bytes) {
  if (logged_ >= MaxLogSize) return;
  const uint64_t room = MaxLogSize - logged_;
  const uint64_t cost = std::max<uint64_t>((bytes.size() + kLogFileBlock - 1) / kLogFileBlock, 1) * kLogFileBlock;
  const std::string path = GetFolder() + name;
  // A file that would fill the log to the brim is cut as well, so that the
  // last file written always says that the log stops there.
  if (cost < room) {
    WriteNewFile(path, bytes);
    logged_ += cost;
    return;
  }
  logged_ = MaxLogSize;
  const std::string line = "\r\n--- The send log is cut here: it reached its limit of " + std::to_string(MaxLogSize) +
                           " bytes, and nothing more of this send is logged. ---\r\n";
  WriteNewFile(path, bytes.substr(0, room > line.size() ? room - line.size() : 0));
  AppendToFile(path, line);
}

void TSendLogger::ClearFolder() {
  std::error_code ec;
  fs::path folder = GetFolder();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->symlink_status(typeError).type() == fs::file_type::directory) continue;
    std::error_code removeError;
    fs::remove(it->path(), removeError);  // one that vanished meanwhile is no error
    if (removeError) FolderError("Cannot delete", it->path(), removeError);
  }
  if (ec) FolderError("Cannot list the folder", folder, ec);
}

std::string TSendLogger::CounterText() const {
  std::string text = std::to_string(Counter);
  return Counter >= 0 && text.size() < 2 ? "0" + text : text;
}

bool TSendLogger::SaveToZip(std::string& out) const {
  ZipFolder(GetFolder(), out, {kMaxZipFileSize, kMaxZipArchiveSize, kMaxZipEntries});
  return true;
}

std::string ProxyPasswordMask(std::string_view password) { return password.empty() ? "" : "********"; }

std::string ProxyPasswordLine(std::string_view password) { return "ProxyPass: " + ProxyPasswordMask(password) + "\r\n"; }
