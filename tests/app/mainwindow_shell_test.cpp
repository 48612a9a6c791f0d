// The running main window: the bookkeeping after a send, message files,
// templates, its menus and tool bars, the tray, the options refresh, links
// and help, and an exception reaching the event loop.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <filesystem>

#include "app/mainwindow.h"
#include "app/qtwait.h"
#include "application.h"
#include "corelimits.h"
#include "cp1251.h"
#include "history.h"
#include "instanceguard.h"
#include "lastitems.h"
#include "mainactions.h"
#include "smsfile.h"
#include "stats.h"
#include "templates.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

namespace fs = std::filesystem;

using MainWindowShell = MainWindowTest;

std::unique_ptr<TSMS> SentMessage(bool mms) {
  std::unique_ptr<TSMS> msg = mms ? std::make_unique<TMMS>() : std::make_unique<TSMS>();
  msg->SetItemNamed(MsgKey::MessageType, Variant::String(mms ? "MMS" : "SMS"));
  msg->SetItemNamed(MsgKey::Message, Variant::String("Текст"_cp));
  msg->SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  msg->SetItemNamed(MsgKey::Signature, Variant::String("Вася"_cp));
  msg->SetItemNamed(MsgKey::Subject_Orig, Variant::String("Тема"_cp));
  return msg;
}

// Every send status under every combination of the options that decide
// what is booked, against the real history, statistics and controls.
TEST_F(MainWindowShell, AfterSendBooksEachOutcomeAsTheOptionsSay) {
  auto frm = Start();
  TSQLiteDatabase& db = *Database;
  int64_t today = TStats::Today();
  for (int bits = 0; bits < 32; ++bits) {
    bool logStats = bits & 1, addToHistory = bits & 2, errorToHistory = bits & 4, clearAfterSend = bits & 8,
         clearOnlyText = bits & 16;
    Options->WriteBool("Stats\\LogStats", logStats);
    Options->WriteBool("Message\\AddToHistory", addToHistory);
    Options->WriteBool("Message\\ErrorMsgToHistory", errorToHistory);
    Options->WriteBool("Message\\ClearAfterSend", clearAfterSend);
    Options->WriteBool("Message\\ClearOnlyText", clearOnlyText);
    for (uint8_t status : {0, 1, 2, 4, 5}) {
      for (bool mms : {false, true}) {
        SCOPED_TRACE("status " + std::to_string(status) + " options " + std::to_string(bits) + (mms ? " MMS" : " SMS"));
        db.ExecSQL("DELETE FROM History");
        db.ExecSQL("DELETE FROM Stats");
        frm->cbTo->setEditText("79161234567");
        frm->SetMemoText("draft");
        frm->cbSubject->setEditText("subject");
        int sentBefore = frm->SentCount(), totalBefore = Options->ReadInteger("Message\\TotalMsgSent");

        frm->AfterSend("G", *SentMessage(mms), status, "error text");

        bool cancelled = status == 4 || status == 5;
        bool done = status == 0 || status == 1 || status == 5 || (status == 2 && errorToHistory);
        std::string stats = "SELECT SendCount || '/' || SendError FROM Stats WHERE GateName='G' AND Date";
        if (logStats && !cancelled) {
          std::string counts = status == 2 ? "0/1" : "1/0";
          EXPECT_EQ(db.GetStringValue(stats + "=" + std::to_string(today)), counts);
          EXPECT_EQ(db.GetStringValue(stats + " IS NULL"), counts);
        } else {
          EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM Stats"), 0);
        }
        bool row = done && addToHistory;
        ASSERT_EQ(db.GetIntValue("SELECT count(*) FROM History"), row ? 1 : 0);
        if (row) {
          auto t = db.GetUniTable("SELECT GateName, Phone, Message, Signature, Subject, DeliveryStatus FROM History");
          EXPECT_EQ(t->FieldAsString(0), "G");
          EXPECT_EQ(t->FieldAsString(1), "79161234567");
          EXPECT_EQ(t->FieldAsString(2), "Текст"_cp);
          EXPECT_EQ(t->FieldAsString(3), "Вася"_cp);
          EXPECT_EQ(t->FieldAsString(4), mms ? "Тема"_cp : "");
          const int deliveryOf[] = {1, 2, 4, -1, -1, 3};
          EXPECT_EQ(t->FieldAsInteger(5), deliveryOf[status]);
        }
        EXPECT_EQ(frm->SentCount(), sentBefore + (done ? 1 : 0));
        EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), totalBefore + (done ? 1 : 0));
        // A failure is cleared away only when the history keeps its text.
        bool cleared = done && clearAfterSend && (status != 2 || addToHistory);
        EXPECT_EQ(frm->MemoText(), cleared ? "" : "draft");
        EXPECT_EQ(frm->cbSubject->currentText(), cleared ? "" : "subject");
        EXPECT_EQ(frm->cbTo->currentText(), cleared && !clearOnlyText ? "" : "79161234567");
      }
    }
  }
  EXPECT_EQ(frm->StatusPanel1->text(),
            QStr("Отправлено сообщений %1, всего %1"_cp).arg(frm->SentCount()));
  // A total at the top of its stored range stays there.
  Options->WriteInteger("Message\\TotalMsgSent", INT32_MAX);
  frm->AfterSend("G", *SentMessage(false), 1, "");
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), INT32_MAX);
}

