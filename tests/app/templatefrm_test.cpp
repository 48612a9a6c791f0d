// The template manager over a real database, offscreen: its actions and
// their enable rules, names made of three words, refused stores, and the
// text it hands back.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "datawindows.h"
#include "templatefrm.h"
#include "templates.h"
#include "weblinks.h"

#include <map>

namespace {

std::string U8(const std::string& cp) { return cp1251::ToUtf8(cp); }

class TemplateManager : public DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    db().ExecSQL("DELETE FROM Template");  // the templates a new database is seeded with
    TTemplateList::Add("Опаздываю"_cp, "Опаздываю, буду в |"_cp);
    TTemplateList::Add("", "Перезвони мне как только сможешь"_cp);
    TTemplateList::Add("Дома"_cp, "Я дома"_cp);
  }
  std::unique_ptr<TTemplateFrm> Open(const std::string& handed = "") {
    auto frm = std::make_unique<TTemplateFrm>();
    frm->HandedText = handed;
    frm->show();
    QApplication::processEvents();
    return frm;
  }
  static std::vector<std::string> Entries(const TTemplateFrm& frm) {
    std::vector<std::string> texts;
    for (int i = 0; i < frm.lbTemplates->count(); ++i) texts.push_back(Utf8(frm.lbTemplates->item(i)->text()));
    return texts;
  }
  static std::vector<std::string> StoredNames() {
    TTemplateItemList list;
    TTemplateList::Load(list);
    std::vector<std::string> names;
    for (const auto& t : list) names.push_back(cp1251::ToUtf8(t->Name));
    return names;
  }
  static std::map<std::string, bool> States(TTemplateFrm& frm) {
    std::map<std::string, bool> states;
    for (const char* name : {"aAdd", "aDelete", "aUp", "aDown", "aSave", "aCancel", "aSelect", "aClose"})
      states[name] = frm.Action(name)->isEnabled();
    return states;
  }
  static void Select(TTemplateFrm& frm, int row) { frm.lbTemplates->setCurrentRow(row); }
  // Typing as a user: the editors report every change.
  static void TypeText(TTemplateFrm& frm, const std::string& text) {
    frm.mText->selectAll();
    frm.mText->insertPlainText(QString::fromStdString(text));
  }
};

TEST_F(TemplateManager, OpensOnTheFirstTemplateWithEveryActionAsItShouldBe) {
  auto frm = Open();
  EXPECT_EQ(Utf8(frm->windowTitle()), "Менеджер шаблонов");
  EXPECT_EQ(HelpContextOf(frm->lbTemplates), 4000);
  EXPECT_EQ(Entries(*frm), (std::vector<std::string>{"Опаздываю", "Перезвони мне как", "Дома"}));
  EXPECT_EQ(frm->SelectedIndex(), 0);
  EXPECT_EQ(Utf8(frm->edName->text()), "Опаздываю");
  EXPECT_EQ(Utf8(frm->mText->toPlainText()), "Опаздываю, буду в |");
  EXPECT_FALSE(frm->Modified());
  EXPECT_EQ(States(*frm), (std::map<std::string, bool>{{"aAdd", true}, {"aCancel", false}, {"aClose", true},
                                                       {"aDelete", true}, {"aDown", true}, {"aSave", false},
                                                       {"aSelect", true}, {"aUp", false}}));
  // The buttons follow their actions.
  EXPECT_FALSE(frm->findChild<QPushButton*>("btSave")->isEnabled());
  EXPECT_TRUE(frm->findChild<QPushButton*>("btAdd")->isEnabled());

  Select(*frm, 2);
  EXPECT_FALSE(frm->Action("aDown")->isEnabled());
  EXPECT_TRUE(frm->Action("aUp")->isEnabled());
  // Showing a template puts its own name on its entry, even an empty one.
  Select(*frm, 1);
  EXPECT_EQ(Utf8(frm->lbTemplates->item(1)->text()), "");
  EXPECT_EQ(Utf8(frm->mText->toPlainText()), "Перезвони мне как только сможешь");

  frm->edName->setText("x");  // the user types: edits are pending
  EXPECT_TRUE(frm->Modified());
  EXPECT_TRUE(frm->Action("aSave")->isEnabled());
  EXPECT_TRUE(frm->Action("aCancel")->isEnabled());
  frm->Action("aCancel")->trigger();
  EXPECT_EQ(Utf8(frm->edName->text()), "");
  EXPECT_FALSE(frm->Modified());

  frm->lbTemplates->clearSelection();
  frm->UpdateActions();
  EXPECT_FALSE(frm->Action("aDelete")->isEnabled());
  EXPECT_FALSE(frm->Action("aSelect")->isEnabled());
  EXPECT_FALSE(frm->Action("aDown")->isEnabled());
}

