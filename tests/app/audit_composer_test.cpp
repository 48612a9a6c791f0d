// The composer of the main window driven only as a person drives it: Tab
// through the fields, the mouse on the suggestion list, its button and the
// check boxes, the attachment's buttons and file dialog, the send button,
// and what the send dispatcher is handed in the end.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include "app/filedialog.h"
#include "app/journey.h"
#include "app/mainwindow.h"
#include "app/qtwait.h"
#include "cp1251.h"
#include "datetime.h"
#include "lastitems.h"
#include "phonebook.h"
#include "senddisp.h"
#include "uitext.h"

namespace {

// What the gates allow: MTS all but pictures, Plain nothing beyond its
// length, MmsGate pictures, flash and a delivery time.
const char* const kGateInfo[][3] = {
    {"MTS", "SupportUnicode", "1"},        {"MTS", "MaxSymbols", "200"},
    {"MTS", "MaxUnicodeSymbols", "100"},   {"MTS", "SupportFlash", "1"},
    {"MTS", "SupportDTDelivery", "1"},     {"Plain", "MaxSymbols", "200"},
    {"MmsGate", "SupportUnicode", "1"},    {"MmsGate", "MaxSymbols", "100"},
    {"MmsGate", "MaxUnicodeSymbols", "100"}, {"MmsGate", "MaxSubjectSymbols", "20"},
    {"MmsGate", "SupportMultiMedia", "1"}, {"MmsGate", "MaxMultimediaSize", "100000"},
    {"MmsGate", "SupportImage", "1"},      {"MmsGate", "SupportFlash", "1"},
    {"MmsGate", "SupportDTDelivery", "1"},
};

void AddContact(const std::string& name, const std::string& phone, uint8_t translit, const std::string& signature) {
  TPhoneBookItem item;
  item.Name = name;
  item.Phone = phone;
  item.Translit = translit;
  item.Signature = signature;
  TPhoneBook::AddItem(item);
}

// The window over the composer's gates and three contacts, one of them
// always transliterated and signed; shown, with the recipient focused.
class AuditComposer : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    WithDatabase([](TSQLiteDatabase& db) { Seed(db); });
    frm = Start();
    frm->aNewExecute();
    frm->show();
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    frm->cbTo->setFocus();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    frm.reset();
    MainWindowTest::TearDown();
  }

  static void Seed(TSQLiteDatabase& db) {
    AddComposerGates(db);
    for (const auto& [gate, name, value] : kGateInfo) AddGateInfo(db, gate, name, value);
    AddContact("Иванов"_cp, "79161234567", TPhoneBookItem::kTranslitDefault, "");
    AddContact("Ивлев"_cp, "79167654321", TPhoneBookItem::kTranslitDefault, "");
    AddContact("Саша"_cp, "79165550000", TPhoneBookItem::kTranslitAlways, "С."_cp);
  }

  std::unique_ptr<TestFrm> frm;

  QWidget* Focused() const { return QApplication::focusWidget(); }
  std::string Recipient() const { return CpStr(frm->cbTo->currentText()); }
  std::string SelectedGate() const { return frm->GetSelectedGate() ? frm->GetSelectedGate()->Name : "none"; }
  QListView* SuggestList() const { return frm->cbTo->Popup()->List(); }
  QPoint SuggestRow(int row) const { return SuggestList()->visualRect(SuggestList()->model()->index(row, 0)).center(); }
  // The button of the attachment group with that caption.
  QPushButton* MediaButton(const std::string& caption) const {
    for (auto* button : frm->gbMM->findChildren<QPushButton*>())
      if (button->text() == QStr(caption)) return button;
    return nullptr;
  }
  // A click on the drop-down arrow at the right end of a combo.
  static void ClickArrow(QComboBox* combo) {
    QTest::mouseClick(combo, Qt::LeftButton, {}, QPoint(combo->width() - 6, combo->height() / 2));
  }
};

// Tab goes from the recipient to the gate list when there is a choice, and
// from there to the text: the gate information button beside the list is
// for the mouse. In the text Tab moves on and writes nothing.
TEST_F(AuditComposer, TabLeadsFromTheRecipientThroughTheGatesToTheText) {
  TypeInto(frm->cbTo, "79161234567");
  ASSERT_EQ(GateEntries(*frm).size(), 2u);
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), frm->cbGate);
  EXPECT_EQ(Recipient(), "Иванов [+7 916 123-45-67]"_cp) << "left: the number is formatted";
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), frm->mMsg) << "not the information button";
  Type("ab");
  Press(Qt::Key_Tab);
  EXPECT_EQ(frm->MemoText(), "ab") << "Tab is no character of the message";
  EXPECT_EQ(Focused(), frm->cbSignature);
  EXPECT_EQ(CpStr(frm->lbSymCount->text()), "Введено 2 символов, осталось 198"_cp);

  // One gate only: the list is passed over.
  Press(Qt::Key_F3);
  ASSERT_EQ(GateEntries(*frm), std::vector<std::string>{"ММС"_cp});
  frm->cbTo->setFocus();
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), frm->cbSubject);
  Press(Qt::Key_Tab);
  EXPECT_EQ(Focused(), frm->mMsg);
}

