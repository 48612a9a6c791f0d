// Units, programs, uses, declarations and host calls of script functions.
#include <gtest/gtest.h>

#include <functional>

#include "adapter.h"
#include "published.h"
#include "values.h"
#include "interp_support.h"

TEST(Units, EntryTellsTheKindOfText) {
  EXPECT_EQ(Eval("1+2"), "3");
  EXPECT_EQ(Eval("begin Result := 'b'; end;"), "b");
  EXPECT_EQ(Eval("unit X; function main: integer; begin Result := 42; end; end."), "42");
  EXPECT_EQ(Eval("function F: integer; begin Result := 1; end;"), "");
  EInterpreterError e = ScriptError("unit X; function F: integer; begin Result := 1; end; end.");
  EXPECT_EQ(e.ErrCode, 55);
  EXPECT_EQ(e.Message(), "Function 'main' undefined");
}

TEST(Units, ProgramIsDetectedByItsFirstWord) {
  EXPECT_EQ(Eval("PROGRAM P; var a: integer; begin a := 1; end."), "");
  EXPECT_EQ(ScriptError("program P; begin end").ErrCode, 103);
  // "programme" is no program: it is read as an expression.
  EXPECT_EQ(ScriptError("programme P;").ErrCode, 104);
}

TEST(Units, ErrorsCarryUnitAndLine) {
  EInterpreterError e = ScriptError("unit X;\r\nfunction main: integer;\r\nbegin\r\n  Result := y;\r\nend;\r\nend.");
  EXPECT_EQ(e.ErrCode, 104);
  EXPECT_EQ(e.ErrUnitName, "X");
  EXPECT_EQ(e.ErrLine, 4);
  EXPECT_EQ(e.Message(), "Error in unit 'X' on line 4 : Undeclared Identifier 'y'");
  e = ScriptError("unit X;\r\nvar a: integer\r\nend.");
  EXPECT_EQ(e.ErrCode, 103);
  EXPECT_EQ(e.ErrLine, 3);
  EXPECT_EQ(e.Message1, "';' expected but 'end' found");
  e = ScriptError("unit X; type A = record a: integer; end; B = record end; end.");
  EXPECT_EQ(e.ErrCode, 103);
  EXPECT_EQ(e.Message1, "Declaration expected but 'B' found");
}

TEST(Units, ErrorsReportTheirLineWhateverTheLineEnds) {
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    const std::string text = std::string("unit U;") + eol + "function main: integer;" + eol + "begin" + eol +
                             "  Result := Nowhere;" + eol + "end;" + eol + "end.";
    EInterpreterError e = ScriptError(text);
    EXPECT_EQ(e.ErrCode, 104) << "line ends " << (eol[0] == '\r' ? (eol[1] ? "CR LF" : "CR") : "LF");
    EXPECT_EQ(e.ErrLine, 4);
    EXPECT_EQ(e.Message(), "Error in unit 'U' on line 4 : Undeclared Identifier 'Nowhere'");
  }
}

TEST(Units, UsesLoadsUnitsOnlyThroughTheHost) {
  EInterpreterError e = ScriptError("unit X; uses A, B; function main: integer; begin end; end.");
  EXPECT_EQ(e.ErrCode, 56);
  EXPECT_EQ(e.ErrName1, "A");
  EXPECT_EQ(Eval("unit X; uses Types, SysUtils; function main: integer; begin Result := 1; end; end."), "1");

  RegisterDevHost();
  TInterpreterProgram p;
  int asked = 0;
  p.OnGetUnitSource = [&](TObject*, const std::string& name, std::string& source, bool& done) {
    ++asked;
    if (name == "A") source = "unit A; uses X; var v: integer; function Twice(n: integer): integer; "
                              "begin Result := n * 2; end; end.";
    else if (name == "B") source = "unit B; function Bad: integer;\r\nbegin\r\nResult := Nope; end; end.";
    else return;
    done = true;
  };
  p.SetSource("unit X; uses A; function main: integer; begin v := 4; Result := Twice(v) + A.Twice(1); end; end.");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsInteger(), 10);
  EXPECT_EQ(asked, 1);  // X is known while A is read
  p.SetSource("unit X; uses\r\nB; function main: integer; begin Result := Bad; end; end.");
  try {
    p.Run();
    FAIL();
  } catch (const EInterpreterError& err) {
    EXPECT_EQ(err.ErrCode, 104);
    EXPECT_EQ(err.ErrUnitName, "B");
    EXPECT_EQ(err.ErrLine, 3);
  }
}

