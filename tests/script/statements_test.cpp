// The statement interpreter: loops, case, exceptions, sections, the skipper
// and the bounds that keep scripts from crashing the process.
#include <gtest/gtest.h>

#include "interp_support.h"

TEST(Statements, BlockRunsAndRequiresItsSemicolon) {
  EXPECT_EQ(Eval("begin Result := 1; end;"), "1");
  EXPECT_EQ(Eval("var a: integer; const c = 5; begin a := c; c := 6; Result := a + c; end;"), "11");
  EXPECT_EQ(Eval("begin Undeclared := 1; end;"), "<error 104>");
  EXPECT_EQ(Eval("var a: integer; begin a := '12'; Result := a + 1; end;"), "13");
  EXPECT_EQ(Eval("var a: variant; begin a := '12'; Result := a + 'x'; end;"), "12x");
}

TEST(Statements, ForLoops) {
  EXPECT_EQ(Eval("var i, n: integer; begin n := 0; for i := 3 to 1 do n := n + 1; Result := n; end;"), "0");
  EXPECT_EQ(Eval("var i: integer; begin for i := 1 to 3 do if i = 2 then break; Result := i; end;"), "2");
  // The bounds are read once.
  EXPECT_EQ(Eval("var i, n, k: integer; begin n := 3; k := 0; for i := 1 to n do begin n := 10; k := k + 1; end; "
                 "Result := k; end;"),
            "3");
  EXPECT_EQ(Eval("var i, n: integer; begin n := 0; for i := 5 downto 1 do n := n * 10 + i; Result := n; end;"),
            "54321");
  // A bound at the 32-bit end still terminates.
  EXPECT_EQ(Eval("var i, n: integer; begin n := 0; for i := 2147483646 to 2147483647 do n := n + 1; "
                 "Result := n; end;"),
            "2");
  EXPECT_EQ(Eval("var i, n: integer; begin n := 0; for i := -2147483647 - 1 downto -2147483647 - 1 do "
                 "n := n + 1; Result := n; end;"),
            "1");
  EXPECT_EQ(Eval("var i, n: integer; begin n := 0; for i := 1 to 5 do begin if i = 2 then continue; "
                 "n := n + i; end; Result := n; end;"),
            "13");
}

TEST(Statements, WhileAndRepeat) {
  EXPECT_EQ(Eval("var i: integer; begin i := 0; while i < 5 do i := i + 1; Result := i; end;"), "5");
  EXPECT_EQ(Eval("var i: integer; begin i := 0; while true do begin i := i + 1; if i > 3 then break; end; "
                 "Result := i; end;"),
            "4");
  EXPECT_EQ(Eval("begin while 1 do ; end;"), "<error 105>");
  EXPECT_EQ(Eval("var i: integer; begin i := 0; repeat i := i + 1; until i >= 3; Result := i; end;"), "3");
  // Without the semicolon `until` is passed over.
  EXPECT_NE(Eval("var i: integer; begin i := 0; repeat i := i + 1 until i >= 3; Result := i; end;"), "3");
  // continue goes to until, which still decides.
  EXPECT_EQ(Eval("var i, n: integer; begin i := 0; n := 0; repeat i := i + 1; if i < 3 then continue; "
                 "n := n + 1; until i >= 5; Result := n * 10 + i; end;"),
            "35");
  EXPECT_EQ(Eval("var i: integer; begin i := 0; repeat i := i + 1; if i = 2 then break; until false; "
                 "Result := i; end;"),
            "2");
}

TEST(Statements, CaseRanges) {
  const std::string text =
      "var a, s: integer; begin s := %; case s of 1..3: a := 1; 4, 5: a := 2; else a := 3 end; Result := a; end;";
  auto with = [&](const char* v) {
    std::string t = text;
    t.replace(t.find('%'), 1, v);
    return Eval(t);
  };
  EXPECT_EQ(with("5"), "2");
  EXPECT_EQ(with("2"), "1");
  EXPECT_EQ(with("9"), "3");
  EXPECT_EQ(Eval("var a: integer; begin a := 0; case 7 of 1: a := 1; end; Result := a; end;"), "0");
  EXPECT_EQ(Eval("var b: byte; begin b := 1; case b of 1: Result := 1; end; end;"), "<error 108>");
}

TEST(Statements, ExceptionsAreHandledAndTheLastErrorCleared) {
  TInterpreterProgram p;
  RegisterDevHost();
  p.SetSource("var y: integer; begin try y := 1 div 0; except y := 1; end; Result := y; end;");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsInteger(), 1);
  EXPECT_EQ(p.LastError().ErrPos, -1);
  // A failure leaving a function is recorded with unit and line...
  p.SetSource("unit X;\r\nfunction F: integer;\r\nbegin Result := 1 div 0; end;\r\n"
              "function main: integer; begin Result := F; end; end.");
  EXPECT_THROW(p.Run(), EDivByZero);
  EXPECT_EQ(p.LastError().ErrCode, 6);
  EXPECT_TRUE(p.LastError().Completed);
  EXPECT_EQ(p.LastError().ErrLine, 3);
  EXPECT_EQ(p.LastError().Message(), "Error in unit 'X' on line 3 : Division by zero");
  // ...and cleared once a handler has dealt with it.
  p.SetSource("unit X;\r\nfunction F: integer;\r\nbegin Result := 1 div 0; end;\r\n"
              "function main: integer; begin try Result := F; except Result := 2; end; end; end.");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsInteger(), 2);
  EXPECT_EQ(p.LastError().ErrCode, 6);
  EXPECT_FALSE(p.LastError().Completed);
  EXPECT_EQ(p.LastError().ErrPos, -1);
  EXPECT_EQ(Eval("var m: string; begin try raise Exception.Create('boom'); except on E: Exception do "
                 "m := E.Message; end; Result := m; end;"),
            "boom");
  EXPECT_EQ(Eval("var m: string; begin try m := IntToStr(1 div 0); except on E: EConvertError do m := 'c'; "
                 "on E: EDivByZero do m := E.Message; end; Result := m; end;"),
            "Division by zero");
  // No clause matches: the exception leaves the try.
  try {
    RunScript("begin try Result := 1 div 0; except on E: EConvertError do Result := 2; end; end;");
    FAIL();
  } catch (const EDivByZero&) {
  }
  EXPECT_EQ(Eval("begin try raise Exception.Create('x'); except on E: EConvertError do Result := 1; "
                 "else Result := 2; end; end;"),
            "2");
  EXPECT_EQ(Eval("begin raise; end;"), "<error 4>");
  EXPECT_EQ(Eval("begin raise 5; end;"), "<error 106>");
  EXPECT_EQ(Eval("var i: integer; begin i := 1; raise i; end;"), "<error 106>");
  EXPECT_EQ(Eval("begin try Result := 1; except on E: Nothing do ; end; end;"), "1");
}

