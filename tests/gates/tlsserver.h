// An HTTPS server of the test on 127.0.0.1 with a certificate of the test's
// own CA (data/tls: ca.pem signed server.pem for 127.0.0.1 and localhost,
// valid 2000 to 2100). GET /hello answers "secure".
#pragma once

#include <httplib.h>

#include <chrono>
#include <string>
#include <thread>

#include "gates/httptestenv.h"

class TlsServer {
 public:
  TlsServer() : server_(TestData("tls/server.pem").c_str(), TestData("tls/server.key").c_str()) {
    if (!server_.is_valid()) return;  // the certificate files are missing
    server_.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("secure", "text/plain"); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 1000 && !server_.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~TlsServer() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;

  bool Valid() const { return server_.is_running(); }
  int Port() const { return port_; }
  std::string URL() const { return "https://127.0.0.1:" + std::to_string(port_) + "/hello"; }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
};
