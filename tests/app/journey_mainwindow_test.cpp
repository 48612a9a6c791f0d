// Journeys that start in the main window and pass through the others: the
// phone book's choice becoming the recipient, an edited contact showing up
// in the suggestions, options kept on OK and dropped on Escape, a gate
// switched off in the gate manager, templates saved and picked, a sent
// message found in the history and sent again. Each ends in what was stored
// and in what the composer shows.
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeView>

#include "app/datawindows.h"
#include "app/mainwindow.h"
#include "gatemngfrm.h"
#include "history.h"
#include "historyfrm.h"
#include "optionsfrm.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "journey.h"
#include "qtwait.h"
#include "suggestedit.h"
#include "templatefrm.h"

namespace {

class MainWindowJourney : public MainWindowTest {
 protected:
  std::unique_ptr<TestFrm> frm;

  void SetUp() override {
    MainWindowTest::SetUp();
    WithDatabase([](TSQLiteDatabase& db) {
      AddGate(db, "MTS", "МТС"_cp, "7916");
      AddGate(db, "Megafon", "Мегафон"_cp, "7916");
      for (const char* gate : {"MTS", "Megafon"}) AddGateInfo(db, gate, "MaxSymbols", "160");
    });
    frm = Start();
    frm->show();
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    // The first start leaves its sample text; a new message starts empty,
    // with the recipient to be typed first.
    ASSERT_EQ(frm->MemoText(), "Привет. Как дела? Что делаешь? ;)"_cp);
    QTest::keyClick(frm.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(frm->MemoText(), "");
    ASSERT_EQ(QApplication::focusWidget(), frm->cbTo);
  }
  void TearDown() override {
    if (frm) frm->FormDestroy();
    frm.reset();
    TTemplateList::SetManagerHook(nullptr);
    TPhoneBook::SetContactEditorHook(nullptr);
    MainWindowTest::TearDown();
  }

  // Puts the focus on the phone book's contact list and selects its first row.
  static void OnFirstContact(TPhoneBookFrm& book) {
    book.lvItems->setFocus();
    book.SelectRow(0);
  }
  // Types a recipient into the composer as a person does.
  void TypeRecipient(const QString& text) {
    frm->cbTo->setFocus();
    frm->cbTo->lineEdit()->selectAll();
    Type(text);
  }
  // Runs the main window's action and waits until the window is active
  // again, as it is for a person once the window the action opened has gone.
  void Run(const char* action) {
    frm->Action(action)->trigger();
    ASSERT_TRUE(Reactivate(*frm));
  }
  static std::string IniText(const std::string& key) {
    TIniStorage ini(ProfileDir + "Parlomix.ini");
    return ini.ReadString(key, "<none>");
  }
};

TEST_F(MainWindowJourney, AContactAddedInThePhoneBookBecomesTheRecipient) {
  In<TPhoneBookFrm>([](TPhoneBookFrm& book) {
    In<TEditPhoneFrm>([](TEditPhoneFrm&) {
      Type(QStr("Смирнов"_cp));
      Press(Qt::Key_Tab);
      Type("79165554433");
      Press(Qt::Key_Return);
    });
    book.Action("aAddItem")->trigger();
    ASSERT_TRUE(Reactivate(book));
    ASSERT_NE(book.GetSelectedItem(), nullptr);
    book.Action("aSendSMS")->trigger();
  });
  QTest::keyClick(frm.get(), Qt::Key_B, Qt::ControlModifier);
  ASSERT_TRUE(Reactivate(*frm));

  EXPECT_EQ(Utf8(frm->cbTo->currentText()), "Смирнов [+7 916 555-44-33]");
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp, "Мегафон"_cp}));
  EXPECT_EQ(QApplication::focusWidget(), frm->mMsg) << "the text comes next";
  Type("Hello");
  frm->UpdateActions();
  EXPECT_TRUE(frm->Action("aSendSMS")->isEnabled()) << Utf8(frm->StatusPanel0->text());
  EXPECT_EQ(TPhoneBook::GetNameByPhone("79165554433"), "Смирнов"_cp);
}

