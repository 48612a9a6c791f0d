// The main window's life: the creation steps that bring the program up, the
// destruction steps that take it down, closing and minimising to the tray,
// the one-second timer, and the requests of later starts.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTimeEdit>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "application.h"
#include "cmdline.h"
#include "corelimits.h"
#include "cp1251.h"
#include "feedbackfrm.h"
#include "firstrunfrm.h"
#include "history.h"
#include "httpgate.h"
#include "importgate.h"
#include "inistorage.h"
#include "instanceguard.h"
#include "messagebox.h"
#include "messagefiles.h"
#include "options.h"
#include "placement.h"
#include "random.h"
#include "senddisp.h"
#include "smsfile.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "stats.h"
#include "statsupload.h"
#include "translit.h"
#include "uitext.h"
#include "update.h"
#include "updatefolder.h"
#include "weblinks.h"
#include "windowpolicy.h"

namespace {

// Runs one destruction step; its failure is told on standard error and the
// next step runs all the same.
template <class Step>
void RunDestructionStep(const char* what, Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Parlomix: %s failed: %s\n", what, cp1251::ToUtf8(e.what()).c_str());
  }
}

std::string AutosavePath() { return ProfileDir + std::string(kAutosaveFileName); }

}  // namespace

TSMSFrm::TCreateResult TSMSFrm::FormCreate() {
  // 1. One generator serves boundaries and the scripts' random functions.
  Randomize();
  // 2. Before the command line is read: the profile known at this moment.
  ClearUpdateFolder(ProfileDir);
  // 3.
  FUserDbName = "Parlomix.db3";
  FGatesDbName = "Gates.db3";
  // 4. The folder in effect from here on must take files: said plainly now
  // rather than by the database engine later.
  ProcessProfileSwitch();
  CheckProfileDir();
  // 5. The options file holds the proxy password.
  AppOptionsStorage = std::make_unique<TIniStorage>(ProfileDir + "Parlomix.ini");
  AppOptionsStorage->SetOwnerOnly(true);
  AppGlobalStorage = std::make_unique<TIniStorage>(ProfileDir + "Placemnt.ini");
  AppGlobalStorage->AddSubStorage("Configuration", AppOptionsStorage.get());
  PlacementStorage = AppGlobalStorage.get();
  // 6.
  options_ = std::make_unique<TOptions>(AppGlobalStorage.get(), "Configuration\\");
  Options = options_.get();
  // 7.
  if (!ConsultInstanceGuard()) return TCreateResult::AnotherCopy;
  // An ini file that is there but cannot be read (a pipe, a device, a huge
  // file) is told, and the start goes on with the defaults. A file that may
  // hold the user's settings is put aside first: the defaults written at
  // exit must not take its place.
  for (TIniStorage* storage : {AppOptionsStorage.get(), AppGlobalStorage.get()}) {
    TReadFailure failure = storage->LoadFailure();
    if (failure == TReadFailure::None) continue;
    std::string text = "Не удалось прочитать файл \""_cp + cp1251::FromUtf8(storage->FileName()) + "\": "_cp +
                       ReadFailureText(failure, kMaxIniFileSize) + ".";
    if (std::string aside = storage->PutAside(); !aside.empty())
      text += " Файл переименован в \""_cp + cp1251::FromUtf8(aside) + "\".";
    ShowMessageBoxText(text + " Используются настройки по умолчанию."_cp);
  }
  // 8.
  SetGateImportFailureHandler([this](const std::string& message) { ShowMessageBoxText(message); });
  if (Options->ReadBool("General\\FirstRunDone")) {
    FChainGateCheck = true;
    CheckUpdates(0, false);
    OpenDatabases();
  } else if (!RunFirstRunWizard()) {
    return TCreateResult::Ending;
  }
  // 9.
  FContact = std::make_unique<TPhoneBookItem>();
  FMedia = std::make_shared<TMMSContentData>();
  // 10.
  TTranslit::LoadTables();
  translitLoaded_ = true;
  FillTranslitTables();
  // 11.
  ApplyGateCapabilities();
  ShowMultimediaInfo();
  BuildTemplateMenu();
  // 12. Sends go through the HTTP gate runner and end in AfterSend.
  RegisterHTTPGate();
  TSendDisp::SetAfterSendHook([this](const std::string& gateName, TSMS& message, uint8_t status,
                                     const std::string& errorText) { AfterSend(gateName, message, status, errorText); });
  TSendDisp::SetHelpHook([](int context) { ShowHelpContext(context); });
  // The send window's "Сообщить об ошибке": the report opens over it.
  TSendDisp::SetFeedbackHook([this](const std::string& gateText, const std::string& phone,
                                    const std::string& errorText, TSendLogger* sendLog) {
    QWidget* sendWindow = QApplication::activeModalWidget();
    TFeedbackFrm::ShowErrorReport(sendWindow ? sendWindow : this, gateText, phone, errorText, sendLog);
  });
  instance_ = this;
  FSentCount = 0;
  UpdateSentCounter();
  Timer1Timer();
  // 13.
  ApplyOptions();
  // 14.
  ProcessImportSwitches(args_);
  // 15. Left in place, so it is imported at every start.
  if (std::string importFile = ProfileDir + "ImportGate.xml"; std::filesystem::exists(importFile))
    ImportGateFileReported(importFile, false);
  // 16.
  TStats::Cleanup();
  if (Options->ReadBool("Stats\\LogStats") && Options->ReadBool("Stats\\SendStatsToServer") && TStats::IsPostDue())
    StartStatsUpload();
  // 17. Ctrl+Enter sends: the action table gives it.
  // 18.
  if (Options->ReadBool("Message\\SaveOnExit")) RestoreAutosave();

  TFormPlacement(*this).Restore(*this);
  Timer1->start();
  try {
    startComposer_ = ComposerState();
  } catch (const std::exception&) {
    startComposer_.clear();  // unknown: any composer counts as changed
  }
  autosaveStamp_ = FileStampOf(AutosavePath());
  created_ = true;
  UpdateActions();
  return TCreateResult::Running;
}

