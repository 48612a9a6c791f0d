// The options window over a real profile: each control loads its own option
// and saves it back, the load and save rules of lists, proxies and ports,
// the dependencies between controls, and clearing the history.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <cstdlib>
#include <optional>

#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/windowprofile.h"
#include "cp1251.h"
#include "history.h"
#include "httpsend.h"
#include "optionsdata.h"
#include "optionsfrm.h"
#include "uitext.h"
#include "updateinfofrm.h"
#include "weblinks.h"

namespace {

using OptionsWindow = WindowProfile;

// Each check box and the option it stands for, written out here rather than
// taken from the window's own table.
const std::pair<const char*, const char*> kChecks[] = {
    {"chbMinimizeToTray", "Interface\\MinimizeToTray"},
    {"chbCloseToTray", "Interface\\CloseToTray"},
    {"chbAlwaysInTray", "Interface\\AlwaysInTray"},
    {"chbRestoreDblClick", "Interface\\TrayRestoreDblClick"},
    {"chbFormatPhones", "Interface\\FormatPhones"},
    {"chbOneInstance", "Interface\\OneInstance"},
    {"chbSaveAfterExit", "Message\\SaveOnExit"},
    {"chbClearAfterSend", "Message\\ClearAfterSend"},
    {"chbClearOnlyText", "Message\\ClearOnlyText"},
    {"chbSaveHistory", "Message\\AddToHistory"},
    {"chbClearOnExit", "Message\\ClearHistoryOnExit"},
    {"chbLogSend", "Send\\LogSend"},
    {"chbCheckDelivery", "Send\\CheckDelivery"},
    {"chbAutoClose", "Send\\AutoCloseDispSuccess"},
    {"chbAuth", "Network\\ProxyAuth"},
    {"chbAutoCheckUpdate", "Update\\AutoCheckUpdate"},
    {"chbAutoUpdateGates", "Update\\AutoCheckUpdateGates"},
    {"chbStats", "Stats\\LogStats"},
    {"chbSendStatsToServer", "Stats\\SendStatsToServer"},
};

TEST_F(OptionsWindow, PagesCaptionsAndButtons) {
  TOptionsFrm frm;
  EXPECT_EQ(frm.windowTitle(), QStr("Настройки"_cp));
  EXPECT_EQ(HelpContextOf(&frm), 6000);
  const char* captions[] = {"Общее", "Поведение", "Прокси", "Автообновление", "Статистика"};
  const char* names[] = {"tsGeneral", "tsBehaviour", "tsProxy", "tsUpdate", "tsStats"};
  ASSERT_EQ(frm.pgOptions->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(frm.pgOptions->tabText(i), QString::fromUtf8(captions[i]));
    EXPECT_EQ(frm.pgOptions->widget(i)->objectName(), names[i]);
  }
  EXPECT_EQ(frm.pgOptions->currentIndex(), 0);
  frm.SelectPage(3);
  EXPECT_EQ(frm.pgOptions->currentWidget(), frm.tsUpdate);
  frm.SelectPage(5);
  frm.SelectPage(-1);
  EXPECT_EQ(frm.pgOptions->currentIndex(), 3) << "no such page: nothing changes";
  EXPECT_EQ(frm.btOk->text(), "OK");
  EXPECT_TRUE(frm.btOk->isDefault());
  EXPECT_EQ(frm.btCancel->text(), QStr("Отмена"_cp));
  EXPECT_EQ(frm.btClearHistory->text(), QStr("Очистить сейчас"_cp));
  EXPECT_EQ(frm.btClearHistory->parentWidget(), frm.tsBehaviour);
  EXPECT_EQ(frm.chbClearOnExit->text(), QStr("Очищать историю при выходе"_cp));
  EXPECT_EQ(frm.rbIE->text(), QStr("Использовать настройки IE"_cp));
  EXPECT_EQ(frm.edPass->echoMode(), QLineEdit::Password);
  QStringList types, periods, ports;
  for (int i = 0; i < frm.cbProxyType->count(); ++i) types << frm.cbProxyType->itemText(i);
  for (int i = 0; i < frm.cbUpdatePeriod->count(); ++i) periods << frm.cbUpdatePeriod->itemText(i);
  for (int i = 0; i < frm.edPort->count(); ++i) ports << frm.edPort->itemText(i);
  EXPECT_EQ(types.join('|'), "HTTP/HTTPS|Socks4/Socks4A|Socks5");
  EXPECT_EQ(periods.join('|'), "1|2|3|4|5|7|10|15|20|30");
  EXPECT_EQ(ports.join('|'), "8080|3128|1080");
  EXPECT_FALSE(frm.cbUpdatePeriod->isEditable());
  EXPECT_FALSE(frm.cbProxyType->isEditable());
  EXPECT_TRUE(frm.edPort->isEditable());
  EXPECT_EQ(frm.lbStatsNote->text(),
            QStr("Статистика содержит только количество отправленных и ошибочных сообщений и не содержит текст "
                 "сообщения и номера телефонов. Отправляется на сервер раз в неделю."_cp));
}

TEST_F(OptionsWindow, TheDividerExplanationIsFourLines) {
  TOptionsFrm frm;
  EXPECT_EQ(CpStr(frm.lbDividerHelp->text()),
            "Разделитель подписи может содержать следующие символы:\r\n    \\n - перевод строки\r\n    \\s - подпись. "
            "Если символ встречается, то заменяется на подпись,\r\n          иначе подпись добавляется к разделителю"_cp);
  EXPECT_EQ(frm.lbDividerHelp->textFormat(), Qt::PlainText);
}

// Each check box shows its own option: one option flipped from its default
// flips exactly that box.
TEST_F(OptionsWindow, EachCheckBoxLoadsItsOwnOption) {
  for (const auto& [flippedControl, flippedKey] : kChecks) {
    bool def = Options->ReadBool(flippedKey);
    Options->WriteBool(flippedKey, !def);
    TOptionsFrm frm;
    for (const auto& [control, key] : kChecks) {
      auto* box = frm.findChild<QCheckBox*>(control);
      ASSERT_NE(box, nullptr) << control;
      EXPECT_EQ(box->isChecked(), Options->ReadBool(key)) << control << " with " << flippedKey << " flipped";
    }
    Options->WriteBool(flippedKey, def);
  }
  TOptionsFrm frm;
  EXPECT_EQ(frm.findChildren<QCheckBox*>().size(), std::size(kChecks)) << "no box left out";
}

// And saves it: one click changes exactly that option.
TEST_F(OptionsWindow, EachCheckBoxSavesItsOwnOption) {
  for (const auto& [clicked, clickedKey] : kChecks) {
    std::map<std::string, bool> before;
    for (const auto& [control, key] : kChecks) before[key] = Options->ReadBool(key);
    TOptionsFrm frm;
    // Whatever enables it is turned on first, so that the click counts.
    for (const char* master : {"chbSaveHistory", "chbClearAfterSend", "chbStats", "chbAuth"})
      frm.findChild<QCheckBox*>(master)->setChecked(true);
    frm.rbProxy->setChecked(true);
    TOptionsState state = frm.State();
    auto* box = frm.findChild<QCheckBox*>(clicked);
    box->setChecked(!box->isChecked());
    frm.btOkClick();
    EXPECT_EQ(frm.result(), QDialog::Accepted);
    for (const auto& [control, key] : kChecks) {
      bool expected = state.Checked(control);
      if (control == clicked) expected = !expected;
      EXPECT_EQ(Options->ReadBool(key), expected) << key << " after a click on " << clicked;
    }
    for (const auto& [key, value] : before) Options->WriteBool(key, value);
  }
}

TEST_F(OptionsWindow, TextsAreShownAndWrittenAsTyped) {
  Options->WriteString("Message\\Signature", "Вася <b>"_cp);
  Options->WriteString("Network\\ProxyPass", "p;a=s s");
  TOptionsFrm frm;
  EXPECT_EQ(CpStr(frm.edSignature->text()), "Вася <b>"_cp);
  EXPECT_EQ(frm.edSignatureDivider->text(), "\\n") << "the default, escapes as they are";
  EXPECT_EQ(frm.edPass->text(), "p;a=s s");
  EXPECT_EQ(frm.edPort->currentText(), "0") << "no port stored reads 0";
  frm.edSignatureDivider->setText("\\n--\\s");
  frm.edHost->setText(QStr("прокси.рф"_cp));
  frm.edName->setText("user");
  frm.edPass->setText("secret pass");
  frm.btOkClick();
  EXPECT_EQ(Options->ReadString("Message\\SignatureDelimiter"), "\\n--\\s");
  EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "прокси.рф"_cp);
  EXPECT_EQ(Options->ReadString("Network\\ProxyName"), "user");
  EXPECT_EQ(storage->ReadString("Network\\ProxyPass", ""), "secret pass") << "in plain";
}