TEST_F(MainWindowJourney, TheSuggestionsFollowAContactRenamedAndDeletedInThePhoneBook) {
  TPhoneBookItem item;
  item.Name = "Смирнов"_cp;
  item.Phone = "79165554433";
  TPhoneBook::AddItem(item);
  TypeRecipient(QStr("Сми"_cp));
  EXPECT_EQ(SuggestedRows(*frm), (std::vector<std::string>{"Смирнов [+7 916 555-44-33]"_cp}));
  Press(Qt::Key_Escape);

  In<TPhoneBookFrm>([](TPhoneBookFrm& book) {
    OnFirstContact(book);
    In<TEditPhoneFrm>([](TEditPhoneFrm& editor) {
      editor.edName->selectAll();
      Type(QStr("Смирнова"_cp));
      Press(Qt::Key_Return);
    });
    book.Action("aEditItem")->trigger();
    ASSERT_TRUE(Reactivate(book));
    Press(Qt::Key_Escape);
  });
  Run("aPhoneBook");
  TypeRecipient(QStr("Сми"_cp));
  EXPECT_EQ(SuggestedRows(*frm), (std::vector<std::string>{"Смирнова [+7 916 555-44-33]"_cp}));
  Press(Qt::Key_Escape);

  In<TPhoneBookFrm>([](TPhoneBookFrm& book) {
    OnFirstContact(book);
    AnswerBox(QMessageBox::Yes);
    book.Action("aDeleteItem")->trigger();
    book.Action("aClose")->trigger();
  });
  Run("aPhoneBook");
  TypeRecipient(QStr("Сми"_cp));
  EXPECT_TRUE(SuggestedRows(*frm).empty());
}

// Opens the options, types a signature over the old one, flips "minimise to the tray" with the mouse, and leaves with `key` from the signature field.
static void EditOptions(const QString& signature, Qt::Key key, bool trayBefore) {
  In<TOptionsFrm>([=](TOptionsFrm& options) {
    EXPECT_EQ(options.pgOptions->currentIndex(), 0);
    EXPECT_EQ(options.chbMinimizeToTray->isChecked(), trayBefore) << "opened with what was stored";
    options.edSignature->setFocus();
    options.edSignature->selectAll();
    Type(signature);
    QTest::mouseClick(options.chbMinimizeToTray, Qt::LeftButton);
    EXPECT_NE(options.chbMinimizeToTray->isChecked(), trayBefore) << "a click on the box flips it";
    options.edSignature->setFocus();
    Press(key);
  });
}

TEST_F(MainWindowJourney, OptionsAreKeptOnOkAndDroppedOnEscape) {
  ASSERT_EQ(Options->ReadString("Message\\Signature"), "");
  EditOptions(QStr("Вася"_cp), Qt::Key_Return, false);
  Run("aOptions");
  EXPECT_EQ(Options->ReadString("Message\\Signature"), "Вася"_cp);
  EXPECT_TRUE(Options->ReadBool("Interface\\MinimizeToTray"));
  // On disk at once; the next new message is signed with it.
  EXPECT_EQ(IniText("Message\\Signature"), "Вася"_cp);
  QTest::keyClick(frm.get(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Utf8(frm->cbSignature->currentText()), "Вася");

  EditOptions(QStr("Петя"_cp), Qt::Key_Escape, true);
  Run("aOptions");
  EXPECT_EQ(Options->ReadString("Message\\Signature"), "Вася"_cp);
  EXPECT_TRUE(Options->ReadBool("Interface\\MinimizeToTray"));
  EXPECT_EQ(IniText("Message\\Signature"), "Вася"_cp);

  // The window's close button is a cancel too.
  In<TOptionsFrm>([](TOptionsFrm& options) {
    options.edSignature->setFocus();
    options.edSignature->selectAll();
    Type(QStr("Коля"_cp));
    options.close();
  });
  Run("aOptions");
  EXPECT_EQ(Options->ReadString("Message\\Signature"), "Вася"_cp);
}

TEST_F(MainWindowJourney, AGateSwitchedOffInTheGateManagerLeavesTheComposersChoices) {
  TypeRecipient("79161234567");
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp, "Мегафон"_cp}));
  frm->cbGate->setCurrentIndex(1);

  In<TGateMngFrm>([](TGateMngFrm& manager) {
    // Opened from the gate information: positioned on the composer's gate.
    EXPECT_EQ(Utf8(manager.lbGates->currentIndex().data().toString()), "Мегафон");
    QTest::mouseClick(manager.chbDisabled, Qt::LeftButton);
    EXPECT_TRUE(manager.chbDisabled->isChecked());
    QTest::mouseClick(manager.btClose, Qt::LeftButton);
  });
  Run("aShowGateInfo");
  EXPECT_EQ(Database->GetIntValue("SELECT Disabled FROM gates.Gate WHERE Name='Megafon'"), 1);

  TypeRecipient("79161234568");
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp}));

  In<TGateMngFrm>([](TGateMngFrm& manager) {
    EXPECT_EQ(Utf8(manager.lbGates->currentIndex().data().toString()), "МТС") << "the first by caption";
    EXPECT_FALSE(manager.chbDisabled->isChecked());
    manager.lbGates->setFocus();
    Press(Qt::Key_Down);
    EXPECT_EQ(Utf8(manager.lbGates->currentIndex().data().toString()), "Мегафон");
    EXPECT_TRUE(manager.chbDisabled->isChecked()) << "the arrow key shows the gate as a click does";
    QTest::mouseClick(manager.chbDisabled, Qt::LeftButton);
    manager.lbGates->setFocus();
    Press(Qt::Key_Escape);
  });
  Run("aShowGatesMng");
  EXPECT_EQ(Database->GetIntValue("SELECT Disabled FROM gates.Gate WHERE Name='Megafon'"), 0)
      << "the flag is stored when clicked, whatever closes the window";
  TypeRecipient("79161234567");
  EXPECT_EQ(GateEntries(*frm), (std::vector<std::string>{"МТС"_cp, "Мегафон"_cp}));
}

