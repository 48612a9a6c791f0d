// Corners of the HTTP client, its log, the send log with its archive and the
// gate import that the other tests leave open: the whole line order of a
// request through a proxy, redirect status bounds and answers without a
// target, pages without a path or without a scheme as redirect bases, the
// log of a request that got no answer, every field of the archive's records,
// the zone lines of a log's header, and 64-bit versions and take-overs of the
// import.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>

#include "core/fresh_database.h"
#include "files.h"
#include "gates/childprocess.h"
#include "gates/httptestenv.h"
#include "gates/import_support.h"
#include "gates/rawserver.h"
#include "gates/ziptools.h"
#include "httplogger.h"
#include "httpsend.h"
#include "httpurl.h"
#include "sendlogger.h"
#include "zipfile.h"

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The request on the wire

TEST(AuditRequest, EveryLineInItsOrderThroughAnHttpProxy) {
  HttpProfile env;
  RawServer proxy(Replying([](const std::string&) { return Answer("200 OK", "", "ok"); }));
  env.SetProxy("HTTP", "127.0.0.1", std::to_string(proxy.Port()), "u", "p");
  TMyHTTPSend client;
  client.UserAgent = "A";
  client.ResetHeaders();
  client.Headers.push_back("Referer: http://r/");
  client.Cookies = {"a=1", "b=2"};
  client.MimeType = "application/x-www-form-urlencoded";
  client.Document = "q=1";
  // The default port is named neither on the Host line nor in the full URL,
  // even when the gate's URL names it.
  ASSERT_TRUE(client.HTTPMethod("POST", "http://gate.example:80/send"));
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            "POST http://gate.example/send HTTP/1.0\r\n"
            "Host: gate.example\r\n"
            "Proxy-Authorization: Basic dTpw\r\n"
            "Connection: close\r\n"
            "Cookie: a=1; b=2\r\n"
            "User-Agent: A\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 3\r\n" +
                kDefaults + "Referer: http://r/\r\n\r\nq=1");
}

// ---------------------------------------------------------------------------
// Redirects

TEST(AuditRedirect, OnlyA3xxAnswerWithATargetIsFollowed) {
  struct Case {
    const char* status;
    const char* location;  // the header line, or nothing
    size_t requests;
    int resultCode;
  };
  const Case cases[] = {
      {"299 Odd", "Location: /next\r\n", 1, 299},
      {"300 Multiple Choices", "Location: /next\r\n", 2, 200},
      {"399 Odd", "Location: /next\r\n", 2, 200},
      {"400 Bad Request", "Location: /next\r\n", 1, 400},
      // Without a target the steps count, nothing is sent and the answer stands.
      {"302 Found", "", 1, 302},
      {"302 Found", "Location:   \r\n", 1, 302},
  };
  for (const Case& c : cases) {
    RawServer server(Replying([&c](const std::string& request) {
      if (request.starts_with("GET /next ")) return Answer("200 OK", "", "next");
      return Answer(c.status, c.location, "first");
    }));
    TMyHTTPSend client;
    client.HandleRedirects = true;
    EXPECT_TRUE(client.HTTPMethod("GET", server.URL("/start"))) << c.status << c.location;
    EXPECT_EQ(server.Requests().size(), c.requests) << c.status << c.location;
    EXPECT_EQ(client.ResultCode, c.resultCode) << c.status << c.location;
    EXPECT_EQ(client.Document, c.requests == 1 ? "first" : "next") << c.status << c.location;
  }
}

TEST(AuditRedirect, APageWithAQueryButNoPathIsTheHostsRoot) {
  EXPECT_EQ(ResolveRelativeURL("http://h?a=1/2", "c"), "http://h/c");
  EXPECT_EQ(ResolveRelativeURL("http://h#top", "c/d"), "http://h/c/d");
  EXPECT_EQ(ResolveRelativeURL("http://h?a=1", "?b=2"), "http://h?b=2");
  EXPECT_EQ(ResolveRelativeURL("http://h?a=1", "../c"), "http://h/c");
}

TEST(AuditRedirect, ABaseWithoutSchemeIsPlainHttpAndKeepsItsPageForAQuery) {
  EXPECT_EQ(ResolveRelativeURL("host/a/b.php?x=1", "?y=2"), "host/a/b.php?y=2");
  EXPECT_EQ(ResolveRelativeURL("host/a/b.php", "?y=2"), "host/a/b.php?y=2");
  // Other relative targets of such a base stay as they are.
  EXPECT_EQ(ResolveRelativeURL("host/a/b.php?x=1", "/c"), "/c");

  // A gate's address without "http://" is a plain HTTP one; its query
  // redirect reaches the same page.
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("GET /a/b.php?x=1 ")) return Answer("302 Found", "Location: ?y=2\r\n", "");
    return Answer("200 OK", "", "second");
  }));
  TMyHTTPSend client;
  client.HandleRedirects = true;
  EXPECT_TRUE(client.HTTPMethod("GET", "127.0.0.1:" + std::to_string(server.Port()) + "/a/b.php?x=1"));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(server.Requests()[1].starts_with("GET /a/b.php?y=2 HTTP/1.0\r\n")) << server.Requests()[1];
  EXPECT_EQ(client.Document, "second");
}