// A history row that cannot be written (a full disk) is raised to be
// shown once the rest is booked: the counters go up and the composer is
// cleared, but a failure's text stays when no history row keeps it.
TEST_F(MainWindowShell, AHistoryRowThatCannotBeWrittenStopsNothingElse) {
  auto frm = Start();
  Database->ExecSQL("CREATE TRIGGER full BEFORE INSERT ON History BEGIN SELECT RAISE(ABORT, 'disk full'); END");
  Options->WriteBool("Message\\ErrorMsgToHistory", true);
  for (uint8_t status : {1, 2}) {
    frm->SetMemoText("draft");
    int total = Options->ReadInteger("Message\\TotalMsgSent");
    EXPECT_THROW(frm->AfterSend("G", *SentMessage(false), status, ""), ESQLiteException);
    EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), total + 1);
    EXPECT_EQ(frm->MemoText(), status == 1 ? "" : "draft");
  }
}

TEST_F(MainWindowShell, MessageFilesGoThroughTheWindow) {
  TempDir files;
  fs::create_directory(files.File("ivan.petrov"));
  std::string saved;
  {
    auto frm = Start();
    frm->cbTo->setEditText("79161234567");
    frm->SetMemoText("Первая строка\r\nвторая"_cp);
    frm->cbSignature->setEditText("Sig");
    frm->chbFlash->setChecked(true);
    frm->SaveChosenFile(files.File("ivan.petrov/note"));
    saved = frm->FileName();
    EXPECT_EQ(saved, files.File("ivan.petrov/note")) << "the folder's dot counts";
    ASSERT_TRUE(fs::exists(saved));
    frm->SaveChosenFile(files.File("named.txt"));
    EXPECT_TRUE(fs::exists(files.File("named.txt")));
  }
  auto frm = Start();
  frm->OpenChosenFile(files.File("ivan.petrov/note"));
  EXPECT_EQ(frm->FileName(), saved);
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_EQ(frm->MemoText(), "Первая строка\r\nвторая"_cp);
  EXPECT_EQ(frm->cbSignature->currentText(), "Sig");
  EXPECT_TRUE(frm->chbFlash->isChecked());
  EXPECT_TRUE(frm->Action("aSMS")->isChecked());

  // A file that is not there changes nothing; one that is no message
  // raises (the error is shown) and leaves the composer as it was.
  frm->SetMemoText("kept");
  frm->LoadMessageFile(files.File("none.plmx"));
  EXPECT_EQ(frm->MemoText(), "kept");
  for (const std::string& damaged :
       {std::string("<message><text>"), "<message type=\"MMS\"><to>7903</to><text>" +
                                            std::string(kMaxMessageText + 1, 'x') + "</text></message>"}) {
    files.Write("broken.plmx", damaged);
    EXPECT_THROW(frm->LoadMessageFile(files.File("broken.plmx")), Exception);
    EXPECT_EQ(frm->MemoText(), "kept");
    EXPECT_EQ(frm->RecipientPhone(), "79161234567");
    EXPECT_TRUE(frm->Action("aSMS")->isChecked());
  }
  // A message is read whole before the composer changes: a delivery time
  // no calendar holds raises with nothing shown.
  TMMS unshowable;
  unshowable.SetItemNamed(MsgKey::MessageType, Variant::String("MMS"));
  unshowable.SetItemNamed(MsgKey::Phone, Variant::String("7903"));
  unshowable.SetItemNamed(MsgKey::Message, Variant::String("lost"));
  unshowable.SetItemNamed(MsgKey::Delivery, Variant::Boolean(true));
  unshowable.SetItemNamed(MsgKey::DeliveryTime, Variant::Date(kMaxDateTime));
  EXPECT_THROW(frm->LoadMessage(unshowable), EConvertError);
  EXPECT_EQ(frm->MemoText(), "kept");
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_TRUE(frm->Action("aSMS")->isChecked());
  // Write errors reach the caller and leave no file behind.
  EXPECT_THROW(frm->SaveMessageFile(files.File("no/such/folder/m.plmx")), Exception);
}