void TSMSFrm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Timer1->stop();
  // Workers first: none may report to a window, or use a database, that is
  // going away.
  StopWorkers();
  // A start that did not finish has not restored the saved message: saving
  // the composer then would overwrite it, and the data it did not show is
  // left as it is.
  if (created_) {
    RunDestructionStep("saving the window placement", [&] { TFormPlacement(*this).Save(*this); });
    // 1.
    if (Options->ReadBool("Message\\SaveOnExit")) RunDestructionStep("saving the message", [&] { SaveAutosave(); });
    // 2.
    if (Options->ReadBool("Message\\ClearHistoryOnExit")) RunDestructionStep("clearing the history", [] { THistory::Clear(); });
  }
  // 3.
  if (translitLoaded_) RunDestructionStep("freeing the tables", [] { TTranslit::FreeTables(); });
  translitLoaded_ = false;
  // 4.
  ClearGateList();
  if (Database) RunDestructionStep("closing the database", [] { CloseDatabases(); });
  // 5, 6.
  FMedia.reset();
  // 7. Both ini files are written as the storages go.
  SetGateImportFailureHandler(nullptr);
  TSendDisp::SetFeedbackHook(nullptr);
  if (AppGlobalStorage && created_)
    RunDestructionStep("writing the options", [&] { AppGlobalStorage->Flush(); });
  if (Options == options_.get()) Options = nullptr;
  options_.reset();
  if (PlacementStorage == AppGlobalStorage.get()) PlacementStorage = nullptr;
  AppGlobalStorage.reset();
  AppOptionsStorage.reset();
  // 8.
  FContact.reset();
  if (instance_ == this) {
    instance_ = nullptr;
    TSendDisp::SetAfterSendHook(nullptr);
    TSendDisp::SetHelpHook(nullptr);
  }
}

