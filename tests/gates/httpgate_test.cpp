// The HTTP gate runner step by step, on the test's own thread: parameters,
// requests, success tests, script requests, the delivery-check waits and the
// step thread that runs a step.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "gates/childprocess.h"
#include "gates/sendsupport.h"
#include "options.h"
#include "scriptlimits.h"
#include "sendthread.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

class Runner : public SendTest {
 protected:
  // The gate as it stands, imported and loaded.
  std::unique_ptr<THTTPGate> Make() {
    EXPECT_TRUE(gate.Import());
    auto runner = TGate::Create<THTTPGate>(gate.name);
    runner->SetMessage(sms.get());
    return runner;
  }
  // A gate of nothing but the given parameters.
  std::unique_ptr<THTTPGate> MakeWith(std::vector<std::pair<std::string, std::string>> params) {
    gate.params = std::move(params);
    return Make();
  }

  std::unique_ptr<TSMS> sms = MakeSms();
};

TEST_F(Runner, ParametersAreTextScriptsOrNothing) {
  auto runner = MakeWith({{"plain", "abc"}, {"empty", ""}, {"sum", "EVAL(1+2)"}, {"nothing", "eval(Null)"},
                          {"broken", "eval(1+)"}});
  EXPECT_EQ(VarToStr(runner->GetParam("PLAIN")), "abc");
  EXPECT_TRUE(runner->GetParam("empty").IsEmpty());
  EXPECT_TRUE(runner->GetParam("missing").IsEmpty());
  EXPECT_EQ(runner->GetParam("sum").AsInteger(), 3);
  EXPECT_TRUE(runner->GetParam("nothing").IsEmpty());
  EXPECT_THROW(runner->GetParam("broken"), EEvalException);
  EXPECT_EQ(runner->ErrorCode, geScript);
  EXPECT_EQ(Utf(runner->ErrorText).rfind("Ошибка парсинга  (", 0), 0u) << Utf(runner->ErrorText);
  // Redirects are followed unless the gate says otherwise.
  EXPECT_EQ(VarToStr(runner->SendParams.GetItemNamed("HandleRedirects")), "1");
}

TEST_F(Runner, TheScriptObjectsAreBoundAndTheMessageFollowsTheGateType) {
  gate.type = "mms";
  auto runner = MakeWith({{"probe", "eval(MMS['Phone'] + '|' + GateInfo['MaxSymbols'] + '|' + VarToStr(Html.Text))"},
                          {"sms", "eval(SMS['Phone'])"}});
  EXPECT_EQ(VarToStr(runner->GetParam("probe")), "79161234567|160|");
  EXPECT_THROW(runner->GetParam("sms"), EEvalException);
}

TEST_F(Runner, AGateWithoutASuccessTestNeverSends) {
  gate.Remove("success");
  auto runner = Make();
  runner->Init();
  runner->SetCode(FakeSite::kCode);
  EXPECT_FALSE(runner->HTTPPost(pkSend));
  EXPECT_EQ(site.Lines().back(), "GET /result?id=77");  // the site took it
  EXPECT_EQ(runner->ErrorCode, geLoad);
  EXPECT_EQ(Utf(runner->GetErrorText()), "Ошибка загрузки. Попробуйте позже.");
}

TEST_F(Runner, AFailedSuccessTestShowsTheSitesErrorAsText) {
  auto runner = Make();
  runner->Init();
  runner->SetCode("1111");
  EXPECT_FALSE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->ErrorCode, geLoad);
  EXPECT_EQ(Utf(runner->GetErrorText()), "Неверно введен код");
}

TEST_F(Runner, WaitCountsAsSuccessOnlyOutsideTheDeliveryCheck) {
  gate.Set("success", "wait");
  gate.Set("cd_success", "WAIT");
  gate.Set("cd_posturl", site.URL("/upload"));
  auto runner = Make();
  runner->Init();
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->ErrorCode, geNone);
  EXPECT_FALSE(runner->HTTPPost(pkDeliveryCheck));
  EXPECT_EQ(runner->ErrorCode, geDeliveryWait);
}

