// Hostile scripts: each one crashed, hung or exhausted the program once.
// They must end with a script error (or normally), within bounds of time and
// memory, and leave the program object usable.
#include <gtest/gtest.h>
#include <malloc.h>

#include <ctime>
#include <functional>
#include <string>

#include "object.h"
#include "interp_support.h"
#include "scriptlimits.h"

#if defined(__SANITIZE_ADDRESS__)
#define PX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PX_ASAN 1
#endif
#endif
#ifdef PX_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// The script that nests 150 host calls in every frame of a recursion, which
// only the native stack's guard stops.
std::string DeepHostCalls() {
  std::string inner = "F(n + 1)";
  for (int i = 0; i < 50; ++i) inner = "Ord(Copy(IntToStr(" + inner + "), 1, 1))";
  return "unit T; function F(n: integer): integer; begin Result := " + inner +
         "; end; function main: integer; begin Result := F(0); end; end.";
}

// A unit whose f(n) calls itself n deep and returns n; with `loop` the call
// runs inside a while loop, so that every level keeps a second reader state.
std::string Recursion(int n, bool loop) {
  const std::string call = "if n = 0 then Result := 0 else Result := 1 + f(n - 1);";
  const std::string body =
      loop ? "var i: integer; begin i := 0; while i < 1 do begin " + call + " i := i + 1; end; end;"
           : "begin " + call + " end;";
  return "unit X; function f(n: integer): integer; " + body + " function main: integer; begin Result := f(" +
         std::to_string(n) + "); end; end.";
}

// A unit whose main builds v, a value `depth` links deep (each link made by
// `link` from the one before, x), then runs `use` and returns Result.
std::string DeepValue(int depth, const std::string& link, const std::string& use) {
  return "unit X; type R = record a: variant; b: variant; end; function W(x: variant): variant; begin Result := x; "
         "end; function Link(x: variant; n: integer): variant; var r: R; a: array[0..0] of variant; begin " +
         link + " end; function main: variant; var v, u: variant; i: integer; begin v := 0; for i := 1 to " +
         std::to_string(depth) + " do v := Link(v, i); " + use + " end; end.";
}

// Record types declared each with a field of the one before (an array of it
// with `arrays`): making a value of the last makes one of every type.
std::string NestedRecordTypes(int count, bool arrays) {
  std::string text = "unit X; type R0 = record a: integer; end; ";
  for (int i = 1; i < count; ++i)
    text += "type R" + std::to_string(i) + " = record a: " + (arrays ? "array of R" : "R") + std::to_string(i - 1) +
            "; end; ";
  return text + "function main: integer; var r: R" + std::to_string(count - 1) + "; begin Result := 1; end; end.";
}

// A designator of `members` links into the chain DeepValue builds with
// records in variant arrays.
std::string Members(int members) {
  std::string text = "v[0]";
  for (int i = 0; i < members; ++i) text += ".a[0]";
  return text;
}

// The processor time the calling thread spends on `job`: the other tests
// that ctest runs beside this one lengthen the wall-clock time, not this.
double SecondsOf(const std::function<void()>& job) {
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  const double start = now();
  job();
  return now() - start;
}

// Time bounds hold for optimised builds; the sanitizers slow every step
// several times over, and the bounds only need to catch quadratic work.
#ifdef PX_ASAN
constexpr double kSlowdown = 8;
#else
constexpr double kSlowdown = 1;
#endif

// Bytes of heap in use now.
int64_t HeapInUse() {
#ifdef PX_ASAN
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  struct mallinfo2 m = mallinfo2();
  return static_cast<int64_t>(m.uordblks + m.hblkhd);
#endif
}

constexpr const char* kRecordType = "unit T; type R = record a: variant; b: variant; end; ";

TEST(Hostile, DeepHostCallsInEveryFrameStopWithStackOverflow) {
  TInterpreterProgram program;
  EXPECT_EQ(ScriptError(DeepHostCalls(), &program).ErrCode, 52);
  // The program object is whole afterwards.
  EXPECT_EQ(Eval("begin Result := Ord(Copy(IntToStr(7), 1, 1)); end;"), "55");
  program.SetSource("begin Result := 2 + 3; end;");
  program.Run();
  EXPECT_EQ(VarToStr(program.ResultValue), "5");
}

