// The composer of the running main window, used as a person would: the
// recipient with its suggestions, the gates offered and preselected, the
// text, counter and status, the send action's state and keys, the
// attachment, the recent items, and text the code page cannot hold.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "app/journey.h"
#include "app/mainwindow.h"
#include "corelimits.h"
#include "cp1251.h"
#include "history.h"
#include "inistorage.h"
#include "lastitems.h"
#include "phonebook.h"
#include "uitext.h"

namespace {

// Two SMS gates for 7916 (MTS first), one without Unicode; an MMS gate.
class Composer : public MainWindowTest {
 protected:
  std::unique_ptr<TestFrm> frm;

  void SetUp() override {
    MainWindowTest::SetUp();
    WithDatabase([](TSQLiteDatabase& db) {
      AddComposerGates(db);
      const char* const info[][3] = {
          {"MTS", "SupportUnicode", "1"},      {"MTS", "MaxSymbols", "20"},        {"MTS", "MaxUnicodeSymbols", "10"},
          {"MTS", "SupportFlash", "1"},        {"MTS", "SupportDTDelivery", "1"},  {"Plain", "MaxSymbols", "20"},
          {"MmsGate", "SupportUnicode", "1"},  {"MmsGate", "MaxSymbols", "100"},   {"MmsGate", "MaxUnicodeSymbols", "100"},
          {"MmsGate", "MaxSubjectSymbols", "5"}, {"MmsGate", "SupportMultiMedia", "1"}, {"MmsGate", "MaxMultimediaSize", "2000"},
          {"MmsGate", "SupportImage", "1"},
      };
      for (const auto& [gate, name, value] : info) AddGateInfo(db, gate, name, value);
      auto contact = [](const std::string& name, const std::string& phone, const std::string& gate) {
        TPhoneBookItem item;
        item.Name = name;
        item.Phone = phone;
        item.GateName = gate;
        TPhoneBook::AddItem(item);
      };
      contact("Иванов"_cp, "79161234567", "Plain");
      contact("Ивлев"_cp, "79167654321", "");
      contact("Петров"_cp, "79031112233", "");
      THistoryItem sent;
      sent.Phone = "79169990000";
      sent.GateName = "MTS";
      THistory::Add(sent);
      sent.Phone = "79161234567";  // a contact's number: listed once
      THistory::Add(sent);
    });
    frm = Start();
    frm->aNewExecute();
  }
  void TearDown() override {
    frm.reset();
    MainWindowTest::TearDown();
  }

  void Show() {
    frm->show();
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    frm->cbTo->setFocus();
    QCoreApplication::processEvents();
  }
  std::vector<std::string> Suggested() const { return SuggestedRows(*frm); }
  std::vector<std::string> Gates() const { return GateEntries(*frm); }
  std::string Status() const { return CpStr(frm->StatusPanel0->text()); }
  std::string Counter() const { return CpStr(frm->lbSymCount->text()); }
  bool CanSend() const { return frm->Action("aSendSMS")->isEnabled(); }
  void Type(const std::string& text) { TypeInto(frm->cbTo, QStr(text)); }
  void SelectGate(const std::string& caption) { frm->cbGate->setCurrentIndex(frm->cbGate->findText(QStr(caption))); }
};

TEST_F(Composer, TypingANameSuggestsContactsAndAcceptingPicksTheirGate) {
  Show();
  Type("ив"_cp);
  ASSERT_TRUE(frm->cbTo->DroppedDown());
  EXPECT_TRUE(frm->cbTo->hasFocus()) << "the keyboard stays in the field";
  EXPECT_EQ(Suggested(), (std::vector<std::string>{"Иванов [+7 916 123-45-67]"_cp, "Ивлев [+7 916 765-43-21]"_cp}));
  EXPECT_TRUE(Gates().empty()) << "no digits, no gates";
  QTest::keyClick(frm->cbTo, Qt::Key_Down);
  QTest::keyClick(frm->cbTo, Qt::Key_Return);
  EXPECT_FALSE(frm->cbTo->DroppedDown());
  // While the field has the focus, the number shows bare.
  EXPECT_EQ(CpStr(frm->cbTo->currentText()), "Иванов [+79161234567]"_cp);
  EXPECT_EQ(frm->FContact->Name, "Иванов"_cp);
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "Plain") << "no gate was selected: the contact's own";
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  // Leaving the field formats the number.
  frm->mMsg->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(CpStr(frm->cbTo->currentText()), "Иванов [+7 916 123-45-67]"_cp);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "Plain");
}