TEST_F(OptionsWindow, APortIsANumberAndAnythingElseIs0) {
  Options->WriteInteger("Network\\ProxyPort", 3128);
  {
    TOptionsFrm frm;
    EXPECT_EQ(frm.edPort->currentText(), "3128");
    frm.edPort->setEditText(" 8081 ");
    frm.btOkClick();
    EXPECT_EQ(Options->ReadInteger("Network\\ProxyPort"), 8081);
  }
  for (const char* typed : {"80a", "", "99999999999", "1 0"}) {
    TOptionsFrm frm;
    frm.edPort->setEditText(typed);
    frm.btOkClick();
    EXPECT_EQ(storage->ReadString("Network\\ProxyPort", "unset"), "0") << typed;
  }
}

TEST_F(OptionsWindow, APeriodNotInTheListShows5AndIsStoredAs5) {
  Options->WriteInteger("Update\\UpdatePeriod", 6);
  Options->WriteString("Update\\UpdateGatesPeriod", "30");
  TOptionsFrm frm;
  EXPECT_EQ(frm.cbUpdatePeriod->currentText(), "5");
  EXPECT_EQ(frm.cbUpdateGatesPeriod->currentText(), "30");
  frm.btOkClick();
  EXPECT_EQ(storage->ReadString("Update\\UpdatePeriod", ""), "5");
  EXPECT_EQ(storage->ReadString("Update\\UpdateGatesPeriod", ""), "30");
  Options->WriteString("Update\\UpdatePeriod", "junk");
  TOptionsFrm again;
  EXPECT_EQ(again.cbUpdatePeriod->currentText(), "5");
  again.cbUpdatePeriod->setCurrentIndex(again.cbUpdatePeriod->findText("15"));
  again.btOkClick();
  EXPECT_EQ(Options->ReadInteger("Update\\UpdatePeriod"), 15);
}

