// Adapter registry and lookup: registration rules, lookup order, argument
// checks, class fit, indexed properties, records, casts, Free, handlers and
// direct methods.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "adapter.h"
#include "hostinstance.h"
#include "error_code.h"
#include "cp1251.h"
#include "errors.h"
#include "misscache.h"
#include "scriptowned.h"
#include "values.h"

namespace {

class TBase : public TObject {
  PX_CLASS(TBase, TObject)
 public:
  int32_t Number = 0;
};

class TDerived : public TBase {
  PX_CLASS(TDerived, TBase)
};

class TOther : public TObject {
  PX_CLASS(TOther, TObject)
};

// A callback that records the name it served and returns `result`.
TInterpreterCallback Returns(Variant result, std::string* served = nullptr) {
  return [result, served](Variant& value, TInterpreterArgs& args) {
    if (served) *served = args.Identifier;
    value = result;
  };
}

class AdapterTest : public ::testing::Test {
 protected:
  // A plain-name read.
  bool Get(const std::string& name, Variant& value, std::vector<Variant> arguments = {}) {
    args.Clear();
    for (const Variant& a : arguments) args.Add(a);
    return adapter.GetValue(nullptr, name, value, args);
  }
  // A member read on `obj`.
  bool GetOn(const Variant& obj, const std::string& name, Variant& value, std::vector<Variant> arguments = {},
             bool indexed = false) {
    args.Clear();
    args.SetObj(obj);
    args.Indexed = indexed;
    for (const Variant& a : arguments) args.Add(a);
    return adapter.GetValue(nullptr, name, value, args);
  }
  bool SetOn(const Variant& obj, const std::string& name, const Variant& value, std::vector<Variant> arguments = {},
             bool indexed = false) {
    args.Clear();
    args.SetObj(obj);
    args.Indexed = indexed;
    for (const Variant& a : arguments) args.Add(a);
    return adapter.SetValue(nullptr, name, value, args);
  }