TEST_F(MainWindowShell, AFileOfTheOtherKindSelectsItAndItsGate) {
  WithDatabase([](TSQLiteDatabase& db) {
    AddGate(db, "MmsA", "MMS A", "7916", "MMS");
    AddGate(db, "MmsB", "MMS B", "7916", "MMS");
  });
  TempDir files;
  TSMSFile file;
  file.Message.SetItemNamed(MsgKey::MessageType, Variant::String("mms"));
  file.Message.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  file.Message.SetItemNamed(MsgKey::GateName, Variant::String("MmsB"));
  file.Message.SetItemNamed(MsgKey::Subject_Orig, Variant::String("S"));
  file.SaveToFile(files.File("m.plmx"));
  auto frm = Start();
  frm->LoadMessageFile(files.File("m.plmx"));
  EXPECT_TRUE(frm->Action("aMMS")->isChecked());
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "MmsB");
  EXPECT_EQ(frm->cbGate->count(), 2);
  EXPECT_TRUE(frm->lbGatesCnt->isVisibleTo(frm.get()));
  EXPECT_EQ(frm->cbSubject->currentText(), "S");
  EXPECT_TRUE(frm->gbMM->isEnabled());
}

TEST_F(MainWindowShell, TemplateTextPutsTheCaretAtTheFirstBar) {
  auto frm = Start();
  frm->SetMemoText("old");
  frm->InsertTemplateText("");
  EXPECT_EQ(frm->MemoText(), "old");
  frm->InsertTemplateText("Опаздываю, буду в |"_cp);
  EXPECT_EQ(frm->MemoText(), "Опаздываю, буду в "_cp);
  EXPECT_EQ(frm->mMsg->textCursor().position(), 18);
  frm->InsertTemplateText("Line one\r\nsecond |here| end");
  EXPECT_EQ(frm->MemoText(), "Line one\r\nsecond here end");
  // One memo position for the line break.
  EXPECT_EQ(frm->mMsg->textCursor().position(), 16);
}

TEST_F(MainWindowShell, TheTemplatesMenuListsTemplatesAndRenewsFromTheMainToolBar) {
  int first = 0;
  QStringList names;
  WithDatabase([&](TSQLiteDatabase&) {
    first = TTemplateList::Add("Привет"_cp, "Привет, |!"_cp)->ID;
    TTemplateList::Add("Late", "Буду позже"_cp);
    TTemplateItemList all;  // the seeded ones and ours, in template order
    TTemplateList::Load(all);
    for (int i = 0; i < all.Count(); ++i) names << QStr(all[i]->Name);
  });
  auto frm = Start();
  QList<QAction*> entries = frm->TemplateMenu()->actions();
  ASSERT_EQ(entries.size(), names.size() + 2);
  for (qsizetype i = 0; i < names.size(); ++i) EXPECT_EQ(entries[i]->text(), names[i]);
  EXPECT_EQ(names.mid(names.size() - 2), QStringList({QStr("Привет"_cp), "Late"}));
  EXPECT_TRUE(entries[names.size()]->isSeparator());
  EXPECT_EQ(entries.back(), frm->Action("aTemplateMgr"));
  EXPECT_EQ(frm->pmTemplatesMsg->actions().size(), entries.size());

  frm->cbTo->setEditText("79161234567");
  frm->TemplateMenuClick(first, false);  // the message tool bar keeps the message
  EXPECT_EQ(frm->cbTo->currentText(), "79161234567");
  EXPECT_EQ(frm->MemoText(), "Привет, !"_cp);
  entries[names.size() - 1]->trigger();  // the main tool bar's menu starts a new message
  EXPECT_EQ(frm->cbTo->currentText(), "");
  EXPECT_EQ(frm->MemoText(), "Буду позже"_cp);
}