// ---------------------------------------------------------------------------
// The HTTP log

TEST(AuditHttpLog, ARequestWithoutAnswerIsLoggedBothWays) {
  HttpProfile env;
  auto logger = TSendLogger::Create<THTTPLogger>("G v.1");
  logger->Start();
  TMyHTTPSend client;
  client.Logger = logger.get();
  client.Cookies = {"k=v"};
  client.Document = "body";
  client.MimeType = "text/plain";
  const std::string url = "http://127.0.0.1:" + std::to_string(FreePort()) + "/x";
  EXPECT_FALSE(client.HTTPMethod("POST", url));
  EXPECT_EQ(client.LastError(), 10061);
  const std::string folder = ProfileDir + "Log/HTTP/";
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"info.txt", "01_POST_s_1h.txt", "01_POST_s_2c.txt", "02_POST_r_1h.txt"}));
  std::string answer;
  ASSERT_TRUE(TryReadFile(folder + "02_POST_r_1h.txt", 1 << 16, answer));
  EXPECT_TRUE(answer.starts_with("Cookies:\r\nk=v\r\nCurTime: ")) << answer;
  EXPECT_EQ(answer.find('\n', answer.find("CurTime: ")), std::string::npos);
  EXPECT_EQ(logger->Counter, 3);
}

// ---------------------------------------------------------------------------
// The send log's header and archive

// Restores the time zone of the process when a test ends.
class ZoneGuard {
 public:
  ZoneGuard() : had_(std::getenv("TZ") != nullptr), saved_(had_ ? std::getenv("TZ") : "") {}
  ~ZoneGuard() {
    if (had_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  ZoneGuard(const ZoneGuard&) = delete;
  ZoneGuard& operator=(const ZoneGuard&) = delete;

 private:
  bool had_;
  std::string saved_;
};

TEST(AuditSendLog, TheZoneLinesAtZeroAndDuringDaylightSaving) {
  HttpProfile env;
  ZoneGuard zone;
  const std::pair<const char*, const char*> zones[] = {
      {"UTC0", "\r\nTimeZone: +0000\r\nTimeZoneBias: 0\r\nTimeZoneDaylight: False"},
      // Three hours east, four with daylight saving, which this rule keeps in
      // effect all the year round.
      {"XST-3XDT,J1/-167,J365/167", "\r\nTimeZone: +0400\r\nTimeZoneBias: 240\r\nTimeZoneDaylight: True"},
  };
  auto logger = TSendLogger::Create("G");
  for (const auto& [rule, lines] : zones) {
    setenv("TZ", rule, 1);
    logger->Start();
    std::string info;
    ASSERT_TRUE(TryReadFile(ProfileDir + "Log/info.txt", 1 << 16, info));
    EXPECT_TRUE(info.ends_with(lines)) << rule << "\n" << info;
  }
}

// `data` deflated by zlib at level 6, without the zlib header and trailer.
std::string ZlibBodyAtLevel6(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                      static_cast<uLong>(data.size()), 6),
            Z_OK);
  return out.substr(2, size - 6);
}