  TInterpreterAdapter adapter;
  TInterpreterArgs args;
};

TEST_F(AdapterTest, PlainNamesResolveClassThenConstantThenFunctionThenVariablesUnitsAndHandlers) {
  adapter.AddFunction("U", "Thing", Returns(Variant::String("function")), 0, {}, varString);
  adapter.AddConst("U", "Thing", Variant::String("constant"));
  adapter.AddClass("U", &TBase::StaticClass(), "Thing");
  Variant v;
  ASSERT_TRUE(Get("thing", v));
  EXPECT_EQ(ValueToClass(v), &TBase::StaticClass());

  adapter.AddConst("U", "Both", Variant::Integer(1));
  adapter.AddFunction("U", "Both", Returns(Variant::Integer(2)), 0, {}, varInteger);
  ASSERT_TRUE(Get("Both", v));
  EXPECT_EQ(v.AsInteger(), 1);

  adapter.AddFunction("U", "FnOrVar", Returns(Variant::Integer(3)), 0, {}, varInteger);
  adapter.AddSrcVar("U", "FnOrVar", "integer", varInteger, Variant::Integer(4), nullptr);
  ASSERT_TRUE(Get("FnOrVar", v));
  EXPECT_EQ(v.AsInteger(), 3);

  adapter.AddSrcVar("U", "VarOrUnit", "integer", varInteger, Variant::Integer(5), nullptr);
  adapter.AddSrcUnit("VarOrUnit", "unit VarOrUnit; end.", "");
  ASSERT_TRUE(Get("VarOrUnit", v));
  EXPECT_EQ(v.AsInteger(), 5);

  adapter.AddSrcUnit("UnitOrHandler", "unit UnitOrHandler; end.", "");
  std::vector<std::string> asked;
  adapter.AddOnGet([&](TObject* sender, const std::string& id, Variant& value, TInterpreterArgs&, bool& done) {
    EXPECT_EQ(sender, &adapter);
    asked.push_back(id);
    done = id == "FromHost";
    if (done) value = Variant::Integer(6);
  });
  ASSERT_TRUE(Get("UnitOrHandler", v));
  EXPECT_EQ(dynamic_cast<TInterpreterSrcUnit*>(ValueToObject(v))->Name, "UnitOrHandler");
  EXPECT_TRUE(asked.empty());
  ASSERT_TRUE(Get("FromHost", v));
  EXPECT_EQ(v.AsInteger(), 6);
  EXPECT_FALSE(Get("Unknown", v));
  EXPECT_EQ(asked, (std::vector<std::string>{"FromHost", "Unknown"}));
}

TEST_F(AdapterTest, HandlerChainStopsAtTheFirstThatServes) {
  int calls = 0;
  adapter.AddOnGet([&](TObject*, const std::string&, Variant&, TInterpreterArgs&, bool& done) {
    ++calls;
    done = false;
  });
  adapter.AddOnGet([&](TObject*, const std::string&, Variant& value, TInterpreterArgs&, bool& done) {
    ++calls;
    value = Variant::String("second");
    done = true;
  });
  adapter.AddOnGet([&](TObject*, const std::string&, Variant&, TInterpreterArgs&, bool&) { ++calls; });
  Variant v;
  ASSERT_TRUE(Get("x", v));
  EXPECT_EQ(v.AsString(), "second");
  EXPECT_EQ(calls, 2);
}

TEST_F(AdapterTest, NilAndNullComeBeforeConstantsOfThoseNames) {
  adapter.AddConst("U", "nil", Variant::Integer(1));
  adapter.AddConst("U", "NULL", Variant::Integer(2));
  Variant v;
  ASSERT_TRUE(Get("NIL", v));
  EXPECT_EQ(v.VarType(), PointerVarType());
  EXPECT_EQ(ValueToPointer(v), nullptr);
  ASSERT_TRUE(Get("null", v));
  EXPECT_TRUE(v.IsNull());
}

TEST_F(AdapterTest, ArgumentCountIsChecked) {
  adapter.AddFunction("U", "Two", Returns(Variant::Integer(0)), 2, {varInteger, varInteger}, varInteger);
  adapter.AddFunction("U", "Any", Returns(Variant::Integer(7)), -1, {}, varInteger);
  Variant v;
  EXPECT_EQ(ErrorCode([&] { Get("Two", v, {Variant::Integer(1), Variant::Integer(2), Variant::Integer(3)}); }), 181);
  EXPECT_EQ(ErrorCode([&] { Get("Two", v, {Variant::Integer(1)}); }), 182);
  EXPECT_EQ(ErrorCode([&] { Get("Two", v, {Variant::Integer(1), Variant::Integer(2)}); }), 0);
  std::vector<Variant> many(kMaxCallArgs, Variant::Integer(1));
  ASSERT_TRUE(Get("Any", v, many));
  EXPECT_EQ(v.AsInteger(), 7);
  EXPECT_EQ(ErrorCode([&] { args.Add(Variant::Integer(34)); }), 181);
  EXPECT_EQ(args.Count, kMaxCallArgs);
}

TEST_F(AdapterTest, ByReferenceParameterMetByAVariableAsksForWriteBack) {
  adapter.AddFunction("U", "Inc", [](Variant&, TInterpreterArgs& a) { a.Values[1] = Variant::Integer(a.Values[1].AsInteger() + 1); },
                      2, {varInteger, varInteger | varByRef}, varEmpty);
  Variant v;
  args.Clear();
  args.Add(Variant::Integer(1), "a");
  args.Add(Variant::Integer(1));
  ASSERT_TRUE(adapter.GetValue(nullptr, "Inc", v, args));
  EXPECT_FALSE(args.WriteBack);
  args.Clear();
  args.Add(Variant::Integer(1));
  args.Add(Variant::Integer(1), "b");
  ASSERT_TRUE(adapter.GetValue(nullptr, "Inc", v, args));
  EXPECT_TRUE(args.WriteBack);
  EXPECT_EQ(args.Values[1].AsInteger(), 2);
  EXPECT_EQ(args.Types[1], varInteger | varByRef);
}

TEST_F(AdapterTest, GettersFitDescendantInstancesButClassMethodsOnlyTheirOwnClass) {
  adapter.AddGet(&TBase::StaticClass(), "Kind", Returns(Variant::String("base")), 0, {}, varString);
  adapter.AddClassGet(&TBase::StaticClass(), "Make", Returns(Variant::String("made")), 0, {}, varString);
  TDerived derived;
  TOther other;
  Variant v;
  ASSERT_TRUE(GetOn(ObjectToValue(&derived), "Kind", v));
  EXPECT_EQ(v.AsString(), "base");
  EXPECT_FALSE(GetOn(ObjectToValue(&other), "Kind", v));
  EXPECT_TRUE(GetOn(ClassToValue(&TBase::StaticClass()), "Make", v));
  EXPECT_FALSE(GetOn(ClassToValue(&TDerived::StaticClass()), "Make", v));
  // A class member serves instances too.
  v.Clear();
  ASSERT_TRUE(GetOn(ObjectToValue(&derived), "Make", v));
  EXPECT_EQ(v.AsString(), "made");
}

TEST_F(AdapterTest, InstanceMembersAreRefusedOnClassReferences) {
  int32_t calls = 0;
  auto count = [&calls](Variant&, TInterpreterArgs&) { ++calls; };
  adapter.AddGet(&TBase::StaticClass(), "Kind", count, 0, {}, varString);
  adapter.AddSet(&TBase::StaticClass(), "Kind", count, 0, {});
  adapter.AddIGet(&TBase::StaticClass(), "Items", count, 1, {varInteger}, varString);
  adapter.AddISet(&TBase::StaticClass(), "Items", count, 1, {varInteger});
  const Variant cls = ClassToValue(&TBase::StaticClass());
  Variant v;
  EXPECT_EQ(ErrorCode([&] { GetOn(cls, "Kind", v); }), 53);
  EXPECT_EQ(ErrorCode([&] { GetOn(cls, "Items", v, {Variant::Integer(0)}, true); }), 53);
  auto setOn = [&](const char* name, bool indexed) {
    args.Clear();
    args.SetObj(cls);
    if (indexed) args.Add(Variant::Integer(0));
    args.Indexed = indexed;
    adapter.SetValue(nullptr, name, Variant::Integer(1), args);
  };
  EXPECT_EQ(ErrorCode([&] { setOn("Kind", false); }), 53);
  EXPECT_EQ(ErrorCode([&] { setOn("Items", true); }), 53);
  EXPECT_EQ(calls, 0);
  // A class member of the same name registered beside it is still reached.
  adapter.AddClassGet(&TBase::StaticClass(), "Kind", Returns(Variant::String("class")), 0, {}, varString);
  ASSERT_TRUE(GetOn(cls, "Kind", v));
  EXPECT_EQ(v.AsString(), "class");
  // Another class's reference does not name the member at all.
  EXPECT_FALSE(GetOn(ClassToValue(&TOther::StaticClass()), "Kind", v));
}

TEST_F(AdapterTest, RequireInstanceHandsOutOnlyLiveInstancesOfItsClass) {
  auto derived = std::make_unique<TDerived>();
  TOther other;
  args.Clear();
  args.SetObj(ObjectToValue(derived.get()));
  EXPECT_EQ(&RequireInstance<TBase>(args), derived.get());
  EXPECT_EQ(&RequireInstance<TDerived>(args), derived.get());
  auto codeWith = [&](const Variant& obj) {
    args.Clear();
    if (!obj.IsEmpty()) args.SetObj(obj);
    return ErrorCode([&] { RequireInstance<TBase>(args); });
  };
  EXPECT_EQ(codeWith(ObjectToValue(&other)), 53);
  EXPECT_EQ(codeWith(ClassToValue(&TBase::StaticClass())), 53);
  EXPECT_EQ(codeWith(ObjectToValue(nullptr)), 53);
  EXPECT_EQ(codeWith(PointerToValue(nullptr)), 53);
  EXPECT_EQ(codeWith(Variant()), 53);
  const Variant stale = ObjectToValue(derived.get());
  derived.reset();
  EXPECT_EQ(codeWith(stale), 2);
}

TEST_F(AdapterTest, MembersOfOneNameServeTheMostSpecificClassThenTheFirstRegistered) {
  std::string served;
  adapter.AddGet(&TBase::StaticClass(), "Name", Returns(Variant::String("base"), &served), 0, {}, varString);
  adapter.AddGet(&TDerived::StaticClass(), "NAME", Returns(Variant::String("derived upper")), 0, {}, varString);
  adapter.AddGet(&TDerived::StaticClass(), "name", Returns(Variant::String("derived lower")), 0, {}, varString);
  TBase base;
  TDerived derived;
  Variant v;
  ASSERT_TRUE(GetOn(ObjectToValue(&derived), "Name", v));
  EXPECT_EQ(v.AsString(), "derived upper");
  ASSERT_TRUE(GetOn(ObjectToValue(&base), "nAmE", v));
  EXPECT_EQ(v.AsString(), "base");
  EXPECT_EQ(served, "Name");
  EXPECT_EQ(adapter.Getters().Count(), 3u);
}

TEST_F(AdapterTest, FirstRegistrationWinsForConstantsClassesAndFunctions) {
  for (int i = 0; i < 5; ++i) {
    adapter.AddConst("U" + std::to_string(i), "Same", Variant::Integer(i));
    adapter.AddFunction("U", "Fn", Returns(Variant::Integer(10 + i)), 0, {}, varInteger);
    adapter.AddConst("U", "Filler" + std::to_string(i), Variant::Integer(0));
  }
  adapter.AddClass("U", &TBase::StaticClass(), "Cls");
  adapter.AddClass("U", &TOther::StaticClass(), "cls");
  Variant v;
  ASSERT_TRUE(Get("same", v));
  EXPECT_EQ(v.AsInteger(), 0);
  ASSERT_TRUE(Get("FN", v));
  EXPECT_EQ(v.AsInteger(), 10);
  ASSERT_TRUE(Get("CLS", v));
  EXPECT_EQ(ValueToClass(v), &TBase::StaticClass());
  EXPECT_EQ(adapter.Constants().Count(), 10u);
}

TEST_F(AdapterTest, RegistrationUnsortsAndTheNextLookupSorts) {
  adapter.AddConst("U", "B", Variant::Integer(2));
  adapter.AddConst("U", "A", Variant::Integer(1));
  EXPECT_FALSE(adapter.Sorted());
  Variant v;
  ASSERT_TRUE(Get("B", v));
  EXPECT_TRUE(adapter.Sorted());
  EXPECT_EQ(adapter.Constants().Item(0)->Name, "A");
  adapter.AddConst("U", "C", Variant::Integer(3));
  EXPECT_FALSE(adapter.Sorted());
  args.Clear();
  adapter.SetValue(nullptr, "nothing", v, args);
  EXPECT_TRUE(adapter.Sorted());
}

TEST_F(AdapterTest, IndexedPropertiesWithAndWithoutIndexes) {
  adapter.AddIGet(&TBase::StaticClass(), "Items",
                  [](Variant& value, TInterpreterArgs& a) { value = Variant::Integer(a.Values[0].AsInteger() * 10); },
                  1, {varInteger}, varInteger);
  adapter.AddGet(&TBase::StaticClass(), "Text",
                 [](Variant& value, TInterpreterArgs& a) { value = Variant::Integer(a.Count); }, 0, {}, varString);
  int32_t stored = 0;
  adapter.AddISet(&TBase::StaticClass(), "Items",
                  [&](Variant& value, TInterpreterArgs& a) { stored = value.AsInteger() + a.Values[0].AsInteger(); }, 1,
                  {varInteger});
  TDerived obj;
  Variant v;
  ASSERT_TRUE(GetOn(ObjectToValue(&obj), "Items", v, {Variant::Integer(4)}, true));
  EXPECT_EQ(v.AsInteger(), 40);
  EXPECT_TRUE(args.IndexesUsed);

  // A plain property read through [ ]: served without the indexes, which
  // stay for the caller to apply.
  ASSERT_TRUE(GetOn(ObjectToValue(&obj), "Text", v, {Variant::Integer(2)}, true));
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_FALSE(args.IndexesUsed);
  EXPECT_EQ(args.Count, 1);

  ASSERT_TRUE(SetOn(ObjectToValue(&obj), "Items", Variant::Integer(100), {Variant::Integer(5)}, true));
  EXPECT_EQ(stored, 105);
  EXPECT_TRUE(args.IndexesUsed);
  EXPECT_FALSE(SetOn(ObjectToValue(&obj), "Text", Variant::Integer(1), {Variant::Integer(5)}, true));
}

TEST_F(AdapterTest, DefaultIndexedPropertyOfAnObject) {
  std::vector<int32_t> written;
  adapter.AddIDGet(&TBase::StaticClass(),
                   [](Variant& value, TInterpreterArgs& a) { value = Variant::Integer(a.Values[0].AsInteger() + 1); }, 1,
                   {varInteger}, varInteger);
  adapter.AddIDSet(&TBase::StaticClass(), [&](Variant& value, TInterpreterArgs&) { written.push_back(value.AsInteger()); },
                   1, {varInteger});
  TDerived obj;
  Variant v;
  args.Clear();
  args.Add(Variant::Integer(1));
  ASSERT_TRUE(adapter.GetElement(nullptr, ObjectToValue(&obj), v, args));
  EXPECT_EQ(v.AsInteger(), 2);
  EXPECT_EQ(ValueToObject(args.Obj), &obj);
  ASSERT_TRUE(adapter.SetElement(nullptr, ObjectToValue(&obj), Variant::Integer(9), args));
  EXPECT_EQ(written, std::vector<int32_t>{9});
  TOther other;
  EXPECT_FALSE(adapter.GetElement(nullptr, ObjectToValue(&other), v, args));
  EXPECT_FALSE(adapter.GetElement(nullptr, Variant::Integer(1), v, args));
  EXPECT_EQ(ErrorCode([&] {
              args.Add(Variant::Integer(2));
              adapter.GetElement(nullptr, ObjectToValue(&obj), v, args);
            }),
            181);
}

TEST_F(AdapterTest, RecordFieldsGettersAndSetters) {
  adapter.AddRecGet("Types", "TRect", "Early", Returns(Variant::Integer(0)), 0, {}, varInteger);
  adapter.AddRec("Types", "TRect", 16,
                 {{"Left", 0, varInteger, nullptr}, {"Top", 4, varInteger, nullptr}, {"Right", 8, varInteger, nullptr},
                  {"Bottom", 12, varInteger, nullptr}},
                 nullptr, nullptr, nullptr);
  adapter.AddRecGet("Types", "trect", "Width",
                    [](Variant& value, TInterpreterArgs& a) {
                      const TInterpreterRecHolder& r = *a.RecHolder();
                      value = Variant::Integer(ReadRecordField(r, 2).AsInteger() - ReadRecordField(r, 0).AsInteger());
                    },
                    0, {}, varInteger);
  adapter.AddRecSet("Types", "TRect", "Width",
                    [](Variant& value, TInterpreterArgs& a) {
                      TInterpreterRecHolder& r = *a.RecHolder();
                      WriteRecordField(r, 2, Variant::Integer(ReadRecordField(r, 0).AsInteger() + value.AsInteger()));
                    },
                    0, {});
  EXPECT_EQ(static_cast<const TInterpreterRecMethod&>(*adapter.RecGetters().Item(0)).RecordType, nullptr);

  Variant rect;
  EXPECT_FALSE(adapter.NewRecord("TPoint", rect));
  ASSERT_TRUE(adapter.NewRecord("TRECT", rect));
  Variant v;
  ASSERT_TRUE(SetOn(rect, "left", Variant::String("3")));
  ASSERT_TRUE(SetOn(rect, "Width", Variant::Integer(10)));
  ASSERT_TRUE(GetOn(rect, "Right", v));
  EXPECT_EQ(v.AsInteger(), 13);
  ASSERT_TRUE(GetOn(rect, "width", v));
  EXPECT_EQ(v.AsInteger(), 10);
  EXPECT_FALSE(GetOn(rect, "Early", v));
  EXPECT_FALSE(GetOn(rect, "Height", v));
  EXPECT_EQ(ErrorCode([&] { GetOn(rect, "Width", v, {Variant::Integer(1)}); }), 181);

  Variant unbound = RecordToValue("TRect", std::vector<uint8_t>(16));
  EXPECT_TRUE(adapter.BindRecordType(unbound));
  EXPECT_NE(ValueToRecord(unbound).RecordType(), nullptr);
  Variant stranger = RecordToValue("TStranger", {});
  EXPECT_FALSE(adapter.BindRecordType(stranger));
}

TEST_F(AdapterTest, ClassNameAppliedToAValueIsACast) {
  adapter.AddClass("U", &TBase::StaticClass(), "TBase");
  TDerived obj;
  Variant v;
  ASSERT_TRUE(Get("TBase", v, {ObjectToValue(&obj)}));
  EXPECT_EQ(ValueToObject(v), &obj);
  ASSERT_TRUE(Get("TBase", v, {PointerToValue(nullptr)}));
  EXPECT_EQ(v.VarType(), ObjectVarType());
  EXPECT_EQ(ValueToObject(v), nullptr);
  ASSERT_TRUE(Get("TBase", v, {Variant::Null()}));
  EXPECT_EQ(ValueToObject(v), nullptr);
  EXPECT_EQ(ErrorCode([&] { Get("TBase", v, {Variant::Integer(12345)}); }), 53);
  EXPECT_EQ(ErrorCode([&] { Get("TBase", v, {Variant::String("x")}); }), 53);
  EXPECT_EQ(ErrorCode([&] { Get("TBase", v, {ObjectToValue(&obj), ObjectToValue(&obj)}); }), 181);
}

TEST_F(AdapterTest, SimpleTypeNamesCastThroughTheValueRules) {
  Variant v;
  ASSERT_TRUE(Get("Integer", v, {Variant::String("12")}));
  EXPECT_EQ(v.VarType(), varInteger);
  EXPECT_EQ(v.AsInteger(), 12);
  ASSERT_TRUE(Get("string", v, {Variant::Integer(5)}));
  EXPECT_EQ(v.AsString(), "5");
  ASSERT_TRUE(Get("boolean", v, {Variant::Integer(1)}));
  EXPECT_EQ(v.VarType(), varBoolean);
  TBase obj;
  ASSERT_TRUE(Get("TObject", v, {ObjectToValue(&obj)}));
  EXPECT_EQ(ValueToObject(v), &obj);
  EXPECT_EQ(ErrorCode([&] { Get("TObject", v, {Variant::Integer(7)}); }), 53);
  EXPECT_EQ(ErrorCode([&] { Get("integer", v); }), 53);
  EXPECT_EQ(ErrorCode([&] { Get("integer", v, {Variant::Integer(1), Variant::Integer(2)}); }), 181);
}

TEST_F(AdapterTest, FreeDestroysOnlyWhatTheScriptCreated) {
  Variant created = AdoptScriptObject(std::make_unique<TDerived>());
  uint64_t handle = ValueToObject(created)->Handle();
  Variant v = Variant::Integer(1);
  ASSERT_TRUE(GetOn(created, "Free", v));
  EXPECT_TRUE(v.IsNull());
  EXPECT_FALSE(args.HasObj());
  EXPECT_EQ(TObject::FromHandle(handle), nullptr);

  TDerived hostOwned;
  ASSERT_TRUE(GetOn(ObjectToValue(&hostOwned), "free", v));
  EXPECT_TRUE(v.IsNull());
  EXPECT_FALSE(args.HasObj());
  EXPECT_EQ(TObject::FromHandle(hostOwned.Handle()), &hostOwned);

  // A class reference is never freed: the name is not served.
  EXPECT_FALSE(GetOn(ClassToValue(&TBase::StaticClass()), "Free", v));
}

TEST_F(AdapterTest, SourceUnitsAndQualifiedVariables) {
  adapter.AddSrcUnit("Lib", "unit Lib; end.", "");
  adapter.AddSrcVar("Lib", "Count", "integer", varInteger, Variant::Integer(3), nullptr);
  adapter.AddSrcVar("Main", "Count", "integer", varInteger, Variant::Integer(4), nullptr);
  Variant unit;
  ASSERT_TRUE(Get("LIB", unit));
  EXPECT_EQ(unit.VarType(), ObjectVarType());
  EXPECT_EQ(ErrorCode([&] { Get("Lib", unit, {Variant::Integer(1)}); }), 181);
  ASSERT_TRUE(Get("Lib", unit));
  Variant v;
  ASSERT_TRUE(GetOn(unit, "Count", v));
  EXPECT_EQ(v.AsInteger(), 3);
  ASSERT_TRUE(Get("Count", v));
  EXPECT_EQ(v.AsInteger(), 4);
  TBase obj;
  EXPECT_FALSE(GetOn(ObjectToValue(&obj), "Count", v));
  // Free on a unit only drops the reference: the unit stays registered.
  ASSERT_TRUE(GetOn(unit, "Free", v));
  EXPECT_TRUE(adapter.UnitExists("lib"));
}

TEST_F(AdapterTest, SettersSourceVariablesAndSetHandlers) {
  TDerived obj;
  adapter.AddSet(&TBase::StaticClass(), "Number",
                 [](Variant& value, TInterpreterArgs& a) { ObjectAs<TBase>(a.Instance())->Number = value.AsInteger(); }, 0,
                 {});
  adapter.AddSrcVar("U", "Total", "integer", varInteger, Variant::Integer(0), nullptr);
  std::string handled;
  adapter.AddOnSet([&](TObject*, const std::string& id, const Variant& value, TInterpreterArgs&, bool& done) {
    done = id == "Host";
    if (done) handled = value.AsString();
  });
  ASSERT_TRUE(SetOn(ObjectToValue(&obj), "number", Variant::String("42")));
  EXPECT_EQ(obj.Number, 42);
  args.Clear();
  ASSERT_TRUE(adapter.SetValue(nullptr, "Total", Variant::String("7"), args));
  Variant v;
  ASSERT_TRUE(Get("Total", v));
  EXPECT_EQ(v.VarType(), varInteger);
  EXPECT_EQ(v.AsInteger(), 7);
  args.Clear();
  ASSERT_TRUE(adapter.SetValue(nullptr, "Host", Variant::String("h"), args));
  EXPECT_EQ(handled, "h");
  args.Clear();
  EXPECT_FALSE(adapter.SetValue(nullptr, "Nobody", Variant::Integer(1), args));
}

TEST_F(AdapterTest, SourceUnitRegistration) {
  int first = 0, second = 0;
  adapter.AddSrcUnitEx("A", "", "", &first);
  adapter.AddSrcUnitEx("a", "unit A; end.", "X, Y ,, Z", &second);
  adapter.AddSrcUnitEx("A", "unit A; begin end.", "W", &first);
  ASSERT_EQ(adapter.SrcUnits().Count(), 1u);
  const auto& unit = static_cast<const TInterpreterSrcUnit&>(*adapter.SrcUnits().Item(0));
  EXPECT_EQ(unit.Source, "unit A; end.");
  EXPECT_EQ(unit.Data, &second);
  EXPECT_EQ(unit.Uses, (std::vector<std::string>{"X", "Y"}));
  EXPECT_EQ(adapter.GetUnitSource("A"), "unit A; end.");
  EXPECT_EQ(adapter.GetUnitSource("B"), "");
  adapter.AddExtUnit("Types");
  EXPECT_TRUE(adapter.UnitExists("TYPES"));
  EXPECT_FALSE(adapter.UnitExists("Other"));
}

TEST_F(AdapterTest, FindFunctionByUnitAndQualifier) {
  adapter.AddSrcFun("A", "Run", "", 10, 20, 0, {}, {}, {}, 0, "", nullptr);
  adapter.AddSrcFun("B", "Run", "", 30, 40, 1, {varInteger}, {"integer"}, {"n"}, varInteger, "integer", nullptr);
  adapter.AddSrcFun("A", "Run", "TFoo", 50, 60, 0, {}, {}, {}, 0, "", nullptr);
  const TInterpreterFunctionDesc* d = adapter.FindFunction("a", "run", "");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->BodyStart, 50);
  d = adapter.FindFunction("B", "Run", "");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->ParameterNames[0], "n");
  EXPECT_EQ(d->ParameterKinds[0], varInteger);
  EXPECT_EQ(adapter.FindFunction("A", "Run", "tfoo")->BodyStart, 50);
  EXPECT_EQ(adapter.FindFunction("C", "Run", "")->BodyStart, 50);
  EXPECT_EQ(adapter.FindFunction("C", "Run", "TFoo"), nullptr);
  EXPECT_EQ(adapter.FindFunction("", "Walk", ""), nullptr);
}

