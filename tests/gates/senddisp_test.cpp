// Whole sends through the dispatcher, its step threads, the HTTP runner and
// the send log, against the fake operator site, driven without a window.
#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files.h"
#include "gatefactory.h"
#include "gatelimits.h"
#include "gates/childprocess.h"
#include "gates/sendsupport.h"
#include "gates/ziptools.h"
#include "httplogger.h"
#include "httpsend.h"
#include "options.h"
#include "scopeexit.h"

namespace {

using std::chrono::milliseconds;

const std::string kUserAgent = "User-Agent: " + std::string(kBrowserUserAgent) + "\r\n";
const std::string kSentText = "Привет, мир";
const std::string kSentBody = "token=T42&phone=9161234567&text=%CF%F0%E8%E2%E5%F2%2C%20%EC%E8%F0&code=7391";

const std::vector<std::string> kFullReports = {
    "0/0: Инициализация",
    "0/1: Инициализация",
    "1/0: Загрузка картинки с кодом",
    "1/1: Ожидание ввода кода",
    "2/0: Отправка сообщения",
    "2/1: Отправка сообщения",
    "3/0: Проверка статуса доставки",
    "3/1: Проверка статуса доставки",
    "4/0: Завершение",
    "4/1: Сообщение отправлено и доставлено",
};

class DispatcherSend : public SendTest {
 protected:
  std::string Host() const { return "Host: 127.0.0.1:" + std::to_string(site.Port()) + "\r\n"; }
  std::string Get(const std::string& target, const std::string& extra, bool cookie = true) const {
    return "GET " + target + " HTTP/1.1\r\n" + Host() + (cookie ? "Cookie: sid=S123\r\n" : "") + kUserAgent +
           kDefaults + extra + "\r\n";
  }
  int64_t Ms(std::chrono::steady_clock::duration d) const {
    return std::chrono::duration_cast<milliseconds>(d).count();
  }
  // A site that never confirms delivery, asked every `delay` ms.
  void PollForever(const std::string& delay) {
    site.QueuedAnswers = 1000;
    gate.Set("cd_delay", delay);
    gate.Set("cd_maxcheckdelivery", "100");
    Import();
  }
  static void AnswerCaptcha(THeadlessSendView& view) {
    view.OnCaptcha = [](THeadlessSendView& v, const QImage&) { v.SendCode(FakeSite::kCode); };
  }
  // How often the site was asked for "METHOD target".
  int64_t Count(const std::string& line) const {
    const std::vector<std::string> lines = site.Lines();
    return std::count(lines.begin(), lines.end(), line);
  }
  std::vector<std::string> LogFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ProfileDir + "Log/HTTP"))
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(DispatcherSend, AWholeSendGoesOutByteForByteAndIsDeliveredOnTheThirdCheck) {
  site.QueuedAnswers = 2;
  gate.Set("cd_delay", "200");
  gate.Set("cd_delta", "100");
  Import();
  Options->WriteBool("Send\\LogSend", true);
  auto sms = MakeSms();
  std::vector<std::string> zipNames;
  SendOutcome out = RunWithCode(*sms);

  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.gateName, "FakeOperator");
  EXPECT_EQ(out.message, sms.get());
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(out.errorCode, 0);
  EXPECT_EQ(out.errorText, "");
  EXPECT_EQ(out.reports, kFullReports);
  EXPECT_EQ(out.bars, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

  // The requests as they reached the site.
  const auto requests = site.Requests();
  ASSERT_EQ(requests.size(), 8u) << ::testing::PrintToString(site.Lines());
  EXPECT_EQ(requests[0], Get("/form", "", false));
  EXPECT_EQ(requests[1], Get("/captcha.png", "Referer: " + site.URL("/form") + "\r\n"));
  EXPECT_EQ(requests[2], "POST /send HTTP/1.1\r\n" + Host() + "Cookie: sid=S123\r\n" + kUserAgent +
                             "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                             std::to_string(kSentBody.size()) + "\r\n" + kDefaults + "Referer: " + site.URL("/form") +
                             "\r\n\r\n" + kSentBody);
  // The redirect carries the default headers only.
  EXPECT_EQ(requests[3], Get("/result?id=77", ""));
  for (int i = 4; i < 7; ++i) EXPECT_EQ(requests[i], Get("/status?id=77", "Referer: " + site.URL("/send") + "\r\n"));
  EXPECT_EQ(requests[7], Get("/logout", "Referer:\r\n"));

  // The checks waited d, d + delta and d + 2 delta (200, 300, 400 ms).
  const auto hits = site.Hits();
  const int64_t waits[] = {Ms(hits[4].at - hits[3].at), Ms(hits[5].at - hits[4].at), Ms(hits[6].at - hits[5].at)};
  const int64_t expected[] = {200, 300, 400};
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(waits[i], expected[i]) << "check " << i;
    EXPECT_LT(waits[i], expected[i] + 150) << "check " << i;
  }

  // What the dispatcher added to the message.
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::PhoneFormat)), "1.3.7");
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::Phone_Format)), "1.3.7");
  EXPECT_EQ(sms->GetItemNamed(MsgKey::Phone_Tag).AsInteger(), 5);
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::Phone_Country)), "7");
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::Phone_DEF)), "916");
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::Phone_Number)), "1234567");
  // Cyrillic text: the Unicode limit, and what is left of it.
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::MaxSymbols)), "70");
  EXPECT_EQ(sms->GetItemNamed(MsgKey::LeaveSymbols).AsInteger(), 70 - static_cast<int>(Cp(kSentText).size()));
  EXPECT_EQ(VarToStr(sms->GetItemNamed(MsgKey::Code)), "7391");

  // The send log: a header and two files per request and answer, numbered
  // in order, with the bodies; and its archive.
  const std::vector<std::string> expectedFiles = {
      "01_GET_s_1h.txt",  "02_GET_r_1h.txt",  "02_GET_r_2c.htm",  "03_GET_s_1h.txt",  "04_GET_r_1h.txt",
      "04_GET_r_2c.png",  "05_POST_s_1h.txt", "05_POST_s_2c.txt", "06_POST_r_1h.txt", "07_GET_s_1h.txt",
      "08_GET_r_1h.txt",  "08_GET_r_2c.htm",  "09_GET_s_1h.txt",  "10_GET_r_1h.txt",  "10_GET_r_2c.htm",
      "11_GET_s_1h.txt",  "12_GET_r_1h.txt",  "12_GET_r_2c.htm",  "13_GET_s_1h.txt",  "14_GET_r_1h.txt",
      "14_GET_r_2c.htm",  "15_GET_s_1h.txt",  "16_GET_r_1h.txt",  "16_GET_r_2c.htm",  "info.txt"};
  EXPECT_EQ(LogFiles(), expectedFiles);
  std::ifstream body(ProfileDir + "Log/HTTP/05_POST_s_2c.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(body), {}), kSentBody);
  std::ifstream info(ProfileDir + "Log/HTTP/info.txt", std::ios::binary);
  std::string infoText(std::istreambuf_iterator<char>(info), {});
  EXPECT_NE(infoText.find("Gate: FakeOperator v.3\r\n"), std::string::npos) << infoText;

  auto logger = TSendLogger::Create<THTTPLogger>("FakeOperator v.3");
  std::string zip;
  ASSERT_TRUE(logger->SaveToZip(zip));
  for (const ZipCentralEntry& entry : ZipEntries(zip)) zipNames.push_back(entry.name);
  EXPECT_EQ(zipNames, expectedFiles);
}

