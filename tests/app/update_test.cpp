// Update checks from start to end against an update server in this process:
// what each description leads to, the gate list downloaded with its progress
// window and imported, the new-version window of the program, cancelling,
// and results held back while a send runs.
#include "update.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <chrono>
#include <filesystem>

#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/qtwait.h"
#include "app/updateserver.h"
#include "cp1251.h"
#include "gatelimits.h"
#include "gates/httptestenv.h"
#include "gates/import_support.h"
#include "gates/fakesite.h"
#include "httpgate.h"
#include "messages.h"
#include "senddisp.h"
#include "sendview.h"
#include "sqlmgr.h"
#include "updatefolder.h"
#include "updateinfofrm.h"
#include "updateprgsfrm.h"
#include "uitext.h"
#include "applimits.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A gate of a package; without its information it fails to import.
GateXml Gate(const std::string& name, bool complete = true, const std::string& caption = "Caption") {
  GateXml gate;
  gate.name = name;
  gate.caption = caption;
  if (!complete) gate.info.reset();
  return gate;
}

class UpdateTest : public ::testing::Test {
 protected:
  HttpProfile http;
  UpdateServer server;
  TProgramVersion savedVersion = ProgramVersion;
  TGateImportFailureHandler savedHandler;
  std::vector<TUpdateResult> results;
  std::vector<std::string> importFailures;
  std::string downloadedTo;

  void SetUp() override {
    fs::create_directories(ProfileDir);
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
    ProgramVersion.FileVersion = "2.1.4.623";
    ProgramVersion.Build = 623;
    Options->WriteString("Update\\URL", server.Url("/version.xml"));
    Options->WriteString("Update\\GatesURL", server.Url("/gates.xml"));
    savedHandler = SetGateImportFailureHandler([this](const std::string& text) { importFailures.push_back(text); });
  }
  void TearDown() override {
    SetGateImportFailureHandler(savedHandler);
    CloseDatabases();
    ProgramVersion = savedVersion;
  }

  QPointer<TUpdate> Start(TUpdateKind kind, bool interactive = true) {
    auto* update = new TUpdate(kind, nullptr);
    update->OnResult = [this](TUpdate& sender, const TUpdateResult& result) {
      results.push_back(result);
      if (result.Code == ucDone) downloadedTo = sender.LocalFileName();
    };
    update->Check(interactive);
    return update;
  }
  // Runs a check to its end.
  void Run(TUpdateKind kind, bool interactive = true) {
    QPointer<TUpdate> update = Start(kind, interactive);
    ASSERT_TRUE(WaitUntil([&] { return Gone(update); }, 8000));
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const TUpdateResult& r : results) codes.push_back(r.Code);
    return codes;
  }
  std::string LastMessage() const { return results.empty() ? "" : results.back().Message; }
  bool UpdateFolderEmpty() const {
    std::error_code ec;
    return !fs::exists(UpdateFolder(ProfileDir)) || fs::is_empty(UpdateFolder(ProfileDir), ec);
  }
  bool GateInstalled(const std::string& name) {
    Database->AddParamText(":Name", name);
    return Database->GetIntValue("SELECT count(*) FROM gates.Gate WHERE Name=:Name") == 1;
  }
  int Requests(const std::string& path) {
    int n = 0;
    for (const std::string& p : server.Paths()) n += p == path;
    return n;
  }
  // A package of version 15 with one gate, offered as newer than 14.
  void OfferGates(const std::string& download = "/files/gates.xml", int minbuild = 0) {
    ProgramVersion.GatesVersion = 14;
    server.Put("/gates.xml", GatesDescription("15", server.Url(download), minbuild));
    server.Put(download.substr(0, download.find('?')), PackageXml({Gate("NewGate")}, "15"));
  }
};

TEST_F(UpdateTest, ANewerGateListIsDownloadedImportedAndDeleted) {
  OfferGates();
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucDone}));
  EXPECT_EQ(results[0].Kind, ukGates);
  EXPECT_EQ(results[1].Message, "");
  EXPECT_TRUE(GateInstalled("NewGate"));
  EXPECT_EQ(ProgramVersion.GatesVersion, 15);
  EXPECT_EQ(downloadedTo, UpdateFolder(ProfileDir) + "gates.xml");
  EXPECT_FALSE(fs::exists(downloadedTo)) << "deleted after the import";
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/gates.xml", "/files/gates.xml"}));
  for (const UpdateServer::Hit& hit : server.Hits()) EXPECT_EQ(hit.userAgent, "Parlomix Updater v. 2.1.4.623");
}

