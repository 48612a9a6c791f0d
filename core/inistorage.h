// Ini files held in memory, and the hierarchical key-value storage the option
// store and window placements live in. Text is Windows-1251 as in the file.
#pragma once

#include <cstdint>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cp1251.h"
#include "files.h"
#include "object.h"

// One ini file's content. Sections and values keep their order; names compare
// without regard to case and the first of duplicate names wins. Reading
// never fails: lines that are not a section header or "name=value" are
// skipped, as is a UTF-8 byte-order mark.
class TIniFile {
 public:
  // With caseSensitiveNames, value names (not section names) compare with
  // regard to case.
  explicit TIniFile(bool caseSensitiveNames = false) : caseSensitive_(caseSensitiveNames) {}

  void Parse(std::string_view text);
  // The file text, LF line ends.
  std::string Serialize() const;

  // Loads a file; a missing file gives an empty image. False when the file
  // exists but cannot be read, is no regular file or is larger than
  // kMaxIniFileSize (the image is then empty too, and `failure`, when
  // given, says why).
  bool LoadFromFile(const std::string& fileName, TReadFailure* failure = nullptr);
  // Writes the image through a temporary file and a rename, so a failed
  // write never leaves half a file; the file gets the permission bits
  // `mode` (less the process umask). A symbolic link is written through:
  // the file it names is replaced, unless that is no regular file (a device
  // is never replaced; the link is, then). False on failure.
  bool SaveToFile(const std::string& fileName, unsigned mode = 0644) const;

  bool ReadValue(std::string_view section, std::string_view name, std::string& value) const;
  // Line breaks in the value become blanks, so a value can never add lines
  // of its own to the file.
  void WriteValue(std::string_view section, std::string_view name, std::string_view value);
  bool SectionExists(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> ValueNames(std::string_view section) const;
  void EraseSection(std::string_view section);
  void DeleteValue(std::string_view section, std::string_view name);
  void Clear();

 private:
  // Positions by name, keyed the way the names compare, so that a file of
  // many thousands of keys reads in one pass.
  using Index = std::unordered_map<std::string, size_t>;
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
    Index index;
  };
  static std::string SectionKey(std::string_view name) { return cp1251::UpperCase(name); }
  std::string ValueKey(std::string_view name) const {
    return caseSensitive_ ? std::string(name) : cp1251::UpperCase(name);
  }
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  Section& AddSection(std::string name);
  // The value's position in `s`, or npos.
  size_t FindValue(const Section& s, std::string_view name) const;
  void AddValue(Section& s, std::string name, std::string value);

  bool caseSensitive_;
  std::vector<Section> sections_;
  Index sectionIndex_;  // section names compare without regard to case
};

// A hierarchical store over one ini file: a path splits at its last
// backslash into section and value name ("Network\Proxy"); a path without a
// section uses the section "General". A sub-storage may serve every path
// under a root element ("Configuration\..."), which is then removed from the
// path. Safe to read from several threads while one thread writes.
class TIniStorage : public TObject {
  PX_CLASS(TIniStorage, TObject)
 public:
  // Loads the file now (a missing file is an empty store, and so is one
  // that cannot be read: LoadFailure says why). A regular file that could
  // not be read is never written over: the storage keeps its changes in
  // memory until PutAside has moved the file out of the way.
  explicit TIniStorage(std::string fileName);
  // Flushes unsaved changes; a failure is lost here, so flush explicitly.
  ~TIniStorage() override;

  const std::string& FileName() const { return fileName_; }
  // The file is written readable and writable by its owner only: for a
  // file that holds a secret (the proxy password).
  void SetOwnerOnly(bool ownerOnly) { mode_ = ownerOnly ? 0600 : 0644; }

  // Hands every path whose first element is `root` to `sub` (not owned).
  void AddSubStorage(std::string root, TIniStorage* sub);
  // The storage that serves a path and the path as that storage sees it.
  TIniStorage* Resolve(std::string_view path, std::string& rest);

  // Missing values read as the default given. Integers are decimal (or
  // "$"/"0x" hexadecimal) 32-bit numbers; Booleans are "TRUE"/"YES"/"Y",
  // "FALSE"/"NO"/"N" in any case, or a number (non-zero is True). Text that
  // is none of these reads as the default.
  std::string ReadString(std::string_view path, std::string_view def) const;
  int32_t ReadInteger(std::string_view path, int32_t def) const;
  bool ReadBool(std::string_view path, bool def) const;
  void WriteString(std::string_view path, std::string_view value);
  void WriteInteger(std::string_view path, int32_t value);
  void WriteBool(std::string_view path, bool value);

  bool SectionExists(std::string_view path) const;
  void EraseSection(std::string_view path);

  // Writes the file when something changed since the last load or flush (or
  // in any case with `always`), and then flushes the sub-storages the same
  // way. False when a file could not be written.
  bool Flush(bool always = false);
  // Re-reads the file, dropping unsaved changes.
  void Reload();
  // Why the last load found the file there but could not read it; None
  // after a good load or for a missing file.
  TReadFailure LoadFailure() const;
  // Renames a regular file the last load could not read to "<name>.bad",
  // after which the storage writes its own file again. Returns the new
  // name; empty when there was no such file or it could not be renamed.
  std::string PutAside();

 private:
  void Load();
  bool ReadRaw(std::string_view path, std::string& value) const;
  const TIniStorage* ResolveConst(std::string_view path, std::string& rest) const;

  std::string fileName_;
  TIniFile ini_;
  bool modified_ = false;
  TReadFailure loadFailure_ = TReadFailure::None;
  bool keepFile_ = false;  // the file is there but was not read: not ours to replace
  unsigned mode_ = 0644;
  std::vector<std::pair<std::string, TIniStorage*>> subs_;
  mutable std::shared_mutex lock_;
};
