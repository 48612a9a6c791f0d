// The main window around the composer: the bookkeeping after a send, the
// sent counter, message files, the templates menu, the options refresh and
// the web links.
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <exception>
#include <filesystem>

#include "aftersend.h"
#include "cp1251.h"
#include "history.h"
#include "inistorage.h"
#include "instanceguard.h"
#include "lastitems.h"
#include "messagefiles.h"
#include "objectlist.h"
#include "options.h"
#include "smsfile.h"
#include "smsfrm.h"
#include "stats.h"
#include "templates.h"
#include "templatetext.h"
#include "uitext.h"
#include "weblinks.h"

void TSMSFrm::AfterSend(const std::string& gateName, TSMS& msg, uint8_t status, const std::string& errorText) {
  (void)errorText;  // the send window has shown it
  TAfterSendPlan plan = PlanAfterSend(status, TAfterSendOptions::Read(*Options));
  if (plan.logStats) TStats::Log(gateName, plan.statsError);
  if (!plan.done) return;
  // A history row that cannot be written (a full disk) stops nothing: the
  // message went out, and a composer left as it was would invite a second,
  // paid send. The failure is raised, and so shown, once the rest is done.
  std::exception_ptr historyFailure;
  if (plan.addHistory) {
    THistoryItem item;
    item.Message = EntryText(msg, MsgKey::Message);
    item.Phone = EntryText(msg, MsgKey::Phone);
    item.GateName = gateName;
    if (msg.IsMMS()) item.Subject = EntryText(msg, MsgKey::Subject_Orig);
    item.Signature = EntryText(msg, MsgKey::Signature);
    item.DeliveryStatus = plan.deliveryStatus;
    try {
      THistory::Add(item);
    } catch (...) {
      historyFailure = std::current_exception();
    }
  }
  FSentCount = CountedSend(FSentCount);
  Options->WriteInteger("Message\\TotalMsgSent", CountedSend(Options->ReadInteger("Message\\TotalMsgSent")));
  UpdateSentCounter();
  TClearKind clear = historyFailure ? plan.clearWithoutHistory : plan.clear;
  if (clear == TClearKind::Text) aClearExecute();
  if (clear == TClearKind::All) aNewExecute();
  if (historyFailure) std::rethrow_exception(historyFailure);
}

void TSMSFrm::UpdateSentCounter() {
  int total = Options ? Options->ReadInteger("Message\\TotalMsgSent") : 0;
  StatusPanel1->setText(QStr("Отправлено сообщений %1, всего %2"_cp).arg(FSentCount).arg(total));
}

// ---- Message files ----

void TSMSFrm::LoadMessageFile(const std::string& path) {
  if (!std::filesystem::exists(path)) return;
  TSMSFile file;
  file.LoadFromFile(path);
  LoadMessage(file.Message);
}

void TSMSFrm::SaveMessageFile(const std::string& path) {
  TSMSFile file;
  file.SetMessage(*BuildMessage(true));
  file.SaveToFile(path);
}

void TSMSFrm::OpenChosenFile(const std::string& path) {
  // The file the user picked is opened even when its name has no dot: the
  // extension only completes a name typed without one.
  std::error_code ec;
  FFileName = std::filesystem::is_regular_file(path, ec) ? path : WithMessageFileExtension(path);
  LoadMessageFile(FFileName);
}

void TSMSFrm::SaveChosenFile(const std::string& path) {
  FFileName = WithMessageFileExtension(path);
  SaveMessageFile(FFileName);
}

void TSMSFrm::aFileOpenExecute() {
  QString chosen = QFileDialog::getOpenFileName(this, QString(), QPath(FFileName), DialogFilter(MessageFileFilter()));
  if (!chosen.isEmpty()) OpenChosenFile(PathStr(chosen));
}

