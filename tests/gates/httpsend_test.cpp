// The HTTP client against servers of the test on 127.0.0.1: the bytes it puts
// on the wire, cookies, redirects, failures and their socket errors, limits,
// streaming downloads and TLS.
#include "httpsend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "gates/childprocess.h"
#include "gates/httptestenv.h"
#include "gates/rawserver.h"
#include "gates/tlsserver.h"
#include "gatelimits.h"
#include "scopeexit.h"

namespace {

using namespace std::chrono_literals;

std::string Ok(const std::string& body = "ok", const std::string& headers = "Content-Type: text/html\r\n") {
  return Answer("200 OK", headers, body);
}

// Sends a body until the client gives up, with the head given.
void Endless(RawServer& server, RawConnection& connection, const char* head) {
  server.Read(connection);
  if (!connection.Send(head)) return;
  std::string chunk(1 << 20, 'x');
  while (!server.Stopping() && connection.Send(chunk)) {
  }
}

// Announces a gigabyte and sends until the client gives up.
void EndlessBody(RawServer& server, RawConnection& connection) {
  Endless(server, connection, "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\n\r\n");
}

// The same without a size: the body ends only with the connection.
void EndlessUnannouncedBody(RawServer& server, RawConnection& connection) {
  Endless(server, connection, "HTTP/1.0 200 OK\r\n\r\n");
}

// A whole answer, one byte of the body every 100 ms: never a stall.
void DrippingBody(RawServer& server, RawConnection& connection) {
  server.Read(connection);
  if (!connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n")) return;
  for (int i = 0; i < 100 && !server.Stopping() && connection.Send("x"); ++i)
    std::this_thread::sleep_for(100ms);
}

// Sends the start of a body and then nothing.
void StalledBody(RawServer& server, RawConnection& connection) {
  server.Read(connection);
  connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab");
  connection.WaitForClose();
}

class HttpSendTest : public ::testing::Test {
 protected:
  HttpProfile env;

  std::string HostOf(const RawServer& server) { return "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"; }
  static double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
  }
};

TEST_F(HttpSendTest, AFreshClientHasTheBaseDefaults) {
  TMyHTTPSend client;
  EXPECT_EQ(client.Protocol, "1.0");
  EXPECT_FALSE(client.HandleRedirects);
  EXPECT_FALSE(client.KeepAlive);
  EXPECT_EQ(client.MimeType, "text/html");
  EXPECT_TRUE(client.Headers.empty());
  client.Document = "x";
  client.Cookies = {"a=1"};
  client.MimeType = "image/gif";
  client.ResetHeaders();
  EXPECT_EQ(client.Document, "");
  EXPECT_EQ(client.MimeType, "text/html");
  EXPECT_EQ(client.Cookies, std::vector<std::string>{"a=1"});
  ASSERT_EQ(client.Headers.size(), 5u);
  EXPECT_EQ(client.Headers[3], "Pragma: no-cache");
}

TEST_F(HttpSendTest, GateGetGoesOutLineForLine) {
  RawServer server(Replying([](const std::string&) { return Ok(); }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.ResetHeaders();
  client.Headers.push_back("Referer: http://r.example/page");
  client.Cookies = {"a=1", "b=2"};
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/p/./q/../r?x=1")));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "GET /p/./q/../r?x=1 HTTP/1.1\r\n" + HostOf(server) +
                                      "Cookie: a=1; b=2\r\n"
                                      "User-Agent: " + std::string(kBrowserUserAgent) + "\r\n" + kDefaults +
                                      "Referer: http://r.example/page\r\n\r\n");
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.Document, "ok");
}

TEST_F(HttpSendTest, PostWithBodyAndEmptyRefererOnAFreshClient) {
  RawServer server(Replying([](const std::string&) { return Ok(); }));
  TMyHTTPSend client;
  client.UserAgent = "Agent";
  client.ResetHeaders();
  client.Headers.push_back("Referer: ");
  client.MimeType = "application/x-www-form-urlencoded";
  client.Document = "b=1&c=2";
  ASSERT_TRUE(client.HTTPMethod("POST", server.URL("/form")));
  EXPECT_EQ(server.Requests().at(0), "POST /form HTTP/1.0\r\n" + HostOf(server) +
                                         "Connection: close\r\n"
                                         "User-Agent: Agent\r\n"
                                         "Content-Type: application/x-www-form-urlencoded\r\n"
                                         "Content-Length: 7\r\n" +
                                         kDefaults + "Referer:\r\n\r\nb=1&c=2");
}

TEST_F(HttpSendTest, EmptyPostCarriesNoContentLines) {
  RawServer server(Replying([](const std::string&) { return Ok(); }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.UserAgent = "A";
  ASSERT_TRUE(client.HTTPMethod("POST", server.URL("/e")));
  EXPECT_EQ(server.Requests().at(0), "POST /e HTTP/1.1\r\n" + HostOf(server) + "User-Agent: A\r\n\r\n");
}

TEST_F(HttpSendTest, OtherMethodsAndHead) {
  RawServer server(Replying([](const std::string& request) {
    return request.starts_with("HEAD") ? std::string("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n") : Ok();
  }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.UserAgent = "A";
  ASSERT_TRUE(client.HTTPMethod("HEAD", server.URL("/h")));
  EXPECT_EQ(client.Document, "");
  EXPECT_EQ(client.DownloadSize, 10);
  client.Headers.clear();
  client.Document = "{}";
  client.MimeType = "application/json";
  ASSERT_TRUE(client.HTTPMethod("PUT", server.URL("/u")));
  client.Clear();
  ASSERT_TRUE(client.HTTPMethod("DELETE", server.URL("/d")));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[0].starts_with("HEAD /h HTTP/1.1\r\n"));
  EXPECT_TRUE(requests[1].starts_with("PUT /u HTTP/1.1\r\n"));
  EXPECT_TRUE(requests[1].ends_with("Content-Type: application/json\r\nContent-Length: 2\r\n\r\n{}"));
  EXPECT_EQ(requests[2], "DELETE /d HTTP/1.1\r\n" + HostOf(server) + "User-Agent: A\r\n\r\n");
}

TEST_F(HttpSendTest, TextFromScriptsCannotStartALineOfItsOwn) {
  RawServer server(Replying([](const std::string&) { return Ok(); }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.UserAgent = "A\r\nX-Agent: 1";
  client.Headers = {"Referer: http://r/\r\nX-Referer: 2", "X-Custom: v\n\nGET /smuggled HTTP/1.1"};
  client.Cookies = {"s\r\nX-Cookie: 3=v"};
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/")));
  std::string request = server.Requests().at(0);
  EXPECT_EQ(request, "GET / HTTP/1.1\r\n" + HostOf(server) +
                         "Cookie: s  X-Cookie: 3=v\r\n"
                         "User-Agent: A  X-Agent: 1\r\n"
                         "Referer: http://r/  X-Referer: 2\r\n"
                         "X-Custom: v  GET /smuggled HTTP/1.1\r\n\r\n");
}

TEST_F(HttpSendTest, MethodsOtherThanLettersAreRefusedUnsent) {
  RawServer server(Replying([](const std::string&) { return Ok(); }));
  TMyHTTPSend client;
  for (const char* method : {"GET /x HTTP/1.0\r\n", "../../etc", "", "G3T"}) {
    EXPECT_FALSE(client.HTTPMethod(method, server.URL("/")));
    EXPECT_EQ(client.LastError(), 10022);
    EXPECT_EQ(client.ResultCode, 500);
  }
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(HttpSendTest, OnlyHttpAndHttpsAreSpoken) {
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", "ftp://127.0.0.1/file"));
  EXPECT_EQ(client.LastError(), 10043);
  EXPECT_EQ(client.LastErrorDesc(), "Protocol not supported");
  EXPECT_FALSE(client.HTTPMethod("GET", "http://127.0.0.1:99999/"));
  EXPECT_EQ(client.LastError(), 10022);
}

TEST_F(HttpSendTest, AnswerHeadersAreTheFinalBlockOnly) {
  RawServer server([](RawServer& s, RawConnection& c) {
    s.Read(c);
    c.Send("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" +
           Answer("201 Created", "X-Final: 2\r\nContent-Type: text/plain; charset=windows-1251\r\n", "done"));
  });
  TMyHTTPSend client;
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.ResultCode, 201);
  EXPECT_EQ(client.Headers, (std::vector<std::string>{"X-Final: 2", "Content-Type: text/plain; charset=windows-1251",
                                                      "Content-Length: 4"}));
  EXPECT_EQ(client.MimeType, "text/plain; charset=windows-1251");
  EXPECT_EQ(client.Document, "done");
}

TEST_F(HttpSendTest, CookiesAreKeptReplacedAndRemovedAcrossRequests) {
  int n = 0;
  RawServer server(Replying([&n](const std::string&) {
    const char* cookies[] = {"Set-Cookie: sid=1; path=/\r\nSet-Cookie: lang=ru\r\n",
                             "Set-Cookie: SID=2; HttpOnly\r\nSet-Cookie: new=3\r\n",
                             "Set-Cookie: lang=; expires=Thu, 01 Jan 1970 00:00:00 GMT\r\n", ""};
    return Ok("ok", cookies[std::min(n++, 3)]);
  }));
  TMyHTTPSend client;
  MakeGateClient(client);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/c")));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nCookie: sid=1; lang=ru\r\n"), std::string::npos);
  EXPECT_NE(requests[2].find("\r\nCookie: SID=2; lang=ru; new=3\r\n"), std::string::npos);
  EXPECT_NE(requests[3].find("\r\nCookie: SID=2; new=3\r\n"), std::string::npos);
}

TEST_F(HttpSendTest, RedirectedGetCarriesTheDefaultsAndCookiesOnly) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("POST"))
      return Answer("302 Found", "Content-Location: /elsewhere\r\nLocation: /next\r\nSet-Cookie: s=9\r\n", "");
    return Ok("final");
  }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.UserAgent = "A";
  client.HandleRedirects = true;
  client.ResetHeaders();
  client.Headers.push_back("Referer: http://r/");
  client.MimeType = "application/x-www-form-urlencoded";
  client.Document = "q=1";
  ASSERT_TRUE(client.HTTPMethod("POST", server.URL("/a/b.php?x=1")));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1], "GET /next HTTP/1.1\r\n" + HostOf(server) + "Cookie: s=9\r\nUser-Agent: A\r\n" + kDefaults +
                             "\r\n");
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.Document, "final");
  EXPECT_EQ(client.CurrentURL, server.URL("/next"));
}