TEST(AuditZip, EveryFieldOfTheThreeRecords) {
  const std::pair<std::string, std::string> files[] = {
      {"01_GET_s_1h.txt", "GET http://h/ HTTP 1.1\r\nCookies:\r\nCurTime: 01 02 2026 03:04:05:006"},
      {"info.txt", std::string(3000, 'x') + "Parlomix"},
  };
  TZipFile zip;
  for (const auto& [name, data] : files) zip.SetData(zip.AddFile(name, 0), data);
  std::string out;
  zip.SaveToStream(out);

  size_t at = 0;
  std::vector<std::string> locals;
  for (const auto& [name, data] : files) {
    std::string body = ZlibBodyAtLevel6(data);
    EXPECT_EQ(ZipRead32(out, at), 0x04034B50u);
    EXPECT_EQ(ZipRead16(out, at + 4), 20u);
    EXPECT_EQ(ZipRead16(out, at + 6), 0u);
    EXPECT_EQ(ZipRead16(out, at + 8), 8u);
    EXPECT_EQ(ZipRead32(out, at + 14), crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    EXPECT_EQ(ZipRead32(out, at + 18), body.size());
    EXPECT_EQ(ZipRead32(out, at + 22), data.size());
    EXPECT_EQ(ZipRead16(out, at + 26), name.size());
    EXPECT_EQ(ZipRead16(out, at + 28), 0u);
    EXPECT_EQ(out.substr(at + 30, name.size()), name);
    EXPECT_EQ(out.substr(at + 30 + name.size(), body.size()), body) << name;
    locals.push_back(out.substr(at + 4, 24));
    at += 30 + name.size() + body.size();
  }
  const size_t centralStart = at;
  for (size_t i = 0; i < 2; ++i) {
    const std::string& name = files[i].first;
    EXPECT_EQ(ZipRead32(out, at), 0x02014B50u);
    EXPECT_EQ(ZipRead16(out, at + 4), 20u);  // made by
    EXPECT_EQ(out.substr(at + 6, 24), locals[i]);
    EXPECT_EQ(ZipRead16(out, at + 30), 0u);  // extra field
    EXPECT_EQ(ZipRead16(out, at + 32), 0u);  // comment
    EXPECT_EQ(ZipRead16(out, at + 34), 0u);  // disk
    EXPECT_EQ(ZipRead16(out, at + 36), 0u);  // internal attributes
    EXPECT_EQ(ZipRead32(out, at + 38), 0u);  // external attributes
    EXPECT_EQ(ZipRead32(out, at + 42), i == 0 ? 0u : 30 + files[0].first.size() + ZipRead32(out, 18));
    EXPECT_EQ(out.substr(at + 46, name.size()), name);
    at += 46 + name.size();
  }
  ASSERT_EQ(out.size(), at + 22);
  EXPECT_EQ(ZipRead32(out, at), 0x06054B50u);
  EXPECT_EQ(ZipRead16(out, at + 4), 0u);
  EXPECT_EQ(ZipRead16(out, at + 6), 0u);
  EXPECT_EQ(ZipRead16(out, at + 8), 2u);
  EXPECT_EQ(ZipRead16(out, at + 10), 2u);
  EXPECT_EQ(ZipRead32(out, at + 12), at - centralStart);
  EXPECT_EQ(ZipRead32(out, at + 16), centralStart);
  EXPECT_EQ(ZipRead16(out, at + 20), 0u);
}

// ---------------------------------------------------------------------------
// Gate import

class AuditImport : public ImportDatabase {
 protected:
  GateXml Gate(const std::string& name, const std::string& version, const std::string& caption) {
    GateXml gate;
    gate.name = name;
    gate.version = version;
    gate.caption = caption;
    return gate;
  }
};

TEST_F(AuditImport, VersionsCompareAsSixtyFourBitNumbers) {
  ASSERT_TRUE(Import(Gate("G", "4294967296", "big")));
  // Cut to 32 bits the stored version would read as 0 and lose to anything.
  EXPECT_TRUE(Import(Gate("G", "4294967295", "smaller")));
  EXPECT_TRUE(Import(Gate("G", "1", "one")));
  EXPECT_EQ(Text("SELECT Caption FROM Gate"), "big");
  EXPECT_TRUE(Import(Gate("G", "+4294967297", "bigger")));
  EXPECT_EQ(Text("SELECT Caption FROM Gate"), "bigger");
  EXPECT_TRUE(failures.empty());
}

TEST_F(AuditImport, TakeOverNeedsTheDeleteActionButNoStoredGate) {
  for (const char* gate : {"Gone", "Gone"}) {
    db().AddParamText(":Gate", gate);
    db().ExecSQL("INSERT INTO History (DATETIME, GateName, Phone) VALUES (1, :Gate, '7916')");
  }
  // Without "delete" the attribute means nothing: the gate is imported.
  GateXml kept = Gate("Gone", "1", "kept");
  kept.attributes = "replacegate=\"New\"";
  ASSERT_TRUE(Import(kept));
  EXPECT_EQ(Rows("SELECT DISTINCT GateName FROM History"), "Gone;");
  EXPECT_EQ(Text("SELECT Caption FROM Gate"), "kept");

  GateXml removal = Gate("Gone", "1", "");
  removal.attributes = "action=\"delete\" replacegate=\"New &amp; Better\"";
  ASSERT_TRUE(Import(removal));
  // A second removal finds no gate, and still succeeds.
  ASSERT_TRUE(Import(removal));
  EXPECT_EQ(Rows("SELECT DISTINCT GateName FROM History"), "New & Better;");
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
  EXPECT_TRUE(failures.empty());
}

}  // namespace
