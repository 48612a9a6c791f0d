// An update server on 127.0.0.1 in the test's own process: it serves what
// the test puts at each path, in pieces, with or without a size, short of
// the size it announced, as a redirect, without end, or stalled half-way
// until the test lets it go on; and it records every request.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "xmldoc.h"

class UpdateServer {
 public:
  struct Resource {
    int status = 200;
    std::string body = {};
    std::string location = {};  // a redirect's target
    bool chunked = false;       // no Content-Length
    int64_t announced = -1;     // the Content-Length when not the body's size
    size_t pauseAt = std::string::npos;  // stall after this many bytes until Release
    int pieceDelayMs = 0;                // a slow server: this long before each piece
    bool endless = false;                // no size, and a body that never ends
  };
  struct Hit {
    std::string path, userAgent, pragma, cacheControl;
  };

  UpdateServer() {
    server_.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
      Resource resource;
      {
        std::lock_guard guard(lock_);
        hits_.push_back({request.path, request.get_header_value("User-Agent"), request.get_header_value("Pragma"),
                         request.get_header_value("Cache-Control")});
        auto found = resources_.find(request.path);
        if (found == resources_.end()) {
          response.status = 404;
          response.set_content("not here", "text/plain");
          return;
        }
        resource = found->second;
      }
      Serve(resource, response);
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

  void Set(const std::string& path, Resource resource) {
    std::lock_guard guard(lock_);
    resources_[path] = std::move(resource);
  }
  void Put(const std::string& path, const std::string& body) { Set(path, Resource{200, body}); }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::vector<Hit> Hits() {
    std::lock_guard guard(lock_);
    return hits_;
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const Hit& hit : Hits()) paths.push_back(hit.path);
    return paths;
  }
  // A paused answer has sent its first part and waits.
  bool Paused() const { return paused_; }
  void Release() { released_ = true; }
  // What the answers without end have sent so far.
  int64_t EndlessBytes() const { return endlessBytes_; }

 private:
  static constexpr size_t kPiece = 8192;

  void Serve(const Resource& resource, httplib::Response& response) {
    response.status = resource.status;
    if (!resource.location.empty()) response.set_header("Location", resource.location);
    auto body = std::make_shared<std::string>(resource.body);
    if (resource.endless) {
      auto piece = std::make_shared<std::string>(1 << 20, 'x');
      response.set_chunked_content_provider("application/octet-stream", [this, piece](size_t, httplib::DataSink& sink) {
        if (closing_ || !sink.write(piece->data(), piece->size())) return false;
        endlessBytes_ += piece->size();
        return true;
      });
      return;
    }
    if (resource.chunked) {
      response.set_chunked_content_provider("application/octet-stream",
                                            [body](size_t offset, httplib::DataSink& sink) {
                                              if (offset >= body->size()) {
                                                sink.done();
                                                return true;
                                              }
                                              size_t n = std::min(kPiece, body->size() - offset);
                                              return sink.write(body->data() + offset, n);
                                            });
      return;
    }
    size_t announced = resource.announced >= 0 ? static_cast<size_t>(resource.announced) : body->size();
    size_t pauseAt = resource.pauseAt;
    int delayMs = resource.pieceDelayMs;
    response.set_content_provider(
        announced, "application/octet-stream",
        [this, body, pauseAt, delayMs](size_t offset, size_t, httplib::DataSink& sink) {
          if (delayMs > 0 && !closing_) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
          if (offset >= pauseAt) {
            paused_ = true;
            while (!released_ && !closing_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (closing_) return false;
          }
          // Short of the announced size: the connection ends early.
          if (offset >= body->size()) return false;
          size_t end = std::min(body->size(), offset + kPiece);
          if (offset < pauseAt) end = std::min(end, pauseAt);
          return sink.write(body->data() + offset, end - offset);
        });
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> closing_{false}, paused_{false}, released_{false};
  std::atomic<int64_t> endlessBytes_{0};
  std::mutex lock_;
  std::map<std::string, Resource> resources_;
  std::vector<Hit> hits_;
};

// A description of the program's version.
inline std::string ProgramDescription(const std::string& version, const std::string& url = "",
                                      const std::string& whatsnew = "") {
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<parlomix><version>" + version +
         "</version><updatedate>01.03.2009</updatedate><url>" + url + "</url><whatsnew>" + whatsnew +
         "</whatsnew><download>http://127.0.0.1:1/setup.exe</download></parlomix>";
}

// A description of the gate list's version.
inline std::string GatesDescription(const std::string& version, const std::string& download, int minbuild = 0) {
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<gates><version>" + version + "</version><download>" +
         XmlEscape(download) + "</download><minbuild>" + std::to_string(minbuild) + "</minbuild></gates>";
}