// A whole number arriving in one change (pasted) is matched to its contact
// before the gates are listed: with no gate selected before, the contact's
// own gate is preselected and its number's format known.
TEST_F(Composer, APastedNumberOfAContactPreselectsTheContactsGate) {
  Show();
  QApplication::clipboard()->setText("79161234567");
  QTest::keyClick(frm->cbTo, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(CpStr(frm->cbTo->currentText()), "79161234567");
  EXPECT_EQ(frm->FContact->Name, "Иванов"_cp);
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "Plain") << "the contact's own gate, not the first offered";
  EXPECT_EQ(frm->FContact->GateName, "Plain");
  EXPECT_EQ(Suggested(), std::vector<std::string>{"Иванов [+7 916 123-45-67]"_cp});
  frm->mMsg->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(CpStr(frm->cbTo->currentText()), "Иванов [+7 916 123-45-67]"_cp);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "Plain");
}

TEST_F(Composer, DigitsAlsoSuggestHistoryNumbersEachOnce) {
  Show();
  Type("999");
  EXPECT_EQ(Suggested(), std::vector<std::string>{"+7 916 999-00-00"});
  frm->cbTo->setEditText("");
  Type("1234");
  EXPECT_EQ(Suggested(), std::vector<std::string>{"Иванов [+7 916 123-45-67]"_cp}) << "the history's copy is left out";
  QTest::keyClick(frm->cbTo, Qt::Key_Backspace);
  QTest::keyClick(frm->cbTo, Qt::Key_Backspace);
  QTest::keyClick(frm->cbTo, Qt::Key_Backspace);
  QTest::keyClick(frm->cbTo, Qt::Key_Backspace);
  EXPECT_FALSE(frm->cbTo->DroppedDown()) << "the last character deleted";
  EXPECT_EQ(frm->cbTo->currentText(), "");
}

TEST_F(Composer, GatesAreListedAsTheNumberGrowsAndTheGateInUseIsKept) {
  Show();
  Type("791");
  EXPECT_TRUE(Gates().empty());
  EXPECT_EQ(Status(), "Не найден оператор"_cp);
  Type("6");
  EXPECT_EQ(Gates(), (std::vector<std::string>{"МТС"_cp, "Латиница"_cp})) << "highest priority first";
  EXPECT_EQ(frm->GetSelectedGate()->Name, "MTS");
  EXPECT_TRUE(frm->lbGatesCnt->isVisibleTo(frm.get()));
  EXPECT_EQ(frm->lbGatesCnt->text(), "2");
  SelectGate("Латиница"_cp);
  Type("7654321");  // Ивлев's number: his gate is "any", the one in use stays
  EXPECT_EQ(frm->FContact->Name, "Ивлев"_cp);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "Plain");
  frm->cbTo->setEditText("");
  frm->cbTo->SetTextNoSuggest("");
  frm->ClearGateList();
  Type("79161234567");  // Иванов's number, typed with MTS selected on the way
  EXPECT_EQ(frm->FContact->Name, "Иванов"_cp);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "MTS") << "the gate in use is kept over the contact's";
  frm->Action("aMMS")->trigger();
  EXPECT_EQ(Gates(), std::vector<std::string>{"ММС"_cp});
  EXPECT_FALSE(frm->lbGatesCnt->isVisibleTo(frm.get()));
  EXPECT_EQ(frm->cbGate->focusPolicy(), Qt::NoFocus) << "one gate takes no part in the tab order";
  frm->Action("aSMS")->trigger();
  ASSERT_TRUE(frm->lbGatesCnt->isVisibleTo(frm.get()));
  frm->aNewExecute();  // as a send that clears the message does
  EXPECT_FALSE(frm->lbGatesCnt->isVisibleTo(frm.get())) << "no gate listed";
}