struct ProxyCase {
  const char* stored;
  const char* radio;
  int type;
  const char* savedBack;
};

TEST_F(OptionsWindow, TheProxyKindInAnyCase) {
  const ProxyCase cases[] = {
      {"IE", "rbIE", 0, "IE"},          {"ie", "rbIE", 0, "IE"},
      {"Direct", "rbDirect", 0, "Direct"}, {"DIRECT", "rbDirect", 0, "Direct"},
      {"HTTP", "rbProxy", 0, "HTTP"},   {"socks4", "rbProxy", 1, "SOCKS4"},
      {"Socks5", "rbProxy", 2, "SOCKS5"}, {"ftp", "rbIE", 0, "IE"},
      {"", "rbIE", 0, "IE"},
  };
  for (const ProxyCase& c : cases) {
    Options->WriteString("Network\\Proxy", c.stored);
    TOptionsFrm frm;
    for (QRadioButton* radio : {frm.rbDirect, frm.rbIE, frm.rbProxy})
      EXPECT_EQ(radio->isChecked(), radio->objectName() == c.radio) << c.stored << " " << radio->objectName().toStdString();
    EXPECT_EQ(frm.cbProxyType->currentIndex(), c.type) << c.stored;
    EXPECT_EQ(frm.gbProxy->isEnabled(), std::string(c.radio) == "rbProxy") << c.stored;
    frm.btOkClick();
    EXPECT_EQ(Options->ReadString("Network\\Proxy"), c.savedBack) << c.stored;
  }
}

TEST_F(OptionsWindow, AProxyTypeIsAlwaysSelected) {
  TOptionsFrm frm;
  ASSERT_TRUE(frm.rbIE->isChecked());
  EXPECT_EQ(frm.cbProxyType->currentText(), "HTTP/HTTPS");
  frm.rbProxy->setChecked(true);
  frm.btOkClick();
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "HTTP");
  TOptionsFrm socks;
  socks.cbProxyType->setCurrentIndex(2);
  socks.rbProxy->setChecked(true);
  socks.btOkClick();
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "SOCKS5");
}