TEST_F(DispatcherSend, AWrongCodeShowsTheSitesErrorAndARetrySucceeds) {
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  view.CloseWhenDone = false;
  int captchas = 0;
  view.OnCaptcha = [&](THeadlessSendView& v, const QImage& picture) {
    EXPECT_EQ(picture.convertToFormat(QImage::Format_RGB32), site.Captcha());
    v.SendCode(++captchas == 1 ? "0000" : FakeSite::kCode);
  };
  view.OnProgress = [&](THeadlessSendView& v, int step, int phase, const std::string&) {
    if (phase == spFailed) v.Post([&v] { v.Retry(); });
    if (step == stDone && phase == spFinished) v.Post([&v] { v.Close(); });
  };
  SendOutcome out = Run(*sms, view);
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(captchas, 2);
  ASSERT_GE(out.reports.size(), 6u);
  EXPECT_EQ(out.reports[5], "2/2: Ошибка: Неверно введен код");
  EXPECT_EQ(out.reports[6], "0/0: Инициализация");
  EXPECT_EQ(out.bars[5], 6);
  EXPECT_EQ(out.bars[6], 1);
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /form", "GET /captcha.png", "POST /send", "GET /form",
                                                    "GET /captcha.png", "POST /send", "GET /result?id=77",
                                                    "GET /status?id=77",
                                                    "GET /logout"}));
}

