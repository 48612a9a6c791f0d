// The gate runner and the dispatcher held to their rules one item at a time:
// the names each kind of request reads and what it sends, which answers a
// post accepts, the delivery check's referer, counts and waits, the order of
// an MMS upload, the captcha known by its bytes, the cookies a script leaves,
// the keys a send adds to its message and the steps that follow the send.
#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gatefactory.h"
#include "gates/childprocess.h"
#include "gates/gifwriter.h"
#include "gates/sendsupport.h"
#include "options.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Params = std::vector<std::pair<std::string, std::string>>;

int64_t Ms(Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); }

// "POST /path?query" of a raw request.
std::string RequestLine(const std::string& request) { return request.substr(0, request.find(" HTTP/")); }

// The trimmed value of a request header; none when the line is missing.
std::optional<std::string> Header(const std::string& request, const std::string& name) {
  const std::string head = request.substr(0, request.find("\r\n\r\n") + 2);
  const std::string key = "\r\n" + name + ":";
  size_t at = head.find(key);
  if (at == std::string::npos) return std::nullopt;
  at += key.size();
  std::string value = head.substr(at, head.find("\r\n", at) - at);
  while (!value.empty() && value.front() == ' ') value.erase(0, 1);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return value;
}

std::string Body(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

// The three rows of parameter names, in the order of TPostKind.
constexpr const char* kRows[] = {"", "mu_", "cd_"};

class RunnerAudit : public SendTest {
 protected:
  // A runner for a gate of nothing but `params`, imported and loaded, with
  // `message` (the SMS of the test when none is given).
  std::unique_ptr<THTTPGate> Make(Params params, TSMS* message = nullptr) {
    gate.params = std::move(params);
    EXPECT_TRUE(gate.Import());
    auto runner = TGate::Create<THTTPGate>(gate.name);
    runner->SetMessage(message ? message : sms.get());
    return runner;
  }
  // The requests `server` received since it had `before` of them.
  static std::vector<std::string> Since(const RawServer& server, size_t before) {
    std::vector<std::string> all = server.Requests();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end()};
  }

  std::unique_ptr<TSMS> sms = MakeSms();
};

RawServer::Handler AlwaysOk(const std::string& page = "<p>answer</p>") {
  return Replying([page](const std::string&) { return Answer("200 OK", "", page); });
}

// ---- The POST ----

TEST_F(RunnerAudit, EachKindOfPostReadsItsOwnRowOfNames) {
  RawServer server(AlwaysOk());
  for (int kind : {pkSend, pkUpload, pkDeliveryCheck}) {
    SCOPED_TRACE(kind);
    const std::string k = std::to_string(kind);
    // Every row present with values of its own; only the tested row fails
    // its success test and keeps the old page.
    Params params = {{"pageurl", "http://page/"}};
    for (int row = 0; row < 3; ++row) {
      const std::string p = kRows[row], n = std::to_string(row);
      const bool own = row == kind;
      params.insert(params.end(), {{p + "referer", "http://referer" + n + "/"},
                                   {p + "posturl", server.URL("/post" + n)},
                                   {p + "postdata", "body" + n},
                                   {p + "custommime", "text/x-row" + n},
                                   {p + "dontloadresult", own ? "1" : "0"},
                                   {p + "success", own ? "false" : "1"},
                                   {p + "error", "<div>\r\n<b>Row</b> " + n + "</div>"}});
    }
    auto runner = Make(params);
    runner->Html.Text = "before";
    size_t before = server.Requests().size();
    EXPECT_FALSE(runner->HTTPPost(kind));
    EXPECT_EQ(runner->ErrorCode, geLoad);
    EXPECT_EQ(runner->ErrorText, "Row " + k);
    EXPECT_EQ(runner->Html.Text, "before");
    auto sent = Since(server, before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(RequestLine(sent[0]), "POST /post" + k);
    EXPECT_EQ(Header(sent[0], "Referer"), "http://referer" + k + "/");
    EXPECT_EQ(Header(sent[0], "Content-Type"), "text/x-row" + k);
    EXPECT_EQ(Body(sent[0]), "body" + k);

    // Without a referer of its own the page is the referer; without a
    // content type the body's mode, multipart only where the row says so.
    params = {{"pageurl", "http://page/"}};
    for (int row = 0; row < 3; ++row) {
      const std::string p = kRows[row], n = std::to_string(row);
      params.insert(params.end(), {{p + "posturl", server.URL("/post" + n)},
                                   {p + "multipart", row == kind ? "1" : "0"},
                                   {p + "postdata", "eval(begin PostData.Add('f', 'v'); Result := ''; end;)"},
                                   {p + "success", "1"}});
    }
    runner = Make(params);
    before = server.Requests().size();
    EXPECT_TRUE(runner->HTTPPost(kind)) << Utf(runner->GetErrorText());
    EXPECT_EQ(runner->Html.Text, "<p>answer</p>");
    sent = Since(server, before);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Header(sent[0], "Referer"), "http://page/");
    const std::string boundary = runner->PostData.Boundary();
    EXPECT_EQ(Header(sent[0], "Content-Type"), "multipart/form-data; boundary=" + boundary);
    EXPECT_TRUE(Body(sent[0]).starts_with("--" + boundary + "\r\n")) << Body(sent[0]);
  }
}

