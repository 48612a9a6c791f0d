#include "inistorage.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "corelimits.h"
#include "cp1251.h"
#include "variant.h"

namespace {

// What a reader trims from either end of a name or a value.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Keeps a value on its one line: CR LF, CR and LF each become a blank.
std::string OneLine(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
    out += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return out;
}

// A name must not break the line structure either: no line breaks, and no
// "=" (which would end a value name) or "]" in a section name.
std::string SafeName(std::string_view name, char forbidden) {
  std::string out = OneLine(name);
  for (char& c : out)
    if (c == forbidden) c = '_';
  return std::string(TrimBlanks(out));
}

// Values with blanks at either end, or quoted already, are written in quotes
// so that reading them back gives the same text.
std::string QuoteIfNeeded(const std::string& v) {
  bool edgeBlank = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
  bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  return edgeBlank || quoted ? "\"" + v + "\"" : v;
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

}  // namespace

void TIniFile::Parse(std::string_view text) {
  Clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      if (close == std::string_view::npos) {
        current = nullptr;  // a broken header: its values belong nowhere
        continue;
      }
      std::string_view name = TrimBlanks(line.substr(1, close - 1));
      current = FindSection(name);
      if (!current) current = &AddSection(std::string(name));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || !current) continue;
    std::string_view name = TrimBlanks(line.substr(0, eq));
    if (name.empty()) continue;
    if (FindValue(*current, name) == std::string::npos)
      AddValue(*current, std::string(name), Unquote(TrimBlanks(line.substr(eq + 1))));
  }
}

std::string TIniFile::Serialize() const {
  std::string out;
  for (const Section& s : sections_) {
    if (!out.empty()) out += '\n';
    out += "[" + s.name + "]\n";
    for (const auto& [name, value] : s.values) out += name + "=" + QuoteIfNeeded(value) + "\n";
  }
  return out;
}

bool TIniFile::LoadFromFile(const std::string& fileName, TReadFailure* failure) {
  Clear();
  std::string text;
  TReadFailure why = ReadWholeFile(fileName, kMaxIniFileSize, text);
  // Missing is fine: an empty image.
  if (why == TReadFailure::Missing && access(fileName.c_str(), F_OK) != 0) why = TReadFailure::None;
  if (failure) *failure = why;
  if (why != TReadFailure::None) return false;
  Parse(text);
  return true;
}