// Every dependent control follows its check box, at load and at each click.
TEST_F(OptionsWindow, DependentControlsFollowTheirBoxes) {
  const std::pair<const char*, std::vector<const char*>> rules[] = {
      {"chbClearAfterSend", {"chbClearOnlyText"}},
      {"chbSaveHistory", {"chbClearOnExit"}},
      {"chbStats", {"chbSendStatsToServer"}},
      {"chbAutoCheckUpdate", {"cbUpdatePeriod"}},
      {"chbAutoUpdateGates", {"cbUpdateGatesPeriod"}},
  };
  const char* keys[] = {"Message\\ClearAfterSend", "Message\\AddToHistory", "Stats\\LogStats",
                        "Update\\AutoCheckUpdate", "Update\\AutoCheckUpdateGates"};
  for (bool stored : {false, true}) {
    for (const char* key : keys) Options->WriteBool(key, stored);
    TOptionsFrm frm;
    for (const auto& [master, dependents] : rules) {
      auto* box = frm.findChild<QCheckBox*>(master);
      for (const char* dependent : dependents)
        EXPECT_EQ(frm.findChild<QWidget*>(dependent)->isEnabled(), stored) << dependent << " at load";
      box->click();
      for (const char* dependent : dependents)
        EXPECT_EQ(frm.findChild<QWidget*>(dependent)->isEnabled(), !stored) << dependent << " after a click";
    }
  }

  // The dependent boxes of the behaviour page stand under their masters,
  // both indented alike by a little.
  TOptionsFrm frm;
  frm.SelectPage(TOptionsFrm::pgBehaviour);
  frm.show();
  QApplication::processEvents();
  auto indent = [&](const char* master, const char* dependent) {
    return frm.findChild<QWidget*>(dependent)->mapTo(&frm, QPoint()).x() -
           frm.findChild<QWidget*>(master)->mapTo(&frm, QPoint()).x();
  };
  const int clearOnlyText = indent("chbClearAfterSend", "chbClearOnlyText");
  EXPECT_GT(clearOnlyText, 0);
  EXPECT_LE(clearOnlyText, 40);
  EXPECT_EQ(indent("chbSaveHistory", "chbClearOnExit"), clearOnlyText);
}

TEST_F(OptionsWindow, TheProxyGroupFollowsItsRadioAndTheLoginFollowsAuthentication) {
  Options->WriteString("Network\\Proxy", "HTTP");
  Options->WriteBool("Network\\ProxyAuth", false);
  TOptionsFrm frm;
  frm.show();
  auto enabled = [&](const char* name) { return frm.findChild<QWidget*>(name)->isEnabled(); };
  for (const char* name : {"gbProxy", "cbProxyType", "edHost", "edPort", "chbAuth", "lbHost", "lbPort", "lbProxyType"})
    EXPECT_TRUE(enabled(name)) << name;
  for (const char* name : {"edName", "edPass", "lbName", "lbPass"}) EXPECT_FALSE(enabled(name)) << name;
  frm.chbAuth->click();
  for (const char* name : {"edName", "edPass", "lbName", "lbPass"}) EXPECT_TRUE(enabled(name)) << name;
  frm.rbDirect->click();
  for (const char* name : {"gbProxy", "cbProxyType", "edHost", "edPort", "chbAuth", "lbHost", "edName", "lbPass"})
    EXPECT_FALSE(enabled(name)) << name << " with no proxy";
  frm.rbIE->click();
  EXPECT_FALSE(enabled("edHost"));
  frm.rbProxy->click();
  EXPECT_TRUE(enabled("edPass")) << "the login follows authentication again";
  frm.chbAuth->click();
  EXPECT_FALSE(enabled("edPass"));
  EXPECT_TRUE(enabled("edHost"));
}

TEST_F(OptionsWindow, ClearHistoryOnExitIsStoredOnlyWhileItIsEnabled) {
  Options->WriteBool("Message\\ClearHistoryOnExit", true);
  Options->WriteBool("Message\\AddToHistory", false);
  TOptionsFrm frm;
  EXPECT_TRUE(frm.chbClearOnExit->isChecked());
  EXPECT_FALSE(frm.chbClearOnExit->isEnabled());
  // Other dependent boxes are written as they are, enabled or not.
  Options->WriteBool("Stats\\LogStats", false);
  TOptionsFrm second;
  second.chbSaveHistory->setChecked(false);
  second.btOkClick();
  EXPECT_FALSE(Options->ReadBool("Message\\ClearHistoryOnExit"));
  EXPECT_TRUE(Options->ReadBool("Stats\\SendStatsToServer")) << "disabled, checked, written as checked";
  TOptionsFrm third;
  third.chbSaveHistory->setChecked(true);
  third.chbClearOnExit->setChecked(true);
  third.btOkClick();
  EXPECT_TRUE(Options->ReadBool("Message\\ClearHistoryOnExit"));
}

TEST_F(OptionsWindow, CancelWritesNothing) {
  storage->Flush(true);
  std::string file = profile.Read("Parlomix.ini");
  TOptionsFrm frm;
  frm.chbOneInstance->setChecked(false);
  frm.edSignature->setText("x");
  frm.rbDirect->setChecked(true);
  frm.btCancel->click();
  EXPECT_EQ(frm.result(), QDialog::Rejected);
  EXPECT_TRUE(Options->ReadBool("Interface\\OneInstance"));
  EXPECT_EQ(Options->ReadString("Message\\Signature"), "");
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "IE");
  EXPECT_EQ(storage->ReadString("Network\\Proxy", "unset"), "unset") << "not even the defaults are written";
  EXPECT_TRUE(frm.SavedState().checked.empty());
}