TEST_F(MainWindowShell, TheTemplateManagerIsReachedThroughItsHook) {
  auto frm = Start();
  // After the window, which brings the real manager with it.
  std::vector<std::string> asked;
  TTemplateList::SetManagerHook([&](const std::string& text) {
    asked.push_back(text);
    return std::string("Chosen |text");
  });
  frm->SetMemoText("my text");
  frm->Action("aSaveTemplate")->trigger();
  EXPECT_EQ(frm->MemoText(), "my text") << "what it returns is not used";
  frm->Action("aTemplateMgr")->trigger();
  EXPECT_EQ(frm->MemoText(), "Chosen text");
  EXPECT_EQ(asked, (std::vector<std::string>{"my text", ""}));
  TTemplateList::SetManagerHook(nullptr);
}

TEST_F(MainWindowShell, CaptionMenusAndToolBarsAreInTheirOrder) {
  auto frm = Start();
  EXPECT_EQ(frm->windowTitle(), QStr("Parlomix - Отправка SMS/MMS сообщений"_cp));
  QList<QAction*> menus = frm->menuBar()->actions();
  ASSERT_EQ(menus.size(), 3);
  auto entries = [&](QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : a->menu() ? "[" + a->text() + "]" : a->objectName());
    return out;
  };
  EXPECT_EQ(menus[0]->text(), QStr("&Сообщение"_cp));
  EXPECT_EQ(entries(menus[0]->menu()), QStringList({"aNew", "aFileOpen", "aFileSave", "aFileSaveAs", "-",
                                                    "[" + QStr("Тип"_cp) + "]", "[" + QStr("Мультимедия"_cp) + "]",
                                                    "aSendSMS", "-", "aExit"}));
  EXPECT_EQ(entries(menus[0]->menu()->actions()[5]->menu()), QStringList({"aSMS", "aMMS"}));
  EXPECT_EQ(entries(menus[0]->menu()->actions()[6]->menu()), QStringList({"aAddMultimedia", "aDeleteMultimedia"}));
  EXPECT_EQ(menus[1]->text(), QStr("С&ервис"_cp));
  EXPECT_EQ(entries(menus[1]->menu()), QStringList({"aHistory", "aContactHistory", "-", "aPhoneBook",
                                                    "aAddToPhoneBook", "-", "aShowGatesMng", "aTemplateMgr", "-",
                                                    "aOptions"}));
  EXPECT_EQ(menus[2]->text(), QStr("&Помощь"_cp));
  EXPECT_EQ(entries(menus[2]->menu()), QStringList({"aHelp", "aHomePage", "aForum", "aFeedback", "-", "aCheckUpdate",
                                                    "aCheckUpdateGates", "-", "aAbout"}));

  auto bar = [&](const char* name) {
    QStringList out;
    for (QAction* a : frm->findChild<QToolBar*>(name)->actions()) out << a->objectName();
    return out;
  };
  EXPECT_EQ(bar("tbMain"), QStringList({"aNew", "aSMS", "aMMS", "aSendSMS", "aHistory", "aPhoneBook"}));
  EXPECT_EQ(bar("tbMessage"), QStringList({"aClear", "aSaveTemplate", "aCut", "aCopy", "aPaste", "aContactHistory"}));
  auto* newButton = qobject_cast<QToolButton*>(frm->findChild<QToolBar*>("tbMain")->widgetForAction(frm->Action("aNew")));
  EXPECT_EQ(newButton->menu(), frm->TemplateMenu());

  // Panel 0 the ready text, panel 1 the sent counter.
  QStatusBar* status = frm->findChild<QStatusBar*>("StatusBar");
  ASSERT_EQ(status, frm->statusBar());
  frm->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(status->isAncestorOf(frm->StatusPanel0));
  EXPECT_TRUE(status->isAncestorOf(frm->StatusPanel1));
  EXPECT_LT(frm->StatusPanel0->x(), frm->StatusPanel1->x());
  EXPECT_NE(frm->findChild<TInstanceGuard*>("AppInstances"), nullptr);
  EXPECT_EQ(frm->findChild<QTimer*>("Timer1")->interval(), 1000);

  QList<QAction*> tray = frm->pmTray->actions();
  ASSERT_EQ(tray.size(), 3);
  EXPECT_EQ(tray[0]->text(), QStr("&Скрыть/Показать"_cp));
  EXPECT_EQ(frm->pmTray->defaultAction(), tray[0]);
  EXPECT_TRUE(tray[1]->isSeparator());
  EXPECT_EQ(tray[2]->text(), QStr("В&ыход"_cp));
}

