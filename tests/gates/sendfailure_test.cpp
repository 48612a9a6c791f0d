// The ways a send fails, seen as a person trying a gate from a terminal sees
// them: tools/pxsend run as a program against the fake operator site (and
// against servers that misbehave on purpose), its step lines, its result
// line, its exit code and what it leaves in the profile.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gates/childprocess.h"
#include "gates/fakesite.h"
#include "gates/pxsendrun.h"
#include "gates/rawserver.h"
#include "support/tempdir.h"

namespace {

const char* const kStepNames[] = {"Инициализация", "Загрузка картинки с кодом", "Отправка сообщения",
                                  "Проверка статуса доставки", "Завершение"};

// The lines of a send whose steps `passed` finished and whose step `failed`
// then failed with `code` and `text`.
std::vector<std::string> FailureLines(const std::string& gateName, const std::vector<int>& passed, int failed,
                                      int code, const std::string& text) {
  std::vector<std::string> lines = {"gate: " + gateName};
  auto step = [&](int s, int phase, const std::string& what) {
    lines.push_back("step " + std::to_string(s) + " phase " + std::to_string(phase) + ": " + what);
  };
  for (int s : passed) {
    step(s, 0, kStepNames[s]);
    step(s, 1, s == 1 ? "Ожидание ввода кода" : kStepNames[s]);
  }
  step(failed, 0, kStepNames[failed]);
  step(failed, 2, "Ошибка: " + text);
  lines.push_back("result: status=2 error=" + std::to_string(code) + " text=" + text);
  return lines;
}

const std::string kLoadError = "Ошибка загрузки. Попробуйте позже.";

class SendFailure : public ::testing::Test {
 protected:
  std::string Profile() const { return dir.File("profile"); }
  // pxsend on the profile with the gate imported and `more` arguments
  // before the phone and the text.
  ToolRun Send(const std::vector<std::string>& more, const std::string& input = "") {
    std::vector<std::string> args = {"--profile", Profile(), "--import", dir.Write("gate.xml", gate.Xml())};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {"79161234567", "Привет"});
    return RunPxsend(args, input);
  }
  // A file of data/sendfailure with the site's address put in.
  std::string DataFile(const std::string& name) const {
    return dir.Write(name, SiteGateFile(std::string(PX_GATES_TEST_DATA) + "/sendfailure/" + name, site));
  }
  // A gate without captcha or delivery check that sends to `postUrl`.
  void PlainGate(const std::string& postUrl) {
    gate.SetInfo("Captcha", "0");
    gate.SetInfo("SupportCheckDelivery", "0");
    gate.Set("posturl", postUrl);
    gate.Remove("Done");
  }

  TempDir dir;
  FakeSite site;
  FakeGateSpec gate = FakeGate(site);
};

TEST_F(SendFailure, ARefusedPortIsAConnectionErrorWithTheSocketsNumberAndText) {
  gate.Set("PageURL", "http://127.0.0.1:" + std::to_string(FreePort()) + "/form");
  ToolRun run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {}, 0, 10, "10061: Connection refused")) << run.err;
  EXPECT_TRUE(site.Requests().empty());
}

TEST_F(SendFailure, PagesTheSiteDoesNotServeAreLoadErrorsWithoutText) {
  // The form page, the captcha and the form's target, each missing in turn.
  gate.Set("PageURL", site.URL("/nowhere"));
  EXPECT_EQ(Send({}).Lines(), FailureLines("FakeOperator", {}, 0, 20, kLoadError));
  gate = FakeGate(site);
  gate.Set("ImageURL", site.URL("/gone.png"));
  EXPECT_EQ(Send({}).Lines(), FailureLines("FakeOperator", {0}, 1, 20, kLoadError));
  gate = FakeGate(site);
  gate.Set("posturl", site.URL("/missing"));
  ToolRun run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {0, 1}, 2, 20, kLoadError));
}

TEST_F(SendFailure, AServerErrorPageFailsTheSendEvenWhenItsTextLooksLikeSuccess) {
  RawServer broken(Replying([](const std::string&) {
    return Answer("500 Internal Server Error", "Content-Type: text/html\r\n", "<html>принято</html>");
  }));
  PlainGate(broken.URL("/send"));
  ToolRun run = Send({});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {0}, 2, 20, kLoadError));
  EXPECT_EQ(broken.Requests().size(), 1u);
}

