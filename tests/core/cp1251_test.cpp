#include "cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace {

// glibc's own CP1251 table, as an independent oracle.
std::string IconvToUtf8(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == (iconv_t)-1) return "<no iconv>";
  std::string src = in, out(in.size() * 4 + 4, '\0');
  char* ip = src.data();
  char* op = out.data();
  size_t il = src.size(), ol = out.size();
  size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == (size_t)-1) return "<invalid>";
  out.resize(out.size() - ol);
  return out;
}

TEST(Cp1251, EveryByteSurvivesUtf8RoundTrip) {
  for (int c = 0; c < 256; ++c) {
    std::string one(1, static_cast<char>(c));
    EXPECT_EQ(cp1251::FromUtf8(cp1251::ToUtf8(one)), one) << "byte " << c;
  }
}

TEST(Cp1251, MappingAgreesWithIconv) {
  for (int c = 1; c < 256; ++c) {
    if (c == 0x98) continue;  // undefined in the code page; we keep it as U+0098
    std::string one(1, static_cast<char>(c));
    EXPECT_EQ(cp1251::ToUtf8(one), IconvToUtf8(one)) << "byte " << c;
  }
}

TEST(Cp1251, Utf8WithoutCp1251CharactersBecomesQuestionMarks) {
  EXPECT_EQ(cp1251::FromUtf8("a\xE4\xB8\xAD" "b"), "a?b");              // a CJK character
  EXPECT_EQ(cp1251::FromUtf8("x\xC3\x28y"), "x?(y");                    // broken two-byte form
  EXPECT_EQ(cp1251::FromUtf8("\xC0\xAF"), "??");                        // overlong "/"
  EXPECT_EQ(cp1251::FromUtf8("\xED\xA0\x80"), "???");                   // a surrogate
  EXPECT_EQ(cp1251::FromUtf8("\xF0\x9F\x98\x80!"), "?!");               // outside the BMP
  EXPECT_EQ(cp1251::FromUtf8("trailing \xD0"), "trailing ?");           // cut short
  EXPECT_EQ(cp1251::FromUtf8("\xF8" "ab"), "?ab");                      // no lead byte swallows what follows
  EXPECT_EQ(cp1251::FromUtf8("\xE2\x82\xAC"), std::string(1, '\x88'));  // the euro sign is there
}

TEST(Cp1251, CyrillicCaseMapping) {
  EXPECT_EQ(cp1251::UpperCase("ёжик в тумане"_cp), "ЁЖИК В ТУМАНЕ"_cp);
  EXPECT_EQ(cp1251::LowerCase("ЁЖИК В ТУМАНЕ"_cp), "ёжик в тумане"_cp);
  EXPECT_EQ(cp1251::UpperCase("ґєїіўђѓљњќћџјѕ"_cp), "ҐЄЇІЎЂЃЉЊЌЋЏЈЅ"_cp);
  EXPECT_EQ(cp1251::UpperCase("abc XYZ 123_!"), "ABC XYZ 123_!");
  // Every letter of one case maps to the other and back.
  for (int c = 0; c < 256; ++c) {
    char ch = static_cast<char>(c);
    if (cp1251::IsLowerLetter(ch)) {
      EXPECT_TRUE(cp1251::IsUpperLetter(cp1251::Upper(ch))) << c;
      EXPECT_EQ(cp1251::Lower(cp1251::Upper(ch)), ch) << c;
    } else if (!cp1251::IsUpperLetter(ch)) {
      EXPECT_EQ(cp1251::Upper(ch), ch) << c;
      EXPECT_EQ(cp1251::Lower(ch), ch) << c;
    }
  }
  EXPECT_TRUE(cp1251::IsLetter("Я"_cp[0]));
  EXPECT_TRUE(cp1251::IsCyrillic("ё"_cp[0]));
  EXPECT_FALSE(cp1251::IsLetter("№"_cp[0]));
  EXPECT_FALSE(cp1251::IsLetter("«"_cp[0]));
}

TEST(Cp1251, CaseInsensitiveCompareSortsAlphabetically) {
  EXPECT_TRUE(cp1251::SameText("Привет, World"_cp, "пРИВЕТ, world"_cp));
  EXPECT_FALSE(cp1251::SameText("Привет"_cp, "Приветы"_cp));
  EXPECT_EQ(cp1251::CompareText("ЁЛКА"_cp, "ёлка"_cp), 0);
  EXPECT_LT(cp1251::CompareText("ель"_cp, "ёж"_cp), 0);  // Ё right after Е
  EXPECT_LT(cp1251::CompareText("ёж"_cp, "жук"_cp), 0);
  EXPECT_LT(cp1251::CompareText("Zebra", "апельсин"_cp), 0);  // Latin before Cyrillic
  EXPECT_LT(cp1251::CompareText("abc", "ABCD"), 0);
  EXPECT_GT(cp1251::CompareText("b", "A"), 0);
}

}  // namespace
