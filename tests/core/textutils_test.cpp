#include "textutils.h"

#include <gtest/gtest.h>

#include "cp1251.h"
#include "exceptions.h"
#include "html.h"
#include "monthnames.h"
#include "random.h"
#include "timezone.h"
#include "support/zonescope.h"

#include <cstdlib>
#include <ctime>
#include <set>

namespace {

TEST(TextSearch, StrBetweenTakesTheFirstPair) {
  EXPECT_EQ(StrBetween("a<b>c", "<", ">"), "b");
  EXPECT_EQ(StrBetween("abc", "", "c"), "ab");
  EXPECT_EQ(StrBetween("abc", "a", ""), "bc");
  EXPECT_EQ(StrBetween("x<a><b>", "<", ">"), "a");
  EXPECT_EQ(StrBetween("<<>", "<<", ">"), "");
  EXPECT_EQ(StrBetween("a>b<c", "<", ">"), "");  // the end must follow the start
  EXPECT_EQ(StrBetween("a<b", "<", ">"), "");
  EXPECT_EQ(StrBetween("ab<", "<", ">"), "");
  EXPECT_EQ(StrBetween("abc", "x", "c"), "");
  EXPECT_EQ(StrBetween("value=\"42\";", "value=\"", "\""), "42");
}

TEST(TextSearch, StrBetweenRevLooksBackFromTheEnd) {
  EXPECT_EQ(StrBetweenRev("x<a<b>c", "<", ">"), "b");
  EXPECT_EQ(StrBetweenRev("x<a<b>c>", "<", ">"), "b");
  EXPECT_EQ(StrBetweenRev("ab>c", "", ">"), "ab");
  EXPECT_EQ(StrBetweenRev("ab<cd", "<", ""), "cd");
  EXPECT_EQ(StrBetweenRev(">abc", "<", ">"), "");
  EXPECT_EQ(StrBetweenRev("ab>c<", "<", ">"), "");  // the start must precede the end
  EXPECT_EQ(StrBetweenRev("<<>", "<<", ">"), "");
  EXPECT_EQ(StrBetweenRev("x[[a]]", "[[", "]]"), "a");
}

TEST(TextSearch, LastPosFindsTheLastOccurrence) {
  EXPECT_EQ(LastPos("ab", "abcab"), 4);
  EXPECT_EQ(LastPos("ab", "abcabx"), 4);
  EXPECT_EQ(LastPos("x", "abc"), 0);
  EXPECT_EQ(LastPos("", "abc"), 0);
  EXPECT_EQ(LastPos("abcd", "abc"), 0);
  EXPECT_EQ(LastPos("aa", "aaa"), 2);
  // The match must end at or before length - offset + 1.
  EXPECT_EQ(LastPosEx("ab", "abcab", 1), 4);
  EXPECT_EQ(LastPosEx("ab", "abcab", 2), 1);
  EXPECT_EQ(LastPosEx("ab", "abcab", 4), 1);
  EXPECT_EQ(LastPosEx("ab", "abcab", 5), 0);
  EXPECT_EQ(LastPosEx("ab", "abcab", 0), 0);
  EXPECT_EQ(LastPosEx("ab", "abcab", 6), 0);
}

TEST(TextConversions, HtmlToTextKeepsWordsAndSingleSpaces) {
  EXPECT_EQ(HtmlToText("<a href=\"x\">t</a>"), " t");
  EXPECT_EQ(HtmlToText("a    b"), "a b");
  EXPECT_EQ(HtmlToText("<b>Error:</b>\r\n\twrong   code"), "Error:wrong code");
  EXPECT_EQ(HtmlToText(" lead"), "lead");
  EXPECT_EQ(HtmlToText("a &amp; b"), "a &amp; b");
  EXPECT_EQ(HtmlToText("x > y"), "x  y");  // a stray ">" is no space
}

TEST(TextConversions, SmallConversions) {
  EXPECT_EQ(ExpandLineBreaks("a\\nb\\\\nc\\"), "a\r\nb\\\r\nc\\");
  EXPECT_TRUE(isAscii(""));
  EXPECT_TRUE(isAscii("plain \x7F text"));
  EXPECT_FALSE(isAscii("\x80"));
  EXPECT_FALSE(isAscii("Привет"_cp));
  EXPECT_EQ(DecodeHex("41fF"), std::string("A\xFF"));
  EXPECT_EQ(DecodeHex("414"), "A");
  EXPECT_EQ(DecodeHex(""), "");
  // Decoding stops at the first bad pair; only the bytes before it are returned.
  EXPECT_EQ(DecodeHex("41zz42"), "A");
  EXPECT_EQ(DecodeHex("4x41"), "");
}

TEST(MonthNames, BothFormsOfEveryMonth) {
  const char* const nominative[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                                    "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
  const char* const genitive[] = {"января", "февраля", "марта",     "апреля",  "мая",    "июня",
                                  "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
  for (int m = 1; m <= 12; ++m) {
    const TDateTime date = EncodeDate(2024, m, 28);
    EXPECT_EQ(cp1251::ToUtf8(GetMonthLongRus(date, 0, false)), nominative[m - 1]);
    EXPECT_EQ(cp1251::ToUtf8(GetMonthLongRus(date, 1, false)), genitive[m - 1]);
  }
  EXPECT_EQ(GetMonthLongRus(EncodeDate(2024, 5, 9), 1, true), "Мая"_cp);
  EXPECT_EQ(GetMonthLongRus(EncodeDate(2024, 3, 1) + 0.75, 0, true), "Март"_cp);
  EXPECT_EQ(GetMonthLongRus(EncodeDate(2024, 1, 1), 7, false), "январь"_cp);
}

TEST(RandomText, DrawsOnlyFromTheAlphabet) {
  Randomize();
  const std::string drawn = RandomString("abc", 300);
  ASSERT_EQ(drawn.size(), 300u);
  EXPECT_EQ(std::set<char>(drawn.begin(), drawn.end()), (std::set<char>{'a', 'b', 'c'}));
  EXPECT_EQ(RandomString("abc", 0), "");
  EXPECT_EQ(RandomString("", 0), "");
  EXPECT_THROW(RandomString("", 3), Exception);
  EXPECT_EQ(Random(0), 0);
  for (int i = 0; i < 100; ++i) {
    const int64_t r = Random(3);
    EXPECT_TRUE(r >= 0 && r < 3);
  }
  std::set<double> fractions;
  for (int i = 0; i < 100; ++i) {
    const double r = RandomFloat();
    EXPECT_TRUE(r >= 0 && r < 1) << r;
    fractions.insert(r);
  }
  EXPECT_GT(fractions.size(), 90u);
}

TEST(TimeZones, OffsetTextAndBias) {
  {
    ZoneScope zone("<+03>-3");
    EXPECT_EQ(TimeZoneBias(), 180);
    EXPECT_EQ(TimeZone(), "+0300");
    EXPECT_FALSE(TimeZoneDaylight());
  }
  {
    ZoneScope zone("<-0330>3:30");
    EXPECT_EQ(TimeZoneBias(), -210);
    EXPECT_EQ(TimeZone(), "-0330");
  }
  {
    // Summer time all year round: daylight saving is always in effect.
    ZoneScope zone("STD-2DST,0/0,J365/25");
    EXPECT_TRUE(TimeZoneDaylight());
    EXPECT_EQ(TimeZoneBias(), 180);
  }
}

}  // namespace
