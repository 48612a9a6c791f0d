#include "program.h"

#include <QSessionManager>
#include <memory>

#include "application.h"
#include "cp1251.h"
#include "smsfrm.h"
#include "startup.h"

int RunProgram(TParlomixApp& app, std::vector<std::string> args) {
  std::unique_ptr<TSMSFrm> frm;
  try {
    frm = std::make_unique<TSMSFrm>(std::move(args));
    if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return 0;
    frm->show();
  } catch (const std::exception& e) {
    ShowFatalError(ExceptionText(e), "Ошибка"_cp);
    return 1;
  }
  // SIGTERM and the end of the session end the program as the exit
  // command does, so the message being written is saved.
  QObject::connect(&app, &TParlomixApp::terminationRequested, frm.get(), [&frm] {
    frm->FExiting = true;
    QCoreApplication::quit();
  });
  QObject::connect(&app, &QGuiApplication::commitDataRequest, frm.get(), [&frm](QSessionManager&) { frm->CommitSession(); });
  app.exec();
  frm.reset();
  return 0;
}
