// Taking over an older version's files, written here as that version wrote
// them: its Parlomix.ini (only with the section SMSFrm) and its phone book.
#include <sys/stat.h>

#include <filesystem>

#include "app/windowprofile.h"
#include "cp1251.h"
#include "oldversion.h"
#include "phonebook.h"

namespace {

namespace fs = std::filesystem;

using OldVersion = WindowProfile;

TEST(OldPhoneBookLine, PartsWithoutTheirSeparatorKeepThePreviousLines) {
  TOldContact c;
  ParseOldPhoneBookLine("Вася;MTS;916;1234567"_cp, c);
  EXPECT_EQ(c.name, "Вася"_cp);
  EXPECT_EQ(c.gateName, "MTS");
  EXPECT_EQ(c.phone, "79161234567");
  ParseOldPhoneBookLine("Петя;mtsnw;921;7654321"_cp, c);
  EXPECT_EQ(c.gateName, "MTS") << "MTSNW in any case";
  EXPECT_EQ(c.phone, "79217654321");
  ParseOldPhoneBookLine("Коля;Beeline"_cp, c);
  EXPECT_EQ(c.name, "Коля"_cp);
  EXPECT_EQ(c.gateName, "MTS") << "no second separator: the gate stays";
  EXPECT_EQ(c.phone, "79217654321") << "nor the number";
  ParseOldPhoneBookLine("Коля;Beeline;903"_cp, c);
  EXPECT_EQ(c.gateName, "Beeline");
  EXPECT_EQ(c.phone, "79217654321") << "no third separator: the number stays";
  ParseOldPhoneBookLine("Только имя"_cp, c);
  EXPECT_EQ(c.name, "Коля"_cp) << "no separator at all: nothing changes";
  ParseOldPhoneBookLine("Оля;;903;12-34-567"_cp, c);
  EXPECT_EQ(c.gateName, "");
  EXPECT_EQ(c.phone, "79031234567") << "digits only";
  ParseOldPhoneBookLine("Без номера;MTS;;"_cp, c);
  EXPECT_EQ(c.phone, "") << "no digits: no number";
  ParseOldPhoneBookLine("Хвост;G;1;2;3"_cp, c);
  EXPECT_EQ(c.phone, "7123") << "the rest after the code is the subscriber number";
}

TEST_F(OldVersion, OnlyAnIniWithSectionSMSFrmIsAnOlderVersions) {
  profile.Write("a.ini", "[Message]\nTotalMsgSend=12\n[Connection]\nUseProxy=1\nProxyHost=h\nProxyPort=3128\n");
  EXPECT_FALSE(ReadOldSettings(profile.File("a.ini")));
  EXPECT_FALSE(ReadOldSettings(profile.File("missing.ini")));
  profile.Write("b.ini", "[smsfrm]\nLeft=1\n[Message]\nTotalMsgSend=12\n[Connection]\nUseProxy=1\nProxyHost=h\nProxyPort=3128\n");
  auto old = ReadOldSettings(profile.File("b.ini"));
  ASSERT_TRUE(old);
  EXPECT_EQ(old->totalMsgSend, 12);
  EXPECT_TRUE(old->useProxy);
  EXPECT_EQ(old->proxyHost, "h");
  EXPECT_EQ(old->proxyPort, "3128");
  profile.Write("c.ini", "[SMSFrm]\n[Message]\nTotalMsgSend=x\n[Connection]\nUseProxy=2\nProxyHost=h\n");
  old = ReadOldSettings(profile.File("c.ini"));
  ASSERT_TRUE(old);
  EXPECT_EQ(old->totalMsgSend, 0);
  EXPECT_FALSE(old->useProxy) << "only 1 means a proxy";
  EXPECT_EQ(old->proxyHost, "") << "read only when a proxy was used";
}

// The older file is the options file itself: the main window has it loaded
// when the wizard takes it over.
TEST_F(OldVersion, AnOlderIniGivesItsCountAndProxyAndIsMovedAside) {
  CloseStorages();
  profile.Write("Parlomix.ini",
                "[SMSFrm]\nLeft=10\n[Message]\nTotalMsgSend=345\n[Connection]\nUseProxy=1\nProxyHost=proxy.old\n"
                "ProxyPort=8088\nProxyPass=secret\n");
  chmod(profile.File("Parlomix.ini").c_str(), 0644);
  OpenStorages();
  TMigrationResult result = MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_TRUE(result.settingsTaken);
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 345);
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "HTTP");
  EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "proxy.old");
  EXPECT_EQ(Options->ReadString("Network\\ProxyPort"), "8088");
  EXPECT_FALSE(fs::exists(profile.File("Parlomix.ini")));
  ASSERT_TRUE(fs::exists(profile.File("Parlomix.ini.bak"))) << "moved aside, not deleted";
  struct stat st {};
  stat(profile.File("Parlomix.ini.bak").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "it may hold a password";
  storage->Flush(true);
  std::string written = profile.Read("Parlomix.ini");
  EXPECT_EQ(written.find("SMSFrm"), std::string::npos) << "the older sections are read anew away: " << written;
  EXPECT_EQ(written.find("TotalMsgSend="), std::string::npos) << written;
  EXPECT_NE(written.find("TotalMsgSent=345"), std::string::npos) << written;
}

