// Program start-up steps that come before the main window.
#pragma once

#include <string>

// Shows a fatal error: a message box titled `title` when a display can be
// used, and always the text on standard error.
void ShowFatalError(const std::string& text, const std::string& title);

// Start-up step 1: fixes the program, profile and table folders and reads the
// program version. On failure shows "Невозможно инициализировать настройки"
// titled "Ошибка" (for a profile folder that cannot be created or written,
// followed by a line that says so) and returns false; the caller ends with
// exit code 1.
bool InitSettings(int argc, char** argv);
