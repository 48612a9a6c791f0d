// Proxies: the options and the system setting the client takes them from, the
// bytes a plain request puts on an HTTP proxy, and real tinyproxy and
// microsocks started by the tests.
#include <gtest/gtest.h>


#include "gates/childprocess.h"
#include "gates/httptestenv.h"
#include "gates/rawserver.h"
#include "gates/tlsserver.h"
#include "httpsend.h"

namespace {

std::string Ok(const std::string& body = "ok") { return Answer("200 OK", "Content-Type: text/html\r\n", body); }

std::string Fields(const TMyHTTPSend& c) {
  const char* socks[] = {"-", "4", "5"};
  return c.ProxyHost + "|" + c.ProxyPort + "|" + c.ProxyUser + "|" + c.ProxyPass + "|" + c.ProxyBypass + "|" +
         socks[static_cast<int>(c.SocksType)] + "|" + c.SocksIP + "|" + c.SocksPort + "|" + c.SocksUsername + "|" +
         c.SocksPassword;
}

class ProxyTest : public ::testing::Test {
 protected:
  HttpProfile env;
};

TEST_F(ProxyTest, OptionsChooseTheProxy) {
  env.SetProxy("HTTP", "proxy.lan", "3128", "user", "secret");
  EXPECT_EQ(Fields(TMyHTTPSend()), "proxy.lan|3128|user|secret||-||||");
  env.SetProxy("http", "proxy.lan", "3128");
  EXPECT_EQ(Fields(TMyHTTPSend()), "proxy.lan|3128||||-||||");
  env.SetProxy("SOCKS5", "socks.lan", "1080", "u", "p");
  EXPECT_EQ(Fields(TMyHTTPSend()), "|||||5|socks.lan|1080|u|p");
  env.SetProxy("socks4", "socks.lan", "1081");
  EXPECT_EQ(Fields(TMyHTTPSend()), "|||||4|socks.lan|1081||");
  for (const char* mode : {"", "DIRECT", "HTTPS", "socks"}) {
    env.SetProxy(mode, "proxy.lan", "3128", "user", "secret");
    EXPECT_EQ(Fields(TMyHTTPSend()), "|||||-||||") << mode;
  }
}

TEST_F(ProxyTest, IeModeTakesTheEnvironmentWithoutCredentials) {
  env.SetProxy("IE", "ignored", "1", "user", "secret");
  EXPECT_EQ(Fields(TMyHTTPSend()), "|||||-||||");
  env.SetEnv("http_proxy", "http://who:pw@proxy.lan:8080/");
  env.SetEnv("no_proxy", "localhost,.corp");
  EXPECT_EQ(Fields(TMyHTTPSend()), "proxy.lan|8080|||localhost,.corp|-||||");
  env.SetProxy("ie");
  EXPECT_EQ(TMyHTTPSend().ProxyHost, "proxy.lan");
}

TEST_F(ProxyTest, TheProxyIsFixedWhenTheClientIsMade) {
  env.SetProxy("HTTP", "first", "1");
  TMyHTTPSend client;
  env.SetProxy("HTTP", "second", "2");
  EXPECT_EQ(client.ProxyHost, "first");
  EXPECT_EQ(TMyHTTPSend().ProxyHost, "second");
}

TEST_F(ProxyTest, APlainRequestGoesToAnHttpProxyWithTheFullUrlAndCredentials) {
  RawServer proxy(Replying([](const std::string&) { return Ok(); }));
  env.SetProxy("HTTP", "127.0.0.1", std::to_string(proxy.Port()), "us er", "pa:ss");
  TMyHTTPSend client;
  client.UserAgent = "A";
  ASSERT_TRUE(client.HTTPMethod("GET", "http://gate.example/x?y=1"));
  ASSERT_TRUE(client.HTTPMethod("GET", "http://gate.example:8080/"));
  auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0],
            "GET http://gate.example/x?y=1 HTTP/1.0\r\n"
            "Host: gate.example\r\n"
            "Proxy-Authorization: Basic dXMgZXI6cGE6c3M=\r\n"
            "Connection: close\r\n"
            "User-Agent: A\r\n\r\n");
  EXPECT_TRUE(requests[1].starts_with("GET http://gate.example:8080/ HTTP/1.0\r\nHost: gate.example:8080\r\n"));
}