TEST_F(DispatcherSend, AReloadedCaptchaStartsAgainAtTheForm) {
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  int captchas = 0;
  view.OnCaptcha = [&](THeadlessSendView& v, const QImage&) {
    if (++captchas == 1)
      v.ReloadCaptcha();
    else
      v.SendCode(FakeSite::kCode);
  };
  SendOutcome out = Run(*sms, view);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(captchas, 2);
  std::vector<std::string> lines = site.Lines();
  lines.resize(5);
  EXPECT_EQ(lines, (std::vector<std::string>{"GET /form", "GET /captcha.png", "GET /form", "GET /captcha.png",
                                             "POST /send"}));
}

TEST_F(DispatcherSend, ACancelWhileTheCodeIsAskedForClosesAtOnceAsCancelled) {
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  view.OnCaptcha = [](THeadlessSendView& v, const QImage&) { v.Cancel(); };
  SendOutcome out = Run(*sms, view);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssCancelled);
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /form", "GET /captcha.png"}));
}

TEST_F(DispatcherSend, ACancelWhilePollingEndsWithinASliceAndBooksTheMessageAsSent) {
  PollForever("1000");
  auto sms = MakeSms();
  THeadlessSendView view;
  AnswerCaptcha(view);
  std::chrono::steady_clock::time_point cancelled;
  view.OnProgress = [&](THeadlessSendView& v, int step, int phase, const std::string&) {
    if (step == stCheckDelivery && phase == spStarted)
      QTimer::singleShot(250, [&v, &cancelled] {
        cancelled = std::chrono::steady_clock::now();
        v.Cancel();
      });
  };
  SendOutcome out = Run(*sms, view);
  const auto ended = std::chrono::steady_clock::now();
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.status, ssCancelledInCheck);
  EXPECT_LT(Ms(ended - cancelled), 250);
  // Cancelled before the first check was due: the site saw no check.
  EXPECT_EQ(Count("GET /status?id=77"), 0);
  EXPECT_EQ(out.reports.back(), "3/0: Проверка статуса доставки");
}

TEST_F(DispatcherSend, ARefusedPortIsAConnectionErrorAndCloseStillReturnsTrue) {
  const int closed = FreePort();
  gate.Set("PageURL", "http://127.0.0.1:" + std::to_string(closed) + "/form");
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_TRUE(out.result);  // the error view's Close is an OK close
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(out.errorCode, geConnection);
  EXPECT_EQ(out.errorText.rfind("10061: ", 0), 0u) << out.errorText;
  ASSERT_EQ(out.reports.size(), 2u);
  EXPECT_EQ(out.reports[1], "0/2: Ошибка: " + out.errorText);
  EXPECT_EQ(out.bars[1], 2);
}

TEST_F(DispatcherSend, ARedirectLoopEndsAfterTenRedirectsAsALoadError) {
  site.RedirectLoop = true;
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(out.errorCode, geLoad);
  EXPECT_EQ(out.errorText, "Ошибка загрузки. Попробуйте позже.");
  EXPECT_EQ(Count("GET /loop"), 10);
}

TEST_F(DispatcherSend, AResetAfterTheAnswerStillCountsAsSent) {
  site.ResetAfterAnswer = true;
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_EQ(out.status, ssDelivered) << out.errorText;
}

TEST_F(DispatcherSend, HtmlWhereTheCaptchaShouldBeIsAFailedPictureNotASend) {
  site.CaptchaAsHtml = true;
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  view.OnCaptcha = [](THeadlessSendView& v, const QImage& picture) {
    EXPECT_TRUE(picture.isNull());
    EXPECT_EQ(Utf(v.State().Operation), "Ошибка загрузки изображения");
    EXPECT_TRUE(v.State().OperationIsError && v.State().Retry && v.State().Close && !v.State().Cancel);
    v.Close();
  };
  SendOutcome out = Run(*sms, view);
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(out.errorCode, geLoad);
  EXPECT_EQ(out.errorText, "Ошибка загрузки изображения");
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /form", "GET /captcha.png"}));
}

