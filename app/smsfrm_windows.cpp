// The main window's doors to the other windows, the send and the online
// services. Each window is created here, shown modally and freed on the
// spot; a door whose window does not exist yet opens nothing.
#include <QComboBox>
#include <QPlainTextEdit>

#include "lastitems.h"
#include "senddisp.h"
#include "smsfrm.h"
#include "uitext.h"

// ---- The send (send dispatcher) ----

void TSMSFrm::aSendSMSExecute() {
  TGate* gate = GetSelectedGate();
  if (!gate) return;
  RememberLastItem(TLastItems::kSignature);
  if (Action("aMMS")->isChecked()) RememberLastItem(TLastItems::kSubject);
  std::unique_ptr<TSMS> message = BuildMessage(false);
  // A copy: the bookkeeping after the send may clear the gate list.
  std::string gateName = gate->Name;
  // The send window is modal; AfterSend runs before Send returns, and the
  // message is freed here afterwards.
  TSendDisp::Send(*message, gateName);
}

// ---- Data windows ----

void TSMSFrm::aHistoryExecute() {
  // The history window opens here.
}

void TSMSFrm::aContactHistoryExecute() {
  std::string filterPhone = RecipientPhone();
  // The history window opens here with its FilterPhone := filterPhone.
  (void)filterPhone;
}

void TSMSFrm::aPhoneBookExecute() {
  // The phone book window opens here; when it closes with OK and has a
  // selected item, UsePhoneBookChoice(its SelectedPhone) runs.
}

void TSMSFrm::UsePhoneBookChoice(const std::string& selectedPhone) {
  cbTo->setEditText(QStr(selectedPhone));
  FillGateList();
  FormatRecipientText();
  mMsg->setFocus();
  mMsg->moveCursor(QTextCursor::End);
}

void TSMSFrm::aAddToPhoneBookExecute() {
  // The contact editor opens here, prefilled from the recipient text.
}

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
  // The about box opens here.
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