TEST_F(HttpSendTest, RedirectTargetsResolveKeepSlashesAndAreNotEscapedTwice) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET /a/b.php")) return Answer("302 Found", "Location: d/\r\n", "");
    if (request.starts_with("GET /a/d/ ")) return Answer("301 Moved", "location:  /x%41y z\r\n", "");
    return Ok();
  }));
  TMyHTTPSend client;
  client.HandleRedirects = true;
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/a/b.php?x=1")));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[1].starts_with("GET /a/d/ HTTP/1.0\r\n"));
  EXPECT_TRUE(requests[2].starts_with("GET /x%41y%20z HTTP/1.0\r\n"));
  // The URL a gate gives is escaped whole.
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/v%41")));
  EXPECT_TRUE(server.Requests().back().starts_with("GET /v%2541 HTTP/1.0\r\n"));
}

TEST_F(HttpSendTest, ARedirectLoopEndsAfterTenRedirects) {
  RawServer server(Replying([](const std::string&) { return Answer("302 Found", "Location: /loop\r\n", "moved"); }));
  TMyHTTPSend client;
  MakeGateClient(client);
  client.HandleRedirects = true;
  EXPECT_TRUE(client.HTTPMethod("GET", server.URL("/start")));
  EXPECT_EQ(server.Requests().size(), 1u + kMaxRedirects);
  EXPECT_EQ(client.ResultCode, 302);
  EXPECT_EQ(client.Document, "moved");
}

