// The secondary windows item by item, as a person meets them: every caption
// and hint byte for byte, the tool bars and pop-up menus in their order, the
// starting state of each control, and lists that follow a click of the mouse
// (which makes a row current before it selects it) as well as the keyboard.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <map>
#include <set>

#include "aboutfrm.h"
#include "app/mainwindow.h"
#include "datetime.h"
#include "gatemngfrm.h"
#include "history.h"
#include "historyfrm.h"
#include "journey.h"
#include "optionsfrm.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "templatefrm.h"

namespace {

using Windows = DataWindowTest;

// The caption of a button, group box or label found by its object name.
std::string CaptionOf(const QWidget& window, const char* name) {
  const QObject* control = window.findChild<QObject*>(name);
  if (!control) return "<no " + std::string(name) + ">";
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return Utf8(button->text());
  if (auto* group = qobject_cast<const QGroupBox*>(control)) return Utf8(group->title());
  if (auto* label = qobject_cast<const QLabel*>(control)) return Utf8(label->text());
  return "<" + std::string(control->metaObject()->className()) + ">";
}

// Every label text inside `parent`, as a set.
std::multiset<std::string> LabelTexts(const QWidget& parent) {
  std::multiset<std::string> texts;
  for (const QLabel* label : parent.findChildren<QLabel*>()) texts.insert(Utf8(label->text()));
  return texts;
}

// The items of a tool bar or menu in order: an action's object name, the
// object name of a widget placed there, "-" for a separator.
std::vector<std::string> Layout(const QWidget& bar) {
  std::vector<std::string> items;
  for (QAction* action : bar.actions()) {
    if (action->isSeparator()) {
      items.push_back("-");
    } else if (!action->objectName().isEmpty()) {
      items.push_back(action->objectName().toStdString());
    } else if (auto* toolBar = qobject_cast<const QToolBar*>(&bar); toolBar && toolBar->widgetForAction(action)) {
      items.push_back(toolBar->widgetForAction(action)->objectName().toStdString());
    }
  }
  return items;
}

// A click of the mouse on a row of a list or tree view; a double click when
// asked.
void ClickRow(QAbstractItemView* view, const QModelIndex& index, bool twice = false) {
  QPoint at = view->visualRect(index).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  if (twice) QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// The menu key of the mouse on a row: what a right click asks of a view.
void RightClickRow(QAbstractItemView* view, const QModelIndex& index) {
  QPoint at = view->visualRect(index).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &menu);
}

struct ActionText {
  const char* name;
  const char* caption;
  const char* hint;
};

void ExpectActions(const TModalForm& window, std::initializer_list<ActionText> expected) {
  for (const ActionText& a : expected) {
    QAction* action = window.Action(a.name);
    ASSERT_NE(action, nullptr) << a.name;
    EXPECT_EQ(Utf8(action->text()), a.caption) << a.name;
    EXPECT_EQ(Utf8(action->toolTip()), a.hint) << a.name;
  }
}

// ---- Options ----

TEST_F(Windows, EveryOptionsControlCarriesItsCaption) {
  TOptionsFrm frm;
  const std::pair<const char*, const char*> captions[] = {
      {"gbTray", "Системный трей"},
      {"chbMinimizeToTray", "Сворачивать в трей"},
      {"chbCloseToTray", "Закрывать в трей"},
      {"chbAlwaysInTray", "Всегда показывать в трее"},
      {"chbRestoreDblClick", "Разворачивать по двойному клику"},
      {"lbSignature", "Подпись по умолчанию"},
      {"lbSignatureDivider", "Разделитель подписи"},
      {"chbFormatPhones", "Форматировать номера (отображать в виде +7 901 123-45-67)"},
      {"chbOneInstance", "Запрет одновременного запуска нескольких копий Parlomix"},
      {"chbSaveAfterExit", "Сохранять сообщение при выходе"},
      {"chbClearAfterSend", "Очищать сообщение после отправки"},
      {"chbClearOnlyText", "Очищать только текст сообщения"},
      {"chbSaveHistory", "Сохранять сообщения в истории"},
      {"chbClearOnExit", "Очищать историю при выходе"},
      {"chbLogSend", "Сохранять протокол отправки"},
      {"chbCheckDelivery", "Проверять статус доставки сообщения (глобальный переключатель)"},
      {"chbAutoClose", "Автоматически закрывать окно отправки при успешной отправке"},
      {"btClearHistory", "Очистить сейчас"},
      {"rbDirect", "Не использовать прокси"},
      {"rbIE", "Использовать настройки IE"},
      {"rbProxy", "Использовать прокси"},
      {"gbProxy", "Прокси"},
      {"lbProxyType", "Тип"},
      {"lbHost", "Сервер"},
      {"lbPort", "Порт"},
      {"chbAuth", "Аутентификация"},
      {"lbName", "Имя"},
      {"lbPass", "Пароль"},
      {"chbAutoCheckUpdate", "Автоматически проверять обновление Parlomix"},
      {"chbAutoUpdateGates", "Автоматически проверять обновления базы операторов"},
      {"chbStats", "Вести статистику отправленных сообщений"},
      {"chbSendStatsToServer", "Посылать статистику на сервер"},
      {"btOk", "OK"},
      {"btCancel", "Отмена"},
  };
  for (const auto& [name, caption] : captions) EXPECT_EQ(CaptionOf(frm, name), caption) << name;
  // Each period list stands between "Каждые" and "суток".
  std::multiset<std::string> update = LabelTexts(*frm.tsUpdate);
  EXPECT_EQ(update.count("Каждые"), 2u);
  EXPECT_EQ(update.count("суток"), 2u);
  // Each control sits on its own page.
  const std::pair<const char*, QWidget*> pages[] = {
      {"chbRestoreDblClick", frm.tsGeneral}, {"edSignatureDivider", frm.tsGeneral}, {"chbAutoClose", frm.tsBehaviour},
      {"edPass", frm.tsProxy},               {"cbUpdateGatesPeriod", frm.tsUpdate}, {"chbSendStatsToServer", frm.tsStats}};
  for (const auto& [name, page] : pages) EXPECT_TRUE(page->isAncestorOf(frm.findChild<QWidget*>(name))) << name;
}

// "OK" is the default button: Enter in the port list, after typing a port,
// saves and closes like a click on it.
TEST_F(Windows, APortTypedAndEnterSaveTheOptions) {
  TOptionsFrm frm;
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  frm.SelectPage(TOptionsFrm::pgProxy);
  QTest::mouseClick(frm.rbProxy, Qt::LeftButton);
  ASSERT_TRUE(frm.edPort->isEnabled());
  frm.edPort->setFocus();
  frm.edPort->lineEdit()->selectAll();
  TypeInto(frm.edPort->lineEdit(), "3129");
  QTest::keyClick(frm.edPort->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(frm.result(), QDialog::Accepted);
  EXPECT_FALSE(frm.isVisible());
  EXPECT_EQ(Options->ReadInteger("Network\\ProxyPort"), 3129);
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "HTTP");
}

// ---- Gate manager ----

TEST_F(Windows, TheGateManagersInformationCaptions) {
  TGateMngFrm frm;
  EXPECT_EQ(CaptionOf(frm, "gbInfo"), "Информация");
  EXPECT_EQ(CaptionOf(frm, "chbDisabled"), "Запретить использование оператора");
  EXPECT_EQ(CaptionOf(frm, "chbDontCheckDelivery"), "Запретить проверку статуса доставки");
  EXPECT_EQ(CaptionOf(frm, "btClose"), "Закрыть");
  std::multiset<std::string> labels = LabelTexts(*frm.gbInfo);
  for (const char* caption : {"Внутреннее имя:", "Тип:", "Сайт:", "Версия:", "Префиксы:", "Дополнительно:"})
    EXPECT_EQ(labels.count(caption), 1u) << caption;
}

// The list follows the mouse and the arrow keys, and the disabling box
// stores what the space bar gives it.
TEST_F(Windows, TheGateListFollowsTheMouseAndTheKeys) {
  Gate("MTS", "МТС"_cp, "7916", 20);
  Gate("Beeline", "Билайн"_cp, "7903", 10);
  TGateMngFrm frm;
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  EXPECT_EQ(frm.SelectedGateName(), "Beeline");  // by caption, the first
  ClickRow(frm.lbGates, frm.lbGates->model()->index(1, 0));
  EXPECT_EQ(Utf8(frm.lbGateName->text()), "MTS");
  QTest::keyClick(frm.lbGates, Qt::Key_Up);
  EXPECT_EQ(Utf8(frm.lbGateName->text()), "Beeline");
  frm.chbDisabled->setFocus();
  QTest::keyClick(frm.chbDisabled, Qt::Key_Space);
  EXPECT_EQ(db().GetIntValue("SELECT Disabled FROM gates.Gate WHERE Name='Beeline'"), 1);
  EXPECT_EQ(db().GetIntValue("SELECT Disabled FROM gates.Gate WHERE Name='MTS'"), 0);
  QTest::mouseClick(frm.btClose, Qt::LeftButton);
  EXPECT_EQ(frm.result(), QDialog::Accepted);
}

// ---- Phone book and contact editor ----

TEST_F(Windows, ThePhoneBooksHintsToolBarAndMenus) {
  TPhoneBookFrm frm;
  ExpectActions(frm, {{"aAddGroup", "Новая группа", "Добавить группу"},
                      {"aRenameGroup", "Переименовать группу", "Переименовать группу"},
                      {"aDeleteGroup", "Удалить группу", "Удалить группу"},
                      {"aAddItem", "Новый контакт", "Добавить контакт"},
                      {"aEditItem", "Редактировать контакт", "Редактировать контакт"},
                      {"aDeleteItem", "Удалить контакт", "Удалить контакт"},
                      {"aEdit", "Изменить", "Редактировать"},
                      {"aDelete", "Удалить", "Удалить"},
                      {"aSendSMS", "Отправить сообщение", "Отправить сообщение контакту"},
                      {"aContactHistory", "История", "История контакта"},
                      {"aClose", "Закрыть", "Закрыть адресную книгу"}});
  EXPECT_EQ(Layout(*frm.ToolBar), (std::vector<std::string>{"tbNew", "aEdit", "aDelete", "-", "aSendSMS", "-", "aClose"}));
  auto* newButton = frm.findChild<QToolButton*>("tbNew");
  ASSERT_NE(newButton, nullptr);
  EXPECT_EQ(Utf8(newButton->text()), "Новый");
  EXPECT_EQ(newButton->menu(), frm.pmNew);
  EXPECT_EQ(Layout(*frm.pmNew), (std::vector<std::string>{"aAddItem", "aAddGroup"}));
  EXPECT_EQ(Layout(*frm.pmGroups), (std::vector<std::string>{"aAddGroup", "aRenameGroup", "aDeleteGroup"}));
  EXPECT_EQ(Layout(*frm.pmItems),
            (std::vector<std::string>{"aSendSMS", "aContactHistory", "-", "aAddItem", "aEditItem", "aDeleteItem"}));
}

// A right click on a group selects it before its menu opens; one on a
// contact opens the contacts' menu.
TEST_F(Windows, ARightClickSelectsTheGroupItsMenuIsFor) {
  int work = Group("Работа"_cp);
  Contact("Иванов"_cp, "79161234567");
  TPhoneBookFrm frm;
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  RightClickRow(frm.tvGroups, frm.tvGroups->model()->index(1, 0));
  EXPECT_EQ(frm.LoadedGroupID, work);
  EXPECT_TRUE(frm.pmGroups->isVisible());
  EXPECT_TRUE(frm.Action("aRenameGroup")->isEnabled());
  frm.pmGroups->close();
  RightClickRow(frm.tvGroups, frm.tvGroups->model()->index(0, 0));
  EXPECT_EQ(frm.LoadedGroupID, 0);
  EXPECT_FALSE(frm.Action("aDeleteGroup")->isEnabled()) << "the first node is not deleted";
  frm.pmGroups->close();
  RightClickRow(frm.lvItems, frm.lvItems->model()->index(0, 0));
  EXPECT_TRUE(frm.pmItems->isVisible());
  frm.pmItems->close();
}

// "Изменить" and "Удалить" on the tool bar follow the list or tree that the
// mouse last clicked into.
TEST_F(Windows, TheToolBarActsOnTheListOrTreeTheMouseClicked) {
  int friends = Group("Друзья"_cp);
  Contact("Иванов"_cp, "79161234567", friends);
  Contact("Петров"_cp, "79031112233", friends);
  TPhoneBookFrm frm;
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  QModelIndex friendsNode = frm.tvGroups->model()->index(1, 0);
  ClickRow(frm.tvGroups, friendsNode);
  ASSERT_EQ(frm.LoadedGroupID, friends);
  ClickRow(frm.lvItems, frm.lvItems->model()->index(0, 0));
  EXPECT_TRUE(frm.Action("aDelete")->isEnabled());
  AnswerBox(QMessageBox::Yes);
  QTest::mouseClick(frm.ToolBar->widgetForAction(frm.Action("aDelete")), Qt::LeftButton);
  EXPECT_EQ(Count("PhoneBook"), 1);
  EXPECT_EQ(Count("PhoneBookGroup"), 1) << "the contact went, not its group";

  ASSERT_TRUE(Reactivate(frm));
  ClickRow(frm.tvGroups, friendsNode);
  ASSERT_TRUE(frm.Action("aEdit")->isEnabled());
  QTest::mouseClick(frm.ToolBar->widgetForAction(frm.Action("aEdit")), Qt::LeftButton);
  QApplication::processEvents();
  auto* editor = frm.tvGroups->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr) << "the group is renamed in place";
  editor->selectAll();
  TypeInto(editor, QString::fromUtf8("Семья"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  TPhoneBookGroupList groups;
  TPhoneBook::LoadGroups(groups);
  ASSERT_EQ(groups.Count(), 1);
  EXPECT_EQ(groups[0]->Name, "Семья"_cp);
}

TEST_F(Windows, TheContactEditorsCaptionsAndStartingState) {
  TEditPhoneFrm editor;
  editor.show();
  const std::pair<const char*, QWidget*> labels[] = {
      {"Имя", editor.edName}, {"Телефон", editor.edPhone}, {"Оператор/шлюз", editor.cbGate}, {"Подпись", editor.edSignature}};
  for (const auto& [caption, field] : labels) {
    auto all = editor.findChildren<QLabel*>();
    auto it = std::find_if(all.begin(), all.end(), [&](QLabel* l) { return Utf8(l->text()) == caption; });
    ASSERT_NE(it, all.end()) << caption;
    EXPECT_EQ((*it)->buddy(), field) << caption;
  }
  EXPECT_EQ(CaptionOf(editor, "chbTranslit"), "Транслитерация сообщений");
  EXPECT_EQ(editor.chbTranslit->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(editor.lbExists->isVisible());
  EXPECT_EQ(CaptionOf(editor, "btOK"), "&OK");
  EXPECT_TRUE(editor.btOK->isDefault());
  EXPECT_EQ(CaptionOf(editor, "btCancel"), "О&тмена");
  EXPECT_FALSE(editor.cbGate->isEditable());
  ASSERT_EQ(editor.cbGate->count(), 1);
  EXPECT_EQ(Utf8(editor.cbGate->currentText()), "Автоматически");
  EXPECT_EQ(editor.EditedID, 0);
}

// ---- History ----

TEST_F(Windows, TheHistorysHintsToolBarMenuAndStatusPanel) {
  THistoryFrm frm;
  ExpectActions(frm, {{"aSendSMS", "Отправить сообщение", "Повторно отправить сообщение"},
                      {"aPasteText", "Добавить к сообщению", "Добавить текст к сообщению"},
                      {"aCopy", "Копировать текст", "Копировать только текст сообщения"},
                      {"aCopyAsText", "Копировать", "Копировать запись истории"},
                      {"aClose", "Закрыть", "Закрыть историю"}});
  EXPECT_EQ(Layout(*frm.ToolBar), (std::vector<std::string>{"aSendSMS", "-", "aClose"}));
  EXPECT_EQ(frm.ToolBar->toolButtonStyle(), Qt::ToolButtonTextOnly);
  EXPECT_EQ(Layout(*frm.pmHistory), (std::vector<std::string>{"aSendSMS", "aPasteText", "aCopy", "aCopyAsText"}));
  EXPECT_EQ(frm.StatusPanel->minimumWidth(), 300);
}

// A message of several lines is listed as it was sent, and drawn on one
// line like any other row.
TEST_F(Windows, AMessageOfSeveralLinesIsListedAsSentOnOneLine) {
  for (const char* text : {"Строка 1\r\nСтрока 2\nСтрока 3", "Строка"}) {
    THistoryItem item;
    item.Phone = "79161234567";
    item.Subject = "Тема"_cp;
    item.Message = CpStr(QString::fromUtf8(text));
    THistory::Add(item);
  }
  THistoryFrm frm;
  frm.show();
  QModelIndex several = frm.lvHistory->model()->index(0, 2), one = frm.lvHistory->model()->index(1, 2);
  EXPECT_EQ(Utf8(several.data().toString()), "Тема. Строка 1\r\nСтрока 2\nСтрока 3");
  QStyleOptionViewItem option;
  option.initFrom(frm.lvHistory);
  QAbstractItemDelegate* delegate = frm.lvHistory->itemDelegateForIndex(several);
  EXPECT_EQ(delegate->sizeHint(option, several).height(), delegate->sizeHint(option, one).height());
  EXPECT_GT(delegate->sizeHint(option, several).width(), delegate->sizeHint(option, one).width());
}

class HistoryByMouse : public DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    // Two on the 6th of February, one on the 7th.
    for (TDateTime time : {EncodeDate(2024, 2, 6) + 0.40, EncodeDate(2024, 2, 6) + 0.60, EncodeDate(2024, 2, 7) + 0.5}) {
      THistoryItem item;
      item.Phone = "79161234567";
      item.Message = "text";
      THistory::Add(item, time);
    }
    frm.show();
    ASSERT_TRUE(Reactivate(frm));
    frm.tvDates->expandAll();
  }
  QModelIndex Day(int row) const {
    QAbstractItemModel* tree = frm.tvDates->model();
    QModelIndex february = tree->index(0, 0, tree->index(0, 0));
    return tree->index(row, 0, february);
  }
  std::string SelectedDay() const { return frm.SelectedNode() ? frm.SelectedNode()->text : ""; }

  THistoryFrm frm;
};

TEST_F(HistoryByMouse, AMessageClickedInTheListSelectsItsDay) {
  ASSERT_EQ(frm.SelectedRow(), 2);
  ASSERT_EQ(SelectedDay(), "7 (12:00)");
  ClickRow(frm.lvHistory, frm.lvHistory->model()->index(1, 0));
  EXPECT_EQ(frm.SelectedRow(), 1);
  EXPECT_EQ(SelectedDay(), "6 (09:36)");
}

TEST_F(HistoryByMouse, ADayClickedInTheTreeSelectsItsFirstMessageEvenWhenItWasSelected) {
  ClickRow(frm.tvDates, Day(0));
  EXPECT_EQ(frm.SelectedRow(), 0);
  QTest::keyClick(frm.lvHistory, Qt::Key_Down);
  ASSERT_EQ(frm.SelectedRow(), 1);
  ASSERT_EQ(SelectedDay(), "6 (09:36)") << "the same day stays selected";
  ClickRow(frm.tvDates, Day(0));
  EXPECT_EQ(frm.SelectedRow(), 0);
}

// ---- Template manager ----

class TemplatesByMouse : public DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    db().ExecSQL("DELETE FROM Template");
    TTemplateList::Add("Первый"_cp, "Текст один"_cp);
    TTemplateList::Add("Второй"_cp, "Текст два"_cp);
  }
};