TEST_F(RunnerAudit, TheBodysModeIsReadAfterItsScriptRan) {
  RawServer server(AlwaysOk());
  struct Case {
    std::string multipart, script;
    bool multipartSent;
  };
  const Case cases[] = {
      {"0", "eval(begin PostData.MultiPart := True; PostData.Add('f', 'v'); Result := ''; end;)", true},
      {"1", "eval(begin PostData.MultiPart := False; PostData.Add('f', 'v'); Result := ''; end;)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.multipart);
    auto runner = Make({{"posturl", server.URL("/post")}, {"multipart", c.multipart}, {"postdata", c.script},
                        {"success", "1"}});
    EXPECT_TRUE(runner->HTTPPost(pkSend));
    const std::string request = server.Requests().back();
    if (c.multipartSent) {
      EXPECT_EQ(Header(request, "Content-Type"), "multipart/form-data; boundary=" + runner->PostData.Boundary());
    } else {
      EXPECT_EQ(Header(request, "Content-Type"), "application/x-www-form-urlencoded");
      EXPECT_EQ(Body(request), "f=v");
    }
  }
}

TEST_F(RunnerAudit, APostAlwaysNamesAReferrerAndAGetOnlyAGivenOne) {
  RawServer server(AlwaysOk());
  auto runner = Make({{"posturl", server.URL("/post")}, {"success", "1"}});
  EXPECT_TRUE(runner->HTTPPost(pkSend));
  EXPECT_EQ(Header(server.Requests().back(), "Referer"), "") << server.Requests().back();
  EXPECT_TRUE(runner->HTTPGet(server.URL("/get"), ""));
  EXPECT_EQ(Header(server.Requests().back(), "Referer"), std::nullopt) << server.Requests().back();
  EXPECT_TRUE(runner->HTTPGet(server.URL("/get"), "http://from/"));
  EXPECT_EQ(Header(server.Requests().back(), "Referer"), "http://from/");
}

TEST_F(RunnerAudit, APostAcceptsOnly200OrAnUnfollowedMoveAndARefusalCarriesNoText) {
  struct Case {
    const char* status;
    const char* handleRedirects;
    bool accepted;
  };
  const Case cases[] = {
      {"200 OK", "1", true},
      {"200 OK", "0", true},
      {"301 Moved Permanently", "0", true},
      {"302 Found", "0", true},
      {"303 See Other", "0", false},
      {"307 Temporary Redirect", "0", false},
      {"201 Created", "1", false},
      {"404 Not Found", "0", false},
      {"500 Internal Server Error", "1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.status) + " HandleRedirects=" + c.handleRedirects);
    const std::string status = c.status;
    RawServer server(Replying([status](const std::string&) {
      return Answer(status, "Location: /elsewhere\r\n", "<p>page</p>");
    }));
    auto runner = Make({{"posturl", server.URL("/post")},
                        {"HandleRedirects", c.handleRedirects},
                        {"success", "false"},
                        {"error", "the success test ran"}});
    EXPECT_FALSE(runner->HTTPPost(pkSend));
    EXPECT_EQ(runner->ErrorCode, geLoad);
    // Accepted answers reach the success test, refused ones stop before it.
    EXPECT_EQ(runner->ErrorText, c.accepted ? "the success test ran" : "");
    EXPECT_EQ(runner->Html.Text, c.accepted ? "<p>page</p>" : "");
  }
}

TEST_F(RunnerAudit, CookiesGoOutAsTheScriptLeftThem) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET")) return Answer("200 OK", "Set-Cookie: sid=1\r\nSet-Cookie: keep=2\r\n", "form");
    return Answer("200 OK", "", "sent");
  }));
  auto runner = Make({{"PageURL", server.URL("/form")},
                      {"posturl", server.URL("/post")},
                      {"postdata", "eval(begin Cookies['sid'] := ''; Cookies['lang'] := 'ru'; Result := 'x=1'; end;)"},
                      {"success", "1"}});
  ASSERT_TRUE(runner->Init());
  EXPECT_EQ(VarToStr(runner->Cookies.GetItemNamed("keep")), "2");
  ASSERT_TRUE(runner->HTTPPost(pkSend));
  const std::optional<std::string> cookie = Header(server.Requests().back(), "Cookie");
  ASSERT_TRUE(cookie.has_value());
  EXPECT_NE(cookie->find("keep=2"), std::string::npos) << *cookie;
  EXPECT_NE(cookie->find("lang=ru"), std::string::npos) << *cookie;
  EXPECT_EQ(cookie->find("sid"), std::string::npos) << *cookie;
  // Afterwards Cookies is the client's list again.
  EXPECT_FALSE(runner->Cookies.Exists("sid"));
  EXPECT_EQ(VarToStr(runner->Cookies.GetItemNamed("lang")), "ru");
}

