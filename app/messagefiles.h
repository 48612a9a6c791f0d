// Message files as the main window handles them: the name rule of its file
// dialogs and the message autosaved between runs.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class TSMS;

// The file dialogs' filter and default extension.
std::string MessageFileFilter();
inline constexpr std::string_view kMessageFileExtension = "plmx";
// The autosaved message in the profile folder.
inline constexpr std::string_view kAutosaveFileName = "autosave.plmx";

// `path` with ".plmx" appended when it holds no "." anywhere: a dot in a
// folder name counts as well, so a file inside such a folder keeps the bare
// name it was given.
std::string WithMessageFileExtension(const std::string& path);

enum class TAutosaveState { Missing, Loaded, Corrupt };

// Reads the autosaved message and hands it to `use`, which makes it the
// composer's. Whatever fails on the way, in the reading (unreadable, too
// large, not well-formed, a text too long) or in `use`, renames the file to
// "<file>.bad", replacing an older one, so that it stops no later start; the
// result is then Corrupt.
TAutosaveState LoadAutosave(const std::string& fileName, const std::function<void(const TSMS&)>& use);