TEST_F(TemplatesByMouse, CaptionsAndPictureButtons) {
  TTemplateFrm frm;
  EXPECT_EQ(CaptionOf(frm, "gbTemplate"), "Шаблон");
  std::multiset<std::string> labels = LabelTexts(*frm.gbTemplate);
  EXPECT_EQ(labels, (std::multiset<std::string>{"Имя", "Текст"}));
  const std::pair<const char*, const char*> buttons[] = {{"btAdd", "Добавить"}, {"btDelete", "Удалить"},
                                                         {"btSave", "Сохранить"}, {"btCancel", "Отмена"},
                                                         {"btSelect", "Выбрать"}, {"btClose", "Закрыть"}};
  for (const auto& [name, caption] : buttons) EXPECT_EQ(CaptionOf(frm, name), caption) << name;
  for (const char* name : {"btUp", "btDown"}) {
    auto* picture = frm.findChild<QToolButton*>(name);
    ASSERT_NE(picture, nullptr) << name;
    EXPECT_EQ(picture->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_FALSE(picture->icon().isNull()) << name;
  }
}

// An entry clicked with the mouse is shown at once and discards what was
// typed; a double click on it hands its text back.
TEST_F(TemplatesByMouse, AnEntryClickedIsShownAndADoubleClickChoosesIt) {
  TTemplateFrm frm;
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  frm.edName->setFocus();
  TypeInto(frm.edName, "x");
  ASSERT_TRUE(frm.Modified());
  QModelIndex second = frm.lbTemplates->model()->index(1, 0);
  ClickRow(frm.lbTemplates, second);
  EXPECT_EQ(frm.SelectedIndex(), 1);
  EXPECT_FALSE(frm.Modified());
  EXPECT_EQ(Utf8(frm.edName->text()), "Второй");
  EXPECT_EQ(Utf8(frm.mText->toPlainText()), "Текст два");
  EXPECT_FALSE(frm.Action("aSave")->isEnabled());
  EXPECT_FALSE(frm.Action("aDown")->isEnabled());
  EXPECT_TRUE(frm.Action("aUp")->isEnabled());

  QTest::mouseClick(frm.findChild<QToolButton*>("btUp"), Qt::LeftButton);
  EXPECT_EQ(Utf8(frm.lbTemplates->item(0)->text()), "Второй");
  frm.mText->setFocus();
  TypeInto(frm.mText, "!");
  QTest::mouseClick(frm.findChild<QPushButton*>("btSave"), Qt::LeftButton);
  TTemplateItemList stored;
  TTemplateList::Load(stored);
  ASSERT_EQ(stored.Count(), 2);
  EXPECT_EQ(stored[0]->Text, "!Текст два"_cp);

  ClickRow(frm.lbTemplates, frm.lbTemplates->model()->index(1, 0), true);
  EXPECT_EQ(frm.result(), QDialog::Accepted);
  EXPECT_EQ(frm.EditorText(), "Текст один"_cp);
}

// ---- About box ----

TEST_F(Windows, TheAboutBoxsCaptionsAndButton) {
  TAboutFrm frm;
  std::multiset<std::string> labels = LabelTexts(frm);
  EXPECT_EQ(labels.count("Web:"), 1u);
  EXPECT_EQ(labels.count("E-Mail:"), 1u);
  EXPECT_TRUE(frm.lbVersion->font().bold());
  EXPECT_TRUE(frm.lbPublisher->font().bold());
  EXPECT_EQ(Utf8(frm.lbWeb->text()), kPublisherWeb);
  EXPECT_EQ(Utf8(frm.lbEmail->text()), kPublisherEmail);
  EXPECT_EQ(frm.lbWeb->textFormat(), Qt::PlainText);
  EXPECT_EQ(CaptionOf(frm, "btOK"), "&OK");
  EXPECT_TRUE(frm.btOK->isDefault());
  frm.show();
  ASSERT_TRUE(Reactivate(frm));
  // Both links open with a click, and are underlined only under the mouse.
  UrlRecorder browser;
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(frm.lbWeb, &enter);
  EXPECT_TRUE(frm.lbWeb->font().underline());
  EXPECT_FALSE(frm.lbEmail->font().underline());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(frm.lbWeb, &leave);
  EXPECT_FALSE(frm.lbWeb->font().underline());
  QTest::mouseClick(frm.lbWeb, Qt::LeftButton);
  QTest::mouseClick(frm.lbEmail, Qt::LeftButton);
  EXPECT_EQ(browser.urls, (std::vector<std::string>{kPublisherWeb, MailtoAddress(kPublisherEmail)}));
  QTest::keyClick(&frm, Qt::Key_Escape);
  EXPECT_FALSE(frm.isVisible());
}

}  // namespace