void TSMSFrm::aFileSaveAsExecute() {
  QFileDialog dialog(this, QString(), QPath(FFileName), DialogFilter(MessageFileFilter()));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromUtf8(kMessageFileExtension.data(), kMessageFileExtension.size()));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  SaveChosenFile(PathStr(dialog.selectedFiles().front()));
}

void TSMSFrm::aFileSaveExecute() {
  if (FFileName.empty())
    aFileSaveAsExecute();
  else
    SaveMessageFile(FFileName);
}

// ---- Templates ----

void TSMSFrm::BuildTemplateMenu() {
  TTemplateItemList list;
  TTemplateList::Load(list);
  for (auto [menu, fromMainToolBar] : {std::pair{pmTemplates, true}, std::pair{pmTemplatesMsg, false}}) {
    menu->clear();
    for (int i = 0; i < list.Count(); ++i) {
      const TTemplate* t = list[i];
      int id = t->ID;
      QAction* entry = menu->addAction(QStr(t->Name));
      entry->setData(id);
      connect(entry, &QAction::triggered, this, [this, id, fromMain = fromMainToolBar] { TemplateMenuClick(id, fromMain); });
    }
    menu->addSeparator();
    menu->addAction(Action("aTemplateMgr"));
  }
}

void TSMSFrm::TemplateMenuClick(int templateId, bool fromMainToolBar) {
  if (fromMainToolBar) aNewExecute();
  InsertTemplateText(TTemplateList::GetText(templateId));
}

void TSMSFrm::InsertTemplateText(const std::string& text) {
  auto insertion = PrepareTemplateText(text);
  if (!insertion) return;
  SetMemoText(insertion->text);
  // The memo keeps one character per line break where the text has CR LF.
  QTextCursor cursor = mMsg->textCursor();
  cursor.setPosition(static_cast<int>(QStr(insertion->text.substr(0, insertion->caret)).remove('\r').size()));
  mMsg->setTextCursor(cursor);
  mMsg->setFocus();
}

void TSMSFrm::aTemplateMgrExecute() { InsertTemplateText(TTemplateList::ShowManager("")); }

void TSMSFrm::aSaveTemplateExecute() { TTemplateList::ShowManager(MemoText()); }

// ---- Options ----

void TSMSFrm::FillRecentList(QComboBox* combo, int itemClass) {
  QString text = combo->currentText();
  std::vector<std::string> items;
  TLastItems::Load(itemClass, items);
  combo->clear();
  for (const std::string& item : items) combo->addItem(QStr(item));
  combo->setEditText(text);
}

void TSMSFrm::ApplyOptions() {
  // 1.
  AppGlobalStorage->Flush(true);
  // 2.
  FormatRecipientText();
  // 3.
  TLastItems::SetMaxCount(TLastItems::kSignature, Options->ReadInteger("Message\\MaxSignaturesCount"));
  TLastItems::SetMaxCount(TLastItems::kSubject, Options->ReadInteger("Message\\MaxSubjectsCount"));
  // 4.
  FillRecentList(cbSignature, TLastItems::kSignature);
  FillRecentList(cbSubject, TLastItems::kSubject);
  // 5.
  TrayIcon->setVisible(Options->ReadBool("Interface\\AlwaysInTray"));
  // 6. A copy that finds another running when the option is turned on
  // keeps running: ending it here would drop the message being written.
  // The next start joins whichever copy holds the guard.
  if (Options->ReadBool("Interface\\OneInstance")) guard_->Claim();
  // The signature delimiter and the signature may have changed.
  UpdateActions();
}

// ---- Links and help ----

void TSMSFrm::aHelpExecute() { OpenURL(Options->ReadString("General\\HelpURL")); }

void TSMSFrm::aHomePageExecute() { OpenURL(Options->ReadString("General\\HomeURL")); }

void TSMSFrm::aForumExecute() { OpenURL(Options->ReadString("General\\ForumURL")); }

void TSMSFrm::aExitExecute() {
  FExiting = true;
  close();
}
