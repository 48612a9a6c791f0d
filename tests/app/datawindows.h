// The data windows over a fresh profile of their own (databases, options
// and window placements), and the hand of a user answering the modal
// windows and boxes they open.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cp1251.h"
#include "gatefactory.h"
#include "options.h"
#include "phonebook.h"
#include "placement.h"
#include "sqlmgr.h"
#include "templates.h"
#include "support/optionsprofile.h"
#include "uitext.h"
#include "windowhooks.h"

// Runs `act` on the next modal window that opens above the current one, as
// soon as it is up. A window that never opens fails the test; one that
// `act` leaves open is closed after a while so that the test goes on.
inline void WhenModal(std::function<void(QWidget*)> act) {
  QWidget* below = QApplication::activeModalWidget();
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act, below, tries] {
    QWidget* top = QApplication::activeModalWidget();
    if (top && top != below) {
      timer->stop();
      timer->deleteLater();
      act(top);
      return;
    }
    if (++*tries > 500) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no modal window opened";
    }
  });
  timer->start();
}

// Answers the next message box with `button`, recording its title and text.
inline void AnswerBox(QMessageBox::StandardButton button, std::string* title = nullptr, std::string* text = nullptr) {
  WhenModal([=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << "not a message box: " << w->metaObject()->className();
    if (title) *title = cp1251::ToUtf8(CpStr(box->windowTitle()));
    if (text) *text = cp1251::ToUtf8(CpStr(box->text()));
    box->button(button)->click();
  });
}

class DataWindowTest : public ::testing::Test {
 protected:
  OptionsProfile profile;

  void SetUp() override {
    Options = profile.options.get();
    PlacementStorage = &profile.placement;
    OpenDatabases(profile.dir.File("Parlomix.db3"), profile.dir.File("Gates.db3"));
    RegisterWindowHooks();
  }
  void TearDown() override {
    TTemplateList::SetManagerHook(nullptr);
    TPhoneBook::SetContactEditorHook(nullptr);
    CloseDatabases();
    PlacementStorage = nullptr;
    Options = nullptr;
  }

  static TSQLiteDatabase& db() { return *Database; }

  // An enabled SMS gate whose one range covers numbers starting `prefix`.
  static void Gate(const std::string& name, const std::string& caption, const std::string& prefix, int priority = 10,
                   const std::string& format = "1.3.7") {
    db().AddParamText(":Name", name);
    db().AddParamText(":Caption", caption);
    db().AddParamInt(":Priority", priority);
    db().ExecSQL(
        "INSERT INTO gates.Gate (Name, Class, Type, Caption, Version, Priority) VALUES (:Name, 'HTTP', 'SMS', "
        ":Caption, 1, :Priority)");
    db().AddParamText(":Name", name);
    db().AddParamText(":Start", prefix);
    db().AddParamText(":Format", format);
    db().ExecSQL(
        "INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, :Format, :Start, "
        ":Start)");
  }
  static int Group(const std::string& name) {
    TPhoneBookGroup group;
    group.Name = name;
    return TPhoneBook::AddGroup(group).ID;
  }
  static int Contact(const std::string& name, const std::string& phone, int group = 0, const std::string& gate = "") {
    TPhoneBookItem item;
    item.Name = name;
    item.Phone = phone;
    item.GroupID = group;
    item.GateName = gate;
    return TPhoneBook::AddItem(item).ID;
  }
  static std::unique_ptr<TPhoneBookItem> Stored(const std::string& phone) { return TPhoneBook::GetItemByPhone(phone); }
  static int GroupOfContact(int id) {
    db().AddParamInt(":ID", id);
    return static_cast<int>(db().GetIntValue("SELECT IFNULL(ID_GROUP, 0) FROM PhoneBook WHERE ID=:ID"));
  }
  static int64_t Count(const std::string& table) { return db().GetIntValue("SELECT COUNT(*) FROM " + table); }
};

// Widget text as UTF-8, for readable comparisons.
inline std::string Utf8(const QString& text) { return text.toStdString(); }