TEST_F(DispatcherSend, AScriptErrorIsCode30WithTheScriptsMessage) {
  gate.Set("postdata", "eval(begin Result := NoSuchThing; end;)");
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(out.errorCode, geScript);
  EXPECT_EQ(out.errorText.rfind("Ошибка парсинга  (", 0), 0u) << out.errorText;
  EXPECT_EQ(out.reports.back(), "2/2: Ошибка: " + out.errorText);
  EXPECT_EQ(Count("POST /send"), 0);
}

TEST_F(DispatcherSend, ARunawayScriptIsStoppedByACancel) {
  gate.Set("SendInit", "eval(begin while True do Stored['n'] := 1; end;)");
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  std::chrono::steady_clock::time_point cancelled;
  QTimer::singleShot(200, [&] {
    cancelled = std::chrono::steady_clock::now();
    view.Cancel();
  });
  SendOutcome out = Run(*sms, view);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.status, ssCancelled);
  EXPECT_EQ(out.errorCode, geScript);
  EXPECT_NE(out.errorText.find("User break"), std::string::npos) << out.errorText;
  const int64_t took = Ms(std::chrono::steady_clock::now() - cancelled);
  EXPECT_GE(took, kScriptCancelGraceMs - 20);
  EXPECT_LT(took, kScriptCancelGraceMs + 1000);
}

TEST_F(DispatcherSend, AnMmsUploadsItsAttachmentAsMultipartFirst) {
  gate = FakeGate(site, "MMS");
  Import();
  auto mms = std::make_unique<TMMS>();
  mms->SetItemNamed(MsgKey::MessageType, Variant::String("MMS"));
  mms->SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  mms->SetItemNamed(MsgKey::Text, Variant::String("hello"));
  auto content = std::make_shared<TMMSContentData>();
  content->SetItemNamed(ContentKey::FileName, Variant::String(Cp("фото.gif")));
  content->SetItemNamed(ContentKey::ContentType, Variant::String("image/gif"));
  content->SetItemNamed(ContentKey::Type, Variant::Integer(mtImage));
  auto stream = std::make_shared<TMemoryStream>();
  const std::string bytes("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14);
  stream->Write(bytes);
  content->SetStream(stream);
  mms->SetMultiMedia(content);
  SendOutcome out = RunWithCode(*mms);
  EXPECT_EQ(out.status, ssDelivered) << out.errorText;
  // No subject given: the dispatcher's.
  EXPECT_EQ(Utf(VarToStr(mms->GetItemNamed(MsgKey::Subject))), "Без темы");

  std::string upload;
  for (const std::string& request : site.Requests())
    if (request.starts_with("POST /upload ")) upload = request;
  ASSERT_FALSE(upload.empty()) << ::testing::PrintToString(site.Lines());
  const size_t at = upload.find("Content-Type: multipart/form-data; boundary=");
  ASSERT_NE(at, std::string::npos);
  const std::string boundary = upload.substr(at + 44, 26);
  EXPECT_TRUE(boundary.ends_with("_Parlomix_boundary")) << boundary;
  const std::string body = upload.substr(upload.find("\r\n\r\n") + 4);
  EXPECT_EQ(body, "--" + boundary + "\r\ncontent-disposition: form-data; name=\"subject\"\r\n\r\n" + Cp("Без темы") +
                      "\r\n--" + boundary +
                      "\r\nContent-disposition: form-data; name=\"file\"; filename=\"%F4%EE%F2%EE.gif\"\r\n"
                      "Content-Type: image/gif\r\n\r\n" + bytes + "\r\n--" + boundary + "--\r\n");
  EXPECT_EQ(site.Lines()[2], "POST /upload");
  EXPECT_EQ(site.Lines()[3], "POST /send");
}

TEST_F(DispatcherSend, WithoutACaptchaStepZeroGoesStraightToTheSend) {
  gate.SetInfo("Captcha", "0");
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_EQ(out.status, ssError);  // the site wants the code
  EXPECT_EQ(out.bars, (std::vector<int>{1, 2, 5, 6}));
}

TEST_F(DispatcherSend, ASkippedDeliveryCheckIsStillReportedAndTheSendCountsAsSent) {
  Options->WriteBool("Send\\CheckDelivery", false);
  gate.Remove("Done");
  Import();
  auto sms = MakeSms();
  SendOutcome out = RunWithCode(*sms);
  EXPECT_EQ(out.status, ssSent);
  ASSERT_EQ(out.reports.size(), 10u);
  EXPECT_EQ(out.reports[6], "3/0: Проверка статуса доставки");
  EXPECT_EQ(out.reports[7], "3/1: Проверка статуса доставки");
  EXPECT_EQ(out.reports[9], "4/1: Сообщение отправлено. Проверка доставки не поддерживается или отключена.");
  // No Done parameter: the logout page, SendDone's, is never asked for.
  EXPECT_EQ(site.Lines().back(), "GET /result?id=77");
}

TEST_F(DispatcherSend, DelayedDeliveryAndTheStoredOptOutSkipTheCheck) {
  Import();
  auto delayed = MakeSms();
  delayed->SetItemNamed(MsgKey::Delivery, Variant::Boolean(true));
  EXPECT_EQ(RunWithCode(*delayed).status, ssSent);
  auto gateRow = TGateFactory::CreateGate("FakeOperator");
  gateRow->SetStoredParam("DontCheckDelivery", Variant::String("1"));
  auto plain = MakeSms();
  EXPECT_EQ(RunWithCode(*plain).status, ssSent);
  EXPECT_EQ(Count("GET /status?id=77"), 0);
}

TEST_F(DispatcherSend, TheAutoCloseOptionClosesAfterSuccess) {
  Options->WriteBool("Send\\AutoCloseDispSuccess", true);
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  view.CloseWhenDone = false;
  AnswerCaptcha(view);
  SendOutcome out = Run(*sms, view);
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssDelivered);
}

