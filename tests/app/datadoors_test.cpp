// The main window's doors to the phone book, the history, the contact
// editor, the template manager and the about box, as a user goes through
// them.
#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

#include "aboutfrm.h"
#include "datawindows.h"
#include "history.h"
#include "historyfrm.h"
#include "mainwindow.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "templatefrm.h"

namespace {

class DataDoors : public MainWindowTest {
 protected:
  void TearDown() override {
    TTemplateList::SetManagerHook(nullptr);
    TPhoneBook::SetContactEditorHook(nullptr);
    MainWindowTest::TearDown();
  }
  static void SelectRowOf(QTreeView* view, int row) {
    view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
};

TEST_F(DataDoors, AContactChosenInThePhoneBookBecomesTheRecipient) {
  auto frm = Start();
  TPhoneBookItem item;
  item.Name = "Петров"_cp;
  item.Phone = "79031112233";
  TPhoneBook::AddItem(item);
  std::string caption;
  WhenModal([&](QWidget* w) {
    auto* book = qobject_cast<TPhoneBookFrm*>(w);
    ASSERT_NE(book, nullptr);
    caption = Utf8(book->windowTitle());
    book->Action("aSendSMS")->trigger();
  });
  frm->Action("aPhoneBook")->trigger();
  EXPECT_EQ(caption, "Адресная книга");
  EXPECT_EQ(frm->RecipientPhone(), "79031112233");

  // Closed without a choice: the recipient stays.
  frm->cbTo->setEditText("123");
  WhenModal([](QWidget* w) { static_cast<TPhoneBookFrm*>(w)->Action("aClose")->trigger(); });
  frm->btTo->click();
  EXPECT_EQ(Utf8(frm->cbTo->currentText()), "123");
}

TEST_F(DataDoors, AMessageFromTheHistoryIsSentAgainOrAdded) {
  auto frm = Start();
  THistoryItem sent;
  sent.Phone = "79161234567";
  sent.Message = "Старый текст"_cp;
  THistory::Add(sent);
  sent.Phone = "79031112233";
  sent.Message = "Другой"_cp;
  THistory::Add(sent);

  WhenModal([](QWidget* w) {
    auto* history = qobject_cast<THistoryFrm*>(w);
    ASSERT_NE(history, nullptr);
    history->SelectRow(0);
    history->Action("aSendSMS")->trigger();
  });
  frm->Action("aHistory")->trigger();
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_EQ(frm->MemoText(), "Старый текст"_cp);

  // Only the recipient's messages, added to the memo; the window stays
  // until closed.
  frm->cbTo->setEditText(QStr("Петров [+7 903 111-22-33]"_cp));
  int rows = -1;
  WhenModal([&](QWidget* w) {
    auto* history = static_cast<THistoryFrm*>(w);
    rows = history->Items().Count();
    history->Action("aPasteText")->trigger();
    EXPECT_TRUE(history->isVisible());
    history->Action("aClose")->trigger();
  });
  frm->Action("aContactHistory")->trigger();
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(frm->MemoText(), "Старый текст\r\nДругой"_cp);
}

TEST_F(DataDoors, AddToContactsOffersTheRecipientInTheEditor) {
  auto frm = Start();
  frm->cbTo->setEditText(QStr("Вася [+7 916 555-12-34]"_cp));
  std::string name, phone;
  WhenModal([&](QWidget* w) {
    auto* editor = qobject_cast<TEditPhoneFrm*>(w);
    ASSERT_NE(editor, nullptr);
    name = Utf8(editor->edName->text());
    phone = Utf8(editor->edPhone->text());
    editor->btOK->click();
  });
  frm->Action("aAddToPhoneBook")->trigger();
  EXPECT_EQ(name, "Вася");
  EXPECT_EQ(phone, "79165551234");
  EXPECT_EQ(TPhoneBook::GetNameByPhone("79165551234"), "Вася"_cp);
}

TEST_F(DataDoors, TheTemplateManagerTakesAndGivesTheMessageText) {
  auto frm = Start();
  frm->SetMemoText("Буду дома к семи часам"_cp);
  WhenModal([](QWidget* w) {
    auto* manager = qobject_cast<TTemplateFrm*>(w);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(Utf8(manager->lbTemplates->currentItem()->text()), "Буду дома к");
    manager->Action("aClose")->trigger();
  });
  frm->Action("aSaveTemplate")->trigger();
  TTemplateItemList list;
  TTemplateList::Load(list);
  EXPECT_EQ(list[list.Count() - 1]->Text, "Буду дома к семи часам"_cp);

  frm->SetMemoText("");
  WhenModal([](QWidget* w) {
    auto* manager = static_cast<TTemplateFrm*>(w);
    manager->lbTemplates->setCurrentRow(manager->lbTemplates->count() - 1);
    manager->mText->setPlainText(QStr("Буду в |, жди"_cp));
    manager->Action("aSelect")->trigger();
  });
  frm->Action("aTemplateMgr")->trigger();
  EXPECT_EQ(frm->MemoText(), "Буду в , жди"_cp);
  EXPECT_EQ(frm->mMsg->textCursor().position(), 7);
}

TEST_F(DataDoors, TheAboutBoxShowsTheVersionAndOpensItsLinks) {
  UrlRecorder browser;
  TProgramVersion saved = ProgramVersion;
  ReadProgramVersion();
  auto frm = Start();
  std::string caption, version;
  WhenModal([&](QWidget* w) {
    auto* about = qobject_cast<TAboutFrm*>(w);
    ASSERT_NE(about, nullptr);
    caption = Utf8(about->windowTitle());
    version = Utf8(about->lbVersion->text());
    EXPECT_TRUE(about->lbWebClick());
    EXPECT_TRUE(about->lbEmailClick());
    about->btOK->click();
  });
  frm->Action("aAbout")->trigger();
  EXPECT_EQ(caption, "О программе");
  EXPECT_EQ(version, "Версия: " + ProgramVersion.FileVersion);
  EXPECT_FALSE(ProgramVersion.FileVersion.empty());
  EXPECT_EQ(browser.urls, (std::vector<std::string>{std::string(kPublisherWeb),
                                                    "mailto:" + std::string(kPublisherEmail) + "?subject=Parlomix"}));

  // Without a version text, the four numbers.
  ProgramVersion.FileVersion.clear();
  ProgramVersion.FixedVersion = {1, 2, 30, 400};
  TAboutFrm bare(frm.get());
  EXPECT_EQ(Utf8(bare.lbVersion->text()), "Версия: 1.2.30.400");
  ProgramVersion = saved;
}

TEST_F(DataDoors, F1InTheDataWindowsOpensTheirHelpPages) {
  UrlRecorder browser;
  auto frm = Start();
  auto press = [](QWidget* w, QWidget* target) {
    QApplication::setActiveWindow(w);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(target, &f1);
    static_cast<QDialog*>(w)->reject();
  };
  WhenModal([&](QWidget* w) { press(w, static_cast<TPhoneBookFrm*>(w)->lvItems); });
  frm->Action("aPhoneBook")->trigger();
  WhenModal([&](QWidget* w) { press(w, static_cast<THistoryFrm*>(w)->lvHistory); });
  frm->Action("aHistory")->trigger();
  WhenModal([&](QWidget* w) { press(w, static_cast<TTemplateFrm*>(w)->mText); });
  frm->Action("aTemplateMgr")->trigger();
  frm->cbTo->setEditText("1");
  WhenModal([&](QWidget* w) { press(w, static_cast<TEditPhoneFrm*>(w)->edName); });
  frm->Action("aAddToPhoneBook")->trigger();
  std::string help = std::string(kWebSite) + "/help.html?content=";
  EXPECT_EQ(browser.urls, (std::vector<std::string>{help + "3000", help + "2000", help + "4000", help + "5000"}));
}

}  // namespace