// A row clicked is taken even when the pointer was not moved onto it
// first; the arrow button opens the list read-only and closes it again; a
// click elsewhere closes it without taking a row.
TEST_F(AuditComposer, TheSuggestionListAnswersTheMouse) {
  TypeInto(frm->cbTo, QStr("ив"_cp));
  ASSERT_TRUE(frm->cbTo->DroppedDown());
  ASSERT_EQ(SuggestedRows(*frm), (std::vector<std::string>{"Иванов [+7 916 123-45-67]"_cp, "Ивлев [+7 916 765-43-21]"_cp}));
  QTest::mouseClick(SuggestList()->viewport(), Qt::LeftButton, {}, SuggestRow(1));
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  EXPECT_EQ(Recipient(), "Ивлев [+79167654321]"_cp);
  EXPECT_EQ(Focused(), frm->cbTo) << "the keyboard stays in the field";
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp, "Латиница"_cp}));
  EXPECT_EQ(frm->FContact->Name, "Ивлев"_cp);

  // Pointing moves the highlight from the one the keys left.
  frm->cbTo->lineEdit()->selectAll();
  TypeInto(frm->cbTo, QStr("ив"_cp));
  QTest::keyClick(frm->cbTo, Qt::Key_Down);
  QMouseEvent move(QEvent::MouseMove, SuggestRow(1), SuggestList()->viewport()->mapToGlobal(SuggestRow(1)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(SuggestList()->viewport(), &move);
  QTest::mouseClick(SuggestList()->viewport(), Qt::LeftButton, {}, SuggestRow(1));
  EXPECT_EQ(frm->FContact->Name, "Ивлев"_cp);

  ClickArrow(frm->cbTo);
  ASSERT_TRUE(frm->cbTo->DroppedDown());
  EXPECT_TRUE(frm->cbTo->lineEdit()->isReadOnly());
  ClickArrow(frm->cbTo);
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  EXPECT_FALSE(frm->cbTo->lineEdit()->isReadOnly());

  frm->cbTo->lineEdit()->selectAll();
  TypeInto(frm->cbTo, QStr("ив"_cp));
  QTest::keyClick(frm->cbTo, Qt::Key_Down);
  QTest::mouseClick(frm->mMsg->viewport(), Qt::LeftButton);
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  EXPECT_EQ(Focused(), frm->mMsg);
  EXPECT_EQ(Recipient(), "ив"_cp) << "the highlighted row was not taken";
}

// Keys typed into the field's edit line itself, as a person's keys reach
// it, work the list as on the field.
TEST_F(AuditComposer, KeysOnTheEditLineWorkTheList) {
  QLineEdit* line = frm->cbTo->lineEdit();
  TypeInto(line, QStr("ив"_cp));
  ASSERT_TRUE(frm->cbTo->DroppedDown());
  QTest::keyClick(line, Qt::Key_Down);
  QTest::keyClick(line, Qt::Key_Down);
  QTest::keyClick(line, Qt::Key_Return);
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  EXPECT_EQ(Recipient(), "Ивлев [+79167654321]"_cp);
  line->selectAll();
  TypeInto(line, "7916");
  ASSERT_TRUE(frm->cbTo->DroppedDown());
  QTest::keyClick(line, Qt::Key_Down);
  QTest::keyClick(line, Qt::Key_Escape);
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  EXPECT_EQ(Recipient(), "7916");
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp, "Латиница"_cp}));
}