TEST_F(UpdateTest, TheImportIsNotForced) {
  OfferGates();
  Database->ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES ('NewGate','HTTP','SMS','Mine',9)");
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucDone}));
  EXPECT_EQ(Database->GetStringValue("SELECT Caption FROM gates.Gate WHERE Name='NewGate'"), "Mine")
      << "the user's newer gate stays";
}

TEST_F(UpdateTest, TheSameGateListIsUpToDateAndNothingIsFetched) {
  OfferGates();
  ProgramVersion.GatesVersion = 15;
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucUpToDate}));
  EXPECT_EQ(Requests("/files/gates.xml"), 0);
}

TEST_F(UpdateTest, AGateListForANewerProgramIsAnErrorWithoutDownload) {
  OfferGates("/files/gates.xml", 624);
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucError}));
  EXPECT_EQ(LastMessage(), "Требуется новая версия Parlomix. Обновите версию"_cp);
  EXPECT_EQ(Requests("/files/gates.xml"), 0);
  EXPECT_FALSE(GateInstalled("NewGate"));
}

TEST_F(UpdateTest, ADescriptionThatCannotBeReadIsAnErrorNotUpToDate) {
  const std::pair<const char*, UpdateServer::Resource> answers[] = {
      {"a captive portal's page", {.body = "<html><body>Войдите<br></body>"_cp}},
      {"an empty answer", {.body = ""}},
      {"status 500", {.status = 500, .body = GatesDescription("15", "http://x/g.xml")}},
      {"an oversized one", {.body = std::string(kMaxUpdateDescriptionSize + 10, ' ')}},
  };
  for (const auto& [what, answer] : answers) {
    results.clear();
    server.Set("/gates.xml", answer);
    Run(ukGates);
    EXPECT_EQ(Codes(), (std::vector<int>{ucError})) << what;
    EXPECT_EQ(LastMessage(), "Ошибка загрузки информации о новой версии"_cp) << what;
  }
  results.clear();
  Options->WriteString("Update\\GatesURL", "file:///etc/passwd");
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucError})) << "only the web is asked";
}

TEST_F(UpdateTest, ANewerListWithoutADownloadAddressOrFileNameEndsInAnError) {
  ProgramVersion.GatesVersion = 14;
  for (const std::string& download : {std::string(), server.Url("/files/"), server.Url("/get?x=1&..")}) {
    results.clear();
    server.Put("/gates.xml", "<gates><version>15</version><download>" + XmlEscape(download) + "</download></gates>");
    Run(ukGates);
    EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucError})) << download;
    EXPECT_EQ(LastMessage(), "Ошибка загрузки обновления"_cp);
  }
}

TEST_F(UpdateTest, AHostileFileNameStaysInsideTheDownloadFolder) {
  OfferGates("/get.php?dir=..&../../../..gates.xml");
  Run(ukGates);
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucDone}));
  EXPECT_EQ(downloadedTo, UpdateFolder(ProfileDir) + "gates.xml");
  EXPECT_FALSE(fs::exists(fs::path(ProfileDir).parent_path().parent_path() / "gates.xml"));
  EXPECT_TRUE(UpdateFolderEmpty());
}

TEST_F(UpdateTest, AFailedDownloadOrImportIsAnErrorAndLeavesNoFile) {
  const std::pair<const char*, UpdateServer::Resource> files[] = {
      {"404", {.status = 404, .body = "gone"}},
      {"short of its size", {.body = std::string(100000, 'x'), .announced = 150000}},
      {"a redirect to ftp", {.status = 302, .location = "ftp://127.0.0.1/gates.xml"}},
      {"no package", {.body = "<html>not a gate list</html>"}},
      {"a package without its version", {.body = PackageXml({Gate("NewGate")}, std::nullopt)}},
      {"a broken gate", {.body = PackageXml({Gate("Good"), Gate("Bad", false)}, "15")}},
      {"an answer without end, stopped at its cap", {.endless = true}},
  };
  for (const auto& [what, answer] : files) {
    results.clear();
    OfferGates();
    server.Set("/files/gates.xml", answer);
    Run(ukGates);
    EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucError})) << what;
    EXPECT_EQ(LastMessage(), "Ошибка загрузки обновления"_cp) << what;
    EXPECT_TRUE(UpdateFolderEmpty()) << what;
    EXPECT_EQ(ProgramVersion.GatesVersion, 14) << what;
  }
  // The client stopped reading at the cap; what the socket buffers took is
  // all the server got out beyond it.
  EXPECT_LT(server.EndlessBytes(), static_cast<int64_t>(kMaxDownloadSize) + (16 << 20));
}

