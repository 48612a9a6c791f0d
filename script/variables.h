// Script variables and the list that declares, finds and assigns them by
// unit and name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"
#include "samename.h"
#include "values.h"
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

  size_t Count() const { return count_; }
  // Variables the list has storage for: those declared and those kept for
  // the next declarations.
  size_t Capacity() const { return slots_.size(); }
  TInterpreterVar& Item(size_t index) const { return *slots_[count_ - 1 - index]; }

  // Declares a variable holding a CopyValue of `value`; error 111 naming it
  // when the unit already has one of that name.
  TInterpreterVar& DeclareVariable(std::string_view unit, std::string_view name, std::string_view typeName,
                                   TVarType kind, const Variant& value);
  // Declares a variable in front of any other of that name, which it hides
  // until it is removed again.
  TInterpreterVar& DeclareHiding(std::string_view unit, std::string_view name, std::string_view typeName,
                                  TVarType kind, const Variant& value);
  // The newest variable of that name in that unit (any unit when `unit` is
  // empty), or nullptr. Inline: every read and write of a local starts here.
  TInterpreterVar* LookupVariable(std::string_view unit, std::string_view name) const {
    for (size_t i = count_; i-- > 0;) {
      TInterpreterVar* var = slots_[i].get();
      if (SameName(var->Name, name) && (unit.empty() || SameName(var->Unit, unit))) return var;
    }
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
  void Clear() {
    for (; count_ > 0; --count_) slots_[count_ - 1]->Value.Clear();
  }

  // A caller that declares one same sequence of variables call after call
  // (a function's parameters) names it by `key`, never 0: Remember records
  // that everything declared since the list was last empty is that
  // sequence, declared in `unit`; Reopen, on an empty list, tells whether
  // the storage still holds it, so that the caller may declare it again with
  // DeclareAgain, which sets only kind and value. The names were checked for
  // duplicates when they were first declared.
  void Remember(uint64_t key, std::string_view unit) {
    remembered_ = key;
    rememberedCount_ = count_;
    KeepOrAssign(rememberedUnit_, unit);
  }
  bool Reopen(uint64_t key, std::string_view unit) const {
    return count_ == 0 && key != 0 && key == remembered_ && SameBytes(rememberedUnit_, unit);
  }
  // Inline: a call of a function declares its parameters here.
  TInterpreterVar& DeclareAgain(TVarType kind, const Variant& value) {
    // Only what Reopen allowed: the remembered slots, in their order.
    if (count_ >= rememberedCount_) RaiseError(2, -1);
    TInterpreterVar& var = *slots_[count_];
    var.Kind = kind;
    CopyValue(var.Value, value);
    ++count_;
    return var;
  }

 private:
  // Any other declaration or removal in the remembered part ends it.
  void Forget() {
    remembered_ = 0;
    rememberedCount_ = 0;
  }

  // Declared variables oldest first in the first count_ slots, lookups
  // walking from the back; the slots past them keep their storage (and the
  // texts last declared there) for the next declarations.
  std::vector<std::unique_ptr<TInterpreterVar>> slots_;
  size_t count_ = 0;
  uint64_t remembered_ = 0;
  size_t rememberedCount_ = 0;
  std::string rememberedUnit_;
};
