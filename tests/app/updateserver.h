// An update server on 127.0.0.1 in the test's own process: the program and
// gate-list descriptions as the test sets them, and a download that can be
// made to stall until the client gives up.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

class UpdateServer {
 public:
  UpdateServer() {
    server_.Get("/version.xml", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(Get(programDescription_), "text/xml");
    });
    server_.Get("/gates.xml", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(Get(gatesDescription_), "text/xml");
    });
    server_.Get("/files/gates.xml", [this](const httplib::Request&, httplib::Response& response) {
      std::string body = Get(file_);
      if (!stall_) {
        response.set_content(body, "application/xml");
        return;
      }
      // A few bytes, then nothing until the client goes away.
      response.set_content_provider(body.size(), "application/xml",
                                    [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset == 0) return sink.write(body.data(), 16);
                                      while (!closing_ && sink.is_writable())
                                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                      return false;
                                    });
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~UpdateServer() {
    closing_ = true;
    server_.stop();
    thread_.join();
  }

  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  // A program description of `version`; "0.0.0.0" is never newer.
  void SetProgram(const std::string& version) {
    Set(programDescription_, "<update><version>" + version + "</version><url>" + Url("/download.html") +
                                 "</url><whatsnew>Новое</whatsnew><download>" + Url("/files/setup.exe") +
                                 "</download></update>");
  }
  // A gate-list description of `version` (0 is never newer) whose package
  // is `package`; `stall` keeps the download from ever ending.
  void SetGates(int version, const std::string& package = {}, bool stall = false) {
    Set(gatesDescription_, "<update><version>" + std::to_string(version) + "</version><download>" +
                               Url("/files/gates.xml") + "</download></update>");
    Set(file_, package);
    stall_ = stall;
  }

 private:
  std::string Get(const std::string& what) {
    std::lock_guard guard(lock_);
    return what;
  }
  void Set(std::string& what, const std::string& value) {
    std::lock_guard guard(lock_);
    what = value;
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> closing_{false}, stall_{false};
  std::mutex lock_;
  std::string programDescription_, gatesDescription_, file_;
};
