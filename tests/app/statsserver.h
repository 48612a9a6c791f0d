// A statistics server on 127.0.0.1 for the tests of the weekly upload.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Records each post and answers as the test says.
class StatsServer {
 public:
  struct Post {
    std::string body, contentType, userAgent;
  };
  int status = 200;
  std::string answer = "OK";
  std::chrono::milliseconds delay{0};

  StatsServer() {
    server_.Post("/poststats/", [this](const httplib::Request& request, httplib::Response& response) {
      {
        std::lock_guard guard(lock_);
        posts_.push_back({request.body, request.get_header_value("Content-Type"), request.get_header_value("User-Agent")});
      }
      // A slow answer, cut short when the test is over.
      for (auto end = std::chrono::steady_clock::now() + delay; !closing_ && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      response.status = status;
      response.set_content(answer, "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~StatsServer() {
    closing_ = true;
    server_.stop();
    thread_.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/poststats/"; }
  std::vector<Post> Posts() {
    std::lock_guard guard(lock_);
    return posts_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> closing_{false};
  std::mutex lock_;
  std::vector<Post> posts_;
};
