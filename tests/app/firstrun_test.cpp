// The first-run wizard: its steps as rules, the window driven by a fake
// update check, and the whole first start of the main window against an
// update server in this process (no network, a newer program declined or
// sent to its page, a gate-list download cancelled or imported).
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>

#include <filesystem>

#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/qtwait.h"
#include "app/firstrunserver.h"
#include "app/windowprofile.h"
#include "cp1251.h"
#include "firstrunflow.h"
#include "firstrunfrm.h"
#include "gates/import_support.h"
#include "optionsfrm.h"
#include "phonebook.h"
#include "uitext.h"
#include "updateinfofrm.h"
#include "updateprgsfrm.h"

namespace {

namespace fs = std::filesystem;

const std::string kCheckingProgram = "Выполняется проверка на наличие новой версии Parlomix..."_cp;
const std::string kCheckingGates = "Выполняется проверка на наличие новой версии базы операторов..."_cp;
const std::string kProgramError = "Ошибка проверки обновления Parlomix"_cp;
const std::string kGatesError = "Ошибка проверки обновления шлюзов"_cp;
const std::string kMigrating = "Обновление с предыдущей версии..."_cp;

// ---- The rules ----

struct ResultRow {
  int kind, code;
  std::optional<std::string> status;
  bool buttons, openDatabases;
  std::optional<int> nextStep;
  bool migrate, close, ending;
};

// A flow whose current check is of `kind` (step 1 reached through step 0's
// "up to date").
TFirstRunFlow FlowAt(int kind, int& checkId) {
  TFirstRunFlow flow;
  checkId = flow.Start().checkId;
  if (kind == 1) checkId = flow.Result(checkId, 0, TFirstRunFlow::kUpToDate).checkId;
  return flow;
}

TEST(FirstRunFlow, EveryRowOfTheResultTable) {
  const ResultRow rows[] = {
      {0, 4, kProgramError, true, false, {}, false, false, false},
      {1, 4, kGatesError, true, false, {}, false, false, false},
      {0, 0, {}, false, false, {}, false, true, true},
      {0, 1, kCheckingGates, false, true, 1, false, false, false},
      {0, 3, kCheckingGates, false, true, 1, false, false, false},
      {0, 2, "Выполняется обновление версии Parlomix..."_cp, false, false, {}, false, false, false},
      {1, 0, {}, false, false, {}, true, true, false},
      {1, 1, {}, false, false, {}, true, true, false},
      {1, 3, {}, false, false, {}, true, true, false},
      {1, 2, "Выполняется обновление базы операторов..."_cp, false, false, {}, false, false, false},
  };
  for (const ResultRow& row : rows) {
    SCOPED_TRACE("kind " + std::to_string(row.kind) + " code " + std::to_string(row.code));
    int id = 0;
    TFirstRunFlow flow = FlowAt(row.kind, id);
    TFirstRunActions a = flow.Result(id, row.kind, row.code);
    EXPECT_EQ(a.status, row.status);
    EXPECT_EQ(a.showButtons.value_or(false), row.buttons);
    EXPECT_EQ(flow.ButtonsShown(), row.buttons);
    EXPECT_EQ(a.openDatabases, row.openDatabases);
    EXPECT_EQ(a.runStep, row.nextStep);
    EXPECT_EQ(a.migrate, row.migrate);
    EXPECT_EQ(a.close, row.close);
    EXPECT_EQ(a.programEnding, row.ending);
    if (row.nextStep) {
      EXPECT_NE(a.checkId, id) << "a new check, under a new number";
    }
  }
}

TEST(FirstRunFlow, AFoundVersionWaitsForItsDownloadsResult) {
  for (int kind : {0, 1}) {
    int id = 0;
    TFirstRunFlow flow = FlowAt(kind, id);
    flow.Result(id, kind, TFirstRunFlow::kAvailable);
    EXPECT_TRUE(flow.CheckRunning());
    TFirstRunActions a = flow.Result(id, kind, TFirstRunFlow::kError);
    EXPECT_EQ(a.status, kind == 0 ? kProgramError : kGatesError) << "the download's own result counts";
    EXPECT_TRUE(flow.ButtonsShown());
  }
}

TEST(FirstRunFlow, StartingShowsTheProgramCheck) {
  TFirstRunFlow flow;
  TFirstRunActions a = flow.Start();
  EXPECT_EQ(a.status, kCheckingProgram);
  EXPECT_EQ(a.runStep, 0);
  EXPECT_FALSE(a.openDatabases);
  EXPECT_TRUE(flow.CheckRunning());
  EXPECT_FALSE(flow.Start().runStep) << "once";
}

TEST(FirstRunFlow, RetryAndSkipAfterErrors) {
  TFirstRunFlow flow;
  int id = flow.Start().checkId;
  EXPECT_FALSE(flow.Retry().runStep) << "no buttons, no retry";
  EXPECT_FALSE(flow.Skip().runStep) << "no buttons, no skip";
  flow.Result(id, 0, TFirstRunFlow::kError);
  TFirstRunActions retry = flow.Retry();
  EXPECT_EQ(retry.showButtons, false);
  EXPECT_EQ(retry.runStep, 0);
  EXPECT_FALSE(retry.status) << "the status stays";
  EXPECT_FALSE(flow.Result(id, 0, TFirstRunFlow::kUpToDate).runStep) << "the earlier check is not listened to";
  id = retry.checkId;
  flow.Result(id, 0, TFirstRunFlow::kError);
  TFirstRunActions skip = flow.Skip();
  EXPECT_TRUE(skip.openDatabases);
  EXPECT_EQ(skip.runStep, 1);
  EXPECT_FALSE(skip.status) << "status and buttons as they were";
  EXPECT_FALSE(skip.showButtons);
  EXPECT_TRUE(flow.ButtonsShown());
  // The gate-list check runs with the buttons still there: "Повтроить"
  // waits for it, and its result is taken.
  TFirstRunActions wait = flow.Retry();
  EXPECT_EQ(wait.showButtons, false);
  EXPECT_FALSE(wait.runStep);
  TFirstRunActions error = flow.Result(skip.checkId, 1, TFirstRunFlow::kError);
  EXPECT_EQ(error.status, kGatesError);
  TFirstRunActions again = flow.Retry();
  EXPECT_EQ(again.runStep, 1);
  EXPECT_FALSE(again.openDatabases) << "the databases open once";
  flow.Result(again.checkId, 1, TFirstRunFlow::kError);
  TFirstRunActions last = flow.Skip();
  EXPECT_TRUE(last.migrate);
  EXPECT_TRUE(last.close);
  EXPECT_TRUE(flow.Finished());
  EXPECT_FALSE(flow.Result(again.checkId, 1, TFirstRunFlow::kUpToDate).close) << "nothing after the end";
}

TEST(FirstRunFlow, ResultsOfAnotherCheckOrKindAreIgnored) {
  TFirstRunFlow flow;
  int id = flow.Start().checkId;
  EXPECT_FALSE(flow.Result(id + 1, 0, TFirstRunFlow::kUpToDate).runStep);
  EXPECT_FALSE(flow.Result(id, 1, TFirstRunFlow::kUpToDate).close);
  EXPECT_EQ(flow.Step(), 0);
  flow.Result(id, 0, TFirstRunFlow::kError);
  EXPECT_FALSE(flow.Result(id, 0, TFirstRunFlow::kUpToDate).runStep) << "an ended check reports no more";
  EXPECT_TRUE(flow.ButtonsShown());
}

TEST(FirstRunFlow, AClosingRequestIsSkipAfterAnErrorAndNothingWhileAChecksRuns) {
  TFirstRunFlow flow;
  int id = flow.Start().checkId;
  TFirstRunActions ignored = flow.CloseRequest();
  EXPECT_FALSE(ignored.close);
  EXPECT_FALSE(ignored.runStep);
  flow.Result(id, 0, TFirstRunFlow::kError);
  TFirstRunActions first = flow.CloseRequest();
  EXPECT_TRUE(first.openDatabases);
  EXPECT_EQ(first.runStep, 1);
  TFirstRunActions second = flow.CloseRequest();
  EXPECT_TRUE(second.migrate);
  EXPECT_TRUE(second.close);
}

// ---- The window, with checks the test answers ----

struct FakeChecks {
  std::vector<std::pair<int, TUpdateCheckReport>> started;
  TUpdateCheckStarter Starter() {
    return [this](int kind, TUpdateCheckReport report) { started.emplace_back(kind, std::move(report)); };
  }
  // The latest check reports `code`.
  void Report(int code) { started.back().second(started.back().first, code); }
};

class FirstRunWindow : public WindowProfile {
 protected:
  FakeChecks checks;
  int opened = 0;
  std::unique_ptr<TFirstRunFrm> frm;