TEST_F(OldVersion, WithoutAProxyOnlyTheCountMoves) {
  CloseStorages();
  profile.Write("Parlomix.ini", "[SMSFrm]\n[Message]\nTotalMsgSend=7\n[Connection]\nUseProxy=0\nProxyHost=p\nProxyPort=1\n");
  OpenStorages();
  MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 7);
  EXPECT_EQ(Options->ReadString("Network\\Proxy"), "IE");
  EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "");
  EXPECT_EQ(storage->ReadString("Network\\ProxyPort", "unset"), "unset");
}

TEST_F(OldVersion, ACurrentOptionsFileIsNeverTouched) {
  Options->WriteString("Message\\Signature", "Моя"_cp);
  storage->Flush(true);
  std::string before = profile.Read("Parlomix.ini");
  TMigrationResult result = MigrateOldVersion(ProfileDir, *Options, [] { ADD_FAILURE() << "nothing to keep"; });
  EXPECT_FALSE(result.settingsTaken);
  EXPECT_EQ(profile.Read("Parlomix.ini"), before);
  EXPECT_FALSE(fs::exists(profile.File("Parlomix.ini.bak")));
  EXPECT_EQ(Options->ReadString("Message\\Signature"), "Моя"_cp);
}

// What the user set in this run before the import is written again over the
// options the import reads anew, and wins over the older proxy.
TEST_F(OldVersion, OptionsOfThisRunAreKept) {
  CloseStorages();
  profile.Write("Parlomix.ini", "[SMSFrm]\n[Message]\nTotalMsgSend=3\n[Connection]\nUseProxy=1\nProxyHost=old\nProxyPort=1\n");
  OpenStorages();
  Options->WriteString("Network\\ProxyHost", "chosen.now");  // in memory only, as the options window leaves it
  bool kept = false;
  MigrateOldVersion(ProfileDir, *Options, [&] {
    EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "old") << "called after the older values are written";
    Options->WriteString("Network\\ProxyHost", "chosen.now");
    kept = true;
  });
  EXPECT_TRUE(kept);
  EXPECT_EQ(Options->ReadString("Network\\ProxyHost"), "chosen.now");
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 3);
}

TEST_F(OldVersion, ThePlacementsOfThisRunStay) {
  CloseStorages();
  profile.Write("Parlomix.ini", "[SMSFrm]\n");
  OpenStorages();
  placement->WriteInteger("OptionsFrm\\Left", 77);
  MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_EQ(placement->ReadInteger("OptionsFrm\\Left", 0), 77);
}

std::string PhoneOf(const std::string& name) { return TPhoneBook::GetPhoneByName(name); }

