// The phone book window and the contact editor driven as a user drives
// them, over a real database, offscreen.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "datawindows.h"
#include "historyfrm.h"
#include "phonebookfrm.h"
#include "phonebookmodel.h"
#include "phoneeditfrm.h"
#include "qtwait.h"
#include "weblinks.h"

namespace {

class PhoneBookWindow : public DataWindowTest {
 protected:
  int friends = 0, work = 0;
  int ivanov = 0, petrov = 0, sidorov = 0, lone = 0;

  void SetUp() override {
    DataWindowTest::SetUp();
    Gate("MTS", "МТС"_cp, "7916", 20);
    Gate("SMSC", "SMS-центр"_cp, "7916", 30);
    Gate("Beeline", "Билайн"_cp, "7903", 10);
    work = Group("Работа"_cp);
    friends = Group("Друзья"_cp);
    ivanov = Contact("Иванов"_cp, "79161234567", friends, "MTS");
    petrov = Contact("Петров"_cp, "79031112233", friends);
    sidorov = Contact("Сидоров"_cp, "79160000001", work);
    lone = Contact("Одинокий"_cp, "79035550000", 0);
  }

  // The window as the main window shows it.
  std::unique_ptr<TPhoneBookFrm> Open() {
    auto frm = std::make_unique<TPhoneBookFrm>();
    frm->show();
    QApplication::processEvents();
    return frm;
  }
  static std::vector<std::string> Nodes(const TPhoneBookFrm& frm) {
    std::vector<std::string> texts;
    for (int i = 0; i < frm.tvGroups->topLevelItemCount(); ++i) texts.push_back(Utf8(frm.tvGroups->topLevelItem(i)->text(0)));
    return texts;
  }
  static std::vector<std::string> Rows(const TPhoneBookFrm& frm, int column = 0) {
    std::vector<std::string> rows;
    QAbstractItemModel* model = frm.lvItems->model();
    for (int r = 0; r < model->rowCount(); ++r) rows.push_back(Utf8(model->index(r, column).data().toString()));
    return rows;
  }
  static void SelectNode(TPhoneBookFrm& frm, const std::string& text) {
    for (int i = 0; i < frm.tvGroups->topLevelItemCount(); ++i)
      if (Utf8(frm.tvGroups->topLevelItem(i)->text(0)) == text) {
        frm.tvGroups->setCurrentItem(frm.tvGroups->topLevelItem(i));
        return;
      }
    ADD_FAILURE() << "no node " << text;
  }
  static QTreeWidgetItem* Node(TPhoneBookFrm& frm, const std::string& text) {
    for (int i = 0; i < frm.tvGroups->topLevelItemCount(); ++i)
      if (Utf8(frm.tvGroups->topLevelItem(i)->text(0)) == text) return frm.tvGroups->topLevelItem(i);
    return nullptr;
  }
  static bool Enabled(TPhoneBookFrm& frm, const char* action) { return frm.Action(action)->isEnabled(); }
  static std::string Status(const TPhoneBookFrm& frm) { return Utf8(frm.StatusPanel->text()); }