TEST_F(Runner, APostDataTextIsSentExactlyWhateverTheBodyHolds) {
  gate.Set("postdata", "eval(begin PostData.Add('a', 'b'); Result := 'exact=1&x=%41'; end;)");
  auto runner = Make();
  runner->Init();
  runner->HTTPPost(pkSend);
  const std::string post = site.Requests().at(1);
  EXPECT_TRUE(post.ends_with("\r\n\r\nexact=1&x=%41")) << post;
}

TEST_F(Runner, ThePostBodyCharsetIsTheRawEncodingWhileAnswersUseTheEvaluatedOne) {
  RawServer server(Replying([](const std::string&) {
    return Answer("200 OK", "Content-Type: text/html; charset=utf-8\r\n", "<p>Привет</p>");
  }));
  auto runner = MakeWith({{"Encoding", "eval('UTF-8')"},
                          {"SendInit", "eval(HTTP.HTTPMethod('GET', '" + server.URL("/script") + "'))"},
                          {"posturl", server.URL("/post")},
                          {"postdata", "eval(begin PostData.Add('t', 'Ж'); Result := ''; end;)"},
                          {"success", "eval(Html.Text)"}});
  // The script's own request reads Encoding, a script, while SendInit runs.
  EXPECT_TRUE(runner->Init()) << Utf(runner->GetErrorText());
  EXPECT_EQ(Utf(runner->Html.Text), "<p>Привет</p>");
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_TRUE(server.Requests().at(1).ends_with("\r\n\r\nt=%C6")) << server.Requests().at(1);
  EXPECT_EQ(Utf(runner->Html.Text), "<p>Привет</p>");
}

TEST_F(Runner, AnEncodingScriptThatRequestsAgainEndsAsAScriptError) {
  RawServer server(Replying([](const std::string&) { return Answer("200 OK", "", "x"); }));
  const std::string request = "HTTP.HTTPMethod('GET', '" + server.URL("/") + "')";
  auto runner = MakeWith({{"Encoding", "eval(begin " + request + "; Result := 'UTF-8'; end;)"},
                          {"SendInit", "eval(" + request + ")"}});
  EXPECT_THROW(runner->Init(), EEvalException);
  EXPECT_EQ(runner->ErrorCode, geScript);
  EXPECT_NE(runner->ErrorText.find("Recursive evaluation of parameter 'Encoding'"), std::string::npos)
      << Utf(runner->ErrorText);
}

TEST_F(Runner, ProtocolAndUserAgentOfAScriptStayForTheGatesLaterRequests) {
  gate.Set("SendInit", "eval(begin HTTP.Protocol := '1.0'; HTTP.CustomUserAgent := 'Probe/2'; "
                       "HTTP.HTTPMethod('GET', '" + site.URL("/logout") + "'); end;)");
  auto runner = Make();
  EXPECT_TRUE(runner->Init());
  EXPECT_FALSE(runner->GetCaptcha().isNull());
  const auto requests = site.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[0].starts_with("GET /logout HTTP/1.1\r\n")) << "the protocol is taken over after SendInit";
  EXPECT_NE(requests[0].find("User-Agent: Probe/2\r\n"), std::string::npos);
  for (int i = 1; i < 3; ++i) {
    EXPECT_TRUE(requests[i].starts_with("GET /form HTTP/1.0\r\n") || requests[i].starts_with("GET /captcha.png HTTP/1.0\r\n"))
        << requests[i];
    EXPECT_NE(requests[i].find("User-Agent: Probe/2\r\n"), std::string::npos);
  }
}

