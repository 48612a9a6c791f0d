// The HTTP log: its folder, the proxy lines of info.txt, and the files of
// requests and answers as a real client writes them.
#include "httplogger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "datetime.h"
#include "files.h"
#include "gates/httptestenv.h"
#include "gates/rawserver.h"
#include "httpsend.h"

namespace {

namespace fs = std::filesystem;

class HttpLoggerTest : public ::testing::Test {
 protected:
  HttpProfile env;
  TProgramVersion savedVersion = ProgramVersion;

  void SetUp() override {
    ProgramVersion.FileVersion = "1.2.3.45";
    ProgramVersion.GatesVersion = 17;
  }
  void TearDown() override { ProgramVersion = savedVersion; }

  std::string Folder() const { return ProfileDir + "Log/HTTP/"; }
  std::string Read(const std::string& name) const {
    std::string text;
    EXPECT_TRUE(TryReadFile(Folder() + name, 1 << 20, text)) << name;
    return text;
  }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder())) names.insert(entry.path().filename().string());
    return names;
  }
  std::unique_ptr<THTTPLogger> Started() {
    auto logger = TSendLogger::Create<THTTPLogger>("Gate v.2");
    logger->Start();
    return logger;
  }
  // The text before the "CurTime: " line, checking the line's form.
  static std::string WithoutTime(const std::string& text) {
    size_t at = text.rfind("CurTime: ");
    EXPECT_NE(at, std::string::npos);
    std::string time = text.substr(at);
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(CurTime: \d\d \d\d \d{4} \d\d:\d\d:\d\d:\d{3})"))) << time;
    int year = DecodeDateTime(Now()).year;
    EXPECT_NE(time.find(" " + std::to_string(year) + " "), std::string::npos) << time;
    return text.substr(0, at);
  }
};

TEST_F(HttpLoggerTest, InfoCarriesTheProxyLinesWithTheMaskedPassword) {
  env.SetProxy("HTTP", "proxy.lan", "3128", "user", "secret");
  auto logger = Started();
  EXPECT_EQ(logger->GetFolder(), Folder());
  std::string info = Read("info.txt");
  EXPECT_TRUE(info.starts_with("Parlomix v.1.2.3.45\r\nGates v.17\r\nGate: Gate v.2\r\n")) << info;
  EXPECT_EQ(info.find("\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(info.ends_with("\r\nProxyMethod: HTTP\r\nProxyHost: proxy.lan\r\nProxyPort: 3128\r\n"
                             "ProxyUser: user\r\nProxyPass: ********\r\n"))
      << info;
  EXPECT_EQ(info.find("secret"), std::string::npos);
}

TEST_F(HttpLoggerTest, InfoWithoutAuthenticationAndForTheSystemSetting) {
  env.SetProxy("SOCKS5", "socks.lan", "1080");
  Started();
  EXPECT_TRUE(Read("info.txt").ends_with("\r\nProxyMethod: SOCKS5\r\nProxyHost: socks.lan\r\nProxyPort: 1080\r\n"));
  env.SetProxy("IE", "ignored", "1");
  env.SetEnv("http_proxy", "http://sys.lan:8080/");
  Started();
  EXPECT_TRUE(Read("info.txt").ends_with("\r\nProxyMethod: IE\r\nProxyHost: sys.lan\r\nProxyPort: 8080\r\n"));
}

TEST_F(HttpLoggerTest, AGetAndItsAnswer) {
  RawServer server(Replying([](const std::string&) {
    return Answer("200 OK", "Content-Type: text/html; charset=windows-1251\r\nSet-Cookie: k=v; path=/\r\n", "<p>hi</p>");
  }));
  auto logger = Started();
  TMyHTTPSend client;
  MakeGateClient(client);
  client.Logger = logger.get();
  client.ResetHeaders();
  client.Headers.push_back("Referer: http://r/");
  client.Cookies = {"a=1"};
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/p q")));
  EXPECT_EQ(Files(), (std::set<std::string>{"info.txt", "01_GET_s_1h.txt", "02_GET_r_1h.txt", "02_GET_r_2c.htm"}));
  EXPECT_EQ(WithoutTime(Read("01_GET_s_1h.txt")),
            "GET " + server.URL("/p%20q") + " HTTP 1.1\r\n" + kDefaults + "Referer: http://r/\r\nCookies:\r\na=1\r\n");
  EXPECT_EQ(WithoutTime(Read("02_GET_r_1h.txt")),
            "Content-Type: text/html; charset=windows-1251\r\nSet-Cookie: k=v; path=/\r\nContent-Length: 9\r\n"
            "Cookies:\r\na=1\r\nk=v\r\n");
  EXPECT_EQ(Read("02_GET_r_2c.htm"), "<p>hi</p>");
  EXPECT_EQ(logger->Counter, 3);
}