TEST(Statements, ReraisingSharesTheExceptionObject) {
  EXPECT_EQ(Eval("var m: string; begin try try raise Exception.Create('inner'); except on E: Exception do "
                 "raise E; end; except on F: Exception do m := F.Message; end; Result := m; end;"),
            "inner");
  EXPECT_EQ(Eval("var m: string; begin try try Result := 1 div 0; except raise; end; except "
                 "on E: EDivByZero do m := 'again'; end; Result := m; end;"),
            "again");
}

TEST(Statements, ARaisedScriptObjectGoesWithItsException) {
  EXPECT_EQ(Eval("var keep: variant; begin try raise Exception.Create('x'); except on E: Exception do keep := E; "
                 "end; Result := keep.Message; end;"),
            "<error 2>");
}

TEST(Statements, FinallyRunsWhole) {
  EXPECT_EQ(Eval("var a: integer; begin a := 0; try a := 1; finally a := a + 10; end; Result := a; end;"), "11");
  // After an exception the finally part runs and the exception goes on.
  EXPECT_EQ(Eval("var a: integer; begin a := 0; try try a := 1 div 0; finally a := 5; end; except "
                 "a := a * 2; end; Result := a; end;"),
            "10");
  // After break and continue every statement of the finally part runs.
  EXPECT_EQ(Eval("var i, a: integer; begin a := 0; for i := 1 to 3 do try if i = 2 then break; finally "
                 "a := a + 1; a := a + 100; end; Result := a; end;"),
            "202");
  EXPECT_EQ(Eval("var i, a: integer; begin a := 0; for i := 1 to 3 do try continue; finally a := a + 1; "
                 "a := a + 10; end; Result := a; end;"),
            "33");
}

TEST(Statements, ExitLeavesTheFunctionAfterItsFinally) {
  EXPECT_EQ(Eval("unit U; var log: string; function F: integer; begin Result := 1; try exit; finally "
                 "log := log + 'f'; log := log + 'g'; end; Result := 2; end; "
                 "function main: string; begin Result := IntToStr(F) + log; end; end."),
            "1fg");
}

TEST(Statements, SkippedCodeIsNotRunAndNestingIsBounded) {
  EXPECT_EQ(Eval("var a: integer; begin a := 1; if false then begin a := Undeclared; end else a := 2; "
                 "Result := a; end;"),
            "2");
  std::string deep = "begin ";
  for (int i = 0; i < 100000; ++i) deep += "begin ";
  EXPECT_EQ(Eval(deep), "<error 52>");
  std::string skipped = "begin if false then ";
  for (int i = 0; i < 100000; ++i) skipped += "if false then ";
  EXPECT_EQ(Eval(skipped + "Result := 1; end;"), "<error 52>");
  std::string blocks = "begin if false then ";
  for (int i = 0; i < 100000; ++i) blocks += "begin ";
  for (int i = 0; i < 100000; ++i) blocks += "end ";
  EXPECT_EQ(Eval(blocks + "; Result := 3; end;"), "3");
  EXPECT_EQ(Eval("unit U; function F(n: integer): integer; begin Result := F(n + 1); end; "
                 "function main: integer; begin Result := F(0); end; end."),
            "<error 52>");
  // Skips that run out of text end with an error, never spin.
  EXPECT_EQ(Eval("begin if false then begin"), "<error 103>");
  EXPECT_EQ(Eval("begin repeat"), "<error 103>");
  EXPECT_EQ(Eval("begin try ) ( ]"), "<error 103>");
}

TEST(Statements, OnStatementStopsARunawayScript) {
  RegisterDevHost();
  TInterpreterProgram p;
  int statements = 0;
  p.OnStatement = [&](TObject*) {
    if (++statements > 1000) throw EInterpreterError(3, -1);
  };
  p.SetSource("begin while true do ; end;");
  try {
    p.Run();
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 3);
  }
  EXPECT_GT(statements, 1000);
}

TEST(Statements, ConversionsOfHugeNumbersRaise) {
  EXPECT_NO_THROW(RunScript("var d: double; begin d := 1.5; end;"));
  EXPECT_THROW(RunScript("var i: integer; begin i := 99999999999.0; end;"), Exception);
  EXPECT_THROW(RunScript("var i: integer; begin i := (0.0 / 0.0); end;"), Exception);
}