TEST_F(RunnerAudit, AScriptRequestsCodeGivesWayToTheStepsOwnRequest) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET /missing")) return Answer("404 Not Found", "", "");
    return Answer("200 OK", "", "page");
  }));
  const std::string init = "eval(HTTP.HTTPMethod('GET', '" + server.URL("/missing") + "'))";
  auto runner = Make({{"SendInit", init}, {"PageURL", server.URL("/page")}});
  EXPECT_TRUE(runner->Init()) << Utf(runner->GetErrorText());
  EXPECT_EQ(runner->Html.Text, "page");
  runner = Make({{"SendInit", init}});
  EXPECT_FALSE(runner->Init());
  EXPECT_EQ(runner->ErrorCode, geLoad);
}

// Every parameter a script that notes its own name: the order of the
// notes is the order the runner reads them in, step by step.
TEST_F(RunnerAudit, EachStepReadsItsParametersInTheirOrder) {
  QImage image(8, 4, QImage::Format_RGB32);
  image.fill(Qt::white);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  const std::string picture = png.toStdString();
  RawServer server(Replying([picture](const std::string& request) {
    if (request.starts_with("GET /img")) return Answer("200 OK", "", picture);
    if (request.starts_with("POST")) return Answer("302 Found", "Location: /moved\r\n", "posted");
    return Answer("200 OK", "", "page");
  }));
  auto noted = [](const std::string& name, const std::string& value) {
    return std::make_pair(name, "eval(begin Stored['log'] := VarToStr(Stored['log']) + '" + name + " '; Result := " +
                                    value + "; end;)");
  };
  gate.type = "MMS";
  auto runner = Make({noted("SendInit", "''"), noted("PageURL", "'" + server.URL("/page") + "'"),
                      noted("Encoding", "'windows-1251'"), noted("ImageDescription", "'digits'"),
                      noted("ImageURL", "'" + server.URL("/img") + "'"), noted("proccessimage", "0"),
                      noted("UploadMultimedia", "False"), noted("multipart", "False"), noted("postdata", "'a=1'"),
                      noted("referer", "''"), noted("custommime", "''"),
                      noted("posturl", "'" + server.URL("/post") + "'"), noted("HandleRedirects", "0"),
                      noted("dontloadresult", "0"), noted("success", "'false'"), noted("error", "'no'"),
                      noted("cd_referer", "''"), noted("cd_maxcheckdelivery", "1"), noted("cd_delay", "-1"),
                      noted("cd_delta", "-1"), noted("cd_method", "'GET'"),
                      noted("cd_url", "'" + server.URL("/status") + "'"), noted("cd_success", "'false'"),
                      noted("cd_error", "'undelivered'"), noted("SendDone", "0")});
  auto log = [&runner] {
    std::string text = VarToStr(runner->Stored.GetItemNamed("log"));
    runner->Stored.SetItemNamed("log", Variant::String(""));
    return text;
  };
  EXPECT_TRUE(runner->Init());
  EXPECT_EQ(log(), "SendInit PageURL Encoding ");
  runner->GetCaptcha();
  EXPECT_EQ(runner->ErrorCode, geNone);
  EXPECT_EQ(log(), "ImageDescription ImageURL PageURL proccessimage ");
  // The 302 not followed: HandleRedirects is asked again for it.
  EXPECT_FALSE(runner->Send());
  EXPECT_EQ(log(),
            "UploadMultimedia multipart postdata referer custommime posturl HandleRedirects HandleRedirects "
            "dontloadresult Encoding success error ");
  EXPECT_EQ(runner->ErrorText, "no");
  EXPECT_FALSE(runner->CheckDelivery());
  EXPECT_EQ(log(),
            "cd_referer posturl cd_maxcheckdelivery cd_delay cd_delta cd_method cd_url Encoding cd_success cd_error ");
  EXPECT_EQ(runner->ErrorText, "undelivered");
  runner->Done();
  EXPECT_EQ(log(), "SendDone ");
}

