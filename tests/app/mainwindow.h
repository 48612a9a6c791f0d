// The main window over a fresh profile of its own, for tests that run it
// offscreen: message boxes are recorded instead of shown, the tray is there
// when the test says so, and the browser is replaced by a list of the
// addresses it was asked to open.
#pragma once

#include <QComboBox>
#include <QDesktopServices>
#include <QListView>
#include <QObject>
#include <QUrl>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cp1251.h"
#include "inistorage.h"
#include "options.h"
#include "smsfrm.h"
#include "suggestedit.h"
#include "uitext.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

class TestFrm : public TSMSFrm {
 public:
  using TSMSFrm::TSMSFrm;
  std::vector<std::string> messages;
  bool tray = true;
  bool TrayAvailable() const override { return tray; }
  // The first run's update checks: nothing newer, at once. A test may give
  // its own, or none for the real ones (pointed at a server of its own).
  TUpdateCheckStarter firstRunChecks = [](int kind, TUpdateCheckReport report) { report(kind, 3); };
  TUpdateCheckStarter FirstRunChecks() const override { return firstRunChecks; }

 protected:
  void ShowMessageBoxText(const std::string& text) override { messages.push_back(text); }
};

// The rows of the recipient's suggestion box and the entries of the gate
// list, as the composer shows them.
inline std::vector<std::string> SuggestedRows(const TSMSFrm& frm) {
  std::vector<std::string> rows;
  QAbstractItemModel* model = frm.cbTo->Popup()->List()->model();
  for (int i = 0; i < model->rowCount(); ++i) rows.push_back(CpStr(model->index(i, 0).data().toString()));
  return rows;
}
inline std::vector<std::string> GateEntries(const TSMSFrm& frm) {
  std::vector<std::string> names;
  for (int i = 0; i < frm.cbGate->count(); ++i) names.push_back(CpStr(frm.cbGate->itemText(i)));
  return names;
}

// Takes the addresses QDesktopServices is asked to open.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<std::string> urls;
  UrlRecorder() {
    for (const char* scheme : {"http", "https", "mailto", "file"}) QDesktopServices::setUrlHandler(scheme, this, "Open");
  }
  ~UrlRecorder() override {
    for (const char* scheme : {"http", "https", "mailto", "file"}) QDesktopServices::unsetUrlHandler(scheme);
  }
 public slots:
  void Open(const QUrl& url) { urls.push_back(url.toString().toStdString()); }
};

class MainWindowTest : public ::testing::Test {
 protected:
  TempDir profile, runtime;
  std::string savedProfile = ProfileDir, savedTables = TranslitDir;

  void SetUp() override {
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    ProfileDir = profile.Path().string() + "/";
    TranslitDir = std::string(PX_SOURCE_DIR) + "/app/Translit/";
    // From the second start on a profile the automatic update checks run:
    // they must never leave this machine. A test with a server of its own
    // points them at it.
    PresetOption("Update\\URL", kNowhere);
    PresetOption("Update\\GatesURL", kNowhere);
  }
  // An address where nothing listens.
  static constexpr const char* kNowhere = "http://127.0.0.1:1/nothing.xml";
  void TearDown() override {
    ProfileDir = savedProfile;
    TranslitDir = savedTables;
  }

  // A started main window; the test fails when another copy took over.
  std::unique_ptr<TestFrm> Start(std::vector<std::string> args = {}) {
    auto frm = std::make_unique<TestFrm>(std::move(args));
    EXPECT_EQ(frm->FormCreate(), TSMSFrm::TCreateResult::Running);
    return frm;
  }
  // Writes an option ("Section\\Name") into the profile before the window
  // starts.
  void PresetOption(const std::string& key, const std::string& value) {
    TIniStorage options(ProfileDir + "Parlomix.ini");
    options.WriteString(key, value);
    options.Flush();
  }
  // Runs `work` on the profile's databases while no window has them open.
  template <class Work>
  void WithDatabase(Work&& work) {
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
    work(*Database);
    CloseDatabases();
  }
  static void AddGate(TSQLiteDatabase& db, const std::string& name, const std::string& caption,
                      const std::string& prefix, const std::string& type = "SMS") {
    db.AddParamText(":Name", name);
    db.AddParamText(":Caption", caption);
    db.AddParamText(":Type", type);
    db.ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version, Priority) VALUES (:Name, 'HTTP', :Type, "
               ":Caption, 1, 10)");
    db.AddParamText(":Name", name);
    db.AddParamText(":Start", prefix);
    db.ExecSQL("INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, '1.3.7', "
               ":Start, :Start)");
  }
  // The gates of the composer's tests: two SMS gates for 7916, MTS (tried
  // first) and Plain, and the MMS gate MmsGate; each test gives their
  // information values.
  static void AddComposerGates(TSQLiteDatabase& db) {
    AddGate(db, "MTS", "МТС"_cp, "7916");
    AddGate(db, "Plain", "Латиница"_cp, "7916");
    AddGate(db, "MmsGate", "ММС"_cp, "7916", "MMS");
    db.ExecSQL("UPDATE gates.Gate SET Priority=20 WHERE Name='MTS'");
  }
  // An information value of a gate.
  static void AddGateInfo(TSQLiteDatabase& db, const std::string& gate, const std::string& name,
                          const std::string& value) {
    db.AddParamText(":Gate", gate);
    db.AddParamText(":Name", name);
    db.AddParamText(":Value", value);
    db.ExecSQL("INSERT INTO gates.GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:Gate, :Name, 0, "
               ":Value)");
  }
};
