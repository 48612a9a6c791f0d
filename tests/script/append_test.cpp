// `s := s + ...` on a local text appends where the text is: the result must
// be what the plain join gives in every case the shortcut meets or leaves.
#include <gtest/gtest.h>

#include <string>

#include "interp_support.h"

namespace {

TEST(AppendInPlace, JoinsLikeThePlainJoin) {
  EXPECT_EQ(Eval("var s: string; begin s := 'a'; s := s + 'b' + 'c'; s := S + 'd'; Result := s; end;"), "abcd");
  EXPECT_EQ(Eval("var s: string; i: integer; begin s := ''; for i := 1 to 5 do s := s + 'x' + IntToStr(i); "
                 "Result := s; end;"),
            "x1x2x3x4x5");
  EXPECT_EQ(Eval("var s: variant; begin s := 'v'; s := s + 'w'; Result := s; end;"), "vw");
  // Pieces bound tighter than "+" are whole pieces.
  EXPECT_EQ(Eval("var s: string; begin s := 'n'; s := s + IntToStr(2 * 3) + (('(') + ')'); Result := s; end;"),
            "n6()");
  EXPECT_EQ(Eval("unit U; function F: string; var s: string; begin s := 'f'; s := s + 'g'; Result := s; end; "
                 "function main: string; begin Result := F + F; end; end."),
            "fgfg");
}

TEST(AppendInPlace, ATextSomeoneElseHoldsIsCopiedFirst) {
  EXPECT_EQ(Eval("var s, t: string; begin s := 'a'; t := s; s := s + 'b'; Result := s + '|' + t; end;"), "ab|a");
  EXPECT_EQ(Eval("var s: string; v: variant; begin s := 'a'; v := s; s := s + 'b'; s := s + 'c'; "
                 "Result := s + '|' + v; end;"),
            "abc|a");
  EXPECT_EQ(Eval("var s, t: string; begin s := 'a'; t := s + 'b'; s := s + 'c'; Result := s + '|' + t; end;"), "ac|ab");
}

TEST(AppendInPlace, OtherShapesKeepThePlainRules) {
  // The target read again on the right: the old text, not the growing one.
  EXPECT_EQ(Eval("var s: string; begin s := 'ab'; s := s + 'x' + s; Result := s; end;"), "abxab");
  // A comparison takes the joined text as its operand.
  EXPECT_EQ(Eval("var s: variant; begin s := 'a'; s := s + 'b' = 'ab'; Result := s; end;"), "True");
  EXPECT_EQ(Eval("var s: string; begin s := 'a'; s := s + 'b' - 'c'; Result := s; end;").rfind("<error", 0), 0u);
  // A number among the pieces: the variant rules from there on.
  EXPECT_EQ(Eval("var s: string; begin s := '1'; s := s + 2; Result := s; end;"), "3");
  EXPECT_EQ(Eval("var s: string; begin s := 'x'; s := s + 'y' + 2; Result := s; end;"), "<error 53>");
  // An untyped variable is text one time and a number another.
  EXPECT_EQ(Eval("var v: variant; i: integer; begin v := 1; for i := 1 to 4 do begin if i = 3 then v := 'a'; "
                 "v := v + '2'; end; Result := v; end;"),
            "a22");
  // An integer variable is no text.
  EXPECT_EQ(Eval("var n: integer; begin n := 1; n := n + 2 + 3; Result := n; end;"), "6");
}

TEST(AppendInPlace, AFailingPieceLeavesTheTextAsItWas) {
  EXPECT_EQ(Eval("var s: string; begin s := 'ab'; try s := s + 'c' + IntToStr(StrToInt('x')); except end; "
                 "Result := s; end;"),
            "ab");
  EXPECT_EQ(Eval("var s: string; begin s := 'ab'; try s := s + 'c' + Undeclared; except end; Result := s; end;"),
            "ab");
}

TEST(AppendInPlace, AppendsAreCountedAgainstTheBudget) {
  TInterpreterProgram program;
  program.Limits().MemoryBudget = int64_t{1} << 20;
  const EInterpreterError e = ScriptError(
      "var s, k: string; i: integer; begin k := 'x'; for i := 1 to 10 do k := k + k; s := ''; "
      "for i := 1 to 5000 do s := s + k; end;",
      &program);
  EXPECT_EQ(e.ErrCode, 2);
  EXPECT_EQ(e.ErrName1, "Out of memory");
}

}  // namespace
