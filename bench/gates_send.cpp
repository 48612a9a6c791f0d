// One whole send against the fake operator site on 127.0.0.1 (form page,
// captcha, send POST, one delivery check: four requests, no waits), through
// the dispatcher, its step threads and the gate's scripts, without and with
// the send log, beside the same four requests made through the bare HTTP
// client. The summary prints the medians, what the send adds (target:
// < 5 ms), and, for the logged send, what the file system alone takes to
// delete and write again the log's files, so that a slow disk is told apart
// from the program's own cost.
//
// Then a hostile site: a send whose form page is reached through a chain of
// ten redirects, every answer of it setting 10,000 cookies never seen
// before. The summary prints its median (target: < 2 s).
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "files.h"
#include "gatelimits.h"
#include "gates/fakesite.h"
#include "httpgate.h"
#include "options.h"
#include "senddisp.h"
#include "sendview.h"
#include "support/optionsprofile.h"
#include "temp_profile.h"

namespace {

constexpr int kSends = 200;

std::map<std::string, std::vector<double>>& Times() {
  static std::map<std::string, std::vector<double>> times;
  return times;
}

double MedianMs(const std::string& key) {
  std::vector<double> values = Times()[key];
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2] * 1000;
}

// The site, the gate imported, options that wait for nothing, for the whole
// program run.
struct SendBench {
  TempProfile databases;
  OptionsProfile profile;
  FakeSite site;

  SendBench() {
    Options = profile.options.get();
    ProfileDir = profile.dir.File("profile") + "/";
    Options->WriteString("Network\\Proxy", "");
    Options->WriteInteger("Send\\CheckDeliveryDelay", 0);
    Options->WriteInteger("Send\\CheckDeliveryDelta", 0);
    site.ResultWithoutRedirect = true;
    FakeGateSpec gate = FakeGate(site);
    for (const char* unused : {"cd_delay", "cd_delta", "Done", "SendDone"}) gate.Remove(unused);
    if (!gate.Import()) std::abort();
    RegisterHTTPGate();
  }
};

SendBench& Bench() {
  static SendBench bench;
  return bench;
}

template <class Work>
void Time(benchmark::State& state, const std::string& key, Work work) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) {
      state.SkipWithError("the send failed");
      return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Times()[key].push_back(seconds);
  }
}

void WholeSend(benchmark::State& state, bool logged) {
  Bench();
  Options->WriteBool("Send\\LogSend", logged);
  Time(state, logged ? "logged" : "send", [] {
    auto sms = std::make_unique<TSMS>();
    sms->SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
    sms->SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
    sms->SetItemNamed(MsgKey::Text, Variant::String(cp1251::FromUtf8("Привет, мир")));
    THeadlessSendView view;
    view.OnCaptcha = [](THeadlessSendView& v, const QImage&) { v.SendCode(FakeSite::kCode); };
    int status = -1;
    TSendDisp::SetAfterSendHook([&](const std::string&, TSMS&, uint8_t result, const std::string&) { status = result; });
    TSendDisp::Send(*sms, "FakeOperator", view);
    return status == ssDelivered;
  });
}
void BM_WholeSend(benchmark::State& state) { WholeSend(state, false); }
void BM_WholeSendLogged(benchmark::State& state) { WholeSend(state, true); }

// The redirect chain /hop/0 .. /hop/10, each answer with its own 10,000
// cookies, and /form, the plain page the send posts to. The cookies are
// short: curl itself refuses an answer whose head passes 300 KB. Raw
// sockets rather than httplib, whose server refuses the Cookie line the
// kept cookies make (over 8 KiB).
class CookieFloodSite {
 public:
  static constexpr int kCookiesPerAnswer = 10000;

  CookieFloodSite() {
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
      std::string head;
      for (int i = 0; i < kCookiesPerAnswer; ++i)
        head += "Set-Cookie: c" + std::to_string(hop) + "_" + std::to_string(i) + "=v\r\n";
      answers_.push_back(hop < kMaxRedirects
                             ? Answer("302 Found", head + "Location: /hop/" + std::to_string(hop + 1) + "\r\n", "")
                             : Answer("200 OK", head + "Content-Type: text/html\r\n", "<html>form</html>"));
    }
  }
  std::string URL(const std::string& path) const { return server_.URL(path); }

 private:
  std::string Route(const std::string& request) const {
    if (request.starts_with("POST /form ")) return Answer("200 OK", "Content-Type: text/html\r\n", "<html>sent</html>");
    if (!request.starts_with("GET /hop/")) return Answer("404 Not Found", "", "");
    return answers_.at(std::stoul(request.substr(9)));
  }

  std::vector<std::string> answers_;
  RawServer server_{Replying([this](const std::string& request) { return Route(request); })};
};

