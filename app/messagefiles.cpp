#include "messagefiles.h"

#include <cstdio>
#include <filesystem>

#include "cp1251.h"
#include "smsfile.h"

std::string MessageFileFilter() { return "Файлы сообщений (*.plmx)|*.plmx|Все файлы (*.*)|*.*"_cp; }

std::string WithMessageFileExtension(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string_view name = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  if (name.find('.') != std::string_view::npos) return path;
  return path + "." + std::string(kMessageFileExtension);
}

TAutosaveState LoadAutosave(const std::string& fileName, const std::function<void(const TSMS&)>& use) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) return TAutosaveState::Missing;
  try {
    TSMSFile file;
    file.LoadFromFile(fileName);
    use(file.Message);
    return TAutosaveState::Loaded;
  } catch (const std::exception&) {
    // Any failure, not only a damaged document: a message that cannot
    // become the composer's would stop every start the same way.
  }
  std::filesystem::rename(fileName, fileName + ".bad", ec);
  return TAutosaveState::Corrupt;
}