// The send follows every change, and panel 0 says what is missing.
TEST_F(Composer, TheSendActionAndTheStatusFollowEveryChange) {
  EXPECT_EQ(Status(), "Введите номер абонента"_cp);
  EXPECT_FALSE(CanSend());
  frm->cbTo->SetTextNoSuggest("79160000001");
  frm->FillGateList();
  EXPECT_EQ(Status(), "Введите текст сообщения"_cp);
  EXPECT_EQ(Counter(), "Введено 0 символов, осталось 20"_cp);
  frm->cbSignature->setEditText("");
  frm->SetMemoText("Hello");
  EXPECT_TRUE(CanSend());
  EXPECT_TRUE(frm->btSend->isEnabled());
  EXPECT_EQ(Status(), "Готово к отправке"_cp);
  EXPECT_EQ(Counter(), "Введено 5 символов, осталось 15"_cp);
  frm->SetMemoText("Привет"_cp);
  EXPECT_EQ(Counter(), "Введено 6 символов, осталось 4"_cp) << "Cyrillic counts against MaxUnicodeSymbols";
  frm->SetMemoText("Приветик!!!"_cp);
  EXPECT_FALSE(CanSend());
  EXPECT_FALSE(frm->btSend->isEnabled());
  EXPECT_EQ(Status(), "Длина сообщения превышает допустимый размер"_cp);
  frm->SetMemoText("line\nline");
  EXPECT_EQ(Counter(), "Введено 10 символов, осталось 10"_cp) << "a line break is two symbols";
  frm->cbSignature->setEditText("Sig");
  EXPECT_EQ(Counter(), "Введено 15 символов, осталось 5"_cp) << "the delimiter's line break too";
  frm->mMsg->clear();
  EXPECT_EQ(Status(), "Введите текст сообщения"_cp);
  EXPECT_FALSE(CanSend());
  frm->ClearGateList();
  frm->UpdateActions();
  EXPECT_EQ(Counter(), "Введено 5 символов, осталось 0"_cp) << "no gate: nothing left";
  // A new delimiter counts as soon as the options are applied.
  frm->SetMemoText("ab");
  Options->WriteString("Message\\SignatureDelimiter", " \\s!");
  frm->ApplyOptions();
  EXPECT_EQ(Counter(), "Введено 7 символов, осталось 0"_cp);
}

TEST_F(Composer, AGateWithoutUnicodeForcesTransliterationAndTakesOnlyAscii) {
  // A table that knows one letter leaves the others as they are.
  TIniFile table;
  table.WriteValue("General", "Name", "Half");
  table.WriteValue("Table", "\xEF", "p");  // п
  profile.Write("Translit/half.ttb", table.Serialize());
  frm.reset();
  PresetOption("Message\\TraslitTable", "Half");
  frm = Start();
  frm->aNewExecute();
  frm->cbSignature->setEditText("");
  frm->cbTo->SetTextNoSuggest("79161234567");
  frm->FillGateList();
  SelectGate("Латиница"_cp);
  EXPECT_FALSE(frm->chbTransliterate->isEnabled());
  EXPECT_TRUE(frm->chbTransliterate->isChecked());
  EXPECT_TRUE(frm->FUserTranslit) << "forcing the box makes it the user's choice";
  frm->SetMemoText("пп"_cp);
  EXPECT_EQ(frm->GetFinalText(), "pp");
  EXPECT_TRUE(CanSend());
  frm->SetMemoText("пи"_cp);
  EXPECT_EQ(frm->GetFinalText(), "p"_cp + "и"_cp);
  EXPECT_EQ(Status(), "Готово к отправке"_cp);
  EXPECT_FALSE(CanSend()) << "what the table left is no ASCII";
  SelectGate("МТС"_cp);
  EXPECT_TRUE(frm->chbTransliterate->isEnabled());
  frm->chbTransliterate->setChecked(false);
  EXPECT_TRUE(CanSend());
  EXPECT_FALSE(frm->FUserTranslit);
}

