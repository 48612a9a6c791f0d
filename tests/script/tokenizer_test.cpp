// Tokenizer: token texts and kinds, comments, strings, character codes,
// error offsets, keyword case and letters after a dot.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cp1251.h"
#include "errors.h"
#include "tokenizer.h"

namespace {

using Tokens = std::vector<std::pair<std::string, int32_t>>;

Tokens Read(const std::string& text) {
  TInterpreterParser parser;
  parser.SetSource(text);
  Tokens out;
  for (;;) {
    std::string t = parser.NextTokenText();
    if (t.empty()) return out;
    out.emplace_back(t, ClassifyToken(t));
  }
}

int32_t ErrorOffset(const std::string& text) {
  try {
    Read(text);
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 101);
    EXPECT_EQ(e.Message(), "Error in remark");
    return e.ErrPos;
  }
  return -2;
}

TEST(Tokenizer, OperatorsAndAssignment) {
  EXPECT_EQ(Read("x:=1"), (Tokens{{"x", 10}, {":", 44}, {"=", 30}, {"1", 11}}));
  EXPECT_EQ(Read("a<>b"), (Tokens{{"a", 10}, {"<>", 33}, {"b", 10}}));
  EXPECT_EQ(Read("a=<b"), (Tokens{{"a", 10}, {"=", 30}, {"<", 32}, {"b", 10}}));
  EXPECT_EQ(Read("a>=b<=c"), (Tokens{{"a", 10}, {">=", 34}, {"b", 10}, {"<=", 35}, {"c", 10}}));
  EXPECT_EQ(Read("(a*b)/c-d+e,f;g[h]\""),
            (Tokens{{"(", 40}, {"a", 10}, {"*", 22}, {"b", 10}, {")", 41}, {"/", 23}, {"c", 10}, {"-", 28},
                    {"d", 10}, {"+", 27}, {"e", 10}, {",", 42}, {"f", 10}, {";", 45}, {"g", 10}, {"[", 46},
                    {"h", 10}, {"]", 47}, {"\"", 49}}));
  EXPECT_EQ(Read("@ ?"), (Tokens{{"@", -1}, {"?", -1}}));
}

TEST(Tokenizer, NumbersAndRanges) {
  EXPECT_EQ(Read("1..10"), (Tokens{{"1", 11}, {"..", 48}, {"10", 11}}));
  EXPECT_EQ(Read("3.14"), (Tokens{{"3.14", 12}}));
  EXPECT_EQ(Read("5."), (Tokens{{"5.", 12}}));
  EXPECT_EQ(Read(".5"), (Tokens{{".", 43}, {"5", 11}}));
  EXPECT_EQ(Read("1.2.3"), (Tokens{{"1.2.3", -1}}));
  EXPECT_EQ(Read("1e5"), (Tokens{{"1", 11}, {"e5", 10}}));
  EXPECT_EQ(Read("$FF $ G"), (Tokens{{"$FF", 11}, {"$", -1}, {"G", 10}}));
  EXPECT_EQ(Read("$G"), (Tokens{{"$", -1}, {"G", 10}}));
  EXPECT_EQ(Read("$1f0"), (Tokens{{"$1f0", 11}}));
}

TEST(Tokenizer, StringLiterals) {
  EXPECT_EQ(Read("'it''s'"), (Tokens{{"'it's'", 13}}));
  EXPECT_EQ(Read("''''"), (Tokens{{"'''", 13}}));
  EXPECT_EQ(Read("''"), (Tokens{{"''", 13}}));
  EXPECT_EQ(Read("'a' 'b'"), (Tokens{{"'a'", 13}, {"'b'", 13}}));
  // A literal cannot span lines: the line end is taken into the broken token.
  EXPECT_EQ(Read("'ab\ncd'"), (Tokens{{"'ab\n", -1}, {"cd", 10}, {"'", -1}}));
  EXPECT_EQ(Read("'abc"), (Tokens{{"'abc", -1}}));
  EXPECT_EQ(Read("'"), (Tokens{{"'", -1}}));
  // The literal ends at the text's length even without a closing quote.
  EXPECT_EQ(Read(std::string("'ab\0cd'", 7)), (Tokens{{"'ab", -1}}));
}

