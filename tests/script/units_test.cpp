// Units, programs, uses, declarations and host calls of script functions.
#include <gtest/gtest.h>

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