TEST(Hostile, TheStackGuardCountsBytesOnASmallThreadStack) {
  // Nesting that no count bounds, and values nested deeper than any native
  // recursion over them could go: each ends cleanly on a small stack.
  const std::string records = "r.a := x; r.b := n; a[0] := W([r]); Result := W([a]);";
  const struct {
    size_t Stack;
    std::string Text;
    std::string Result;
  } rows[] = {
      {size_t{1} << 20, DeepHostCalls(), "<error 52>"},
      // Freed, also where a copy shares it.
      {size_t{1} << 20, DeepValue(100000, "Result := W([x]);", "u := v; v := 0; Result := 1;"), "1"},
      {size_t{1} << 20, DeepValue(30000, records, "u := v; v := 0; Result := 1;"), "1"},
      // A designator read and written member by member.
      {size_t{1} << 20,
       DeepValue(20001, "r.a := x; r.b := n; Result := W([r]);",
                 Members(20000) + ".b := 7; Result := " + Members(20000) + ".b + " + Members(19999) + ".b;"),
       "9"},
      {size_t{384} << 10, NestedRecordTypes(20000, false), "<error 52>"},
      // Types holding types, freed with the program's declarations.
      {size_t{384} << 10, NestedRecordTypes(6000, true), "1"},
  };
  for (const auto& row : rows) {
    std::string result;
    RunOnStack(row.Stack, [&] { result = Eval(row.Text); });
    EXPECT_EQ(result, row.Result) << row.Text.substr(0, 200);
  }
  // Recursion stops at the saved reader states, about half as deep with a
  // loop around the call, with internal error 2 whatever the stack.
  const struct {
    bool Loop;
    int Deepest;
  } bounds[] = {{false, 198}, {true, 98}};
  for (size_t stack : {size_t{2} << 20, kScriptThreadStackSize}) {
    for (const auto& bound : bounds) {
      std::string fits;
      EInterpreterError beyond(-1, -1);
      RunOnStack(stack, [&] {
        fits = Eval(Recursion(bound.Deepest, bound.Loop));
        beyond = ScriptError(Recursion(bound.Deepest + 1, bound.Loop));
      });
      EXPECT_EQ(fits, std::to_string(bound.Deepest)) << bound.Loop;
      EXPECT_EQ(beyond.ErrCode, 2) << bound.Loop;
      EXPECT_EQ(beyond.ErrName1, "") << bound.Loop;
    }
  }
}

TEST(Hostile, TheStackMarginIsTheProgramsToSet) {
  const std::string text =
      "unit T; function F(n: integer): integer; begin if n = 0 then Result := 0 else "
      "Result := 1 + F(n - 1); end; function main: integer; begin Result := F(10); end; end.";
  TInterpreterProgram program;
  EXPECT_EQ(ScriptError(text, &program).ErrCode, -1);
  // A margin wider than any stack leaves no room at all.
  program.Limits().StackMargin = size_t{1} << 40;
  EXPECT_EQ(ScriptError(text, &program).ErrCode, 52);
}

TEST(Hostile, ClassReferenceNeverReachesAnInstanceGetter) {
  EInterpreterError e = ScriptError("begin WriteLn(Exception.Message); end;");
  EXPECT_EQ(e.ErrCode, 53);
  EXPECT_EQ(Eval("begin Result := Exception.Create('made').Message; end;"), "made");
  EXPECT_EQ(Eval("var E: TObject; begin E := Exception.Create('x'); Result := E.Message; E.Free; end;"), "x");
}

