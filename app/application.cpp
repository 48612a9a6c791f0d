#include "application.h"

#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "appicon.h"
#include "cp1251.h"
#include "exceptions.h"
#include "messagebox.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

// The write end of the pipe a signal handler may safely use.
int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool showingException = false;
bool terminating = false;

}  // namespace

std::string ExceptionText(const std::exception& e) {
  if (dynamic_cast<const Exception*>(&e)) return e.what();
  return cp1251::FromUtf8(e.what());
}

TParlomixApp::TParlomixApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Parlomix");
  setWindowIcon(ProgramIcon());
  // Hiding the main window to the tray, then closing a dialog, must not end
  // the program: the main window decides when it ends.
  setQuitOnLastWindowClosed(false);
  LoadTranslations();
  installEventFilter(this);
  WatchTerminationSignals();
}

TParlomixApp::~TParlomixApp() {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);
}

void TParlomixApp::LoadTranslations() {
  // Qt's own dialogs and standard buttons in Russian, whatever the locale.
  QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* name : {"qtbase_ru", "qt_ru"}) {
    auto* translator = new QTranslator(this);
    if (translator->load(name, folder))
      installTranslator(translator);
    else
      delete translator;
  }
}

void TParlomixApp::WatchTerminationSignals() {
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
  signalNotifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &byte, 1);
    terminating = true;
    emit terminationRequested();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

bool TParlomixApp::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(e);
  }
  return false;
}

bool TParlomixApp::Terminating() { return terminating; }

void TParlomixApp::ShowException(const std::exception& e) {
  std::string text = ExceptionText(e);
  std::fprintf(stderr, "%s\n", cp1251::ToUtf8(text).c_str());
  if (showingException) return;
  showingException = true;
  ShowMessageBox(activeWindow(), QMessageBox::Critical, "Parlomix", QStr(text));
  showingException = false;
}

bool TParlomixApp::eventFilter(QObject* watched, QEvent* event) {
  // F1 that no action took, on its way to a control: the help page of that
  // control's window. Handled where it arrives first, so it opens one page.
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    if (auto* widget = qobject_cast<QWidget*>(watched); widget && ShowHelpContext(HelpContextOf(widget))) return true;
  }
  return QApplication::eventFilter(watched, event);
}