TEST_F(MainWindowJourney, ATemplateSavedFromTheMessageIsPickedLater) {
  frm->mMsg->setFocus();
  Type(QStr("Опаздываю, буду через час"_cp));
  In<TTemplateFrm>([](TTemplateFrm& manager) {
    EXPECT_EQ(QApplication::focusWidget(), manager.mText);
    EXPECT_EQ(Utf8(manager.edName->text()), "Опаздываю, буду через");
    Press(Qt::Key_Escape);
  });
  QTest::keyClick(frm->mMsg, Qt::Key_T, Qt::ControlModifier);
  ASSERT_TRUE(Reactivate(*frm));
  TTemplateItemList stored;
  TTemplateList::Load(stored);
  ASSERT_GT(stored.Count(), 0);
  const int count = stored.Count();
  EXPECT_EQ(stored[count - 1]->Text, "Опаздываю, буду через час"_cp) << "the new template comes last";

  frm->aNewExecute();
  In<TTemplateFrm>([count](TTemplateFrm& manager) {
    ASSERT_EQ(manager.lbTemplates->count(), count);
    EXPECT_EQ(manager.lbTemplates->currentRow(), 0);
    manager.lbTemplates->setFocus();
    Press(Qt::Key_End);
    EXPECT_EQ(Utf8(manager.edName->text()), "Опаздываю, буду через");
    manager.mText->setFocus();
    manager.mText->moveCursor(QTextCursor::End);
    Type(" |");
    manager.Action("aSelect")->trigger();
  });
  Run("aTemplateMgr");
  EXPECT_EQ(frm->MemoText(), "Опаздываю, буду через час "_cp) << "the edited text, without the bar";
  EXPECT_EQ(frm->mMsg->textCursor().position(), frm->mMsg->toPlainText().size());
  TTemplateItemList again;
  TTemplateList::Load(again);
  ASSERT_EQ(again.Count(), count);
  EXPECT_EQ(again[count - 1]->Text, "Опаздываю, буду через час"_cp) << "the template itself was not saved";
}

TEST_F(MainWindowJourney, ASentMessageIsFoundInTheHistoryAndSentAgain) {
  TypeRecipient("79161234567");
  frm->mMsg->setFocus();
  Type("Hello");
  // What the send dispatcher hands back when its window has closed.
  std::unique_ptr<TSMS> sent = frm->BuildMessage(false);
  frm->AfterSend("MTS", *sent, 1, "");
  frm->aNewExecute();
  ASSERT_EQ(frm->MemoText(), "");

  In<THistoryFrm>([](THistoryFrm& history) {
    QAbstractItemModel* rows = history.lvHistory->model();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(Utf8(rows->index(0, 1).data().toString()), "+7 916 123-45-67");
    EXPECT_EQ(Utf8(rows->index(0, 2).data().toString()), "Hello");
    EXPECT_EQ(Utf8(rows->index(0, 4).data().toString()), "Доставлено");
    EXPECT_EQ(SelectedRowOf(*history.lvHistory), 0);
    history.Action("aSendSMS")->trigger();
  });
  QTest::keyClick(frm.get(), Qt::Key_H, Qt::ControlModifier);
  ASSERT_TRUE(Reactivate(*frm));
  EXPECT_EQ(frm->MemoText(), "Hello");
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_EQ(QApplication::focusWidget(), frm->mMsg);

  // The contact's history of another number is empty; Escape leaves it.
  TypeRecipient("79169999999");
  In<THistoryFrm>([](THistoryFrm& history) {
    EXPECT_EQ(history.lvHistory->model()->rowCount(), 0);
    Press(Qt::Key_Escape);
  });
  Run("aContactHistory");
  EXPECT_EQ(frm->MemoText(), "Hello");
}

}  // namespace

