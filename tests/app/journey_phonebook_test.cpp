// The phone book and the contact editor used with the keyboard, as a person
// would: the editor opens on the name, Tab walks the fields, Enter takes the
// default button, Escape cancels; each journey ends in what the database
// holds.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "datawindows.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "templatefrm.h"
#include "journey.h"
#include "qtwait.h"

namespace {

class PhoneBookJourney : public DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    Gate("MTS", "МТС"_cp, "7916", 20);
    Contact("Петров"_cp, "79031112233");
  }

  // Opens the phone book modally, runs `walk` in it, and returns how it
  // closed; a walk that leaves it open closes it as cancelled.
  static int Walk(std::function<void(TPhoneBookFrm&)> walk) {
    TPhoneBookFrm frm;
    WhenModal([&frm, walk](QWidget* top) {
      EXPECT_EQ(top, &frm);
      EXPECT_TRUE(QTest::qWaitForWindowActive(&frm));
      walk(frm);
      if (frm.isVisible()) frm.reject();
    });
    return frm.exec();
  }
  // Runs `fill` in the contact editor that `action` opens; the phone book
  // is active again afterwards.
  static void InEditor(TPhoneBookFrm& frm, const char* action, std::function<void(TEditPhoneFrm&)> fill) {
    bool seen = false;
    In<TEditPhoneFrm>([&seen, fill](TEditPhoneFrm& editor) {
      seen = true;
      fill(editor);
    });
    frm.Action(action)->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(Reactivate(frm));
  }
};

TEST_F(PhoneBookJourney, ANewContactTypedWithTabAndEnterIsStoredOnce) {
  Walk([](TPhoneBookFrm& frm) {
    InEditor(frm, "aAddItem", [](TEditPhoneFrm& editor) {
      EXPECT_EQ(QApplication::focusWidget(), editor.edName) << "the editor opens on the name";
      Type(QStr("Смирнов"_cp));
      Press(Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), editor.edPhone);
      Type("+7 (916) 555-44-33");
      // The number brought its gate into the list; the automatic choice stays.
      EXPECT_EQ(editor.cbGate->count(), 2);
      EXPECT_EQ(editor.cbGate->currentIndex(), 0);
      Press(Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), editor.cbGate);
      Press(Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), editor.edSignature);
      Type(QStr("Сергей"_cp));
      Press(Qt::Key_Return);
    });
    EXPECT_EQ(Utf8(frm.lvItems->currentIndex().data().toString()), "Смирнов");
  });
  auto stored = Stored("79165554433");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Name, "Смирнов"_cp);
  EXPECT_EQ(stored->Signature, "Сергей"_cp);
  EXPECT_EQ(stored->GateName, "");
  EXPECT_EQ(stored->Translit, 0) << "the box was left grayed";
  EXPECT_EQ(Count("PhoneBook"), 2);
}

TEST_F(PhoneBookJourney, EscapeInTheEditorStoresNothing) {
  Walk([](TPhoneBookFrm& frm) {
    InEditor(frm, "aAddItem", [](TEditPhoneFrm&) {
      Type(QStr("Лишний"_cp));
      Press(Qt::Key_Tab);
      Type("79160000000");
      Press(Qt::Key_Escape);
    });
    EXPECT_EQ(frm.Items().Count(), 1);
  });
  EXPECT_EQ(Count("PhoneBook"), 1);
  EXPECT_EQ(Stored("79160000000"), nullptr);
}

TEST_F(PhoneBookJourney, EnterDoesNothingWhileTheNumberIsTakenAndTheGateChosenByKeyIsKept) {
  Walk([](TPhoneBookFrm& frm) {
    InEditor(frm, "aAddItem", [](TEditPhoneFrm& editor) {
      Type(QStr("Двойник"_cp));
      Press(Qt::Key_Tab);
      Type("7 903 111-22-33");
      EXPECT_TRUE(editor.lbExists->isVisible());
      EXPECT_EQ(Utf8(editor.lbExists->text()), "Контакт с таким номером уже существует");
      Press(Qt::Key_Return);
      EXPECT_TRUE(editor.isVisible()) << "OK is disabled, so Enter must not close";
      // Another number, and the gate picked with the arrow key.
      editor.edPhone->selectAll();
      Type("79161112233");
      EXPECT_FALSE(editor.lbExists->isVisible());
      Press(Qt::Key_Tab);
      Press(Qt::Key_Down);
      EXPECT_EQ(editor.SelectedGateName, "MTS");
      Press(Qt::Key_Return);
    });
  });
  auto stored = Stored("79161112233");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->GateName, "MTS");
  EXPECT_EQ(stored->Caption, "МТС"_cp);
  EXPECT_EQ(Count("PhoneBook"), 2);
}

