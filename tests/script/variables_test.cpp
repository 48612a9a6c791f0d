// Variable lists, identifier lists and external declarations.
#include <gtest/gtest.h>

#include <functional>

#include "arrays.h"
#include "error_code.h"
#include "errors.h"
#include "external.h"
#include "identifiers.h"
#include "values.h"
#include "variables.h"

namespace {

TEST(ScriptVariables, DeclareTwiceInOneUnit) {
  TInterpreterVarList vars;
  vars.DeclareVariable("A", "x", "integer", varInteger, Variant::Integer(1));
  try {
    vars.DeclareVariable("a", "X", "", 0, Variant());
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 111);
    EXPECT_EQ(e.Message(), "Identifier redeclared: 'X'");
  }
  vars.DeclareVariable("B", "x", "", 0, Variant::Integer(2));
  Variant v;
  ASSERT_TRUE(vars.GetValue("", "X", v));
  EXPECT_EQ(v.AsInteger(), 2);  // the newer one
  ASSERT_TRUE(vars.GetValue("a", "x", v));
  EXPECT_EQ(v.AsInteger(), 1);
  EXPECT_FALSE(vars.GetValue("C", "x", v));
  EXPECT_TRUE(vars.RemoveVariable("", "x"));
  ASSERT_TRUE(vars.GetValue("", "x", v));
  EXPECT_EQ(v.AsInteger(), 1);
}

TEST(ScriptVariables, SetValueByDeclaredKind) {
  TInterpreterVarList vars;
  vars.DeclareVariable("", "i", "integer", varInteger, Variant::Integer(0));
  vars.DeclareVariable("", "u", "", 0, Variant());
  vars.DeclareVariable("", "r", "integer", varInteger | varByRef, Variant::Integer(0));
  EXPECT_TRUE(vars.SetValue("i", Variant::String("12")));
  EXPECT_EQ(vars.LookupVariable("", "i")->Value.VarType(), varInteger);
  EXPECT_EQ(vars.LookupVariable("", "i")->Value.AsInteger(), 12);
  EXPECT_TRUE(vars.SetValue("u", Variant::String("12")));
  EXPECT_EQ(vars.LookupVariable("", "u")->Value.VarType(), varString);
  EXPECT_TRUE(vars.SetValue("r", Variant::String("7")));
  EXPECT_EQ(vars.LookupVariable("", "r")->Value.VarType(), varInteger);
  EXPECT_EQ(vars.LookupVariable("", "r")->Kind, varInteger | varByRef);
  EXPECT_FALSE(vars.SetValue("none", Variant()));
  EXPECT_THROW(vars.SetValue("i", Variant::String("abc")), EVariantTypeCastError);
  EXPECT_EQ(ErrorCode([&] { vars.SetValue("u", NewScriptArray(1, {0}, {0}, 0, nullptr)); }), 2);
}

TEST(ScriptVariables, CopyKeepsOrderAndSharesArrays) {
  TInterpreterVarList vars;
  Variant array = NewScriptArray(1, {0}, {0}, varInteger, nullptr);
  vars.DeclareVariable("U", "first", "", 0, Variant::Integer(1));
  vars.DeclareVariable("U", "a", "", 0, array);
  TInterpreterVarList copy = vars;
  ASSERT_EQ(copy.Count(), 2u);
  EXPECT_EQ(copy.Item(0).Name, "a");
  EXPECT_EQ(copy.Item(0).Value.PayloadPtr(), array.PayloadPtr());
  vars.Clear();
  EXPECT_EQ(ValueToArray(copy.Item(0).Value).Count, 1);
}

