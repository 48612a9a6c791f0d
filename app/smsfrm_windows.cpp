// The main window's doors to the other windows, the send and the online
// services. Each window is created here, shown modally and freed on the
// spot; a door whose window does not exist yet opens nothing.
#include <QComboBox>
#include <QPlainTextEdit>

#include "feedbackfrm.h"
#include "gatemngfrm.h"
#include "optionsfrm.h"
#include "lastitems.h"
#include "senddisp.h"
#include "aboutfrm.h"
#include "historyfrm.h"
#include "phonebookfrm.h"
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
  TSendDisp::Send(*message, gateName, this);
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

// The composer's gate list is not refilled afterwards: a gate switched off
// leaves the choices the next time they are filled.
void TSMSFrm::aShowGatesMngExecute() {
  TGateMngFrm window(this);
  window.exec();
}

void TSMSFrm::aShowGateInfoExecute() {
  TGate* gate = GetSelectedGate();
  if (!gate) return;
  TGateMngFrm window(this);
  window.SetSelectedGateName(gate->Name);
  window.exec();
}

void TSMSFrm::ShowOptions(int page) {
  TOptionsFrm window(this);
  window.SelectPage(page);
  if (window.exec() == QDialog::Accepted) ApplyOptions();
}

void TSMSFrm::aOptionsExecute() { ShowOptions(0); }

void TSMSFrm::aAboutExecute() {
  TAboutFrm frm(this);
  frm.exec();
}

void TSMSFrm::aFeedbackExecute() {
  TFeedbackFrm frm(this);
  frm.exec();
}
