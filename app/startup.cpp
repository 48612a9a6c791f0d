#include "startup.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

#include "cp1251.h"
#include "exceptions.h"
#include "options.h"

namespace {

// A message box needs a display (or an explicitly chosen Qt platform);
// without one the text on standard error is all the user gets.
bool DisplayAvailable() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (const char* v = std::getenv(var); v && *v) return true;
  return false;
}

}  // namespace

void ShowFatalError(const std::string& text, const std::string& title) {
  std::fprintf(stderr, "%s: %s\n", cp1251::ToUtf8(title).c_str(), cp1251::ToUtf8(text).c_str());
  if (!DisplayAvailable()) return;
  int argc = 1;
  char name[] = "parlomix";
  char* argv[] = {name, nullptr};
  // The application object of the program proper does not exist yet.
  QApplication app(argc, argv);
  QMessageBox::critical(nullptr, QString::fromStdString(cp1251::ToUtf8(title)),
                        QString::fromStdString(cp1251::ToUtf8(text)));
}

bool InitSettings(int argc, char** argv) {
  (void)argc;
  std::string program = ProgramFileName();
  if (program.empty() && argv && argv[0]) program = argv[0];
  try {
    InitProgramPaths(program);
    ReadProgramVersion();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    ShowFatalError("Невозможно инициализировать настройки"_cp, "Ошибка"_cp);
    return false;
  }
  return true;
}
