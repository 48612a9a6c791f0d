// The expression evaluator: priorities, operands, sets, indexing, members
// and the errors it reports with their positions.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "interp_support.h"
#include "tokencache.h"

TEST(Expression, PrioritiesAreTheLanguagesOwn) {
  EXPECT_EQ(Eval("1 + 2 * 3"), "7");
  EXPECT_EQ(Eval("(1 + 2) * 3"), "9");
  EXPECT_EQ(Eval("10 - 4 - 3"), "3");
  EXPECT_EQ(Eval("2 * 3 div 4"), "1");
  EXPECT_EQ(Eval("-2 * 3"), "-6");
  EXPECT_EQ(Eval("3 - -2"), "5");
  EXPECT_EQ(Eval("not true or true"), "True");
  // `and` binds tighter than `=`: 1 = (3 and 1).
  EXPECT_EQ(Eval("1 = 3 and 1"), "True");
  // Comparisons of one level read left to right.
  EXPECT_EQ(Eval("1 < 2 = true"), "True");
  // `<=` binds more loosely: 1 <= (2 = true), and 2 = true is false.
  EXPECT_EQ(Eval("1 <= 2 = true"), "False");
  EXPECT_EQ(Eval("(1 <= 2) = true"), "True");
  // `xor` sits with the comparisons: (1 xor 3) = 2.
  EXPECT_EQ(Eval("1 xor 3 = 2"), "True");
  EXPECT_EQ(Eval("7 mod 4 * 2"), "6");
  EXPECT_EQ(Eval("'ab' + 'c'"), "abc");
  EXPECT_EQ(Eval("7 / 2"), "3.5");
  EXPECT_EQ(Eval("$FF + 1"), "256");
}

TEST(Expression, ShiftsMaskTheirCountAndDivisionNeverTraps) {
  EXPECT_EQ(Eval("1 shl 33"), "2");
  EXPECT_EQ(Eval("-1 shr 28"), "15");
  EXPECT_EQ(Eval("(-2147483647 - 1) div -1"), "2147483648");
  EXPECT_EQ(Eval("(-2147483647 - 1) mod -1"), "0");
  // The 64-bit MinInt has no quotient by -1: a type error, not a trap.
  EXPECT_EQ(Eval("((-2147483647 - 1) * 65536 * 65536) div -1"), "<error 53>");
  try {
    RunScript("1 div 0");
    FAIL();
  } catch (const EDivByZero&) {
  }
}

TEST(Expression, SetsAreMasks) {
  EXPECT_EQ(Eval("[1, 2] = [3]"), "True");
  EXPECT_EQ(Eval("begin Result := [1, 2]; end;"), "3");
  EXPECT_EQ(Eval("var x: integer; begin x := 2; Result := [x]; end;"), "4");
  EXPECT_EQ(Eval("var a, b: integer; begin a := 1; b := 3; Result := [a] + [b]; end;"), "10");
  EXPECT_EQ(Eval("var a, b: integer; begin a := 1; b := 3; Result := [a, b] - [b] = [a]; end;"), "True");
  EXPECT_EQ(Eval("begin Result := []; end;"), "0");
}

TEST(Expression, StringsAreIndexedFromOne) {
  EXPECT_EQ(Eval("var s: string; begin s := 'ab'; Result := s[2]; end;"), "b");
  EXPECT_EQ(Eval("var s: string; begin s := 'ab'; Result := s[1, 1]; end;"), "<error 172>");
  try {
    RunScript("var s: string; begin s := ''; Result := s[1]; end;");
    FAIL();
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Range check error");
  }
  EXPECT_EQ(Eval("var s: string; begin s := 'abc'; s[2] := 'x'; Result := s; end;"), "axc");
}

TEST(Expression, ArraysAndElements) {
  EXPECT_EQ(Eval("var a: array[1..3] of integer; begin a[2] := 5; Result := a[2] + a[1]; end;"), "5");
  EXPECT_EQ(Eval("var a: array[1..3, 1..2] of string; begin a[3, 2] := 'z'; Result := a[3, 2]; end;"), "z");
  EXPECT_EQ(Eval("var a: array[1..3] of integer; begin Result := a[4]; end;"), "<error 171>");
  EXPECT_EQ(Eval("var a: array[1..3, 1..2] of integer; begin Result := a[1]; end;"), "<error 173>");
  EXPECT_EQ(Eval("var a: array[1..3] of integer; begin Result := a[1, 1]; end;"), "<error 172>");
  EXPECT_EQ(Eval("var a: array[1..11, 1..1, 1..1, 1..1, 1..1, 1..1, 1..1, 1..1, 1..1, 1..1, 1..1] of integer; "
                 "begin end;"),
            "<error 174>");
  EXPECT_EQ(Eval("var a: array[3..1] of integer; begin end;"), "<error 175>");
  EXPECT_EQ(Eval("var i: integer; begin i := 3; Result := i[1]; end;"), "<error 176>");
}