TEST_F(AdapterTest, AssignCopiesRegistrationsAndIgnoresItself) {
  int tag = 0;
  adapter.AddGetEx(&TBase::StaticClass(), "Kind", Returns(Variant::String("k")), 0, {}, varString, &tag);
  adapter.AddConst("U", "Answer", Variant::Integer(42));
  adapter.AddClass("U", &TBase::StaticClass(), "TBase");
  adapter.AddSrcUnit("Lib", "unit Lib; end.", "X, Y");
  adapter.AddRec("U", "TPair", 8, {{"A", 0, varInteger, nullptr}, {"B", 4, varInteger, nullptr}}, nullptr, nullptr, nullptr);
  adapter.AddRecGet("U", "TPair", "Sum", Returns(Variant::Integer(0)), 0, {}, varInteger);
  adapter.AddOnGet([](TObject*, const std::string&, Variant&, TInterpreterArgs&, bool& done) { done = false; });

  adapter.Assign(adapter);
  EXPECT_EQ(adapter.Getters().Count(), 1u);
  EXPECT_EQ(adapter.SrcUnits().Count(), 1u);

  TInterpreterAdapter copy;
  copy.Assign(adapter);
  EXPECT_EQ(copy.Getters().Count(), 1u);
  EXPECT_EQ(copy.Getters().Item(0)->Data, &tag);
  EXPECT_EQ(copy.RecordTypes().size(), 1u);
  EXPECT_NE(copy.RecordTypes()[0], adapter.RecordTypes()[0]);
  EXPECT_EQ(static_cast<const TInterpreterRecMethod&>(*copy.RecGetters().Item(0)).RecordType, copy.RecordTypes()[0]);
  EXPECT_EQ(static_cast<const TInterpreterSrcUnit&>(*copy.SrcUnits().Item(0)).Uses,
            (std::vector<std::string>{"X", "Y"}));
  Variant v;
  TInterpreterArgs a;
  ASSERT_TRUE(copy.GetValue(nullptr, "Answer", v, a));
  EXPECT_EQ(v.AsInteger(), 42);
  TDerived obj;
  a.SetObj(ObjectToValue(&obj));
  ASSERT_TRUE(copy.GetValue(nullptr, "Kind", v, a));
  EXPECT_EQ(v.AsString(), "k");
}