namespace {

// The file a write of `fileName` replaces: the one a symbolic link names, so
// that the link goes on pointing at the settings. A link to something other
// than a regular file, or into a folder that is not there, is replaced
// itself, as a plain file would be.
std::string WriteTarget(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target = fileName;
  for (int hops = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++hops) {
    fs::path next = fs::read_symlink(target, ec);
    if (ec || hops == 40) return fileName;  // unreadable, or a loop
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  const fs::file_status status = fs::status(target, ec);
  if (fs::exists(status) ? !fs::is_regular_file(status) : !fs::is_directory(target.parent_path(), ec))
    return fileName;
  return target.string();
}

}  // namespace

bool TIniFile::SaveToFile(const std::string& fileName, unsigned mode) const {
  const std::string target = WriteTarget(fileName);
  std::string temp = target + ".tmp";
  std::string text = Serialize();
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return false;
  // A temporary left by an earlier run keeps its own bits through O_CREAT:
  // take away what `mode` does not grant (the umask has had its say on a
  // new file).
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && ::fchmod(fd, st.st_mode & mode & 07777) == 0;
  for (std::string_view rest = text; ok && !rest.empty();) {
    ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) rest.remove_prefix(static_cast<size_t>(n));
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

TIniFile::Section* TIniFile::FindSection(std::string_view name) {
  auto it = sectionIndex_.find(SectionKey(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
  return const_cast<TIniFile*>(this)->FindSection(name);
}

TIniFile::Section& TIniFile::AddSection(std::string name) {
  sectionIndex_.emplace(SectionKey(name), sections_.size());
  return sections_.emplace_back(Section{std::move(name), {}, {}});
}

size_t TIniFile::FindValue(const Section& s, std::string_view name) const {
  auto it = s.index.find(ValueKey(name));
  return it == s.index.end() ? std::string::npos : it->second;
}

void TIniFile::AddValue(Section& s, std::string name, std::string value) {
  s.index.emplace(ValueKey(name), s.values.size());
  s.values.emplace_back(std::move(name), std::move(value));
}

void TIniFile::Clear() {
  sections_.clear();
  sectionIndex_.clear();
}

bool TIniFile::ReadValue(std::string_view section, std::string_view name, std::string& value) const {
  const Section* s = FindSection(section);
  size_t i = s ? FindValue(*s, name) : std::string::npos;
  if (i == std::string::npos) return false;
  value = s->values[i].second;
  return true;
}

void TIniFile::WriteValue(std::string_view section, std::string_view name, std::string_view value) {
  std::string sectionName = SafeName(section, ']');
  std::string valueName = SafeName(name, '=');
  Section* s = FindSection(sectionName);
  if (!s) s = &AddSection(std::move(sectionName));
  size_t i = FindValue(*s, valueName);
  if (i != std::string::npos)
    s->values[i].second = OneLine(value);
  else
    AddValue(*s, std::move(valueName), OneLine(value));
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> TIniFile::SectionNames() const {
  std::vector<std::string> names;
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}

std::vector<std::string> TIniFile::ValueNames(std::string_view section) const {
  std::vector<std::string> names;
  if (const Section* s = FindSection(section))
    for (const auto& [n, v] : s->values) names.push_back(n);
  return names;
}

// Erasing is rare: the index is rebuilt rather than kept shifted.
void TIniFile::EraseSection(std::string_view section) {
  auto it = sectionIndex_.find(SectionKey(section));
  if (it == sectionIndex_.end()) return;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(SectionKey(sections_[i].name), i);
}

void TIniFile::DeleteValue(std::string_view section, std::string_view name) {
  Section* s = FindSection(section);
  size_t i = s ? FindValue(*s, name) : std::string::npos;
  if (i == std::string::npos) return;
  s->values.erase(s->values.begin() + static_cast<std::ptrdiff_t>(i));
  s->index.clear();
  for (size_t k = 0; k < s->values.size(); ++k) s->index.emplace(ValueKey(s->values[k].first), k);
}

namespace {

// "Section\Name" -> ("Section", "Name"); no backslash: ("General", path).
std::pair<std::string_view, std::string_view> SplitPath(std::string_view path) {
  size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {"General", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

TIniStorage::TIniStorage(std::string fileName) : fileName_(std::move(fileName)) { Load(); }

TIniStorage::~TIniStorage() {
  std::unique_lock guard(lock_);
  if (modified_ && !keepFile_) ini_.SaveToFile(fileName_, mode_);
}

void TIniStorage::Load() {
  ini_.LoadFromFile(fileName_, &loadFailure_);
  // A pipe or a device holds no settings to lose; any file that is there
  // and was refused (too large, unreadable) may hold them all.
  keepFile_ = loadFailure_ != TReadFailure::None && loadFailure_ != TReadFailure::NotRegular;
}

void TIniStorage::AddSubStorage(std::string root, TIniStorage* sub) {
  std::unique_lock guard(lock_);
  subs_.emplace_back(std::move(root), sub);
}

const TIniStorage* TIniStorage::ResolveConst(std::string_view path, std::string& rest) const {
  const TIniStorage* storage = this;
  for (;;) {
    size_t slash = path.find('\\');
    const TIniStorage* next = nullptr;
    if (slash != std::string_view::npos) {
      std::string_view first = path.substr(0, slash);
      std::shared_lock guard(storage->lock_);
      for (const auto& [root, sub] : storage->subs_)
        if (cp1251::SameText(root, first)) next = sub;
    }
    if (!next) {
      rest = std::string(path);
      return storage;
    }
    path.remove_prefix(slash + 1);
    storage = next;
  }
}

TIniStorage* TIniStorage::Resolve(std::string_view path, std::string& rest) {
  return const_cast<TIniStorage*>(ResolveConst(path, rest));
}

bool TIniStorage::ReadRaw(std::string_view path, std::string& value) const {
  std::string rest;
  const TIniStorage* s = ResolveConst(path, rest);
  auto [section, name] = SplitPath(rest);
  std::shared_lock guard(s->lock_);
  return s->ini_.ReadValue(section, name, value);
}

std::string TIniStorage::ReadString(std::string_view path, std::string_view def) const {
  std::string value;
  return ReadRaw(path, value) ? value : std::string(def);
}

int32_t TIniStorage::ReadInteger(std::string_view path, int32_t def) const {
  std::string text;
  int64_t v;
  if (!ReadRaw(path, text) || !TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX) return def;
  return static_cast<int32_t>(v);
}

bool TIniStorage::ReadBool(std::string_view path, bool def) const {
  std::string text;
  if (!ReadRaw(path, text)) return def;
  for (const char* word : {"TRUE", "YES", "Y"})
    if (cp1251::SameText(text, word)) return true;
  for (const char* word : {"FALSE", "NO", "N"})
    if (cp1251::SameText(text, word)) return false;
  int64_t v;
  return TryStrToInt64(text, v) ? v != 0 : def;
}

void TIniStorage::WriteString(std::string_view path, std::string_view value) {
  std::string rest;
  TIniStorage* s = Resolve(path, rest);
  auto [section, name] = SplitPath(rest);
  std::unique_lock guard(s->lock_);
  s->ini_.WriteValue(section, name, value);
  s->modified_ = true;
}

void TIniStorage::WriteInteger(std::string_view path, int32_t value) { WriteString(path, std::to_string(value)); }

void TIniStorage::WriteBool(std::string_view path, bool value) { WriteString(path, value ? "TRUE" : "FALSE"); }

bool TIniStorage::SectionExists(std::string_view path) const {
  std::string rest;
  const TIniStorage* s = ResolveConst(path, rest);
  std::shared_lock guard(s->lock_);
  return s->ini_.SectionExists(rest);
}

void TIniStorage::EraseSection(std::string_view path) {
  std::string rest;
  TIniStorage* s = Resolve(path, rest);
  std::unique_lock guard(s->lock_);
  s->ini_.EraseSection(rest);
  s->modified_ = true;
}

bool TIniStorage::Flush(bool always) {
  bool ok = true;
  std::vector<TIniStorage*> subs;
  {
    std::unique_lock guard(lock_);
    if (keepFile_) {
      ok = false;
    } else if (modified_ || always) {
      if (ini_.SaveToFile(fileName_, mode_))
        modified_ = false;
      else
        ok = false;
    }
    for (const auto& [root, sub] : subs_) subs.push_back(sub);
  }
  for (TIniStorage* sub : subs) ok = sub->Flush(always) && ok;
  return ok;
}

void TIniStorage::Reload() {
  std::unique_lock guard(lock_);
  Load();
  modified_ = false;
}

TReadFailure TIniStorage::LoadFailure() const {
  std::shared_lock guard(lock_);
  return loadFailure_;
}

std::string TIniStorage::PutAside() {
  std::unique_lock guard(lock_);
  if (!keepFile_) return {};
  std::string aside = fileName_ + ".bad";
  if (std::rename(fileName_.c_str(), aside.c_str()) != 0) return {};
  keepFile_ = false;
  return aside;
}
