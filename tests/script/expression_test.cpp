// The expression evaluator: priorities, operands, sets, indexing, members
// and the errors it reports with their positions.
#include <gtest/gtest.h>

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
  EXPECT_EQ(cache.Read(0).Text, "a");
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