  // Types into the running in-place edit and ends it with `key`.
  static void FinishEdit(TPhoneBookFrm& frm, const std::string& text, int key = Qt::Key_Return) {
    auto* editor = frm.tvGroups->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr) << "no in-place edit";
    editor->setText(QString::fromStdString(text));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(editor, &press);
    QApplication::processEvents();
  }
  // A drag of `mime` entering the tree below its nodes, moving over `node`
  // and, when that is accepted, dropping there. Whether it was accepted.
  static bool Drag(TPhoneBookFrm& frm, QMimeData* mime, QTreeWidgetItem* node) {
    QWidget* viewport = frm.tvGroups->viewport();
    QPoint below(5, viewport->height() - 3);
    QPoint pos = node ? frm.tvGroups->visualItemRect(node).center() : below;
    QDragEnterEvent enter(below, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    bool accepted = false;
    if (enter.isAccepted()) {
      QDragMoveEvent move(pos, Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(viewport, &move);
      accepted = move.isAccepted();
    }
    if (accepted) {
      QDropEvent drop(QPointF(pos), Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(viewport, &drop);
    } else {
      QDragLeaveEvent leave;
      QApplication::sendEvent(viewport, &leave);
    }
    return accepted;
  }
  static QMimeData* DragOfSelection(TPhoneBookFrm& frm) {
    return frm.lvItems->model()->mimeData(frm.lvItems->selectionModel()->selectedIndexes());
  }
};

TEST_F(PhoneBookWindow, OpensOnTheUngroupedContactsWithTheGroupsByName) {
  auto frm = Open();
  EXPECT_EQ(Utf8(frm->windowTitle()), "Адресная книга");
  EXPECT_EQ(HelpContextOf(frm->lvItems), 3000);
  EXPECT_EQ(Nodes(*frm), (std::vector<std::string>{"Без группы", "Друзья", "Работа"}));
  EXPECT_EQ(frm->tvGroups->currentItem(), frm->tvGroups->topLevelItem(0));
  EXPECT_EQ(frm->LoadedGroupID, 0);
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Одинокий"}));
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 1");
  EXPECT_EQ(frm->SelectedRow(), 0);

  QHeaderView* header = frm->lvItems->header();
  std::vector<std::pair<std::string, int>> columns;
  for (int c = 0; c < header->count(); ++c)
    columns.emplace_back(Utf8(frm->lvItems->model()->headerData(c, Qt::Horizontal).toString()), header->sectionSize(c));
  EXPECT_EQ(columns, (std::vector<std::pair<std::string, int>>{{"Имя", 150}, {"Телефон", 150}, {"Оператор", 150},
                                                               {"Подпись", 100}}));

  SelectNode(*frm, "Друзья");
  EXPECT_EQ(frm->LoadedGroupID, friends);
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Иванов", "Петров"}));
  EXPECT_EQ(Rows(*frm, 1), (std::vector<std::string>{"+7 916 123-45-67", "+7 903 111-22-33"}));
  EXPECT_EQ(Rows(*frm, 2), (std::vector<std::string>{"МТС", ""}));
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 2");
}

TEST_F(PhoneBookWindow, ActionsCarryTheirCaptionsAndFollowSelectionAndFocus) {
  auto frm = Open();
  const std::pair<const char*, const char*> captions[] = {
      {"aAddGroup", "Новая группа"},        {"aRenameGroup", "Переименовать группу"}, {"aDeleteGroup", "Удалить группу"},
      {"aAddItem", "Новый контакт"},        {"aEditItem", "Редактировать контакт"},  {"aDeleteItem", "Удалить контакт"},
      {"aEdit", "Изменить"},                {"aDelete", "Удалить"},                  {"aSendSMS", "Отправить сообщение"},
      {"aContactHistory", "История"},       {"aClose", "Закрыть"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(Utf8(frm->Action(name)->text()), caption) << name;
  EXPECT_EQ(Utf8(frm->Action("aSendSMS")->toolTip()), "Отправить сообщение контакту");

  // "Без группы" with a contact selected.
  EXPECT_FALSE(Enabled(*frm, "aRenameGroup"));
  EXPECT_FALSE(Enabled(*frm, "aDeleteGroup"));
  EXPECT_TRUE(Enabled(*frm, "aEditItem"));
  EXPECT_TRUE(Enabled(*frm, "aDeleteItem"));
  EXPECT_TRUE(Enabled(*frm, "aSendSMS"));
  EXPECT_TRUE(Enabled(*frm, "aAddGroup"));
  EXPECT_TRUE(Enabled(*frm, "aContactHistory"));

  frm->activateWindow();
  frm->lvItems->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return frm->lvItems->hasFocus(); }));
  EXPECT_TRUE(Enabled(*frm, "aEdit"));
  EXPECT_TRUE(Enabled(*frm, "aDelete"));
  frm->tvGroups->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return frm->tvGroups->hasFocus(); }));
  EXPECT_FALSE(Enabled(*frm, "aEdit"));  // the first node is neither renamed nor deleted
  EXPECT_FALSE(Enabled(*frm, "aDelete"));
  SelectNode(*frm, "Работа");
  EXPECT_TRUE(Enabled(*frm, "aRenameGroup"));
  EXPECT_TRUE(Enabled(*frm, "aDeleteGroup"));
  EXPECT_TRUE(Enabled(*frm, "aEdit"));
  frm->lvItems->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return frm->lvItems->hasFocus(); }));
  frm->lvItems->selectionModel()->clearSelection();
  EXPECT_FALSE(Enabled(*frm, "aEdit"));
  EXPECT_FALSE(Enabled(*frm, "aEditItem"));
  EXPECT_FALSE(Enabled(*frm, "aDeleteItem"));
  EXPECT_FALSE(Enabled(*frm, "aSendSMS"));

  // An empty group.
  Group("Пусто"_cp);
  frm->LoadGroupTree();
  SelectNode(*frm, "Пусто");
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 0");
  EXPECT_FALSE(Enabled(*frm, "aSendSMS"));
  EXPECT_EQ(frm->GetSelectedItem(), nullptr);
}