void AddHistoryRows(int count) {
  for (int i = 0; i < count; ++i) {
    THistoryItem item;
    item.Phone = "7916000000" + std::to_string(i);
    item.Message = "text";
    THistory::Add(item);
  }
}

TEST_F(OptionsWindow, ClearNowAsksFirstAndIsNotUndoneByCancel) {
  AddHistoryRows(3);
  TOptionsFrm frm;
  frm.show();
  QString title, text;
  std::optional<QMessageBox::Icon> icon;
  std::optional<QMessageBox::StandardButton> preselected;
  int width = 0;
  auto watch1 = OnModal<QMessageBox>([&](QMessageBox& box) {
    width = box.width();
    title = box.windowTitle();
    text = box.text();
    icon = box.icon();
    preselected = box.standardButton(box.defaultButton());
    box.button(QMessageBox::No)->click();
  });
  frm.btClearHistory->click();
  EXPECT_EQ(title, QStr("Подтвердите операцию"_cp));
  EXPECT_EQ(text, QStr("Очистить историю?"_cp));
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(preselected, QMessageBox::No);
  // Room for the whole title, in bold as title bars draw it, beside a title
  // bar's icon and three buttons of 16 pixels at least.
  QFont bold = QApplication::font();
  bold.setBold(true);
  EXPECT_GE(width, QFontMetrics(bold).horizontalAdvance(title) + 4 * 16);
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM History"), 3) << "No keeps the history";
  auto watch2 = OnModal<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
  frm.btClearHistory->click();
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM History"), 0);
  frm.btCancel->click();
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM History"), 0);
}

TEST_F(OptionsWindow, WithoutOpenDatabasesThereIsNoHistoryToClear) {
  CloseDatabases();
  TOptionsFrm frm;
  EXPECT_FALSE(frm.btClearHistory->isEnabled());
  frm.btClearHistoryClick();  // nothing is asked, nothing breaks
}

// "Использовать настройки IE" is the system's proxy: what the HTTP client
// takes from the environment once the window has saved the choice.
TEST_F(OptionsWindow, TheIERadioMeansTheSystemProxy) {
  const char* saved = std::getenv("http_proxy");
  std::string savedValue = saved ? saved : "";
  setenv("http_proxy", "http://sysproxy.example:3129/", 1);
  auto choose = [](QRadioButton* TOptionsFrm::*radio) {
    TOptionsFrm frm;
    (frm.*radio)->setChecked(true);
    frm.edHost->setText("own.example");
    frm.edPort->setEditText("8080");
    frm.btOkClick();
  };
  choose(&TOptionsFrm::rbProxy);
  TMyHTTPSend own;
  EXPECT_EQ(own.ProxyHost, "own.example");
  choose(&TOptionsFrm::rbIE);
  TMyHTTPSend system;
  EXPECT_EQ(system.ProxyHost, "sysproxy.example");
  EXPECT_EQ(system.ProxyPort, "3129");
  choose(&TOptionsFrm::rbDirect);
  TMyHTTPSend direct;
  EXPECT_EQ(direct.ProxyHost, "");
  if (saved)
    setenv("http_proxy", savedValue.c_str(), 1);
  else
    unsetenv("http_proxy");
}

}  // namespace

namespace {

TEST_F(OptionsWindow, F1OpensTheHelpAtContext6000) {
  UrlRecorder browser;
  TOptionsFrm frm;
  frm.show();
  frm.SelectPage(2);
  frm.edHost->setFocus();
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(frm.edHost, &f1);
  EXPECT_EQ(browser.urls, std::vector<std::string>{std::string(kWebSite) + "/help.html?content=6000"});
}

TEST_F(OptionsWindow, TheNewVersionWindowOpensTheUpdatePage) {
  TUpdateInfoFrm info;
  info.show();
  int page = -1;
  auto watch3 = OnModal<TOptionsFrm>([&](TOptionsFrm& options) {
    page = options.pgOptions->currentIndex();
    options.chbAutoCheckUpdate->setChecked(false);
    options.btOk->click();
  });
  info.btOptions->click();
  EXPECT_EQ(page, 3);
  EXPECT_FALSE(Options->ReadBool("Update\\AutoCheckUpdate"));
}

}  // namespace
