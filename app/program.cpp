#include "program.h"

#include <QSessionManager>
#include <memory>

#include "application.h"
#include "cp1251.h"
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
    QCoreApplication::exit(0);
  });
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
  frm.reset();
  return 0;
}
