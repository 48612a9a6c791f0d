#include "messagefiles.h"

#include <cstdio>
#include <filesystem>

#include "cp1251.h"
#include "smsfile.h"

std::string MessageFileFilter() { return "Файлы сообщений (*.plmx)|*.plmx|Все файлы (*.*)|*.*"_cp; }

std::string WithMessageFileExtension(const std::string& path) {
  if (path.find('.') != std::string::npos) return path;
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