TEST(Hostile, RecordAssignmentOutlivesTheFieldsItOverwrites) {
  // Each statement list once freed the source of a copy in the middle of it.
  const char* bodies[] = {
      "r.a := r; r.a := r; r := r.a;",
      "r.a := r; r.a := r; r.a := r.a.a; r.a := r; r := r.a;",
      "r.a := r; r.b := r; r.a := r; r := r.b; r.a := r; r := r.a.a;",
      "r.a := r; r.a := r; v[0] := r; v[0] := v[0].a; v[0].a := v[0]; v[0] := v[0].a;",
  };
  for (const char* body : bodies) {
    const std::string text = std::string(kRecordType) +
                             "function main: integer; var r: R; v: array[0..1] of R; begin r.b := 'kept'; " + body +
                             " WriteLn('survived'); end; end.";
    std::string out;
    TInterpreterProgram program;
    EXPECT_EQ(RunDevScript(text, out, program), "") << body;
    EXPECT_EQ(out, "survived\n0\n") << body;  // what it wrote, then main's result
  }
  // The copies are whole.
  EXPECT_EQ(Eval(std::string(kRecordType) + "function main: string; var r: R; begin r.b := 'x'; r.a := r; "
                                            "r.a := r; r := r.a; Result := r.b + r.a.b; end; end."),
            "xx");
}

TEST(Hostile, DoublingAStringStopsAtTheBudget) {
  TInterpreterProgram program;
  EInterpreterError e =
      ScriptError("var s: string; i: integer; begin s := 'x'; for i := 1 to 40 do s := s + s; end;", &program);
  EXPECT_EQ(e.ErrCode, 2);
  EXPECT_EQ(e.ErrName1, "Out of memory");
  EXPECT_LE(program.ChargedMemory(), program.Limits().MemoryBudget);
  program.SetSource("begin Result := 'still ' + 'here'; end;");
  program.Run();
  EXPECT_EQ(VarToStr(program.ResultValue), "still here");
}

TEST(Hostile, TheBudgetCountsWhatIsHeldNotWhatWasEverMade) {
  TInterpreterProgram program;
  program.Limits().MemoryBudget = int64_t{1} << 20;
  // Joins of 200 KiB, a thousand times over: far past the budget in all,
  // never more than a little of it at once.
  const std::string churn =
      "var s, t: string; i: integer; begin s := 'x'; for i := 1 to 17 do s := s + s; "
      "for i := 1 to 1000 do t := s + 'y'; Result := Length(t); end;";
  EXPECT_EQ(ScriptError(churn, &program).ErrCode, -1);
  EXPECT_EQ(VarToStr(program.ResultValue), "131073");
  // Holding more than the budget is refused.
  const std::string hold =
      "var s: string; a: array[0..15] of string; i: integer; begin s := 'x'; for i := 1 to 17 do s := s + s; "
      "for i := 0 to 15 do a[i] := s + IntToStr(i); end;";
  EXPECT_EQ(ScriptError(hold, &program).ErrName1, "Out of memory");
  program.Limits().MemoryBudget = int64_t{64} << 20;
  EXPECT_EQ(ScriptError(hold, &program).ErrCode, -1);
}

TEST(Hostile, RecordsThatDoubleStopAtTheBudget) {
  EInterpreterError e = ScriptError(std::string(kRecordType) +
                                    "function main: integer; var r: R; i: integer; begin "
                                    "for i := 1 to 40 do begin r.a := r; r.b := r; end; end; end.");
  EXPECT_EQ(e.ErrCode, 2);
  EXPECT_EQ(e.ErrName1, "Out of memory");
}

TEST(Hostile, RecursionWithLargeLocalArraysStopsAtTheBudget) {
  EInterpreterError e = ScriptError(
      "unit T; procedure P(n: integer); var a: array[0..4194303] of variant; begin a[0] := n; P(n + 1); end; "
      "function main: integer; begin P(0); end; end.");
  EXPECT_EQ(e.ErrCode, 2);
  EXPECT_EQ(e.ErrName1, "Out of memory");
  // What each level keeps beside its values (frame, call arguments) counts
  // too, so that depth cannot take memory past the budget.
  TInterpreterProgram program;
  program.Limits().MemoryBudget = int64_t{512} << 10;
  e = ScriptError(Recursion(198, false), &program);
  EXPECT_EQ(e.ErrName1, "Out of memory");
}

TEST(Hostile, ARecordChainEndsAtItsDepthBoundAtOnce) {
  EInterpreterError e(-1, -1);
  const double seconds = SecondsOf([&] {
    e = ScriptError(std::string(kRecordType) +
                    "function main: integer; var r: R; i: integer; begin for i := 1 to 100000 do r.a := r; end; end.");
  });
  EXPECT_EQ(e.ErrCode, 52);
  EXPECT_LT(seconds, 1.0 * kSlowdown);
  // The depth is the program's to set.
  const std::string chain = std::string(kRecordType) +
                            "function main: integer; var r: R; i: integer; begin for i := 1 to 10 do r.a := r; "
                            "Result := 1; end; end.";
  TInterpreterProgram program;
  EXPECT_EQ(ScriptError(chain, &program).ErrCode, -1);
  program.Limits().RecordDepth = 5;
  EXPECT_EQ(ScriptError(chain, &program).ErrCode, 52);
}

