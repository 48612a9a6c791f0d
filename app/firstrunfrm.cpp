#include "firstrunfrm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "application.h"
#include "cp1251.h"
#include "newcontrol.h"
#include "oldversion.h"
#include "options.h"
#include "optionsfrm.h"
#include "placement.h"
#include "uitext.h"
#include "update.h"

namespace {

void ShowError(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    TParlomixApp::ShowException(e);
  }
}

}  // namespace

TFirstRunFrm::TFirstRunFrm(std::function<void()> openDatabases, TUpdateCheckStarter startCheck, QWidget* parent)
    : QDialog(parent),
      openDatabases_(std::move(openDatabases)),
      startCheck_(std::move(startCheck)),
      optionSavesBefore_(TOptionsFrm::SaveCount()) {
  if (!startCheck_) {
    startCheck_ = [this](int kind, TUpdateCheckReport report) {
      auto* update = new TUpdate(static_cast<TUpdateKind>(kind), this);
      update->OnResult = [report](TUpdate&, const TUpdateResult& result) { report(result.Kind, result.Code); };
      update->Check(true);
    };
  }
  setObjectName("FirstRunFrm");
  setWindowTitle(QStr("Первый запуск"_cp));
  // No caption buttons: the wizard ends through its own steps.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  lbStatus = NewControl<QLabel>(this, "lbStatus");
  lbStatus->setTextFormat(Qt::PlainText);
  lbStatus->setAlignment(Qt::AlignCenter);
  lbStatus->setMinimumSize(420, 48);
  btConfigProxy = NewControl<QPushButton>(this, "btConfigProxy", "Настройка прокси"_cp);
  btRetry = NewControl<QPushButton>(this, "btRetry", "Повтроить"_cp);
  btSkip = NewControl<QPushButton>(this, "btSkip", "Пропустить"_cp);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* button : {btConfigProxy, btRetry, btSkip}) {
    button->setAutoDefault(false);
    // The window keeps its size whether the buttons show or not.
    QSizePolicy policy = button->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    button->setSizePolicy(policy);
    button->hide();
    buttons->addWidget(button);
  }
  buttons->addStretch();
  connect(btConfigProxy, &QPushButton::clicked, this, &TFirstRunFrm::btConfigProxyClick);
  connect(btRetry, &QPushButton::clicked, this, &TFirstRunFrm::btRetryClick);
  connect(btSkip, &QPushButton::clicked, this, &TFirstRunFrm::btSkipClick);

  auto* layout = new QVBoxLayout(this);
  layout->addStretch();
  layout->addWidget(lbStatus);
  layout->addStretch();
  layout->addLayout(buttons);
  layout->setContentsMargins(16, 12, 16, 16);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

// The wizard comes before the main window: it opens centred on the screen,
// and nothing of its place is kept.
void TFirstRunFrm::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) CentreWindow(*this, nullptr);
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // The first check starts once the window is there to show it.
  QTimer::singleShot(0, this, [this] { Perform(flow_.Start()); });
}

void TFirstRunFrm::closeEvent(QCloseEvent* event) {
  if (finishing_) {
    QDialog::closeEvent(event);
    return;
  }
  event->ignore();
  Perform(flow_.CloseRequest());
}

void TFirstRunFrm::reject() {
  if (finishing_) return;
  Perform(flow_.CloseRequest());
}

void TFirstRunFrm::btRetryClick() { Perform(flow_.Retry()); }

void TFirstRunFrm::btSkipClick() { Perform(flow_.Skip()); }

void TFirstRunFrm::btConfigProxyClick() {
  TOptionsFrm options(this);
  options.SelectPage(TOptionsFrm::pgProxy);
  options.exec();
}

void TFirstRunFrm::Perform(const TFirstRunActions& actions) {
  if (finishing_) return;
  if (actions.status) lbStatus->setText(QStr(*actions.status));
  if (actions.showButtons)
    for (QPushButton* button : {btConfigProxy, btRetry, btSkip}) button->setVisible(*actions.showButtons);
  if (actions.openDatabases) {
    try {
      openDatabases_();
    } catch (...) {
      // Nothing can go on without the databases; the main window tries
      // again and reports the failure.
      databaseError_ = std::current_exception();
      Finish();
      return;
    }
  }
  if (actions.runStep) StartCheck(*actions.runStep, actions.checkId);
  if (actions.migrate) MigrateOldVersion();
  programEnding_ = programEnding_ || actions.programEnding;
  if (actions.close) Finish();
}

void TFirstRunFrm::StartCheck(int kind, int checkId) {
  QPointer<TFirstRunFrm> self(this);
  startCheck_(kind, [self, checkId](int resultKind, int code) {
    // Always handled from the event loop, never inside the call that
    // started the check; dropped once the wizard is gone.
    if (!self) return;
    QMetaObject::invokeMethod(
        self.data(), [self, checkId, resultKind, code] { self->CheckResult(checkId, resultKind, code); },
        Qt::QueuedConnection);
  });
}

void TFirstRunFrm::CheckResult(int checkId, int kind, int code) { Perform(flow_.Result(checkId, kind, code)); }

void TFirstRunFrm::MigrateOldVersion() {
  lbStatus->setText(QStr("Обновление с предыдущей версии..."_cp));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  std::exception_ptr error;
  try {
    TMigrationResult result = ::MigrateOldVersion(ProfileDir, *Options, [this] {
      if (TOptionsFrm::SaveCount() > optionSavesBefore_) SaveOptionsState(TOptionsFrm::LastSavedState(), *Options);
    });
    error = result.firstError;
  } catch (...) {
    error = std::current_exception();
  }
  if (error) ShowError(error);
}

void TFirstRunFrm::Finish() {
  if (finishing_) return;
  finishing_ = true;
  QDialog::done(QDialog::Accepted);
}
