// The statement interpreter: loops, case, exceptions, sections, the skipper
// and the bounds that keep scripts from crashing the process.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>

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
  // Without the semicolon `until` is passed over, and its condition is then
  // read as a statement.
  EXPECT_EQ(Eval("var i: integer; begin i := 0; repeat i := i + 1 until i >= 3; Result := i; end;"),
            "<error 103>");
  EXPECT_EQ(ScriptError("var i: integer; begin i := 0; repeat i := i + 1 until i >= 3; Result := i; end;").Message1,
            "';' expected but '>=' found");
  // continue goes to until, which still decides.
  EXPECT_EQ(Eval("var i, n: integer; begin i := 0; n := 0; repeat i := i + 1; if i < 3 then continue; "
                 "n := n + 1; until i >= 5; Result := n * 10 + i; end;"),
            "35");
  EXPECT_EQ(Eval("var i: integer; begin i := 0; repeat i := i + 1; if i = 2 then break; until false; "
                 "Result := i; end;"),
            "2");
  // A continue is over before the condition calls a function.
  EXPECT_EQ(Eval("unit X; var calls: integer; function lim(n: integer): integer; begin calls := calls + 1; "
                 "Result := n; end; function main: string; var i, t: integer; begin i := 0; t := 0; "
                 "while i < lim(5) do begin i := i + 1; if i = 2 then continue; t := t + i; end; "
                 "Result := IntToStr(t) + ' ' + IntToStr(calls); end; end."),
            "13 6");
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
  // A handler's variable hides a local and an outer handler's of its name.
  EXPECT_EQ(Eval("var m: string; E: integer; begin E := 7; try raise Exception.Create('outer'); except "
                 "on E: Exception do begin try raise Exception.Create('inner'); except on E: Exception do "
                 "m := E.Message; end; m := m + '/' + E.Message; end; end; Result := m + '/' + IntToStr(E); end;"),
            "inner/outer/7");
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
  std::string skipped = "begin if false then ";
  for (int i = 0; i < 100000; ++i) skipped += "if false then ";
  // The stack bounds nesting, run or skipped: on a small one these meet it.
  std::string deepResult, skippedResult;
  RunOnStack(size_t{2} << 20, [&] {
    deepResult = Eval(deep);
    skippedResult = Eval(skipped + "Result := 1; end;");
  });
  EXPECT_EQ(deepResult, "<error 52>");
  EXPECT_EQ(skippedResult, "<error 52>");
  std::string blocks = "begin if false then ";
  for (int i = 0; i < 100000; ++i) blocks += "begin ";
  for (int i = 0; i < 100000; ++i) blocks += "end ";
  EXPECT_EQ(Eval(blocks + "; Result := 3; end;"), "3");
  // A runaway recursion stops where the saved reader states run out.
  EXPECT_EQ(Eval("unit U; function F(n: integer): integer; begin Result := F(n + 1); end; "
                 "function main: integer; begin Result := F(0); end; end."),
            "<error 2>");
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

// The skipper replays a pass over code it has passed before from the same
// token; a replay must leave everything as the pass itself would.