TEST_F(Composer, SubjectAndAttachmentChecksForAnMmsGate) {
  frm->Action("aMMS")->trigger();
  frm->cbTo->SetTextNoSuggest("79161234567");
  frm->FillGateList();
  ASSERT_EQ(frm->GetSelectedGate()->Name, "MmsGate");
  EXPECT_TRUE(frm->gbMM->isEnabled());
  EXPECT_TRUE(frm->cbSubject->isEnabled());
  frm->SetMemoText("Hi");
  frm->cbSubject->setEditText("12345");
  EXPECT_TRUE(CanSend()) << "a subject exactly as long as allowed";
  frm->cbSubject->setEditText("123456");
  EXPECT_EQ(Status(), "Тема сообщения превышает допустимый размер 5 символов"_cp);
  EXPECT_FALSE(CanSend());
  frm->cbSubject->setEditText("");

  ASSERT_TRUE(frm->AddMultimediaFile(profile.Write("tune.wav", std::string(100, 'w'))));
  EXPECT_EQ(Status(), "Оператор не поддерживает аудио"_cp);
  EXPECT_FALSE(CanSend());
  ASSERT_TRUE(frm->AddMultimediaFile(profile.Write("big.bmp", "BM" + std::string(2000, 'x'))));
  EXPECT_EQ(Status(), "Размер мультимедия превышает допустимый предел"_cp);
  EXPECT_EQ(frm->FMediaError, "Размер мультимедия превышает допустимый предел"_cp);
  ASSERT_TRUE(frm->AddMultimediaFile(profile.Write("fits.bmp", "BM" + std::string(1998, 'x'))));
  EXPECT_EQ(Status(), "Готово к отправке"_cp);
  EXPECT_TRUE(CanSend());
  frm->Action("aDeleteMultimedia")->trigger();
  EXPECT_EQ(CpStr(frm->lbMMSize->text()), "Размер: 0.00 Кб"_cp);
}

TEST_F(Composer, AnAttachmentIsReadFirstAndShownByItsContent) {
  frm->Action("aMMS")->trigger();
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(Qt::red);
  std::string png = profile.File("pic.jpg");  // the name lies: the bytes are PNG
  ASSERT_TRUE(picture.save(QString::fromStdString(png), "PNG"));
  ASSERT_TRUE(frm->AddMultimediaFile(png));
  auto entry = [&](std::string_view key) { return VarToStr(frm->FMedia->GetItemNamed(key)); };
  EXPECT_EQ(entry(ContentKey::FileName), "pic.jpg");
  EXPECT_EQ(entry(ContentKey::ContentType), "image/png");
  EXPECT_EQ(entry(ContentKey::Type), "1");
  EXPECT_EQ(entry(ContentKey::ImageDimension), "40x30");
  EXPECT_EQ(CpStr(frm->lbMMDim->text()), "Разрешение: 40x30"_cp);
  EXPECT_FALSE(frm->imgData->pixmap().isNull());
  EXPECT_EQ(frm->imgData->pixmap().toImage().pixelColor(20, 15), QColor(Qt::red));
  EXPECT_TRUE(frm->Action("aDeleteMultimedia")->isEnabled());

  // A file that cannot be read, or is far too large, leaves it in place.
  std::string before = frm->FMedia->Stream()->Bytes();
  EXPECT_FALSE(frm->AddMultimediaFile(profile.File("missing.gif")));
  std::filesystem::resize_file(profile.Write("huge.wav", ""), 16 * 1024 * 1024 + 1);
  EXPECT_FALSE(frm->AddMultimediaFile(profile.File("huge.wav")));
  ASSERT_EQ(frm->messages.size(), 2u);
  EXPECT_EQ(frm->messages[0], "Не удалось прочитать файл missing.gif"_cp);
  EXPECT_NE(frm->messages[1].find("huge.wav"_cp), std::string::npos);
  ASSERT_NE(frm->FMedia->Stream(), nullptr);
  EXPECT_EQ(frm->FMedia->Stream()->Bytes(), before);

  // Not a picture after all: no preview, no dimension.
  ASSERT_TRUE(frm->AddMultimediaFile(profile.Write("broken.png", "not a picture")));
  EXPECT_TRUE(frm->imgData->pixmap().isNull());
  EXPECT_EQ(entry(ContentKey::ImageDimension), "");
  EXPECT_EQ(entry(ContentKey::Type), "1");

  // A sound shows the sound icon, greyed while the group is disabled.
  ASSERT_TRUE(frm->AddMultimediaFile(profile.Write("ring.mid", "MThd....")));
  EXPECT_EQ(entry(ContentKey::Type), "2");
  ASSERT_NE(frm->FAudioIcon, nullptr);
  QImage live = frm->imgData->pixmap().toImage();
  ASSERT_FALSE(live.isNull());
  frm->Action("aSMS")->trigger();
  EXPECT_FALSE(frm->gbMM->isEnabled());
  QImage grey = frm->imgData->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  QColor centre = grey.pixelColor(grey.width() / 2, grey.height() / 2);
  EXPECT_EQ(centre.red(), centre.green());
  EXPECT_EQ(centre.green(), centre.blue());
  EXPECT_LE(centre.alpha(), 127);
  EXPECT_NE(live.pixelColor(live.width() / 2, live.height() / 2), centre);
}