TEST_F(TemplateManager, AddAppendsANewTemplateOnlyOnce) {
  auto frm = Open();
  frm->Action("aAdd")->trigger();
  EXPECT_EQ(Entries(*frm).back(), "Новый шаблон");
  EXPECT_EQ(frm->SelectedIndex(), 3);
  EXPECT_EQ(Utf8(frm->mText->toPlainText()), "Текст нового шаблона");
  EXPECT_FALSE(frm->Modified());
  frm->Action("aAdd")->trigger();  // a second "Новый шаблон" is refused
  EXPECT_EQ(Entries(*frm).size(), 4u);
  EXPECT_EQ(StoredNames().size(), 4u);
}

TEST_F(TemplateManager, UpAndDownMoveTheTemplateAndItStaysSelected) {
  auto frm = Open();
  Select(*frm, 2);
  frm->Action("aUp")->trigger();
  frm->Action("aUp")->trigger();
  EXPECT_EQ(Entries(*frm)[0], "Дома");
  EXPECT_EQ(frm->SelectedIndex(), 0);
  EXPECT_FALSE(frm->Action("aUp")->isEnabled());
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"Дома", "Опаздываю", ""}));
  frm->Action("aDown")->trigger();
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"Опаздываю", "Дома", ""}));
  EXPECT_EQ(Utf8(frm->lbTemplates->currentItem()->text()), "Дома");

  // A move the database refuses leaves the list as it is.
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON Template BEGIN SELECT RAISE(ABORT, 'refused'); END");
  frm->Action("aDown")->trigger();
  EXPECT_EQ(Entries(*frm)[1], "Дома");
  EXPECT_EQ(frm->SelectedIndex(), 1);
  EXPECT_EQ(frm->Templates()[1]->Name, "Дома"_cp);
}

TEST_F(TemplateManager, DeleteSelectsTheNextOrTheNewLastAndEmptiesTheEditorAtTheEnd) {
  auto frm = Open();
  Select(*frm, 2);
  frm->Action("aDelete")->trigger();
  EXPECT_EQ(Entries(*frm).size(), 2u);
  EXPECT_EQ(frm->SelectedIndex(), 1);
  EXPECT_EQ(Utf8(frm->mText->toPlainText()), "Перезвони мне как только сможешь");
  Select(*frm, 0);
  frm->Action("aDelete")->trigger();
  EXPECT_EQ(frm->SelectedIndex(), 0);
  EXPECT_EQ(Utf8(frm->mText->toPlainText()), "Перезвони мне как только сможешь");

  // Refused by the database: the entry stays.
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE DELETE ON Template BEGIN SELECT RAISE(ABORT, 'refused'); END");
  frm->Action("aDelete")->trigger();
  EXPECT_EQ(Entries(*frm).size(), 1u);
  db().ExecSQL("DROP TRIGGER refuse");

  frm->Action("aDelete")->trigger();
  EXPECT_TRUE(Entries(*frm).empty());
  EXPECT_TRUE(frm->edName->text().isEmpty());
  EXPECT_TRUE(frm->mText->toPlainText().isEmpty());
  EXPECT_FALSE(frm->Modified());
  EXPECT_TRUE(StoredNames().empty());
  EXPECT_FALSE(frm->Action("aDelete")->isEnabled());
}

