// Directly called host methods: typed host routines called with their
// arguments brought to the declared parameter types, after the checks of
// calling convention, argument types and result type.
#include <vector>

#include "adapter.h"
#include "cp1251.h"
#include "errors.h"
#include "values.h"

namespace {

constexpr int32_t kBadArgument = 188;
constexpr int32_t kBadResult = 189;
constexpr int32_t kBadConvention = 190;
// Only the first two arguments may be strings.
constexpr int32_t kStringArguments = 2;

bool IsWordKind(TVarType type) {
  return type == varInteger || type == varSmallint || type == varBoolean || type == ObjectVarType() ||
         type == PointerVarType();
}

bool ArgumentTypeFits(TVarType type, int32_t index) {
  return IsWordKind(type) || (type == varString && index < kStringArguments);
}

bool ResultTypeFits(TVarType type) { return type == varEmpty || IsWordKind(type); }

// An argument as the method receives it, by its declared type.
Variant DirectArgument(const Variant& value, TVarType type) {
  if (type == varInteger) return Variant::Integer(value.AsInteger());
  if (type == varSmallint) return Variant::Integer(static_cast<int16_t>(value.AsInteger()));
  if (type == varBoolean) return Variant::Boolean(value.AsBoolean());
  if (type == varString) return Variant::String(value.AsString());
  if (type == ObjectVarType()) return ObjectToValue(ValueToObject(value));
  return PointerToValue(ValueToPointer(value));
}

Variant DirectResult(const Variant& result, TVarType type) {
  if (type == varEmpty) return Variant::Null();
  if (type == varInteger) return Variant::Integer(result.AsInteger());
  if (type == varSmallint) return Variant::Integer(static_cast<int16_t>(result.AsInteger()));
  if (type == varBoolean) return Variant::Boolean(result.AsBoolean());
  if (type == ObjectVarType()) return ObjectToValue(ValueToObject(result));
  return PointerToValue(ValueToPointer(result));
}

}  // namespace

bool TInterpreterAdapter::DirectLookup(TInterpreterExpression* expression, const std::string& identifier,
                                       Variant& value, TInterpreterArgs& args) {
  TObject* obj = args.Instance();
  if (!obj) return false;
  for (size_t i = 0; i < dMethods_.Count(); ++i) {
    const auto& m = static_cast<const TInterpreterDMethod&>(*dMethods_.Item(i));
    if (!m.Direct || !m.ClassRef || !obj->InheritsFrom(*m.ClassRef) || !cp1251::SameText(m.Name, identifier))
      continue;
    args.Identifier = m.Name;
    BeforeHostCall(expression, args, m.Data);
    CheckArgs(args, m.ParamCount, m.ParamTypes);
    if (!(m.CallingConvention & 1)) RaiseError(kBadConvention, -1, m.Name);
    std::vector<Variant> callArgs;
    for (int32_t a = 0; a < args.Count; ++a) {
      if (!ArgumentTypeFits(m.ParamTypes[a], a)) RaiseError(kBadArgument, -1, m.Name);
      callArgs.push_back(DirectArgument(args.Values[a], m.ParamTypes[a]));
    }
    if (!ResultTypeFits(m.ResultType)) RaiseError(kBadResult, -1, m.Name);
    value = DirectResult(m.Direct(*obj, callArgs), m.ResultType);
    return true;
  }
  return false;
}