TEST_F(MainWindowShell, ActionsCarryTheirCaptionsShortcutsAndHints) {
  // A desktop that keeps shortcuts out of pop-up menus, for this test.
  struct PopupsWithoutShortcuts {
    PopupsWithoutShortcuts() { QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, true); }
    ~PopupsWithoutShortcuts() { QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, false); }
  } desktop;
  auto frm = Start();
  struct Expect {
    const char* name;
    const char* caption;
    QKeySequence key;
    const char* hint;
  };
  const Expect expected[] = {
      {"aNew", "&Создать", QKeySequence("Ctrl+N"), "Создать сообщение"},
      {"aFileOpen", "&Открыть...", QKeySequence("Ctrl+O"), "Открыть сообщение"},
      {"aFileSave", "&Сохранить", QKeySequence("Ctrl+S"), "Сохранить сообщение"},
      {"aFileSaveAs", "Со&хранить как...", QKeySequence(), "Сохранить сообщение как"},
      {"aSendSMS", "От&править", QKeySequence(Qt::CTRL | Qt::Key_Return), "Отправить сообщение"},
      {"aExit", "В&ыход", QKeySequence(), "Выйти из программы"},
      {"aSaveTemplate", "Сохранить как &шаблон", QKeySequence("Ctrl+T"), "Сохраняет сообщение как шаблон"},
      {"aTemplateMgr", "Менеджер &шаблонов", QKeySequence(), ""},
      {"aHistory", "&История", QKeySequence("Ctrl+H"), "История сообщений"},
      {"aContactHistory", "И&стория контакта", QKeySequence(), "История контакта"},
      {"aPhoneBook", "&Контакты", QKeySequence("Ctrl+B"), "Адресная книга"},
      {"aAddToPhoneBook", "&Добавить в контакты", QKeySequence(), "Добавить в контакты"},
      {"aShowGatesMng", "&База операторов", QKeySequence(), "База операторов"},
      {"aShowGateInfo", "Информация об &операторе", QKeySequence(), "Информация об операторе"},
      {"aOptions", "&Настройки", QKeySequence(), "Настройки"},
      {"aHelp", "Online &справка", QKeySequence(Qt::Key_F1), ""},
      {"aHomePage", "Домашняя &страница", QKeySequence(), ""},
      {"aForum", "&Форум Parlomix", QKeySequence(), ""},
      {"aFeedback", "О&братная связь", QKeySequence(), ""},
      {"aCheckUpdate", "&Проверить обновление Parlomix", QKeySequence(), ""},
      {"aCheckUpdateGates", "Про&верить обновление операторов", QKeySequence(), ""},
      {"aAbout", "&О программе", QKeySequence(), "О программе"},
      {"aTrayShowHide", "&Скрыть/Показать", QKeySequence(), ""},
      {"aSMS", "&SMS", QKeySequence(Qt::Key_F2), "Тип сообщения СМС"},
      {"aMMS", "&MMS", QKeySequence(Qt::Key_F3), "Тип сообщения ММС"},
  };
  for (const Expect& e : expected) {
    QAction* a = frm->Action(e.name);
    ASSERT_NE(a, nullptr) << e.name;
    EXPECT_EQ(a->text(), QString::fromUtf8(e.caption)) << e.name;
    EXPECT_EQ(a->shortcut(), e.key) << e.name;
    // Every menu shows the shortcut beside the entry, whatever the desktop.
    if (!e.key.isEmpty()) {
      EXPECT_TRUE(a->isShortcutVisibleInContextMenu()) << e.name;
    }
    EXPECT_EQ(a->statusTip(), QString::fromUtf8(e.hint)) << e.name;
    // A hint is the tool tip; without one the tip is the caption as read,
    // its accelerator mark left out.
    EXPECT_EQ(a->toolTip(), *e.hint ? QString::fromUtf8(e.hint) : QString::fromUtf8(e.caption).remove('&')) << e.name;
  }
  for (QToolBar* bar : frm->findChildren<QToolBar*>())
    for (QAction* a : bar->actions())
      EXPECT_FALSE(bar->widgetForAction(a)->toolTip().contains('&')) << a->objectName().toStdString();
  EXPECT_TRUE(frm->Action("aSendSMS")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Enter)));
  EXPECT_TRUE(frm->Action("aSMS")->isChecked());
  frm->Action("aMMS")->trigger();
  EXPECT_FALSE(frm->Action("aSMS")->isChecked()) << "one message type at a time";
}