TEST_F(PhoneBookWindow, NewGroupsAreNamedFreelyAndRenamedInPlace) {
  Group("Новая группа"_cp);
  Group("новая группа 1"_cp);
  auto frm = Open();
  frm->Action("aAddGroup")->trigger();
  QApplication::processEvents();
  // Stored at once, under the first free name, and being edited.
  TPhoneBookGroupList groups;
  TPhoneBook::LoadGroups(groups);
  EXPECT_EQ(groups.Count(), 5);
  QTreeWidgetItem* node = Node(*frm, "Новая группа 2");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(frm->tvGroups->indexOfTopLevelItem(node), frm->tvGroups->topLevelItemCount() - 1);
  EXPECT_EQ(frm->tvGroups->currentItem(), node);
  int id = TPhoneBookFrm::GroupIdOf(node);
  EXPECT_EQ(frm->LoadedGroupID, id);
  FinishEdit(*frm, "Семья");
  EXPECT_EQ(Utf8(node->text(0)), "Семья");
  EXPECT_FALSE(node->flags() & Qt::ItemIsEditable);  // read-only again
  TPhoneBookGroupList after;
  TPhoneBook::LoadGroups(after);
  bool stored = false;
  for (const auto& g : after) stored = stored || (g->ID == id && g->Name == "Семья"_cp);
  EXPECT_TRUE(stored);
}

TEST_F(PhoneBookWindow, ARenameToNothingOrATakenNameIsUndone) {
  auto frm = Open();
  SelectNode(*frm, "Работа");
  QTreeWidgetItem* node = frm->tvGroups->currentItem();
  for (const char* text : {"", "друзья", "РАБОТА", "Без группы"}) {
    frm->Action("aRenameGroup")->trigger();
    QApplication::processEvents();
    FinishEdit(*frm, text);
    EXPECT_EQ(Utf8(node->text(0)), "Работа") << text;
    EXPECT_FALSE(node->flags() & Qt::ItemIsEditable);
  }
  // A cancelled edit changes nothing either, and also ends the editing.
  frm->Action("aRenameGroup")->trigger();
  QApplication::processEvents();
  FinishEdit(*frm, "Другое", Qt::Key_Escape);
  EXPECT_EQ(Utf8(node->text(0)), "Работа");
  EXPECT_FALSE(node->flags() & Qt::ItemIsEditable);
  TPhoneBookGroupList groups;
  TPhoneBook::LoadGroups(groups);
  EXPECT_EQ(groups[1]->Name, "Работа"_cp);

  // The first node is never edited.
  SelectNode(*frm, "Без группы");
  frm->aRenameGroupExecute();
  QApplication::processEvents();
  EXPECT_EQ(frm->tvGroups->findChild<QLineEdit*>(), nullptr);
  EXPECT_FALSE(frm->tvGroups->topLevelItem(0)->flags() & Qt::ItemIsEditable);
}