TEST(Tokenizer, CharacterCodes) {
  EXPECT_EQ(Read("#65"), (Tokens{{"'A'", 13}}));
  EXPECT_EQ(Read("#321"), (Tokens{{"'A'", 13}}));
  EXPECT_EQ(Read("#13"), (Tokens{{"'\r'", 13}}));
  EXPECT_EQ(Read("'a'#13"), (Tokens{{"'a'", 13}, {"'\r'", 13}}));
  EXPECT_EQ(Read("#x"), (Tokens{{"#", -1}, {"x", 10}}));
  EXPECT_EQ(Read("#2147483647"), (Tokens{{std::string("'\xFF'"), 13}}));
  EXPECT_THROW(Read("#2147483648"), EConvertError);
  EXPECT_THROW(Read("#99999999999999999999999"), EConvertError);
}

TEST(Tokenizer, Comments) {
  EXPECT_EQ(Read("a {x { y} b"), (Tokens{{"a", 10}, {"b", 10}}));
  EXPECT_EQ(Read("a (* x (* y *) b"), (Tokens{{"a", 10}, {"b", 10}}));
  EXPECT_EQ(Read("a (*) b *) c"), (Tokens{{"a", 10}, {"c", 10}}));
  EXPECT_EQ(Read("a // rest\r\nb"), (Tokens{{"a", 10}, {"b", 10}}));
  EXPECT_EQ(Read("a // rest"), (Tokens{{"a", 10}}));
  EXPECT_EQ(Read("{x}{y}  (*z*)// w"), Tokens{});
  EXPECT_EQ(Read("a/b"), (Tokens{{"a", 10}, {"/", 23}, {"b", 10}}));
  // Control characters other than tab and line ends are not blanks.
  EXPECT_EQ(Read("\x01"), (Tokens{{"\x01", -1}}));
}

TEST(Tokenizer, CommentErrorOffsets) {
  EXPECT_EQ(ErrorOffset("ab {cd"), 3);
  EXPECT_EQ(ErrorOffset("a } b"), 2);
  EXPECT_EQ(ErrorOffset("x (* y"), 2);
  EXPECT_EQ(ErrorOffset("x *) y"), 2);
  EXPECT_EQ(ErrorOffset("(*)"), 0);
  // A NUL ends the text: the brace after it does not close the comment.
  EXPECT_EQ(ErrorOffset(std::string("{a\0}", 4)), 0);
}

TEST(Tokenizer, FailedReadKeepsPosition) {
  TInterpreterParser parser;
  parser.SetSource("a } b");
  EXPECT_EQ(parser.NextTokenText(), "a");
  EXPECT_THROW(parser.NextTokenText(), EInterpreterError);
  EXPECT_EQ(parser.GetPosition(), 1u);
}

TEST(Tokenizer, EndOfText) {
  TInterpreterParser parser;
  parser.SetSource("");
  EXPECT_EQ(parser.NextTokenText(), "");
  EXPECT_EQ(ClassifyToken(""), 0);
  parser.SetSource(std::string("a\0b", 3));
  EXPECT_EQ(parser.NextTokenText(), "a");
  EXPECT_EQ(parser.NextTokenText(), "");
  EXPECT_EQ(parser.GetPosition(), 1u);
}

