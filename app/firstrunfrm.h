// "Первый запуск": the wizard of a program's first start. It checks for a
// newer program, opens the databases through the main window, checks for a
// newer gate list and takes over an older version's settings and contacts;
// after a failed check the user may set up the proxy, retry or skip. Its
// steps are TFirstRunFlow's; this window only carries them out.
#pragma once

#include <QDialog>
#include <exception>
#include <functional>

#include "firstrunflow.h"

class QLabel;
class QPushButton;

class TFirstRunFrm : public QDialog {
  Q_OBJECT

 public:
  // `openDatabases` opens the user and gates databases (the main window's
  // own routine); `startCheck` starts the update checks, by default
  // interactive TUpdate checks that end with the wizard.
  explicit TFirstRunFrm(std::function<void()> openDatabases, TUpdateCheckStarter startCheck = {},
                        QWidget* parent = nullptr);

  // "Повтроить", "Пропустить", "Настройка прокси".
  void btRetryClick();
  void btSkipClick();
  void btConfigProxyClick();
  // Takes over the older version's files, then the wizard closes.
  void MigrateOldVersion();

  const TFirstRunFlow& Flow() const { return flow_; }
  // The new program's installer runs: the program is to end now.
  bool ProgramEnding() const { return programEnding_; }
  // Opening the databases failed; the wizard closed without them.
  std::exception_ptr DatabaseError() const { return databaseError_; }

  QLabel* lbStatus = nullptr;
  QPushButton* btConfigProxy = nullptr;
  QPushButton* btRetry = nullptr;
  QPushButton* btSkip = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape: a close request like any other.
  void reject() override;

 private:
  void Perform(const TFirstRunActions& actions);
  void StartCheck(int kind, int checkId);
  void CheckResult(int checkId, int kind, int code);
  void Finish();

  std::function<void()> openDatabases_;
  TUpdateCheckStarter startCheck_;
  TFirstRunFlow flow_;
  // The options window's saves before the wizard began; those after it are
  // written again over the options the older version's import reads anew.
  int optionSavesBefore_;
  std::exception_ptr databaseError_;
  bool programEnding_ = false;
  bool finishing_ = false;
  bool started_ = false;
};