TEST_F(DispatcherSend, AGateThatCannotBeCreatedIsShownAndReportedOnceAsCancelled) {
  Import();
  gate.name = "Other";
  gate.params.clear();
  std::string xml = gate.Xml();
  xml.replace(xml.find("<class>HTTP</class>"), 19, "<class>SOAP</class>");
  std::istringstream in(xml);
  ASSERT_TRUE(ImportGateStream(in, true));
  // A gate that is there but whose send log cannot be started says only why.
  Options->WriteBool("Send\\LogSend", true);
  std::filesystem::create_directories(ProfileDir);
  WriteNewFile(ProfileDir + "Log", "a file where the log folder goes");
  for (const std::string name : {"Missing", "Other", "FakeOperator"}) {
    const std::string text =
        name == "FakeOperator" ? "Cannot create the folder " + ProfileDir : Utf(TSendDisp::CannotCreateText(name));
    auto sms = MakeSms();
    THeadlessSendView view;
    SendOutcome out = Run(*sms, view, name);
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.afterSendCalls, 1);
    EXPECT_EQ(out.gateName, name);
    EXPECT_EQ(out.status, ssCancelled);
    EXPECT_EQ(out.errorText.substr(0, text.size()), text) << out.errorText;
    EXPECT_EQ(out.shownError, out.errorText);
    EXPECT_TRUE(out.reports.empty());
  }
  EXPECT_TRUE(site.Requests().empty());
}

TEST_F(DispatcherSend, ARetryAfterAFailedInitStartsFromErrorZero) {
  // No page to load: step 0 makes no request, so only the dispatcher can
  // clear the first attempt's script error.
  gate.Remove("PageURL");
  gate.SetInfo("Captcha", "0");
  gate.Set("SendInit", "eval(begin if GateInfo.Exists('tried') then Result := 0 else begin GateInfo['tried'] := 1; "
                       "Result := NoSuchThing; end; end;)");
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  int retries = 0;
  view.OnProgress = [&retries](THeadlessSendView& v, int step, int phase, const std::string&) {
    if (step == stInit && phase == spFailed && ++retries == 1) v.Post([&v] { v.Retry(); });
  };
  SendOutcome out = Run(*sms, view);
  ASSERT_GE(out.reports.size(), 5u);
  EXPECT_EQ(out.reports[1].substr(0, 4), "0/2:");
  EXPECT_EQ(out.reports[2], "0/0: Инициализация");
  EXPECT_EQ(out.reports[3], "0/1: Инициализация");
  EXPECT_EQ(out.reports[4], "2/0: Отправка сообщения");
  EXPECT_EQ(retries, 1);
  // Without the form's session the site refuses the post.
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(site.Lines(), std::vector<std::string>{"POST /send"});
}

