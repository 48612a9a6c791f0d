// Script variables: declaration, lookup and assignment by kind.
#include "variables.h"

#include "cp1251.h"
#include "errors.h"
#include "values.h"

TInterpreterVarList& TInterpreterVarList::operator=(const TInterpreterVarList& other) {
  if (this == &other) return *this;
  Clear();
  // Declared oldest first, so that the copy keeps the newest in front.
  for (auto it = other.vars_.rbegin(); it != other.vars_.rend(); ++it) {
    const TInterpreterVar& v = **it;
    DeclareVariable(v.Unit, v.Name, v.TypeName, v.Kind, v.Value);
  }
  return *this;
}

TInterpreterVar& TInterpreterVarList::DeclareVariable(std::string_view unit, std::string_view name,
                                                      std::string_view typeName, TVarType kind,
                                                      const Variant& value) {
  if (LookupVariable(unit, name)) RaiseError(111, -1, std::string(name));
  auto var = std::make_unique<TInterpreterVar>();
  var->Unit = unit;
  var->Name = name;
  var->TypeName = typeName;
  var->Kind = kind;
  CopyValue(var->Value, value);
  vars_.push_front(std::move(var));
  return *vars_.front();
}

TInterpreterVar* TInterpreterVarList::LookupVariable(std::string_view unit, std::string_view name) const {
  for (const auto& var : vars_)
    if (cp1251::SameText(var->Name, name) && (unit.empty() || cp1251::SameText(var->Unit, unit))) return var.get();
  return nullptr;
}

bool TInterpreterVarList::RemoveVariable(std::string_view unit, std::string_view name) {
  for (auto it = vars_.begin(); it != vars_.end(); ++it) {
    if (cp1251::SameText((*it)->Name, name) && (unit.empty() || cp1251::SameText((*it)->Unit, unit))) {
      vars_.erase(it);
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