TEST(Tokenizer, KeywordsIgnoreCase) {
  for (const char* text : {"BEGIN", "Begin", "begin"}) EXPECT_EQ(ClassifyToken(text), 66) << text;
  EXPECT_EQ(ClassifyToken("Begins"), 10);
  EXPECT_EQ(ClassifyToken("IMPLEMENTATION"), 99);
  EXPECT_EQ(ClassifyToken("implementations"), 10);
  EXPECT_EQ(ClassifyToken("TRUE"), 65);
  EXPECT_EQ(ClassifyToken("false"), 63);
  EXPECT_EQ(ClassifyToken("DownTo"), 107);
  EXPECT_EQ(ClassifyToken("nil"), 10);
  EXPECT_EQ(ClassifyToken("with"), 10);
  const std::pair<const char*, int32_t> samples[] = {
      {"or", 29},     {"and", 26},      {"not", 21},       {"div", 24},   {"mod", 25},     {"shl", 36},
      {"shr", 37},    {"xor", 38},      {"end", 67},       {"if", 68},    {"then", 69},    {"else", 70},
      {"while", 71},  {"do", 72},       {"repeat", 73},    {"until", 74}, {"procedure", 75}, {"function", 76},
      {"for", 77},    {"to", 78},       {"break", 79},     {"continue", 80}, {"var", 81},  {"try", 82},
      {"finally", 83}, {"except", 84},  {"on", 85},        {"raise", 86}, {"external", 87}, {"unit", 88},
      {"uses", 89},   {"const", 90},    {"public", 91},    {"private", 92}, {"protected", 93},
      {"published", 94}, {"property", 95}, {"class", 96},  {"type", 97},  {"interface", 98}, {"exit", 100},
      {"array", 101}, {"of", 102},      {"case", 103},     {"program", 104}, {"in", 105}, {"record", 106}};
  for (const auto& [word, kind] : samples) EXPECT_EQ(ClassifyToken(word), kind) << word;
}

TEST(Tokenizer, Priorities) {
  EXPECT_EQ(OperatorPriority(21), 8);
  for (int32_t k : {22, 23, 24, 25, 36, 37}) EXPECT_EQ(OperatorPriority(k), 6) << k;
  EXPECT_EQ(OperatorPriority(26), 5);
  for (int32_t k : {27, 28, 29}) EXPECT_EQ(OperatorPriority(k), 4) << k;
  for (int32_t k : {30, 31, 32, 33, 38}) EXPECT_EQ(OperatorPriority(k), 3) << k;
  for (int32_t k : {34, 35}) EXPECT_EQ(OperatorPriority(k), 2) << k;
  for (int32_t k : {-1, 0, 10, 13, 40, 66}) EXPECT_EQ(OperatorPriority(k), 0) << k;
}

TEST(Tokenizer, CyrillicOnlyAfterDot) {
  std::string name = "Имя1"_cp;
  EXPECT_EQ(Read("obj." + name), (Tokens{{"obj", 10}, {".", 43}, {name, 10}}));
  EXPECT_EQ(Read("obj. " + name), (Tokens{{"obj", 10}, {".", 43}, {name, 10}}));
  // At the start of an expression the same word is read letter by letter.
  Tokens letters = Read(name);
  ASSERT_EQ(letters.size(), 4u);
  EXPECT_EQ(letters[0], (std::pair<std::string, int32_t>{"И"_cp, 10}));
  EXPECT_EQ(letters[3], (std::pair<std::string, int32_t>{"1", 11}));
  // Latin identifiers never take such letters in.
  EXPECT_EQ(Read("ab" + "в"_cp), (Tokens{{"ab", 10}, {"в"_cp, 10}}));
}

TEST(Tokenizer, ClassifyIsPure) {
  EXPECT_EQ(ClassifyToken("..x"), 48);
  EXPECT_EQ(ClassifyToken("$"), -1);
  EXPECT_EQ(ClassifyToken("$12AZ"), -1);
  EXPECT_EQ(ClassifyToken("7"), 11);
  EXPECT_EQ(ClassifyToken("_x9"), 10);
  EXPECT_EQ(ClassifyToken("9x"), -1);
  EXPECT_EQ(ClassifyToken("'"), -1);
  EXPECT_EQ(ClassifyToken("Ёж"_cp), 10);
}

TEST(Tokenizer, RereadFromOffset) {
  TInterpreterParser parser;
  parser.SetSource("while i < 10 do i := i + 1");
  parser.NextTokenText();
  size_t mark = parser.GetPosition();
  std::vector<std::string> first, second;
  for (int i = 0; i < 4; ++i) first.push_back(parser.NextTokenText());
  parser.SetPosition(mark);
  for (int i = 0; i < 4; ++i) second.push_back(parser.NextTokenText());
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, (std::vector<std::string>{"i", "<", "10", "do"}));
  parser.Restart();
  EXPECT_EQ(parser.NextTokenText(), "while");
  TToken t = ReadToken(parser.Source(), 5);
  EXPECT_EQ(t.Start, 6u);
  EXPECT_EQ(t.End, 7u);
  EXPECT_EQ(t.Text, "i");
}

}  // namespace
