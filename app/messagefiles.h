// Message files as the main window handles them: the name rule of its file
// dialogs and the message autosaved between runs.
#pragma once

#include <string>
#include <string_view>

class TSMSFile;

// The file dialogs' filter and default extension.
std::string MessageFileFilter();
inline constexpr std::string_view kMessageFileExtension = "plmx";
// The autosaved message in the profile folder.
inline constexpr std::string_view kAutosaveFileName = "autosave.plmx";

// `path` with ".plmx" appended when the file name itself has no "." (a dot
// in a folder name does not count).
std::string WithMessageFileExtension(const std::string& path);

enum class TAutosaveState { Missing, Loaded, Corrupt };

// Reads the autosaved message into `file`. A file that cannot be read as a
// message (unreadable, too large, not well-formed) is renamed to
// "<file>.bad", replacing an older one, so that it stops no later start;
// the result is then Corrupt and `file` keeps what it held.
TAutosaveState LoadAutosave(const std::string& fileName, TSMSFile& file);