TEST_F(SendFailure, AnAnswerCutShortByAResetIsJudgedOnWhatArrived) {
  // The peer resets after part of the announced body: the part is the page.
  RawServer cut([](RawServer& server, RawConnection& connection) {
    if (server.Read(connection).empty()) return;
    connection.Send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 4000\r\n\r\n" +
                    cp1251::FromUtf8("<html>Сообщение принято. Номер: <b>91</b>"));
    connection.Reset();
  });
  PlainGate(cut.URL("/send"));
  ToolRun run = Send({});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty());
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=");
  // A reset before any status line leaves nothing to accept.
  RawServer mute([](RawServer& server, RawConnection& connection) {
    if (server.Read(connection).empty()) return;
    connection.Send("HTTP/1.1 20");
    connection.Reset();
  });
  PlainGate(mute.URL("/send"));
  EXPECT_EQ(Send({}).Lines(), FailureLines("FakeOperator", {0}, 2, 20, kLoadError));
}

TEST_F(SendFailure, AScriptErrorInAUnitIsCode30WithThePlainMessageAndItsOffset) {
  const std::string file = DataFile("unit_error.xml");
  std::ifstream in(file, std::ios::binary);
  const std::string xml(std::istreambuf_iterator<char>(in), {});
  const size_t script = xml.find("unit GateBody;");
  // The interpreter points just past the name it does not know.
  const size_t offset = xml.find("Recipient;") + std::string("Recipient").size() - script;
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", file, "79161234567", "x"});
  EXPECT_EQ(run.exitCode, 1);
  const std::string text = "Ошибка парсинга  (Undeclared Identifier 'Recipient'): " + std::to_string(offset);
  EXPECT_EQ(run.Lines(), FailureLines("ЮнитШлюз", {0}, 2, 30, text)) << run.err;
  // Nothing was posted: the body never came together.
  EXPECT_EQ(site.Lines(), std::vector<std::string>{"GET /form"});
}

TEST_F(SendFailure, AScriptErrorBeforeAnyRequestStopsTheStepItIsIn) {
  gate.Set("SendInit", "eval(1 div 0)");
  ToolRun run = Send({});
  ASSERT_EQ(run.Lines().size(), 4u) << run.out << run.err;
  EXPECT_EQ(run.Lines()[2].rfind("step 0 phase 2: Ошибка: Ошибка парсинга  (", 0), 0u) << run.Lines()[2];
  EXPECT_EQ(run.Lines()[3].rfind("result: status=2 error=30 text=Ошибка парсинга  (", 0), 0u) << run.Lines()[3];
  EXPECT_TRUE(site.Requests().empty());
}

TEST_F(SendFailure, AScriptErrorWhileTheCaptchaIsCutOrAtTheLogout) {
  // The picture the broken script leaves is never shown.
  gate.Set("proccessimage", "eval(Img.NoSuchOperation)");
  ToolRun run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(run.Lines().size(), 6u) << run.out << run.err;
  EXPECT_EQ(run.Lines()[4].rfind("step 1 phase 2: Ошибка: Ошибка парсинга  (", 0), 0u) << run.Lines()[4];
  EXPECT_EQ(run.Lines()[5].rfind("result: status=2 error=30 text=", 0), 0u) << run.Lines()[5];
  EXPECT_FALSE(std::filesystem::exists(Profile() + "/captcha.png"));
  // A completion step that fails makes the whole send a failure, though
  // the message went out and was delivered.
  gate = FakeGate(site);
  gate.Set("SendDone", "eval(Logout)");
  run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(run.Lines().size(), 12u) << run.out << run.err;
  EXPECT_EQ(run.Lines()[10], "step 4 phase 2: Ошибка: Ошибка парсинга  (Undeclared Identifier 'Logout'): 6");
  EXPECT_EQ(run.Lines()[11], "result: status=2 error=30 text=Ошибка парсинга  (Undeclared Identifier 'Logout'): 6");
}

TEST_F(SendFailure, TheDeliveryCheckReportsTheSitesTextOrGivesUp) {
  gate.Set("cd_success", "eval(iff(Html.ExistsStr('queued'), 'wait', 'false'))");
  gate.Set("cd_error", "<p>Абонент <b>недоступен</b></p>");
  site.QueuedAnswers = 0;
  ToolRun run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {0, 1, 2}, 3, 20, "Абонент недоступен"));
  // Still "queued" after the last check allowed.
  gate = FakeGate(site);
  gate.Set("cd_maxcheckdelivery", "2");
  site.QueuedAnswers = 100;
  run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {0, 1, 2}, 3, 50,
                                      "Превышен интервал ожидания подтверждения доставки"));
  // No completion step after a failure.
  for (const std::string& line : site.Lines()) EXPECT_NE(line, "GET /logout");
}

