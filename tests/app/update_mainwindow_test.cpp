// The main window's update checks against an update server in this
// process: which check runs at start-up and in what order, the dates they
// write, what a check by hand tells the user, and the check actions while a
// check runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cmath>

#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/qtwait.h"
#include "app/updateserver.h"
#include "cp1251.h"
#include "datetime.h"
#include "feedbackfrm.h"
#include "gates/import_support.h"
#include "senddisp.h"
#include "update.h"
#include "uitext.h"
#include "updateinfofrm.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t Today() { return DateTimeToUnix(std::floor(Now())); }

class MainWindowUpdates : public MainWindowTest {
 protected:
  UpdateServer server;
  TProgramVersion savedVersion = ProgramVersion;

  void SetUp() override {
    MainWindowTest::SetUp();
    ProgramVersion.FileVersion = "2.1.4.623";
    ProgramVersion.Build = 623;
    PresetOption("Network\\Proxy", "Direct");
    PresetOption("Update\\URL", server.Url("/version.xml"));
    PresetOption("Update\\GatesURL", server.Url("/gates.xml"));
    server.Put("/version.xml", ProgramDescription("2.1.4.600"));
    server.Put("/gates.xml", GatesDescription("0", server.Url("/files/gates.xml")));
  }
  void TearDown() override {
    ProgramVersion = savedVersion;
    MainWindowTest::TearDown();
  }
  // A window started as after its first run, so that its checks start.
  std::unique_ptr<TestFrm> StartChecked() {
    PresetOption("General\\FirstRunDone", "TRUE");
    return Start();
  }
  // The date a check wrote, as Unix seconds; 0 when none was written.
  static int64_t Written(const char* key) {
    TDateTime date = Options->ReadDateTime(key);
    return date == 0 ? 0 : DateTimeToUnix(date);
  }
  static bool Idle() { return !TUpdate::Running(ukProgram) && !TUpdate::Running(ukGates); }
  void Settle(int ms = 300) { WaitUntil([] { return false; }, ms); }
};

TEST_F(MainWindowUpdates, AtStartTheProgramCheckRunsFirstAndTheGateListFollowsItsResult) {
  server.Set("/version.xml", {.body = ProgramDescription("2.1.4.600"), .pauseAt = 20});
  auto frm = StartChecked();
  ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  Settle(200);
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/version.xml"})) << "the gate list waits for the program";
  server.Release();
  ASSERT_TRUE(WaitUntil([&] { return Idle() && server.Paths().size() == 2; }));
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/version.xml", "/gates.xml"}));
  EXPECT_EQ(Written("Update\\LastUpdate"), Today());
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), Today());
  EXPECT_TRUE(frm->messages.empty()) << "automatic checks say nothing";
}

TEST_F(MainWindowUpdates, AProgramCheckNotDueLetsTheGateListCheckStartAtOnce) {
  PresetOption("Update\\LastUpdate", std::to_string(Today() - 2 * 86400));
  PresetOption("Update\\LastGatesUpdate", std::to_string(Today() - 5 * 86400));
  auto frm = StartChecked();
  ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 1 && Idle(); }));
  Settle();
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/gates.xml"}));
  EXPECT_EQ(Written("Update\\LastUpdate"), Today() - 2 * 86400) << "unchanged";
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), Today());
}

TEST_F(MainWindowUpdates, NothingIsCheckedWhenNothingIsDueOrAutomaticChecksAreOff) {
  PresetOption("Update\\LastUpdate", std::to_string(Today() - 4 * 86400));
  PresetOption("Update\\LastGatesUpdate", std::to_string(Today()));
  {
    auto frm = StartChecked();
    Settle();
    EXPECT_TRUE(server.Paths().empty());
  }
  PresetOption("Update\\LastUpdate", "0");
  PresetOption("Update\\LastGatesUpdate", "0");
  PresetOption("Update\\AutoCheckUpdate", "FALSE");
  PresetOption("Update\\AutoCheckUpdateGates", "FALSE");
  auto frm = StartChecked();
  Settle();
  EXPECT_TRUE(server.Paths().empty());
}