// A contact that is always transliterated checks the box and signs the
// message; unchecking it there is not the user's general choice. A gate
// without extras clears and disables what it lacks.
TEST_F(AuditComposer, TheContactAndTheGateRuleTheBoxes) {
  TypeInto(frm->cbTo, "79165550000");
  EXPECT_TRUE(frm->chbTransliterate->isChecked());
  EXPECT_EQ(CpStr(frm->cbSignature->currentText()), "С."_cp);
  QTest::mouseClick(frm->chbTransliterate, Qt::LeftButton);
  EXPECT_FALSE(frm->chbTransliterate->isChecked());
  for (QCheckBox* box : {frm->chbFlash, frm->chbDeliveryTime}) {
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
  }
  frm->cbTo->setFocus();
  frm->cbTo->lineEdit()->selectAll();
  TypeInto(frm->cbTo, "79160000000");
  EXPECT_FALSE(frm->chbTransliterate->isChecked()) << "the user never asked for it";
  EXPECT_EQ(frm->cbSignature->currentText(), QStr(Options->ReadString("Message\\Signature")));

  // The gate list by the keys: the second gate has none of the extras.
  Press(Qt::Key_Tab);
  ASSERT_EQ(Focused(), frm->cbGate);
  Press(Qt::Key_Down);
  ASSERT_EQ(SelectedGate(), "Plain");
  for (QWidget* w : std::initializer_list<QWidget*>{frm->chbTransliterate, frm->chbDeliveryTime, frm->dtpDeliveryDate,
                                                    frm->dtpDeliveryTime, frm->chbFlash})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(frm->chbTransliterate->isChecked());
  EXPECT_FALSE(frm->chbFlash->isChecked());
  EXPECT_FALSE(frm->chbDeliveryTime->isChecked());
  Press(Qt::Key_Up);
  ASSERT_EQ(SelectedGate(), "MTS");
  EXPECT_TRUE(frm->dtpDeliveryDate->isEnabled());
  EXPECT_TRUE(frm->chbTransliterate->isChecked()) << "forced on, and so the user's choice";
}

// The attachment comes through its file dialog, shows its picture and
// labels, and goes again by its button's accelerator.
TEST_F(AuditComposer, TheAttachmentIsPickedInItsDialogAndRemovedByItsButton) {
  Press(Qt::Key_F3);
  TypeInto(frm->cbTo, "79161234567");
  ASSERT_TRUE(frm->gbMM->isEnabled());
  QPushButton* add = MediaButton("&Добавить"_cp);
  QPushButton* remove = MediaButton("&Удалить"_cp);
  ASSERT_NE(add, nullptr);
  ASSERT_NE(remove, nullptr);
  EXPECT_FALSE(remove->isEnabled());
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  std::string path = profile.File("photo.png");
  ASSERT_TRUE(picture.save(QString::fromStdString(path), "PNG"));
  DialogSeen seen;
  AnswerFileDialog(seen, path);
  QTest::mouseClick(add, Qt::LeftButton);
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
  EXPECT_EQ(seen.filters, QStringList({QStr("Мультимедия (*.bmp *.gif *.jpg *.png *.wav *.mp3 *.mid *.mmf)"_cp),
                                       QStr("Изображения (*.bmp *.gif *.jpg *.png)"_cp),
                                       QStr("Аудио (*.wav *.mp3 *.mid *.mmf)"_cp)}));
  EXPECT_EQ(CpStr(frm->lbMMDim->text()), "Разрешение: 40x30"_cp);
  char size[64];
  std::snprintf(size, sizeof size, "%.2f", static_cast<double>(std::filesystem::file_size(path)) / 1024);
  EXPECT_EQ(CpStr(frm->lbMMSize->text()), "Размер: "_cp + size + " Кб"_cp);
  EXPECT_EQ(frm->imgData->pixmap().toImage().pixelColor(20, 15), QColor(Qt::blue));
  EXPECT_TRUE(remove->isEnabled());
  ASSERT_TRUE(Reactivate(*frm));
  // Alt and the caption's marked letter press the button.
  QString letter = QStr("У"_cp);

  QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(letter.at(0).unicode()), letter,
                      Qt::AltModifier);
  // The button shows itself pressed for a moment before it clicks.
  EXPECT_TRUE(WaitUntil([&] { return frm->FMedia->Stream() == nullptr; }));
  EXPECT_TRUE(frm->imgData->pixmap().isNull());
  EXPECT_EQ(CpStr(frm->lbMMSize->text()), "Размер: 0.00 Кб"_cp);
  EXPECT_EQ(CpStr(frm->lbMMDim->text()), "Разрешение: "_cp);
  EXPECT_FALSE(remove->isEnabled());
}