TEST_F(Composer, BuiltMessagesCarryEveryKey) {
  frm->cbTo->SetTextNoSuggest(QStr("Ивлев [+7 916 765-43-21]"_cp));
  frm->FillGateList();
  SelectGate("МТС"_cp);
  frm->SetMemoText("Text");
  frm->cbSignature->setEditText("Sig");
  frm->chbFlash->setChecked(true);
  frm->chbDeliveryTime->setChecked(true);
  auto sms = frm->BuildMessage(false);
  auto text = [](const TPropList& m, std::string_view key) { return VarToStr(m.GetItemNamed(key)); };
  EXPECT_EQ(text(*sms, MsgKey::MessageType), "SMS");
  EXPECT_EQ(text(*sms, MsgKey::Phone), "79167654321");
  EXPECT_EQ(text(*sms, MsgKey::GateName), "MTS");
  EXPECT_EQ(text(*sms, MsgKey::Text), "Text\r\nSig");
  EXPECT_EQ(text(*sms, MsgKey::Message), "Text");
  EXPECT_EQ(text(*sms, MsgKey::Signature), "Sig");
  EXPECT_TRUE(sms->GetItemNamed(MsgKey::Flash).AsBoolean());
  EXPECT_TRUE(sms->GetItemNamed(MsgKey::Delivery).AsBoolean());
  EXPECT_FALSE(sms->GetItemNamed(MsgKey::Translit).AsBoolean());
  EXPECT_FALSE(sms->Exists(MsgKey::TranslitTableName));
  EXPECT_FALSE(sms->Exists(MsgKey::Subject));
  EXPECT_EQ(sms->MultiMedia(), nullptr);

  frm->Action("aMMS")->trigger();
  frm->cbSubject->setEditText(QStr("Тема"_cp));
  frm->chbTransliterate->setChecked(true);
  auto mms = frm->BuildMessage(false);
  EXPECT_EQ(text(*mms, MsgKey::MessageType), "MMS");
  EXPECT_EQ(text(*mms, MsgKey::GateName), "MmsGate");
  EXPECT_EQ(text(*mms, MsgKey::Subject_Orig), "Тема"_cp);
  EXPECT_EQ(text(*mms, MsgKey::Subject), "Tema");
  EXPECT_EQ(text(*mms, MsgKey::TranslitTableName), CpStr(frm->cbTranslTable->currentText()));
  ASSERT_NE(mms->MultiMedia(), nullptr);
  EXPECT_EQ(text(*mms->MultiMedia(), ContentKey::FileName), "empty.gif");
  EXPECT_EQ(text(*mms->MultiMedia(), ContentKey::ImageDimension), "1x1");
  EXPECT_EQ(text(*mms->MultiMedia(), ContentKey::Type), "1");
  EXPECT_EQ(mms->MultiMedia()->Stream()->Position(), 0);
  EXPECT_EQ(frm->BuildMessage(true)->MultiMedia()->Stream(), nullptr) << "a file keeps no placeholder";
  // A gate that sends without an attachment gets none.
  AddGateInfo(*Database, "MmsGate", "SendWOMultimedia", "1");
  frm->FillGateList();
  EXPECT_EQ(frm->BuildMessage(false)->MultiMedia()->Stream(), nullptr);
}