TEST_F(AdapterTest, ClearSourceKeepsHostRegistrationsAndClearEmptiesTheGlobalAdapter) {
  adapter.AddConst("U", "C", Variant::Integer(1));
  adapter.AddSrcUnit("Lib", "unit Lib; end.", "");
  adapter.AddSrcVar("Lib", "V", "", 0, Variant::Integer(1), nullptr);
  adapter.AddOwnedObject(std::make_unique<TInterpreterClass>("Lib", "TScripted"));
  EXPECT_NE(adapter.FindOwnedObject("tscripted"), nullptr);
  adapter.ClearSource();
  EXPECT_EQ(adapter.SrcUnits().Count(), 0u);
  EXPECT_EQ(adapter.SrcVars().Count(), 0u);
  EXPECT_EQ(adapter.FindOwnedObject("TScripted"), nullptr);
  EXPECT_EQ(adapter.Constants().Count(), 1u);
  adapter.ClearNonSource();
  EXPECT_EQ(adapter.Constants().Count(), 0u);

  TInterpreterAdapter& global = GetGlobalAdapter();
  EXPECT_EQ(&global, &GetGlobalAdapter());
  global.AddConst("U", "GlobalThing", Variant::Integer(1));
  global.Clear();
  Variant v;
  TInterpreterArgs a;
  EXPECT_FALSE(global.GetValue(nullptr, "GlobalThing", v, a));
  global.AddConst("U", "GlobalThing", Variant::Integer(2));
  ASSERT_TRUE(global.GetValue(nullptr, "GlobalThing", v, a));
  EXPECT_EQ(v.AsInteger(), 2);
  global.Clear();
}