TEST_F(SendFailure, TheCaptchaCodeLineOnStandardInput) {
  // No line at all: the person went away, the send is cancelled.
  ToolRun gone = Send({}, "");
  EXPECT_EQ(gone.exitCode, 1);
  ASSERT_FALSE(gone.Lines().empty()) << gone.err;
  EXPECT_EQ(gone.Lines().back(), "result: status=4 error=0 text=");
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /form", "GET /captcha.png"}));
  // A line break after the code (also CR LF) is not part of it.
  ToolRun typed = Send({}, std::string(FakeSite::kCode) + "\r\n");
  EXPECT_EQ(typed.exitCode, 0) << typed.out << typed.err;
  // An empty line is an empty code, which the site refuses.
  ToolRun empty = Send({}, "\n");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.Lines(), FailureLines("FakeOperator", {0, 1}, 2, 20, "Неверно введен код"));
}

TEST_F(SendFailure, APageWhereTheCaptchaShouldBeEndsTheSendAsAFailure) {
  site.CaptchaAsHtml = true;
  ToolRun run = Send({"--code", FakeSite::kCode});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.Lines(), (std::vector<std::string>{"gate: FakeOperator", "step 0 phase 0: Инициализация",
                                                   "step 0 phase 1: Инициализация",
                                                   "step 1 phase 0: Загрузка картинки с кодом",
                                                   "step 1 phase 1: Ожидание ввода кода",
                                                   "result: status=2 error=20 text=Ошибка загрузки изображения"}));
  EXPECT_FALSE(std::filesystem::exists(Profile() + "/captcha.png"));
  for (const std::string& line : site.Lines()) EXPECT_NE(line.rfind("POST", 0), 0u) << line;
}