TEST_F(Runner, AScriptRequestCarriesItsOptionsAndLeavesOnlyPageAndCookies) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET /loop")) return Answer("302 Found", "Location: /loop\r\n", "");
    return Answer("200 OK", "Set-Cookie: got=1\r\nX-Reply: yes\r\n", "page");
  }));
  gate.params = {{"SendInit",
                  "eval(begin Cookies['lang'] := 'ru'; HTTP.Headers['X-A'] := '1'; HTTP.Referer := 'http://r/'; "
                  "HTTP.CustomMime := 'text/plain'; PostData.Add('k', 'v'); "
                  "HTTP.HTTPMethod('post', '" + server.URL("/p") + "'); "
                  "Stored['after'] := VarToStr(HTTP.Headers.Count) + VarToStr(HTTP['X-Reply']) + PostData.Text; "
                  "HTTP.HandleRedirects := False; HTTP.DontLoadResult := True; "
                  "HTTP.HTTPMethod('GET', '" + server.URL("/loop") + "'); end;)"}};
  auto runner = Make();
  // No page of its own: the step ends with the code of the last request.
  EXPECT_FALSE(runner->Init());
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], "post /p HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                             "\r\nCookie: lang=ru\r\nUser-Agent: " + kBrowserUserAgent +
                             "\r\nContent-Type: text/plain\r\nContent-Length: 3\r\n" + kDefaults +
                             "X-A: 1\r\nReferer: http://r/\r\n\r\nk=v");
  EXPECT_TRUE(requests[1].starts_with("GET /loop HTTP/1.1\r\n"));
  EXPECT_NE(requests[1].find("Cookie: lang=ru; got=1\r\n"), std::string::npos) << requests[1];
  // After the first request: no headers, no answer entries, an empty body.
  EXPECT_EQ(VarToStr(runner->Stored.GetItemNamed("after")), "0");
  EXPECT_EQ(runner->HTTP.Count(), 0);
  EXPECT_EQ(runner->Html.Text, "page");  // the second answer was not loaded
  EXPECT_EQ(VarToStr(runner->Cookies.GetItemNamed("got")), "1");
  EXPECT_EQ(runner->ErrorCode, geLoad);  // the 302 the script did not follow
}

TEST_F(Runner, HandleRedirectsDecidesWhetherA302IsTestedOrFollowed) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("POST")) return Answer("302 Found", "Location: /done\r\n", "moved");
    return Answer("200 OK", "", "done");
  }));
  auto runner = MakeWith({{"HandleRedirects", "0"}, {"posturl", server.URL("/post")}, {"success", "eval(Html.Text)"}});
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->Html.Text, "moved");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(VarToStr(runner->HTTP.GetItemNamed("location")), "/done");

  runner = MakeWith({{"HandleRedirects", "1"}, {"posturl", server.URL("/post")}, {"success", "eval(Html.Text)"}});
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->Html.Text, "done");
  EXPECT_EQ(VarToStr(runner->HTTP.GetItemNamed("URL")), server.URL("/done"));
}

TEST_F(Runner, HandleRedirectsIsAskedAgainOnlyForAnAnswerOtherThan200) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("POST /moved")) return Answer("302 Found", "Location: /done\r\n", "");
    return Answer("200 OK", "", "page");
  }));
  // The parameter counts how often the runner reads it.
  auto runner = MakeWith({{"HandleRedirects", "eval(begin Stored['reads'] := Stored['reads'] + 1; Result := 0; end;)"},
                          {"posturl", server.URL("/page")},
                          {"success", "ok"}});
  auto reads = [&] { return runner->Stored.GetItemNamed("reads").AsInteger(); };
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(reads(), 1);
  gate.Set("posturl", server.URL("/moved"));
  runner = Make();
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(reads(), 2);
}