// The send button hands the dispatcher the message as composed, after the
// subject and signature have joined the recent ones; a gate that cannot be
// run is reported and the message comes back through the after-send hook.
TEST_F(AuditComposer, TheSendButtonHandsTheDispatcherTheMessageAsComposed) {
  Press(Qt::Key_F3);
  TypeInto(frm->cbTo, "79161234567");
  ASSERT_EQ(SelectedGate(), "MmsGate");
  Database->ExecSQL("UPDATE gates.Gate SET Class='Nobody' WHERE Name='MmsGate'");
  frm->cbSubject->setFocus();
  Type(QStr("Тема"_cp));
  frm->mMsg->setFocus();
  Type(QStr("Привет"_cp));
  frm->cbSignature->setFocus();
  frm->cbSignature->lineEdit()->selectAll();
  Type(QStr("Я"_cp));
  for (QCheckBox* box : {frm->chbFlash, frm->chbDeliveryTime}) QTest::mouseClick(box, Qt::LeftButton);
  QDate tomorrow = QDate::currentDate().addDays(1);
  frm->dtpDeliveryDate->setDate(tomorrow);
  frm->dtpDeliveryTime->setTime(QTime(10, 30));
  ASSERT_TRUE(frm->btSend->isEnabled()) << CpStr(frm->StatusPanel0->text());

  std::string gateName, attachment;
  std::unique_ptr<TSMS> handed;
  TSendDisp::SetAfterSendHook([&](const std::string& gate, TSMS& message, uint8_t status, const std::string&) {
    gateName = gate;
    EXPECT_EQ(status, 4);
    handed = std::make_unique<TMMS>();
    for (int i = 0; i < message.Count(); ++i) handed->SetItemNamed(message.GetName(i), message.GetItem(i));
    if (message.MultiMedia()) attachment = VarToStr(message.MultiMedia()->GetItemNamed(ContentKey::FileName));
  });
  std::string title;
  AnswerBox(QMessageBox::Ok, &title);
  QTest::mouseClick(frm->btSend, Qt::LeftButton);
  EXPECT_EQ(title, "Ошибка");
  EXPECT_EQ(gateName, "MmsGate");
  ASSERT_NE(handed, nullptr);
  auto key = [&](std::string_view name) { return VarToStr(handed->GetItemNamed(name)); };
  EXPECT_EQ(key(MsgKey::MessageType), "MMS");
  EXPECT_EQ(key(MsgKey::Phone), "79161234567");
  EXPECT_EQ(key(MsgKey::GateName), "MmsGate");
  EXPECT_EQ(key(MsgKey::Message), "Привет"_cp);
  EXPECT_EQ(key(MsgKey::Signature), "Я"_cp);
  EXPECT_EQ(key(MsgKey::Text), "Привет\r\nЯ"_cp);
  EXPECT_EQ(key(MsgKey::Subject), "Тема"_cp);
  EXPECT_EQ(key(MsgKey::Subject_Orig), "Тема"_cp);
  EXPECT_TRUE(handed->GetFlagNamed(MsgKey::Flash));
  EXPECT_TRUE(handed->GetFlagNamed(MsgKey::Delivery));
  EXPECT_FALSE(handed->GetFlagNamed(MsgKey::Translit));
  EXPECT_FALSE(handed->Exists(MsgKey::TranslitTableName));
  DateTimeParts when = DecodeDateTime(handed->GetItemNamed(MsgKey::DeliveryTime).AsDate());
  EXPECT_EQ(QDate(when.year, when.month, when.day), tomorrow);
  EXPECT_EQ(when.hour * 60 + when.minute, 10 * 60 + 30);
  EXPECT_EQ(attachment, "empty.gif") << "no attachment: the placeholder";

  for (auto [kind, text] : {std::pair{int(TLastItems::kSubject), "Тема"_cp}, {int(TLastItems::kSignature), "Я"_cp}}) {
    std::vector<std::string> stored;
    TLastItems::Load(kind, stored);
    EXPECT_NE(std::find(stored.begin(), stored.end(), text), stored.end()) << kind;
    QComboBox* combo = kind == TLastItems::kSubject ? frm->cbSubject : frm->cbSignature;
    ASSERT_GT(combo->count(), 0);
    EXPECT_EQ(CpStr(combo->itemText(0)), text);
  }
}

// Delete in a recent list opened with the mouse forgets the entry the keys
// went to; the field keeps what it says.
TEST_F(AuditComposer, DeleteInARecentListOpenedByTheMouse) {
  frm->cbSignature->setFocus();
  for (const char* signature : {"first", "second"}) {
    frm->cbSignature->setEditText(signature);
    frm->RememberLastItem(TLastItems::kSignature);
  }
  ClickArrow(frm->cbSignature);
  ASSERT_TRUE(frm->cbSignature->view()->isVisible());
  frm->cbSignature->view()->setCurrentIndex(frm->cbSignature->model()->index(0, 0));
  Press(Qt::Key_Down);
  ASSERT_EQ(frm->cbSignature->view()->currentIndex().row(), 1);
  Press(Qt::Key_Delete);
  std::vector<std::string> stored;
  TLastItems::Load(TLastItems::kSignature, stored);
  EXPECT_EQ(std::find(stored.begin(), stored.end(), "first"), stored.end());
  EXPECT_NE(std::find(stored.begin(), stored.end(), "second"), stored.end());
  EXPECT_EQ(frm->cbSignature->findText("first"), -1);
  EXPECT_EQ(frm->cbSignature->currentText(), "second");
  frm->cbSignature->hidePopup();
}

}  // namespace