TEST_F(DispatcherSend, QuittingDuringAStepCancelsAndJoinsTheThreadFirst) {
  PollForever("100");
  auto sms = MakeSms();
  THeadlessSendView view;
  AnswerCaptcha(view);
  view.OnProgress = [](THeadlessSendView&, int step, int phase, const std::string&) {
    if (step == stCheckDelivery && phase == spStarted) QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
  };
  SendOutcome out;
  QTimer::singleShot(0, [&] { out = Run(*sms, view); });
  QCoreApplication::exec();
  EXPECT_FALSE(TSendDisp::StepRunning());
  EXPECT_EQ(TSendDisp::Sender(), nullptr);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssCancelledInCheck);
}

// A script that asks a server dripping its answers, again and again: once
// the program quits, the request under way ends and no other starts, so the
// step thread is joined at once instead of holding the program.
TEST_F(DispatcherSend, QuittingDuringAScriptsRequestLoopEndsTheStepAtOnce) {
  RawServer dripping([](RawServer& server, RawConnection& connection) {
    server.Read(connection);
    if (!connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n")) return;
    while (!server.Stopping() && connection.Send("x")) std::this_thread::sleep_for(milliseconds(100));
  });
  gate.Set("SendInit", "eval(begin while True do HTTP.HTTPMethod('GET', '" + dripping.URL("/") + "'); end;)");
  Import();
  auto sms = MakeSms();
  THeadlessSendView view;
  TScopeExit allow([] { SetHTTPQuitting(false); });
  std::chrono::steady_clock::time_point quit;
  QTimer::singleShot(300, [&] {
    quit = std::chrono::steady_clock::now();
    SetHTTPQuitting(true);
    QCoreApplication::exit(0);
  });
  SendOutcome out;
  QTimer::singleShot(0, [&] { out = Run(*sms, view); });
  QCoreApplication::exec();
  EXPECT_LT(Ms(std::chrono::steady_clock::now() - quit), 5000);
  EXPECT_FALSE(TSendDisp::StepRunning());
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssCancelled);
}

TEST_F(DispatcherSend, TheMessageBelongsToTheAfterSendHook) {
  Import();
  std::unique_ptr<TSMS> sms = MakeSms();
  THeadlessSendView view;
  AnswerCaptcha(view);
  int freed = 0;
  TSendDisp::SetAfterSendHook([&](const std::string&, TSMS& message, uint8_t, const std::string&) {
    EXPECT_EQ(&message, sms.get());
    sms.reset();  // the sanitizers tell any later use
    ++freed;
  });
  EXPECT_TRUE(TSendDisp::Send(*sms, "FakeOperator", view));
  EXPECT_EQ(freed, 1);
}

TEST_F(DispatcherSend, ASecondSendWhileOneRunsIsRefused) {
  Import();
  auto first = MakeSms();
  auto second = MakeSms();
  THeadlessSendView view;
  std::vector<std::pair<TSMS*, int>> booked;
  bool secondResult = true;
  view.OnCaptcha = [&](THeadlessSendView& v, const QImage&) {
    TSendDisp::SetAfterSendHook([&](const std::string&, TSMS& message, uint8_t status, const std::string&) {
      booked.emplace_back(&message, status);
    });
    THeadlessSendView other;
    secondResult = TSendDisp::Send(*second, "FakeOperator", other);
    v.Cancel();
  };
  TSendDisp::Send(*first, "FakeOperator", view);
  EXPECT_FALSE(secondResult);
  EXPECT_EQ(booked, (std::vector<std::pair<TSMS*, int>>{{second.get(), ssCancelled}, {first.get(), ssCancelled}}));
}

}  // namespace