// Ctrl with either Enter key sends from the memo and never breaks a line.
TEST_F(Composer, CtrlEnterInTheMemoSendsWithoutALineBreak) {
  Show();
  // Only the keys are looked at here: the send itself stays out.
  QObject::disconnect(frm->Action("aSendSMS"), &QAction::triggered, frm.get(), nullptr);
  QSignalSpy sent(frm->Action("aSendSMS"), &QAction::triggered);
  frm->mMsg->setFocus();
  QTest::keyClicks(frm->mMsg, "ab");
  QTest::keyClick(frm->mMsg, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(frm->mMsg, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(frm->MemoText(), "ab") << "not allowed to send, and still no line break";
  EXPECT_EQ(sent.count(), 0);
  frm->cbTo->SetTextNoSuggest("79161234567");
  frm->FillGateList();
  frm->cbSignature->setEditText("");
  ASSERT_TRUE(CanSend());
  frm->mMsg->setFocus();
  QTest::keyClick(frm->mMsg, Qt::Key_Return, Qt::ControlModifier);
  QTest::keyClick(frm->mMsg, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(sent.count(), 2);
  EXPECT_EQ(frm->MemoText(), "ab");
  QTest::keyClick(frm->mMsg, Qt::Key_Return);
  EXPECT_EQ(frm->MemoText(), "ab\r\n") << "a plain Enter still breaks the line";
}

TEST_F(Composer, RecentItemsComeToTheTopAndDeleteFromTheOpenList) {
  auto stored = [](int kind) {
    std::vector<std::string> items;
    TLastItems::Load(kind, items);
    return items;
  };
  auto listed = [&] {
    std::vector<std::string> items;
    for (int i = 0; i < frm->cbSubject->count(); ++i) items.push_back(CpStr(frm->cbSubject->itemText(i)));
    return items;
  };
  size_t seeded = stored(TLastItems::kSubject).size();
  for (const char* subject : {"one", "two", "three"}) {
    frm->cbSubject->setEditText(subject);
    frm->RememberLastItem(TLastItems::kSubject);
  }
  frm->cbSubject->setEditText("two");
  frm->RememberLastItem(TLastItems::kSubject);
  EXPECT_EQ(frm->cbSubject->currentText(), "two");
  std::vector<std::string> all = listed(), top(all.begin(), all.begin() + 3);
  EXPECT_EQ(top, (std::vector<std::string>{"two", "three", "one"})) << "used again: to the top, listed once";
  // Stored by the second: the order of items used in one second is the
  // database's, the list's is the order of use.
  auto sorted = [](std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
  };
  EXPECT_EQ(sorted(listed()), sorted(stored(TLastItems::kSubject)));
  EXPECT_EQ(listed().size(), seeded + 3);
  size_t signatures = stored(TLastItems::kSignature).size();
  frm->cbSignature->setEditText("");
  frm->RememberLastItem(TLastItems::kSignature);
  EXPECT_EQ(stored(TLastItems::kSignature).size(), signatures) << "an empty text is not remembered";

  Show();
  frm->Action("aMMS")->trigger();
  frm->cbSubject->setEditText("typed");
  frm->cbSubject->setFocus();
  frm->cbSubject->showPopup();
  QAbstractItemView* view = frm->cbSubject->view();
  view->setCurrentIndex(view->model()->index(1, 0));
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(listed().size(), seeded + 2);
  EXPECT_EQ(listed()[1], "one");
  EXPECT_EQ(view->currentIndex().row(), 1) << "the same position";
  EXPECT_EQ(frm->cbSubject->currentText(), "typed") << "the field keeps its text";
  int last = frm->cbSubject->count() - 1;
  view->setCurrentIndex(view->model()->index(last, 0));
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_EQ(frm->cbSubject->count(), last);
  EXPECT_EQ(view->currentIndex().row(), last - 1) << "the last was deleted: the new last";
  EXPECT_EQ(sorted(listed()), sorted(stored(TLastItems::kSubject)));
  frm->cbSubject->hidePopup();
}

// What the code page lacks is shown as "?" at once: counted and sent as
// shown, never silently.
TEST_F(Composer, TextTheCodePageCannotHoldIsShownReplaced) {
  Show();
  frm->mMsg->setFocus();
  QApplication::clipboard()->setText(QString::fromUtf8("a\xF0\x9F\x98\x80" "b\xC3\xA9\xD0\xAF"));  // a, emoji, b, é, Я
  frm->mMsg->paste();
  EXPECT_EQ(frm->mMsg->toPlainText(), QString::fromUtf8("a?b?\xD0\xAF"));
  EXPECT_EQ(frm->MemoText(), "a?b?"_cp + "Я"_cp);
  frm->mMsg->undo();
  EXPECT_EQ(frm->mMsg->toPlainText(), "") << "undone as one step with the paste";
  frm->cbSignature->setFocus();
  frm->cbSignature->lineEdit()->selectAll();
  TypeInto(frm->cbSignature, QString::fromUtf8("x\xE2\x82\xAC\xE2\x84\x96\xC3\xB1"));  // €, №, ñ
  EXPECT_EQ(frm->cbSignature->currentText(), QString::fromUtf8("x\xE2\x82\xAC\xE2\x84\x96?"));
  EXPECT_TRUE(frm->FSignatureByUser);
}

// A message longer than the longest text could be neither saved nor sent:
// the memo never holds more, however the text comes, a line break counting
// one character.
TEST_F(Composer, TheMemoHoldsNoMoreThanTheLongestMessageText) {
  Show();
  const int kLongest = static_cast<int>(kMaxMessageText);
  auto held = [&] { return frm->mMsg->document()->characterCount() - 1; };
  frm->mMsg->setFocus();
  frm->SetMemoText("ab");
  frm->mMsg->moveCursor(QTextCursor::End);
  QApplication::clipboard()->setText(QString("x\r\n").repeated(kLongest));
  frm->Action("aPaste")->trigger();
  EXPECT_EQ(held(), kLongest);
  EXPECT_EQ(frm->MemoText().substr(0, 5), "abx\r\n");
  QTest::keyClicks(frm->mMsg, "yz");
  QTest::keyClick(frm->mMsg, Qt::Key_Return);
  EXPECT_EQ(held(), kLongest) << "typing at the maximum writes nothing";
  QTest::keyClick(frm->mMsg, Qt::Key_Backspace);
  QTest::keyClicks(frm->mMsg, "yz");
  EXPECT_EQ(held(), kLongest);
  EXPECT_EQ(frm->mMsg->toPlainText().right(2), "xy");
  frm->mMsg->undo();
  frm->mMsg->undo();
  frm->mMsg->undo();
  EXPECT_EQ(frm->MemoText(), "ab") << "the cut paste is undone as one step";

  // Over a selection the paste takes the selection's room; a text set
  // from a template, the history or a file is cut as well.
  frm->SetMemoText(std::string(kLongest, 'q'));
  QTextCursor cursor = frm->mMsg->textCursor();
  cursor.setPosition(10);
  cursor.setPosition(13, QTextCursor::KeepAnchor);
  frm->mMsg->setTextCursor(cursor);
  QApplication::clipboard()->setText(QString::fromUtf8("1\xF0\x9F\x98\x80" "345"));  // an emoji: one "?"
  frm->Action("aPaste")->trigger();
  EXPECT_EQ(held(), kLongest);
  EXPECT_EQ(frm->mMsg->toPlainText().mid(9, 5), "q1?3q");
  frm->SetMemoText(std::string(kLongest + 100, 'w'));
  EXPECT_EQ(held(), kLongest);
  // A run no line can hold is broken anywhere: word by word its layout
  // grows with the square of its length.
  EXPECT_EQ(frm->mMsg->wordWrapMode(), QTextOption::WrapAnywhere);
  frm->SetMemoText("short words");
  EXPECT_EQ(frm->mMsg->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

TEST_F(Composer, NewEmptiesTheComposerAndKeepsTheGateInUsePreferred) {
  frm->cbTo->SetTextNoSuggest("79161234567");
  frm->FillGateList();
  SelectGate("Латиница"_cp);
  frm->SetMemoText("text");
  frm->cbSignature->setEditText("mine");
  frm->FSignatureByUser = true;
  frm->aNewExecute();
  EXPECT_EQ(frm->cbTo->currentText(), "");
  EXPECT_EQ(frm->cbGate->count(), 0);
  EXPECT_EQ(frm->MemoText(), "");
  EXPECT_EQ(frm->FContact->GateName, "Plain") << "matched while the old gate was still selected";
  EXPECT_FALSE(frm->FSignatureByUser);
  EXPECT_EQ(frm->cbSignature->currentText(), QStr(Options->ReadString("Message\\Signature")));
  EXPECT_EQ(Status(), "Введите номер абонента"_cp);
}

}  // namespace