// Names a lookup missed are remembered; every registration that could serve
// one, and every clearing, must make the next lookup search again.
TEST_F(AdapterTest, ANameThatMissedIsServedByWhatIsRegisteredAfterTheMiss) {
  struct Case {
    const char* name;
    std::function<void()> add;
  };
  const Case cases[] = {
      {"Konst", [&] { adapter.AddConst("U", "KONST", Variant::Integer(1)); }},
      {"TKlass", [&] { adapter.AddClass("U", &TBase::StaticClass(), "tklass"); }},
      {"Func", [&] { adapter.AddFunction("U", "func", Returns(Variant::Integer(3)), 0, {}, varInteger); }},
      {"SrcV", [&] { adapter.AddSrcVar("U", "srcv", "", 0, Variant::Integer(4), nullptr); }},
      {"Lib", [&] { adapter.AddSrcUnit("lib", "unit Lib; end.", ""); }},
      {"Declared", [&] { adapter.SrcVars().DeclareVariable("U", "declared", "", 0, Variant::Integer(5)); }},
  };
  Variant v;
  for (const Case& c : cases) {
    EXPECT_FALSE(Get(c.name, v)) << c.name;
    EXPECT_FALSE(Get(c.name, v)) << c.name;
    c.add();
    EXPECT_TRUE(Get(c.name, v)) << c.name;
  }
  adapter.ClearSource();
  EXPECT_FALSE(Get("SrcV", v));
  adapter.AddSrcVar("U", "SrcV", "", 0, Variant::Integer(6), nullptr);
  ASSERT_TRUE(Get("srcv", v));
  EXPECT_EQ(v.AsInteger(), 6);
  adapter.Clear();
  EXPECT_FALSE(Get("Konst", v));
  adapter.AddConst("U", "Konst", Variant::Integer(7));
  ASSERT_TRUE(Get("Konst", v));
  EXPECT_EQ(v.AsInteger(), 7);

  // A miss while external functions are passed over does not outlive it:
  // the call is refused only once it is reached.
  adapter.AddExtFun("U", "Ext", 0, "lib.so", "Ext", 0, 0, {}, varInteger);
  adapter.ExtFunctionsDisabled = true;
  EXPECT_FALSE(Get("Ext", v));
  adapter.ExtFunctionsDisabled = false;
  EXPECT_EQ(ErrorCode([&] { Get("Ext", v); }), 184);
}