// Pointing at a menu entry or tool button shows its hint where the ready
// text stands; the sent counter stays in view.
TEST_F(MainWindowShell, AHintShowsInPlaceOfTheReadyTextAndTheCounterStays) {
  auto frm = Start();
  frm->show();
  QCoreApplication::processEvents();
  QStatusTipEvent hint(frm->Action("aNew")->statusTip());
  QApplication::sendEvent(frm.get(), &hint);
  EXPECT_EQ(frm->statusBar()->currentMessage(), QStr("Создать сообщение"_cp));
  EXPECT_TRUE(frm->StatusPanel1->isVisible());
  EXPECT_EQ(frm->StatusPanel1->text(), QStr("Отправлено сообщений 0, всего 0"_cp));
  QStatusTipEvent gone{QString()};
  QApplication::sendEvent(frm.get(), &gone);
  EXPECT_TRUE(frm->StatusPanel0->isVisible());
  EXPECT_EQ(frm->StatusPanel0->text(), QStr("Введите номер абонента"_cp));
}

TEST_F(MainWindowShell, ActionsAreEnabledByWhatTheComposerHolds) {
  WithDatabase([](TSQLiteDatabase& db) {
    AddGate(db, "MTS", "МТС"_cp, "7916");
    AddGateInfo(db, "MTS", "MaxSymbols", "160");
  });
  auto frm = Start();
  frm->aNewExecute();
  auto enabled = [&](const char* name) { return frm->Action(name)->isEnabled(); };
  EXPECT_FALSE(enabled("aContactHistory"));
  EXPECT_FALSE(enabled("aSaveTemplate"));
  EXPECT_FALSE(enabled("aShowGateInfo"));
  EXPECT_FALSE(enabled("aSendSMS"));
  EXPECT_FALSE(enabled("aCut"));
  EXPECT_FALSE(enabled("aAddMultimedia"));

  frm->cbTo->setEditText("79161234567");
  frm->FillGateList();
  EXPECT_TRUE(enabled("aContactHistory"));
  EXPECT_TRUE(enabled("aShowGateInfo"));
  EXPECT_EQ(frm->GetSelectedGate()->Name, "MTS");
  EXPECT_FALSE(enabled("aSendSMS")) << "nothing written yet";
  frm->SetMemoText("Hello");
  EXPECT_TRUE(enabled("aSaveTemplate"));
  EXPECT_TRUE(enabled("aSendSMS"));
  EXPECT_FALSE(enabled("aCopy"));
  frm->mMsg->selectAll();
  EXPECT_TRUE(enabled("aCut"));
  EXPECT_TRUE(enabled("aCopy"));
  QApplication::clipboard()->setText("clip");
  EXPECT_TRUE(enabled("aPaste"));

  frm->Action("aMMS")->trigger();  // no MMS gate for the number: none selected
  EXPECT_FALSE(enabled("aShowGateInfo"));
  EXPECT_TRUE(enabled("aAddMultimedia"));
  EXPECT_FALSE(enabled("aDeleteMultimedia"));
  frm->FMedia->SetStream(std::make_shared<TMemoryStream>(std::string("x")));
  frm->UpdateActions();
  EXPECT_TRUE(enabled("aDeleteMultimedia"));
  frm->Action("aDeleteMultimedia")->trigger();
  EXPECT_EQ(frm->FMedia->Stream(), nullptr);
  EXPECT_FALSE(enabled("aDeleteMultimedia"));
}

TEST_F(MainWindowShell, ClosingHidesToTheTrayOnlyWhereATrayIsAndUntilExit) {
  auto frm = Start();
  frm->show();
  auto closeAccepted = [&] {
    QCloseEvent event;
    QApplication::sendEvent(frm.get(), &event);
    return event.isAccepted();
  };
  EXPECT_TRUE(closeAccepted()) << "close-to-tray is off by default";
  frm->show();
  Options->WriteBool("Interface\\CloseToTray", true);
  EXPECT_FALSE(closeAccepted());
  EXPECT_FALSE(frm->isVisible());
  EXPECT_TRUE(frm->Tray()->isVisible()) << "a hidden window always has its tray icon";
  frm->Action("aTrayShowHide")->trigger();
  EXPECT_TRUE(frm->isVisible());
  EXPECT_FALSE(frm->Tray()->isVisible()) << "AlwaysInTray is off";

  frm->tray = false;  // no tray on this desktop: a hidden window could not come back
  EXPECT_TRUE(closeAccepted());
  frm->show();
  frm->Action("aTrayShowHide")->trigger();
  EXPECT_TRUE(frm->isVisible()) << "hidden by nothing";
  frm->tray = true;
  frm->show();
  frm->Action("aExit")->trigger();
  EXPECT_TRUE(frm->Exiting());
  EXPECT_FALSE(frm->isVisible());
}

