// Script variables: declaration, lookup and assignment by kind.
#include "variables.h"

#include <iterator>

#include "errors.h"
#include "values.h"

TInterpreterVarList& TInterpreterVarList::operator=(const TInterpreterVarList& other) {
  if (this == &other) return *this;
  Clear();
  // Declared oldest first, so that the copy keeps the newest in front.
  for (const auto& v : other.vars_) DeclareVariable(v->Unit, v->Name, v->TypeName, v->Kind, v->Value);
  return *this;
}

TInterpreterVar& TInterpreterVarList::DeclareVariable(std::string_view unit, std::string_view name,
                                                      std::string_view typeName, TVarType kind,
                                                      const Variant& value) {
  if (LookupVariable(unit, name)) RaiseError(111, -1, std::string(name));
  std::unique_ptr<TInterpreterVar> var;
  if (spare_.empty()) {
    var = std::make_unique<TInterpreterVar>();
  } else {
    var = std::move(spare_.back());
    spare_.pop_back();
  }
  // A frame reused call after call declares the same names again: equal
  // texts are kept rather than copied.
  KeepOrAssign(var->Unit, unit);
  KeepOrAssign(var->Name, name);
  KeepOrAssign(var->TypeName, typeName);
  var->Kind = kind;
  CopyValue(var->Value, value);
  vars_.push_back(std::move(var));
  return *vars_.back();
}

bool TInterpreterVarList::RemoveVariable(std::string_view unit, std::string_view name) {
  for (auto it = vars_.rbegin(); it != vars_.rend(); ++it) {
    if (SameName((*it)->Name, name) && (unit.empty() || SameName((*it)->Unit, unit))) {
      vars_.erase(std::next(it).base());
      return true;
    }
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

void TInterpreterVarList::Clear() {
  for (auto it = vars_.rbegin(); it != vars_.rend(); ++it) {
    auto& var = *it;
    var->Value.Clear();
    spare_.push_back(std::move(var));
  }
  vars_.clear();
}
