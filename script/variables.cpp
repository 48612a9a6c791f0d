// Script variables: declaration, lookup and assignment by kind.
#include "variables.h"

#include <cstddef>

#include "errors.h"
#include "values.h"

TInterpreterVarList& TInterpreterVarList::operator=(const TInterpreterVarList& other) {
  if (this == &other) return *this;
  Clear();
  // Declared oldest first, so that the copy keeps the newest in front.
  for (size_t i = 0; i < other.count_; ++i) {
    const TInterpreterVar& v = *other.slots_[i];
    DeclareVariable(v.Unit, v.Name, v.TypeName, v.Kind, v.Value);
  }
  return *this;
}

TInterpreterVar& TInterpreterVarList::DeclareVariable(std::string_view unit, std::string_view name,
                                                      std::string_view typeName, TVarType kind,
                                                      const Variant& value) {
  if (LookupVariable(unit, name)) RaiseError(111, -1, std::string(name));
  return DeclareHiding(unit, name, typeName, kind, value);
}

TInterpreterVar& TInterpreterVarList::DeclareHiding(std::string_view unit, std::string_view name,
                                                     std::string_view typeName, TVarType kind,
                                                     const Variant& value) {
  if (count_ < rememberedCount_) Forget();
  if (count_ == slots_.size()) slots_.push_back(std::make_unique<TInterpreterVar>());
  TInterpreterVar& var = *slots_[count_];
  // A frame reused call after call declares the same names again: equal
  // texts are kept rather than copied.
  KeepOrAssign(var.Unit, unit);
  KeepOrAssign(var.Name, name);
  KeepOrAssign(var.TypeName, typeName);
  var.Kind = kind;
  CopyValue(var.Value, value);
  ++count_;
  return var;
}

bool TInterpreterVarList::RemoveVariable(std::string_view unit, std::string_view name) {
  for (size_t i = count_; i-- > 0;) {
    const TInterpreterVar& var = *slots_[i];
    if (!SameName(var.Name, name) || (!unit.empty() && !SameName(var.Unit, unit))) continue;
    if (i < rememberedCount_) Forget();
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));
    --count_;
    return true;
  }
  return false;
}

bool TInterpreterVarList::GetValue(std::string_view unit, std::string_view name, Variant& value) const {
  const TInterpreterVar* var = LookupVariable(unit, name);
  if (!var) return false;
  CopyValue(value, var->Value);
  return true;
}

bool TInterpreterVarList::SetValue(std::string_view name, const Variant& value) {
  TInterpreterVar* var = LookupVariable({}, name);
  if (!var) return false;
  TVarType kind = var->Kind & ~varByRef;
  if (kind == varEmpty || kind == varVariant || kind == value.VarType())
    AssignValue(var->Value, value);
  else
    var->Value = CastValue(value, kind);
  return true;
}

