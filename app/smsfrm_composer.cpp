// The composer: the recipient matched to a contact and its suggestions, the
// gates offered for the number and what the chosen one allows, the text that
// is sent and its counter, the ready status and the send action's state, and
// the message built from the controls or shown in them again.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>

#include "cp1251.h"
#include "cpinput.h"
#include "datetime.h"
#include "gatefactory.h"
#include "history.h"
#include "lastitems.h"
#include "options.h"
#include "phone.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "textutils.h"
#include "translit.h"
#include "uitext.h"

namespace {

QDateTime ToQDateTime(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

TDateTime FromQDateTime(const QDate& date, const QTime& time) {
  return EncodeDate(date.year(), date.month(), date.day()) + EncodeTime(time.hour(), time.minute(), time.second());
}

bool IsSendKey(const QKeyEvent& key) {
  return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && (key.modifiers() & Qt::ControlModifier);
}

}  // namespace

void TSMSFrm::ConnectComposer() {
  connect(cbGate, &QComboBox::currentIndexChanged, this, &TSMSFrm::cbGateChange);
  connect(cbTo, &QComboBox::editTextChanged, this, [this] {
    MatchRecipient();
    UpdateActions();
  });
  connect(cbTo, &TSuggestEdit::SuggestData, this, &TSMSFrm::cbToSuggestData);
  for (auto signal : {&TSuggestEdit::Select, &TSuggestEdit::Exited})
    connect(cbTo, signal, this, [this] {
      FormatRecipientText();
      FillGateList();
    });
  connect(cbTo, &TSuggestEdit::Entered, this, [this] {
    FormatRecipientText();
    cbTo->lineEdit()->selectAll();
    // The history's numbers are read now rather than at the first key.
    if (Database) suggestions_.Refresh();
  });
  connect(cbTranslTable, &QComboBox::activated, this, [this](int index) {
    TTranslit::SelectTable(index);
    Options->WriteString("Message\\TraslitTable", CpStr(cbTranslTable->itemText(index)));
    UpdateActions();
  });
  connect(chbTransliterate, &QCheckBox::toggled, this, &TSMSFrm::chbTransliterateClick);
  // Only what the user types or picks makes the signature the user's.
  connect(cbSignature->lineEdit(), &QLineEdit::textEdited, this, [this] { FSignatureByUser = true; });
  connect(cbSignature, &QComboBox::activated, this, [this] { FSignatureByUser = true; });
  for (QComboBox* combo : {cbSignature, cbSubject}) {
    connect(combo, &QComboBox::editTextChanged, this, &TSMSFrm::UpdateActions);
    combo->view()->installEventFilter(this);
    KeepCp1251(combo);
  }
  KeepCp1251(cbTo);
  KeepCp1251(mMsg);
  mMsg->installEventFilter(this);
  connect(mMsg, &QPlainTextEdit::textChanged, this, &TSMSFrm::UpdateActions);
  connect(mMsg, &QPlainTextEdit::selectionChanged, this, &TSMSFrm::UpdateActions);
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TSMSFrm::UpdateActions);
  connect(Action("aCut"), &QAction::triggered, mMsg, &QPlainTextEdit::cut);
  connect(Action("aCopy"), &QAction::triggered, mMsg, &QPlainTextEdit::copy);
  connect(Action("aPaste"), &QAction::triggered, mMsg, &QPlainTextEdit::paste);
  connect(Action("aDeleteMultimedia"), &QAction::triggered, this, &TSMSFrm::ClearMultimedia);
  connect(btTo, &QPushButton::clicked, this, &TSMSFrm::aPhoneBookExecute);
  FContact = std::make_unique<TPhoneBookItem>();
  FMedia = std::make_shared<TMMSContentData>();
}