TEST_F(UpdateTest, TheProgressWindowShowsTheShareReceivedAndCloses) {
  OfferGates();
  std::string package = PackageXml({Gate("NewGate", true, std::string(300000, 'c'))}, "15");
  server.Set("/files/gates.xml", {.body = package, .pauseAt = package.size() / 2});
  std::string shown;
  int expected = static_cast<int>(package.size() / 2 * 100 / package.size());
  std::unique_ptr<QTimer> inner;
  auto person = OnModal<TUpdatePrgsFrm>([&](TUpdatePrgsFrm& prgs) {
    EXPECT_EQ(prgs.windowTitle(), QStr("Обновление"_cp));
    inner = WhenTrue([&prgs, expected] { return prgs.lbPercent->text() == QString("%1 %").arg(expected); },
             [&] {
               shown = prgs.lbPercent->text().toStdString();
               EXPECT_EQ(prgs.pbProgress->maximum(), static_cast<int>(package.size()));
               server.Release();
             });
  });
  Run(ukGates);
  EXPECT_EQ(shown, std::to_string(expected) + " %");
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucDone}));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the window closed by itself";
}

TEST_F(UpdateTest, CancellingTheProgressWindowStopsAStalledDownloadAtOnce) {
  OfferGates();
  server.Set("/files/gates.xml", {.body = std::string(200000, 'x'), .pauseAt = 70000});
  Clock::time_point pressed;
  std::unique_ptr<QTimer> inner;
  auto person = OnModal<TUpdatePrgsFrm>([&](TUpdatePrgsFrm& prgs) {
    inner = WhenTrue([&] { return server.Paused(); },
             [&] {
               pressed = Clock::now();
               prgs.btCancel->click();
             });
  });
  Run(ukGates);
  EXPECT_LT(Clock::now() - pressed, std::chrono::milliseconds(500));
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucCancelled}));
  EXPECT_EQ(LastMessage(), "");
  EXPECT_TRUE(UpdateFolderEmpty());
  EXPECT_FALSE(GateInstalled("NewGate"));
}

TEST_F(UpdateTest, TheProgressWindowClosesOnlyWithItsDownload) {
  OfferGates();
  server.Set("/files/gates.xml", {.body = std::string(200000, 'x'), .pauseAt = 70000});
  bool stillOpen = false;
  std::unique_ptr<QTimer> inner;
  auto person = OnModal<TUpdatePrgsFrm>([&](TUpdatePrgsFrm& prgs) {
    inner = WhenTrue([&] { return server.Paused(); },
             [&] {
               prgs.close();
               stillOpen = prgs.isVisible();
               EXPECT_TRUE(prgs.CancelRequested()) << "the close command cancels";
             });
  });
  Run(ukGates);
  EXPECT_TRUE(stillOpen) << "until the download has ended";
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable, ucCancelled}));
}

class ProgramUpdateTest : public UpdateTest {
 protected:
  UrlRecorder browser;
  void SetUp() override {
    UpdateTest::SetUp();
    server.Put("/version.xml", ProgramDescription("2.1.4.630", "http://parlomix.org/download.html",
                                                  "Новые операторы\r\n&lt;b&gt;Быстрее&lt;/b&gt; отправка"_cp));
  }
};

TEST_F(ProgramUpdateTest, UpdatingOpensTheDownloadPageAndTheProgramGoesOn) {
  std::string version, whatsNew;
  bool bold = false;
  auto person = OnModal<TUpdateInfoFrm>([&](TUpdateInfoFrm& frm) {
    version = CpStr(frm.lbVersion->text());
    bold = frm.lbVersion->font().bold();
    whatsNew = CpStr(frm.lbWhatsNew->text());
    frm.btUpdate->click();
  });
  Run(ukProgram);
  EXPECT_EQ(version, "2.1.4.630");
  EXPECT_TRUE(bold);
  EXPECT_EQ(whatsNew, "Новые операторы<br><b>Быстрее</b> отправка"_cp);
  EXPECT_EQ(browser.urls, (std::vector<std::string>{"http://parlomix.org/download.html"}));
  EXPECT_EQ(Codes(), (std::vector<int>{ucCancelled})) << "no installer runs, nothing ends";
  EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/version.xml"})) << "nothing is downloaded";
}

