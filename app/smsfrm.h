// The main window: the composer of one SMS or MMS and the program's shell
// around it (start-up and shutdown, menus and tool bars, the bookkeeping
// after a send, message files, templates, tray icon, links and help, and the
// doors to every other window).
//
// The window's code is spread over files by concern, all of this class:
//   smsfrm.cpp          the form itself: controls, actions, menus, tool bars
//   smsfrm_life.cpp     creation and destruction steps, closing, tray, timer
//   smsfrm_shell.cpp    after-send, message files, templates, options, links
//   smsfrm_composer.cpp the composer: recipient, gates, text, counter, status
//   smsfrm_media.cpp    the composer's attachment and recent items
//   smsfrm_windows.cpp  the doors to the other windows and online services
//   smsfrm_updates.cpp  the update checks and their results
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "firstrunflow.h"
#include "composer.h"
#include "files.h"
#include "gate.h"
#include "messagememo.h"
#include "messages.h"
#include "phonebook.h"
#include "recipients.h"
#include "suggestedit.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimeEdit;
class QTimer;
class QToolButton;
class TIniStorage;
class TInstanceGuard;
class TOptions;
class TStatsSendThread;
class TUpdate;
struct TUpdateResult;

class TSMSFrm : public QMainWindow {
  Q_OBJECT

 public:
  // `args` is the command line without the program name. Builds the
  // controls only; FormCreate brings the program up.
  explicit TSMSFrm(std::vector<std::string> args, QWidget* parent = nullptr);
  // Runs FormDestroy when it has not run.
  ~TSMSFrm() override;

  enum class TCreateResult { Running, AnotherCopy, Ending };
  // The creation steps, in order. AnotherCopy: a running copy took over and
  // this process ends at once with code 0; Ending: a new version's installer
  // runs, and the process ends likewise. Raises what a step raises.
  TCreateResult FormCreate();
  // The destruction steps, for what creation did; runs once. A failing step
  // is reported on standard error and never keeps a later step (closing the
  // database above all) from running.
  void FormDestroy();
  // The desktop session is ending: the message being written is saved now,
  // in case the end comes without another word.
  void CommitSession();

  // The one main window while it exists (the history window fills it).
  static TSMSFrm* Instance();

  // ---- Start-up and shutdown ----
  // Opens the user database with the gates database attached.
  void OpenDatabases();
  // The first run: the sample text, then the first-run wizard; the
  // databases are open afterwards (opened here when the wizard did not) and
  // General\FirstRunDone is set. False, with nothing set, when the program
  // is to end now.
  bool RunFirstRunWizard();
  // The update checks the first-run wizard starts; empty: the real ones.
  virtual TUpdateCheckStarter FirstRunChecks() const { return {}; }
  // Keeps the delivery date and time from lying in the past.
  void Timer1Timer();

  // ---- After a send ----
  // Books a finished send (statistics, history, counters, clearing); the
  // send dispatcher calls it when its window has closed. The caller keeps
  // and frees the message.
  void AfterSend(const std::string& gateName, TSMS& msg, uint8_t status, const std::string& errorText);
  void UpdateSentCounter();
  int SentCount() const { return FSentCount; }

  // ---- Message files ----
  // Nothing when the file does not exist; read errors are raised.
  void LoadMessageFile(const std::string& path);
  // Write errors are raised; the old file then stays as it was.
  void SaveMessageFile(const std::string& path);
  // What the file dialogs do with the chosen path: it becomes the current
  // file (".plmx" added when its name has no dot, unless a file of that
  // very name is opened) and is opened or saved.
  void OpenChosenFile(const std::string& path);
  void SaveChosenFile(const std::string& path);
  const std::string& FileName() const { return FFileName; }

  // ---- Templates ----
  void BuildTemplateMenu();
  // A template chosen in the templates menu; from the main tool bar the
  // message is renewed first.
  void TemplateMenuClick(int templateId, bool fromMainToolBar);
  // The text replaces the memo, the caret where its first "|" stood.
  void InsertTemplateText(const std::string& text);

  // ---- Options, tray ----
  // Writes both ini files and applies the options the window shows.
  void ApplyOptions();
  // The options window on page `page` (0 to 4); OK applies the options.
  void ShowOptions(int page);
  void ToggleVisible();
  // A running copy's request from a later start: come to the front; the
  // later start's command line is not acted on.
  void ActivateFromOtherCopy(const QString& token, const QStringList& args);
  // Whether the desktop shows tray icons; without one the window never
  // hides, since nothing could bring it back, and a hidden window comes
  // back when the tray goes.
  virtual bool TrayAvailable() const;