  void SetUp() override {
    WindowProfile::SetUp();
    CloseDatabases();  // the wizard has them opened
  }
  void Show() {
    frm = std::make_unique<TFirstRunFrm>([this] {
      ++opened;
      OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
    }, checks.Starter());
    frm->show();
    ASSERT_TRUE(WaitUntil([&] { return checks.started.size() == 1; }));
  }
  std::string Status() const { return CpStr(frm->lbStatus->text()); }
  bool Buttons() const { return frm->btRetry->isVisible(); }
  void ReportAndWait(int code, const std::function<bool()>& until) {
    checks.Report(code);
    ASSERT_TRUE(WaitUntil(until));
  }
};

TEST_F(FirstRunWindow, TextsAndButtons) {
  for (const char* key : {"Left", "Top", "Width", "Height"})
    placement->WriteInteger(std::string("FirstRunFrm\\") + key, 1);
  Show();
  EXPECT_EQ(frm->frameGeometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
  EXPECT_EQ(frm->windowTitle(), QStr("Первый запуск"_cp));
  // A title asked for, and no button in it.
  EXPECT_TRUE(frm->windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(frm->windowFlags() &
               (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
  EXPECT_EQ(frm->btConfigProxy->text(), QStr("Настройка прокси"_cp));
  EXPECT_EQ(frm->btRetry->text(), QStr("Повтроить"_cp));
  EXPECT_EQ(frm->btSkip->text(), QStr("Пропустить"_cp));
  EXPECT_EQ(Status(), kCheckingProgram);
  EXPECT_EQ(checks.started[0].first, 0);
  for (QPushButton* b : {frm->btConfigProxy, frm->btRetry, frm->btSkip}) EXPECT_FALSE(b->isVisible());
  ReportAndWait(4, [&] { return Buttons(); });
  EXPECT_EQ(Status(), kProgramError);
  for (QPushButton* b : {frm->btConfigProxy, frm->btRetry, frm->btSkip}) EXPECT_TRUE(b->isVisible());
}

TEST_F(FirstRunWindow, ErrorsRetryAndSkipToTheEnd) {
  Show();
  ReportAndWait(4, [&] { return Buttons(); });
  frm->btRetry->click();
  EXPECT_FALSE(Buttons());
  ASSERT_TRUE(WaitUntil([&] { return checks.started.size() == 2; }));
  EXPECT_EQ(checks.started[1].first, 0);
  ReportAndWait(4, [&] { return Buttons(); });
  EXPECT_EQ(opened, 0);
  frm->btSkip->click();
  EXPECT_EQ(opened, 1) << "the databases open before the gate-list check";
  ASSERT_NE(Database, nullptr);
  ASSERT_EQ(checks.started.size(), 3u);
  EXPECT_EQ(checks.started[2].first, 1);
  EXPECT_EQ(Status(), kProgramError) << "status and buttons stay";
  EXPECT_TRUE(Buttons());
  ReportAndWait(4, [&] { return Status() == kGatesError; });
  profile.Write("Parlomix.phb", "Старый;MTS;916;1234567\r\n"_cp);
  frm->btSkip->click();
  EXPECT_FALSE(frm->isVisible());
  EXPECT_EQ(frm->result(), QDialog::Accepted);
  EXPECT_EQ(Status(), kMigrating);
  EXPECT_EQ(TPhoneBook::GetPhoneByName("Старый"_cp), "79161234567");
  EXPECT_FALSE(frm->ProgramEnding());
  EXPECT_EQ(opened, 1);
}

TEST_F(FirstRunWindow, UpToDateRunsThroughByItself) {
  Show();
  ReportAndWait(3, [&] { return checks.started.size() == 2; });
  EXPECT_EQ(Status(), kCheckingGates);
  EXPECT_EQ(opened, 1);
  ReportAndWait(1, [&] { return !frm->isVisible(); });
  EXPECT_FALSE(Buttons());
}

TEST_F(FirstRunWindow, ANewProgramBeingInstalledEndsTheProgram) {
  Show();
  ReportAndWait(0, [&] { return !frm->isVisible(); });
  EXPECT_TRUE(frm->ProgramEnding());
  EXPECT_EQ(opened, 0);
}

TEST_F(FirstRunWindow, ClosingIsIgnoredWhileACheckRunsAndSkipsAfterAnError) {
  Show();
  EXPECT_FALSE(frm->close());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(frm.get(), &escape);
  EXPECT_TRUE(frm->isVisible());
  EXPECT_EQ(checks.started.size(), 1u);
  ReportAndWait(4, [&] { return Buttons(); });
  QApplication::sendEvent(frm.get(), &escape);
  EXPECT_TRUE(frm->isVisible());
  EXPECT_EQ(opened, 1) << "Escape acted as Пропустить";
  ASSERT_EQ(checks.started.size(), 2u);
  ReportAndWait(4, [&] { return Status() == kGatesError; });
  frm->close();
  EXPECT_FALSE(frm->isVisible()) << "closing acted as Пропустить again";
}

TEST_F(FirstRunWindow, ALateResultOfAnEarlierCheckIsIgnored) {
  Show();
  ReportAndWait(4, [&] { return Buttons(); });
  frm->btSkip->click();  // the gate-list check runs, the buttons stay
  ASSERT_EQ(checks.started.size(), 2u);
  ReportAndWait(4, [&] { return Status() == kGatesError; });
  frm->btRetry->click();
  ASSERT_EQ(checks.started.size(), 3u);
  checks.started[1].second(1, 3);  // the first gate-list check, once more
  checks.started[0].second(0, 3);  // and the program check
  QCoreApplication::processEvents();
  WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(frm->isVisible());
  EXPECT_EQ(checks.started.size(), 3u);
  EXPECT_EQ(Status(), kGatesError);
  ReportAndWait(3, [&] { return !frm->isVisible(); });
}

TEST_F(FirstRunWindow, AResultAfterTheWizardIsGoneIsDropped) {
  Show();
  TUpdateCheckReport report = checks.started[0].second;
  frm.reset();
  report(0, 4);
  WaitUntil([] { return false; }, 50);
}

TEST_F(FirstRunWindow, DatabasesThatCannotOpenEndTheWizard) {
  profile.Write("Parlomix.db3", std::string(4096, 'x'));
  Show();
  ReportAndWait(3, [&] { return !frm->isVisible(); });
  EXPECT_TRUE(frm->DatabaseError());
  EXPECT_EQ(Database, nullptr);
}

// The proxy set-up opens the options window on its proxy page; what is set
// there survives the import of an older options file.
TEST_F(FirstRunWindow, TheProxySetUpIsKeptOverTheOlderOptions) {
  CloseStorages();
  profile.Write("Parlomix.ini", "[SMSFrm]\n[Message]\nTotalMsgSend=41\n[Connection]\nUseProxy=1\nProxyHost=old\n");
  OpenStorages();
  Show();
  ReportAndWait(4, [&] { return Buttons(); });
  int page = -1;
  auto watch1 = OnModal<TOptionsFrm>([&](TOptionsFrm& options) {
    page = options.pgOptions->currentIndex();
    options.rbProxy->setChecked(true);
    options.cbProxyType->setCurrentIndex(2);
    options.edHost->setText("new.proxy");
    options.edPort->setEditText("1080");
    options.btOk->click();
  });
  frm->btConfigProxy->click();
  EXPECT_EQ(page, 2);
  EXPECT_EQ(checks.started.size(), 1u) << "the check is not restarted";
  frm->btRetry->click();
  ReportAndWait(3, [&] { return checks.started.size() == 3; });
  ReportAndWait(3, [&] { return !frm->isVisible(); });
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 41);
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "SOCKS5");
  EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "new.proxy");
  EXPECT_EQ(Options->ReadInteger("Network\\ProxyPort"), 1080);
  EXPECT_TRUE(fs::exists(profile.File("Parlomix.ini.bak")));
}

// ---- The main window's first start against a real update server ----

class FirstStart : public MainWindowTest {
 protected:
  UpdateServer server;
  UrlRecorder browser;

  void SetUp() override {
    MainWindowTest::SetUp();
    ServeProgram(server, "0.0.0.0");
    ServeGates(server, 0);
    PresetOption("Update\\URL", server.Url("/version.xml"));
    PresetOption("Update\\GatesURL", server.Url("/gates.xml"));
    PresetOption("Network\\Proxy", "Direct");  // the machine's proxy is never asked
  }
  // The window, created with the real checks (the test acts on the windows
  // that open on the way).
  std::unique_ptr<TestFrm> StartFirst() {
    auto frm = std::make_unique<TestFrm>(std::vector<std::string>{});
    frm->firstRunChecks = {};
    EXPECT_EQ(frm->FormCreate(), TSMSFrm::TCreateResult::Running);
    return frm;
  }
  static TFirstRunFrm* Wizard() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* wizard = qobject_cast<TFirstRunFrm*>(w); wizard && wizard->isVisible()) return wizard;
    return nullptr;
  }
  static std::string WizardStatus() {
    TFirstRunFrm* wizard = Wizard();
    return wizard ? CpStr(wizard->lbStatus->text()) : std::string();
  }
};