TEST_F(HttpSendTest, WithoutHandleRedirectsA302StandsAsItIs) {
  RawServer server(Replying([](const std::string&) { return Answer("302 Found", "Location: /next\r\n", ""); }));
  TMyHTTPSend client;
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.ResultCode, 302);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpSendTest, RedirectsLeaveForHttpAndHttpsOnly) {
  RawServer server(Replying([](const std::string&) { return Answer("302 Found", "Location: file:///etc/passwd\r\n", ""); }));
  TMyHTTPSend client;
  client.HandleRedirects = true;
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 10043);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpSendTest, ARefusedPortIsSocketError10061) {
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", "http://127.0.0.1:" + std::to_string(FreePort()) + "/"));
  EXPECT_EQ(std::to_string(client.LastError()) + ": " + client.LastErrorDesc(), "10061: Connection refused");
  EXPECT_EQ(client.ResultCode, 500);
}

TEST_F(HttpSendTest, AResetAfterTheAnswerCountsAsSuccess) {
  RawServer server([](RawServer& s, RawConnection& c) {
    s.Read(c);
    c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: k=v\r\n\r\n<p>partial");
    std::this_thread::sleep_for(200ms);
    c.Reset();
  });
  TMyHTTPSend client;
  EXPECT_TRUE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.LastErrorDesc(), "");
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.Document, "<p>partial");
  EXPECT_EQ(client.Cookies, std::vector<std::string>{"k=v"});
}

