// Automation objects driven through a provider of the test's own, and the
// default provider that knows no program identifier.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapter.h"
#include "automation.h"
#include "cp1251.h"
#include "error_code.h"
#include "errors.h"

namespace {

// A counter object: property Caption, method Add(a, b) and a member that
// always fails; records each call's arguments.
class TCounter : public TAutomationObject {
 public:
  int32_t GetDispId(const std::string& name) override {
    static const std::map<std::string, int32_t> ids = {{"Caption", 1}, {"Add", 2}, {"Broken", 3}, {"Item", 4}};
    auto it = ids.find(name);
    if (it == ids.end()) throw EOleError("Unknown name");
    return it->second;
  }
  void Invoke(int32_t id, TInvokeKind kind, std::span<const Variant> args, Variant* result) override {
    calls.emplace_back(args.begin(), args.end());
    if (id == 1 && kind == TInvokeKind::PropertyPut) caption = args[0].AsString();
    if (id == 1 && kind == TInvokeKind::MethodOrGet && result) *result = Variant::OleStr(caption);
    if (id == 2 && result) *result = Variant::Double(args[0].AsDouble() + args[1].AsDouble());
    if (id == 3) throw EOleError("Server busy");
    if (id == 4 && result) *result = Variant::Integer(args[0].AsInteger() * 2);
  }
  std::string caption;
  std::vector<std::vector<Variant>> calls;
};

class TTestProvider : public TAutomationProvider {
 public:
  std::shared_ptr<TAutomationObject> CreateObject(const std::string& progId) override {
    if (progId != "Test.Counter") throw EOleError("Invalid class string");
    ++created;
    running = std::make_shared<TCounter>();
    return running;
  }
  std::shared_ptr<TAutomationObject> GetActiveObject(const std::string& progId) override {
    if (progId != "Test.Counter" || !running) throw EOleError("Operation unavailable");
    return running;
  }
  std::shared_ptr<TCounter> running;
  int created = 0;
};

class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override { previous = SetAutomationProvider(provider); }
  void TearDown() override { SetAutomationProvider(previous); }

  Variant Call(const std::string& name, std::vector<Variant> arguments, const Variant* obj = nullptr,
               bool hasResult = true, bool indexed = false) {
    args.Clear();
    if (obj) args.SetObj(*obj);
    args.HasResult = hasResult;
    args.Indexed = indexed;
    for (const Variant& a : arguments) args.Add(a);
    Variant value = Variant::Integer(-1);
    EXPECT_TRUE(adapter.GetValue(nullptr, name, value, args)) << name;
    return value;
  }

  std::shared_ptr<TTestProvider> provider = std::make_shared<TTestProvider>();
  std::shared_ptr<TAutomationProvider> previous;
  TInterpreterAdapter adapter;
  TInterpreterArgs args;
};

TEST_F(AutomationTest, AnObjectDrivenEndToEnd) {
  Variant obj = Call("CreateOleObject", {Variant::String("Test.Counter")});
  ASSERT_EQ(obj.VarType(), varDispatch);
  ASSERT_EQ(provider->created, 1);
  TCounter& counter = *provider->running;

  args.Clear();
  args.SetObj(obj);
  ASSERT_TRUE(adapter.SetValue(nullptr, "Caption", Variant::String("Привет"_cp), args));
  EXPECT_EQ(counter.caption, "Привет"_cp);
  ASSERT_EQ(counter.calls.back().size(), 1u);
  EXPECT_EQ(counter.calls.back()[0].VarType(), varOleStr);

  Variant caption = Call("Caption", {}, &obj);
  EXPECT_EQ(caption.VarType(), varString);
  EXPECT_EQ(caption.AsString(), "Привет"_cp);

  Variant sum = Call("Add", {Variant::CurrencyScaled(15000), Variant::Integer(2)}, &obj);
  EXPECT_DOUBLE_EQ(sum.AsDouble(), 3.5);
  EXPECT_EQ(counter.calls.back()[0].VarType(), varDouble);
  EXPECT_EQ(counter.calls.back()[1].VarType(), varInteger);

  Variant unused = Call("Add", {Variant::Integer(1), Variant::Integer(2)}, &obj, false);
  EXPECT_TRUE(unused.IsNull());

  Variant item = Call("Item", {Variant::Integer(21)}, &obj, true, true);
  EXPECT_EQ(item.AsInteger(), 42);
  EXPECT_TRUE(args.IndexesUsed);

  try {
    Call("Broken", {}, &obj);
    FAIL() << "no error";
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 201);
    EXPECT_EQ(e.Message(), "Calling 'Broken' failed: 'Server busy'");
  }
  EXPECT_EQ(ErrorCode([&] { Call("Missing", {}, &obj); }), 201);
}

TEST_F(AutomationTest, AttachingToTheRunningObject) {
  EXPECT_THROW(Call("GetActiveOleObject", {Variant::String("Test.Counter")}), EOleError);
  Variant first = Call("GetOleObject", {Variant::String("Test.Counter")});
  EXPECT_EQ(provider->created, 1);
  Variant second = Call("GetOleObject", {Variant::String("Test.Counter")});
  EXPECT_EQ(provider->created, 1);
  EXPECT_EQ(first.PayloadPtr(), second.PayloadPtr());
  Variant active = Call("getactiveoleobject", {Variant::String("Test.Counter")});
  EXPECT_EQ(active.PayloadPtr(), first.PayloadPtr());
}

TEST_F(AutomationTest, TheFunctionsTakeExactlyOneArgument) {
  Variant v;
  args.Clear();
  EXPECT_EQ(ErrorCode([&] { adapter.GetValue(nullptr, "CreateOleObject", v, args); }), 182);
  args.Add(Variant::String("Test.Counter"));
  args.Add(Variant::String("Test.Counter"));
  EXPECT_EQ(ErrorCode([&] { adapter.GetValue(nullptr, "CreateOleObject", v, args); }), 181);
  EXPECT_EQ(provider->created, 0);
}

TEST(AutomationDefault, TheDefaultProviderKnowsNoProgramIdentifier) {
  SetAutomationProvider(nullptr);
  try {
    CreateOleObject("Word.Application");
    FAIL() << "no error";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.Message(), "Invalid class string");
  }
  EXPECT_THROW(GetOleObject("Word.Application"), EOleError);
  TInterpreterArgs args;
  Variant v;
  EXPECT_FALSE(LateBoundGet("X", v, args));
}

}  // namespace