TEST(Units, HeadersRecordParameterKinds) {
  RegisterDevHost();
  TInterpreterProgram p;
  p.SetSource("unit X; procedure P(var a, b: integer; const s: string); begin end; "
              "function F(x: word): string; begin end; function G: TPoint; begin end; end.");
  p.CompileUnit();
  const TInterpreterFunctionDesc* d = p.OwnAdapter().FindFunction("X", "P", {});
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->ParameterCount, 3);
  EXPECT_EQ(d->ParameterKinds[0], varInteger | varByRef);
  EXPECT_EQ(d->ParameterKinds[1], varInteger | varByRef);
  EXPECT_EQ(d->ParameterKinds[2], varString | kConstParamFlag);
  EXPECT_EQ(d->ResultKind, 0);
  EXPECT_EQ(p.OwnAdapter().FindFunction("X", "F", {})->ResultKind, varString);
  EXPECT_EQ(p.OwnAdapter().FindFunction("X", "G", {})->ResultKind, varVariant);
  EXPECT_EQ(p.OwnAdapter().FindFunction("X", "F", {})->ParameterKinds[0], varSmallint);
}

TEST(Units, VarParametersAreWrittenBack) {
  EXPECT_EQ(Eval("unit X; procedure Bump(var n: integer; k: integer); begin n := n + k; k := 0; end; "
                 "function main: integer; var a, k: integer; begin a := 1; k := 5; Bump(a, k); Bump(a, k); "
                 "Result := a * 10 + k; end; end."),
            "115");
  // Back into the element or field passed, and nowhere for any other expression.
  EXPECT_EQ(Eval("unit X; type R = record x: integer; end; var q: R; procedure Inc3(var n: integer); "
                 "begin n := n + 3; end; procedure Up(var c: string); begin c := 'X'; end; function main: string; "
                 "var x: integer; s: string; a: array[1..2] of integer; begin x := 1; s := 'abc'; Inc3(x + 1); "
                 "Up(s[2]); Inc3(a[1]); Inc3(q.x); Result := IntToStr(x) + s + IntToStr(a[1]) + IntToStr(a[2]) + "
                 "IntToStr(q.x); end; end."),
            "1aXc303");
}

TEST(Units, RecordsDeclaredInSource) {
  RegisterDevHost();
  TInterpreterProgram p;
  p.SetSource("unit X; type R = record a: integer; s: string; end; var r: R; "
              "function main: string; begin r.a := r.a + 2; Result := r.s + IntToStr(r.a); end; end.");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsString(), "2");
  TRecordTypePtr type = p.OwnAdapter().FindRecordType("R");
  ASSERT_TRUE(type);
  EXPECT_EQ(type->Size, 32);
}

TEST(Units, HostCallsAScriptFunctionByName) {
  RegisterDevHost();
  TInterpreterProgram p;
  p.SetSource("unit X; function Add(a, b: integer): integer; begin Result := a + b; end; end.");
  EXPECT_EQ(p.CallScriptFunction("Add", {Variant::Integer(2), Variant::Integer(3)}).AsInteger(), 5);
  EXPECT_TRUE(p.Compiled);
  try {
    p.CallScriptFunction("Missing", {});
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 104);
    EXPECT_EQ(e.ErrPos, -1);
  }
}

namespace {

class TEventHost : public TObject {
  PX_CLASS(TEventHost, TObject)
 public:
  TInterpreterEventMethod OnPing;
};

}  // namespace