TEST_F(FirstStart, UpToDateEverywhere) {
  auto frm = StartFirst();
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
  EXPECT_NE(Database, nullptr);
  EXPECT_EQ(frm->MemoText(), "Привет. Как дела? Что делаешь? ;)"_cp);
  EXPECT_EQ(Wizard(), nullptr);
}

TEST_F(FirstStart, WithoutNetworkTheErrorsAreShownAndSkipped) {
  PresetOption("Update\\URL", kNowhere);
  PresetOption("Update\\GatesURL", kNowhere);
  bool done = false, databaseOpenAtSecondCheck = false;
  std::unique_ptr<QTimer> inner;
  auto outer = WhenTrue([] { return WizardStatus() == kProgramError && Wizard()->btSkip->isVisible(); }, [&] {
    Wizard()->btSkip->click();
    inner = WhenTrue([] { return WizardStatus() == kGatesError; }, [&] {
      databaseOpenAtSecondCheck = Database != nullptr;
      Wizard()->btSkip->click();
      done = true;
    });
  });
  auto frm = StartFirst();
  EXPECT_TRUE(done);
  EXPECT_TRUE(databaseOpenAtSecondCheck);
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
}

// After "Пропустить" in step 0 the buttons stay while the gate-list check
// runs; skipping again ends the wizard, and its check with it.
TEST_F(FirstStart, SkippingWhileTheGateCheckHangsEndsTheWizardAndTheCheck) {
  PresetOption("Update\\URL", kNowhere);
  UpdateServer::Resource hanging;
  hanging.body = GatesDescription("99", server.Url("/files/gates.xml"));
  hanging.pauseAt = 10;
  server.Set("/gates.xml", hanging);
  bool skipped = false;
  std::unique_ptr<QTimer> inner;
  auto outer = WhenTrue([] { return WizardStatus() == kProgramError && Wizard()->btSkip->isVisible(); }, [&] {
    Wizard()->btSkip->click();
    inner = WhenTrue([&] { return server.Paused(); }, [&] {
      EXPECT_EQ(WizardStatus(), kProgramError);
      Wizard()->btSkip->click();
      skipped = true;
    });
  });
  QElapsedTimer clock;
  clock.start();
  auto frm = StartFirst();
  EXPECT_TRUE(skipped);
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
  EXPECT_EQ(Database->GetIntValue("SELECT COUNT(*) FROM gates.Gate"), 0);
}

