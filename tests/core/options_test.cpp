#include "options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cp1251.h"
#include "exceptions.h"
#include "support/optionsprofile.h"
#include "support/tempdir.h"
#include "support/testfifo.h"

namespace {

struct OptionsFixture : ::testing::Test, OptionsProfile {};

TEST_F(OptionsFixture, FreshProfileReadsEveryDefault) {
  const TOptions& o = *options;
  EXPECT_EQ(o.ReadString("Network\\Proxy"), "IE");
  for (const char* key : {"Interface\\CloseToTray", "Interface\\MinimizeToTray", "Interface\\AlwaysInTray",
                          "Message\\ClearOnlyText", "Message\\ClearHistoryOnExit", "Message\\ErrorMsgToHistory",
                          "Send\\LogSend", "Send\\AutoCloseDispSuccess", "General\\FirstRunDone"})
    EXPECT_FALSE(o.ReadBool(key)) << key;
  for (const char* key : {"Interface\\TrayRestoreDblClick", "Interface\\OneInstance", "Interface\\FormatPhones",
                          "Message\\ClearAfterSend", "Message\\SaveOnExit", "Message\\AddToHistory",
                          "Send\\CheckDelivery", "Update\\AutoCheckUpdate", "Update\\AutoCheckUpdateGates",
                          "Stats\\LogStats", "Stats\\SendStatsToServer"})
    EXPECT_TRUE(o.ReadBool(key)) << key;
  EXPECT_EQ(o.ReadString("Message\\SignatureDelimiter"), "\\n");
  EXPECT_EQ(o.ReadString("Message\\Signature"), "");
  EXPECT_EQ(o.ReadInteger("Message\\MaxSubjectsCount"), 30);
  EXPECT_EQ(o.ReadInteger("Message\\MaxSignaturesCount"), 30);
  EXPECT_EQ(o.ReadInteger("Message\\MaxPhoneHistoryCount"), 100);
  EXPECT_EQ(o.ReadInteger("Send\\MaxChecksDelivery"), 20);
  EXPECT_EQ(o.ReadInteger("Send\\CheckDeliveryDelay"), 1000);
  EXPECT_EQ(o.ReadInteger("Send\\CheckDeliveryDelta"), 1000);
  EXPECT_EQ(o.ReadInteger("Update\\UpdatePeriod"), 5);
  EXPECT_EQ(o.ReadString("Update\\UpdatePeriod"), "5");  // the options window reads it as text
  EXPECT_EQ(o.ReadInteger("Update\\UpdateGatesPeriod"), 5);
  const std::string update(kUpdateServer), site(kWebSite);
  EXPECT_EQ(o.ReadString("Update\\URL"), update + "/version.xml");
  EXPECT_EQ(o.ReadString("Update\\GatesURL"), update + "/gates.xml");
  EXPECT_EQ(o.ReadString("Stats\\PostURL"), update + "/poststats/");
  EXPECT_EQ(o.ReadString("General\\HelpURL"), site + "/help.html");
  EXPECT_EQ(o.ReadString("General\\HomeURL"), site);
  EXPECT_EQ(o.ReadString("General\\ForumURL"), site + "/forum.html");
  EXPECT_EQ(o.ReadString("General\\FeedbackURL"), site + "/feedback.html");
  EXPECT_NE(update, site);
  for (const std::string& url : {update, site}) EXPECT_EQ(url.rfind("http://", 0), 0u);
  // Keys without a default.
  EXPECT_EQ(o.ReadInteger("Message\\TotalMsgSent"), 0);
  EXPECT_EQ(o.ReadString("Network\\ProxyHost"), "");
  EXPECT_FALSE(o.ReadBool("Network\\ProxyAuth"));
  EXPECT_EQ(o.ReadDateTime("Stats\\LastPost"), 0.0);
  EXPECT_TRUE(o.GetDefault("Message\\TotalMsgSent").IsEmpty());
  EXPECT_EQ(o.GetDefault("send\\logsend").AsBoolean(), false);
}

TEST_F(OptionsFixture, WritesAlwaysStoreAndUseTheIniForms) {
  options->WriteBool("Interface\\OneInstance", true);
  options->WriteDateTime("Stats\\LastPost", EncodeDate(1970, 1, 1));
  options->WriteDateTime("Update\\LastUpdate", EncodeDate(2026, 12, 9) + EncodeTime(12, 0, 0));
  options->WriteInteger("Message\\TotalMsgSent", 12);
  options->WriteString("Message\\Signature", "Иван"_cp);
  ASSERT_TRUE(placement.Flush());
  std::string text = dir.Read("Parlomix.ini");
  EXPECT_NE(text.find("[Interface]\nOneInstance=TRUE\n"), std::string::npos);
  EXPECT_NE(text.find("LastPost=0\n"), std::string::npos);
  EXPECT_NE(text.find("LastUpdate=1796817600\n"), std::string::npos);
  EXPECT_NE(text.find("Signature=Иван"_cp), std::string::npos);
  EXPECT_EQ(options->ReadDateTime("Update\\LastUpdate"), EncodeDate(2026, 12, 9) + EncodeTime(12, 0, 0));
  EXPECT_EQ(options->ReadInteger("Message\\TotalMsgSent"), 12);
}

TEST_F(OptionsFixture, StoredTextThatDoesNotParseReadsAsDefault) {
  storage.WriteString("Stats\\LastPost", "yesterday");
  storage.WriteString("Send\\MaxChecksDelivery", "many");
  storage.WriteString("Send\\CheckDelivery", "perhaps");
  storage.WriteString("Interface\\CloseToTray", "yes");
  storage.WriteString("Interface\\AlwaysInTray", "n");
  storage.WriteString("Interface\\MinimizeToTray", "2");
  EXPECT_EQ(options->ReadDateTime("Stats\\LastPost"), 0.0);
  EXPECT_EQ(options->ReadInteger("Send\\MaxChecksDelivery"), 20);
  EXPECT_TRUE(options->ReadBool("Send\\CheckDelivery"));
  EXPECT_TRUE(options->ReadBool("Interface\\CloseToTray"));
  EXPECT_FALSE(options->ReadBool("Interface\\AlwaysInTray"));
  EXPECT_TRUE(options->ReadBool("Interface\\MinimizeToTray"));
}

TEST_F(OptionsFixture, ReloadDropsUnsavedChangesAndReadsTheFiles) {
  options->WriteString("Network\\Proxy", "Direct");
  dir.Write("Parlomix.ini", "[Network]\nProxy=SOCKS5\n");
  options->Reload();
  EXPECT_EQ(options->ReadString("Network\\Proxy"), "SOCKS5");
}

TEST(CustomOptions, RootPathGetsItsBackslashAndFirstDefaultWins) {
  TempDir dir;
  TIniStorage s(dir.File("x.ini"));
  TCustomOptions o(&s, "Root");
  EXPECT_EQ(o.RootPath(), "Root\\");
  o.AddDefault("A\\B", Variant::Integer(1));
  o.AddDefault("a\\b", Variant::Integer(2));
  EXPECT_EQ(o.ReadInteger("A\\B"), 1);
  o.AddDefault("A\\Text", Variant::String("not a number"));
  EXPECT_EQ(o.ReadInteger("A\\Text"), 0);
  o.WriteString("A\\B", "7");
  EXPECT_EQ(s.ReadString("Root\\A\\B", ""), "7");
}

// Environment changes restored at the end of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_.c_str(), old_.c_str(), 1) : unsetenv(name_.c_str()); }