TEST_F(Runner, RequestFailuresCarryTheirCodes) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET /missing")) return Answer("404 Not Found", "", "");
    return Answer("500 Oops", "", "");
  }));
  auto runner = MakeWith({{"posturl", server.URL("/post")}, {"success", "1"}, {"multipart", "perhaps"}});
  EXPECT_FALSE(runner->HTTPGet(server.URL("/missing"), ""));
  EXPECT_EQ(runner->ErrorCode, geLoad);
  EXPECT_EQ(runner->ErrorText, "");
  // A flag that is no flag: nothing the runner expected.
  EXPECT_FALSE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->ErrorCode, geUnknown);
  runner = MakeWith({{"posturl", server.URL("/post")}, {"success", "1"}});
  EXPECT_FALSE(runner->HTTPPost(pkSend));
  EXPECT_EQ(runner->ErrorCode, geLoad);
  EXPECT_FALSE(runner->HTTPGet("http://127.0.0.1:" + std::to_string(FreePort()) + "/", ""));
  EXPECT_EQ(runner->ErrorCode, geConnection);
  EXPECT_EQ(runner->ErrorText.rfind("10061: ", 0), 0u) << runner->ErrorText;
}

TEST_F(Runner, StepZeroEmptiesStoredAndLoadsThePageWithTheScriptsReferer) {
  gate.Set("SendInit", "eval(begin HTTP.Referer := 'http://from/'; Result := Stored.Count; end;)");
  auto runner = Make();
  runner->Stored.SetItemNamed("old", Variant::Integer(1));
  EXPECT_TRUE(runner->Init());
  EXPECT_EQ(runner->Stored.Count(), 0);
  EXPECT_NE(Utf(runner->Html.Text).find("Отправка SMS"), std::string::npos);
  EXPECT_NE(site.Requests().at(0).find("Referer: http://from/\r\n"), std::string::npos);
  EXPECT_EQ(VarToStr(runner->Cookies.GetItemNamed("sid")), "S123");
}

TEST_F(Runner, TheCaptchaScriptComposesTheShownPicture) {
  gate.Set("ImageDescription", "eval('Цифры с картинки')");
  gate.Set("proccessimage", "eval(begin Img.SetSize(60, 40); Img.CopyRect(0, 0, Rect(60, 0, 120, 40)); end;)");
  gate.Set("late", "eval(Img.Source)");
  auto runner = Make();
  runner->Init();
  QImage picture = runner->GetCaptcha();
  EXPECT_EQ(runner->ErrorCode, geNone);
  EXPECT_EQ(Utf(runner->CaptchaDescription), "Цифры с картинки");
  EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), site.Captcha().copy(60, 0, 60, 40));
  // The workbench is gone with the step.
  EXPECT_THROW(runner->GetParam("late"), EEvalException);
}

TEST_F(Runner, CaptchaFailuresGiveNoPicture) {
  site.CaptchaAsHtml = true;
  auto runner = Make();
  runner->Init();
  EXPECT_TRUE(runner->GetCaptcha().isNull());
  EXPECT_EQ(runner->ErrorCode, geNone);
  gate.Set("ImageURL", "eval(NoSuchThing)");
  runner = Make();
  EXPECT_TRUE(runner->GetCaptcha().isNull());
  EXPECT_EQ(runner->ErrorCode, geScript);
}

TEST_F(Runner, ThreeWaitsEndInATimeoutAfterGrowingPauses) {
  site.QueuedAnswers = 100;
  gate.Set("cd_maxcheckdelivery", "3");
  auto runner = Make();
  runner->Stored.SetItemNamed("id", Variant::String("77"));
  const auto start = Clock::now();
  EXPECT_FALSE(runner->CheckDelivery());
  EXPECT_EQ(runner->ErrorCode, geDeliveryTimeout);
  const auto hits = site.Hits();
  ASSERT_EQ(hits.size(), 3u);
  const int64_t gaps[] = {std::chrono::duration_cast<milliseconds>(hits[0].at - start).count(),
                          std::chrono::duration_cast<milliseconds>(hits[1].at - hits[0].at).count(),
                          std::chrono::duration_cast<milliseconds>(hits[2].at - hits[1].at).count()};
  const int64_t expected[] = {100, 150, 200};
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(gaps[i], expected[i]);
    EXPECT_LT(gaps[i], expected[i] + 150);
  }
  EXPECT_TRUE(site.Requests()[0].starts_with("GET /status?id=77 HTTP/1.1"));
}

