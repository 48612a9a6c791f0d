// A small TCP server on 127.0.0.1 for tests that need the exact bytes of a
// request or answers no HTTP library would give (resets, stalls, endless
// bodies). Each connection runs the test's handler on a thread of its own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// One accepted connection.
class RawConnection {
 public:
  explicit RawConnection(int fd) : fd_(fd) {}

  // Reads one request: the header up to the empty line and as many body bytes
  // as its Content-Length says. Empty when the peer closed first.
  std::string ReadRequest() {
    size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
      if (!Fill()) return {};
    size_t total = end + 4 + ContentLength(std::string_view(buffer_).substr(0, end));
    while (buffer_.size() < total)
      if (!Fill()) return {};
    std::string request = buffer_.substr(0, total);
    buffer_.erase(0, total);
    return request;
  }
  // Sends all bytes; false when the peer is gone.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }
  // The connection ends with a TCP reset instead of an orderly close when
  // the handler returns; call it last.
  void Reset() {
    linger hard{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  // Waits until the client closes or the server stops.
  void WaitForClose() {
    while (Fill()) buffer_.clear();
  }
 private:
  bool Fill() {
    char chunk[4096];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
  }
  static size_t ContentLength(std::string_view header) {
    for (size_t at = 0; (at = header.find("\r\n", at)) != std::string_view::npos;) {
      at += 2;
      std::string_view line = header.substr(at, header.find("\r\n", at) - at);
      if (line.size() > 15 && strncasecmp(line.data(), "Content-Length:", 15) == 0)
        return std::strtoul(std::string(line.substr(15)).c_str(), nullptr, 10);
    }
    return 0;
  }

  int fd_;
  std::string buffer_;
};

class RawServer {
 public:
  using Handler = std::function<void(RawServer&, RawConnection&)>;

  explicit RawServer(Handler handler) : handler_(std::move(handler)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listen_, 64) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~RawServer() {
    stopping_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    acceptor_.join();
    ::close(listen_);
    {
      std::lock_guard lock(mutex_);
      for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& worker : workers_) worker.join();
  }
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return port_; }
  std::string URL(const std::string& path = "/") const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Every request a handler read through Read, in order.
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  int Connections() const { return connections_.load(); }
  // Reads a request and records it for Requests.
  std::string Read(RawConnection& connection) {
    std::string request = connection.ReadRequest();
    if (!request.empty()) {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    return request;
  }
  bool Stopping() const { return stopping_.load(); }

 private:
  void AcceptLoop() {
    for (;;) {
      int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      if (stopping_) {
        ::close(fd);
        return;
      }
      ++connections_;
      std::lock_guard lock(mutex_);
      open_.push_back(fd);
      workers_.emplace_back([this, fd] {
        RawConnection connection(fd);
        handler_(*this, connection);
        std::lock_guard inner(mutex_);
        std::erase(open_, fd);
        ::close(fd);
      });
    }
  }

  Handler handler_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<int> open_;
  std::vector<std::thread> workers_;
  std::vector<std::string> requests_;
};

// A handler that answers every request of a connection with answer(request)
// until the client closes.
inline RawServer::Handler Replying(std::function<std::string(const std::string&)> answer) {
  return [answer](RawServer& server, RawConnection& connection) {
    for (std::string request; !(request = server.Read(connection)).empty();)
      if (!connection.Send(answer(request))) return;
  };
}

// An answer with a Content-Length.
inline std::string Answer(const std::string& status, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A piece of an url-encoded form, "%XX" and "+" decoded to bytes.
inline std::string FormDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i] == '+' ? ' ' : s[i];
    }
  }
  return out;
}

// A test data file with "{SITE}" replaced by a server's address.
inline std::string FileForSite(const std::string& path, const std::string& site) {
  std::ifstream in(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  const std::string marker = "{SITE}";
  for (size_t at; (at = text.find(marker)) != std::string::npos;) text.replace(at, marker.size(), site);
  return text;
}
