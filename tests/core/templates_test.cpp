#include "templates.h"

#include <gtest/gtest.h>

#include "core/fresh_database.h"
#include "cp1251.h"

namespace {

class Templates : public FreshDatabase {
 protected:
  // "pos:name" of every stored template in position order.
  std::vector<std::string> Stored() {
    TTemplateItemList list;
    TTemplateList::Load(list);
    std::vector<std::string> out;
    for (const auto& t : list) out.push_back(std::to_string(t->Pos) + ":" + t->Name);
    return out;
  }
  void DeleteAll() {
    TTemplateItemList list;
    TTemplateList::Load(list);
    for (const auto& t : list) ASSERT_TRUE(TTemplateList::Delete(t->ID));
  }
};

TEST_F(Templates, AddTakesThePositionAfterTheLast) {
  auto added = TTemplateList::Add("Новый"_cp, "Текст |"_cp);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->Pos, 12);
  EXPECT_EQ(TTemplateList::GetText(added->ID), "Текст |"_cp);
  EXPECT_EQ(TTemplateList::GetText(9999), "");

  DeleteAll();
  auto first = TTemplateList::Add("a", "1");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Pos, 1);
  auto second = TTemplateList::Add("b", "2");
  auto third = TTemplateList::Add("c", "3");
  third->Pos = 5;
  ASSERT_TRUE(TTemplateList::Update(*third));
  EXPECT_EQ(TTemplateList::Add("d", "4")->Pos, 6);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"1:a", "2:b", "5:c", "6:d"}));

  // Gaps left by a deletion stay.
  ASSERT_TRUE(TTemplateList::Delete(second->ID));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"1:a", "5:c", "6:d"}));

  // Positions go on past 32 bits; at the top of SQLite's none is left.
  third->Pos = INT32_MAX;
  ASSERT_TRUE(TTemplateList::Update(*third));
  EXPECT_EQ(TTemplateList::Add("e", "5")->Pos, int64_t{INT32_MAX} + 1);
  third->Pos = INT64_MAX;
  ASSERT_TRUE(TTemplateList::Update(*third));
  EXPECT_EQ(TTemplateList::Add("f", "6"), nullptr);
}

TEST_F(Templates, NamesAreUnique) {
  EXPECT_EQ(TTemplateList::Add("Я занят"_cp, "x"), nullptr);
  EXPECT_EQ(db().GetIntValue("SELECT count(*) FROM Template"), 11);

  TTemplateItemList list;
  TTemplateList::Load(list);
  TTemplate renamed = *list[0];
  renamed.Name = "Я занят"_cp;
  renamed.Text = "changed";
  EXPECT_FALSE(TTemplateList::Update(renamed));
  EXPECT_EQ(TTemplateList::GetText(renamed.ID), "Опаздываю, буду в |"_cp);
  EXPECT_FALSE(db().InTransaction());
}

TEST_F(Templates, ExchangeSwapsPositionsOnlyWhenStored) {
  TTemplateItemList list;
  TTemplateList::Load(list);
  TTemplate& a = *list[2];
  TTemplate& b = *list[3];
  ASSERT_EQ(a.Pos, 3);
  ASSERT_TRUE(TTemplateList::Exchange(a, b));
  EXPECT_EQ(a.Pos, 4);
  EXPECT_EQ(b.Pos, 3);
  std::vector<std::string> stored = Stored();
  EXPECT_EQ(stored[2], "3:" + b.Name);
  EXPECT_EQ(stored[3], "4:" + a.Name);

  // A stale object whose position another template has taken meanwhile:
  // the table refuses, and neither object pretends otherwise.
  TTemplate& c = *list[0];
  TTemplate stale = *list[5];
  stale.Pos = 7;
  EXPECT_FALSE(TTemplateList::Exchange(c, stale));
  EXPECT_EQ(c.Pos, 1);
  EXPECT_EQ(stale.Pos, 7);
  EXPECT_EQ(Stored(), stored);
}

TEST(TemplateName, ThreeWordsWhenUnnamed) {
  EXPECT_EQ(TTemplateList::GetTemplateName("Имя"_cp, "one two three four"), "Имя"_cp);
  EXPECT_EQ(TTemplateList::GetTemplateName("", "one two three four five"), "one two three");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "one two three"), "one two three");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "one two three "), "one two three");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "one "), "one ");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "  one  two   three four"), "one  two   three");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "a\tb\nc d e f"), "a\tb\nc d e");
  EXPECT_EQ(TTemplateList::GetTemplateName("", "Перезвоните пожалуйста по тел. |"_cp), "Перезвоните пожалуйста по"_cp);
  EXPECT_EQ(TTemplateList::GetTemplateName("", ""), "");
}

TEST(TemplateManager, AsksTheRegisteredWindow) {
  EXPECT_EQ(TTemplateList::ShowManager("x"), "");
  std::string given;
  TTemplateList::SetManagerHook([&](const std::string& text) {
    given = text;
    return std::string("chosen");
  });
  EXPECT_EQ(TTemplateList::ShowManager("new text"), "chosen");
  EXPECT_EQ(given, "new text");
  TTemplateList::SetManagerHook(nullptr);
  EXPECT_EQ(TTemplateList::ShowManager("x"), "");
}

TEST(TemplatesClosed, ReadsRaiseWritesReport) {
  ASSERT_EQ(Database, nullptr);
  TTemplateItemList list;
  EXPECT_THROW(TTemplateList::Load(list), ESQLiteException);
  EXPECT_EQ(TTemplateList::Add("a", "b"), nullptr);
  EXPECT_FALSE(TTemplateList::Delete(1));
}

}  // namespace
