// The arguments of one host call as the evaluator fills them and the adapter
// reads and amends them, the one form every host routine takes, and the
// argument-count check run before each call.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scriptlimits.h"
#include "object.h"
#include "variant.h"

class TInterpreterRecHolder;

using TParamTypes = std::array<TVarType, kMaxCallArgs>;

class TInterpreterArgs : public TObject {
  PX_CLASS(TInterpreterArgs, TObject)
 public:
  // Per argument: the script variable that was passed, empty for any other
  // expression; for an array element or a record field, the name of the
  // last part, with the rest in Targets.
  std::array<std::string, kMaxCallArgs> VarNames;
  // An argument that is an element or a field: what stood left of its last
  // name and the indexes after it, so that a by-reference value goes back
  // into that element or field and nowhere else.
  struct TTarget {
    int32_t Arg = 0;
    Variant Obj;  // a record, or Empty
    TVarType ObjKind = 0;
    bool Indexed = false;
    std::vector<Variant> Indexes;
  };
  std::vector<TTarget> Targets;
  // Some argument passed as a variable meets a by-reference parameter: the
  // evaluator writes those arguments back from Values after the call.
  bool WriteBack = false;
  // The name being called, set just before each host routine runs.
  std::string Identifier;
  int32_t Count = 0;
  // Parameter types of the entry being called, copied in by CheckArgs.
  TParamTypes Types{};
  // Argument values, first argument first; the indexes of an indexed access.
  std::array<Variant, kMaxCallArgs> Values;
  // The value of the call is used.
  bool HasResult = false;
  // Set while an assignment statement runs, cleared for a call statement.
  bool Assignment = false;
  // The value left of the "." (an object, class, record, interface or
  // dispatch value), Empty for a plain name; ObjKind is its kind.
  Variant Obj;
  TVarType ObjKind = 0;
  // Keeps an interface the call works on alive.
  Variant ObjKeeper;
  // The name carried [ ] and Values holds the indexes.
  bool Indexed = false;
  // The lookup consumed the indexes; else the evaluator applies them to the
  // value returned.
  bool IndexesUsed = false;
  // The argument OpenArray converted last, element by element.
  std::vector<Variant> OpenArrayBuffer;
  int32_t OpenArrayCount = 0;

  // Resets count, object, kind, keeper and the flags; leaves Values,
  // VarNames and Types as they are. Inline: every name a script reads
  // starts here.
  void Clear() {
    Count = 0;
    ClearObj();
    WriteBack = false;
    Indexed = false;
    IndexesUsed = false;
    if (!ObjKeeper.IsEmpty()) ObjKeeper.Clear();
  }
  // Appends an argument; a 34th is error 181.
  void Add(const Variant& value, std::string varName = {});
  // Converts argument `index` (an interpreter array, a generic array or a
  // single value) into OpenArrayBuffer; more than 33 elements is error 181.
  void OpenArray(int32_t index);

  // Puts a value left of the "." (Obj and ObjKind from it).
  void SetObj(const Variant& value);
  // Forgets the object (Obj Empty, kind 0).
  void ClearObj() {
    if (!Obj.IsEmpty()) Obj.Clear();
    ObjKind = 0;
  }
  // True when Obj holds something other than nil. Inline: most names are
  // plain, with nothing left of a dot.
  bool HasObj() const { return !Obj.IsEmpty() && HeldObjIsSet(); }
  // Obj as an instance (object kind only, else nullptr); error 2 when the
  // object has been freed.
  TObject* Instance() const;
  // Obj as a class reference (class kind only, else nullptr).
  const TClassInfo* ClassRef() const;
  // Obj as a record holder (record kind only, else nullptr).
  TInterpreterRecHolder* RecHolder() const;

 private:
  // HasObj for an Obj that is not Empty.
  bool HeldObjIsSet() const;
};

// Every host routine: the value to return (or, for a setter, the value to
// store) and the call's arguments.
using TInterpreterCallback = std::function<void(Variant& value, TInterpreterArgs& args)>;

// Host events asked last, after the interpreter's own names and both
// registries; a handler that does not serve the name sets `done` false.
using TInterpreterGetValue = std::function<void(TObject* sender, const std::string& identifier, Variant& value,
                                                TInterpreterArgs& args, bool& done)>;
using TInterpreterSetValue = std::function<void(TObject* sender, const std::string& identifier,
                                                const Variant& value, TInterpreterArgs& args, bool& done)>;

// The argument check before every host call: with a parameter count of -1
// nothing is checked; more arguments than parameters is error 181, fewer
// error 182; otherwise the types are copied into Args.Types and WriteBack
// tells whether a variable meets a by-reference parameter.
void CheckArgs(TInterpreterArgs& args, int32_t paramCount, const TParamTypes& paramTypes);

// A parameter-type table from a list; entries past 33 are dropped.
TParamTypes MakeParamTypes(const std::vector<TVarType>& types);