TEST_F(HttpSendTest, AnEarlyCloseInsideTheBodyCountsAsSuccessToo) {
  RawServer server([](RawServer& s, RawConnection& c) {
    s.Read(c);
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf");
  });
  TMyHTTPSend client;
  EXPECT_TRUE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.Document, "half");
  EXPECT_EQ(client.DownloadSize, 100);
}

TEST_F(HttpSendTest, AServerThatClosesWithoutAnswerLeaves500) {
  RawServer server([](RawServer& s, RawConnection& c) { s.Read(c); });
  TMyHTTPSend client;
  client.HTTPMethod("GET", server.URL("/"));
  EXPECT_EQ(client.ResultCode, 500);
  EXPECT_TRUE(client.Headers.empty());
}

TEST_F(HttpSendTest, AHugeBodyIsCutAtItsCap) {
  RawServer server(EndlessBody);
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 10055);
  EXPECT_LE(client.Document.size(), kMaxBodyInMemory);
}

TEST_F(HttpSendTest, AStalledServerTimesOut) {
  RawServer server(StalledBody);
  TMyHTTPSend client;
  client.StallTimeoutSec = 1;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 10060);
  EXPECT_LT(Seconds(start), 10.0);
  EXPECT_EQ(client.StallTimeoutSec, 1);
  EXPECT_EQ(TMyHTTPSend().StallTimeoutSec, kStallTimeoutSec);
  // A server that drips ten bytes a second is stalled to a client that asks
  // for a hundred.
  RawServer dripping(DrippingBody);
  client.StallBytesPerSec = 100;
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.HTTPMethod("GET", dripping.URL("/")));
  EXPECT_EQ(client.LastError(), 10060);
  EXPECT_LT(Seconds(start), 5.0);
}

TEST_F(HttpSendTest, ADrippingServerEndsAtTheOverallLimitRedirectsIncluded) {
  EXPECT_EQ(TMyHTTPSend().TransferTimeoutMs, kTransferTimeoutMs);
  RawServer dripping(DrippingBody);
  // Each answer in time, but ten of them are not.
  RawServer slowRedirects(Replying([](const std::string&) {
    std::this_thread::sleep_for(400ms);
    return Answer("302 Found", "Location: /again\r\n", "");
  }));
  for (RawServer* server : {&dripping, &slowRedirects}) {
    TMyHTTPSend client;
    client.HandleRedirects = true;
    client.TransferTimeoutMs = 1500;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.HTTPMethod("GET", server->URL("/")));
    EXPECT_EQ(client.LastError(), 10060);
    EXPECT_LT(Seconds(start), 3.0);
  }
}