TEST(NameMissCache, RecallsOnlyNamesRememberedInTheSameGenerationInAnyCase) {
  TNameMissCache cache;
  EXPECT_FALSE(cache.Recall(0, ""));
  cache.Remember(1, "Alpha");
  cache.Remember(1, "ёлка"_cp);
  EXPECT_TRUE(cache.Recall(1, "ALPHA"));
  EXPECT_TRUE(cache.Recall(1, "alpha"));
  EXPECT_TRUE(cache.Recall(1, "ЁЛКА"_cp));
  EXPECT_FALSE(cache.Recall(1, "Alph"));
  EXPECT_FALSE(cache.Recall(1, "Beta"));
  EXPECT_FALSE(cache.Recall(1, ""));
  EXPECT_FALSE(cache.Recall(2, "Alpha"));
  cache.Remember(2, "Beta");
  EXPECT_FALSE(cache.Recall(2, "Alpha"));
  EXPECT_TRUE(cache.Recall(2, "beta"));
  EXPECT_FALSE(cache.Recall(1, "beta"));
}

TEST(NameMissCache, AHitRecalledInOneCacheNeverAnswersAnother) {
  // More caches than a thread keeps recent hits for, so that some share one.
  std::vector<std::unique_ptr<TNameMissCache>> caches;
  for (int i = 0; i < 9; ++i) caches.push_back(std::make_unique<TNameMissCache>());
  caches[0]->Remember(1, "Fib");
  EXPECT_TRUE(caches[0]->Recall(1, "Fib"));
  for (size_t i = 1; i < caches.size(); ++i) EXPECT_FALSE(caches[i]->Recall(1, "Fib")) << i;
  EXPECT_TRUE(caches[0]->Recall(1, "fib"));
  caches[0].reset();
  caches[0] = std::make_unique<TNameMissCache>();
  EXPECT_FALSE(caches[0]->Recall(1, "Fib"));
}

