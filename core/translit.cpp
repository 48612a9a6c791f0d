#include "translit.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>
#include <shared_mutex>

#include "cp1251.h"
#include "formencode.h"
#include "inistorage.h"
#include "options.h"

namespace fs = std::filesystem;

namespace {

using CharMap = std::array<std::string, 128>;

CharMap IdentityMap() {
  CharMap map;
  for (int c = 0; c < 128; ++c) map[c] = std::string(1, static_cast<char>(c + 128));
  return map;
}

// The map starts as the identity: a program that never loads its tables
// (a command-line sender, a test) must not lose the Cyrillic of a text.
struct TranslitState {
  std::shared_mutex lock;
  std::vector<std::unique_ptr<TTranslitTableDesc>> tables;
  int currentIndex = -1;
  CharMap map = IdentityMap();
};

TranslitState& State() {
  static TranslitState state;
  return state;
}

// The *.ttb files of one folder, sorted by name; a folder that cannot be
// listed gives none.
std::vector<std::string> TableFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    if (cp1251::SameText(it->path().extension().string(), ".ttb")) files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

ETableError::ETableError(const std::string& reason, const std::string& fileName)
    : Exception("Ошибка загрузки файла таблицы ("_cp + reason + "). Файл таблицы: "_cp +
                cp1251::FromUtf8(fs::path(fileName).filename().string())) {}

void TTranslit::LoadTables() {
  std::vector<std::string> folders = {TranslitDir};
  std::string profileTables = ProfileDir + "Translit/";
  std::error_code ec;
  if (profileTables != TranslitDir && fs::is_directory(profileTables, ec)) folders.push_back(profileTables);

  std::vector<std::unique_ptr<TTranslitTableDesc>> tables;
  for (const std::string& folder : folders)
    for (const std::string& file : TableFiles(folder)) {
      TIniFile ini;
      ini.LoadFromFile(file);
      auto desc = std::make_unique<TTranslitTableDesc>();
      desc->FileName = file;
      ini.ReadValue("General", "Name", desc->Name);
      tables.push_back(std::move(desc));
    }

  TranslitState& s = State();
  std::unique_lock guard(s.lock);
  s.tables = std::move(tables);
  s.currentIndex = -1;
  s.map = IdentityMap();
}

void TTranslit::FreeTables() {
  TranslitState& s = State();
  std::unique_lock guard(s.lock);
  s.tables.clear();
  s.currentIndex = -1;
  s.map = IdentityMap();
}

int TTranslit::GetTableNames(std::vector<std::string>& strings) {
  TranslitState& s = State();
  std::shared_lock guard(s.lock);
  strings.clear();
  for (const auto& t : s.tables) strings.push_back(t->Name);
  return static_cast<int>(strings.size());
}

int TTranslit::TableCount() {
  TranslitState& s = State();
  std::shared_lock guard(s.lock);
  return static_cast<int>(s.tables.size());
}

std::string TTranslit::TableFileName(int index) {
  TranslitState& s = State();
  std::shared_lock guard(s.lock);
  if (index < 0 || index >= static_cast<int>(s.tables.size())) throw EListError::IndexOutOfBounds(index);
  return s.tables[index]->FileName;
}

int TTranslit::CurrentIndex() {
  TranslitState& s = State();
  std::shared_lock guard(s.lock);
  return s.currentIndex;
}

bool TTranslit::SelectTable(int index) {
  std::string fileName;
  {
    TranslitState& s = State();
    std::shared_lock guard(s.lock);
    if (index < 0 || index >= static_cast<int>(s.tables.size())) throw EListError::IndexOutOfBounds(index);
    if (index == s.currentIndex) return true;
    fileName = s.tables[index]->FileName;
  }

  TIniFile ini(/*caseSensitiveNames=*/true);
  ini.LoadFromFile(fileName);
  CharMap map = IdentityMap();
  std::vector<std::string> keys = ini.ValueNames("Table");
  for (const std::string& key : keys) {
    std::string character = DecodePercentEscapes(key);
    if (character.empty() || static_cast<unsigned char>(character[0]) < 128) continue;
    std::string value;
    ini.ReadValue("Table", key, value);
    map[static_cast<unsigned char>(character[0]) - 128] = DecodePercentEscapes(value);
  }

  TranslitState& s = State();
  std::unique_lock guard(s.lock);
  s.map = keys.empty() ? IdentityMap() : std::move(map);
  s.currentIndex = keys.empty() ? -1 : index;
  if (keys.empty()) throw ETableError("", fileName);
  return true;
}

std::string TTranslit::Translit(std::string_view text) {
  TranslitState& s = State();
  std::shared_lock guard(s.lock);
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto code = static_cast<unsigned char>(c);
    if (code < 128)
      out += c;
    else
      out += s.map[code - 128];
  }
  return out;
}