TEST_F(MainWindowShell, MinimisingHidesToTheTrayWhenAsked) {
  auto frm = Start();
  frm->show();
  Options->WriteBool("Interface\\MinimizeToTray", true);
  frm->setWindowState(Qt::WindowMinimized);
  ASSERT_TRUE(WaitUntil([&] { return !frm->isVisible(); }));
  EXPECT_FALSE(frm->isMinimized());
  frm->tray = false;  // the panel with the tray goes away
  EXPECT_TRUE(WaitUntil([&] { return frm->isVisible(); })) << "the window comes back, no way back left";

  frm->setWindowState(Qt::WindowMinimized);
  WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(frm->isVisible()) << "minimised as usual";
}

TEST_F(MainWindowShell, TrayClicksFollowTheDoubleClickOption) {
  auto frm = Start();
  frm->show();
  emit frm->Tray()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(frm->isVisible()) << "a single click does nothing while double clicks restore";
  emit frm->Tray()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(frm->isVisible());
  Options->WriteBool("Interface\\TrayRestoreDblClick", false);
  emit frm->Tray()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(frm->isVisible());
  emit frm->Tray()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(frm->isVisible());
  emit frm->Tray()->activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(frm->isVisible());
}

TEST_F(MainWindowShell, ApplyingTheOptionsTwiceListsEachRecentItemOnce) {
  std::vector<std::string> signatures, subjects;
  WithDatabase([&](TSQLiteDatabase&) {
    TLastItems::Add(TLastItems::kSignature, "Older");
    TLastItems::Add(TLastItems::kSignature, "Вася"_cp);
    TLastItems::Add(TLastItems::kSubject, "Subject");
    TLastItems::Load(TLastItems::kSignature, signatures);
    TLastItems::Load(TLastItems::kSubject, subjects);
  });
  ASSERT_GE(signatures.size(), 2u);
  auto frm = Start();
  frm->cbSignature->setEditText("typed");
  Options->WriteBool("Interface\\AlwaysInTray", true);
  Options->WriteInteger("Message\\MaxSignaturesCount", 7);
  frm->ApplyOptions();
  frm->ApplyOptions();
  auto listed = [](QComboBox* combo) {
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(CpStr(combo->itemText(i)));
    return out;
  };
  EXPECT_EQ(listed(frm->cbSignature), signatures);
  EXPECT_EQ(listed(frm->cbSignature)[0], "Вася"_cp) << "newest first";
  EXPECT_EQ(listed(frm->cbSubject), subjects);
  EXPECT_EQ(frm->cbSignature->currentText(), "typed");
  EXPECT_EQ(TLastItems::MaxCount(TLastItems::kSignature), 7);
  EXPECT_TRUE(frm->Tray()->isVisible());
  TIniFile written;
  written.LoadFromFile(ProfileDir + "Parlomix.ini");
  std::string value;
  EXPECT_TRUE(written.ReadValue("Interface", "AlwaysInTray", value));
  EXPECT_EQ(value, "TRUE");
}

TEST_F(MainWindowShell, TurningOneInstanceOnNeverEndsTheRunningCopy) {
  PresetOption("Interface\\OneInstance", "FALSE");
  TInstanceGuard other(TInstanceGuard::DefaultFolder());
  ASSERT_TRUE(other.Claim());
  auto frm = Start();
  frm->show();
  frm->SetMemoText("half a message");
  Options->WriteBool("Interface\\OneInstance", true);
  frm->ApplyOptions();
  WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(frm->isVisible());
  EXPECT_FALSE(frm->Exiting());
  EXPECT_EQ(frm->MemoText(), "half a message");
}