TEST_F(FirstStart, ADeclinedProgramGoesOnToTheGateList) {
  ServeProgram(server, "0.2.0.500");
  std::string statusMeanwhile;
  auto watch2 = OnModal<TUpdateInfoFrm>([&](TUpdateInfoFrm& info) {
    statusMeanwhile = WizardStatus();
    info.btCancel->click();
  });
  auto frm = StartFirst();
  EXPECT_EQ(statusMeanwhile, kCheckingProgram);
  EXPECT_TRUE(browser.urls.empty());
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
}

TEST_F(FirstStart, AnAcceptedProgramOpensItsPageAndTheWizardGoesOn) {
  ServeProgram(server, "0.2.0.500");
  bool offered = false;
  auto watch3 = OnModal<TUpdateInfoFrm>([&](TUpdateInfoFrm& info) {
    offered = true;
    info.btUpdate->click();
  });
  auto frm = StartFirst();
  EXPECT_TRUE(offered);
  EXPECT_EQ(browser.urls, std::vector<std::string>{server.Url("/download.html")});
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
}

TEST_F(FirstStart, ACancelledGateDownloadEndsTheWizardLikeAFinishedOne) {
  GateXml gate;
  gate.name = "Fresh";
  ServeGates(server, 99, PackageXml({gate}, "99") + std::string(4096, ' '), true);
  profile.Write("Parlomix.phb", "Старый;MTS;916;1234567\r\n"_cp);
  std::string statusMeanwhile;
  auto watch4 = OnModal<TUpdatePrgsFrm>([&](TUpdatePrgsFrm& progress) {
    statusMeanwhile = WizardStatus();
    progress.btCancel->click();
  });
  auto frm = StartFirst();
  EXPECT_EQ(statusMeanwhile, "Выполняется обновление базы операторов..."_cp);
  EXPECT_EQ(TPhoneBook::GetPhoneByName("Старый"_cp), "79161234567") << "imported, then closed";
  EXPECT_EQ(Database->GetIntValue("SELECT COUNT(*) FROM gates.Gate"), 0);
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
}

