// What the script API's registration files share: the unit name, the type
// codes of parameters and results, and the readers of call arguments. Every
// callback converts its own arguments, as the adapter checks only their
// number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "args.h"
#include "scriptrun.h"
#include "variant.h"

class TInterpreterAdapter;

inline constexpr char kApiUnit[] = "Dummy";

// Parameter and result type codes of the registrations.
inline constexpr TVarType kAny = varEmpty;  // no conversion; a result of any kind
inline constexpr TVarType kNone = varEmpty;  // a procedure's result
inline constexpr TVarType kInt = varInteger;
inline constexpr TVarType kDouble = varDouble;
inline constexpr TVarType kBool = varBoolean;
inline constexpr TVarType kVariant = varVariant;
inline constexpr TVarType kStr = varString;
inline constexpr TVarType kByRef = varByRef;

inline const Variant& Arg(const TInterpreterArgs& args, int i) { return args.Values[static_cast<size_t>(i)]; }
inline std::string TextArg(const TInterpreterArgs& args, int i) { return Arg(args, i).AsString(); }
inline int32_t IntArg(const TInterpreterArgs& args, int i) { return Arg(args, i).AsInteger(); }
inline int64_t Int64Arg(const TInterpreterArgs& args, int i) { return Arg(args, i).AsInt64(); }
inline bool FlagArg(const TInterpreterArgs& args, int i) { return Arg(args, i).AsBoolean(); }

// The text of a value without a copy when it is text already; `spare` holds
// the text of any other kind. Arguments can be as large as the script's
// memory budget, so the routines that build from them read them in place.
inline std::string_view TextOf(const Variant& value, std::string& spare) {
  if (value.VarType() == varString) return value.StringRef();
  spare = value.AsString();
  return spare;
}
inline std::string_view TextView(const TInterpreterArgs& args, int i, std::string& spare) {
  return TextOf(Arg(args, i), spare);
}

// Charges the running script's memory budget for a text of at most `bytes`
// that a routine is about to make or keep for it: "Out of memory" before the
// text is made, rather than after.
inline void ChargeText(int64_t bytes) { ChargeScriptMemory(kStringBytes + bytes); }

// A whole number as an Integer value, or Int64 when it does not fit.
inline Variant WholeValue(int64_t n) {
  return n >= INT32_MIN && n <= INT32_MAX ? Variant::Integer(static_cast<int32_t>(n)) : Variant::Int64(n);
}

// The classes and their members; the functions and constants.
void RegisterScriptClasses(TInterpreterAdapter& adapter);
void RegisterScriptFunctions(TInterpreterAdapter& adapter);