TEST(ScriptVariables, RememberedDeclarationsReopenOnlyWhileIntact) {
  TInterpreterVarList vars;
  vars.DeclareVariable("U", "a", "integer", varInteger, Variant::Integer(1));
  vars.DeclareVariable("U", "Result", "string", varString, Variant::String("r"));
  vars.Remember(7, "U");
  EXPECT_FALSE(vars.Reopen(7, "U"));  // not empty
  vars.Clear();
  EXPECT_TRUE(vars.Reopen(7, "U"));
  EXPECT_FALSE(vars.Reopen(8, "U"));
  EXPECT_FALSE(vars.Reopen(7, "u"));
  vars.DeclareAgain(varInteger, Variant::Integer(5));
  vars.DeclareAgain(varString, Variant::String("s"));
  ASSERT_EQ(vars.Count(), 2u);
  EXPECT_EQ(vars.Item(1).Name, "a");
  EXPECT_EQ(vars.Item(1).TypeName, "integer");
  EXPECT_EQ(vars.Item(0).Name, "Result");
  EXPECT_EQ(vars.LookupVariable("U", "a")->Value.AsInteger(), 5);
  EXPECT_EQ(vars.LookupVariable("", "result")->Value.AsString(), "s");
  EXPECT_EQ(ErrorCode([&] { vars.DeclareAgain(varInteger, Variant()); }), 2);  // past what was remembered
  // Locals declared after the remembered part leave it intact.
  vars.DeclareVariable("U", "local", "", 0, Variant::Integer(3));
  vars.Clear();
  EXPECT_TRUE(vars.Reopen(7, "U"));
  EXPECT_EQ(vars.Count(), 0u);
  EXPECT_EQ(vars.LookupVariable("", "local"), nullptr);

  // A declaration or removal in the remembered part ends it.
  vars.DeclareVariable("U", "b", "", 0, Variant());
  vars.Clear();
  EXPECT_FALSE(vars.Reopen(7, "U"));
  vars.DeclareVariable("U", "a", "", 0, Variant());
  vars.Remember(9, "U");
  vars.RemoveVariable("", "a");
  EXPECT_FALSE(vars.Reopen(9, "U"));
}

struct Named : TInterpreterIdentifier {
  using TInterpreterIdentifier::TInterpreterIdentifier;
};

void Fill(TInterpreterIdentifierList& list, std::initializer_list<std::pair<const char*, const char*>> items) {
  for (const auto& [unit, name] : items) list.Add(std::make_unique<Named>(unit, name));
}

TEST(ScriptIdentifiers, FindInSortedList) {
  TInterpreterIdentifierList unique;
  Fill(unique, {{"", "delta"}, {"", "Alpha"}, {"", "charlie"}, {"", "BRAVO"}});
  unique.Sort();
  size_t index = 99;
  EXPECT_TRUE(unique.Find("bravo", index));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(unique.Find("c", index));
  EXPECT_EQ(index, 2u);
  EXPECT_FALSE(unique.Find("zulu", index));
  EXPECT_EQ(index, 4u);

  TInterpreterIdentifierList dupes(true);
  Fill(dupes, {{"", "b"}, {"", "a"}, {"", "x"}, {"", "X"}, {"", "x"}, {"", "c"}});
  dupes.Sort();
  EXPECT_TRUE(dupes.Find("X", index));
  EXPECT_EQ(index, 3u);  // the first of the equal names
}

TEST(ScriptIdentifiers, FindByNameTakesTheLatest) {
  TInterpreterIdentifierList list;
  Fill(list, {{"U1", "f"}, {"U2", "F"}, {"U1", "g"}});
  EXPECT_EQ(list.FindByName("", "f"), list.Item(1));
  EXPECT_EQ(list.FindByName("u1", "F"), list.Item(0));
  EXPECT_EQ(list.FindByName("U3", "f"), nullptr);
}

class TBase : public TObject {
  PX_CLASS(TBase, TObject)
};
class TDerived : public TBase {
  PX_CLASS(TDerived, TBase)
};

TEST(ScriptIdentifiers, MethodListPutsDescendantsFirst) {
  TInterpreterMethodList list(true);
  auto add = [&list](const char* name, const TClassInfo* cls) {
    auto member = std::make_unique<TInterpreterClassMember>("", name);
    member->ClassRef = cls;
    list.Add(std::move(member));
  };
  add("Text", &TObject::StaticClass());
  add("Count", &TBase::StaticClass());
  add("text", &TDerived::StaticClass());
  add("TEXT", &TBase::StaticClass());
  list.Sort();
  size_t index;
  ASSERT_TRUE(list.Find("text", index));
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(static_cast<TInterpreterClassMember*>(list.Item(1))->ClassRef, &TDerived::StaticClass());
  EXPECT_EQ(static_cast<TInterpreterClassMember*>(list.Item(2))->ClassRef, &TBase::StaticClass());
  EXPECT_EQ(static_cast<TInterpreterClassMember*>(list.Item(3))->ClassRef, &TObject::StaticClass());
}

TEST(ScriptExternal, CallingAlwaysFails) {
  TExternalFunction f;
  f.LibraryName = "user32.dll";
  f.FunctionName = "MessageBoxA";
  Variant result = Variant::Integer(5);
  try {
    CallExternalFunction(f, result);
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 184);
    EXPECT_EQ(e.Message(), "Error loading library 'user32.dll'");
  }
  EXPECT_EQ(result.VarType(), varBoolean);
  EXPECT_FALSE(result.AsBoolean());
}

}  // namespace