TEST_F(TemplateManager, SaveNamesAnUnnamedTemplateByItsFirstThreeWords) {
  auto frm = Open();
  Select(*frm, 2);
  frm->edName->clear();
  TypeText(*frm, " Буду через  пять минут\nцелую");
  EXPECT_TRUE(frm->Modified());
  frm->Action("aSave")->trigger();
  EXPECT_FALSE(frm->Modified());
  EXPECT_EQ(Entries(*frm)[2], "Буду через  пять");
  TTemplateItemList list;
  TTemplateList::Load(list);
  EXPECT_EQ(list[2]->Name, "Буду через  пять"_cp);
  EXPECT_EQ(list[2]->Text, " Буду через  пять минут\r\nцелую"_cp);

  // A name another template has: refused, and the window keeps showing what
  // is stored, with the edits still pending.
  frm->edName->setText(QStr("Опаздываю"_cp));
  frm->Action("aSave")->trigger();
  EXPECT_EQ(Entries(*frm)[2], "Буду через  пять");
  EXPECT_EQ(frm->Templates()[2]->Name, "Буду через  пять"_cp);
  EXPECT_TRUE(frm->Modified());
  EXPECT_TRUE(frm->Action("aSave")->isEnabled());
  EXPECT_EQ(StoredNames()[2], "Буду через  пять");
}

TEST_F(TemplateManager, SelectHandsBackTheEditedTextAndKeepsTheStoredOne) {
  WhenModal([](QWidget* w) {
    auto* frm = qobject_cast<TTemplateFrm*>(w);
    ASSERT_NE(frm, nullptr);
    frm->lbTemplates->setCurrentRow(2);
    frm->mText->selectAll();
    frm->mText->insertPlainText(QString::fromUtf8("Я уже\nдома"));
    frm->findChild<QPushButton*>("btSelect")->click();
  });
  EXPECT_EQ(U8(TTemplateList::ShowManager("")), "Я уже\r\nдома");
  TTemplateItemList list;
  TTemplateList::Load(list);
  EXPECT_EQ(list[2]->Text, "Я дома"_cp);

  // Escape and "Закрыть" hand back nothing; a double click selects.
  WhenModal([](QWidget* w) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(w, &escape);
  });
  EXPECT_EQ(TTemplateList::ShowManager(""), "");
  WhenModal([](QWidget* w) { static_cast<TTemplateFrm*>(w)->Action("aClose")->trigger(); });
  EXPECT_EQ(TTemplateList::ShowManager(""), "");
  WhenModal([](QWidget* w) {
    auto* frm = static_cast<TTemplateFrm*>(w);
    emit frm->lbTemplates->itemDoubleClicked(frm->lbTemplates->item(0));
  });
  EXPECT_EQ(U8(TTemplateList::ShowManager("")), "Опаздываю, буду в |");
}

TEST_F(TemplateManager, AHandedInTextBecomesATemplateOnlyTheFirstTime) {
  const std::string text = "Встретимся у кинотеатра в семь"_cp;
  std::string shown, name;
  bool focused = false, caretAtEnd = false;
  auto look = [&](QWidget* w) {
    auto* frm = static_cast<TTemplateFrm*>(w);
    shown = Utf8(frm->mText->toPlainText());
    name = frm->lbTemplates->currentItem() ? Utf8(frm->lbTemplates->currentItem()->text()) : "";
    focused = frm->focusWidget() == frm->mText;  // the control that has or gets the focus
    caretAtEnd = frm->mText->textCursor().atEnd() && !frm->mText->textCursor().atStart();
    frm->Action("aClose")->trigger();
  };
  WhenModal(look);
  EXPECT_EQ(TTemplateList::ShowManager(text), "");
  EXPECT_EQ(name, "Встретимся у кинотеатра");
  EXPECT_EQ(shown, "Встретимся у кинотеатра в семь");
  EXPECT_TRUE(focused);
  EXPECT_TRUE(caretAtEnd);
  EXPECT_EQ(StoredNames().size(), 4u);

  WhenModal(look);
  TTemplateList::ShowManager("Встретимся у кинотеатра завтра"_cp);
  EXPECT_EQ(StoredNames().size(), 4u);  // the same three words: refused
  EXPECT_EQ(name, "Опаздываю");          // the first template is shown
}

}  // namespace
