#include "regexp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "cp1251.h"

namespace {

TEST(RegExp, GroupsOfTheFirstMatch) {
  const std::string page = "<input name=\"sid\" value=\"abc123\">\n<input name=\"x\" value=\"zz\">";
  EXPECT_EQ(RegExp(page, "value=\"([^\"]*)\"", 1), "abc123");
  EXPECT_EQ(RegExp(page, "value=\"([^\"]*)\"", 0), "value=\"abc123\"");
  EXPECT_EQ(RegExp(page, "name=\"(\\w+)\" value=\"(\\w+)\"", 2), "abc123");
  EXPECT_EQ(RegExp(page, "value=\"([^\"]*)\"", 2), "");
  EXPECT_EQ(RegExp(page, "value=\"([^\"]*)\"", -1), "");
  EXPECT_EQ(RegExp(page, "nothing here", 0), "");
}

TEST(RegExp, GroupsBeyondTheHighestThatTookPartAreEmpty) {
  // Group 2 exists in the pattern but takes no part; group 1 does.
  EXPECT_EQ(RegExp("ab", "(a)b|(c)", 1), "a");
  EXPECT_EQ(RegExp("ab", "(a)b|(c)", 2), "");
  // Group 1 unset below a group that did take part.
  EXPECT_EQ(RegExp("cd", "(a)?(c)d", 1), "");
  EXPECT_EQ(RegExp("cd", "(a)?(c)d", 2), "c");
}

TEST(RegExp, MultiLineDotAllAndCaseSensitive) {
  const std::string text = "first\nsecond line\r\nthird";
  EXPECT_EQ(RegExp(text, "^second (\\w+)\r?$", 1), "line");
  EXPECT_EQ(RegExp(text, "^(t\\w+)$", 1), "third");
  EXPECT_EQ(RegExp(text, "first(.*)third", 1), "\nsecond line\r\n");
  EXPECT_EQ(RegExp(text, "SECOND", 0), "");
  EXPECT_EQ(RegExp(text, "(?i)SECOND", 0), "second");
}

TEST(RegExp, WindowsTextByteForByte) {
  const std::string text = "Код: 4711, Сообщение отправлено"_cp;
  EXPECT_EQ(RegExp(text, "Код: (\\d+)"_cp, 1), "4711");
  EXPECT_EQ(RegExp(text, "([\xC0-\xFF]+) " + "отправлено"_cp, 1), "Сообщение"_cp);
  EXPECT_EQ(RegExp(std::string("a\0b", 3), std::string("a\0(b)", 5), 1), "b");
}

TEST(RegExp, BadPatternsAndEmptyInput) {
  EXPECT_EQ(RegExp("abc", "(unclosed", 0), "");
  EXPECT_EQ(RegExp("abc", "[z-a]", 0), "");
  EXPECT_EQ(RegExp("abc", "a{2,1}", 0), "");
  EXPECT_EQ(RegExp("", "^$", 0), "");
  EXPECT_EQ(RegExp("", "x*", 0), "");
  try {
    RegExp("abc", "", 0);
    FAIL() << "an empty pattern must raise";
  } catch (const ERegExpError& e) {
    EXPECT_EQ(e.Message(), "Required value is null");
  }
}

TEST(RegExp, RunawayBacktrackingRaisesTheEnginesError) {
  // Exponential in the length of the run of a's.
  const std::string hostile = std::string(64, 'a') + "!";
  EXPECT_THROW(RegExp(hostile, "^(a+)+$", 0), ERegExpError);
  EXPECT_THROW(RegExp(hostile, "(a|aa|a?a)*\\d", 0), ERegExpError);
  // Deep nesting of a repeated group on a long page.
  const std::string longPage(2'000'000, 'x');
  EXPECT_THROW(RegExp(longPage + "y", "(?:(x)|(x))*\\d", 0), ERegExpError);
}

TEST(RegExp, SanePatternsOnTheSameTextsStillMatch) {
  const std::string hostile = std::string(64, 'a') + "!";
  const std::string longPage(2'000'000, 'x');
  EXPECT_EQ(RegExp(hostile, "^(a+)!", 1), std::string(64, 'a'));
  EXPECT_EQ(RegExp(longPage + "y", "(x{3})y", 1), "xxx");
  // The limits leave room for a lazy group across a large page.
  const std::string page = "<td>" + std::string(300'000, 'x') + "\n</td>";
  EXPECT_EQ(RegExp(page, "<td>((?:.|\\n)*?)</td>", 1).size(), 300'001u);
}

TEST(RegExp, KeptPatternsServeEveryThreadAndEveryPattern) {
  // More distinct patterns than are kept compiled, each still right.
  for (int i = 0; i < 600; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_EQ(RegExp("id" + n + "=v" + n + ";", "id" + n + "=(\\w+);", 1), "v" + n);
  }
  // One pattern matched from several threads at once.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, &wrong] {
      for (int i = 0; i < 200; ++i) {
        const std::string value = std::to_string(t * 1000 + i);
        if (RegExp("<input name=\"sid\" value=\"" + value + "\">", "value=\"(\\d+)\"", 1) != value) ++wrong;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