TEST_F(OldVersion, ThePhoneBookIsTakenOverLineByLine) {
  TPhoneBookItem existing;
  existing.Name = "Вася"_cp;
  existing.Phone = "79160000001";
  TPhoneBook::AddItem(existing);
  existing.Name = "Мама"_cp;
  existing.Phone = "79160000002";
  TPhoneBook::AddItem(existing);
  profile.Write("Parlomix.phb",
                "Вася;MTS;916;9999999\r\n"            // name taken: nothing added
                "Другая мама;MTS;916;0000002\r\n"     // number taken: nothing added
                "Петя;MTSNW;921;1234567\r\n"
                ";MTS;916;5555555\r\n"               // no name
                "Без номера;MTS;;\r\n"               // no number
                "\r\n"                               // keeps Без номера: still no number
                "Коля;Beeline;903;7654321\r\n"
                "Коля;Beeline;903;7654321\r\n"       // the same again
                "Оля;;926;1112233"_cp);              // no line end, no gate
  TMigrationResult result = MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_FALSE(result.settingsTaken);
  EXPECT_EQ(result.contactsAdded, 3);
  EXPECT_EQ(result.linesSkipped, 3);
  EXPECT_EQ(result.contactsFailed, 0);
  EXPECT_EQ(PhoneOf("Вася"_cp), "79160000001");
  EXPECT_EQ(PhoneOf("Другая мама"_cp), "");
  EXPECT_EQ(PhoneOf("Петя"_cp), "79211234567");
  EXPECT_EQ(PhoneOf("Коля"_cp), "79037654321");
  EXPECT_EQ(PhoneOf("Оля"_cp), "79261112233");
  auto petya = TPhoneBook::GetItemByPhone("79211234567");
  ASSERT_TRUE(petya);
  EXPECT_EQ(petya->GateName, "MTS");
  EXPECT_EQ(petya->GroupID, 0);
  EXPECT_EQ(petya->Signature, "");
  EXPECT_EQ(petya->Translit, 0);
  EXPECT_EQ(TPhoneBook::GetItemByPhone("79261112233")->GateName, "");
  EXPECT_EQ(db().GetIntValue("SELECT COUNT(*) FROM PhoneBook"), 5);
  EXPECT_FALSE(fs::exists(profile.File("Parlomix.phb")));
  EXPECT_TRUE(fs::exists(profile.File("Parlomix.phb.bak")));
}

TEST_F(OldVersion, OneLineTheDatabaseRefusesDoesNotStopTheImport) {
  db().ExecSQL("CREATE TRIGGER Refuse BEFORE INSERT ON PhoneBook WHEN NEW.Name = 'Плохой' "_cp +
               "BEGIN SELECT RAISE(ABORT, 'refused'); END");
  profile.Write("Parlomix.phb", "Первый;MTS;916;1\nПлохой;MTS;916;2\nТретий;MTS;916;3\n"_cp);
  profile.Write("Parlomix.phb.bak", "an earlier one");
  TMigrationResult result = MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_EQ(result.contactsAdded, 2);
  EXPECT_EQ(result.contactsFailed, 1);
  ASSERT_TRUE(result.firstError);
  EXPECT_THROW(std::rethrow_exception(result.firstError), ESQLiteException);
  EXPECT_EQ(PhoneOf("Третий"_cp), "79163");
  EXPECT_EQ(profile.Read("Parlomix.phb.bak"), "an earlier one") << "an earlier copy is not overwritten";
  EXPECT_EQ(profile.Read("Parlomix.phb.bak2"), "Первый;MTS;916;1\nПлохой;MTS;916;2\nТретий;MTS;916;3\n"_cp)
      << "the refused contact is still there";
}

TEST_F(OldVersion, NothingThereIsNothingDone) {
  TMigrationResult result = MigrateOldVersion(ProfileDir, *Options, nullptr);
  EXPECT_FALSE(result.settingsTaken);
  EXPECT_EQ(result.contactsAdded + result.linesSkipped + result.contactsFailed, 0);
}

}  // namespace