TEST_F(ProgramUpdateTest, DecliningIsCancelled) {
  auto person = OnModal<TUpdateInfoFrm>([](TUpdateInfoFrm& frm) { frm.btCancel->click(); });
  Run(ukProgram);
  EXPECT_EQ(Codes(), (std::vector<int>{ucCancelled}));
  EXPECT_TRUE(browser.urls.empty());
}

TEST_F(ProgramUpdateTest, OnlyAWebPageIsOpened) {
  server.Put("/version.xml", ProgramDescription("2.1.4.630", "file:///usr/bin/xterm"));
  auto person = OnModal<TUpdateInfoFrm>([](TUpdateInfoFrm& frm) {
    frm.lbDownloadClick();
    frm.btUpdate->click();
  });
  Run(ukProgram);
  EXPECT_TRUE(browser.urls.empty());
  EXPECT_EQ(Codes(), (std::vector<int>{ucCancelled}));
}

TEST_F(ProgramUpdateTest, WithoutAskingANewerProgramIsOnlyReported) {
  Run(ukProgram, false);
  EXPECT_EQ(Codes(), (std::vector<int>{ucAvailable}));
  server.Put("/version.xml", ProgramDescription("2.1.4.600"));
  results.clear();
  Run(ukProgram);
  EXPECT_EQ(Codes(), (std::vector<int>{ucUpToDate})) << "no window for an older build";
}

TEST_F(UpdateTest, ResultsWaitWhileASendWaitsForItsCodeAndIsBooked) {
  OfferGates();
  ProgramVersion.GatesVersion = 15;
  RegisterHTTPGate();
  FakeSite site;
  ASSERT_TRUE(FakeGate(site).Import());
  TSMS sms;
  sms.SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
  sms.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  sms.SetItemNamed(MsgKey::Text, Variant::String("Hello"));
  sms.SetItemNamed(MsgKey::Message, Variant::String("Hello"));

  QPointer<TUpdate> update;
  bool captchaShown = false;
  size_t resultsAtCaptcha = 99, resultsWhenBooked = 99;
  THeadlessSendView view;
  view.OnCaptcha = [&](THeadlessSendView& v, const QImage&) {
    captchaShown = true;
    update = Start(ukGates);
    WaitUntil([&] { return Requests("/gates.xml") == 1; });
    WaitUntil([] { return false; }, 300);
    resultsAtCaptcha = results.size();
    v.Cancel();
  };
  TSendDisp::SetAfterSendHook([&](const std::string&, TSMS&, uint8_t, const std::string&) {
    WaitUntil([] { return false; }, 200);
    resultsWhenBooked = results.size();
  });
  TSendDisp::Send(sms, "FakeOperator", view);
  TSendDisp::SetAfterSendHook(nullptr);
  ASSERT_TRUE(captchaShown);
  EXPECT_EQ(resultsAtCaptcha, 0u) << "nothing over the send window while it waits for the code";
  EXPECT_EQ(resultsWhenBooked, 0u) << "nor while the send is booked";
  ASSERT_TRUE(WaitUntil([&] { return Gone(update); }));
  EXPECT_EQ(Codes(), (std::vector<int>{ucUpToDate}));
}

TEST_F(UpdateTest, OneCheckOfAKindAtATime) {
  ProgramVersion.GatesVersion = 15;
  server.Set("/gates.xml", {.body = GatesDescription("15", "x") + std::string(5000, ' '), .pauseAt = 10});
  QPointer<TUpdate> first = Start(ukGates);
  ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  EXPECT_TRUE(TUpdate::Running(ukGates));
  EXPECT_FALSE(TUpdate::Running(ukProgram));
  QPointer<TUpdate> second = Start(ukGates);
  EXPECT_TRUE(results.empty()) << "never from inside Check";
  ASSERT_TRUE(WaitUntil([&] { return Gone(second); }));
  EXPECT_EQ(Codes(), (std::vector<int>{ucCancelled}));
  EXPECT_EQ(Requests("/gates.xml"), 1);
  server.Release();
  ASSERT_TRUE(WaitUntil([&] { return Gone(first); }));
  EXPECT_EQ(Codes(), (std::vector<int>{ucCancelled, ucUpToDate}));
  EXPECT_FALSE(TUpdate::Running(ukGates));
}

