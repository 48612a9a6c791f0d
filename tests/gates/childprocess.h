// Real proxies for the tests: a program started as a child process on a free
// port of 127.0.0.1 and ended with the test.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

// A port nobody listens on at the moment of asking.
inline int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

inline bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

class ChildProcess {
 public:
  // Starts the program and waits up to five seconds until it accepts
  // connections on port; Running() tells whether it came up.
  ChildProcess(const std::vector<std::string>& argv, int port) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // The proxies' own logging would only clutter the test output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    int failed = posix_spawnp(&pid_, args[0], &quiet, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (failed != 0) {
      pid_ = -1;
      return;
    }
    for (int i = 0; i < 100 && !up_; ++i) {
      up_ = Accepts(port);
      if (!up_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~ChildProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Running() const { return pid_ > 0 && up_; }

 private:
  pid_t pid_ = -1;
  bool up_ = false;
};

// The command line of a tinyproxy on `port` of 127.0.0.1 that asks for user
// "user" and password "secret"; its configuration is written to `configFile`.
inline std::vector<std::string> TinyproxyCommand(const std::string& configFile, int port) {
  std::ofstream(configFile) << "Port " << port << "\nListen 127.0.0.1\nTimeout 10\n"
                            << "MaxClients 16\nAllow 127.0.0.1\nBasicAuth user secret\n"
                            << "LogLevel Critical\n";
  return {"tinyproxy", "-d", "-c", configFile};
}