TEST_F(SendFailure, ImportsThatFailStopBeforeAnyRequest) {
  ToolRun missing = RunPxsend({"--profile", Profile(), "--import", dir.File("none.xml"), "79161234567", "x"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.out.empty()) << missing.out;
  EXPECT_NE(missing.err.find("none.xml"), std::string::npos) << missing.err;
  ToolRun broken =
      RunPxsend({"--profile", Profile(), "--import", dir.Write("bad.xml", "<gate><name>X</name>"), "79161234567", "x"});
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_TRUE(broken.out.empty()) << broken.out;
  ToolRun gz = RunPxsend({"--profile", Profile(), "--package", dir.Write("p.xml.gz", "not gzip"), "79161234567", "x"});
  EXPECT_EQ(gz.exitCode, 1);
  EXPECT_TRUE(gz.out.empty()) << gz.out;
  EXPECT_TRUE(site.Requests().empty());
}

TEST_F(SendFailure, APackageWhoseSecondGateFailsKeepsTheFirst) {
  ToolRun run = RunPxsend({"--profile", Profile(), "--package", DataFile("broken_package.xml"), "79161234567", "x"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.out.empty()) << run.out;
  EXPECT_NE(run.err.find("PackSecond"), std::string::npos) << run.err;
  EXPECT_TRUE(site.Requests().empty());
  // The first gate went in and sends; the two after it never did.
  ToolRun first = RunPxsend({"--profile", Profile(), "79161234567", "x"});
  EXPECT_EQ(first.exitCode, 0) << first.out << first.err;
  ASSERT_FALSE(first.Lines().empty());
  EXPECT_EQ(first.Lines().front(), "gate: PackFirst");
  EXPECT_EQ(first.Lines().back(), "result: status=0 error=0 text=");
  for (const char* name : {"PackSecond", "PackThird"}) {
    ToolRun other = RunPxsend({"--profile", Profile(), "--gate", name, "79161234567", "x"});
    EXPECT_EQ(other.exitCode, 1);
    ASSERT_FALSE(other.Lines().empty());
    EXPECT_EQ(other.Lines().back().rfind("result: status=4 error=0 text=Невозможно отправить сообщение", 0), 0u);
  }
}

TEST_F(SendFailure, AFailedSendIsLoggedRequestByRequest) {
  gate.Set("posturl", site.URL("/missing"));
  ToolRun run = Send({"--code", FakeSite::kCode, "--set", "Send\\LogSend=TRUE"});
  EXPECT_EQ(run.exitCode, 1);
  const std::string log = Profile() + "/Log/HTTP/";
  for (const char* file : {"info.txt", "01_GET_s_1h.txt", "02_GET_r_1h.txt", "02_GET_r_2c.htm", "03_GET_s_1h.txt",
                           "04_GET_r_1h.txt", "04_GET_r_2c.png", "05_POST_s_1h.txt", "05_POST_s_2c.txt",
                           "06_POST_r_1h.txt"})
    EXPECT_TRUE(std::filesystem::exists(log + file)) << file;
  EXPECT_FALSE(std::filesystem::exists(log + "07_GET_s_1h.txt"));
  std::ifstream in(log + "05_POST_s_1h.txt", std::ios::binary);
  const std::string post(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(post.rfind("POST " + site.URL("/missing") + " HTTP 1.1\r\n", 0), 0u) << post;
  // A refused connection leaves a request and an empty answer.
  gate.Set("PageURL", "http://127.0.0.1:" + std::to_string(FreePort()) + "/form");
  Send({"--set", "Send\\LogSend=TRUE"});
  EXPECT_TRUE(std::filesystem::exists(log + "01_GET_s_1h.txt"));
  EXPECT_TRUE(std::filesystem::exists(log + "02_GET_r_1h.txt"));
  EXPECT_FALSE(std::filesystem::exists(log + "03_GET_s_1h.txt")) << "the folder holds the last send only";
}

// A real proxy on a free port that asks for user "user" and password
// "secret", chosen through the options pxsend sets.
class ProxiedSend : public SendFailure {
 protected:
  std::vector<std::string> Proxy(const std::string& mode, const std::string& password) const {
    return {"--set", "Network\\Proxy=" + mode, "--set", "Network\\ProxyHost=127.0.0.1",
            "--set", "Network\\ProxyPort=" + std::to_string(port_), "--set", "Network\\ProxyAuth=TRUE",
            "--set", "Network\\ProxyName=user", "--set", "Network\\ProxyPass=" + password,
            "--code", FakeSite::kCode};
  }
  void Launch(const std::vector<std::string>& argv) {
    proxy_ = std::make_unique<ChildProcess>(argv, port_);
    ASSERT_TRUE(proxy_->Running()) << argv[0] << " did not start (make deps installs it)";
  }

  int port_ = FreePort();
  std::unique_ptr<ChildProcess> proxy_;
};

TEST_F(ProxiedSend, ThroughTinyproxyAndRefusedByIt) {
  Launch(TinyproxyCommand(dir.File("tinyproxy.conf"), port_));
  ToolRun run = Send(Proxy("HTTP", "secret"));
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.Lines(), DeliveredSendLines("FakeOperator"));
  ASSERT_FALSE(site.Requests().empty());
  EXPECT_NE(site.Requests().front().find("tinyproxy"), std::string::npos) << site.Requests().front();
  const size_t reached = site.Requests().size();
  // A wrong password: the proxy answers for the site, which never hears of it.
  run = Send(Proxy("http", "wrong"));
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {}, 0, 20, kLoadError));
  EXPECT_EQ(site.Requests().size(), reached);
}

TEST_F(ProxiedSend, ThroughMicrosocksAndRefusedByIt) {
  Launch({"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port_), "-u", "user", "-P", "secret"});
  ToolRun run = Send(Proxy("SOCKS5", "secret"));
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.Lines(), DeliveredSendLines("FakeOperator"));
  const size_t reached = site.Requests().size();
  std::vector<std::string> logged = Proxy("socks5", "wrong");
  logged.insert(logged.end(), {"--set", "Send\\LogSend=TRUE"});
  run = Send(logged);
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {}, 0, 10, "10013: Proxy authentication failed"));
  EXPECT_EQ(site.Requests().size(), reached);
  // The send log tells which proxy was used.
  std::ifstream in(Profile() + "/Log/HTTP/info.txt", std::ios::binary);
  const std::string info(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(info.find("\r\nProxyMethod: socks5\r\nProxyHost: 127.0.0.1\r\nProxyPort: " + std::to_string(port_) +
                      "\r\nProxyUser: user\r\n"),
            std::string::npos)
      << info;
  EXPECT_EQ(info.find("wrong"), std::string::npos) << "the password stays out of a log that goes out with feedback";
  // This proxy speaks SOCKS5 only: asked for SOCKS4 it lets nothing through.
  run = Send(Proxy("SOCKS4", "secret"));
  EXPECT_EQ(run.Lines(), FailureLines("FakeOperator", {}, 0, 10, "10061: Connection refused"));
  EXPECT_EQ(site.Requests().size(), reached);
}

}  // namespace
