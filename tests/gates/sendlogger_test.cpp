#include "sendlogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "cp1251.h"
#include "files.h"
#include "gates/ziptools.h"
#include "options.h"

namespace {

// A log with a folder of its own below the base one, as the HTTP log has.
class TSubLogger : public TSendLogger {
 public:
  TSubLogger(TConstructKey key, std::string gateName, std::string extra)
      : TSendLogger(key, std::move(gateName)), extra_(std::move(extra)) {}
  std::string GetFolder() const override { return TSendLogger::GetFolder() + "Sub/"; }
  void Start() override {
    TSendLogger::Start();
    AppendToInfo("\r\n" + extra_);
  }

 private:
  std::string extra_;
};

class SendLoggerTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string savedProfile = ProfileDir;
  TProgramVersion savedVersion = ProgramVersion;
  std::string savedTZ = std::getenv("TZ") ? std::getenv("TZ") : "";
  bool hadTZ = std::getenv("TZ") != nullptr;

  void SetUp() override {
    ProfileDir = dir.File("profile") + "/";
    ProgramVersion.FileVersion = "1.2.3.45";
    ProgramVersion.GatesVersion = 17;
  }
  void TearDown() override {
    ProfileDir = savedProfile;
    ProgramVersion = savedVersion;
    if (hadTZ)
      setenv("TZ", savedTZ.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::string Log(const std::string& name) { return dir.Read("profile/Log/" + name); }
};

TEST_F(SendLoggerTest, CreatingMakesTheFolderWithItsParents) {
  auto logger = TSendLogger::Create("Gate v.3");
  EXPECT_EQ(logger->GetFolder(), ProfileDir + "Log/");
  EXPECT_TRUE(std::filesystem::is_directory(ProfileDir + "Log"));
  EXPECT_EQ(logger->GateName, "Gate v.3");
  EXPECT_EQ(logger->Counter, 0);
}

TEST_F(SendLoggerTest, ASubclassFolderAppliesFromCreationOn) {
  auto logger = TSendLogger::Create<TSubLogger>("G", "ProxyMethod: HTTP");
  EXPECT_TRUE(std::filesystem::is_directory(ProfileDir + "Log/Sub"));
  logger->Start();
  EXPECT_EQ(dir.Read("profile/Log/Sub/info.txt").substr(0, 15), "Parlomix v.1.2.");
  EXPECT_NE(dir.Read("profile/Log/Sub/info.txt").find("\r\nTimeZoneDaylight: False\r\nProxyMethod: HTTP"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(ProfileDir + "Log/info.txt"));
}

TEST_F(SendLoggerTest, AFolderThatCannotBeMadeRaises) {
  dir.Write("profile", "a file where the folder should be");
  EXPECT_THROW(TSendLogger::Create("G"), EFileError);
}

TEST_F(SendLoggerTest, StartEmptiesTheFolderAndWritesTheHeaderLineByLine) {
  setenv("TZ", "MSK-3", 1);
  auto logger = TSendLogger::Create("МТС v.2"_cp);
  dir.Write("profile/Log/01_GET_s_1h.txt", "old");
  dir.Write("profile/Log/sub/kept.txt", "kept");
  logger->Counter = 7;
  logger->Start();
  EXPECT_EQ(logger->Counter, 1);
  EXPECT_EQ(Log("info.txt"),
            "Parlomix v.1.2.3.45\r\nGates v.17\r\nGate: МТС v.2\r\nTimeZone: +0300\r\nTimeZoneBias: 180\r\n"
            "TimeZoneDaylight: False"_cp);
  EXPECT_FALSE(std::filesystem::exists(ProfileDir + "Log/01_GET_s_1h.txt"));
  EXPECT_EQ(Log("sub/kept.txt"), "kept");

  setenv("TZ", "<-0330>3:30", 1);
  logger->Start();
  EXPECT_NE(Log("info.txt").find("\r\nTimeZone: -0330\r\nTimeZoneBias: -210\r\n"), std::string::npos);
}

TEST_F(SendLoggerTest, CounterTextHasAtLeastTwoDigits) {
  auto logger = TSendLogger::Create("G");
  const std::pair<int, const char*> cases[] = {{1, "01"}, {9, "09"}, {10, "10"}, {100, "100"}, {123, "123"}};
  for (auto [counter, text] : cases) {
    logger->Counter = counter;
    EXPECT_EQ(logger->CounterText(), text);
  }
  logger->Counter = 9;
  logger->IncCounter();
  EXPECT_EQ(logger->CounterText(), "10");
}

TEST_F(SendLoggerTest, SaveToZipPacksTheFolderForStandardTools) {
  auto logger = TSendLogger::Create("G");
  std::string empty;
  EXPECT_TRUE(logger->SaveToZip(empty));
  EXPECT_EQ(empty.size(), 22u);

  logger->Start();
  dir.Write("profile/Log/01_GET_s_1h.txt", "GET http://example.test/ HTTP 1.1");
  dir.Write("profile/Log/sub/skipped.txt", "x");
  // Larger than the per-file cap: left out without being read.
  {
    std::string big = ProfileDir + "Log/03_GET_r_2c.htm";
    WriteNewFile(big, "");
    std::filesystem::resize_file(big, (16u << 20) + 1);
  }
  std::string zip;
  EXPECT_TRUE(logger->SaveToZip(zip));
  auto names = CheckWithZipTools(dir, zip);
  EXPECT_EQ(names, (std::vector<std::string>{"01_GET_s_1h.txt", "info.txt"}));
  EXPECT_EQ(dir.Read("out/info.txt"), Log("info.txt"));
}

TEST(ProxyPassword, IsMaskedWithoutTellingItsLength) {
  EXPECT_EQ(ProxyPasswordMask(""), "");
  EXPECT_EQ(ProxyPasswordMask("a"), ProxyPasswordMask("a much longer secret"));
  EXPECT_EQ(ProxyPasswordMask("secret").find_first_not_of('*'), std::string::npos);
  EXPECT_EQ(ProxyPasswordLine("secret"), "ProxyPass: " + ProxyPasswordMask("secret") + "\r\n");
  EXPECT_EQ(ProxyPasswordLine("secret").find("secret"), std::string::npos);
}

}  // namespace