bool TSMSFrm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
  const auto& key = *static_cast<QKeyEvent*>(event);
  // The send keys never break a line, also while sending is not allowed.
  if (watched == mMsg && IsSendKey(key)) {
    if (Action("aSendSMS")->isEnabled()) Action("aSendSMS")->trigger();
    return true;
  }
  if (key.key() == Qt::Key_Delete) {
    for (auto [combo, kind] : {std::pair{cbSignature, int(TLastItems::kSignature)}, {cbSubject, int(TLastItems::kSubject)}}) {
      if (watched != combo->view()) continue;
      QModelIndex current = combo->view()->currentIndex();
      if (!current.isValid()) return false;
      DeleteRecentItem(combo, kind, current.row());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TSMSFrm::FillTranslitTables() {
  std::vector<std::string> names;
  TTranslit::GetTableNames(names);
  QSignalBlocker block(cbTranslTable);
  cbTranslTable->clear();
  for (const std::string& name : names) cbTranslTable->addItem(QStr(name));
  int chosen = cbTranslTable->findText(QStr(Options->ReadString("Message\\TraslitTable")), Qt::MatchFixedString);
  if (chosen < 0 && cbTranslTable->count() > 0) chosen = 0;
  cbTranslTable->setCurrentIndex(chosen);
  cbTranslTable->setEnabled(cbTranslTable->count() > 0);
}

std::string TSMSFrm::MemoText() const {
  std::string text = CpStr(mMsg->toPlainText()), out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void TSMSFrm::SetMemoText(const std::string& text) { mMsg->SetText(QStr(text)); }

std::string TSMSFrm::RecipientPhone() const {
  std::string text = CpStr(cbTo->currentText());
  std::string phone = ExtractDigits(ExtractBracketed(text));
  return phone.empty() ? ExtractDigits(text) : phone;
}

TGate* TSMSFrm::GetSelectedGate() const {
  int index = cbGate->currentIndex();
  return index >= 0 && index < static_cast<int>(gates_.size()) ? gates_[index].get() : nullptr;
}

const TGateLimits* TSMSFrm::SelectedLimits() const {
  int index = cbGate->currentIndex();
  return index >= 0 && index < static_cast<int>(gateLimits_.size()) ? &gateLimits_[index] : nullptr;
}

// ---- The text and its counter ----

std::string TSMSFrm::GetFinalText() const {
  std::string text = JoinSignature(MemoText(), CpStr(cbSignature->currentText()),
                                   Options->ReadString("Message\\SignatureDelimiter"));
  if (!chbTransliterate->isChecked()) return text;
  try {
    TTranslit::SelectTable(cbTranslTable->currentIndex());
  } catch (const Exception&) {
    // No table, or one that cannot be read: the text stays as written, and
    // the counter and the ASCII rule judge it so. (Choosing the table has
    // told the user already.)
  }
  return TTranslit::Translit(text);
}

int64_t TSMSFrm::GetSymbolsLeft() const { return SymbolsLeft(SelectedLimits(), GetFinalText()); }

bool TSMSFrm::IsSubjectValid() const {
  return ::IsSubjectValid(Action("aMMS")->isChecked(), SelectedLimits(), CpStr(cbSubject->currentText()));
}

bool TSMSFrm::IsMultimediaValid() {
  TMemoryStream* stream = FMedia ? FMedia->Stream() : nullptr;
  int type = 0;
  if (FMedia) {
    try {
      type = FMedia->GetItemNamed(ContentKey::Type).AsInteger();
    } catch (const EVariantError&) {
    }
  }
  FMediaError = MultimediaError(Action("aMMS")->isChecked(), SelectedLimits(), stream != nullptr,
                                stream ? stream->Size() : 0, type);
  return FMediaError.empty();
}

void TSMSFrm::UpdateSymbolCounter() {
  std::string text = GetFinalText();
  lbSymCount->setText(QStr(SymbolCounterText(static_cast<int64_t>(text.size()), SymbolsLeft(SelectedLimits(), text))));
}

bool TSMSFrm::UpdateReadyStatus() {
  TComposerState state;
  state.recipientEmpty = cbTo->currentText().isEmpty();
  state.gate = SelectedLimits();
  state.mms = Action("aMMS")->isChecked();
  state.memoEmpty = mMsg->document()->isEmpty();
  state.subject = CpStr(cbSubject->currentText());
  state.finalText = GetFinalText();
  state.translitEnabled = chbTransliterate->isEnabled();
  IsMultimediaValid();
  state.mediaError = FMediaError;
  lbSymCount->setText(QStr(SymbolCounterText(static_cast<int64_t>(state.finalText.size()),
                                             SymbolsLeft(state.gate, state.finalText))));
  TReadiness readiness = EvaluateReadiness(state);
  StatusPanel0->setText(QStr(readiness.status));
  return readiness.canSend;
}

void TSMSFrm::chbTransliterateClick(bool checked) {
  if (!FContactTranslit) FUserTranslit = checked;
  UpdateActions();
}

// ---- The message ----

std::unique_ptr<TSMS> TSMSFrm::BuildMessage(bool forFile) const {
  TGate* gate = GetSelectedGate();
  const TGateLimits* limits = SelectedLimits();
  bool translit = chbTransliterate->isChecked();
  // The text first: it selects the table the subject is transliterated with.
  std::string text = GetFinalText();
  std::unique_ptr<TSMS> msg;
  if (Action("aMMS")->isChecked()) {
    msg = std::make_unique<TMMS>();
    msg->SetItemNamed(MsgKey::MessageType, Variant::String(std::string(kMessageTypeMMS)));
    std::string subject = CpStr(cbSubject->currentText());
    msg->SetItemNamed(MsgKey::Subject_Orig, Variant::String(subject));
    msg->SetItemNamed(MsgKey::Subject, Variant::String(translit ? TTranslit::Translit(subject) : subject));
    auto content = std::make_shared<TMMSContentData>();
    bool placeholder = !forFile && !(FMedia && FMedia->Stream()) && !(limits && limits->SendWOMultimedia);
    if (placeholder) {
      content->SetItemNamed(ContentKey::FileName, Variant::String("empty.gif"));
      content->SetItemNamed(ContentKey::ContentType, Variant::String("image/gif"));
      content->SetItemNamed(ContentKey::Type, Variant::Integer(mtImage));
      content->SetItemNamed(ContentKey::ImageDimension, Variant::String("1x1"));
      content->SetStream(EmptyImage());
    } else if (FMedia) {
      for (std::string_view key : {ContentKey::FileName, ContentKey::ContentType, ContentKey::Type, ContentKey::ImageDimension})
        content->SetItemNamed(key, FMedia->GetItemNamed(key));
      // The same bytes, not a copy: the attachment is shared.
      if (auto stream = FMedia->SharedStream()) content->SetStream(stream);
    }
    msg->SetMultiMedia(content);
  } else {
    msg = std::make_unique<TSMS>();
    msg->SetItemNamed(MsgKey::MessageType, Variant::String(std::string(kMessageTypeSMS)));
  }
  bool delivery = chbDeliveryTime->isChecked();
  msg->SetItemNamed(MsgKey::Text, Variant::String(text));
  msg->SetItemNamed(MsgKey::Message, Variant::String(MemoText()));
  msg->SetItemNamed(MsgKey::Signature, Variant::String(CpStr(cbSignature->currentText())));
  msg->SetItemNamed(MsgKey::Phone, Variant::String(RecipientPhone()));
  msg->SetItemNamed(MsgKey::Delivery, Variant::Boolean(delivery));
  msg->SetItemNamed(MsgKey::DeliveryTime,
                    Variant::Date(delivery ? FromQDateTime(dtpDeliveryDate->date(), dtpDeliveryTime->time()) : Now()));
  msg->SetItemNamed(MsgKey::Flash, Variant::Boolean(chbFlash->isChecked()));
  msg->SetItemNamed(MsgKey::Translit, Variant::Boolean(translit));
  if (translit) msg->SetItemNamed(MsgKey::TranslitTableName, Variant::String(CpStr(cbTranslTable->currentText())));
  if (gate) msg->SetItemNamed(MsgKey::GateName, Variant::String(gate->Name));
  return msg;
}

void TSMSFrm::LoadMessage(const TSMS& msg) {
  // All of the message is read before the first control changes: one that
  // cannot be shown raises and leaves the composer as it was.
  const bool sms = cp1251::SameText(EntryText(msg, MsgKey::MessageType), kMessageTypeSMS);
  const QString phone = QStr(EntryText(msg, MsgKey::Phone));
  const std::string gateName = EntryText(msg, MsgKey::GateName), memo = EntryText(msg, MsgKey::Message);
  const QString signature = QStr(EntryText(msg, MsgKey::Signature)), subject = QStr(EntryText(msg, MsgKey::Subject_Orig));
  const bool flash = msg.GetFlagNamed(MsgKey::Flash), delivery = msg.GetFlagNamed(MsgKey::Delivery);
  const bool translit = msg.GetFlagNamed(MsgKey::Translit);
  const QString table = QStr(EntryText(msg, MsgKey::TranslitTableName));
  QDateTime when;
  if (delivery) {
    TDateTime dt = 0;
    try {
      dt = msg.GetItemNamed(MsgKey::DeliveryTime).AsDate();
    } catch (const EVariantError&) {
    }
    when = ToQDateTime(dt);
  }
  const TMMSContentData* content = msg.MultiMedia();
  if (content && !content->Stream()) content = nullptr;

  Action(sms ? "aSMS" : "aMMS")->setChecked(true);
  {
    // Matched below, with the gates: both ask the databases, so whatever
    // they raise comes once the whole message is in the controls.
    QSignalBlocker block(cbTo);
    cbTo->SetTextNoSuggest(phone);
  }
  SetMemoText(memo);
  cbSignature->setEditText(signature);
  // The message's own signature stays: the gate and contact rules replace
  // only a signature nobody chose.
  FSignatureByUser = true;
  cbSubject->setEditText(subject);
  chbFlash->setChecked(flash);
  chbDeliveryTime->setChecked(delivery);
  if (delivery) {
    dtpDeliveryDate->setDate(when.date());
    dtpDeliveryTime->setTime(when.time());
  }
  chbTransliterate->setChecked(translit);
  int tableIndex = cbTranslTable->findText(table, Qt::MatchFixedString);
  if (tableIndex >= 0) cbTranslTable->setCurrentIndex(tableIndex);
  ClearMultimedia();
  if (content) {
    for (std::string_view key : {ContentKey::FileName, ContentKey::ContentType, ContentKey::Type, ContentKey::ImageDimension})
      FMedia->SetItemNamed(key, content->GetItemNamed(key));
    FMedia->SetStream(content->SharedStream());
  }
  MatchRecipient();
  FContact->GateName = gateName;
  FillGateList();
  ShowMultimediaPreview();
  ShowMultimediaInfo();
  UpdateActions();
}

void TSMSFrm::LoadFromItem(const TCustomPhoneItem& item) {
  if (!item.Phone.empty()) {
    cbTo->SetTextNoSuggest(QStr(item.Phone));
    FillGateList();
  }
  if (const auto* history = dynamic_cast<const THistoryItem*>(&item)) {
    if (!history->Message.empty()) {
      SetMemoText(history->Message);
      mMsg->moveCursor(QTextCursor::End);
    }
    if (!history->Subject.empty()) cbSubject->setEditText(QStr(history->Subject));
  }
  mMsg->setFocus();
}

void TSMSFrm::AppendText(const std::string& text) {
  std::string memo = MemoText();
  if (!memo.empty()) memo += "\r\n";
  SetMemoText(memo + text);
  mMsg->moveCursor(QTextCursor::End);
}

// ---- The recipient ----

void TSMSFrm::MatchRecipient() {
  if (!FContact) return;
  FContact->Clear();
  std::string text = CpStr(cbTo->currentText());
  std::string name, phone;
  SplitNamePhone(text, name, phone);
  phone = ExtractDigits(phone);
  std::unique_ptr<TPhoneBookItem> found;
  if (Database) {
    if (name.empty() && phone.empty()) {
      // No brackets: the whole text may be a name, or a number.
      std::string byName = TPhoneBook::GetPhoneByName(text);
      found = byName.empty() ? TPhoneBook::GetItemByPhone(ExtractDigits(text)) : TPhoneBook::GetItemByPhone(byName);
    }
    if (!found && !name.empty() && phone.empty()) {
      std::string byName = TPhoneBook::GetPhoneByName(name);
      if (!byName.empty()) found = TPhoneBook::GetItemByPhone(byName);
    }
    if (!found && !phone.empty()) found = TPhoneBook::GetItemByPhone(phone);
  }
  if (found) {
    FContact->Assign(found.get());
  } else {
    FContact->Phone = ExtractDigits(text);
    if (FContact->Phone.empty()) FContact->Name = text;
  }
  // The gate in use stays preferred while the recipient is edited.
  if (TGate* gate = GetSelectedGate()) FContact->GateName = gate->Name;
}

void TSMSFrm::cbToSuggestData() {
  if (Database) {
    suggestions_.Find(CpStr(cbTo->currentText()), Options->ReadInteger("Message\\MaxPhoneHistoryCount"));
    cbTo->SuggestItems().Reset(suggestions_.Count(), [this](int row) { return QStr(suggestions_.Text(row)); });
  } else {
    cbTo->SuggestItems().Clear();
  }
  FillGateList();
}

void TSMSFrm::FormatRecipientText() {
  if (cbTo->currentText().isEmpty() || !FContact) return;
  // Formatted while the field is left; bare digits while it is edited.
  std::string format = FContact->Format;
  std::string text = GetContactText(*FContact, !cbTo->hasFocus());
  cbTo->SetTextNoSuggest(QStr(text));
  FContact->Format = format;
  cbTo->lineEdit()->end(false);
}

// ---- The gates ----

void TSMSFrm::ClearGateList() {
  QSignalBlocker block(cbGate);
  cbGate->clear();
  gates_.clear();
  gateLimits_.clear();
  ShowGatesCount();
}

void TSMSFrm::ShowGatesCount() {
  lbGatesCnt->setText(QString::number(cbGate->count()));
  lbGatesCnt->setVisible(cbGate->count() > 1);
  cbGate->setFocusPolicy(cbGate->count() > 1 ? Qt::StrongFocus : Qt::NoFocus);
}

void TSMSFrm::FillGateList() {
  if (!FContact) return;
  ClearGateList();
  std::vector<std::string> names;
  if (Database) TGateFactory::FindGatesForPhone(RecipientPhone(), Action("aMMS")->isChecked() ? gkMMS : gkSMS, names);
  int selected = names.empty() ? -1 : 0;
  {
    QSignalBlocker block(cbGate);
    for (const std::string& name : names) {
      gates_.push_back(TGateFactory::CreateGate(name));
      gateLimits_.push_back(TGateLimits::Of(*gates_.back()));
      cbGate->addItem(QStr(gates_.back()->Caption));
      if (cp1251::SameText(name, FContact->GateName)) selected = static_cast<int>(gates_.size()) - 1;
    }
    cbGate->setCurrentIndex(selected);
  }
  if (TGate* gate = GetSelectedGate(); gate && FContact->Format.empty())
    FContact->Format = gate->GetPhoneFormat(FContact->Phone);
  ShowGatesCount();
  ApplyGateCapabilities();
  UpdateActions();
}

void TSMSFrm::cbGateChange() {
  if (!FContact) return;
  TGate* gate = GetSelectedGate();
  FContact->GateName = gate ? gate->Name : std::string();
  ApplyGateCapabilities();
  UpdateActions();
}

void TSMSFrm::ApplyGateCapabilities() {
  const TGateLimits* gate = SelectedLimits();
  bool mmsLayout = Action("aMMS")->isChecked();
  if (gate) {
    chbTransliterate->setEnabled(gate->SupportUnicode);
    if (!gate->SupportUnicode) chbTransliterate->setChecked(true);
    for (QWidget* w : std::initializer_list<QWidget*>{chbDeliveryTime, dtpDeliveryDate, dtpDeliveryTime})
      w->setEnabled(gate->SupportDTDelivery);
    if (!gate->SupportDTDelivery) chbDeliveryTime->setChecked(false);
    chbFlash->setEnabled(gate->SupportFlash);
    if (!gate->SupportFlash) chbFlash->setChecked(false);
    mmsLayout = cp1251::SameText(gate->Type, kMessageTypeMMS);
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{chbTransliterate, chbDeliveryTime, chbFlash}) w->setEnabled(true);
  }
  bool lookChanges = gbMM->isEnabled() != mmsLayout;
  cbSubject->setEnabled(mmsLayout);
  lbSubject->setEnabled(mmsLayout);
  gbMM->setEnabled(mmsLayout);
  if (lookChanges) PaintMultimediaPreview();
  if (!FSignatureByUser && FContact) {
    std::string signature = FContact->Signature.empty() ? Options->ReadString("Message\\Signature") : FContact->Signature;
    cbSignature->setEditText(QStr(signature));
  }
  if (chbTransliterate->isEnabled() && FContact) {
    FContactTranslit = FContact->Translit != TPhoneBookItem::kTranslitDefault;
    if (FContact->Translit == TPhoneBookItem::kTranslitAlways)
      chbTransliterate->setChecked(true);
    else if (FContact->Translit == TPhoneBookItem::kTranslitNever)
      chbTransliterate->setChecked(false);
    else
      chbTransliterate->setChecked(FUserTranslit);
  }
  UpdateActions();
}

void TSMSFrm::MessageTypeChange() {
  FillGateList();
  ShowMultimediaPreview();
}

// ---- New and clear ----

void TSMSFrm::aNewExecute() {
  cbTo->hidePopup();
  cbTo->setEditText(QString());
  ClearGateList();
  ClearMultimedia();
  cbSubject->setEditText(QString());
  cbSignature->setEditText(QStr(Options->ReadString("Message\\Signature")));
  for (QCheckBox* box : {chbTransliterate, chbFlash, chbDeliveryTime}) box->setChecked(false);
  mMsg->clear();
  UpdateSymbolCounter();
  cbTo->setFocus();
  FSignatureByUser = false;
  FUserTranslit = false;
  FContactTranslit = false;
  UpdateActions();
}

void TSMSFrm::aClearExecute() {
  mMsg->clear();
  cbSubject->setEditText(QString());
}