TEST(Expression, ErrorsCarryTheirCodesAndPositions) {
  EInterpreterError e = ScriptError("1 2");
  EXPECT_EQ(e.ErrCode, 110);
  EXPECT_EQ(e.ErrPos, 3);
  e = ScriptError("1 +");
  EXPECT_EQ(e.ErrCode, 103);
  EXPECT_EQ(e.Message(), "Expression expected but End of File found");
  e = ScriptError("(1");
  EXPECT_EQ(e.Message(), "')' expected but End of File found");
  e = ScriptError("1 + foo;");
  EXPECT_EQ(e.ErrCode, 104);
  EXPECT_EQ(e.Message(), "Undeclared Identifier 'foo'");
  EXPECT_EQ(e.ErrPos, 7);  // where the token after the name starts
  e = ScriptError("var x: integer; begin x := 1; Result := x.y; end;");
  EXPECT_EQ(e.ErrCode, 109);
  e = ScriptError("begin if 1 then Result := 2; end;");
  EXPECT_EQ(e.ErrCode, 105);
  EXPECT_EQ(e.ErrPos, 9);
  e = ScriptError("begin case 'a' of 1: Result := 1; end; end;");
  EXPECT_EQ(e.ErrCode, 108);
  EXPECT_EQ(e.ErrPos, 11);
  e = ScriptError("begin Result := 1 end");
  EXPECT_EQ(e.Message(), "';' expected but End of File found");
  e = ScriptError("var a, b: array[1..3] of integer; begin a[1] := 5; b := a; end;");
  EXPECT_EQ(e.Message(), "Internal interpreter error: Array to array assignmentnot implemented");
}

TEST(Expression, NestingIsBoundedButLengthIsNot) {
  std::string flat = "1";
  for (int i = 0; i < 100000; ++i) flat += "+1";
  EXPECT_EQ(Eval(flat), "100001");
  std::string parens = "(1)";
  for (int i = 0; i < 1000; ++i) parens += "+(1)";
  EXPECT_EQ(Eval(parens), "1001");
  EXPECT_EQ(Eval(std::string(100000, '(') + "1"), "<error 8>");
  std::string nots;
  for (int i = 0; i < 100000; ++i) nots += "not ";
  EXPECT_EQ(Eval(nots + "true"), "<error 8>");
  std::string minus(100000, '-');
  EXPECT_EQ(Eval(minus + "1"), "<error 8>");
  EXPECT_EQ(Eval(std::string(50000, '[') + "1"), "<error 103>");
}

TEST(Expression, RecordsOfTheTypesUnit) {
  EXPECT_EQ(Eval("var r: TRect; begin r := Bounds(10, 20, 30, 40); "
                 "Result := IntToStr(r.Left) + ',' + IntToStr(r.Top) + ',' + IntToStr(r.Right) + ',' + "
                 "IntToStr(r.Bottom); end;"),
            "10,20,40,60");
  EXPECT_EQ(Eval("var r: TRect; begin r := Rect(10, 20, 30, 40); Result := r.Right * 100 + r.Bottom; end;"),
            "3040");
  // Writing TopLeft changes the rectangle; the point read is independent.
  EXPECT_EQ(Eval("var r: TRect; p: TPoint; begin r := Rect(1, 2, 3, 4); r.TopLeft := Point(7, 8); "
                 "p := r.TopLeft; p.X := 99; Result := r.Left * 10 + r.Top + p.X * 1000; end;"),
            "99078");
  EXPECT_EQ(Eval("var r: TRect; begin r := Rect(1, 2, 3, 4); Result := r.BottomRight.Y; end;"), "4");
  EXPECT_EQ(Eval("Point(1)"), "<error 182>");
  EXPECT_EQ(Eval("Point(1, 2, 3)"), "<error 181>");
}

TEST(Expression, TokenizerErrorsSurfaceOnlyWhenReached) {
  EXPECT_EQ(Eval("begin Result := 1; end; }"), "1");
  EInterpreterError e = ScriptError("1 + }");
  EXPECT_EQ(e.ErrCode, 101);
  EXPECT_EQ(e.ErrPos, 4);
  // A cached failure is raised afresh, the same way, at every read.
  TTokenCache cache;
  std::string text = "a (* b";
  cache.Reset(text);
  EXPECT_EQ(cache.Read(0).Text(), "a");
  for (int i = 0; i < 2; ++i) {
    try {
      cache.Read(1);
      FAIL();
    } catch (const EInterpreterError& err) {
      EXPECT_EQ(err.ErrCode, 101);
      EXPECT_EQ(err.ErrPos, 2);
      EXPECT_FALSE(err.Completed);
    }
  }
}