TEST(Units, AssignmentBindsScriptFunctionsToEvents) {
  RegisterDevHost();
  PublishProperties(TEventHost::StaticClass(),
                    {{"OnPing", TPublishedKind::Method, "TPingEvent", {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
                      [](TObject& o) { return static_cast<TEventHost&>(o).OnPing; },
                      [](TObject& o, TInterpreterEventMethod m) { static_cast<TEventHost&>(o).OnPing = std::move(m); }}});
  TEventHost host;
  TInterpreterAdapter& shared = GetGlobalAdapter();
  shared.AddHandler("Test", "TPingEvent", nullptr, [](TInterpreterEventAdapter&, TInterpreterArgs&) {});
  TInterpreterProgram p;
  p.OnGetValue = [&](TObject*, const std::string& id, Variant& value, TInterpreterArgs&, bool& done) {
    done = id == "Host";
    if (done) value = ObjectToValue(&host);
  };
  p.SetSource("unit U; procedure Pinged; begin end; function main: integer; begin Host.OnPing := Pinged; "
              "Result := 1; end; end.");
  p.Run();
  ASSERT_TRUE(host.OnPing);
  EXPECT_EQ(host.OnPing.Object->FunctionName, "Pinged");
  EXPECT_EQ(host.OnPing.Object->PropName, "OnPing");
  EXPECT_EQ(host.OnPing.Object->Owner, &p);
  p.SetSource("unit U; function main: integer; begin Host.OnPing := nil; Result := 2; end; end.");
  p.Run();
  EXPECT_FALSE(host.OnPing);
  // An event type nobody registered.
  PublishProperties(TEventHost::StaticClass(),
                    {{"OnPing", TPublishedKind::Method, "TUnknownEvent", {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
                      [](TObject& o) { return static_cast<TEventHost&>(o).OnPing; },
                      [](TObject& o, TInterpreterEventMethod m) { static_cast<TEventHost&>(o).OnPing = std::move(m); }}});
  p.SetSource("unit U; procedure Pinged; begin end; function main: integer; begin Host.OnPing := Pinged; end; end.");
  try {
    p.Run();
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 57);
    EXPECT_EQ(e.ErrName1, "TUnknownEvent");
  }
}

// Calls of source functions: each call finds the name afresh and declares
// its parameters afresh, however often the same call repeats.

TEST(SourceCalls, ParametersNamedTwiceFailOnEveryCall) {
  EInterpreterError e = ScriptError("unit X;\r\nfunction F(a, a: integer): integer; begin Result := 1; end;\r\n"
                                    "function G(a, b: integer): integer; begin Result := a + b; end;\r\n"
                                    "function main: integer;\r\nbegin Result := G(1, 2); Result := F(1, 2); end; end.");
  EXPECT_EQ(e.ErrCode, 111);
  EXPECT_EQ(e.ErrName1, "a");
  EXPECT_EQ(e.ErrUnitName, "X");
  EXPECT_EQ(e.ErrLine, 2);  // where the body starts
  e = ScriptError("unit X; function F(Result: integer): integer; begin end; "
                  "function main: integer; begin Result := F(1); end; end.");
  EXPECT_EQ(e.ErrCode, 111);
  EXPECT_EQ(e.ErrName1, "Result");
  // A failing call leaves nothing behind that lets the next one pass, nor
  // anything that a call of another function at that depth would see.
  EXPECT_EQ(Eval("unit X; function F(a, A: integer): integer; begin Result := 1; end; "
                 "function G(x, y: integer): integer; begin Result := x * y; end; "
                 "function main: integer; var i, failed: integer; begin for i := 1 to 3 do begin "
                 "Result := Result + G(i, 2); try Result := Result + F(i, i); except failed := failed + 1; end; "
                 "end; Result := Result * 10 + failed; end; end."),
            "123");
}

namespace {

// What the host routine SourceCallsGrow does, set by the test that calls it.
std::function<void()>& GrowAction() {
  static std::function<void()> action;
  return action;
}

}  // namespace

TEST(SourceCalls, NamesRegisteredWhileRecursingTakeOver) {
  RegisterDevHost();
  // A run clears the interpreter's own registry: the routine the script
  // calls is the shared registry's.
  static const bool registered = [] {
    GetGlobalAdapter().AddFunction("Test", "SourceCallsGrow", [](Variant&, TInterpreterArgs&) { GrowAction()(); }, 0,
                                   {}, varEmpty);
    return true;
  }();
  ASSERT_TRUE(registered);
  // Runs `text` in `program`, with `grow` as what SourceCallsGrow does.
  auto run = [](TInterpreterProgram& program, std::function<void()> grow, const std::string& text) {
    GrowAction() = std::move(grow);
    program.SetSource(text);
    program.Run();
    return program.ResultValue.AsInteger();
  };
  auto serveFib = [](int32_t result) {
    return [result](TObject*, const std::string& id, Variant& v, TInterpreterArgs&, bool& done) {
      done = id == "Fib";
      if (done) v = Variant::Integer(result);
    };
  };
  const std::string growing = "unit X; function Fib(n: integer): integer; begin if n = 3 then SourceCallsGrow; "
                              "if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2); end; "
                              "function main: integer; begin Result := Fib(5); end; end.";
  // Registry names come before source functions: once Fib(3) has grown,
  // its own Fib(2) and Fib(1), Fib(4)'s Fib(2) and Fib(5)'s Fib(3) are the
  // host's.
  TInterpreterProgram p;
  int hostCalls = 0;
  auto hostFib = [&](Variant& v, TInterpreterArgs&) {
    ++hostCalls;
    v = Variant::Integer(1000);
  };
  EXPECT_EQ(run(p, [&] { p.OwnAdapter().AddFunction("X", "Fib", hostFib, 1, {varInteger}, varInteger); }, growing),
            4000);
  EXPECT_EQ(hostCalls, 4);
  // The same with a handler of the registry, and with the interpreter's
  // own handler, each added while the script runs.
  TInterpreterProgram q;
  EXPECT_EQ(run(q, [&] { q.OwnAdapter().AddOnGet(serveFib(100)); }, growing), 400);
  TInterpreterProgram r;
  EXPECT_EQ(run(r, [&] { r.OnGetValue = serveFib(10); }, growing), 40);

  // A handler that serves nothing is still asked at every call.
  TInterpreterProgram s;
  int asked = 0;
  auto count = [&](TObject*, const std::string& id, Variant&, TInterpreterArgs&, bool& done) {
    done = false;
    if (id == "Fib") ++asked;
  };
  EXPECT_EQ(run(s, [&] { s.OwnAdapter().AddOnGet(count); },
                "unit X; function Fib(n: integer): integer; "
                "begin if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2); end; "
                "function main: integer; begin SourceCallsGrow; Result := Fib(6); end; end."),
            8);
  EXPECT_EQ(asked, 25);
  GrowAction() = nullptr;
}

TEST(SourceCalls, VarParametersAreWrittenBackThroughRecursion) {
  EXPECT_EQ(Eval("unit X; procedure Sum(var total: integer; n: integer; var calls: integer); "
                 "begin calls := calls + 1; if n > 0 then begin total := total + n; Sum(total, n - 1, calls); "
                 "n := 0; end; end; "
                 "procedure Twice(var v: integer); begin v := v * 2; end; "
                 "function main: integer; var t, c, k: integer; begin k := 4; Sum(t, k, c); Twice(t); Sum(t, k, c); "
                 "Result := t * 1000 + c * 10 + k; end; end."),
            "30104");
}

TEST(SourceCalls, FramesReusedByOtherFunctionsStartClean) {
  // A and B run at the same depth in turn: B never sees A's names, and
  // typed locals and results start at their zero on every call.
  EXPECT_EQ(Eval("unit X; "
                 "function A(x, y: integer): integer; var c: integer; s: string; "
                 "begin Result := x * 100 + y * 10 + c + Length(s); c := 5; s := 'abc'; end; "
                 "function B(y, x: integer): integer; begin if y = 9 then Result := x; end; "
                 "function main: string; begin Result := IntToStr(A(1, 2)) + ',' + IntToStr(B(3, 4)) + ',' + "
                 "IntToStr(B(9, 7)) + ',' + IntToStr(B(1, 1)) + ',' + IntToStr(A(3, 4)); end; end."),
            "120,0,7,0,340");
  EInterpreterError e = ScriptError("unit X; function A(alpha: integer): integer; begin Result := alpha; end; "
                                    "function B(beta: integer): integer; begin Result := alpha; end; "
                                    "function main: integer; begin Result := A(1) + B(2); end; end.");
  EXPECT_EQ(e.ErrCode, 104);
  EXPECT_EQ(e.ErrName1, "alpha");
}

TEST(SourceCalls, RunawayRecursionStopsAndLeavesTheFramesUsable) {
  RegisterDevHost();
  TInterpreterProgram p;
  EInterpreterError e = ScriptError("unit X; function R(n: integer): integer; begin Result := R(n + 1); end; "
                                    "function main: integer; begin Result := R(0); end; end.",
                                    &p);
  // Stopped where the saved reader states run out.
  EXPECT_EQ(e.ErrCode, 2);
  EXPECT_EQ(e.ErrName1, "");
  EXPECT_EQ(e.ErrUnitName, "X");
  // The frames the runaway left behind serve other functions, with their
  // own names, at every depth.
  p.SetSource("unit X; function Sum(k, acc: integer): integer; begin if k = 0 then Result := acc "
              "else Result := Sum(k - 1, acc + k); end; "
              "function main: integer; begin Result := Sum(40, 0); end; end.");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsInteger(), 820);
}