TEST_F(AdapterTest, HandlersAreAskedForARememberedMissEveryTimeAndOneAddedLaterIsAsked) {
  Variant v;
  EXPECT_FALSE(Get("Late", v));
  EXPECT_FALSE(Get("Late", v));
  int asked = 0;
  adapter.AddOnGet([&](TObject*, const std::string& name, Variant& value, TInterpreterArgs&, bool& done) {
    ++asked;
    // Serves the name only from its third question on.
    done = name == "Late" && asked >= 3;
    if (done) value = Variant::Integer(asked);
  });
  EXPECT_FALSE(Get("Late", v));
  EXPECT_FALSE(Get("Late", v));
  ASSERT_TRUE(Get("Late", v));
  EXPECT_EQ(v.AsInteger(), 3);
  EXPECT_EQ(asked, 3);
}

TEST(AdapterThreads, FirstLookupsFromSeveralThreadsSeeOneSortedRegistry) {
  TInterpreterAdapter adapter;
  constexpr int kNames = 3000;
  for (int i = kNames - 1; i >= 0; --i) adapter.AddConst("U", "C" + std::to_string(i), Variant::Integer(i));
  std::atomic<int> ready{0};
  std::vector<TInterpreterAdapter*> globals(8);
  std::vector<int> wrong(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < 8) {
      }
      globals[t] = &GetGlobalAdapter();
      TInterpreterArgs args;
      for (int i = 0; i < kNames; i += 7) {
        Variant v;
        if (!adapter.GetValue(nullptr, "c" + std::to_string(i), v, args) || v.AsInteger() != i) ++wrong[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, std::vector<int>(8, 0));
  for (TInterpreterAdapter* g : globals) EXPECT_EQ(g, &GetGlobalAdapter());
}

// An adapter that records the data handed to every host call.
class TCountingAdapter : public TInterpreterAdapter {
 public:
  void BeforeHostCall(TInterpreterExpression*, TInterpreterArgs&, void* data) override { seen.push_back(data); }
  std::vector<void*> seen;
};

TEST(AdapterHostCall, BeforeHostCallSeesTheEntryDataOfCallsConstantsAndCasts) {
  TCountingAdapter adapter;
  int f = 0, c = 0, k = 0;
  adapter.AddFunctionEx("U", "F", Returns(Variant::Integer(1)), 0, {}, varInteger, &f);
  adapter.AddConstEx("U", "C", Variant::Integer(1), &c);
  adapter.AddClassEx("U", &TBase::StaticClass(), "K", &k);
  TInterpreterArgs args;
  Variant v;
  adapter.GetValue(nullptr, "F", v, args);
  adapter.GetValue(nullptr, "C", v, args);
  adapter.GetValue(nullptr, "K", v, args);
  args.Add(Variant::Null());
  adapter.GetValue(nullptr, "K", v, args);
  EXPECT_EQ(adapter.seen, (std::vector<void*>{&f, &c, &k}));
}

TEST_F(AdapterTest, DirectMethodsCheckConventionAndTypes) {
  std::vector<std::string> seen;
  auto method = [&](TObject& self, std::span<const Variant> a) {
    seen.push_back(self.ClassName() + ":" + a[0].AsString() + ":" + std::to_string(a[1].AsInteger()));
    return Variant::Integer(0x12345);
  };
  adapter.AddDGet(&TBase::StaticClass(), "Call", method, 2, {varString, varInteger}, varSmallint, 1);
  adapter.AddDGet(&TBase::StaticClass(), "WrongConv", method, 2, {varString, varInteger}, varInteger, 0);
  adapter.AddDGet(&TBase::StaticClass(), "WrongArg", method, 2, {varDouble, varInteger}, varInteger, 1);
  adapter.AddDGet(&TBase::StaticClass(), "LateString", method, 3, {varInteger, varInteger, varString}, varInteger, 1);
  adapter.AddDGet(&TBase::StaticClass(), "WrongResult", method, 2, {varString, varInteger}, varDouble, 1);
  TDerived obj;
  Variant v;
  ASSERT_TRUE(GetOn(ObjectToValue(&obj), "call", v, {Variant::Integer(7), Variant::String("8")}));
  EXPECT_EQ(seen, std::vector<std::string>{"TDerived:7:8"});
  EXPECT_EQ(v.AsInteger(), 0x2345);
  EXPECT_EQ(ErrorCode([&] { GetOn(ObjectToValue(&obj), "WrongConv", v, {Variant::Integer(1), Variant::Integer(2)}); }),
            190);
  EXPECT_EQ(ErrorCode([&] { GetOn(ObjectToValue(&obj), "WrongArg", v, {Variant::Integer(1), Variant::Integer(2)}); }),
            188);
  EXPECT_EQ(ErrorCode([&] {
              GetOn(ObjectToValue(&obj), "LateString", v, {Variant::Integer(1), Variant::Integer(2), Variant::String("")});
            }),
            188);
  EXPECT_EQ(ErrorCode([&] { GetOn(ObjectToValue(&obj), "WrongResult", v, {Variant::Integer(1), Variant::Integer(2)}); }),
            189);
  EXPECT_EQ(ErrorCode([&] { GetOn(ObjectToValue(&obj), "Call", v, {Variant::Integer(1)}); }), 182);
  TOther other;
  EXPECT_FALSE(GetOn(ObjectToValue(&other), "Call", v, {Variant::Integer(1), Variant::Integer(2)}));
  EXPECT_EQ(seen.size(), 1u);
}

class TFakeInterface : public TInterpreterInterface {
 public:
  explicit TFakeInterface(TGUID iid) : iid_(iid) {}
  bool Supports(const TGUID& iid) const override { return iid == iid_; }

 private:
  TGUID iid_;
};

TEST_F(AdapterTest, InterfaceMethodsAreFoundByTheInterfaceTheValueSupports) {
  const TGUID first{1}, second{2};
  adapter.AddIntfGetEx(first, "Hello", Returns(Variant::String("first")), 0, {}, varString, nullptr);
  adapter.AddIntfGetEx(second, "Hello", Returns(Variant::String("second")), 0, {}, varString, nullptr);
  Variant v;
  ASSERT_TRUE(GetOn(Variant::Unknown(std::make_shared<TFakeInterface>(second)), "hello", v));
  EXPECT_EQ(v.AsString(), "second");
  EXPECT_FALSE(GetOn(Variant::Unknown(std::make_shared<TFakeInterface>(TGUID{3})), "Hello", v));
}

TEST_F(AdapterTest, EventsAndEventHandlerTypes) {
  adapter.AddEvent("U", &TBase::StaticClass(), "OnChange");
  TDerived derived;
  TOther other;
  EXPECT_TRUE(adapter.FindEvent(&derived, "onchange"));
  EXPECT_FALSE(adapter.FindEvent(&other, "OnChange"));
  int fired = 0;
  adapter.AddHandler("U", "TNotifyEvent", nullptr, [&](TInterpreterEventAdapter& self, TInterpreterArgs&) {
    fired += self.FunctionName == "Changed" ? 1 : 100;
  });
  TInterpreterEventMethod m = adapter.NewEvent("Main", "Changed", "tnotifyevent", nullptr, &derived, "OnChange");
  ASSERT_TRUE(m);
  EXPECT_EQ(m.Object->Instance, &derived);
  EXPECT_EQ(m.Object->PropName, "OnChange");
  m.Code(*m.Object, args);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(adapter.NewEvent("Main", "Changed", "TOtherEvent", nullptr, &derived, "OnChange"));
}

}  // namespace
