// Script variables and the list that declares, finds and assigns them by
// unit and name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "samename.h"
#include "variant.h"

struct TInterpreterVar {
  std::string Unit;
  std::string Name;
  std::string TypeName;  // as the declaration wrote it
  TVarType Kind = 0;     // declared kind; 0 untyped; varByRef marks a by-reference parameter
  Variant Value;
};

// Variables, the newest first; owns them.
class TInterpreterVarList {
 public:
  TInterpreterVarList() = default;
  TInterpreterVarList(const TInterpreterVarList& other) { *this = other; }
  // Replaces this list's variables by those of `other`, declared again.
  TInterpreterVarList& operator=(const TInterpreterVarList& other);

  size_t Count() const { return vars_.size(); }
  TInterpreterVar& Item(size_t index) const { return *vars_[vars_.size() - 1 - index]; }

  // Declares a variable holding a CopyValue of `value`; error 111 naming it
  // when the unit already has one of that name.
  TInterpreterVar& DeclareVariable(std::string_view unit, std::string_view name, std::string_view typeName,
                                   TVarType kind, const Variant& value);
  // The newest variable of that name in that unit (any unit when `unit` is
  // empty), or nullptr. Inline: every read and write of a local starts here.
  TInterpreterVar* LookupVariable(std::string_view unit, std::string_view name) const {
    for (auto it = vars_.rbegin(); it != vars_.rend(); ++it)
      if (SameName((*it)->Name, name) && (unit.empty() || SameName((*it)->Unit, unit))) return it->get();
    return nullptr;
  }
  // Removes what LookupVariable finds; false when nothing.
  bool RemoveVariable(std::string_view unit, std::string_view name);

  // Reads a variable (in `unit`, any unit when empty) as a CopyValue; false
  // when there is none.
  bool GetValue(std::string_view unit, std::string_view name, Variant& value) const;
  // Assigns to the newest variable of that name in any unit: untyped,
  // Variant-typed and same-kind variables take the value with AssignValue,
  // other typed ones the value cast to their kind. False when there is none.
  bool SetValue(std::string_view name, const Variant& value);

  // Forgets every variable and releases its value; the storage is kept for
  // the next declarations, so that a frame reused by call after call
  // allocates nothing.
  void Clear();

 private:
  // Oldest first: declaring appends, lookups walk from the back.
  std::vector<std::unique_ptr<TInterpreterVar>> vars_;
  std::vector<std::unique_ptr<TInterpreterVar>> spare_;
};