TEST_F(MainWindowShell, LinksAndHelpOpenOnlyWebAddresses) {
  UrlRecorder browser;
  auto frm = Start();
  frm->Action("aHelp")->trigger();
  frm->Action("aHomePage")->trigger();
  frm->Action("aForum")->trigger();
  ASSERT_EQ(browser.urls.size(), 3u);
  EXPECT_EQ(browser.urls[0], std::string(kWebSite) + "/help.html") << "the main window's help opens the page as it is";
  EXPECT_EQ(browser.urls[1], std::string(kWebSite));
  EXPECT_EQ(browser.urls[2], std::string(kWebSite) + "/forum.html");

  Options->WriteString("General\\HomeURL", "file:///etc/passwd");
  frm->Action("aHomePage")->trigger();
  EXPECT_EQ(browser.urls.size(), 3u);

  // F1 in another window opens the help page at that window's context.
  QDialog history(frm.get());
  SetHelpContext(&history, hcHistory);
  auto* inside = new QPlainTextEdit(&history);
  history.show();
  inside->setFocus();
  QApplication::setActiveWindow(&history);
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : inside, &f1);
  ASSERT_EQ(browser.urls.size(), 4u);
  EXPECT_EQ(browser.urls[3], std::string(kWebSite) + "/help.html?content=2000");
  EXPECT_EQ(HelpContextOf(inside), hcHistory);
  QDialog about(frm.get());
  EXPECT_EQ(HelpContextOf(&about), hcNone) << "no window borrows its owner's context";
}

TEST_F(MainWindowShell, AnExceptionReachingTheEventLoopIsShownAndTheProgramGoesOn) {
  QString shown;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->close();
    }
  });
  closer.start(20);
  QObject target;
  QTimer::singleShot(0, &target, [] { throw EConvertError("Поломка"_cp); });
  ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }));
  EXPECT_EQ(shown, QStr("Поломка"_cp));
  bool ranAfter = false;
  QTimer::singleShot(0, &target, [&] { ranAfter = true; });
  EXPECT_TRUE(WaitUntil([&] { return ranAfter; }));
}

TEST(Application, StandardButtonsSpeakRussian) {
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStr("Да"_cp));
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), QStr("Нет"_cp));
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), QStr("Отмена"_cp));
}

TEST_F(MainWindowShell, StartingFromAHistoryRowOrAppendingText) {
  WithDatabase([](TSQLiteDatabase& db) { AddGate(db, "MTS", "МТС"_cp, "7916"); });
  auto frm = Start();
  frm->aNewExecute();
  THistoryItem row;
  row.Phone = "79161234567";
  row.Message = "From history";
  row.Subject = "Old subject";
  frm->LoadFromItem(row);
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->MemoText(), "From history");
  EXPECT_EQ(frm->cbSubject->currentText(), "Old subject");
  frm->AppendText("more");
  EXPECT_EQ(frm->MemoText(), "From history\r\nmore");
  frm->mMsg->clear();
  frm->AppendText("first");
  EXPECT_EQ(frm->MemoText(), "first");
}

TEST_F(MainWindowShell, TheBuiltMessageCarriesTheComposer) {
  WithDatabase([](TSQLiteDatabase& db) { AddGate(db, "MmsGate", "MMS", "7916", "MMS"); });
  auto frm = Start();
  frm->Action("aMMS")->trigger();
  frm->cbTo->setEditText(QStr("Вася [+7 916 123-45-67]"_cp));
  frm->FillGateList();
  frm->SetMemoText("Text");
  frm->cbSignature->setEditText("Sig");
  frm->cbSubject->setEditText("Subj");
  auto forSend = frm->BuildMessage(false);
  EXPECT_EQ(VarToStr(forSend->GetItemNamed(MsgKey::MessageType)), "MMS");
  EXPECT_EQ(VarToStr(forSend->GetItemNamed(MsgKey::Phone)), "79161234567");
  EXPECT_EQ(VarToStr(forSend->GetItemNamed(MsgKey::GateName)), "MmsGate");
  EXPECT_EQ(VarToStr(forSend->GetItemNamed(MsgKey::Text)), "Text\r\nSig");
  EXPECT_EQ(VarToStr(forSend->GetItemNamed(MsgKey::Message)), "Text");
  ASSERT_NE(forSend->MultiMedia(), nullptr);
  EXPECT_EQ(VarToStr(forSend->MultiMedia()->GetItemNamed(ContentKey::FileName)), "empty.gif");
  EXPECT_EQ(forSend->MultiMedia()->Stream()->Bytes().substr(0, 6), "GIF89a");
  auto forFile = frm->BuildMessage(true);
  EXPECT_EQ(forFile->MultiMedia()->Stream(), nullptr) << "a file keeps no placeholder";
  Options->WriteString("Message\\SignatureDelimiter", " \\s!");
  EXPECT_EQ(frm->GetFinalText(), "Text Sig!");
}

}  // namespace