// ---- The MMS upload ----

TEST_F(RunnerAudit, TheUploadGoesFirstOnlyForAnMmsGateThatAsksAndAMessageWithAnAttachment) {
  struct Case {
    const char* type;
    const char* upload;
    bool attachment;
    const char* uploadSuccess;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"MMS", "1", true, "1", {"POST /upload", "POST /send"}},
      {"mms", "true", true, "false", {"POST /upload"}},
      {"MMS", "0", true, "1", {"POST /send"}},
      {"MMS", "1", false, "1", {"POST /send"}},
      {"SMS", "1", true, "1", {"POST /send"}},
  };
  RawServer server(AlwaysOk());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.upload + " " + std::to_string(c.attachment) + " " + c.uploadSuccess);
    TMMS mms;
    mms.SetItemNamed(MsgKey::MessageType, Variant::String("MMS"));
    mms.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
    if (c.attachment) {
      auto content = std::make_shared<TMMSContentData>();
      content->SetItemNamed(ContentKey::FileName, Variant::String("a.gif"));
      mms.SetMultiMedia(content);
    }
    gate.type = c.type;
    auto runner = Make({{"UploadMultimedia", c.upload},
                        {"mu_posturl", server.URL("/upload")},
                        {"mu_postdata", "up=1"},
                        {"mu_success", c.uploadSuccess},
                        {"mu_error", "<i>Upload</i> refused"},
                        {"posturl", server.URL("/send")},
                        {"postdata", "send=1"},
                        {"success", "1"}},
                       &mms);
    const size_t before = server.Requests().size();
    const bool uploadFails = std::string(c.uploadSuccess) == "false";
    EXPECT_EQ(runner->Send(), !uploadFails);
    std::vector<std::string> lines;
    for (const std::string& request : Since(server, before)) lines.push_back(RequestLine(request));
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(runner->ErrorText, uploadFails ? "Upload refused" : "");
  }
}