TEST_F(UpdateTest, ACheckWhoseOwnerGoesEndsWithoutAResult) {
  server.Set("/gates.xml", {.body = std::string(5000, ' '), .pauseAt = 10});
  auto start = Clock::now();
  {
    QObject owner;
    auto* update = new TUpdate(ukGates, &owner);
    update->OnResult = [this](TUpdate&, const TUpdateResult& result) { results.push_back(result); };
    update->Check(true);
    ASSERT_TRUE(WaitUntil([&] { return server.Paused(); }));
  }
  WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(results.empty());
  EXPECT_FALSE(TUpdate::Running(ukGates));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
}

// ---- The windows on their own ----

TEST(UpdatePrgsFrm, ShowsTheShareRoundedDown) {
  TUpdatePrgsFrm frm;
  EXPECT_EQ(frm.lbPercent->text(), "0 %");
  EXPECT_EQ(frm.btCancel->text(), QStr("Отмена"_cp));
  frm.SetPosition(500);
  EXPECT_EQ(frm.lbPercent->text(), "0 %") << "no size known";
  frm.SetTotal(200000);
  EXPECT_EQ(frm.pbProgress->maximum(), 200000);
  frm.SetPosition(199999);
  EXPECT_EQ(frm.lbPercent->text(), "99 %");
  EXPECT_EQ(frm.pbProgress->value(), 199999);
  frm.SetPosition(250000);
  EXPECT_EQ(frm.lbPercent->text(), "100 %") << "never above the size";
  EXPECT_EQ(frm.pbProgress->value(), 200000);
  frm.SetTotal(1000);
  EXPECT_EQ(frm.pbProgress->maximum(), 1000);
  frm.SetPosition(333);
  EXPECT_EQ(frm.lbPercent->text(), "33 %");
  frm.SetTotal(int64_t{6} << 30);
  frm.SetPosition(int64_t{3} << 30);
  EXPECT_EQ(frm.lbPercent->text(), "50 %") << "a size above what a bar counts";
  EXPECT_NEAR(frm.pbProgress->value() * 2, frm.pbProgress->maximum(), 2);
}

TEST(UpdatePrgsFrm, HasNoTitleBarButtonsAndEscCancels) {
  TUpdatePrgsFrm frm;
  EXPECT_FALSE(frm.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(frm.windowFlags() & Qt::WindowMinMaxButtonsHint);
  EXPECT_FALSE(frm.windowFlags() & Qt::WindowContextHelpButtonHint);
  int asked = 0;
  QObject::connect(&frm, &TUpdatePrgsFrm::cancelRequested, [&] { ++asked; });
  frm.show();
  frm.reject();
  EXPECT_TRUE(frm.isVisible());
  EXPECT_TRUE(frm.CancelRequested());
  frm.btCancel->click();
  EXPECT_EQ(asked, 1);
  frm.Finish();
  EXPECT_FALSE(frm.isVisible());
  EXPECT_EQ(frm.result(), QDialog::Accepted);
}

TEST(UpdateInfoFrm, GrowsByTheTextItGetsAndStaysCentred) {
  QWidget owner;
  owner.setGeometry(100, 100, 800, 600);
  TUpdateInfoFrm frm(&owner);
  EXPECT_EQ(frm.windowTitle(), QStr("Новая версия"_cp));
  EXPECT_EQ(frm.btUpdate->text(), QStr("Обновить"_cp));
  EXPECT_TRUE(frm.btUpdate->isDefault());
  EXPECT_EQ(frm.btCancel->text(), QStr("Отмена"_cp));
  EXPECT_EQ(frm.btOptions->text(), QStr("Опции обновления"_cp));
  EXPECT_EQ(frm.lbDownload->text(), QStr("страницу загрузки"_cp));
  frm.SetWhatsNew("Одна строка"_cp);
  QRect before = frm.geometry();
  int labelBefore = frm.lbWhatsNew->heightForWidth(frm.lbWhatsNew->width());
  frm.SetWhatsNew("Первая\r\nВторая\r\nТретья\r\nЧетвёртая\r\nПятая"_cp);
  int d = frm.lbWhatsNew->heightForWidth(frm.lbWhatsNew->width()) - labelBefore;
  ASSERT_GT(d, 0);
  EXPECT_EQ(frm.geometry().height(), before.height() + d);
  EXPECT_EQ(frm.geometry().top(), before.top() - d / 2);
  frm.SetWhatsNew("Одна строка"_cp);
  EXPECT_EQ(frm.geometry().height(), before.height());
  EXPECT_EQ(frm.geometry().top(), before.top()) << "and shrinks back where it was";
  frm.SetVersion("<b>x</b>");
  EXPECT_EQ(frm.lbVersion->textFormat(), Qt::PlainText) << "the version is shown as it is";
}

}  // namespace