TEST_F(HttpLoggerTest, APostFollowedByARedirectNumbersEveryFile) {
  RawServer server(Replying([](const std::string& request) {
    if (request.starts_with("POST")) return Answer("302 Found", "Location: /done\r\n", "");
    return Answer("200 OK", "Content-Type: image/png\r\n", "PNG");
  }));
  auto logger = Started();
  TMyHTTPSend client;
  client.Logger = logger.get();
  client.HandleRedirects = true;
  client.MimeType = "application/x-www-form-urlencoded";
  client.Document = "a=1&b=2";
  ASSERT_TRUE(client.HTTPMethod("POST", server.URL("/send")));
  EXPECT_EQ(Files(), (std::set<std::string>{"info.txt", "01_POST_s_1h.txt", "01_POST_s_2c.txt", "02_POST_r_1h.txt",
                                            "03_GET_s_1h.txt", "04_GET_r_1h.txt", "04_GET_r_2c.png"}));
  EXPECT_EQ(Read("01_POST_s_2c.txt"), "a=1&b=2");
  EXPECT_TRUE(Read("01_POST_s_1h.txt").starts_with("POST " + server.URL("/send") + " HTTP 1.0\r\nCookies:\r\n"));
  EXPECT_TRUE(Read("03_GET_s_1h.txt").starts_with("GET " + server.URL("/done") + " HTTP 1.0\r\n" + kDefaults));
}

TEST_F(HttpLoggerTest, ASendsLogStopsAtItsCapWithALineThatSaysSo) {
  RawServer server(Replying([](const std::string&) {
    return Answer("302 Found", "Location: /loop\r\nContent-Type: text/html\r\n", std::string(20000, 'x'));
  }));
  auto logger = Started();
  logger->MaxLogSize = 64 << 10;
  TMyHTTPSend client;
  client.Logger = logger.get();
  client.HandleRedirects = true;
  client.HTTPMethod("GET", server.URL("/loop"));
  const std::set<std::string> files = Files();
  uint64_t total = 0;
  for (const std::string& name : files) total += name == "info.txt" ? 0 : fs::file_size(Folder() + name);
  EXPECT_LE(total, logger->MaxLogSize);
  EXPECT_EQ(Read("02_GET_r_2c.htm"), std::string(20000, 'x')) << "what fits is kept whole";
  // The numbered files sort before info.txt, the last of them last.
  EXPECT_TRUE(Read(*std::prev(files.find("info.txt"))).ends_with("nothing more of this send is logged. ---\r\n"));
}

TEST_F(HttpLoggerTest, BodyFileExtensions) {
  EXPECT_EQ(LogFileExtension("image/jpeg"), ".jpg");
  EXPECT_EQ(LogFileExtension("IMAGE/PJPEG"), ".jpg");
  EXPECT_EQ(LogFileExtension("image/jpg"), ".jpg");
  EXPECT_EQ(LogFileExtension("image/gif"), ".gif");
  EXPECT_EQ(LogFileExtension("image/png; q=1"), ".png");
  EXPECT_EQ(LogFileExtension("Text/HTML; charset=utf-8"), ".htm");
  EXPECT_EQ(LogFileExtension("application/x-www-form-urlencoded"), ".txt");
  EXPECT_EQ(LogFileExtension(""), ".txt");
}

TEST_F(HttpLoggerTest, ALogThatCannotBeWrittenDoesNotFailTheRequest) {
  RawServer server(Replying([](const std::string&) { return Answer("200 OK", "", "sent"); }));
  auto logger = Started();
  fs::remove_all(Folder());
  WriteNewFile(ProfileDir + "Log/HTTP", "a file where the folder was");
  TMyHTTPSend client;
  client.Logger = logger.get();
  client.Document = "text=hello";
  testing::internal::CaptureStderr();
  bool ok = client.HTTPMethod("POST", server.URL("/send"));
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ok);
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.Document, "sent");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(errors.find("HTTP log not written"), std::string::npos) << errors;
}

TEST_F(HttpLoggerTest, AMethodThatIsNotLettersNeverNamesAFile) {
  auto logger = Started();
  TMyHTTPSend client;
  EXPECT_THROW(logger->LogRequest(client, "../../x", false), EFileError);
  EXPECT_FALSE(client.HTTPMethod("../x", "http://127.0.0.1:1/"));
  EXPECT_EQ(Files(), std::set<std::string>{"info.txt"});
  EXPECT_FALSE(fs::exists(ProfileDir + "Log/x_s_1h.txt"));
  EXPECT_EQ(logger->Counter, 1);
}

}  // namespace