 private:
  std::string name_, old_;
  bool had_ = false;
};

TEST(ProgramPaths, EnvironmentExpansion) {
  ScopedEnv a("PX_TEST_VAR", "/tmp/x");
  ScopedEnv b("PX_UNKNOWN_VAR", nullptr);
  EXPECT_EQ(ExpandEnvironmentStrings("%PX_TEST_VAR%\\sub"), "/tmp/x\\sub");
  EXPECT_EQ(ExpandEnvironmentStrings("%PX_UNKNOWN_VAR%\\sub"), "%PX_UNKNOWN_VAR%\\sub");
  EXPECT_EQ(ExpandEnvironmentStrings("100% sure %PX_TEST_VAR%"), "100% sure /tmp/x");
  EXPECT_EQ(ExpandEnvironmentStrings("%%"), "%%");
  {
    ScopedEnv app("APPDATA", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
    EXPECT_EQ(ExpandEnvironmentStrings("%APPDATA%\\Parlomix"), "/data/xdg\\Parlomix");
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(ExpandEnvironmentStrings("%APPDATA%\\Parlomix"), "/home/u/.local/share\\Parlomix");
  }
  ScopedEnv app("APPDATA", "/win/appdata");
  EXPECT_EQ(ExpandEnvironmentStrings("%APPDATA%"), "/win/appdata");
}

struct ProgramPathsTest : ::testing::Test {
  TempDir dir;
  std::string savedCwd = std::filesystem::current_path().string();
  ScopedEnv xdg{"XDG_DATA_HOME", nullptr};
  ScopedEnv app{"APPDATA", nullptr};
  ScopedEnv home{"HOME", nullptr};
  std::string program;

  void SetUp() override {
    setenv("XDG_DATA_HOME", dir.File("xdg").c_str(), 1);
    program = dir.Write("bin/parlomix", "");
  }
  void TearDown() override { std::filesystem::current_path(savedCwd); }
};

TEST_F(ProgramPathsTest, DefaultsWithoutIniBesideTheProgram) {
  InitProgramPaths(program);
  EXPECT_EQ(ProgramDir, dir.File("bin") + "/");
  EXPECT_EQ(ProfileDir, dir.File("xdg/Parlomix") + "/");
  EXPECT_EQ(TranslitDir, dir.File("bin/Translit") + "/");
  EXPECT_TRUE(std::filesystem::is_directory(ProfileDir));
  EXPECT_TRUE(std::filesystem::is_directory(TranslitDir));
  EXPECT_EQ(std::filesystem::current_path().string() + "/", ProgramDir);
}

TEST_F(ProgramPathsTest, IniBesideTheProgramWithRelativeAndWindowsPaths) {
  dir.Write("bin/Parlomix.ini", "[Path]\r\nProfile=Data\r\nTranslistData=..\\tables\\ru\r\n");
  InitProgramPaths(program);
  EXPECT_EQ(ProfileDir, dir.File("bin/Data") + "/");
  EXPECT_EQ(TranslitDir, dir.File("tables/ru") + "/");
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("bin/Data")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("tables/ru")));
}