TEST(SourceCalls, ResultOutlivesLocalsAndHandlerVariables) {
  EXPECT_EQ(Eval("unit X; function F(k: integer): integer; var a: integer; begin a := k; "
                 "try raise Exception.Create('x'); except on E: Exception do Result := a * 2 + Length(E.Message); "
                 "end; a := 0; end; "
                 "function main: integer; begin Result := F(3) * 100 + F(4); end; end."),
            "709");
}

TEST(SourceCalls, LocalsShadowUnitFunctions) {
  EXPECT_EQ(Eval("unit X; function F: integer; begin Result := 1; end; "
                 "function G: integer; var F: integer; begin F := 7; Result := F; end; "
                 "function H(F: integer): integer; begin Result := F * 2; end; "
                 "function main: integer; var a, b, c, d: integer; begin a := F; b := G; c := F; d := H(4); "
                 "Result := a * 1000 + b * 100 + c * 10 + d; end; end."),
            "1718");
}

TEST(SourceCalls, ErrorsInAnotherUnitLeaveTheCallersUnit) {
  RegisterDevHost();
  TInterpreterProgram p;
  p.OnGetUnitSource = [](TObject*, const std::string& name, std::string& source, bool& done) {
    done = name == "B";
    if (done) source = "unit B; function Bad: integer; begin Result := Nope; end; end.";
  };
  EInterpreterError e = ScriptError("unit X; uses B;\r\nfunction main: integer; var n: integer;\r\n"
                                    "begin try n := Bad; except n := 1; end;\r\nResult := Missing; end; end.",
                                    &p);
  EXPECT_EQ(e.ErrCode, 104);
  EXPECT_EQ(e.ErrName1, "Missing");
  EXPECT_EQ(e.ErrUnitName, "X");
  EXPECT_EQ(e.ErrLine, 4);
}