TEST_F(MainWindowUpdates, AFirstRunStartsNoCheck) {
  auto frm = Start();
  Settle();
  EXPECT_TRUE(server.Paths().empty());
}

TEST_F(MainWindowUpdates, AFailedAutomaticCheckIsSilentKeepsItsDateAndStillChains) {
  server.Set("/version.xml", {.status = 404, .body = "no"});
  server.Put("/gates.xml", "<html>captive portal</html>");
  auto frm = StartChecked();
  ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 2 && Idle(); }));
  Settle(100);
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/version.xml", "/gates.xml"}));
  EXPECT_EQ(Written("Update\\LastUpdate"), 0);
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), 0);
  EXPECT_TRUE(frm->messages.empty());
}

TEST_F(MainWindowUpdates, ANewerProgramIsOfferedAtStartAndTheGateListFollowsTheAnswer) {
  server.Put("/version.xml", ProgramDescription("2.1.4.700", "http://parlomix.org/download.html"));
  bool offered = false;
  auto person = OnModal<TUpdateInfoFrm>([&](TUpdateInfoFrm& window) {
    offered = true;
    window.btCancel->click();
  });
  auto frm = StartChecked();
  ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 2 && Idle(); }));
  EXPECT_TRUE(offered);
  EXPECT_EQ(Written("Update\\LastUpdate"), Today());
  EXPECT_TRUE(frm->messages.empty());
}

TEST_F(MainWindowUpdates, ACheckByHandTellsTheAnswerAndChainsNothing) {
  PresetOption("Update\\AutoCheckUpdate", "FALSE");
  PresetOption("Update\\AutoCheckUpdateGates", "FALSE");
  auto frm = StartChecked();
  frm->Action("aCheckUpdate")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !frm->messages.empty() && Idle(); }));
  Settle(100);
  EXPECT_EQ(frm->messages, (std::vector<std::string>{"У вас последняя версия"_cp}));
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/version.xml"}));
  EXPECT_EQ(Written("Update\\LastUpdate"), Today());

  frm->messages.clear();
  server.Put("/gates.xml", "<html>captive portal</html>");
  frm->Action("aCheckUpdateGates")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !frm->messages.empty() && Idle(); }));
  EXPECT_EQ(frm->messages, (std::vector<std::string>{"Ошибка загрузки информации о новой версии"_cp}));
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), 0);
}

TEST_F(MainWindowUpdates, AGateListFetchedByHandIsImportedAndItsFailureIsSilent) {
  PresetOption("Update\\AutoCheckUpdate", "FALSE");
  PresetOption("Update\\AutoCheckUpdateGates", "FALSE");
  server.Put("/gates.xml", GatesDescription("5", server.Url("/files/gates.xml")));
  auto frm = StartChecked();
  frm->Action("aCheckUpdateGates")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 2 && Idle(); }));
  Settle(100);
  EXPECT_TRUE(frm->messages.empty()) << "the download's failure is not the check's";
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), 0);

  GateXml gate;
  gate.name = "Fresh";
  server.Put("/files/gates.xml", PackageXml({gate}, "5"));
  frm->Action("aCheckUpdateGates")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return server.Paths().size() == 4 && Idle(); }));
  Settle(100);
  EXPECT_TRUE(frm->messages.empty());
  EXPECT_EQ(Written("Update\\LastGatesUpdate"), Today());
  EXPECT_EQ(ProgramVersion.GatesVersion, 5);
  EXPECT_EQ(Database->GetIntValue("SELECT count(*) FROM gates.Gate WHERE Name='Fresh'"), 1);
}