TEST_F(ProgramPathsTest, IniWithEnvironmentAndMissingKeys) {
  ScopedEnv v("PX_PROFILE_ROOT", dir.File("elsewhere").c_str());
  dir.Write("bin/Parlomix.ini", "[Path]\nProfile=%PX_PROFILE_ROOT%\\My Profile\n");
  InitProgramPaths(program);
  EXPECT_EQ(ProfileDir, dir.File("elsewhere/My Profile") + "/");
  EXPECT_EQ(TranslitDir, dir.File("bin/Translit") + "/");
}

TEST_F(ProgramPathsTest, AFolderThatCannotBeCreated) {
  dir.Write("blocker", "a file where a folder should be");
  dir.Write("bin/Parlomix.ini", "[Path]\nProfile=" + dir.File("blocker") + "/Profile\n");
  // The profile is checked once the command line may have replaced it.
  InitProgramPaths(program);
  EXPECT_THROW(CheckProfileDir(), EProfileFolderError);
  dir.Write("bin/Parlomix.ini", "[Path]\nTranslistData=" + dir.File("blocker") + "/Tables\n");
  EXPECT_NO_THROW(InitProgramPaths(program));
  EXPECT_EQ(TranslitDir, dir.File("blocker/Tables") + "/");
  // An ini beside the program that no writer feeds fails, unread.
  TestFifo pipe(dir.File("bin/Parlomix.ini"));
  EXPECT_THROW(InitProgramPaths(program), Exception);
  EXPECT_FALSE(pipe.Blocked());
}

TEST_F(ProgramPathsTest, SetProfileDirPreparesTheFolder) {
  InitProgramPaths(program);
  SetProfileDir("other\\profile");
  EXPECT_EQ(ProfileDir, dir.File("bin/other/profile") + "/");
  EXPECT_TRUE(std::filesystem::is_directory(ProfileDir));
  SetProfileDir("");  // "-p" and a blank: the current folder, never "/"
  EXPECT_EQ(ProfileDir, dir.File("bin") + "/");
}

TEST(ProgramVersionTest, BuildIsTheFourthNumber) {
  ReadProgramVersion();
  const std::string& v = ProgramVersion.FileVersion;
  ASSERT_EQ(std::count(v.begin(), v.end(), '.'), 3);
  EXPECT_EQ(std::to_string(ProgramVersion.Build), v.substr(v.rfind('.') + 1));
}

}  // namespace
