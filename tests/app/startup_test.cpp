// The program binary itself: start-up step 1 and its failure path.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

struct ProgramRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

// Runs parlomix with exactly the environment given.
ProgramRun RunProgram(const std::vector<std::string>& env) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  char program[] = PARLOMIX_BINARY;
  char* argv[] = {program, nullptr};
  pid_t pid;
  ProgramRun run;
  if (posix_spawn(&pid, program, &actions, nullptr, argv, envp.data()) != 0) return run;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::array<char, 4096> buf;
  ssize_t n;
  while ((n = read(pipeFds[0], buf.data(), buf.size())) > 0) run.output.append(buf.data(), n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

TEST(Startup, FindsItsFoldersAndCreatesTheProfile) {
  TempDir dir;
  ProgramRun run = RunProgram({"HOME=" + dir.Path().string(), "ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::string profile = dir.File(".local/share/Parlomix") + "/";
  EXPECT_NE(run.output.find("profile: " + profile), std::string::npos) << run.output;
  EXPECT_TRUE(std::filesystem::is_directory(profile));
}

TEST(Startup, AProfileThatCannotBeCreatedEndsWithExitCode1) {
  // Nobody, root included, can make folders under /proc.
  ProgramRun run = RunProgram({"APPDATA=/proc/parlomix-test", "ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("Ошибка: Невозможно инициализировать настройки"), std::string::npos) << run.output;
}

}  // namespace
