#include "phone.h"

#include <gtest/gtest.h>

#include "options.h"
#include "support/optionsprofile.h"

namespace {

const char* const kPhone = "79161234567";

// Installs a real options object as the global one for the duration of a test.
struct WithOptions : ::testing::Test, OptionsProfile {
  void SetUp() override { Options = options.get(); }
  void TearDown() override { Options = nullptr; }
};

TEST_F(WithOptions, FormatPhoneGroupsTheSubscriberNumber) {
  EXPECT_EQ(FormatPhone(kPhone, "1.3.7"), "+7 916 123-45-67");
  EXPECT_EQ(FormatPhone("380441234567", "3.2.7"), "+380 44 123-45-67");
  EXPECT_EQ(FormatPhone("7916123456", "1.3.6"), "+7 916 12-34-56");
  // Too short a subscriber number: both dashes clamp to its start.
  EXPECT_EQ(FormatPhone("7916123", "1.3.3"), "+7 916 -1-23");
  EXPECT_EQ(FormatPhone("791612", "1.3.2"), "+7 916 --12");
}

TEST_F(WithOptions, FormatPhoneFallsBackToPlusAndDigits) {
  EXPECT_EQ(FormatPhone(kPhone, "1.3.6"), std::string("+") + kPhone);  // sum 10 does not fit
  EXPECT_EQ(FormatPhone(kPhone, ""), std::string("+") + kPhone);
  options->WriteBool("Interface\\FormatPhones", false);
  EXPECT_EQ(FormatPhone(kPhone, "1.3.7"), std::string("+") + kPhone);
}

TEST_F(WithOptions, FormatContactCombinesNameAndPhone) {
  EXPECT_EQ(FormatContact("Ivan", kPhone, ""), std::string("Ivan [+") + kPhone + "]");
  EXPECT_EQ(FormatContact("Ivan", kPhone, "1.3.7"), "Ivan [+7 916 123-45-67]");
  EXPECT_EQ(FormatContact("", kPhone, "1.3.7"), "+7 916 123-45-67");
  EXPECT_EQ(FormatContact("Ivan", "", "1.3.7"), "Ivan");
  EXPECT_EQ(FormatContact("", "", ""), "+");
}

TEST(Phone, FormattingIsOnWithoutAnOptionsObject) {
  ASSERT_EQ(Options, nullptr);
  EXPECT_EQ(FormatPhone(kPhone, "1.3.7"), "+7 916 123-45-67");
}

TEST(Phone, ExtractPhonePartSplitsByTheFormat) {
  EXPECT_EQ(ExtractPhonePart(kPhone, "1.3.7", ppCountry), "7");
  EXPECT_EQ(ExtractPhonePart(kPhone, "1.3.7", ppDef), "916");
  EXPECT_EQ(ExtractPhonePart(kPhone, "1.3.7", ppNumber), "1234567");
  // One number stands for all three counts.
  EXPECT_EQ(ExtractPhonePart(kPhone, "7", ppCountry), "7916123");
  EXPECT_EQ(ExtractPhonePart(kPhone, "7", ppDef), "4567");
  EXPECT_EQ(ExtractPhonePart(kPhone, "7", ppNumber), "");
  // "1.3" leaves the number count equal to the operator count.
  EXPECT_EQ(ExtractPhonePart(kPhone, "1.3", ppNumber), "123");
  // Pieces that are not numbers count 0; a short phone gives what it has.
  EXPECT_EQ(ExtractPhonePart(kPhone, "x.3.7", ppDef), "791");
  EXPECT_EQ(ExtractPhonePart("7916", "1.3.7", ppNumber), "");
  EXPECT_EQ(ExtractPhonePart("791612", "1.3.7", ppNumber), "12");
  EXPECT_EQ(ExtractPhonePart(kPhone, "1.3.7", 3), "");
}

TEST(Phone, CheckPhoneFormatSumsEveryPiece) {
  EXPECT_TRUE(CheckPhoneFormat(kPhone, "1.3.7"));
  EXPECT_FALSE(CheckPhoneFormat(kPhone, "1.3.6"));
  EXPECT_TRUE(CheckPhoneFormat(kPhone, "1.3.5.2"));
  EXPECT_TRUE(CheckPhoneFormat(kPhone, "11"));
  EXPECT_TRUE(CheckPhoneFormat(kPhone, "4.a.7"));
  EXPECT_TRUE(CheckPhoneFormat("", ""));
}

TEST(Phone, NameAndPhoneFromContactText) {
  std::string name = "x", phone = "y";
  SplitNamePhone("  Ivan Petrov  [ +7 916 123 ]  ", name, phone);
  EXPECT_EQ(name, "Ivan Petrov");
  EXPECT_EQ(phone, "+7 916 123");
  SplitNamePhone("Ivan Petrov", name, phone);
  EXPECT_EQ(name, "");
  EXPECT_EQ(phone, "");
  SplitNamePhone("Ivan [79161234567", name, phone);
  EXPECT_EQ(name, "Ivan");
  EXPECT_EQ(phone, "");

  EXPECT_EQ(ExtractBracketed("Ivan [ +7 916 ] x"), "[ +7 916");
  EXPECT_EQ(ExtractBracketed("Ivan ] [7"), "");
  EXPECT_EQ(ExtractDigits(ExtractBracketed("Ivan [+7 (916) 123-45-67]")), kPhone);
  EXPECT_EQ(ExtractDigits("a1b2\xC0" "3"), "123");
}

}  // namespace
