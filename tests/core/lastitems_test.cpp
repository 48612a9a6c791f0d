#include "lastitems.h"

#include <gtest/gtest.h>

#include "core/fresh_database.h"
#include "cp1251.h"

namespace {

class LastItems : public FreshDatabase {
 protected:
  void TearDown() override {
    TLastItems::SetMaxCount(TLastItems::kSignature, 0);
    TLastItems::SetMaxCount(TLastItems::kSubject, 0);
    FreshDatabase::TearDown();
  }
  std::vector<std::string> Load(int itemClass) {
    std::vector<std::string> list;
    TLastItems::Load(itemClass, list);
    return list;
  }
};

TEST_F(LastItems, RefreshMovesToTheTopWithoutTrimming) {
  std::vector<std::string> subjects = Load(TLastItems::kSubject);
  ASSERT_EQ(subjects.size(), 10u);
  EXPECT_EQ(subjects.front(), "Без темы"_cp);
  EXPECT_TRUE(Load(TLastItems::kSignature).empty());

  TLastItems::SetMaxCount(TLastItems::kSubject, 5);
  ASSERT_TRUE(TLastItems::Add(TLastItems::kSubject, "Где же ты?"_cp));
  subjects = Load(TLastItems::kSubject);
  ASSERT_EQ(subjects.size(), 10u);
  EXPECT_EQ(subjects[0], "Где же ты?"_cp);
  EXPECT_EQ(subjects[1], "Без темы"_cp);

  // A new one trims the class to its maximum, oldest first.
  ASSERT_TRUE(TLastItems::Add(TLastItems::kSubject, "Новая тема"_cp));
  EXPECT_EQ(Load(TLastItems::kSubject), (std::vector<std::string>{"Новая тема"_cp, "Где же ты?"_cp, "Без темы"_cp,
                                                                   "С праздником!"_cp, "Поздравляю!"_cp}));

  // Load appends and counts what the list holds afterwards.
  std::vector<std::string> list = {"kept"};
  EXPECT_EQ(TLastItems::Load(TLastItems::kSubject, list), 6);
  EXPECT_EQ(list[0], "kept");
}

TEST_F(LastItems, TrimKeepsTheNewestWithinOneSecond) {
  TLastItems::SetMaxCount(TLastItems::kSignature, 30);
  for (int i = 1; i <= 31; ++i) ASSERT_TRUE(TLastItems::Add(TLastItems::kSignature, "sig" + std::to_string(i)));
  std::vector<std::string> signatures = Load(TLastItems::kSignature);
  ASSERT_EQ(signatures.size(), 30u);
  EXPECT_EQ(signatures.front(), "sig31");
  EXPECT_EQ(signatures.back(), "sig2");
  // The other class is not touched by this class's limit.
  EXPECT_EQ(Load(TLastItems::kSubject).size(), 10u);

  TLastItems::SetMaxCount(TLastItems::kSignature, 0);
  for (int i = 32; i <= 45; ++i) ASSERT_TRUE(TLastItems::Add(TLastItems::kSignature, "sig" + std::to_string(i)));
  EXPECT_EQ(Load(TLastItems::kSignature).size(), 44u);
}

TEST_F(LastItems, ATextBelongsToOneClass) {
  ASSERT_TRUE(TLastItems::Add(TLastItems::kSignature, "Вася"_cp));
  EXPECT_FALSE(TLastItems::Add(TLastItems::kSubject, "Вася"_cp));
  EXPECT_FALSE(db().InTransaction());
  EXPECT_EQ(Load(TLastItems::kSubject).size(), 10u);
  EXPECT_EQ(Load(TLastItems::kSignature), std::vector<std::string>{"Вася"_cp});

  TLastItems::Delete(TLastItems::kSubject, "Вася"_cp);
  EXPECT_EQ(Load(TLastItems::kSignature).size(), 1u);
  TLastItems::Delete(TLastItems::kSignature, "Вася"_cp);
  EXPECT_TRUE(Load(TLastItems::kSignature).empty());
}

}  // namespace