TEST_F(MainWindowUpdates, ACheckActionIsDisabledWhileItsCheckRuns) {
  PresetOption("Update\\AutoCheckUpdate", "FALSE");
  PresetOption("Update\\AutoCheckUpdateGates", "FALSE");
  server.Set("/version.xml", {.body = ProgramDescription("2.1.4.600"), .pauseAt = 20});
  auto frm = StartChecked();
  QAction* program = frm->Action("aCheckUpdate");
  QAction* gates = frm->Action("aCheckUpdateGates");
  program->trigger();
  EXPECT_FALSE(program->isEnabled());
  EXPECT_TRUE(gates->isEnabled());
  frm->CheckUpdates(ukProgram, true);
  ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  Settle(100);
  EXPECT_EQ(server.Paths().size(), 1u) << "never two of a kind";
  server.Release();
  ASSERT_TRUE(WaitUntil([&] { return program->isEnabled(); }));
  EXPECT_EQ(frm->messages.size(), 1u);
}

TEST_F(MainWindowUpdates, AWindowClosedDuringACheckStopsIt) {
  server.Set("/version.xml", {.body = ProgramDescription("2.1.4.600"), .pauseAt = 20});
  auto start = Clock::now();
  {
    auto frm = StartChecked();
    ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  }
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(4000));
  EXPECT_TRUE(Idle());
}

class MainWindowFeedback : public MainWindowTest {};

TEST_F(MainWindowFeedback, TheSendWindowsReportButtonOpensTheReport) {
  auto frm = Start();
  std::string gateText, message;
  bool logGiven = false;
  QWidget* owner = nullptr;
  auto person = OnModal<TFeedbackFrm>([&](TFeedbackFrm& window) {
    owner = window.parentWidget();
    gateText = CpStr(window.cbTheme->currentText());
    message = window.MessageText();
    logGiven = window.chbAttachLog->isEnabled();
    window.reject();
  });
  TSendDisp::OpenFeedback("МТС (mts v.3)"_cp, "79161234567", "Ошибка загрузки"_cp, nullptr);
  EXPECT_EQ(owner, frm.get()) << "over the active window when no send window is there";
  EXPECT_EQ(gateText, "Сообщить о неработающем операторе"_cp);
  EXPECT_NE(message.find("Имя оператора: МТС (mts v.3)\r\nПервые цифры номера отправки: 7916123\r\n"
                         "Ошибка: Ошибка загрузки"_cp),
            std::string::npos);
  EXPECT_FALSE(logGiven);
  frm.reset();
  bool opened = false;
  auto personAgain = OnModal<TFeedbackFrm>([&](TFeedbackFrm& window) {
    opened = true;
    window.reject();
  }, 300);
  TSendDisp::OpenFeedback("G", "", "E", nullptr);
  EXPECT_FALSE(opened) << "the hook goes with the window";
}

TEST_F(MainWindowFeedback, TheFeedbackCommandOpensTheWindowThatRemembersTheSender) {
  {
    auto frm = Start();
    bool seen = false;
    auto person = OnModal<TFeedbackFrm>([&](TFeedbackFrm& window) {
      seen = true;
      EXPECT_EQ(window.parentWidget(), frm.get());
      EXPECT_FALSE(window.chbAttachLog->isEnabled()) << "no send log from here";
      window.edName->setText(QStr("Вася"_cp));
      window.edEMail->setText("vasya@mail.ru");
      window.btCancel->click();
    });
    frm->Action("aFeedback")->trigger();
    EXPECT_TRUE(seen);
  }
  // The next run of the program fills them in.
  auto frm = Start();
  std::string name, email;
  auto person = OnModal<TFeedbackFrm>([&](TFeedbackFrm& window) {
    name = CpStr(window.edName->text());
    email = CpStr(window.edEMail->text());
    window.reject();
  });
  frm->aFeedbackExecute();
  EXPECT_EQ(name, "Вася"_cp);
  EXPECT_EQ(email, "vasya@mail.ru");
}

}  // namespace
