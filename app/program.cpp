#include "program.h"

#include <QSessionManager>
#include <memory>

#include "application.h"
#include "cp1251.h"
#include "httpsend.h"
#include "scopeexit.h"
#include "smsfrm.h"
#include "startup.h"

int RunProgram(TParlomixApp& app, std::vector<std::string> args) {
  std::unique_ptr<TSMSFrm> frm;
  // SIGTERM ends the program as the exit command does, so the message being
  // written is saved; also while the start waits for its user (the
  // first-run wizard, a message box): every running event loop ends, and
  // the start stops where it stands.
  QObject scope;
  QObject::connect(&app, &TParlomixApp::terminationRequested, &scope, [&frm] {
    if (frm) frm->FExiting = true;
    SetHTTPQuitting(true);
    QCoreApplication::exit(0);
  });
  // However the program leaves (the exit command, a closed window, the end
  // of the session, a start that stops), what is still talking to a server
  // gives up before the window that waits for its thread goes: a step
  // thread, an update, the statistics or the feedback must not hold the
  // program on a slow or silent server.
  TScopeExit quitting([] { SetHTTPQuitting(true); });
  try {
    frm = std::make_unique<TSMSFrm>(std::move(args));
    if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return 0;
    if (TParlomixApp::Terminating()) return 0;
    frm->show();
  } catch (const std::exception& e) {
    ShowFatalError(ExceptionText(e), "Ошибка"_cp);
    return 1;
  }
  // The end of the session saves the message at once.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, frm.get(), [&frm](QSessionManager&) { frm->CommitSession(); });
  app.exec();
  return 0;
}