TEST_F(PhoneBookWindow, ARenameTheDatabaseRefusesLeavesTheOldName) {
  auto frm = Open();
  SelectNode(*frm, "Работа");
  QTreeWidgetItem* node = frm->tvGroups->currentItem();
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON PhoneBookGroup BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_THROW(frm->tvGroupsEdited(node, "Семья"_cp), ESQLiteException);
  EXPECT_EQ(Utf8(node->text(0)), "Работа");
  frm->Action("aRenameGroup")->trigger();
  QApplication::processEvents();
  AnswerBox(QMessageBox::Ok);  // the error as the program shows it
  FinishEdit(*frm, "Семья");
  EXPECT_EQ(Utf8(node->text(0)), "Работа");
}

TEST_F(PhoneBookWindow, DeletingAGroupAsksAndMovesItsContactsToNoGroup) {
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  std::string title, text;
  AnswerBox(QMessageBox::No, &title, &text);
  frm->Action("aDeleteGroup")->trigger();
  EXPECT_EQ(title, "Подтверждение");
  EXPECT_EQ(text, "Удалить группу?");
  EXPECT_EQ(Nodes(*frm).size(), 3u);

  AnswerBox(QMessageBox::Yes);
  frm->Action("aDeleteGroup")->trigger();
  EXPECT_EQ(Nodes(*frm), (std::vector<std::string>{"Без группы", "Работа"}));
  EXPECT_EQ(GroupOfContact(ivanov), 0);
  EXPECT_EQ(GroupOfContact(petrov), 0);
  // The tree shows the node now selected, and its contacts.
  EXPECT_EQ(frm->LoadedGroupID, TPhoneBookFrm::GroupIdOf(frm->tvGroups->currentItem()));
  SelectNode(*frm, "Без группы");
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Иванов", "Одинокий", "Петров"}));

  // Nothing deletes the first node.
  frm->aDeleteGroupExecute();
  EXPECT_EQ(Nodes(*frm).size(), 2u);
}

TEST_F(PhoneBookWindow, AGroupTheDatabaseKeepsStaysInTheTree) {
  auto frm = Open();
  SelectNode(*frm, "Работа");
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE DELETE ON PhoneBookGroup BEGIN SELECT RAISE(ABORT, 'refused'); END");
  AnswerBox(QMessageBox::Yes);
  frm->Action("aDeleteGroup")->trigger();
  EXPECT_EQ(Nodes(*frm), (std::vector<std::string>{"Без группы", "Друзья", "Работа"}));
  EXPECT_EQ(GroupOfContact(sidorov), work);
}

TEST_F(PhoneBookWindow, ContactsDropOntoOtherGroupsOnly) {
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  frm->SelectRow(1);  // Петров
  std::unique_ptr<QMimeData> mime(DragOfSelection(*frm));
  ASSERT_TRUE(mime);
  // Onto the group it is shown in, off the nodes, or from elsewhere: refused.
  EXPECT_FALSE(Drag(*frm, mime.get(), Node(*frm, "Друзья")));
  EXPECT_FALSE(Drag(*frm, mime.get(), nullptr));
  QMimeData foreign;
  foreign.setData(kContactMimeType, "12345");
  EXPECT_FALSE(Drag(*frm, &foreign, Node(*frm, "Работа")));
  QMimeData text;
  text.setText("Петров");
  EXPECT_FALSE(Drag(*frm, &text, Node(*frm, "Работа")));
  EXPECT_EQ(GroupOfContact(petrov), friends);

  EXPECT_TRUE(Drag(*frm, mime.get(), Node(*frm, "Работа")));
  EXPECT_EQ(GroupOfContact(petrov), work);
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Иванов"}));
  EXPECT_EQ(frm->SelectedRow(), 0);  // the row before the removed one
  EXPECT_EQ(frm->LoadedGroupID, friends);
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 1");

  // Onto "Без группы": out of any group.
  std::unique_ptr<QMimeData> again(DragOfSelection(*frm));
  EXPECT_TRUE(Drag(*frm, again.get(), Node(*frm, "Без группы")));
  EXPECT_EQ(GroupOfContact(ivanov), 0);
  EXPECT_TRUE(Rows(*frm).empty());
  SelectNode(*frm, "Без группы");
  std::unique_ptr<QMimeData> fromNone(DragOfSelection(*frm));
  EXPECT_FALSE(Drag(*frm, fromNone.get(), Node(*frm, "Без группы")));
}

