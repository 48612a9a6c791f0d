// The program binary itself, started as a user would start it: its exit
// codes, one copy per user, a SIGTERM ending it in order, and a crash that
// must not block the next start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/firstrunserver.h"
#include "gates/import_support.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One run of the program, its output going to a file.
class Program {
 public:
  // `unprivileged`: run by root, the program runs in a user namespace of
  // its own, where file permissions hold for it as for any user.
  Program(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& outputFile,
          bool unprivileged = false)
      : output_(outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> argStrings = {PARLOMIX_BINARY};
    if (unprivileged && geteuid() == 0) argStrings.insert(argStrings.begin(), {"/usr/bin/unshare", "--user"});
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    for (std::string& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() {
    if (pid_ > 0 && exitCode_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // The exit code once the program has ended within `timeout`; -1 when it
  // is still running.
  int WaitExit(std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (exitCode_ < 0 && std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      std::this_thread::sleep_for(20ms);
    }
    return exitCode_;
  }
  void Signal(int sig) { kill(pid_, sig); }
  std::string Output() const {
    std::ifstream in(output_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string output_;
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

class ProgramRuns : public ::testing::Test {
 protected:
  TempDir home, runtime, logs;
  // The first start's wizard asks this server, which knows nothing newer.
  UpdateServer server;

  void SetUp() override {
    ServeProgram(server, "0.0.0.0");
    ServeGates(server, 0);
    home.Write(".local/share/Parlomix/Parlomix.ini",
               "[Update]\nURL=" + server.Url("/version.xml") + "\nGatesURL=" + server.Url("/gates.xml") +
                   "\n[Network]\nProxy=Direct\n");
  }

  std::vector<std::string> Env(const TempDir& forHome) const {
    return {"HOME=" + forHome.Path().string(), "XDG_RUNTIME_DIR=" + runtime.Path().string(),
            "QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=detect_leaks=0"};
  }
  std::string Profile(const TempDir& forHome) const { return forHome.File(".local/share/Parlomix") + "/"; }
  // A first copy that has come up, past its first-run wizard: both ini
  // files are written by then.
  std::unique_ptr<Program> StartFirst(const std::string& name = "first") {
    auto program = std::make_unique<Program>(std::vector<std::string>{}, Env(home), logs.File(name + ".log"));
    EXPECT_TRUE(program->Started());
    EXPECT_TRUE(WaitForFile(Profile(home) + "Placemnt.ini", 20s)) << program->Output();
    return program;
  }
  std::string GateCaption(const std::string& profile, const std::string& gate) {
    OpenDatabases(profile + "Parlomix.db3", profile + "Gates.db3");
    Database->AddParamText(":Name", gate);
    std::string caption = Database->GetStringValue("SELECT Caption FROM gates.Gate WHERE Name=:Name");
    CloseDatabases();
    return caption;
  }
};

TEST_F(ProgramRuns, SigtermEndsTheProgramInOrderAndKeepsTheMessage) {
  auto first = StartFirst();
  first->Signal(SIGTERM);
  EXPECT_EQ(first->WaitExit(20s), 0) << first->Output();
  std::string profile = Profile(home);
  EXPECT_TRUE(fs::exists(profile + "Parlomix.db3"));
  std::ifstream in(profile + "autosave.plmx", std::ios::binary);
  std::string saved(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(saved.find("<text>Привет. Как дела? Что делаешь? ;)</text>"), std::string::npos) << saved;
  EXPECT_FALSE(fs::exists(runtime.File("parlomix.socket"))) << "the guard is given up";
}

TEST_F(ProgramRuns, ASecondStartRaisesTheFirstAndExits0) {
  auto first = StartFirst();
  TempDir otherHome, files;
  GateXml gate;
  gate.name = "FromSecondStart";
  gate.caption = "Forwarded";
  std::string file = files.Write("a gate.xml", gate.Element());
  fs::create_directories(Profile(otherHome));
  otherHome.Write(".local/share/Parlomix/autosave.plmx", "untouched");
  Program second({"-ig\"" + file + "\""}, Env(otherHome), logs.File("second.log"));
  EXPECT_EQ(second.WaitExit(20s), 0) << second.Output();
  EXPECT_FALSE(fs::exists(Profile(otherHome) + "Parlomix.db3")) << "an early stop opens no database";
  EXPECT_EQ(otherHome.Read(".local/share/Parlomix/autosave.plmx"), "untouched");
  first->Signal(SIGTERM);
  ASSERT_EQ(first->WaitExit(20s), 0) << first->Output();
  EXPECT_EQ(GateCaption(Profile(home), "FromSecondStart"), "") << "the first copy leaves its switches alone";
}

TEST_F(ProgramRuns, ACrashedCopyDoesNotBlockTheNextStart) {
  auto crashed = StartFirst("crashed");
  crashed->Signal(SIGKILL);
  crashed->WaitExit(10s);
  ASSERT_TRUE(fs::exists(runtime.File("parlomix.lock"))) << "the lock of the dead copy is still there";
  auto next = std::make_unique<Program>(std::vector<std::string>{}, Env(home), logs.File("next.log"));
  // The lock names its holder's process first.
  auto holder = [&] {
    std::ifstream in(runtime.File("parlomix.lock"));
    pid_t pid = 0;
    in >> pid;
    return pid;
  };
  for (int attempt = 0; attempt < 200 && holder() != next->Pid(); ++attempt) std::this_thread::sleep_for(50ms);
  ASSERT_EQ(holder(), next->Pid()) << next->Output();
  // The next copy holds the guard: a later start is handed over to it and
  // ends at once.
  auto later = std::make_unique<Program>(std::vector<std::string>{}, Env(home), logs.File("later.log"));
  EXPECT_EQ(later->WaitExit(20s), 0) << later->Output();
  next->Signal(SIGTERM);
  ASSERT_EQ(next->WaitExit(20s), 0) << next->Output();
}

// A SIGTERM while the first-run wizard waits for its update check ends the
// program at once; the next start runs the first run again.
TEST_F(ProgramRuns, SigtermDuringTheFirstRunEndsTheProgram) {
  server.Set("/version.xml", {.body = ProgramDescription("0.0.0.0"), .pauseAt = 20});
  Program program({}, Env(home), logs.File("first-run.log"));
  auto end = std::chrono::steady_clock::now() + 20s;
  while (!server.Paused() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(server.Paused()) << program.Output();
  program.Signal(SIGTERM);
  int code = program.WaitExit(10s);
  server.Release();
  EXPECT_EQ(code, 0) << program.Output();
  std::ifstream in(Profile(home) + "Parlomix.ini");
  std::string options(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(options.find("FirstRunDone=TRUE"), std::string::npos) << options;
  EXPECT_FALSE(fs::exists(Profile(home) + "autosave.plmx")) << "the start stopped before the composer was filled";
}

// Qt's own options are the desktop's: "-platform" names no profile folder.
TEST_F(ProgramRuns, QtsOwnOptionsAreNoSwitches) {
  std::string strayProfile = fs::path(PARLOMIX_BINARY).parent_path().string() + "/latform";
  Program program({"-platform", "offscreen"}, Env(home), logs.File("qt-options.log"));
  bool cameUp = WaitForFile(Profile(home) + "Placemnt.ini", 20s);
  program.Signal(SIGTERM);
  EXPECT_EQ(program.WaitExit(20s), 0) << program.Output();
  EXPECT_TRUE(cameUp) << "the profile is the usual one";
  EXPECT_FALSE(fs::exists(strayProfile));
  std::error_code ignored;
  fs::remove_all(strayProfile, ignored);
}

TEST_F(ProgramRuns, AFailedStartShowsErrorAndExits1) {
  home.Write(".local/share/Parlomix/Parlomix.db3", std::string(4096, 'x'));
  Program program({}, Env(home), logs.File("failed.log"));
  EXPECT_EQ(program.WaitExit(20s), 1);
  EXPECT_NE(program.Output().find("Ошибка: "), std::string::npos) << program.Output();
}

// A profile folder named on the command line that cannot be written is
// said to be so before anything is written there.
TEST_F(ProgramRuns, AReadOnlyProfileFolderIsToldPlainly) {
  TempDir readOnly;
  fs::permissions(readOnly.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  Program program({"-p" + readOnly.Path().string()}, Env(home), logs.File("read-only.log"), true);
  EXPECT_EQ(program.WaitExit(20s), 1) << program.Output();
  EXPECT_NE(program.Output().find("Ошибка: Невозможно инициализировать настройки\nПапка профиля " +
                                  readOnly.Path().string() + "/ недоступна для записи"),
            std::string::npos)
      << program.Output();
}

TEST(Startup, AProfileThatCannotBeCreatedEndsWithExitCode1) {
  // Nobody, root included, can make folders under /proc.
  TempDir logs;
  Program program({}, {"APPDATA=/proc/parlomix-test", "ASAN_OPTIONS=detect_leaks=0"}, logs.File("out.log"));
  EXPECT_EQ(program.WaitExit(20s), 1);
  EXPECT_NE(program.Output().find("Ошибка: Невозможно инициализировать настройки"), std::string::npos)
      << program.Output();
}

}  // namespace
