// The main window's doors to the other windows, the send and the online
// services. Each window is created here, shown modally and freed on the
// spot; a door whose window does not exist yet opens nothing.
#include <QComboBox>
#include <QPlainTextEdit>

#include "feedbackfrm.h"
#include "gatemngfrm.h"
#include "optionsfrm.h"
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
  // The about box opens here.
}

void TSMSFrm::aFeedbackExecute() {
  TFeedbackFrm frm(this);
  frm.exec();
}