  // ---- Update checks (kind 0 program, 1 gate list) ----
  // Starts the program check when asked by hand or due, then the gate-list
  // check for kind 1, or when no program check was started. A kind whose
  // check runs already is not started again.
  void CheckUpdates(int kind, bool manual);
  // The result handler of every check this window starts: the last-check
  // dates, the chained gate-list check after the start-up program check,
  // and the answer to a check made by hand.
  void UpdateCheckDone(TUpdate& update, const TUpdateResult& result);

  // ---- The composer ----
  TGate* GetSelectedGate() const;
  // The text that is sent: the memo with the signature, transliterated when
  // asked.
  std::string GetFinalText() const;
  // Symbols the selected gate still takes (negative when over; 0 without a
  // gate).
  int64_t GetSymbolsLeft() const;
  bool IsSubjectValid() const;
  // Also keeps the reason of a failure in FMediaError.
  bool IsMultimediaValid();
  void UpdateSymbolCounter();
  // The status text of panel 0 for what the composer holds; returns whether
  // the message may be sent.
  bool UpdateReadyStatus();
  // A new message from the controls; `forFile` leaves out the placeholder
  // picture an MMS without attachment is sent with.
  std::unique_ptr<TSMS> BuildMessage(bool forFile) const;
  // Fills the controls from a message (a file's or the autosaved one). One
  // that cannot be shown (a delivery time outside the calendar) raises
  // before any control changes; what the databases raise while the
  // recipient is matched and the gates listed comes once the whole message
  // is in the controls.
  void LoadMessage(const TSMS& msg);
  // Starts a message from a history row or contact: its phone, and for a
  // history row its text and subject.
  void LoadFromItem(const TCustomPhoneItem& item);
  // Adds a text to the memo on a new line.
  void AppendText(const std::string& text);
  void MatchRecipient();
  void FillGateList();
  void ApplyGateCapabilities();
  void FormatRecipientText();
  void ClearGateList();
  void ClearMultimedia();
  void ShowMultimediaInfo();
  // Decodes the attachment for the preview: a picture by its own bytes, a
  // sound as the sound icon; sets the attachment's Type (and a picture's
  // ImageDimension).
  void ShowMultimediaPreview();
  // Makes the file the attachment when it can be read and is not too large;
  // otherwise tells the user why and keeps the attachment there was.
  bool AddMultimediaFile(const std::string& path);
  // Puts the combo's text (kind 0 signature, 1 subject) at the top of its
  // recent items.
  void RememberLastItem(int kind);
  // Forgets the recent item in row `row` of the combo's list.
  void DeleteRecentItem(QComboBox* combo, int kind, int row);
  // The memo's text with CR LF line breaks, and back.
  std::string MemoText() const;
  void SetMemoText(const std::string& text);
  // The number the recipient text names: the digits in its brackets, or of
  // the whole text.
  std::string RecipientPhone() const;

  // ---- Actions ----
  void aNewExecute();
  void aClearExecute();
  void aFileOpenExecute();
  void aFileSaveExecute();
  void aFileSaveAsExecute();
  void aSendSMSExecute();
  void aAddMultimediaExecute();
  void aExitExecute();
  void aSaveTemplateExecute();
  void aTemplateMgrExecute();
  void aHistoryExecute();
  void aContactHistoryExecute();
  void aPhoneBookExecute();
  // The phone book's choice becomes the recipient.
  void UsePhoneBookChoice(const std::string& selectedPhone);
  void aAddToPhoneBookExecute();
  void aShowGatesMngExecute();
  void aShowGateInfoExecute();
  void aOptionsExecute();
  void aHelpExecute();
  void aHomePageExecute();
  void aForumExecute();
  void aFeedbackExecute();
  void aCheckUpdateExecute();
  void aCheckUpdateGatesExecute();
  void aAboutExecute();
  // Re-evaluates which actions are enabled.
  void UpdateActions();

  // The action of that object name (aNew, aSendSMS, ...); null when none.
  QAction* Action(const char* name) const;
  QMenu* TemplateMenu() const { return pmTemplates; }
  QSystemTrayIcon* Tray() const { return TrayIcon; }
  bool Exiting() const { return FExiting; }