// ---- The delivery check ----

class DeliveryAudit : public RunnerAudit {
 protected:
  // A check by GET of `url` that answers "wait" for ever, without waits
  // unless the test sets delays of its own.
  Params Checks(const std::string& url, const std::string& count) {
    return {{"cd_url", url}, {"cd_success", "wait"}, {"cd_maxcheckdelivery", count}, {"cd_delay", "-1"},
            {"cd_delta", "-1"}};
  }
};

TEST_F(DeliveryAudit, TheCheckNamesItsOwnRefererOrThePostsTarget) {
  RawServer server(AlwaysOk("delivered"));
  Params params = Checks(server.URL("/status"), "1");
  params.insert(params.end(), {{"cd_success", "true"}, {"posturl", "eval('http://post/')"}});
  params.erase(params.begin() + 1);  // the first cd_success
  auto runner = Make(params);
  EXPECT_TRUE(runner->CheckDelivery());
  EXPECT_EQ(Header(server.Requests().back(), "Referer"), "http://post/");
  params.emplace_back("cd_referer", "http://check/");
  runner = Make(params);
  EXPECT_TRUE(runner->CheckDelivery());
  EXPECT_EQ(Header(server.Requests().back(), "Referer"), "http://check/");
  EXPECT_EQ(runner->Html.Text, "delivered");
}

