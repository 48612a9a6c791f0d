// Taking over what an older version of the program left in the profile
// folder: its message count and proxy from its Parlomix.ini (recognised by
// the section SMSFrm) and its contacts from Parlomix.phb. The older files are
// moved aside, never deleted, so nothing that could not be taken over is lost.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class TCustomOptions;

// What the older version's Parlomix.ini holds for us.
struct TOldSettings {
  int totalMsgSend = 0;
  bool useProxy = false;  // UseProxy was 1
  std::string proxyHost, proxyPort;
};

// The older settings in `iniPath`; nullopt when the file is missing, cannot
// be read or has no section SMSFrm (then it is a current options file).
std::optional<TOldSettings> ReadOldSettings(const std::string& iniPath);

// One contact of the older phone book.
struct TOldContact {
  std::string name, gateName, phone;
};

// Reads one line "name;gate;operator code;subscriber number" over the
// previous line's contact: a part whose separator is missing keeps the
// previous value. The number becomes "7" + the code + the subscriber
// number, digits only (empty when they hold no digit); the gate MTSNW (any
// case) becomes MTS.
void ParseOldPhoneBookLine(std::string_view line, TOldContact& contact);

// Renames a file to path + ".bak" (".bak2", ".bak3", ... when that exists)
// and makes it readable by its owner only; the new name, empty on failure.
std::string RenameAside(const std::string& path);

struct TMigrationResult {
  bool settingsTaken = false;  // an older Parlomix.ini was found
  int contactsAdded = 0;
  int linesSkipped = 0;  // without a name or a number
  int contactsFailed = 0;  // refused by the database
  std::exception_ptr firstError;  // of the first refused contact
};

// Takes over the older version's files in `profileDir` (ending in "/"):
// Parlomix.ini only when it has the section SMSFrm: its values are read, the
// file moved aside and the options file read anew; `keepThisRun` then writes
// again what the user set in this run before the import (it may be empty),
// and the older count and proxy are written. Parlomix.phb: every contact
// whose name and number are both new is added to the phone book; a line the
// database refuses is counted and the import goes on. Raises when a file
// cannot be read or moved.
TMigrationResult MigrateOldVersion(const std::string& profileDir, TCustomOptions& options,
                                   const std::function<void()>& keepThisRun);