// Fills the contact editor that opens next and presses OK.
void EditAndConfirm(const std::string& name, const std::string& phone, const std::string& signature = "",
                    int clicks = 0) {
  WhenModal([=](QWidget* w) {
    auto* editor = qobject_cast<TEditPhoneFrm*>(w);
    ASSERT_NE(editor, nullptr);
    editor->edName->setText(QString::fromStdString(name));
    editor->edPhone->setText(QString::fromStdString(phone));
    editor->edSignature->setText(QString::fromStdString(signature));
    for (int i = 0; i < clicks; ++i) editor->chbTranslit->click();
    editor->btOK->click();
  });
}

TEST_F(PhoneBookWindow, ANewContactJoinsTheShownGroupOnceStored) {
  auto frm = Open();
  SelectNode(*frm, "Работа");
  EditAndConfirm("Козлов", "+7 (916) 777-88-99", "К.", 2);
  frm->Action("aAddItem")->trigger();
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Сидоров", "Козлов"}));
  EXPECT_EQ(Rows(*frm, 1).back(), "+7 916 777-88-99") << "formatted as a loaded contact";
  EXPECT_EQ(frm->SelectedRow(), 1);
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 2");
  auto stored = Stored("79167778899");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->GroupID, work);
  EXPECT_EQ(stored->Signature, "К."_cp);
  EXPECT_EQ(stored->Translit, TPhoneBookItem::kTranslitAlways);  // grayed, unchecked, checked
  EXPECT_EQ(stored->ID, frm->GetSelectedItem()->ID);

  SelectNode(*frm, "Без группы");
  EditAndConfirm("Без всего", "");
  frm->Action("aAddItem")->trigger();
  int id = TPhoneBook::FindByName("Без всего"_cp);
  ASSERT_NE(id, 0);
  EXPECT_EQ(GroupOfContact(id), 0);

  // A contact the database refuses is not listed.
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE INSERT ON PhoneBook BEGIN SELECT RAISE(ABORT, 'refused'); END");
  int rows = static_cast<int>(Rows(*frm).size());
  EditAndConfirm("Отказ", "79160000999");
  EXPECT_THROW(frm->aAddItemExecute(), ESQLiteException);
  EXPECT_EQ(static_cast<int>(Rows(*frm).size()), rows);
  EXPECT_EQ(Count("PhoneBook"), 6);

  // Cancelled: nothing.
  WhenModal([](QWidget* w) { static_cast<TEditPhoneFrm*>(w)->btCancel->click(); });
  frm->aAddItemExecute();
  EXPECT_EQ(static_cast<int>(Rows(*frm).size()), rows);
}

