// Runs tools/pxsend as a program: its exit code and both output streams.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct ToolRun {
  int exitCode = -1;
  std::string out, err;
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Runs pxsend with `args`, `input` on its standard input. A run silent for
// `silenceMs` hangs, and is killed (exit code -1) rather than waited on.
inline ToolRun RunPxsend(const std::vector<std::string>& args, const std::string& input = "", int silenceMs = 60000) {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[1], out[0], err[0]}) posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> argv = {PXSEND};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& arg : argv) raw.push_back(arg.data());
  raw.push_back(nullptr);
  pid_t pid = -1;
  ToolRun run;
  const int failed = posix_spawn(&pid, PXSEND, &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {in[0], out[1], err[1]}) close(fd);
  if (failed) return run;
  if (!input.empty() && write(in[1], input.data(), input.size()) < 0) ADD_FAILURE() << "stdin";
  close(in[1]);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&run.out, &run.err};
  for (int open = 2; open > 0;) {
    if (poll(fds, 2, silenceMs) <= 0) {
      kill(pid, SIGKILL);
      for (pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char chunk[4096];
      const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        sinks[i]->append(chunk, static_cast<size_t>(n));
        continue;
      }
      close(fds[i].fd);
      fds[i].fd = -1;
      --open;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// What pxsend prints for a send through a gate with a captcha, a delivery
// check that confirms delivery and a completion step.
inline std::vector<std::string> DeliveredSendLines(const std::string& gateName) {
  return {
      "gate: " + gateName,
      "step 0 phase 0: Инициализация",
      "step 0 phase 1: Инициализация",
      "step 1 phase 0: Загрузка картинки с кодом",
      "step 1 phase 1: Ожидание ввода кода",
      "step 2 phase 0: Отправка сообщения",
      "step 2 phase 1: Отправка сообщения",
      "step 3 phase 0: Проверка статуса доставки",
      "step 3 phase 1: Проверка статуса доставки",
      "step 4 phase 0: Завершение",
      "step 4 phase 1: Сообщение отправлено и доставлено",
      "result: status=1 error=0 text=",
  };
}