TEST_F(ProxyTest, AProxyThatRefusesTheCredentialsIsASocketError) {
  RawServer proxy(Replying([](const std::string&) {
    return Answer("407 Proxy Authentication Required", "Proxy-Authenticate: Basic realm=\"p\"\r\n", "no");
  }));
  env.SetProxy("HTTP", "127.0.0.1", std::to_string(proxy.Port()), "user", "wrong");
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", "http://gate.example/"));
  EXPECT_EQ(client.LastError(), 10013);
  EXPECT_EQ(client.LastErrorDesc(), "Proxy authentication failed");
}

TEST_F(ProxyTest, TheSystemSettingIsUsedAndItsBypassListHonoured) {
  RawServer proxy(Replying([](const std::string&) { return Ok("via proxy"); }));
  RawServer server(Replying([](const std::string&) { return Ok("direct"); }));
  env.SetProxy("IE");
  env.SetEnv("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.Port()));
  TMyHTTPSend viaProxy;
  ASSERT_TRUE(viaProxy.HTTPMethod("GET", server.URL("/a")));
  EXPECT_EQ(viaProxy.Document, "via proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_TRUE(proxy.Requests()[0].starts_with("GET " + server.URL("/a") + " HTTP/1.0\r\n"));

  env.SetEnv("no_proxy", "localhost,127.0.0.1");
  TMyHTTPSend bypassing;
  ASSERT_TRUE(bypassing.HTTPMethod("GET", server.URL("/b")));
  EXPECT_EQ(bypassing.Document, "direct");
  EXPECT_TRUE(server.Requests().at(0).starts_with("GET /b HTTP/1.0\r\n"));
}

TEST_F(ProxyTest, OtherModesIgnoreTheEnvironment) {
  RawServer proxy(Replying([](const std::string&) { return Ok("via proxy"); }));
  RawServer server(Replying([](const std::string&) { return Ok("direct"); }));
  env.SetEnv("http_proxy", "http://127.0.0.1:" + std::to_string(server.Port()));
  env.SetEnv("no_proxy", "*");
  env.SetProxy("HTTP", "127.0.0.1", std::to_string(proxy.Port()));
  TMyHTTPSend configured;
  ASSERT_TRUE(configured.HTTPMethod("GET", "http://gate.example/"));
  EXPECT_EQ(configured.Document, "via proxy");
  env.SetEnv("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.Port()));
  env.SetProxy("");
  TMyHTTPSend direct;
  ASSERT_TRUE(direct.HTTPMethod("GET", server.URL("/d")));
  EXPECT_EQ(direct.Document, "direct");
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

// A real proxy on a free port that asks for user "user" and password "secret".
class RealProxyTest : public ProxyTest {
 protected:
  void Launch(const std::vector<std::string>& argv) {
    proxy_ = std::make_unique<ChildProcess>(argv, port_);
    ASSERT_TRUE(proxy_->Running()) << argv[0] << " did not start (make deps installs it)";
  }
  void Use(const std::string& mode, const std::string& password) {
    env.SetProxy(mode, "127.0.0.1", std::to_string(port_), "user", password);
  }

  int port_ = FreePort();
  std::unique_ptr<ChildProcess> proxy_;
};

class TinyproxyTest : public RealProxyTest {
 protected:
  void SetUp() override {
    Launch(TinyproxyCommand(config_.File("tinyproxy.conf"), port_));
  }
  void Use(const std::string& password) { RealProxyTest::Use("HTTP", password); }

  TempDir config_;
};

TEST_F(TinyproxyTest, APlainRequestReachesTheServerThroughTheProxy) {
  RawServer server(Replying([](const std::string&) { return Ok("hello"); }));
  Use("secret");
  TMyHTTPSend client;
  MakeGateClient(client);
  client.ResetHeaders();
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/through?x=1"))) << client.LastErrorDesc();
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.Document, "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  std::string request = server.Requests()[0];
  EXPECT_TRUE(request.starts_with("GET /through?x=1 HTTP/1.")) << request;
  EXPECT_NE(request.find("(tinyproxy/"), std::string::npos) << request;
  EXPECT_EQ(request.find("Proxy-Authorization"), std::string::npos) << request;
}

TEST_F(TinyproxyTest, AWrongPasswordNeverReachesTheServer) {
  RawServer server(Replying([](const std::string&) { return Ok("hello"); }));
  Use("wrong");
  TMyHTTPSend client;
  client.HTTPMethod("GET", server.URL("/through"));
  // This tinyproxy answers a plain request it refuses with 401, which no
  // client can tell from the server's own; only a 407 is the proxy's for sure.
  EXPECT_NE(client.ResultCode, 200);
  EXPECT_NE(client.Document, "hello");
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(TinyproxyTest, TlsIsTunnelledWithTheCredentials) {
  TlsServer server;
  ASSERT_TRUE(server.Valid());
  Use("secret");
  TMyHTTPSend client;
  MakeGateClient(client);
  client.CAFile = TestData("tls/ca.pem");
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL())) << client.LastErrorDesc();
  EXPECT_EQ(client.Document, "secure");
}

TEST_F(TinyproxyTest, ARefusedTunnelIsASocketError) {
  TlsServer server;
  ASSERT_TRUE(server.Valid());
  Use("wrong");
  TMyHTTPSend client;
  client.CAFile = TestData("tls/ca.pem");
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL()));
  EXPECT_EQ(client.LastError(), 10013) << client.LastErrorDesc();
  EXPECT_NE(client.Document, "secure");
}

class MicrosocksTest : public RealProxyTest {
 protected:
  void SetUp() override {
    Launch({"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port_), "-u", "user", "-P", "secret"});
  }
  void Use(const std::string& password) { RealProxyTest::Use("SOCKS5", password); }
};

TEST_F(MicrosocksTest, ARequestReachesTheServerThroughSocks5) {
  RawServer server(Replying([](const std::string&) { return Ok("hello"); }));
  Use("secret");
  TMyHTTPSend client;
  client.UserAgent = "A";
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL("/socks"))) << client.LastErrorDesc();
  EXPECT_EQ(client.Document, "hello");
  EXPECT_EQ(server.Requests().at(0), "GET /socks HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                                         "\r\nConnection: close\r\nUser-Agent: A\r\n\r\n");
}

TEST_F(MicrosocksTest, TlsGoesThroughSocks5Too) {
  TlsServer server;
  ASSERT_TRUE(server.Valid());
  Use("secret");
  TMyHTTPSend client;
  client.CAFile = TestData("tls/ca.pem");
  ASSERT_TRUE(client.HTTPMethod("GET", server.URL())) << client.LastErrorDesc();
  EXPECT_EQ(client.Document, "secure");
}

TEST_F(MicrosocksTest, AWrongPasswordIsASocketError) {
  RawServer server(Replying([](const std::string&) { return Ok("hello"); }));
  Use("wrong");
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/socks")));
  EXPECT_EQ(client.LastError(), 10013) << client.LastErrorDesc();
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(MicrosocksTest, AProxyThatIsGoneIsRefused) {
  RawServer server(Replying([](const std::string&) { return Ok("hello"); }));
  env.SetProxy("SOCKS5", "127.0.0.1", std::to_string(FreePort()), "user", "secret");
  TMyHTTPSend client;
  EXPECT_FALSE(client.HTTPMethod("GET", server.URL("/")));
  EXPECT_EQ(client.LastError(), 10061);
  EXPECT_EQ(server.Connections(), 0);
}

}  // namespace