namespace {

// Runs `text` twice in one program, so that the second run replays the
// skips the first recorded; each run's result and statement count.
struct TTwoRuns {
  std::string First, Second;
  int FirstStatements = 0, SecondStatements = 0;
};

TTwoRuns RunTwice(const std::string& text) {
  RegisterDevHost();
  TInterpreterProgram p;
  int statements = 0;
  p.OnStatement = [&](TObject*) { ++statements; };
  p.SetSource(text);
  TTwoRuns r;
  p.Run();
  r.First = VarToStr(p.ResultValue);
  r.FirstStatements = std::exchange(statements, 0);
  p.Run();
  r.Second = VarToStr(p.ResultValue);
  r.SecondStatements = statements;
  return r;
}

// The error a run raises: code, position, line and message; "none" if none.
std::string RunError(TInterpreterProgram& p) {
  try {
    p.Run();
  } catch (const EInterpreterError& e) {
    return std::to_string(e.ErrCode) + "@" + std::to_string(e.ErrPos) + ":" + std::to_string(e.ErrLine) + " " +
           e.Message();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "none";
}

std::string RunError(const std::string& text) {
  RegisterDevHost();
  TInterpreterProgram p;
  p.SetSource(text);
  return RunError(p);
}

}  // namespace

TEST(Statements, CodeSkippedAgainAndAgainEndsWhereItsFirstPassEnded) {
  // Every branch, case arm, loop and except part is skipped in some passes
  // and run in others. A const label ends its skip with a token pushed back;
  // the one of `three` is recorded after `one` and replayed after `two`.
  const std::string text =
      "var i, j, k: integer; s: string; const one = 1; two = 2; three = 3; begin s := ''; for i := 1 to 30 do begin "
      "if i mod 3 = 0 then s := s + 'a' else if i mod 3 = 1 then s := s + 'b' else s := s + 'c'; "
      "case i mod 4 of one: s := s + '1'; two: s := s + '2'; three: s := s + '3'; else s := s + '-' end; "
      "if i mod 5 = 0 then begin k := 0; for j := 1 to i do k := k + j; s := s + IntToStr(k); end "
      "else begin j := 0; while j < 2 do j := j + 1; repeat j := j - 1; until j = 0; s := s + '.'; end; "
      "try s := s + 't'; except s := s + 'x'; end; s := s + ';'; end; Result := s; end;";
  std::string expected;
  for (int i = 1; i <= 30; ++i) {
    expected += i % 3 == 0 ? 'a' : i % 3 == 1 ? 'b' : 'c';
    expected += i % 4 == 0 ? '-' : static_cast<char>('0' + i % 4);
    expected += i % 5 == 0 ? std::to_string(i * (i + 1) / 2) : ".";
    expected += "t;";
  }
  TTwoRuns r = RunTwice(text);
  EXPECT_EQ(r.First, expected);
  EXPECT_EQ(r.Second, expected);
  EXPECT_EQ(r.SecondStatements, r.FirstStatements);
}

TEST(Statements, ContinueAndBreakInRepeatLeaveSkippedCodeAlone) {
  // continue and break, run and skipped, in and around try parts and nested
  // repeats.
  const std::string text =
      "var i, n, m, f: integer; s: string; begin i := 0; n := 0; m := 0; f := 0; s := ''; repeat i := i + 1; "
      "if i mod 2 = 0 then continue; "
      "if i > 100 then begin n := -1; break; end; "
      "if i mod 3 = 0 then begin m := m + i; continue; end else n := n + 1; "
      "if i < 0 then repeat n := -2; continue; until true; "
      "try if i = 17 then break; s := s + IntToStr(i) + ','; finally f := f + 1; end; "
      "until i >= 25; Result := IntToStr(n) + '/' + IntToStr(m) + '/' + IntToStr(f) + '/' + s + IntToStr(i); end;";
  int i = 0, n = 0, m = 0, f = 0;
  std::string s;
  do {
    ++i;
    if (i % 2 == 0) continue;
    if (i % 3 == 0) {
      m += i;
      continue;
    }
    ++n;
    ++f;
    if (i == 17) break;
    s += std::to_string(i) + ",";
  } while (i < 25);
  const std::string expected = std::to_string(n) + "/" + std::to_string(m) + "/" + std::to_string(f) + "/" + s +
                               std::to_string(i);
  TTwoRuns r = RunTwice(text);
  EXPECT_EQ(r.First, expected);
  EXPECT_EQ(r.Second, expected);
  EXPECT_EQ(r.SecondStatements, r.FirstStatements);
}

TEST(Statements, ErrorsInSkippedCodeSurfaceEachTimeTheyAreReached) {
  // The bad token is passed over, after the replayed skips of the loop, only
  // when the sum stays within the limit; past it exit leaves it unread.
  for (const std::string bad : {"*)", "#99999999999"}) {
    auto text = [&](int limit) {
      return "var i, n: integer; begin n := 0; for i := 1 to 9 do if i mod 2 = 0 then n := n + 1 else n := n + 2; "
             "Result := n; if n > " + std::to_string(limit) + " then exit else if n = 0 then n := 0 " + bad +
             "; end;";
    };
    EXPECT_EQ(Eval(text(13)), "14") << bad;
    RegisterDevHost();
    TInterpreterProgram p;
    p.SetSource(text(14));
    const std::string first = RunError(p);
    EXPECT_EQ(RunError(p), first) << bad;
    EXPECT_EQ(RunError(text(14)), first) << bad;
    if (bad == "*)") {
      EXPECT_TRUE(first.starts_with("101@" + std::to_string(text(14).find(bad)) + ":")) << first;
    } else {
      EXPECT_EQ(first, "'99999999999' is not a valid integer value");
    }
  }
}

TEST(Statements, ArmsAfterAMatchAreSkippedWholeWhateverTheirLabels) {
  // Constant labels are names: passing `name:` must leave the arm's own
  // statement to the skipper once, a block or a raise included, on the first
  // pass and on the replayed ones.
  const std::string arms = "case i of one: a := a + 1; two: begin a := a + 10; end; three: raise Exception.Create('x'); "
                           "four: repeat a := a + 100; until true; end;";
  const std::string declare = "var i, a: integer; const one = 1; two = 2; three = 3; four = 4; begin a := 0; ";
  EXPECT_EQ(Eval(declare + "for i := 1 to 4 do if i <> 3 then " + arms + " Result := a; end;"), "111");
  EXPECT_EQ(Eval(declare + "i := 5; repeat i := i - 1; if i <> 3 then " + arms + " until i = 1; Result := a; end;"),
            "111");
  EXPECT_EQ(Eval(declare + "i := 3; try " + arms + " except a := -1; end; Result := a; end;"), "-1");
  EXPECT_EQ(Eval(declare + "case 1 of one: a := 1; two..four, (one * 5)..(four * 2): a := 2; end; Result := a; end;"),
            "1");
}

TEST(Statements, SkippedCodeKeepsItsNestingBoundAtEveryCallDepth) {
  // Deeply nested code is passed over first at call depth 0 (when warm),
  // then at `depth` inside `pad` extra blocks; the stack guard must stop it
  // exactly where it does without that first pass.
  std::string ifs, repeats;
  for (int i = 0; i < 200; ++i) ifs += "if d < 0 then ";
  for (int i = 0; i < 100; ++i) repeats = "repeat " + repeats + "until true; ";
  // Calls through host functions, on a small stack of known size, where the
  // guard stops the skip fewer calls deep than the saved states allow.
  std::string deeper = "G(d - 1)";
  for (int i = 0; i < 5; ++i) deeper = "Ord(Copy(IntToStr(" + deeper + "), 1, 1))";
  RunOnStack(size_t{1} << 20, [&] {
    for (const std::string& nested : {ifs + "Result := 1;", "if d < 0 then " + repeats}) {
      auto run = [&](int warm, int depth, int pad) {
        char call[64];
        std::snprintf(call, sizeof call, "if %d = 1 then G(0); Result := G(%02d);", warm, depth);
        std::string blocks, ends;
        for (int i = 0; i < pad; ++i) blocks += "begin ", ends += " end;";
        return RunError("unit U; function G(d: integer): integer; begin if d > 0 then Result := " + deeper +
                        " else begin " + nested + " Result := 0; end; end; function main: integer; begin " + blocks +
                        call + ends + " end; end.");
      };
      // The first call depth at which the stack guard stops the skip.
      int fits = 0, bounded = 198;
      ASSERT_EQ(run(0, fits, 0), "none");
      ASSERT_TRUE(run(0, bounded, 0).starts_with("52@"));
      while (bounded - fits > 1) {
        const int depth = (fits + bounded) / 2;
        (run(0, depth, 0) == "none" ? fits : bounded) = depth;
      }
      EXPECT_TRUE(run(0, bounded, 0).starts_with("52@"));
      for (int depth = bounded - 2; depth <= bounded; ++depth)
        for (int pad = 0; pad < 6; ++pad) EXPECT_EQ(run(1, depth, pad), run(0, depth, pad)) << depth << " " << pad;
    }
  });
}

TEST(Statements, ANewTextForgetsTheSkipsOfTheOldOne) {
  // The skipped `a := 2` starts at the same offset in both texts but ends
  // elsewhere.
  const std::string before = "var a: integer; begin a := 0; if a = 1 then a := 2 else a := 3; Result := a; end;";
  const std::string after = "var a: integer; begin a := 0; if a = 1 then a := 2; a := a + 4; Result := a; end;";
  RegisterDevHost();
  TInterpreterProgram p;
  for (int round = 0; round < 2; ++round) {
    p.SetSource(before);
    p.Run();
    EXPECT_EQ(VarToStr(p.ResultValue), "3");
    p.SetSource(after);
    p.Run();
    EXPECT_EQ(VarToStr(p.ResultValue), "4");
  }
}