TEST_F(HttpSendTest, StopEndsATransferAtOnce) {
  RawServer server(StalledBody);
  TMyHTTPSend client;
  std::thread stopper([&client] {
    std::this_thread::sleep_for(300ms);
    client.Stop();
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  stopper.join();
  EXPECT_EQ(client.LastError(), 10053);
  // Not a second later, when curl would look at its progress callback again.
  EXPECT_LT(Seconds(start), 0.8);
  // The client goes on serving requests afterwards.
  RawServer answering(Replying([](const std::string&) { return Answer("200 OK", "", "fine"); }));
  EXPECT_TRUE(client.HTTPMethod("GET", answering.URL("/")));
  EXPECT_EQ(client.Document, "fine");
}

TEST_F(HttpSendTest, QuittingEndsTransfersUnderWayAndRefusesLaterOnes) {
  RawServer server(StalledBody);
  TScopeExit allow([] { SetHTTPQuitting(false); });
  TMyHTTPSend client;
  std::thread quitter([] {
    std::this_thread::sleep_for(300ms);
    SetHTTPQuitting(true);
  });
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  quitter.join();
  EXPECT_EQ(client.LastError(), 10053);
  EXPECT_LT(Seconds(start), 2.5) << "seen by the progress callback within a second";
  TMyHTTPSend later;
  EXPECT_FALSE(later.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(later.LastError(), 10053);
  EXPECT_EQ(server.Requests().size(), 1u) << "nothing goes out once the program quits";
  SetHTTPQuitting(false);
  RawServer answering(Replying([](const std::string&) { return Answer("200 OK", "", "fine"); }));
  EXPECT_TRUE(later.HTTPMethod("GET", answering.URL("/")));
}

// Records the size of every write that reaches it.
class PieceRecorder : public std::stringbuf {
 public:
  std::vector<std::streamsize> pieces;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pieces.push_back(n);
    return std::stringbuf::xsputn(s, n);
  }
};

TEST_F(HttpSendTest, DownloadsStreamToTheTargetInPiecesAndReportProgress) {
  std::string body(200000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
  RawServer server(Replying([&body](const std::string&) {
    return Answer("200 OK", "Content-Type: application/octet-stream\r\n", body);
  }));
  PieceRecorder recorder;
  std::ostream file(&recorder);
  TMyHTTPSend client;
  client.OutputStream = &file;
  int64_t lastTotal = 0, lastReceived = 0;
  bool grew = true;
  client.OnProgress = [&](int64_t total, int64_t received) {
    grew = grew && received >= lastReceived;
    lastTotal = total;
    lastReceived = received;
  };
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/setup.exe")));
  EXPECT_EQ(recorder.str(), body);
  EXPECT_EQ(client.Document, "");
  EXPECT_EQ(client.DownloadSize, 200000);
  EXPECT_EQ(lastTotal, 200000);
  EXPECT_EQ(lastReceived, 200000);
  EXPECT_TRUE(grew);
  ASSERT_GE(recorder.pieces.size(), 2u);
  for (size_t i = 0; i + 1 < recorder.pieces.size(); ++i) EXPECT_GT(recorder.pieces[i], 65536);
}

TEST_F(HttpSendTest, AStreamedDownloadIsNotBoundByTheMemoryCapButCanBeStopped) {
  RawServer server(EndlessBody);
  std::ostringstream file;
  TMyHTTPSend client;
  client.OutputStream = &file;
  // Above what the server announces, so that only the stop ends it.
  client.MaxDownloadSize = uint64_t{2} << 30;
  client.OnProgress = [&client](int64_t, int64_t received) {
    if (received > static_cast<int64_t>(kMaxBodyInMemory) + (8 << 20)) client.Stop();
  };
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 10053);
  EXPECT_GT(file.str().size(), kMaxBodyInMemory);
}

TEST_F(HttpSendTest, AStreamedDownloadOverItsCapIsRefusedOrCutThere) {
  EXPECT_EQ(TMyHTTPSend().MaxDownloadSize, kMaxDownloadSize);
  constexpr uint64_t kCap = 3 << 20;
  for (bool announced : {true, false}) {
    RawServer server(announced ? EndlessBody : EndlessUnannouncedBody);
    std::ostringstream file;
    TMyHTTPSend client;
    client.OutputStream = &file;
    client.MaxDownloadSize = kCap;
    int64_t received = 0;
    client.OnProgress = [&received](int64_t, int64_t now) { received = now; };
    EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
    EXPECT_EQ(client.LastError(), 10055) << announced;
    if (announced) {
      EXPECT_EQ(file.str().size(), 0u) << "a size over the cap is refused before anything is written";
    } else {
      EXPECT_LE(file.str().size(), kCap);
      EXPECT_GT(file.str().size(), kCap - kDownloadChunk - 1) << "written while it arrived";
    }
    EXPECT_LT(received, 2 * static_cast<int64_t>(kCap)) << announced;
  }
}

class HttpsTest : public HttpSendTest {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Valid()); }
  std::string URL() const { return server_.URL(); }

  TlsServer server_;
};

TEST_F(HttpsTest, ATrustedCertificateGivesTheAnswer) {
  TMyHTTPSend client;
  MakeGateClient(client);
  client.CAFile = TestData("tls/ca.pem");
  ASSERT_TRUE(client.HTTPMethod("GET", URL())) << client.LastErrorDesc();
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.Document, "secure");
}

TEST_F(HttpsTest, AnUntrustedCertificateIsASocketErrorNeverASuccess) {
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", URL()));
  EXPECT_EQ(client.LastError(), 12045);
  EXPECT_TRUE(client.LastErrorDesc().starts_with("TLS certificate not trusted (")) << client.LastErrorDesc();
  EXPECT_EQ(client.ResultCode, 500);
  EXPECT_EQ(client.Document, "");
  // Back to the system's store after a CA file was used.
  client.CAFile = TestData("tls/ca.pem");
  EXPECT_TRUE(client.HTTPMethod("GET", URL()));
  client.CAFile.clear();
  EXPECT_FALSE(client.HTTPMethod("GET", URL()));
  EXPECT_EQ(client.LastError(), 12045);
}

TEST_F(HttpSendTest, TlsToAPlainServerIsAHandshakeFailure) {
  RawServer server([](RawServer&, RawConnection& c) {
    c.Send(Ok());
    c.WaitForClose();
  });
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", "https://127.0.0.1:" + std::to_string(server.Port()) + "/"));
  EXPECT_EQ(client.LastError(), 12157) << client.LastErrorDesc();
}

}  // namespace
