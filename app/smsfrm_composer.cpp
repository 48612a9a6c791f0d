// The composer's message in and out of the controls: the message a send or
// a file is built from, a file's or a history row's message shown again,
// the recipient matched to a contact, the gates offered for it and what the
// chosen gate allows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>

#include "cp1251.h"
#include "datetime.h"
#include "gatefactory.h"
#include "history.h"
#include "options.h"
#include "phone.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "textutils.h"
#include "translit.h"
#include "uitext.h"

namespace {

// The 1x1 picture an MMS without attachment is sent with.
constexpr unsigned char kEmptyGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
                                       0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00,
                                       0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
                                       0x44, 0x01, 0x00, 0x3B};

// A gate's information value as a Boolean: a non-zero number or "true";
// anything else, and a missing value, is false.
bool InfoBool(const TGate& gate, std::string_view key) {
  try {
    return gate.Info.GetItemNamed(key).AsBoolean();
  } catch (const EVariantError&) {
    return false;
  }
}

QDateTime ToQDateTime(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

TDateTime FromQDateTime(const QDate& date, const QTime& time) {
  return EncodeDate(date.year(), date.month(), date.day()) + EncodeTime(time.hour(), time.minute(), time.second());
}

}  // namespace

void TSMSFrm::ConnectComposer() {
  connect(cbGate, &QComboBox::currentIndexChanged, this, [this] {
    TGate* gate = GetSelectedGate();
    FContact->GateName = gate ? gate->Name : std::string();
    ApplyGateCapabilities();
    UpdateActions();
  });
  connect(cbTo, &QComboBox::editTextChanged, this, [this] {
    MatchRecipient();
    UpdateActions();
  });
  connect(cbTranslTable, &QComboBox::activated, this, [this](int index) {
    TTranslit::SelectTable(index);
    Options->WriteString("Message\\TraslitTable", CpStr(cbTranslTable->itemText(index)));
  });
  connect(chbTransliterate, &QCheckBox::toggled, this, [this](bool checked) {
    if (!FContactTranslit) FUserTranslit = checked;
  });
  // Only what the user types makes the signature the user's.
  connect(cbSignature->lineEdit(), &QLineEdit::textEdited, this, [this] { FSignatureByUser = true; });
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
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void TSMSFrm::SetMemoText(const std::string& text) {
  mMsg->setPlainText(QStr(text).replace("\r\n", "\n").replace('\r', '\n'));
}

std::string TSMSFrm::RecipientPhone() const {
  std::string text = CpStr(cbTo->currentText());
  std::string phone = ExtractDigits(ExtractBracketed(text));
  return phone.empty() ? ExtractDigits(text) : phone;
}

TGate* TSMSFrm::GetSelectedGate() const {
  int index = cbGate->currentIndex();
  return index >= 0 && index < static_cast<int>(gates_.size()) ? gates_[index].get() : nullptr;
}

std::string TSMSFrm::GetFinalText() const {
  std::string text = MemoText();
  std::string signature = CpStr(cbSignature->currentText());
  if (!signature.empty()) {
    std::string delimiter = ExpandLineBreaks(Options->ReadString("Message\\SignatureDelimiter"));
    if (delimiter.find("\\s") == std::string::npos) {
      text += delimiter + signature;
    } else {
      for (size_t at = delimiter.find("\\s"); at != std::string::npos; at = delimiter.find("\\s", at + signature.size()))
        delimiter.replace(at, 2, signature);
      text += delimiter;
    }
  }
  if (chbTransliterate->isChecked()) {
    if (cbTranslTable->currentIndex() >= 0) TTranslit::SelectTable(cbTranslTable->currentIndex());
    text = TTranslit::Translit(text);
  }
  return text;
}

std::unique_ptr<TSMS> TSMSFrm::BuildMessage(bool forFile) const {
  TGate* gate = GetSelectedGate();
  std::unique_ptr<TSMS> msg;
  bool translit = chbTransliterate->isChecked();
  if (Action("aMMS")->isChecked()) {
    msg = std::make_unique<TMMS>();
    msg->SetItemNamed(MsgKey::MessageType, Variant::String(std::string(kMessageTypeMMS)));
    std::string subject = CpStr(cbSubject->currentText());
    msg->SetItemNamed(MsgKey::Subject_Orig, Variant::String(subject));
    msg->SetItemNamed(MsgKey::Subject, Variant::String(translit ? TTranslit::Translit(subject) : subject));
    auto content = std::make_shared<TMMSContentData>();
    bool placeholder = !forFile && !(FMedia && FMedia->Stream()) && !(gate && InfoBool(*gate, "SendWOMultimedia"));
    if (placeholder) {
      content->SetItemNamed(ContentKey::FileName, Variant::String("empty.gif"));
      content->SetItemNamed(ContentKey::ContentType, Variant::String("image/gif"));
      content->SetItemNamed(ContentKey::Type, Variant::Integer(mtImage));
      content->SetItemNamed(ContentKey::ImageDimension, Variant::String("1x1"));
      content->SetStream(std::make_shared<TMemoryStream>(std::string(std::begin(kEmptyGif), std::end(kEmptyGif))));
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
  msg->SetItemNamed(MsgKey::Text, Variant::String(GetFinalText()));
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
  bool sms = cp1251::SameText(EntryText(msg, MsgKey::MessageType), kMessageTypeSMS);
  Action(sms ? "aSMS" : "aMMS")->setChecked(true);
  cbTo->setEditText(QStr(EntryText(msg, MsgKey::Phone)));
  FContact->GateName = EntryText(msg, MsgKey::GateName);
  SetMemoText(EntryText(msg, MsgKey::Message));
  cbSignature->setEditText(QStr(EntryText(msg, MsgKey::Signature)));
  // The message's own signature stays: the gate and contact rules replace
  // only a signature nobody chose.
  FSignatureByUser = true;
  cbSubject->setEditText(QStr(EntryText(msg, MsgKey::Subject_Orig)));
  chbFlash->setChecked(EntryBool(msg, MsgKey::Flash));
  chbDeliveryTime->setChecked(EntryBool(msg, MsgKey::Delivery));
  if (chbDeliveryTime->isChecked()) {
    TDateTime when = 0;
    try {
      when = msg.GetItemNamed(MsgKey::DeliveryTime).AsDate();
    } catch (const EVariantError&) {
    }
    QDateTime shown = ToQDateTime(when);
    dtpDeliveryDate->setDate(shown.date());
    dtpDeliveryTime->setTime(shown.time());
  }
  chbTransliterate->setChecked(EntryBool(msg, MsgKey::Translit));
  int table = cbTranslTable->findText(QStr(EntryText(msg, MsgKey::TranslitTableName)), Qt::MatchFixedString);
  if (table >= 0) cbTranslTable->setCurrentIndex(table);
  ClearMultimedia();
  if (const TMMSContentData* content = msg.MultiMedia(); content && content->Stream()) {
    for (std::string_view key : {ContentKey::FileName, ContentKey::ContentType, ContentKey::Type, ContentKey::ImageDimension})
      FMedia->SetItemNamed(key, content->GetItemNamed(key));
    FMedia->SetStream(content->SharedStream());
  }
  FillGateList();
  ShowMultimediaInfo();
  UpdateActions();
}

void TSMSFrm::LoadFromItem(const TCustomPhoneItem& item) {
  if (!item.Phone.empty()) {
    cbTo->setEditText(QStr(item.Phone));
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

void TSMSFrm::ClearGateList() {
  QSignalBlocker block(cbGate);
  cbGate->clear();
  gates_.clear();
}

void TSMSFrm::FillGateList() {
  ClearGateList();
  std::vector<std::string> names;
  if (Database) TGateFactory::FindGatesForPhone(RecipientPhone(), Action("aMMS")->isChecked() ? gkMMS : gkSMS, names);
  int selected = names.empty() ? -1 : 0;
  {
    QSignalBlocker block(cbGate);
    for (const std::string& name : names) {
      gates_.push_back(TGateFactory::CreateGate(name));
      cbGate->addItem(QStr(gates_.back()->Caption));
      if (cp1251::SameText(name, FContact->GateName)) selected = static_cast<int>(gates_.size()) - 1;
    }
    cbGate->setCurrentIndex(selected);
  }
  if (TGate* gate = GetSelectedGate(); gate && FContact->Format.empty())
    FContact->Format = gate->GetPhoneFormat(FContact->Phone);
  lbGatesCnt->setText(QString::number(cbGate->count()));
  lbGatesCnt->setVisible(cbGate->count() > 1);
  cbGate->setFocusPolicy(cbGate->count() > 1 ? Qt::StrongFocus : Qt::NoFocus);
  ApplyGateCapabilities();
  UpdateActions();
}

void TSMSFrm::ApplyGateCapabilities() {
  TGate* gate = GetSelectedGate();
  bool mmsLayout = Action("aMMS")->isChecked();
  if (gate) {
    bool unicode = InfoBool(*gate, "SupportUnicode");
    chbTransliterate->setEnabled(unicode);
    if (!unicode) chbTransliterate->setChecked(true);
    bool delivery = InfoBool(*gate, "SupportDTDelivery");
    for (QWidget* w : std::initializer_list<QWidget*>{chbDeliveryTime, dtpDeliveryDate, dtpDeliveryTime}) w->setEnabled(delivery);
    if (!delivery) chbDeliveryTime->setChecked(false);
    bool flash = InfoBool(*gate, "SupportFlash");
    chbFlash->setEnabled(flash);
    if (!flash) chbFlash->setChecked(false);
    mmsLayout = cp1251::SameText(gate->Type, kMessageTypeMMS);
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{chbTransliterate, chbDeliveryTime, chbFlash}) w->setEnabled(true);
  }
  cbSubject->setEnabled(mmsLayout);
  lbSubject->setEnabled(mmsLayout);
  gbMM->setEnabled(mmsLayout);
  if (!FSignatureByUser && FContact) {
    QSignalBlocker block(cbSignature);
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
}

void TSMSFrm::FormatRecipientText() {
  // The recipient is shown as the contact's name and formatted number here
  // once the composer formats it.
}

void TSMSFrm::ClearMultimedia() {
  imgData->clear();
  if (FMedia) {
    FMedia->SetStream(nullptr);
    FMedia->RemoveNamed(ContentKey::Stream);
    for (std::string_view key : {ContentKey::ContentType, ContentKey::FileName, ContentKey::ImageDimension})
      FMedia->SetItemNamed(key, Variant::String(""));
  }
  ShowMultimediaInfo();
  UpdateActions();
}

void TSMSFrm::ShowMultimediaInfo() {
  TMemoryStream* stream = FMedia ? FMedia->Stream() : nullptr;
  double kb = stream ? static_cast<double>(stream->Size()) / 1024 : 0;
  lbMMSize->setText(QStr("Размер: "_cp) + QString::number(kb, 'f', 2) + QStr(" Кб"_cp));
  lbMMDim->setText(QStr("Разрешение: "_cp) + QStr(FMedia ? EntryText(*FMedia, ContentKey::ImageDimension) : ""));
}

void TSMSFrm::aNewExecute() {
  cbTo->setEditText(QString());
  ClearGateList();
  ClearMultimedia();
  cbSubject->setEditText(QString());
  {
    QSignalBlocker block(cbSignature);
    cbSignature->setEditText(QStr(Options->ReadString("Message\\Signature")));
  }
  for (QCheckBox* box : {chbTransliterate, chbFlash, chbDeliveryTime}) box->setChecked(false);
  mMsg->clear();
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