void BM_CookieFloodSend(benchmark::State& state) {
  Bench();
  Options->WriteBool("Send\\LogSend", false);
  static CookieFloodSite flood;
  static const bool imported = [] {
    FakeGateSpec gate;
    gate.name = "CookieFlood";
    gate.info = {{"MaxSymbols", "160"}, {"MaxUnicodeSymbols", "70"}};
    gate.params = {{"PageURL", flood.URL("/hop/0")}, {"posturl", flood.URL("/form")},
                   {"postdata", "text=1"}, {"success", "eval(Html.ExistsStr('sent'))"}};
    return gate.Import();
  }();
  if (!imported) std::abort();
  Time(state, "flood", [] {
    auto sms = std::make_unique<TSMS>();
    sms->SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
    sms->SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
    sms->SetItemNamed(MsgKey::Text, Variant::String("x"));
    THeadlessSendView view;
    int status = -1;
    TSendDisp::SetAfterSendHook([&](const std::string&, TSMS&, uint8_t result, const std::string&) { status = result; });
    TSendDisp::Send(*sms, "CookieFlood", view);
    return status == ssSent;
  });
}

// The same four requests, bodies and headers through the client alone.
void BM_BareClient(benchmark::State& state) {
  SendBench& bench = Bench();
  const std::string body = "token=T42&phone=9161234567&text=%CF%F0%E8%E2%E5%F2%2C%20%EC%E8%F0&code=7391";
  Time(state, "bare", [&] {
    TMyHTTPSend client;
    client.Protocol = "1.1";
    client.UserAgent = kBrowserUserAgent;
    client.KeepAlive = true;
    auto request = [&](const std::string& method, const std::string& path, const std::string& referer) {
      client.ResetHeaders();
      if (!referer.empty()) client.Headers.push_back("Referer: " + referer);
      if (method == "POST") {
        client.Document = body;
        client.MimeType = "application/x-www-form-urlencoded";
      }
      return client.HTTPMethod(method, bench.site.URL(path)) && client.ResultCode == 200;
    };
    return request("GET", "/form", "") && request("GET", "/captcha.png", bench.site.URL("/form")) &&
           request("POST", "/send", bench.site.URL("/form")) &&
           request("GET", "/status?id=77", bench.site.URL("/send"));
  });
}

// The file system's part of the log: the files one logged send leaves,
// deleted and written again as the next send does.
void BM_LogFilesOnly(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path folder = ProfileDir + "Log/HTTP";
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string bytes;
    TryReadFile(entry.path().string(), 1 << 20, bytes);
    files.emplace_back(entry.path().string(), bytes);
  }
  state.counters["files"] = static_cast<double>(files.size());
  Time(state, "files", [&] {
    for (const auto& [path, bytes] : files) fs::remove(path);
    for (const auto& [path, bytes] : files) WriteNewFile(path, bytes);
    return true;
  });
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  InitHTTPLibrary();
  Bench();
  for (auto [name, function] : {std::pair{"BM_BareClient_4Requests", &BM_BareClient},
                                {"BM_WholeSend_4Requests", &BM_WholeSend},
                                {"BM_WholeSendLogged_4Requests", &BM_WholeSendLogged},
                                {"BM_LogFilesOnly", &BM_LogFilesOnly}})
    benchmark::RegisterBenchmark(name, function)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kSends);
  benchmark::RegisterBenchmark("BM_CookieFloodSend_11Answers", &BM_CookieFloodSend)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (const double flood = MedianMs("flood"); flood > 0)
    std::printf("\nA send through ten redirects, each answer setting %d new cookies, median of 5: %.1f ms "
                "(target < 2000 ms)\n",
                CookieFloodSite::kCookiesPerAnswer, flood);
  const double bare = MedianMs("bare"), send = MedianMs("send"), logged = MedianMs("logged");
  if (bare == 0 || send == 0 || logged == 0) return 1;
  std::printf("\nOne send of four requests, median of %d: bare client %.2f ms; whole send %.2f ms, adding %.2f ms; "
              "with the send log %.2f ms, adding %.2f ms (target < 5 ms), of which deleting and writing the log's "
              "files takes the file system %.2f ms alone\n",
              kSends, bare, send, send - bare, logged, logged - bare, MedianMs("files"));
  return 0;
}
