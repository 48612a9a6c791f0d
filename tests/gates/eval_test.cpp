// The evaluator: parameter texts, the error message, bound names, the
// statement hook, and what a long-running program keeps after many sends.
#include "eval.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "adapter.h"
#include "errors.h"
#include "eval_support.h"
#include "hostinstance.h"
#include "imageproccess.h"
#include "scriptowned.h"
#include "units.h"
#include "values.h"

namespace {

using EvalText = EvalTest;

TEST_F(EvalText, PlainTextIsItsOwnValueAndEmptyTextIsUnassigned) {
  const Variant plain = eval.Evaluate("http://example.org/send?x=1");
  EXPECT_EQ(plain.VarType(), varString);
  EXPECT_EQ(plain.AsString(), "http://example.org/send?x=1");
  EXPECT_EQ(eval.Evaluate("evaluate(1)").AsString(), "evaluate(1)");
  EXPECT_EQ(eval.Evaluate("eval").AsString(), "eval");
  EXPECT_TRUE(eval.Evaluate("").IsEmpty());
  Variant kept = Variant::Integer(7);
  eval.Evaluate("", kept);
  EXPECT_TRUE(kept.IsEmpty());
}

TEST_F(EvalText, ThePrefixIsReadInAnyCase) {
  for (const char* value : {"eval(1+2)", "EVAL(1+2)", "Eval(1+2)", "eVaL(1+2)"}) {
    const Variant v = eval.Evaluate(value);
    EXPECT_EQ(v.VarType(), varInteger) << value;
    EXPECT_EQ(v.AsInteger(), 3) << value;
  }
}

TEST_F(EvalText, TheLastCharacterIsTakenForTheBracket) {
  // "eval(1+2) " leaves the script "1+2)": the stray bracket is an error, not
  // something passed over.
  try {
    eval.Evaluate("eval(1+2) ");
    FAIL() << "no error";
  } catch (const EEvalException& e) {
    EXPECT_EQ(cp1251::ToUtf8(e.Message()), "Ошибка парсинга  (End of File expected but ')' found): 3");
  }
  // Without the bracket the last character of the script is cut instead.
  EXPECT_EQ(eval.Evaluate("eval(12+34").AsInteger(), 15);
  // A bare prefix is an empty script, as is "eval()".
  std::string bare, empty;
  try {
    eval.Evaluate("eval(");
  } catch (const EEvalException& e) {
    bare = e.Message();
  }
  try {
    eval.Evaluate("eval()");
  } catch (const EEvalException& e) {
    empty = e.Message();
  }
  EXPECT_FALSE(bare.empty());
  EXPECT_EQ(bare, empty);
}

TEST_F(EvalText, AnExpressionClosedByASemicolonIsThatExpression) {
  // Gate authors write a lone call as they would write the statement.
  EXPECT_EQ(Run("1+2;").AsInteger(), 3);
  EXPECT_EQ(Run("Length('abcd') ; ").AsInteger(), 4);
  send.PostData.Clear();
  Run("PostData.Add('a', 'b');");
  EXPECT_EQ(send.PostData.GetText(), "a=b");
  // What follows the semicolon would never run: an error, not silence.
  EXPECT_EQ(Cause("1+2; 3"), "End of File expected but '3' found");
  EXPECT_EQ(Cause("1+2;)"), "End of File expected but ')' found");
}

TEST_F(EvalText, NullBecomesUnassigned) {
  EXPECT_TRUE(Run("Null").IsEmpty());
  EXPECT_TRUE(Run("begin Result := Null; end;").IsEmpty());
  EXPECT_EQ(Run("begin Result := 5; end;").AsInteger(), 5);
}

TEST_F(EvalText, TheMessageHasTwoBlanksAndTheOffset) {
  try {
    Run("1 + nothere * 2");
    FAIL() << "no error";
  } catch (const EEvalException& e) {
    const std::string text = cp1251::ToUtf8(e.Message());
    EXPECT_EQ(text.rfind("Ошибка парсинга  (Undeclared Identifier 'nothere'): ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.rfind(' ') + 1), std::to_string(e.ErrPos));
    EXPECT_GE(e.ErrPos, 4);
    EXPECT_LE(e.ErrPos, 15);
    EXPECT_EQ(e.ErrCode, 104);
  }
  // A failure inside an API call is a script error as well, with its text.
  EXPECT_EQ(Cause("RegExp('abc', '', 0)"), "Required value is null");
  EXPECT_EQ(Cause("RegExp('" + std::string(64, 'a') + "!', '^(a+)+$', 0)"), "match limit exceeded");
  EXPECT_EQ(Cause("Length(1, 2)"), "Too many actual parameters");
  EXPECT_EQ(Cause("Length()"), "Not enough parameters");
}

TEST_F(EvalText, BoundNamesAreFoundInAnyCaseAndLast) {
  TText other;
  other.Text = "other page";
  eval.SetObject("html", &other);  // replaces the binding of Html
  send.Html.Text = "first page";
  EXPECT_EQ(Text("Html.Text"), "other page");
  EXPECT_EQ(Text("HTML.Text"), "other page");
  EXPECT_EQ(Text("hTmL.Text"), "other page");
  // A script's own variable of that name hides the bound object...
  EXPECT_EQ(Run("var Html: integer; begin Html := 5; Result := Html; end;").AsInteger(), 5);
  // ...and a registered name wins over a bound one.
  eval.SetObject("Length", &other);
  EXPECT_EQ(Run("Length('abcd')").AsInteger(), 4);
  // Unbound, the name is unknown again.
  eval.SetObject("HTML", nullptr);
  EXPECT_EQ(Cause("Html.Text"), "Undeclared Identifier 'Html'");
}

TEST_F(EvalText, ThePictureIsAScriptErrorOnceItIsGone) {
  auto img = std::make_unique<TImageProccess>(QImage(4, 4, QImage::Format_RGB32));
  eval.SetObject("Img", img.get());
  Run("Img.SetSize(2, 2)");
  EXPECT_EQ(img->GetResult().size(), QSize(2, 2));
  // A script of the captcha step keeps the picture where later steps find it.
  Run("begin Stored['pic'] := Img; end;");
  img.reset();
  // Freed while still bound, and read back from a property list: errors, not
  // a dangling object.
  EXPECT_EQ(Cause("Img.SetSize(1, 1)"), "Internal interpreter error: Object has been freed");
  EXPECT_EQ(Cause("Stored['pic']"), "Internal interpreter error: Object has been freed");
  EXPECT_EQ(Cause("Assigned(Stored['pic'])"), "Internal interpreter error: Object has been freed");
  // The runner unbinds it after the captcha step.
  eval.SetObject("Img", nullptr);
  EXPECT_EQ(Cause("Img.SetSize(1, 1)"), "Undeclared Identifier 'Img'");
}

TEST_F(EvalText, TheStatementHookStopsARunawayScript) {
  int statements = 0;
  eval.SetStatementHook([&] {
    if (++statements > 1000) RaiseError(3, -1);
  });
  try {
    Run("var i: integer; begin while true do i := i + 1; end;");
    FAIL() << "no error";
  } catch (const EEvalException& e) {
    EXPECT_EQ(e.ErrCode, 3);
    EXPECT_NE(cp1251::ToUtf8(e.Message()).find("(User break)"), std::string::npos);
  }
  EXPECT_EQ(statements, 1001);
  statements = 0;
  EXPECT_EQ(Run("var i, s: integer; begin for i := 1 to 10 do s := s + i; Result := s; end;").AsInteger(), 55);
  EXPECT_GT(statements, 10);
  eval.SetStatementHook(nullptr);
  statements = 0;
  Run("begin Result := 1; end;");
  EXPECT_EQ(statements, 0);
}

TEST(Evaluators, EachOwnsItsProgramAndNames) {
  // Two gate objects at once (a send and the gate manager's test, say): one
  // going away leaves the other whole.
  TText first, second;
  first.Text = "first";
  second.Text = "second";
  TEvalutor a;
  a.SetObject("Html", &first);
  {
    TEvalutor b;
    b.SetObject("Html", &second);
    EXPECT_EQ(b.Evaluate("eval(Html.Text)").AsString(), "second");
    EXPECT_EQ(a.Evaluate("eval(Html.Text)").AsString(), "first");
  }
  EXPECT_EQ(a.Evaluate("eval(Html.Text + '!')").AsString(), "first!");
}

// An object class scripts can create, standing for any object a script
// might make and never free.
class TProbe : public TObject {
  PX_CLASS(TProbe, TObject)
};

void RegisterProbe() {
  static const bool registered = [] {
    TInterpreterAdapter& a = GetGlobalAdapter();
    a.AddClass("Dummy", &TProbe::StaticClass(), "TProbe");
    a.AddClassGet(
        &TProbe::StaticClass(), "Create",
        [](Variant& value, TInterpreterArgs&) { value = AdoptScriptObject(std::make_unique<TProbe>()); }, 0, {},
        ObjectVarType());
    return true;
  }();
  (void)registered;
}

// What one send asks of its evaluator: parameters of every kind, objects
// stored between steps, failures, and objects made and never freed.
void OneSend(TEvalutor& eval, SendObjects& send, int round) {
  send.Html.Text = "<form><input name=\"sid\" value=\"" + std::to_string(round) + "\"></form>";
  eval.Evaluate("http://example.org/");
  eval.Evaluate("eval(Html.StrBetween('value=\"', '\"'))");
  eval.Evaluate(
      "eval(var a: array of string; r: TRect; begin SetLength(a, 3); a[0] := Html.Text; r := Rect(1, 2, 3, 4); "
      "Stored['body'] := PostData; Stored['list'] := VarArrayOf([1, 'x', a[0]]); PostData.Add('sid', a[0]); "
      "Result := Format('%d:%s', [r.Right, Stored['body'].Bound]); end;)");
  eval.Evaluate("eval(begin TProbe.Create; TProbe.Create.Free; Result := TProbe.Create; end;)");
  eval.Evaluate("eval(unit Step; type TFields = record A: integer; end; function main: integer; begin "
                "Result := 1; end; end.)");
  try {
    eval.Evaluate("eval(begin Stored['x'] := 1; Result := undefined_name; end;)");
  } catch (const EEvalException&) {
  }
  try {
    eval.Evaluate("eval(begin raise TProbe.Create; end;)");
  } catch (const EEvalException&) {
  }
  send.PostData.Clear();
}

TEST(Evaluators, ThousandSendsLeaveNoObjectBehind) {
  RegisterProbe();
  {
    // Warm-up: registrations and caches made on first use stay for good.
    SendObjects send;
    TEvalutor eval;
    send.BindTo(eval);
    OneSend(eval, send, 0);
  }
  const int64_t before = TObject::LiveCount();
  const size_t unowned = UnownedScriptObjectCount();
  int64_t peak = 0;
  for (int round = 1; round <= 1000; ++round) {
    SendObjects send;
    TEvalutor eval;
    send.BindTo(eval);
    OneSend(eval, send, round);
    peak = std::max(peak, TObject::LiveCount() - before);
  }
  EXPECT_EQ(TObject::LiveCount(), before);
  EXPECT_EQ(UnownedScriptObjectCount(), unowned);
  EXPECT_GT(peak, 0);  // the sends did make objects
  RecordProperty("LiveObjectsAfter1000Sends", std::to_string(TObject::LiveCount() - before));
  RecordProperty("MostLiveObjectsDuringOneSend", std::to_string(peak));
}

TEST(Evaluators, ObjectsScriptsMakeDieWithTheirEvaluator) {
  RegisterProbe();
  { TEvalutor registersTheApi; }
  const int64_t before = TObject::LiveCount();
  {
    TEvalutor eval;
    for (int i = 0; i < 1000; ++i) eval.Evaluate("eval(TProbe.Create)");
    EXPECT_EQ(eval.Program().ScriptObjects().Count(), 1000u);
    EXPECT_GE(TObject::LiveCount() - before, 1000);
  }
  EXPECT_EQ(TObject::LiveCount(), before);
}

}  // namespace
