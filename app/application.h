// The application object: Russian texts in Qt's own dialogs, exceptions
// that reach the event loop shown instead of ending the program, F1 as
// context help in every window, and the end of the session or a SIGTERM
// turned into an orderly exit.
#pragma once

#include <QApplication>
#include <exception>
#include <string>

class QSocketNotifier;

// The text of an exception in Windows-1251: the system's own carry it
// already, others (the standard library's) carry UTF-8 or ASCII.
std::string ExceptionText(const std::exception& e);

class TParlomixApp : public QApplication {
  Q_OBJECT

 public:
  TParlomixApp(int& argc, char** argv);
  ~TParlomixApp() override;

  // Delivers the event; an exception thrown by its handler is shown in a
  // message box and the program carries on.
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows an exception's text in a message box (on standard error only
  // while another such box is open, so a failing repaint cannot stack them).
  static void ShowException(const std::exception& e);

  // True once the program has been asked to end (SIGTERM, SIGINT, SIGHUP):
  // a start still under way stops where it stands.
  static bool Terminating();

 signals:
  // SIGTERM, SIGINT or SIGHUP arrived: the program is asked to end.
  void terminationRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LoadTranslations();
  void WatchTerminationSignals();

  QSocketNotifier* signalNotifier_ = nullptr;
};