TEST_F(PhoneBookWindow, EditingKeepsTheContactsGateAndStoresTheChanges) {
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  frm->SelectRow(0);  // Иванов, gate MTS
  std::string shownGate, shownName, shownPhone;
  Qt::CheckState shownState = Qt::Unchecked;
  WhenModal([&](QWidget* w) {
    auto* editor = qobject_cast<TEditPhoneFrm*>(w);
    ASSERT_NE(editor, nullptr);
    shownGate = Utf8(editor->cbGate->currentText());
    shownName = Utf8(editor->edName->text());
    shownPhone = Utf8(editor->edPhone->text());
    shownState = editor->chbTranslit->checkState();
    EXPECT_EQ(editor->EditedID, ivanov);
    EXPECT_TRUE(editor->btOK->isEnabled());  // its own name and number are no duplicates
    editor->edName->setText(QStr("Иванов И."_cp));
    editor->btOK->click();
  });
  frm->Action("aEditItem")->trigger();
  EXPECT_EQ(shownGate, "МТС");
  EXPECT_EQ(shownName, "Иванов");
  EXPECT_EQ(shownPhone, "79161234567");
  EXPECT_EQ(shownState, Qt::PartiallyChecked);
  auto stored = Stored("79161234567");
  EXPECT_EQ(stored->Name, "Иванов И."_cp);
  EXPECT_EQ(stored->GateName, "MTS");
  EXPECT_EQ(stored->GroupID, friends);
  EXPECT_EQ(Rows(*frm)[0], "Иванов И.");

  // The database refuses: the row keeps what is stored.
  db().ExecSQL("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON PhoneBook BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EditAndConfirm("Другой", "79161234567");
  EXPECT_THROW(frm->aEditItemExecute(), ESQLiteException);
  EXPECT_EQ(Rows(*frm)[0], "Иванов И.");
  EXPECT_EQ(frm->GetSelectedItem()->Name, "Иванов И."_cp);
}

TEST_F(PhoneBookWindow, DeletingAContactAsksAndKeepsARowSelected) {
  Contact("Яковлев"_cp, "79030000002", friends);
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  frm->SelectRow(2);  // the last
  std::string title, text;
  AnswerBox(QMessageBox::No, &title, &text);
  frm->Action("aDeleteItem")->trigger();
  EXPECT_EQ(title, "Подтверждение");
  EXPECT_EQ(text, "Удалить запись?");
  EXPECT_EQ(Rows(*frm).size(), 3u);

  AnswerBox(QMessageBox::Yes);
  frm->Action("aDeleteItem")->trigger();
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Иванов", "Петров"}));
  EXPECT_EQ(frm->SelectedRow(), 1);  // the new last
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 2");
  frm->SelectRow(0);
  AnswerBox(QMessageBox::Yes);
  frm->Action("aDeleteItem")->trigger();
  EXPECT_EQ(Rows(*frm), (std::vector<std::string>{"Петров"}));
  EXPECT_EQ(frm->SelectedRow(), 0);
  EXPECT_EQ(TPhoneBook::FindByName("Иванов"_cp), 0);
}

TEST_F(PhoneBookWindow, SendChoosesTheContactAndADoubleClickToo) {
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  frm->SelectRow(1);
  frm->Action("aSendSMS")->trigger();
  EXPECT_EQ(frm->result(), QDialog::Accepted);
  EXPECT_EQ(frm->SelectedPhone, "79031112233");
  EXPECT_EQ(frm->GetSelectedItem()->Name, "Петров"_cp);

  auto second = Open();
  SelectNode(*second, "Работа");
  QModelIndex row = second->lvItems->model()->index(0, 0);
  emit second->lvItems->doubleClicked(row);
  EXPECT_EQ(second->result(), QDialog::Accepted);
  EXPECT_EQ(second->SelectedPhone, "79160000001");
}

TEST_F(PhoneBookWindow, AMessageTakenFromTheContactsHistoryClosesThePhoneBook) {
  THistoryItem item;
  item.Phone = "79031112233";
  item.Message = "Привет"_cp;
  THistory::Add(item);
  auto frm = Open();
  SelectNode(*frm, "Друзья");
  frm->SelectRow(1);
  std::string caption;
  int rows = -1;
  WhenModal([&](QWidget* w) {
    auto* history = qobject_cast<THistoryFrm*>(w);
    ASSERT_NE(history, nullptr);
    caption = Utf8(history->windowTitle());
    rows = history->Items().Count();
    history->Action("aClose")->trigger();
  });
  frm->Action("aContactHistory")->trigger();
  EXPECT_EQ(caption, "История - Петров +7 903 111-22-33");
  EXPECT_EQ(rows, 1);
  EXPECT_TRUE(frm->isVisible());

  WhenModal([&](QWidget* w) { static_cast<THistoryFrm*>(w)->Action("aSendSMS")->trigger(); });
  frm->Action("aContactHistory")->trigger();
  EXPECT_FALSE(frm->isVisible());
  EXPECT_EQ(frm->result(), QDialog::Rejected);
}

TEST_F(PhoneBookWindow, PlacementOfWindowPaneAndColumnsIsKept) {
  {
    auto frm = Open();
    frm->resize(700, 400);
    frm->lvItems->header()->moveSection(3, 0);
    frm->lvItems->header()->resizeSection(0, 222);
    frm->Action("aClose")->trigger();
  }
  auto frm = Open();
  EXPECT_EQ(frm->size(), QSize(700, 400));
  EXPECT_EQ(frm->lvItems->header()->logicalIndex(0), 3);
  EXPECT_EQ(frm->lvItems->header()->sectionSize(0), 222);
  EXPECT_FALSE(profile.placement.ReadString("PhoneBookFrm\\Splitter.Sizes", "").empty());

  // Columns saved narrower than made come back as saved too.
  frm.reset();
  profile.placement.WriteString("PhoneBookFrm\\lvItems.Widths", "60,70,80,90");
  frm = Open();
  QHeaderView* header = frm->lvItems->header();
  const int saved[] = {60, 70, 80, 90};
  for (int c = 0; c < header->count(); ++c) EXPECT_EQ(header->sectionSize(c), saved[c]) << c;
}

TEST_F(PhoneBookWindow, TenThousandContactsAreRowsOfOneModel) {
  int big = Group("Много"_cp);
  RunInDatabaseTransaction([&](TSQLiteDatabase&) {
    for (int i = 0; i < 10000; ++i) Contact("Контакт "_cp + std::to_string(100000 + i), std::to_string(79170000000 + i), big);
  });
  auto frm = Open();
  SelectNode(*frm, "Много");
  EXPECT_EQ(frm->lvItems->model()->rowCount(), 10000);
  EXPECT_EQ(frm->Items().Count(), 10000);
  EXPECT_EQ(Status(*frm), "В текущей группе контактов: 10000");
  EXPECT_EQ(Utf8(frm->lvItems->model()->index(9999, 1).data().toString()), "+79170009999");
}

// ---- The contact editor ----

class ContactEditor : public PhoneBookWindow {};

TEST_F(ContactEditor, DuplicateNamesAndNumbersBlockOkWithTheirWarnings) {
  TEditPhoneFrm editor;
  editor.show();
  EXPECT_EQ(Utf8(editor.windowTitle()), "Редактирование записи");
  EXPECT_EQ(HelpContextOf(editor.edName), 5000);
  EXPECT_FALSE(editor.lbExists->isVisible());
  const QSize opened = editor.size();
  auto warning = [&] { return editor.lbExists->isVisible() ? Utf8(editor.lbExists->text()) : std::string(); };

  editor.edName->setText(QStr("иванов"_cp));  // case does not matter
  EXPECT_EQ(warning(), "Контакт с таким именем уже существует");
  EXPECT_FALSE(editor.btOK->isEnabled());
  editor.edPhone->setText("+7 903 111-22-33");  // Петров's number as well
  EXPECT_EQ(warning(), "Контакт с таким именем уже существует");
  EXPECT_FALSE(editor.btOK->isEnabled());
  editor.edName->setText(QStr("Новый"_cp));
  EXPECT_EQ(warning(), "Контакт с таким номером уже существует");
  EXPECT_FALSE(editor.btOK->isEnabled());
  QApplication::processEvents();  // the layout's turn
  EXPECT_EQ(editor.size(), opened) << "the warning makes the editor no larger";
  // The name stays a duplicate however the number changes afterwards.
  editor.edName->setText(QStr("Петров"_cp));
  editor.edPhone->setText("79990000000");
  EXPECT_EQ(warning(), "Контакт с таким именем уже существует");
  EXPECT_FALSE(editor.btOK->isEnabled());
  editor.edName->setText(QStr("Новый"_cp));
  EXPECT_EQ(warning(), "");
  EXPECT_TRUE(editor.btOK->isEnabled());
  editor.edPhone->setText("");
  editor.edName->setText("");
  EXPECT_TRUE(editor.btOK->isEnabled());  // empty fields are accepted

  // The contact being edited is no duplicate of itself.
  TEditPhoneFrm own;
  own.SetContact(*Stored("79031112233"));
  own.show();
  EXPECT_TRUE(own.btOK->isEnabled());
  own.edPhone->setText("79161234567");
  EXPECT_EQ(Utf8(own.lbExists->text()), "Контакт с таким номером уже существует");
  own.edPhone->setText("7 903 111 22 33");
  EXPECT_TRUE(own.btOK->isEnabled());
}

TEST_F(ContactEditor, ClicksCycleTheTranslitBoxFromGrayed) {
  TEditPhoneFrm editor;
  editor.show();
  EXPECT_EQ(editor.chbTranslit->checkState(), Qt::PartiallyChecked);
  std::vector<uint8_t> modes;
  for (int i = 0; i < 4; ++i) {
    editor.chbTranslit->click();
    modes.push_back(TEditPhoneFrm::StateToTranslit(editor.chbTranslit->checkState()));
  }
  EXPECT_EQ(modes, (std::vector<uint8_t>{2, 1, 0, 2}));

  TPhoneBookItem item;
  item.Translit = TPhoneBookItem::kTranslitAlways;
  TEditPhoneFrm checked;
  checked.SetContact(item);
  checked.show();
  checked.chbTranslit->click();
  EXPECT_EQ(checked.chbTranslit->checkState(), Qt::PartiallyChecked);
}

TEST_F(ContactEditor, TheGateListFollowsTheNumber) {
  TEditPhoneFrm editor;
  editor.edPhone->setText("79161234567");
  editor.show();
  std::vector<std::string> entries;
  for (int i = 0; i < editor.cbGate->count(); ++i) entries.push_back(Utf8(editor.cbGate->itemText(i)));
  EXPECT_EQ(entries, (std::vector<std::string>{"Автоматически", "SMS-центр", "МТС"}));  // by priority
  EXPECT_EQ(editor.cbGate->currentIndex(), 0);
  EXPECT_EQ(editor.SelectedGateName, "");

  editor.cbGate->setCurrentIndex(2);
  EXPECT_EQ(editor.SelectedGateName, "MTS");
  EXPECT_EQ(editor.SelectedGateCaption, "МТС"_cp);
  // Another number that MTS still serves keeps the choice; one it does not
  // serve falls back to the automatic choice.
  editor.edPhone->setText("79169999999");
  EXPECT_EQ(Utf8(editor.cbGate->currentText()), "МТС");
  editor.edPhone->setText("79031112200");
  EXPECT_EQ(editor.cbGate->count(), 2);
  EXPECT_EQ(editor.cbGate->currentIndex(), 0);
  EXPECT_EQ(editor.SelectedGateName, "");

  TPhoneBookItem out;
  editor.edPhone->setText("+7 (903) 111-22-00");
  editor.cbGate->setCurrentIndex(1);
  editor.GetContact(out);
  EXPECT_EQ(out.Phone, "79031112200");
  EXPECT_EQ(out.GateName, "Beeline");
  EXPECT_EQ(out.Caption, "Билайн"_cp);
}

TEST_F(ContactEditor, AddFromTextPrefillsTheEditorAndStoresWithoutAGroup) {
  struct Case {
    std::string text, name, phone;
  };
  const Case cases[] = {
      {"Вася", "Вася", ""},
      {"Вася Пупкин [+7 916 555-12-34]", "Вася Пупкин", "79165551234"},
      {"+7 916 555-12-34", "", "79165551234"},
  };
  for (const Case& c : cases) {
    std::string name = "-", phone = "-";
    WhenModal([&](QWidget* w) {
      auto* editor = qobject_cast<TEditPhoneFrm*>(w);
      ASSERT_NE(editor, nullptr);
      name = Utf8(editor->edName->text());
      phone = Utf8(editor->edPhone->text());
      editor->btCancel->click();
    });
    EXPECT_FALSE(TPhoneBook::AddFromText(CpStr(QString::fromStdString(c.text))));
    EXPECT_EQ(name, c.name) << c.text;
    EXPECT_EQ(phone, c.phone) << c.text;
  }
  EXPECT_EQ(Count("PhoneBook"), 4);

  WhenModal([](QWidget* w) {
    auto* editor = static_cast<TEditPhoneFrm*>(w);
    editor->cbGate->setCurrentIndex(editor->cbGate->count() - 1);
    editor->btOK->click();
  });
  EXPECT_TRUE(TPhoneBook::AddFromText("Вася [+7 916 555-12-34]"_cp));
  auto stored = Stored("79165551234");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->Name, "Вася"_cp);
  EXPECT_EQ(stored->GroupID, 0);
  EXPECT_EQ(stored->GateName, "MTS");
  EXPECT_EQ(stored->Translit, TPhoneBookItem::kTranslitDefault);
}

}  // namespace