TEST_F(DeliveryAudit, AFailedCheckGetIsALoadErrorWithoutText) {
  RawServer server(Replying([](const std::string&) { return Answer("404 Not Found", "", "gone"); }));
  for (const std::string& url : {server.URL("/status"), "http://127.0.0.1:" + std::to_string(FreePort()) + "/"}) {
    SCOPED_TRACE(url);
    Params params = Checks(url, "3");
    params.emplace_back("cd_error", "never shown");
    auto runner = Make(params);
    EXPECT_FALSE(runner->CheckDelivery());
    EXPECT_EQ(runner->ErrorCode, geLoad);
    EXPECT_EQ(runner->ErrorText, "");
  }
  // One check each: a failure ends the checking.
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(DeliveryAudit, TheNumberOfChecksIsTheGatesOrTheOptionsWhenZero) {
  struct Case {
    std::optional<std::string> param;
    int option;
    size_t checks;
  };
  const Case cases[] = {
      {"0", 2, 2}, {std::nullopt, 3, 3}, {"2", 9, 2}, {"0", 0, 0}, {"-1", 5, 0}, {"eval(1)", 4, 1},
  };
  RawServer server(AlwaysOk("queued"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.param.value_or("(none)") + " option " + std::to_string(c.option));
    Options->WriteInteger("Send\\MaxChecksDelivery", c.option);
    Params params = Checks(server.URL("/status"), c.param.value_or(""));
    if (!c.param) params.erase(params.begin() + 2);
    auto runner = Make(params);
    const size_t before = server.Requests().size();
    EXPECT_EQ(runner->CheckDelivery(), c.checks == 0);
    EXPECT_EQ(runner->ErrorCode, c.checks == 0 ? geNone : geDeliveryTimeout);
    EXPECT_EQ(Since(server, before).size(), c.checks);
  }
}

TEST_F(DeliveryAudit, ZeroDelaysAskTheOptionsAndNegativeOnesDoNotWait) {
  RawServer server(AlwaysOk("queued"));
  // The options would wait seconds; the gate's negative delays wait nothing.
  Options->WriteInteger("Send\\CheckDeliveryDelay", 5000);
  Options->WriteInteger("Send\\CheckDeliveryDelta", 5000);
  auto runner = Make(Checks(server.URL("/status"), "3"));
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(runner->CheckDelivery());
  EXPECT_LT(Ms(Clock::now() - start), 1000);
  EXPECT_EQ(server.Requests().size(), 3u);

  // Zero: the options' 150 ms, then 150 + 100.
  Options->WriteInteger("Send\\CheckDeliveryDelay", 150);
  Options->WriteInteger("Send\\CheckDeliveryDelta", 100);
  site.QueuedAnswers = 100;
  Params params = Checks(site.URL("/status"), "2");
  params[3].second = "0";
  params[4].second = "0";
  runner = Make(params);
  start = Clock::now();
  EXPECT_FALSE(runner->CheckDelivery());
  const auto hits = site.Hits();
  ASSERT_EQ(hits.size(), 2u);
  const int64_t gaps[] = {Ms(hits[0].at - start), Ms(hits[1].at - hits[0].at)};
  EXPECT_GE(gaps[0], 150);
  EXPECT_LT(gaps[0], 150 + 150);
  EXPECT_GE(gaps[1], 250);
  EXPECT_LT(gaps[1], 250 + 150);
}

TEST_F(DeliveryAudit, HostileDelaysNeitherWrapRoundNorEndTheWaitEarly) {
  RawServer server(AlwaysOk("queued"));
  // The most negative delays: sums that would wrap stay no wait.
  Params params = Checks(server.URL("/status"), "3");
  params[3].second = "-9223372036854775807";
  params[4].second = "-9223372036854775807";
  auto runner = Make(params);
  EXPECT_FALSE(runner->CheckDelivery());
  EXPECT_EQ(server.Requests().size(), 3u);

  // A wait of ages lasts until the cancel.
  params[3].second = "9223372036854775807";
  runner = Make(params);
  std::thread canceller([&] {
    std::this_thread::sleep_for(milliseconds(250));
    runner->Cancel();
  });
  const Clock::time_point start = Clock::now();
  runner->CheckDelivery();
  canceller.join();
  EXPECT_GE(Ms(Clock::now() - start), 200);
  EXPECT_EQ(server.Requests().size(), 3u);
}

// ---- The captcha ----

TEST_F(RunnerAudit, TheCaptchaIsKnownByItsBytesWhateverItsTypeSays) {
  QImage image(24, 10, QImage::Format_RGB32);
  image.fill(qRgb(0x20, 0x80, 0xC0));
  auto encoded = [&image](const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
  };
  const std::pair<const char*, std::string> pictures[] = {
      {"JPEG", encoded("JPG")}, {"GIF", EncodeGif(image)}, {"PNG", encoded("PNG")}, {"BMP", encoded("BMP")}};
  for (const auto& [format, bytes] : pictures) {
    SCOPED_TRACE(format);
    ASSERT_FALSE(bytes.empty());
    const std::string body = bytes;
    RawServer server(Replying([body](const std::string&) {
      return Answer("200 OK", "Content-Type: text/plain\r\n", body);
    }));
    auto runner = Make({{"PageURL", "eval('" + server.URL("/page") + "')"}, {"ImageURL", server.URL("/img")}});
    runner->CaptchaDescription = "old";
    const QImage picture = runner->GetCaptcha();
    EXPECT_EQ(runner->ErrorCode, geNone);
    EXPECT_EQ(picture.size(), QSize(24, 10));
    EXPECT_EQ(runner->CaptchaDescription, "");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(server.Requests()[0]), "GET /img");
    EXPECT_EQ(Header(server.Requests()[0], "Referer"), server.URL("/page"));
  }
}

// ---- The dispatcher ----