void TSMSFrm::CommitSession() {
  if (!created_ || destroyed_) return;
  if (Options->ReadBool("Message\\SaveOnExit")) SaveAutosave();
  AppGlobalStorage->Flush();
}

void TSMSFrm::ProcessProfileSwitch() {
  if (auto folder = FindProfileSwitch(args_)) SetProfileDir(*folder);
}

bool TSMSFrm::ConsultInstanceGuard() {
  guard_ = new TInstanceGuard(TInstanceGuard::DefaultFolder(), this);
  guard_->setObjectName("AppInstances");
  connect(guard_, &TInstanceGuard::activationRequested, this, &TSMSFrm::ActivateFromOtherCopy);
  if (guard_->Claim() || !Options->ReadBool("Interface\\OneInstance")) return true;
  TActivation activation{TInstanceGuard::OwnActivationToken(), {}};
  for (const std::string& arg : args_) activation.args << QPath(arg);
  // A running copy that does not answer is not waited for.
  return !guard_->ActivateOther(activation);
}

void TSMSFrm::OpenDatabases() { ::OpenDatabases(ProfileDir + FUserDbName, ProfileDir + FGatesDbName); }

bool TSMSFrm::RunFirstRunWizard() {
  SetMemoText("Привет. Как дела? Что делаешь? ;)"_cp);
  bool ending = false;
  {
    TFirstRunFrm wizard([this] { OpenDatabases(); }, FirstRunChecks());
    wizard.exec();
    ending = wizard.ProgramEnding() || TParlomixApp::Terminating();
  }
  if (ending) return false;
  // However the wizard ended, the program goes on with its databases; when
  // they cannot be opened, this raises what the wizard met.
  if (!Database) OpenDatabases();
  Options->WriteBool("General\\FirstRunDone", true);
  return true;
}

void TSMSFrm::ProcessImportSwitches(const std::vector<std::string>& args) {
  for (const TImportSwitch& s : FindImportSwitches(args)) ImportGateFileReported(s.path, s.package);
}

void TSMSFrm::ImportGateFileReported(const std::string& path, bool package) {
  // A file that cannot be read at all is told like a gate that fails, and
  // the start goes on: a mistyped name on the command line or a broken
  // ImportGate.xml must not keep the program from starting.
  try {
    if (package)
      ImportGatePackage(path, true);
    else
      ImportGateFile(path, true);
  } catch (const EGateImportError& e) {
    ShowMessageBoxText(e.Message());
  }
}

void TSMSFrm::RestoreAutosave() {
  switch (LoadAutosave(AutosavePath(), [this](const TSMS& msg) { LoadMessage(msg); })) {
    case TAutosaveState::Missing:
    case TAutosaveState::Loaded: return;
    case TAutosaveState::Corrupt:
      ShowMessageBoxText("Сообщение, сохранённое при выходе, не удалось прочитать. Файл переименован в "_cp +
                         std::string(kAutosaveFileName) + ".bad");
      return;
  }
}

// The message on screen is saved whatever its state, with one exception:
// when nobody touched the composer and another copy on this profile has
// saved its own message since this one started (or last saved), the other
// copy's message stays.
void TSMSFrm::SaveAutosave() {
  std::optional<TFileStamp> onDisk = FileStampOf(AutosavePath());
  if (onDisk && onDisk != autosaveStamp_ && ComposerState() == startComposer_) return;
  SaveMessageFile(AutosavePath());
  autosaveStamp_ = FileStampOf(AutosavePath());
}

std::string TSMSFrm::ComposerState() const {
  std::unique_ptr<TSMS> msg = BuildMessage(true);
  QDateTime chosen(dtpDeliveryDate->date(), dtpDeliveryTime->time());
  if (!chbDeliveryTime->isChecked() || chosen <= QDateTime::currentDateTime())
    msg->SetItemNamed(MsgKey::DeliveryTime, Variant::Date(0));
  TSMSFile file;
  file.SetMessage(*msg);
  return file.SaveToBytes();
}