TEST(Hostile, ObjectsAScriptCreatesBelongToItsProgram) {
  RegisterDevHost();
  uint64_t kept = 0;
  {
    TInterpreterProgram program;
    const size_t unowned = UnownedScriptObjectCount();
    program.SetSource("var i: integer; E: TObject; begin for i := 1 to 5 do E := Exception.Create('x'); end;");
    program.Run();
    EXPECT_EQ(program.ScriptObjects().Count(), 5u);
    // Another run of the same program keeps them, as a send keeps what its
    // steps stored.
    program.SetSource("var E: TObject; begin E := Exception.Create('kept'); Result := E; end;");
    program.Run();
    EXPECT_EQ(program.ScriptObjects().Count(), 6u);
    TObject* obj = ValueToObject(program.ResultValue);
    ASSERT_NE(obj, nullptr);
    kept = obj->Handle();
    // Free and raising release early.
    program.SetSource("var E: TObject; begin E := Exception.Create('y'); E.Free; end;");
    program.Run();
    EXPECT_EQ(program.ScriptObjects().Count(), 6u);
    program.SetSource("begin raise Exception.Create('gone'); end;");
    EXPECT_THROW(program.Run(), Exception);
    EXPECT_EQ(program.ScriptObjects().Count(), 6u);
    EXPECT_EQ(UnownedScriptObjectCount(), unowned);
    EXPECT_NE(TObject::FromHandle(kept), nullptr);
  }
  // Freed with the program object.
  EXPECT_EQ(TObject::FromHandle(kept), nullptr);
}

TEST(Hostile, ALongFlatExpressionCostsLittleMoreThanItsTokens) {
  // 2 MiB of `1+1+...`: two million tokens.
  std::string text = "1";
  text.reserve(size_t{2} << 20);
  while (text.size() + 2 <= (size_t{2} << 20)) text += "+1";
  const int64_t before = HeapInUse();
  TInterpreterProgram program;
  program.SetSource(text);
  program.Run();
  EXPECT_EQ(VarToStr(program.ResultValue), std::to_string(text.size() / 2 + 1));
  EXPECT_LT(HeapInUse() - before, int64_t{100} << 20);
}

// The processor time of `levels` nested try blocks, stopped by the stack
// guard (error 52) on a stack that grows with them (48 bytes a level, less
// than any build takes), so that the levels skipped grow with them too.
double SecondsOfNestedTryBlocks(int levels) {
  std::string text = "var x: integer; begin x := 0; ";
  for (int i = 0; i < levels; ++i) text += "try ";
  text += "x := 1; ";
  for (int i = 0; i < levels; ++i) text += "finally end; ";
  text += "Result := x; end;";
  EInterpreterError e(-1, -1);
  double seconds = 0;
  RunOnStack(TScriptLimits{}.StackMargin + size_t{48} * levels,
             [&] { seconds = SecondsOf([&] { e = ScriptError(text); }); });
  EXPECT_EQ(e.ErrCode, 52) << levels;
  return seconds;
}

TEST(Hostile, SkippingNestedTryBlocksIsLinear) {
  // Eight times the levels: about eight times as long, quadratic skipping
  // sixty-four. The deep run goes first, to pay the first run's costs.
  const double deep = SecondsOfNestedTryBlocks(200000);
  EXPECT_LT(deep, 32 * SecondsOfNestedTryBlocks(25000));
  // The same blocks, as deep as the bounds allow, run through.
  std::string fits = "var x: integer; begin x := 0; ";
  for (int i = 0; i < 60; ++i) fits += "try x := x + 1; ";
  for (int i = 0; i < 60; ++i) fits += "finally x := x + 1; end; ";
  fits += "Result := x; end;";
  EXPECT_EQ(Eval(fits), "120");
}

}  // namespace
