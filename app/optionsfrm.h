// "Настройки": the options of the global option set on five pages. The
// controls are loaded when the window is made and written back by "OK" only;
// what each control stands for, and when it is enabled, is optionsdata's.
#pragma once

#include <QDialog>

#include "optionsdata.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QTabWidget;

class TOptionsFrm : public QDialog {
  Q_OBJECT

 public:
  enum TPage { pgGeneral = 0, pgBehaviour = 1, pgProxy = 2, pgUpdate = 3, pgStats = 4 };

  // Loads every control from the global options; page 0 is shown.
  explicit TOptionsFrm(QWidget* parent = nullptr);

  // Shows page `index` (0 to 4); any other index changes nothing.
  void SelectPage(int index);

  // The controls' states, and back (the dependent controls follow).
  TOptionsState State() const;
  void SetState(const TOptionsState& state);
  // What "OK" wrote to the options; empty until then.
  const TOptionsState& SavedState() const { return saved_; }
  // How often "OK" has saved the options in this run, and what the last
  // one saved: the first-run wizard writes it again over the options file
  // that the import of an older version reads anew.
  static int SaveCount();
  static const TOptionsState& LastSavedState();

  // "OK": every control to the options, then the window closes with OK.
  void btOkClick();
  // "Очистить сейчас": every history row goes, after a question.
  void btClearHistoryClick();
  // Enables the controls that depend on a check box or radio button.
  void UpdateDependencies();

  QTabWidget* pgOptions = nullptr;
  QWidget* tsGeneral = nullptr;
  QWidget* tsBehaviour = nullptr;
  QWidget* tsProxy = nullptr;
  QWidget* tsUpdate = nullptr;
  QWidget* tsStats = nullptr;
  QCheckBox* chbMinimizeToTray = nullptr;
  QCheckBox* chbCloseToTray = nullptr;
  QCheckBox* chbAlwaysInTray = nullptr;
  QCheckBox* chbRestoreDblClick = nullptr;
  QLineEdit* edSignature = nullptr;
  QLineEdit* edSignatureDivider = nullptr;
  QLabel* lbDividerHelp = nullptr;
  QCheckBox* chbFormatPhones = nullptr;
  QCheckBox* chbOneInstance = nullptr;
  QCheckBox* chbSaveAfterExit = nullptr;
  QCheckBox* chbClearAfterSend = nullptr;
  QCheckBox* chbClearOnlyText = nullptr;
  QCheckBox* chbSaveHistory = nullptr;
  QCheckBox* chbClearOnExit = nullptr;
  QCheckBox* chbLogSend = nullptr;
  QCheckBox* chbCheckDelivery = nullptr;
  QCheckBox* chbAutoClose = nullptr;
  QPushButton* btClearHistory = nullptr;
  QRadioButton* rbDirect = nullptr;
  QRadioButton* rbIE = nullptr;
  QRadioButton* rbProxy = nullptr;
  QGroupBox* gbProxy = nullptr;
  QComboBox* cbProxyType = nullptr;
  QLineEdit* edHost = nullptr;
  QComboBox* edPort = nullptr;
  QCheckBox* chbAuth = nullptr;
  QLineEdit* edName = nullptr;
  QLineEdit* edPass = nullptr;
  QCheckBox* chbAutoCheckUpdate = nullptr;
  QComboBox* cbUpdatePeriod = nullptr;
  QCheckBox* chbAutoUpdateGates = nullptr;
  QComboBox* cbUpdateGatesPeriod = nullptr;
  QCheckBox* chbStats = nullptr;
  QCheckBox* chbSendStatsToServer = nullptr;
  QLabel* lbStatsNote = nullptr;
  QPushButton* btOk = nullptr;
  QPushButton* btCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* CreateGeneralPage();
  QWidget* CreateBehaviourPage();
  QWidget* CreateProxyPage();
  QWidget* CreateUpdatePage();
  QWidget* CreateStatsPage();
  QComboBox* NewPeriodList(const char* name);

  TOptionsState saved_;
};
