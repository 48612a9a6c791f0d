// The main window's doors to the other windows, the send and the online
// services. Each window is created here, shown modally and freed on the
// spot; a door whose window does not exist yet opens nothing.
#include <QComboBox>
#include <QPlainTextEdit>

#include "aboutfrm.h"
#include "historyfrm.h"
#include "phonebookfrm.h"
#include "smsfrm.h"
#include "uitext.h"

// ---- The send (send dispatcher) ----

void TSMSFrm::aSendSMSExecute() {
  // The send dispatcher takes the message here: the signature (and for an
  // MMS the subject) go to the recent items, BuildMessage(false) is handed
  // over with the selected gate's Name, and the dispatcher calls AfterSend
  // when its window closes.
}

// ---- Data windows ----

void TSMSFrm::aHistoryExecute() {
  THistoryFrm frm(this);
  frm.exec();
}

void TSMSFrm::aContactHistoryExecute() {
  THistoryFrm frm(this);
  frm.FilterPhone = RecipientPhone();
  frm.exec();
}

void TSMSFrm::aPhoneBookExecute() {
  TPhoneBookFrm frm(this);
  if (frm.exec() == QDialog::Accepted && frm.GetSelectedItem()) UsePhoneBookChoice(frm.SelectedPhone);
}

void TSMSFrm::UsePhoneBookChoice(const std::string& selectedPhone) {
  cbTo->setEditText(QStr(selectedPhone));
  FillGateList();
  FormatRecipientText();
  mMsg->setFocus();
  mMsg->moveCursor(QTextCursor::End);
}

void TSMSFrm::aAddToPhoneBookExecute() { TPhoneBook::AddFromText(CpStr(cbTo->currentText())); }

// ---- Gate manager, options, about, feedback ----

void TSMSFrm::aShowGatesMngExecute() {
  // The gate manager window opens here. The composer's gate list is not
  // refilled afterwards.
}

void TSMSFrm::aShowGateInfoExecute() {
  TGate* gate = GetSelectedGate();
  if (!gate) return;
  // The gate manager window opens here, positioned on gate->Name.
}

void TSMSFrm::aOptionsExecute() {
  // The options window opens here; when it closes with OK, ApplyOptions runs.
}

void TSMSFrm::aAboutExecute() {
  TAboutFrm frm(this);
  frm.exec();
}

void TSMSFrm::aFeedbackExecute() {
  // The feedback window opens here.
}

// ---- Update checks ----

void TSMSFrm::CheckUpdates(int kind, bool manual) {
  // The program check (kind 0) and the gate-list check (kind 1) start here
  // when due or asked for by hand, and report to their result handler.
  (void)kind;
  (void)manual;
}

void TSMSFrm::aCheckUpdateExecute() {
  FChainGateCheck = false;
  FManualUpdateCheck = true;
  CheckUpdates(0, true);
}

void TSMSFrm::aCheckUpdateGatesExecute() {
  FChainGateCheck = false;
  FManualUpdateCheck = true;
  CheckUpdates(1, true);
}