TEST_F(PhoneBookJourney, EditingAndDeletingWithTheToolbarCommandsFollowTheFocusedList) {
  Walk([](TPhoneBookFrm& frm) {
    ASSERT_EQ(frm.Items().Count(), 1);
    frm.lvItems->setFocus();
    frm.SelectRow(0);
    frm.UpdateActions();
    ASSERT_TRUE(frm.Action("aEdit")->isEnabled());
    InEditor(frm, "aEdit", [](TEditPhoneFrm& editor) {
      EXPECT_EQ(Utf8(editor.edName->text()), "Петров");
      EXPECT_EQ(QApplication::focusWidget(), editor.edName);
      editor.edName->selectAll();
      Type(QStr("Петров Пётр"_cp));
      Press(Qt::Key_Return);
    });
    EXPECT_EQ(Utf8(frm.lvItems->model()->index(0, 0).data().toString()), "Петров Пётр");
    EXPECT_EQ(TPhoneBook::GetNameByPhone("79031112233"), "Петров Пётр"_cp);

    // An edit cancelled with Escape changes neither the row nor the store.
    InEditor(frm, "aEditItem", [](TEditPhoneFrm& editor) {
      editor.edName->selectAll();
      Type(QStr("Никто"_cp));
      Press(Qt::Key_Escape);
    });
    EXPECT_EQ(Utf8(frm.lvItems->model()->index(0, 0).data().toString()), "Петров Пётр");
    EXPECT_EQ(TPhoneBook::GetNameByPhone("79031112233"), "Петров Пётр"_cp);

    // "No" keeps the contact, "Yes" removes it.
    frm.lvItems->setFocus();
    ASSERT_TRUE(frm.lvItems->hasFocus());
    AnswerBox(QMessageBox::No);
    frm.Action("aDelete")->trigger();
    EXPECT_EQ(Count("PhoneBook"), 1);
    ASSERT_TRUE(Reactivate(frm));
    std::string title, text;
    AnswerBox(QMessageBox::Yes, &title, &text);
    frm.Action("aDelete")->trigger();
    EXPECT_EQ(title, "Подтверждение");
    EXPECT_EQ(text, "Удалить запись?");
    EXPECT_EQ(frm.Items().Count(), 0);
  });
  EXPECT_EQ(Count("PhoneBook"), 0);
}

TEST_F(PhoneBookJourney, EscapeAndCloseLeaveThePhoneBookWithoutAChoice) {
  EXPECT_EQ(Walk([](TPhoneBookFrm&) { Press(Qt::Key_Escape); }), QDialog::Rejected);
  EXPECT_EQ(Walk([](TPhoneBookFrm& frm) { frm.Action("aClose")->trigger(); }), QDialog::Rejected);
  std::string chosen;
  EXPECT_EQ(Walk([&chosen](TPhoneBookFrm& frm) {
              frm.SelectRow(0);
              frm.Action("aSendSMS")->trigger();
              chosen = frm.SelectedPhone;
            }),
            QDialog::Accepted);
  EXPECT_EQ(chosen, "79031112233");
}

}  // namespace

namespace {

// Whether the group tree's in-place edit is over.
bool EditEnded(const TPhoneBookFrm& frm) {
  auto* editor = frm.tvGroups->findChild<QLineEdit*>();
  return !editor || !editor->isVisible();
}

TEST_F(PhoneBookJourney, ANewGroupIsNamedByTypingAndEnter) {
  Walk([](TPhoneBookFrm& frm) {
    frm.Action("aAddGroup")->trigger();
    // The in-place editor has the focus with the proposed name.
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Utf8(edit->text()), "Новая группа");
    edit->selectAll();
    Type(QStr("Семья"_cp));
    Press(Qt::Key_Return);
    // The edit ends from the event loop that runs on after the key.
    EXPECT_TRUE(WaitUntil([&frm] { return EditEnded(frm); }));
    EXPECT_TRUE(frm.isVisible()) << "Enter ends the edit, not the window";
    EXPECT_EQ(Utf8(frm.tvGroups->currentItem()->text(0)), "Семья");

    // Escape in a second edit keeps the proposed name and the window.
    frm.Action("aAddGroup")->trigger();
    Type("x");
    Press(Qt::Key_Escape);
    EXPECT_TRUE(WaitUntil([&frm] { return EditEnded(frm); }));
    EXPECT_TRUE(frm.isVisible()) << "Escape ends the edit, not the window";
    EXPECT_EQ(Utf8(frm.tvGroups->currentItem()->text(0)), "Новая группа");
  });
  EXPECT_EQ(Count("PhoneBookGroup"), 2);
  db().AddParamText(":Name", "Семья"_cp);
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM PhoneBookGroup WHERE Name=:Name"), 1);
}

// The template manager as the main window's "save as template" opens it.
TEST_F(PhoneBookJourney, TemplateEditsAreSavedOnlyWithSave) {
  TTemplateItemList before;
  TTemplateList::Load(before);
  In<TTemplateFrm>([](TTemplateFrm& manager) {
    EXPECT_EQ(QApplication::focusWidget(), manager.mText);
    EXPECT_FALSE(manager.Action("aSave")->isEnabled());
    manager.edName->setFocus();
    manager.edName->selectAll();
    Type(QStr("Опоздание"_cp));
    EXPECT_TRUE(manager.Action("aSave")->isEnabled());
    manager.Action("aSave")->trigger();
    EXPECT_EQ(Utf8(manager.lbTemplates->currentItem()->text()), "Опоздание");
    // An edit left unsaved is dropped when the window is left with Escape.
    manager.mText->setFocus();
    Type(" !!!");
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(TTemplateList::ShowManager("Буду через час"_cp), "") << "Escape chooses nothing";
  TTemplateItemList after;
  TTemplateList::Load(after);
  ASSERT_EQ(after.Count(), before.Count() + 1);
  EXPECT_EQ(after[after.Count() - 1]->Name, "Опоздание"_cp);
  EXPECT_EQ(after[after.Count() - 1]->Text, "Буду через час"_cp);
}

}  // namespace