TEST(SourceCalls, AnInstanceOfASourceClassCallsItsOwnMethods) {
  RegisterDevHost();
  // The host hands the script the class `name` declared in the running
  // program's source.
  static TInterpreterProgram* running = nullptr;
  static const bool registered = [] {
    GetGlobalAdapter().AddFunction(
        "Test", "SourceClassOf",
        [](Variant& result, TInterpreterArgs& args) {
          result = ObjectToValue(running->OwnAdapter().FindOwnedObject(args.Values[0].AsString()));
        },
        1, {varString}, varVariant);
    return true;
  }();
  ASSERT_TRUE(registered);
  TInterpreterProgram p;
  running = &p;
  const std::string classes =
      "unit U; type TDoubler = class(TObject) public n: integer; function Apply(n: integer): integer; end; "
      "type TTripler = class(TObject) function Apply(n: integer): integer; end; "
      "function TDoubler.Apply(n: integer): integer; begin Result := n * 2; end; "
      "function TTripler.Apply(n: integer): integer; begin Result := n * 3; end; "
      "function Apply(n: integer): integer; begin Result := n + 1000; end; ";
  p.SetSource(classes + "function main: integer; begin Result := SourceClassOf('TDoubler').Apply(5) * 100 + "
                        "SourceClassOf('TTripler').Apply(5) + Apply(0); end; end.");
  p.Run();
  EXPECT_EQ(p.ResultValue.AsInteger(), 10 * 100 + 15 + 1000);
  // A class has only the methods declared for it.
  EInterpreterError e = ScriptError(classes + "function main: integer; begin Result := SourceClassOf('TTripler').Other(1); "
                                              "end; function TDoubler.Other(n: integer): integer; begin end; end.",
                                    &p);
  EXPECT_EQ(e.ErrCode, 104);
  running = nullptr;
}