TEST_F(Runner, BrokenDelaysMeanTheOptionAndAZeroWaitStillSeesTheCancel) {
  Options->WriteInteger("Send\\CheckDeliveryDelay", 0);
  Options->WriteInteger("Send\\CheckDeliveryDelta", -20);
  gate.Set("cd_delay", "-500");
  gate.Set("cd_delta", "soon");
  gate.Set("cd_maxcheckdelivery", "x");  // the option: 20 checks
  site.QueuedAnswers = 100;
  auto runner = Make();
  const auto start = Clock::now();
  EXPECT_FALSE(runner->CheckDelivery());
  EXPECT_LT(MsSince(start), 2000);
  EXPECT_EQ(site.Hits().size(), 20u);
  EXPECT_TRUE(runner->WaitFor(0));
  runner->Cancel();
  EXPECT_FALSE(runner->WaitFor(0));
  EXPECT_FALSE(runner->WaitFor(-1));
  // Cancelled before the first check: none is made.
  runner->SetError(geNone);
  EXPECT_TRUE(runner->CheckDelivery());
  EXPECT_EQ(site.Hits().size(), 20u);
}

TEST_F(Runner, ACancelEndsADeliveryWaitWithinASlice) {
  gate.Set("cd_delay", "5000");
  auto runner = Make();
  Clock::time_point cancelled;
  std::thread canceller([&] {
    std::this_thread::sleep_for(milliseconds(150));
    cancelled = Clock::now();
    runner->Cancel();
  });
  runner->CheckDelivery();
  const int64_t late = MsSince(cancelled);
  canceller.join();
  EXPECT_LE(late, 150);
  EXPECT_TRUE(site.Hits().empty());
}

TEST_F(Runner, TheCompletionStepRunsSendDone) {
  auto runner = Make();
  runner->Done();
  EXPECT_EQ(site.Lines(), std::vector<std::string>{"GET /logout"});
}

// A sender whose steps fail the way no request catches.
class TThrowingSender : public TGateSender {
 public:
  using TGateSender::TGateSender;
  bool Init() override { throw std::runtime_error("boom"); }
  bool Send() override {
    SetError(geScript, "script");
    throw std::runtime_error("after the script error");
  }
  QImage GetCaptcha() override { return QImage(3, 2, QImage::Format_RGB32); }
};

TEST(SendThread, AStepNeverEndsTheProgramAndNeverPassesForSuccess) {
  TempDir dir;
  OpenDatabases(dir.File("a.db3"), dir.File("g.db3"));
  auto sender = TGate::Create<TThrowingSender>("x");
  QImage picture;
  TSendThread::RunStep(*sender, stInit, picture);
  EXPECT_EQ(sender->ErrorCode, geUnknown);
  sender->SetError(geNone);
  TSendThread::RunStep(*sender, stSend, picture);
  EXPECT_EQ(sender->ErrorCode, geScript);

  // On a thread of its own, with the picture handed over in the signal.
  TSendThread thread(sender.get(), stCaptcha);
  QImage handed;
  int step = -1;
  QObject::connect(&thread, &TSendThread::StepDone, [&](int s, const QImage& p) {
    step = s;
    handed = p;
  });
  thread.start();
  thread.wait();
  EXPECT_EQ(step, stCaptcha);
  EXPECT_EQ(handed.size(), QSize(3, 2));
  EXPECT_EQ(thread.stackSize(), kScriptThreadStackSize);
  CloseDatabases();
}

}  // namespace
