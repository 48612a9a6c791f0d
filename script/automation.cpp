// The automation provider, the script functions that reach it and
// late-bound calls on automation objects.
#include "automation.h"

#include <mutex>
#include <vector>

#include "cp1251.h"
#include "errors.h"

namespace {

constexpr int32_t kCallFailed = 201;
const char* const kInvalidClassString = "Invalid class string";

// No automation server exists on this platform unless a provider is installed.
class TNoAutomation : public TAutomationProvider {
 public:
  std::shared_ptr<TAutomationObject> CreateObject(const std::string&) override {
    throw EOleError(kInvalidClassString);
  }
  std::shared_ptr<TAutomationObject> GetActiveObject(const std::string&) override {
    throw EOleError(kInvalidClassString);
  }
};

struct ProviderSlot {
  std::mutex lock;
  std::shared_ptr<TAutomationProvider> provider = std::make_shared<TNoAutomation>();
};

ProviderSlot& Slot() {
  static ProviderSlot slot;
  return slot;
}

std::shared_ptr<TAutomationProvider> Provider() {
  ProviderSlot& s = Slot();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.provider;
}

Variant DispatchOf(std::shared_ptr<TAutomationObject> obj) {
  if (!obj) throw EOleError(kInvalidClassString);
  return Variant::Dispatch(std::move(obj));
}

// An argument as the call passes it: integers, Booleans and dispatch values
// as they are, doubles and currency as doubles, strings as wide strings;
// anything else is passed on unchanged.
Variant CallArgument(const Variant& v) {
  switch (v.VarType()) {
    case varDouble:
    case varCurrency: return Variant::Double(v.AsDouble());
    case varString: return Variant::OleStr(v.StringRef());
    default: return v;
  }
}

TAutomationObject* AutomationOf(const TInterpreterArgs& args) {
  if (args.Obj.VarType() != varDispatch) return nullptr;
  return dynamic_cast<TAutomationObject*>(args.Obj.PayloadPtr());
}

void Invoke(TAutomationObject& obj, const std::string& member, TInvokeKind kind, std::vector<Variant> callArgs,
            Variant* result) {
  try {
    obj.Invoke(obj.GetDispId(member), kind, callArgs, result);
  } catch (const EOleError& e) {
    RaiseError(kCallFailed, -1, member, e.Message());
  }
}

std::vector<Variant> CallArguments(const TInterpreterArgs& args, const Variant* first) {
  std::vector<Variant> list;
  if (first) list.push_back(CallArgument(*first));
  for (int32_t i = 0; i < args.Count && i < kMaxCallArgs; ++i) list.push_back(CallArgument(args.Values[i]));
  return list;
}

using AutomationMaker = Variant (*)(const std::string&);

struct AutomationName {
  const char* name;
  AutomationMaker make;
};

constexpr AutomationName kAutomationNames[] = {
    {"CreateOleObject", CreateOleObject},
    {"GetActiveOleObject", GetActiveOleObject},
    {"GetOleObject", GetOleObject},
};

}  // namespace

std::shared_ptr<TAutomationProvider> SetAutomationProvider(std::shared_ptr<TAutomationProvider> provider) {
  if (!provider) provider = std::make_shared<TNoAutomation>();
  ProviderSlot& s = Slot();
  std::lock_guard<std::mutex> guard(s.lock);
  std::swap(s.provider, provider);
  return provider;
}

Variant CreateOleObject(const std::string& progId) { return DispatchOf(Provider()->CreateObject(progId)); }

Variant GetActiveOleObject(const std::string& progId) { return DispatchOf(Provider()->GetActiveObject(progId)); }

Variant GetOleObject(const std::string& progId) {
  try {
    return GetActiveOleObject(progId);
  } catch (const EOleError&) {
    return CreateOleObject(progId);
  }
}

bool AutomationFunction(const std::string& name, Variant& value, TInterpreterArgs& args) {
  for (const AutomationName& entry : kAutomationNames) {
    if (!cp1251::SameText(entry.name, name)) continue;
    CheckArgs(args, 1, MakeParamTypes({varString}));
    value = entry.make(args.Values[0].AsString());
    return true;
  }
  return false;
}

bool LateBoundGet(const std::string& member, Variant& value, TInterpreterArgs& args) {
  TAutomationObject* obj = AutomationOf(args);
  if (!obj) return false;
  value = Variant::Null();
  Variant result;
  Invoke(*obj, member, TInvokeKind::MethodOrGet, CallArguments(args, nullptr), args.HasResult ? &result : nullptr);
  if (!args.HasResult) return true;
  value = result.VarType() == varOleStr ? Variant::String(result.StringRef()) : result;
  return true;
}

bool LateBoundPut(const std::string& member, const Variant& value, TInterpreterArgs& args) {
  TAutomationObject* obj = AutomationOf(args);
  if (!obj) return false;
  Variant copy = value;
  Invoke(*obj, member, TInvokeKind::PropertyPut, CallArguments(args, &copy), nullptr);
  return true;
}