TEST_F(RunnerAudit, ANumberNoRangeCoversStillSendsWithTagZeroAndEmptyParts) {
  RawServer server(AlwaysOk());
  gate.info = {};
  gate.params = {{"posturl", server.URL("/send")}, {"success", "1"}};
  Import();
  auto message = MakeSms("12345", "hello");
  THeadlessSendView view;
  SendOutcome out = Run(*message, view);
  EXPECT_EQ(out.status, ssSent) << out.errorText;
  EXPECT_EQ(VarToStr(message->GetItemNamed(MsgKey::Phone_Format)), "");
  EXPECT_EQ(VarToStr(message->GetItemNamed(MsgKey::PhoneFormat)), "");
  const Variant tag = message->GetItemNamed(MsgKey::Phone_Tag);
  EXPECT_TRUE(tag.IsInteger());
  EXPECT_EQ(tag.AsInteger(), 0);
  for (std::string_view key : {MsgKey::Phone_Country, MsgKey::Phone_DEF, MsgKey::Phone_Number})
    EXPECT_EQ(VarToStr(message->GetItemNamed(key)), "") << key;
  // No limit known: nothing is left of it.
  EXPECT_TRUE(message->GetItemNamed(MsgKey::MaxSymbols).IsEmpty());
  EXPECT_EQ(message->GetItemNamed(MsgKey::LeaveSymbols).AsInteger(), -5);
}

TEST_F(RunnerAudit, TheStepsAfterTheSendFollowTheOptionTheGateAndTheMessage) {
  struct Case {
    const char* name;
    bool option;
    const char* supports;  // SupportCheckDelivery; null: missing
    const char* stored;    // DontCheckDelivery; null: missing
    bool delivery;         // delivery at a chosen time
    bool done;             // the gate has Done
    bool checked;
    int status;
  };
  const Case cases[] = {
      {"everything asks for it", true, "1", nullptr, false, false, true, ssDelivered},
      {"true as text", true, "True", "0", false, true, true, ssDelivered},
      {"option off", false, "1", nullptr, false, true, false, ssSent},
      {"gate cannot", true, "0", nullptr, false, false, false, ssSent},
      {"gate silent", true, nullptr, nullptr, false, true, false, ssSent},
      {"stored opt-out", true, "1", "true", false, false, false, ssSent},
      {"timed message", true, "1", nullptr, true, true, false, ssSent},
  };
  RawServer server(AlwaysOk("delivered"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options->WriteBool("Send\\CheckDelivery", c.option);
    gate.info = {};
    if (c.supports) gate.info.emplace_back("SupportCheckDelivery", c.supports);
    gate.params = {{"posturl", server.URL("/send")},
                   {"success", "1"},
                   {"cd_url", server.URL("/status")},
                   {"cd_success", "1"},
                   {"cd_delay", "-1"},
                   {"SendDone", "eval(HTTP.HTTPMethod('GET', '" + server.URL("/logout") + "'))"}};
    if (c.done) gate.params.emplace_back("Done", "");
    Import();
    if (c.stored) TGateFactory::CreateGate(gate.name)->SetStoredParam("DontCheckDelivery", Variant::String(c.stored));
    auto message = MakeSms();
    message->SetItemNamed(MsgKey::Delivery, Variant::Boolean(c.delivery));
    const size_t before = server.Requests().size();
    THeadlessSendView view;
    SendOutcome out = Run(*message, view);
    EXPECT_EQ(out.status, c.status) << out.errorText;
    std::vector<std::string> lines;
    for (const std::string& request : Since(server, before)) lines.push_back(RequestLine(request));
    std::vector<std::string> expected = {"POST /send"};
    if (c.checked) expected.push_back("GET /status");
    if (c.done) expected.push_back("GET /logout");
    EXPECT_EQ(lines, expected);
    // Step 3 is reported either way, and the completion last.
    ASSERT_EQ(out.reports.size(), 8u);
    EXPECT_EQ(out.reports[4], "3/0: Проверка статуса доставки");
    EXPECT_EQ(out.reports[5], "3/1: Проверка статуса доставки");
    EXPECT_EQ(out.reports[7], c.checked ? "4/1: Сообщение отправлено и доставлено"
                                        : "4/1: Сообщение отправлено. Проверка доставки не поддерживается или отключена.");
    // Stored values outlive the import; the next case starts without them.
    if (c.stored) TGateFactory::CreateGate(gate.name)->SetStoredParam("DontCheckDelivery", Variant::String("0"));
  }
}

}  // namespace