namespace {

// What a run of `text` gives: the kind and text of its result, or the code
// and position of the error it raised.
std::string Outcome(const std::string& text) {
  try {
    Variant v = RunScript(text);
    return VarTypeAsText(v.VarType()) + ":" + VarToStr(v);
  } catch (const EInterpreterError& e) {
    return "error " + std::to_string(e.ErrCode) + " at " + std::to_string(e.ErrPos) + ": " + e.Message();
  } catch (const std::exception& e) {
    return std::string("exception: ") + e.what();
  }
}

// `expr` over the names a..f read once as locals of a function and once as
// unit variables, which are not locals; both texts put `expr` at the same
// offset, so error positions compare too.
std::pair<std::string, std::string> AsLocalsAndAsUnitVars(const std::string& expr) {
  const std::string decls = "var a, b, c: integer; d: double; s: string; p: boolean; ";
  const std::string head = "function main: Variant; ";
  const std::string body =
      "begin a := 7; b := -3; c := 2147483647; d := 2.5; s := '12'; p := true; Result := " + expr + "; end; end.";
  return {Outcome("unit U; " + head + decls + body), Outcome("unit U; " + decls + head + body)};
}

}  // namespace

TEST(Expression, LocalNamesAndLiteralsGiveWhatEveryOtherNameGives) {
  // Expressions of locals and literals are worked out once per place in the
  // text; generated ones must give the very result, kind and error that the
  // same expression over names that are not locals gives.
  // Integers alone, where overflow and comparisons matter most, and then
  // every kind of value with every operator.
  const std::vector<std::string> integers = {"a", "b", "c", "0", "3", "2147483647"};
  const std::vector<std::string> integerOps = {"+", "-", "*", "=", "<>", "<", ">", "<=", ">="};
  const std::vector<std::string> operands = {"a", "b", "c", "d", "s", "p", "0", "3", "2147483647", "1.5", "'x'", "true"};
  const std::vector<std::string> operators = {"+",   "-",  "*",   "/", "div", "mod", "shl", "shr", "and",
                                              "or",  "xor", "=",  "<>", "<",  ">",   "<=",  ">="};
  std::mt19937 random(20261209);
  auto pick = [&](const std::vector<std::string>& list) { return list[random() % list.size()]; };
  std::function<std::string(int, bool)> generate = [&](int depth, bool mixed) {
    const auto& from = mixed ? operands : integers;
    const auto& ops = mixed ? operators : integerOps;
    std::string e = pick(from);
    int terms = static_cast<int>(random() % 4);
    for (int i = 0; i < terms; ++i) {
      std::string right = depth < 2 && random() % 3 == 0 ? "(" + generate(depth + 1, mixed) + ")" : pick(from);
      e += " " + pick(ops) + " " + right;
    }
    return e;
  };
  int failures = 0;
  for (int i = 0; i < 800 && failures < 5; ++i) {
    std::string expr = generate(0, i % 2 == 1);
    auto [local, unitVar] = AsLocalsAndAsUnitVars(expr);
    EXPECT_EQ(local, unitVar) << expr;
    failures += local != unitVar;
  }
  // Shapes a plan does not cover, and broken ones, still read the long way.
  for (const char* expr : {"a b", "a +", "(a", "a)", "-a + b", "a + -b", "a * (b - (c + 1))", "not p or p",
                           "a + [1]", "(a) (b)", "a + b c", "s[1] + s", "a + Length(s)", "a := 1", "a."}) {
    auto [local, unitVar] = AsLocalsAndAsUnitVars(expr);
    EXPECT_EQ(local, unitVar) << expr;
  }
}

TEST(Expression, LocalExpressionsLeaveTheReaderWhereTheLongWayDoes) {
  EXPECT_EQ(Eval("var a, b, r: integer; begin a := 2; b := 5; r := 0;"
                 " if a < b then r := a * b else r := a - b;"
                 " while a < b do a := a + 1;"
                 " case a - b of 0: r := r + 100; end;"
                 " for a := b - 2 to b + 1 do r := r + a;"
                 " repeat b := b - 1; until b <= a - 3;"
                 " Result := IntToStr(r) + ',' + IntToStr(b) + Copy('abcdef', a - 4, b - 1); end;"),
            "128,3bc");
}
