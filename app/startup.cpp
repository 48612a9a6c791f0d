#include "startup.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "cmdline.h"
#include "cp1251.h"
#include "exceptions.h"
#include "messagebox.h"
#include "options.h"

namespace {

// A message box needs a display (or an explicitly chosen Qt platform);
// without one the text on standard error is all the user gets. A platform
// that shows nothing gets no box either: nobody could close it, and the
// program would never end.
bool DisplayAvailable() {
  if (const char* platform = std::getenv("QT_QPA_PLATFORM"))
    if (std::string_view(platform) == "offscreen" || std::string_view(platform) == "minimal") return false;
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* v = std::getenv(var); v && *v) return true;
  return false;
}

}  // namespace

void ShowFatalError(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", cp1251::ToUtf8(title).c_str(), cp1251::ToUtf8(text).c_str());
  if (!DisplayAvailable()) return;
  QString qtitle = QString::fromStdString(cp1251::ToUtf8(title)), qtext = QString::fromStdString(cp1251::ToUtf8(text));
  if (qApp) {
    ShowMessageBox(nullptr, QMessageBox::Critical, qtitle, qtext);
    return;
  }
  // Before the application object of the program proper exists.
  int argc = 1;
  char name[] = "parlomix";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ShowMessageBox(nullptr, QMessageBox::Critical, qtitle, qtext);
}

bool InitSettings(int argc, char** argv) {
  std::string program = ProgramFileName();
  if (program.empty() && argv && argv[0]) program = argv[0];
  // A profile named on the command line is checked by the main window once
  // it has taken that folder; without one (also Qt's own options, not yet
  // removed here, may look like one) the folder is known now, and is told
  // before the desktop is needed.
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  try {
    InitProgramPaths(program);
    if (!FindProfileSwitch(args)) CheckProfileDir();
    ReadProgramVersion();
  } catch (const EProfileFolderError& e) {
    ShowFatalError(e.Message(), "Ошибка"_cp);
    return false;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    ShowFatalError("Невозможно инициализировать настройки"_cp, "Ошибка"_cp);
    return false;
  }
  return true;
}