void TSMSFrm::StartStatsUpload() {
  int64_t cutoff = TStats::Today();
  auto thread = std::make_unique<TStatsSendThread>(Options->ReadString("Stats\\PostURL"), TStats::BuildReport(cutoff),
                                                   cutoff);
  TStatsSendThread* sender = thread.get();
  // The thread object is the context: once it is gone, so is its result.
  connect(sender, &TStatsSendThread::finished, sender, [this, sender](bool success) {
    int64_t rowsBefore = sender->Cutoff();
    statsThread_.reset();
    StatsPosted(success, rowsBefore);
  });
  statsThread_ = std::move(thread);
  statsThread_->Start();
}

void TSMSFrm::StatsPosted(bool success, int64_t cutoff) {
  if (!Database || !Options) return;
  TStats::PostDone(success, cutoff);
}

void TSMSFrm::StopWorkers() {
  statsThread_.reset();
  // A check still running stops and joins its thread; its result is dropped.
  for (QPointer<TUpdate>& update : updates_) delete update.data();
}

void TSMSFrm::Timer1Timer() {
  QDateTime chosen(dtpDeliveryDate->date(), dtpDeliveryTime->time());
  QDateTime now = QDateTime::currentDateTime();
  if (chosen >= now) return;
  dtpDeliveryDate->setDate(now.date());
  dtpDeliveryTime->setTime(now.time());
}

bool TSMSFrm::TrayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TSMSFrm::closeEvent(QCloseEvent* event) {
  bool closeToTray = Options && Options->ReadBool("Interface\\CloseToTray");
  if (CloseHidesToTray(FExiting, closeToTray, TrayAvailable())) {
    event->ignore();
    if (isVisible()) ToggleVisible();
    return;
  }
  event->accept();
  QCoreApplication::quit();
}

void TSMSFrm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  if (!MinimizeHidesToTray(Options && Options->ReadBool("Interface\\MinimizeToTray"), TrayAvailable())) return;
  // Hidden once the state change is over, and restored so that showing it
  // again brings it back as it was.
  QTimer::singleShot(0, this, [this] {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (isVisible()) ToggleVisible();
  });
}

void TSMSFrm::ToggleVisible() {
  bool alwaysInTray = Options && Options->ReadBool("Interface\\AlwaysInTray");
  if (isVisible()) {
    // Asked once more here, at the moment of hiding, whoever asks for it.
    if (!TrayAvailable()) return;
    hide();
    TrayIcon->setVisible(TrayIconVisible(false, alwaysInTray));
    trayWatch_->start();
    return;
  }
  trayWatch_->stop();
  TrayIcon->setVisible(TrayIconVisible(true, alwaysInTray));
  show();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
}

void TSMSFrm::TrayActivated(int reason) {
  bool doubleClick = reason == QSystemTrayIcon::DoubleClick;
  if (reason != QSystemTrayIcon::Trigger && !doubleClick) return;
  bool restoreOnDoubleClick = Options && Options->ReadBool("Interface\\TrayRestoreDblClick");
  if (TrayClickToggles(doubleClick, restoreOnDoubleClick)) ToggleVisible();
}

void TSMSFrm::ActivateFromOtherCopy(const QString& token, const QStringList& /*args*/) {
  if (!created_) return;
  if (!isVisible()) ToggleVisible();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  // Wayland lets a window take the focus only with the token the desktop
  // gave the start that asked for it.
  if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
  raise();
  activateWindow();
  qunsetenv("XDG_ACTIVATION_TOKEN");
  // The later start's command line is left alone: its switches were meant
  // for a start of its own, perhaps with another profile.
}

void TSMSFrm::ShowMessageBoxText(const std::string& text) {
  ShowMessageBox(isVisible() ? this : nullptr, QMessageBox::Information, "Parlomix", QStr(text));
}
