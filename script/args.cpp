// Call arguments: reset, filling, open-array conversion, the object left of
// the dot, and the argument-count check.
#include "args.h"

#include <algorithm>

#include "arrays.h"
#include "errors.h"
#include "records.h"
#include "values.h"

namespace {

constexpr int32_t kTooManyParams = 181;
constexpr int32_t kNotEnoughParams = 182;

}  // namespace


void TInterpreterArgs::Add(const Variant& value, std::string varName) {
  if (Count >= kMaxCallArgs) RaiseError(kTooManyParams, -1);
  Values[Count] = value;
  VarNames[Count] = std::move(varName);
  ++Count;
}

void TInterpreterArgs::OpenArray(int32_t index) {
  if (index < 0 || index >= kMaxCallArgs) RaiseError(kTooManyParams, -1);
  const Variant& arg = Values[index];
  if (arg.VarType() == ArrayVarType() || arg.IsArray())
    OpenArrayBuffer = VariantToOpenArray(arg);
  else
    OpenArrayBuffer.assign(1, arg);
  OpenArrayCount = static_cast<int32_t>(OpenArrayBuffer.size());
}

void TInterpreterArgs::SetObj(const Variant& value) {
  Obj = value;
  ObjKind = value.VarType();
}


bool TInterpreterArgs::HeldObjIsSet() const {
  TVarType type = Obj.VarType();
  if (type == ObjectVarType() || type == ClassVarType() || type == PointerVarType()) return Obj.Bits() != 0;
  if (type == RecordVarType() || type == varDispatch || type == varUnknown) return Obj.PayloadPtr() != nullptr;
  return false;
}

TObject* TInterpreterArgs::Instance() const {
  if (ObjKind != ObjectVarType() || Obj.VarType() != ObjectVarType()) return nullptr;
  return ValueToObject(Obj);
}

const TClassInfo* TInterpreterArgs::ClassRef() const {
  if (ObjKind != ClassVarType() || Obj.VarType() != ClassVarType()) return nullptr;
  return ValueToClass(Obj);
}

TInterpreterRecHolder* TInterpreterArgs::RecHolder() const {
  if (ObjKind != RecordVarType() || Obj.VarType() != RecordVarType()) return nullptr;
  return dynamic_cast<TInterpreterRecHolder*>(Obj.PayloadPtr());
}

void CheckArgs(TInterpreterArgs& args, int32_t paramCount, const TParamTypes& paramTypes) {
  if (paramCount == -1) return;
  if (args.Count > paramCount) RaiseError(kTooManyParams, -1);
  if (args.Count < paramCount) RaiseError(kNotEnoughParams, -1);
  args.WriteBack = false;
  args.Types = paramTypes;
  for (int32_t i = 0; i < args.Count && i < kMaxCallArgs; ++i) {
    if (!args.VarNames[i].empty() && (paramTypes[i] & varByRef)) {
      args.WriteBack = true;
      return;
    }
  }
}

TParamTypes MakeParamTypes(const std::vector<TVarType>& types) {
  TParamTypes table{};
  std::copy_n(types.begin(), std::min(types.size(), table.size()), table.begin());
  return table;
}
