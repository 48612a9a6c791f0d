// The option store (a typed view over ini storage with every key's default
// registered in one place), the program's own option set, and the folders
// and version fixed at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datetime.h"
#include "exceptions.h"
#include "inistorage.h"
#include "object.h"
#include "variant.h"

// The registered default of one key.
class TStoredItemWrapper : public TObject {
  PX_CLASS(TStoredItemWrapper, TObject)
 public:
  Variant Value;
};

// Keys are a section and a name joined by a backslash ("Send\LogSend"); the
// storage path of a key is RootPath + key. A missing value reads as the
// key's default converted to the type asked for.
class TCustomOptions : public TObject {
  PX_CLASS(TCustomOptions, TObject)
 public:
  // A trailing backslash is added to rootPath when missing. C++ cannot call
  // a descendant's DefineDefaults from here: descendants call it themselves.
  TCustomOptions(TIniStorage* storage, std::string rootPath);
  ~TCustomOptions() override;

  virtual void DefineDefaults() {}

  TIniStorage* Storage() const { return storage_; }
  const std::string& RootPath() const { return rootPath_; }

  // Appends a default; a second registration of one key is never found.
  void AddDefault(std::string key, const Variant& value);
  // The registered default, unassigned when the key has none.
  Variant GetDefault(std::string_view key) const;

  std::string ReadString(std::string_view key) const;
  int32_t ReadInteger(std::string_view key) const;
  bool ReadBool(std::string_view key) const;
  TDateTime ReadDateTime(std::string_view key) const;
  // Writes always store the value, also when it equals the default.
  void WriteString(std::string_view key, std::string_view value);
  void WriteInteger(std::string_view key, int32_t value);
  void WriteBool(std::string_view key, bool value);
  void WriteDateTime(std::string_view key, TDateTime value);

  // Re-reads the storage's file and that of the sub-storage serving RootPath.
  void Reload();

 private:
  std::string PathOf(std::string_view key) const { return rootPath_ + std::string(key); }

  TIniStorage* storage_;  // not owned
  std::string rootPath_;
  std::vector<std::pair<std::string, std::unique_ptr<TStoredItemWrapper>>> defaults_;
};

// The program's options: every key with a default, registered in order.
class TOptions : public TCustomOptions {
  PX_CLASS(TOptions, TCustomOptions)
 public:
  explicit TOptions(TIniStorage* storage, std::string rootPath = "Configuration\\", bool callDefineDefaults = true);
  void DefineDefaults() override;
};

// The update server and the web site the default addresses point to.
inline constexpr std::string_view kUpdateServer = "http://update.parlomix.org";
inline constexpr std::string_view kWebSite = "http://parlomix.org";

struct TProgramVersion {
  std::string FileVersion;  // "major.minor.patch.build"
  int Build = 0;            // the fourth number of the version
  std::array<int, 4> FixedVersion{};  // the four numbers of the version
  int GatesVersion = 0;     // the installed gate list's version
};

// Absolute folders, each ending in "/".
extern std::string ProgramDir;
extern std::string ProfileDir;
extern std::string TranslitDir;
extern TProgramVersion ProgramVersion;
// The one option set; null until the main window creates it.
extern TOptions* Options;

// Fixes ProgramDir from the program file, reads Parlomix.ini beside it
// (section Path: Profile, TranslistData), makes the program folder current
// and prepares the profile and tables folders. Raises Exception when that
// file cannot be read; a tables folder that cannot be created is not an
// error (it lists no tables), and the profile folder is checked by
// CheckProfileDir once the command line is known.
void InitProgramPaths(const std::string& programFile);
// Expands %NAME% (APPDATA standing for the XDG data folder when the
// environment has none), accepts "\" and "/" as separators, makes the path
// absolute against the current folder (an empty one is that folder), adds
// the trailing "/" and creates the folder with its parents. Does not report
// a failure to create.
std::string PrepareFolder(const std::string& path);
// ProfileDir := PrepareFolder(path); for the command-line switch "p".
void SetProfileDir(const std::string& path);

// The profile folder in effect cannot serve. The text is the start-up
// failure's own, followed by what is wrong with which folder, in the
// user's words.
class EProfileFolderError : public Exception {
  PX_CLASS(EProfileFolderError, Exception)
 public:
  using Exception::Exception;
};
// Raises EProfileFolderError unless ProfileDir is a folder this process may
// create files in: the databases, options and logs live there, and a
// read-only one would fail later with an engine's words. Run once the
// command line has had its say (the switch "p" replaces the folder).
void CheckProfileDir();
// FileVersion and Build from the version the program was built as.
void ReadProgramVersion();
// The full path of the running program file.
std::string ProgramFileName();

// %NAME% replaced by the environment's value; unknown names stay as written.
std::string ExpandEnvironmentStrings(const std::string& text);
