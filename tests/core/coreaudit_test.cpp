// Item-by-item checks of the option defaults, phone formats under odd input,
// date-time storage and transliteration table parsing that the other core
// tests leave out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cp1251.h"
#include "datetime.h"
#include "options.h"
#include "phone.h"
#include "phoneitems.h"
#include "support/optionsprofile.h"
#include "support/tempdir.h"
#include "translit.h"

namespace {

struct AuditOptions : ::testing::Test, OptionsProfile {};

// Every registered default carries the kind its readers expect: a Boolean
// stored as text would read False through the integer fallback, an integer
// stored as text would break the options window's spin boxes.
TEST_F(AuditOptions, EveryDefaultHasItsKind) {
  struct Row {
    const char* key;
    TVarType kind;
  };
  const Row rows[] = {
      {"Network\\Proxy", varString},
      {"Interface\\CloseToTray", varBoolean},
      {"Interface\\MinimizeToTray", varBoolean},
      {"Interface\\AlwaysInTray", varBoolean},
      {"Interface\\TrayRestoreDblClick", varBoolean},
      {"Interface\\OneInstance", varBoolean},
      {"Interface\\FormatPhones", varBoolean},
      {"Message\\ClearAfterSend", varBoolean},
      {"Message\\ClearOnlyText", varBoolean},
      {"Message\\SignatureDelimiter", varString},
      {"Message\\Signature", varString},
      {"Message\\MaxSubjectsCount", varInteger},
      {"Message\\MaxSignaturesCount", varInteger},
      {"Message\\MaxPhoneHistoryCount", varInteger},
      {"Message\\SaveOnExit", varBoolean},
      {"Message\\AddToHistory", varBoolean},
      {"Message\\ClearHistoryOnExit", varBoolean},
      {"Message\\ErrorMsgToHistory", varBoolean},
      {"Send\\CheckDelivery", varBoolean},
      {"Send\\MaxChecksDelivery", varInteger},
      {"Send\\LogSend", varBoolean},
      {"Send\\CheckDeliveryDelay", varInteger},
      {"Send\\CheckDeliveryDelta", varInteger},
      {"Send\\AutoCloseDispSuccess", varBoolean},
      {"Update\\AutoCheckUpdate", varBoolean},
      {"Update\\UpdatePeriod", varInteger},
      {"Update\\URL", varString},
      {"Update\\AutoCheckUpdateGates", varBoolean},
      {"Update\\UpdateGatesPeriod", varInteger},
      {"Update\\GatesURL", varString},
      {"General\\FirstRunDone", varBoolean},
      {"General\\HelpURL", varString},
      {"General\\HomeURL", varString},
      {"General\\ForumURL", varString},
      {"General\\FeedbackURL", varString},
      {"Stats\\LogStats", varBoolean},
      {"Stats\\SendStatsToServer", varBoolean},
      {"Stats\\PostURL", varString},
  };
  ASSERT_EQ(std::size(rows), 38u);
  for (const Row& row : rows) EXPECT_EQ(options->GetDefault(row.key).VarType(), row.kind) << row.key;
  for (const char* url : {"Update\\URL", "Update\\GatesURL", "Stats\\PostURL", "General\\HelpURL", "General\\HomeURL",
                          "General\\ForumURL", "General\\FeedbackURL"})
    EXPECT_EQ(options->ReadString(url).rfind("http://", 0), 0u) << url;
  for (const char* key : {"Network\\ProxyHost", "Network\\ProxyPort", "Network\\ProxyAuth", "Network\\ProxyName",
                          "Network\\ProxyPass", "Message\\TotalMsgSent", "Message\\TraslitTable", "Stats\\LastCleanup",
                          "Stats\\LastPost", "Update\\LastUpdate", "Update\\LastGatesUpdate"})
    EXPECT_TRUE(options->GetDefault(key).IsEmpty()) << key;
}

// Seconds are taken to the nearest whole one, not cut, both ways of 1970.
TEST_F(AuditOptions, DateTimesStoreRoundedUnixSeconds) {
  const TDateTime epoch = EncodeDate(1970, 1, 1);
  const struct {
    double offsetSeconds;
    const char* stored;
  } rows[] = {{0.6, "1"}, {0.4, "0"}, {-0.6, "-1"}, {-86400, "-86400"}, {90061.7, "90062"}};
  for (const auto& row : rows) {
    options->WriteDateTime("Stats\\LastCleanup", epoch + row.offsetSeconds / 86400.0);
    EXPECT_EQ(storage.ReadString("Stats\\LastCleanup", "?"), row.stored) << row.offsetSeconds;
    EXPECT_DOUBLE_EQ(options->ReadDateTime("Stats\\LastCleanup"), epoch + std::stod(row.stored) / 86400.0);
  }
}

// Formats come from downloaded gate lists: odd ones must neither crash nor
// read outside the number.
TEST(AuditPhone, OddFormatsStayInsideTheNumber) {
  ASSERT_EQ(Options, nullptr);
  const struct {
    const char* phone;
    const char* format;
    const char* formatted;
  } rows[] = {
      {"79161234", "1..7", "+7  916-12-34"},          // an empty operator count is 0
      {"79161234567", "-1.5.7", "+ 79161 123-45-67"},  // a negative count takes nothing
      {"7916", "2147483647.x.-2147483643", "+7916  --"},  // sum 4, the later parts lie beyond the number
      {"79161234567", "1.3.7.", "+7 916 --"},  // the sum fits, but the subscriber count "7." reads 0
      {"", "0.0.0", "+  --"},
  };
  for (const auto& row : rows) EXPECT_EQ(FormatPhone(row.phone, row.format), row.formatted) << row.format;
}

// The contact text takes the item's format only when asked to.
TEST(AuditPhone, ContactTextOfAPhoneItem) {
  ASSERT_EQ(Options, nullptr);
  TCustomPhoneItem item;
  item.Name = "Иван"_cp;
  item.Phone = "79161234567";
  item.Format = "1.3.7";
  EXPECT_EQ(GetContactText(item, true), "Иван [+7 916 123-45-67]"_cp);
  EXPECT_EQ(GetContactText(item, false), "Иван [+79161234567]"_cp);
  item.Name.clear();
  EXPECT_EQ(GetContactText(item, true), "+7 916 123-45-67");
  item.Phone.clear();
  item.Name = "Иван"_cp;
  EXPECT_EQ(GetContactText(item, true), "Иван"_cp);
}

// Frees the table list however the test ends.
struct TablesLoaded {
  TablesLoaded() { TTranslit::LoadTables(); }
  ~TablesLoaded() { TTranslit::FreeTables(); }
};

// Percent escapes in either case of hex digit, an escape cut off at the end
// of a value, a key that decodes to nothing and a key longer than one
// character.
TEST(AuditTranslit, EscapesAtTheEdgesOfKeysAndValues) {
  TempDir dir;
  TranslitDir = dir.File("tables") + "/";
  ProfileDir = dir.File("profile") + "/";
  dir.Write("tables/t.ttb", cp1251::FromUtf8("[Table]\n"
                                             "%c0=A\n"         // lower-case hex digits: capital А
                                             "б=b%4\n"         // a cut-off escape ends the value
                                             "в=v%zz\n"        // an escape that is no escape stays
                                             "%C=x\n"          // decodes to nothing: ignored
                                             "гд=g\n"          // only the first character counts
                                             "%E5%E6=e\n"));   // е (ж stays itself)
  TablesLoaded loaded;
  ASSERT_TRUE(TTranslit::SelectTable(0));
  EXPECT_EQ(TTranslit::Translit("Абвгдеж"_cp), "Abv%zzg" + "д"_cp + "e" + "ж"_cp);
}


// Only files whose extension is .ttb in any case are tables; a folder so
// named, a backup and other files are not.
TEST(AuditTranslit, OnlyTtbFilesAreTables) {
  TempDir dir;
  TranslitDir = dir.File("tables") + "/";
  ProfileDir = dir.File("profile") + "/";
  dir.Write("tables/upper.TTB", "[General]\nName=Upper\n[Table]\n%C0=A\n");
  dir.Write("tables/lower.ttb", "[General]\nName=Lower\n[Table]\n%C0=A\n");
  dir.Write("tables/backup.ttb.bak", "[General]\nName=Backup\n[Table]\n%C0=A\n");
  dir.Write("tables/notes.txt", "[General]\nName=Notes\n");
  dir.Write("tables/folder.ttb/inner.ttb", "[General]\nName=Inner\n[Table]\n%C0=A\n");
  TablesLoaded loaded;
  std::vector<std::string> names;
  ASSERT_EQ(TTranslit::GetTableNames(names), 2);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Lower", "Upper"}));
}

}  // namespace