namespace {

TEST_F(MainWindowJourney, KeysSwitchTheTypeAndTheToButtonOpensTheContacts) {
  TypeRecipient("79161234567");
  ASSERT_EQ(GateEntries(*frm).size(), 2u);
  QTest::keyClick(frm.get(), Qt::Key_F3);
  EXPECT_TRUE(frm->Action("aMMS")->isChecked());
  EXPECT_TRUE(GateEntries(*frm).empty()) << "no MMS gate serves the number";
  EXPECT_EQ(Utf8(frm->StatusPanel0->text()), "Не найден оператор");
  // Nothing is ready, so Ctrl+Enter opens no send window.
  frm->mMsg->setFocus();
  Type("Hi");
  QTest::keyClick(frm->mMsg, Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  QTest::keyClick(frm.get(), Qt::Key_F2);
  EXPECT_TRUE(frm->Action("aSMS")->isChecked());
  EXPECT_EQ(GateEntries(*frm).size(), 2u);

  bool opened = false;
  In<TPhoneBookFrm>([&opened](TPhoneBookFrm&) {
    opened = true;
    Press(Qt::Key_Escape);
  });
  QTest::mouseClick(frm->btTo, Qt::LeftButton);
  EXPECT_TRUE(opened);
  EXPECT_TRUE(Reactivate(*frm));
  EXPECT_EQ(frm->RecipientPhone(), "79161234567") << "a cancelled phone book changes nothing";
}

TEST_F(MainWindowJourney, TheRecipientIsAddedToTheContactsAndAHistoryTextAppended) {
  TypeRecipient("+7 916 123-45-67");
  In<TEditPhoneFrm>([](TEditPhoneFrm& editor) {
    EXPECT_EQ(Utf8(editor.edPhone->text()), "79161234567");
    EXPECT_EQ(Utf8(editor.edName->text()), "");
    EXPECT_EQ(QApplication::focusWidget(), editor.edName);
    Type(QStr("Иван"_cp));
    Press(Qt::Key_Return);
  });
  Run("aAddToPhoneBook");
  auto stored = TPhoneBook::GetItemByPhone("79161234567");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Name, "Иван"_cp);
  EXPECT_EQ(stored->GroupID, 0);

  // A row of the history appended twice to the message; the window stays.
  frm->mMsg->setFocus();
  Type("Hello");
  std::unique_ptr<TSMS> sent = frm->BuildMessage(false);
  frm->AfterSend("MTS", *sent, 0, "");
  // Cleared after the send, as the options say by default.
  EXPECT_EQ(frm->MemoText(), "");
  EXPECT_EQ(Utf8(frm->cbTo->currentText()), "");
  TypeRecipient(QStr("Иван"_cp));
  In<THistoryFrm>([](THistoryFrm& history) {
    ASSERT_EQ(history.lvHistory->model()->rowCount(), 1);
    EXPECT_EQ(Utf8(history.lvHistory->model()->index(0, 1).data().toString()), "Иван [+7 916 123-45-67]");
    EXPECT_EQ(Utf8(history.lvHistory->model()->index(0, 4).data().toString()), "Не поддерживается или отключен");
    history.Action("aPasteText")->trigger();
    history.Action("aPasteText")->trigger();
    EXPECT_TRUE(history.isVisible());
    history.Action("aClose")->trigger();
  });
  Run("aContactHistory");
  EXPECT_EQ(frm->MemoText(), "Hello\r\nHello");
}

}  // namespace

namespace {

TEST_F(MainWindowJourney, ArrowKeysInTheHistoryMoveTheDateTreeAlong) {
  for (const char* text : {"First", "Second"}) {
    TypeRecipient("79161234567");
    frm->mMsg->setFocus();
    Type(text);
    std::unique_ptr<TSMS> sent = frm->BuildMessage(false);
    frm->AfterSend("MTS", *sent, 1, "");
  }
  In<THistoryFrm>([](THistoryFrm& history) {
    ASSERT_EQ(SelectedRowOf(*history.lvHistory), 1) << "the newest is selected";
    QModelIndex day = history.tvDates->currentIndex();
    ASSERT_TRUE(day.isValid());
    history.lvHistory->setFocus();
    Press(Qt::Key_Up);
    EXPECT_EQ(SelectedRowOf(*history.lvHistory), 0);
    EXPECT_EQ(history.tvDates->currentIndex(), day) << "both were sent on the same day";
    history.Action("aSendSMS")->trigger();
  });
  Run("aHistory");
  EXPECT_EQ(frm->MemoText(), "First");
}

TEST_F(MainWindowJourney, TheCloseButtonHidesToTheTrayOnlyWhenTheOptionsSaySo) {
  Options->WriteBool("Interface\\CloseToTray", true);
  frm->close();
  EXPECT_FALSE(frm->isVisible());
  EXPECT_FALSE(frm->Exiting());
  EXPECT_TRUE(frm->Tray()->isVisible()) << "the way back";
  frm->ToggleVisible();
  EXPECT_TRUE(frm->isVisible());
  // The exit command ends the program whatever the option says.
  frm->Action("aExit")->trigger();
  EXPECT_TRUE(frm->Exiting());
  EXPECT_FALSE(frm->isVisible());
}

}  // namespace