TEST_F(FirstStart, DatabasesTheWizardCouldNotOpenFailTheStart) {
  profile.Write("Parlomix.db3", std::string(4096, 'x'));
  TestFrm frm(std::vector<std::string>{});
  EXPECT_ANY_THROW(frm.FormCreate());
  EXPECT_EQ(Wizard(), nullptr);
  EXPECT_FALSE(Options->ReadBool("General\\FirstRunDone"));
}

TEST_F(FirstStart, AnInstallerThatRunsEndsTheStartWithNothingSet) {
  TestFrm frm(std::vector<std::string>{});
  frm.firstRunChecks = [](int kind, TUpdateCheckReport report) { report(kind, 0); };
  EXPECT_EQ(frm.FormCreate(), TSMSFrm::TCreateResult::Ending);
  EXPECT_FALSE(Options->ReadBool("General\\FirstRunDone"));
  EXPECT_EQ(Database, nullptr);
}

TEST_F(FirstStart, ANewerGateListIsImported) {
  GateXml gate;
  gate.name = "Fresh";
  ServeGates(server, 99, PackageXml({gate}, "99"));
  auto frm = StartFirst();
  EXPECT_EQ(Database->GetStringValue("SELECT Name FROM gates.Gate"), "Fresh");
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone"));
}

}  // namespace
