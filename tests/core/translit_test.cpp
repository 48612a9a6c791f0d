#include "translit.h"

#include <gtest/gtest.h>

#include "core/error_of.h"
#include "cp1251.h"
#include "options.h"
#include "support/tempdir.h"
#include "support/testfifo.h"

namespace {

struct TranslitTest : ::testing::Test {
  TempDir dir;

  void SetUp() override {
    TranslitDir = dir.File("tables") + "/";
    ProfileDir = dir.File("profile") + "/";
    std::filesystem::create_directories(TranslitDir);
    std::filesystem::create_directories(ProfileDir);
  }
  void TearDown() override { TTranslit::FreeTables(); }

  // Writes a table (text given in UTF-8, stored as Windows-1251) and reloads the list.
  void Table(const std::string& name, const std::string& utf8, const std::string& folder = "tables") {
    dir.Write(folder + "/" + name, cp1251::FromUtf8(utf8));
    TTranslit::LoadTables();
  }
};

TEST_F(TranslitTest, KeysAndValuesArePercentDecoded) {
  Table("a.ttb",
        "[General]\nName=Test\n[Table]\n"
        "%C0=Ya%20\n"        // capital А
        "б=b\n"
        "a=z\n"              // a Latin key is ignored
        "%41=z\n"            // so is an escaped one
        "в=\n"               // an empty value drops the character
        "Б=B1\n%C1=B2\n"     // a later key for the same character wins
        "г=a+b\n");          // "+" stays in a table
  ASSERT_TRUE(TTranslit::SelectTable(0));
  EXPECT_EQ(TTranslit::Translit("АбБвгдa"_cp), "Ya bB2a+b" + "д"_cp + "a");
  EXPECT_EQ(TTranslit::CurrentIndex(), 0);
}

TEST_F(TranslitTest, KeysAreCaseSensitive) {
  Table("a.ttb", "[Table]\nя=ya\nЯ=YA\n");
  TTranslit::SelectTable(0);
  EXPECT_EQ(TTranslit::Translit("Яя"_cp), "YAya");
}

TEST_F(TranslitTest, NoSelectionMeansIdentity) {
  Table("a.ttb", "[Table]\nя=ya\n");
  EXPECT_EQ(TTranslit::Translit("Я тут"_cp), "Я тут"_cp);
}

TEST_F(TranslitTest, ATableWithoutEntriesFailsAndLeavesNoTableSelected) {
  Table("good.ttb", "[Table]\nя=ya\n");
  Table("only-general.ttb", "[General]\nName=Empty\n");
  ASSERT_EQ(TTranslit::TableCount(), 2);
  TTranslit::SelectTable(0);
  try {
    TTranslit::SelectTable(1);
    FAIL() << "no error";
  } catch (const ETableError& e) {
    EXPECT_EQ(e.Message(), "Ошибка загрузки файла таблицы (). Файл таблицы: only-general.ttb"_cp);
  }
  EXPECT_EQ(TTranslit::CurrentIndex(), -1);
  EXPECT_EQ(TTranslit::Translit("я"_cp), "я"_cp);  // not the earlier table's map either
  EXPECT_THROW(TTranslit::SelectTable(1), ETableError);  // and asking again fails again
  Table("Русская.ttb", "[General]\nName=Ru\n");  // a file name told in the user's letters
  EXPECT_NE(ErrorOf<ETableError>([] { TTranslit::SelectTable(2); }).find("Файл таблицы: Русская.ttb"_cp),
            std::string::npos);
  // A table that is a pipe (or a device) is listed and refused like one
  // without entries, never waited on.
  TestFifo pipe(dir.File("tables/pipe.ttb"));
  TTranslit::LoadTables();
  EXPECT_THROW(TTranslit::SelectTable(2), ETableError);  // sorted before "Русская"
  EXPECT_FALSE(pipe.Blocked());
}

TEST_F(TranslitTest, AnIndexOutsideTheListChangesNothing) {
  Table("a.ttb", "[Table]\nя=ya\n");
  TTranslit::SelectTable(0);
  EXPECT_THROW(TTranslit::SelectTable(1), EListError);
  EXPECT_THROW(TTranslit::SelectTable(-1), EListError);
  EXPECT_EQ(TTranslit::CurrentIndex(), 0);
  EXPECT_EQ(TTranslit::Translit("я"_cp), "ya");
}

TEST_F(TranslitTest, SelectingTheCurrentTableAgainReadsNothing) {
  Table("a.ttb", "[Table]\nя=ya\n");
  TTranslit::SelectTable(0);
  dir.Write("tables/a.ttb", cp1251::FromUtf8("[Table]\nя=YA\n"));
  EXPECT_TRUE(TTranslit::SelectTable(0));
  EXPECT_EQ(TTranslit::Translit("я"_cp), "ya");
}

TEST_F(TranslitTest, TablesComeFromBothFoldersSortedByName) {
  dir.Write("tables/b.ttb", "[General]\nName=B\n");
  dir.Write("tables/A.TTB", "[General]\nName=A\n");
  dir.Write("tables/notes.txt", "[General]\nName=not a table\n");
  std::filesystem::create_directories(dir.File("tables/dir.ttb"));
  dir.Write("profile/Translit/a.ttb", "[General]\nName=Mine\n");
  TTranslit::LoadTables();
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(TTranslit::GetTableNames(names), 3);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "Mine"}));
  EXPECT_EQ(TTranslit::TableFileName(2), dir.File("profile/Translit/a.ttb"));
}

TEST_F(TranslitTest, TheProfileFolderIsSearchedOnceWhenItIsTheTablesFolder) {
  TranslitDir = ProfileDir + "Translit/";
  dir.Write("profile/Translit/a.ttb", "[General]\nName=Once\n");
  TTranslit::LoadTables();
  EXPECT_EQ(TTranslit::TableCount(), 1);
}

TEST_F(TranslitTest, AMissingFolderGivesNoTables) {
  TranslitDir = dir.File("nowhere") + "/";
  TTranslit::LoadTables();
  EXPECT_EQ(TTranslit::TableCount(), 0);
}

TEST(ShippedTable, TransliteratesRussian) {
  TranslitDir = std::string(PX_SOURCE_DIR) + "/app/Translit/";
  ProfileDir = TranslitDir;
  TTranslit::LoadTables();
  ASSERT_EQ(TTranslit::TableCount(), 1);
  std::vector<std::string> names;
  TTranslit::GetTableNames(names);
  EXPECT_EQ(names[0], "Русский - латиница"_cp);
  ASSERT_TRUE(TTranslit::SelectTable(0));
  EXPECT_EQ(TTranslit::Translit("Привет, мир! Щука и ёж — «съешь»"_cp), "Privet, mir! Schuka i yozh - \"sesh\"");
  TTranslit::FreeTables();
}

}  // namespace