 protected:
  // Tells the user something in a message box.
  virtual void ShowMessageBoxText(const std::string& text);
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void CreateControls();
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void CreateTray();
  void ConnectComposer();
  void cbToSuggestData();
  void cbGateChange();
  void chbTransliterateClick(bool checked);
  void MessageTypeChange();
  // The preview as the group's state shows it.
  void PaintMultimediaPreview();
  // FEmptyImage, rewound.
  std::shared_ptr<TMemoryStream> EmptyImage() const;
  // What the selected gate allows; null without one.
  const TGateLimits* SelectedLimits() const;
  // The bold count beside the gate list, shown only for more than one gate.
  void ShowGatesCount();
  void FillTranslitTables();
  void ProcessProfileSwitch();
  bool ConsultInstanceGuard();
  void ProcessImportSwitches(const std::vector<std::string>& args);
  void ImportGateFileReported(const std::string& path, bool package);
  void RestoreAutosave();
  // Saves the composer as the autosave, unless it is as it was when the
  // start ended and a saved message is there: another copy on the profile
  // may have saved its own since, which this one must not replace.
  void SaveAutosave();
  // The composer as a message file holds it, less what changes without
  // the user: the delivery time while it is not asked for or has come.
  std::string ComposerState() const;
  void StartStatsUpload();
  void StatsPosted(bool success, int64_t cutoff);
  void StopWorkers();
  // Starts a check of that kind unless one runs; true when one runs now.
  bool StartUpdateCheck(int kind);
  // A check action is enabled while no check of its kind runs.
  void UpdateCheckActions();
  void TrayActivated(int reason);
  void FillRecentList(QComboBox* combo, int itemClass);
  // A message entry as text or Boolean; what does not convert reads as
  // empty or false.
  static std::string EntryText(const TPropList& list, std::string_view key);
  static TSMSFrm* instance_;

 public:
  // ---- Controls, named as the window's description names them ----
  TSuggestEdit* cbTo = nullptr;
  QPushButton* btTo = nullptr;
  QComboBox* cbGate = nullptr;
  QLabel* lbGatesCnt = nullptr;
  QToolButton* sbGateInfo = nullptr;
  QComboBox* cbSubject = nullptr;
  QLabel* lbSubject = nullptr;
  QComboBox* cbSignature = nullptr;
  TMessageMemo* mMsg = nullptr;
  QLabel* lbSymCount = nullptr;
  QCheckBox* chbTransliterate = nullptr;
  QComboBox* cbTranslTable = nullptr;
  QCheckBox* chbDeliveryTime = nullptr;
  QDateEdit* dtpDeliveryDate = nullptr;
  QTimeEdit* dtpDeliveryTime = nullptr;
  QCheckBox* chbFlash = nullptr;
  QGroupBox* gbMM = nullptr;
  QLabel* imgData = nullptr;
  QLabel* lbMMDim = nullptr;
  QLabel* lbMMSize = nullptr;
  QPushButton* btSend = nullptr;
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QSystemTrayIcon* TrayIcon = nullptr;
  QMenu* pmTray = nullptr;
  QMenu* pmTemplates = nullptr;
  QMenu* pmTemplatesMsg = nullptr;  // the same entries, for the message tool bar
  QTimer* Timer1 = nullptr;

  // ---- Fields ----
  std::shared_ptr<TMMSContentData> FMedia;
  std::unique_ptr<QImage> FAudioIcon;           // made on first use
  mutable std::shared_ptr<TMemoryStream> FEmptyImage;  // the 1x1 placeholder, made on first use
  int32_t FSentCount = 0;
  bool FChainGateCheck = false;
  std::unique_ptr<TPhoneBookItem> FContact;
  std::string FFileName;
  bool FSignatureByUser = false;
  bool FUserTranslit = false;
  bool FContactTranslit = false;
  std::string FMediaError;
  bool FExiting = false;
  bool FManualUpdateCheck = false;
  std::string FUserDbName;
  std::string FGatesDbName;

 private:
  std::vector<std::string> args_;
  std::unique_ptr<TIniStorage> AppGlobalStorage;
  std::unique_ptr<TIniStorage> AppOptionsStorage;
  std::unique_ptr<TOptions> options_;
  TInstanceGuard* guard_ = nullptr;
  QTimer* trayWatch_ = nullptr;  // runs while the window is hidden to the tray
  std::unique_ptr<TStatsSendThread> statsThread_;
  QPointer<TUpdate> updates_[2];  // the running check of each kind
  std::vector<std::unique_ptr<TGate>> gates_;  // the objects of cbGate's entries
  std::vector<TGateLimits> gateLimits_;       // what each of them allows
  TRecipientSuggestions suggestions_;
  QImage previewImage_;  // the attachment as decoded, before its look
  QActionGroup* messageType_ = nullptr;
  bool translitLoaded_ = false;
  bool created_ = false;    // every creation step ran: the composer holds the restored message
  std::string startComposer_;  // ComposerState when the start ended; empty when unknown
  // The autosave file as this copy found it at the end of its start or left
  // it at its last save; nullopt when there was none.
  std::optional<TFileStamp> autosaveStamp_;
  bool destroyed_ = false;  // FormDestroy ran
};
