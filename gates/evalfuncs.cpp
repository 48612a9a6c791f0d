// The script API's functions and constants, in the order gate scripts have
// always found them registered: the text constants, the functions (the
// phone-part selectors right before ExtractPhonePart), the other constants.
#include <cmath>
#include <vector>

#include "adapter.h"
#include "arrays.h"
#include "charset.h"
#include "cp1251.h"
#include "datetimefmt.h"
#include "evalapi.h"
#include "evalformat.h"
#include "exceptions.h"
#include "formencode.h"
#include "messages.h"
#include "monthnames.h"
#include "phone.h"
#include "random.h"
#include "regexp.h"
#include "scriptrun.h"
#include "strfuncs.h"
#include "textutils.h"
#include "timezone.h"
#include "translit.h"
#include "values.h"

namespace {

// A function (callback set) or a constant (value set), in registration order.
struct Entry {
  const char* name;
  TInterpreterCallback callback;
  int32_t paramCount = 0;
  std::vector<TVarType> params;
  TVarType result = kNone;
  Variant constant = Variant();
};

Entry Constant(const char* name, Variant value) { return {name, nullptr, 0, {}, kNone, std::move(value)}; }
Entry Constant(const char* name, int32_t value) { return Constant(name, Variant::Integer(value)); }

// Texts whose result can outgrow their input (escaping, conversion,
// transliteration) are built this many characters of input at a time, each
// piece charged to the script's budget before it is added.
constexpr size_t kSlice = 16384;

template <class F>
void InSlices(std::string_view s, F f) {
  for (size_t at = 0; at < s.size(); at += kSlice) f(s.substr(at, kSlice));
}

// --- text ------------------------------------------------------------------

std::string TrimLeft(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  return std::string(s);
}

std::string TrimRight(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return std::string(s);
}

// Equal without regard to the case of Latin letters only.
bool SameStr(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// Every `from` replaced by `to`; the result's size is charged before it is
// built, since a short text can ask for an enormous one.
Variant ReplaceStr(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) {
    ChargeText(static_cast<int64_t>(s.size()));
    return Variant::String(std::string(s));
  }
  int64_t count = 0;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + from.size())) ++count;
  const int64_t size = static_cast<int64_t>(s.size()) +
                       count * (static_cast<int64_t>(to.size()) - static_cast<int64_t>(from.size()));
  ChargeText(size);
  std::string out;
  out.reserve(static_cast<size_t>(size));
  size_t start = 0;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, start)) {
    out.append(s.substr(start, at - start));
    out += to;
    start = at + from.size();
  }
  out.append(s.substr(start));
  return Variant::String(std::move(out));
}

// Delete (S, Index, Count) and Insert (Source, S, Index) as the language's
// string procedures define them; the new text is also written back into the
// variable passed as S.
void DeleteText(Variant& value, TInterpreterArgs& args) {
  std::string spare;
  const std::string_view s = TextView(args, 0, spare);
  const int64_t index = Int64Arg(args, 1), count = Int64Arg(args, 2), length = static_cast<int64_t>(s.size());
  ChargeText(length);
  std::string out(s);
  if (index >= 1 && index <= length && count > 0)
    out.erase(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, length - index + 1)));
  value = Variant::String(std::move(out));
  args.Values[0] = value;
}

void InsertText(Variant& value, TInterpreterArgs& args) {
  std::string spareSource, spare;
  const std::string_view source = TextView(args, 0, spareSource), s = TextView(args, 1, spare);
  const int64_t length = static_cast<int64_t>(s.size());
  const auto at = static_cast<size_t>(std::clamp<int64_t>(Int64Arg(args, 2), 1, length + 1) - 1);
  ChargeText(length + static_cast<int64_t>(source.size()));
  std::string out;
  out.reserve(s.size() + source.size());
  out.append(s.substr(0, at)).append(source).append(s.substr(at));
  value = Variant::String(std::move(out));
  args.Values[1] = value;
}

// Copy (S, Index, Count): the result is no longer than Count or S.
Variant CopyText(const TInterpreterArgs& args) {
  std::string spare;
  const std::string_view s = TextView(args, 0, spare);
  const int64_t index = Int64Arg(args, 1), count = Int64Arg(args, 2);
  ChargeText(std::clamp<int64_t>(count, 0, static_cast<int64_t>(s.size())));
  return Variant::String(strfuncs::Copy(s, index, count));
}

// A text cut from argument 0 (a match, the part between two markers), no
// longer than it, charged at that length before it is cut.
template <class F>
Variant CutText(const TInterpreterArgs& args, F cut) {
  std::string spare;
  const std::string_view s = TextView(args, 0, spare);
  ChargeText(static_cast<int64_t>(s.size()));
  return Variant::String(cut(s));
}

void RandomText(Variant& value, TInterpreterArgs& args) {
  const std::string alphabet = TextArg(args, 0);
  const int64_t length = Int64Arg(args, 1);
  if (length > 0) ChargeScriptMemory(length);
  value = Variant::String(RandomString(alphabet, length));
}

// "Assigned": an object value naming a live object or a pointer other than
// nil; an object value whose object has been freed is interpreter error 2.
bool IsAssigned(const Variant& v) {
  if (v.VarType() == ObjectVarType()) return ValueToObject(v) != nullptr;
  if (v.VarType() == PointerVarType()) return ValueToPointer(v) != nullptr;
  return false;
}

// --- dates -----------------------------------------------------------------

Variant DateValue(TDateTime dt) { return Variant::Date(dt); }
TDateTime DateArg(const TInterpreterArgs& args, int i) { return Arg(args, i).AsDate(); }

TDateTime AdjustTimeZone(TDateTime dt, int64_t bias, bool useDaylight) {
  dt -= static_cast<double>(TimeZoneBias() - bias) / 1440.0;
  if (useDaylight && TimeZoneDaylight()) dt -= 1.0 / 24.0;
  return dt;
}

// --- arrays ----------------------------------------------------------------

bool IsScriptArray(const Variant& v) { return v.VarType() == ArrayVarType(); }

[[noreturn]] void RequireArray() { RaiseError(176, -1); }

const VariantArray& GenericArray(const Variant& v) {
  if (!v.IsArray()) RequireArray();
  return v.ArrayRef();
}

int64_t LengthOf(const Variant& v) {
  if (IsScriptArray(v)) return ScriptArrayLength(ValueToArray(v));
  if (v.IsArray()) return static_cast<int64_t>(v.ArrayRef().items.size());
  std::string spare;
  return static_cast<int64_t>(TextOf(v, spare).size());
}

int64_t HighOf(const Variant& v) {
  if (IsScriptArray(v)) return ScriptArrayHigh(ValueToArray(v));
  return GenericArray(v).High();
}

int64_t LowOf(const Variant& v) {
  if (IsScriptArray(v)) return ScriptArrayLow(ValueToArray(v));
  return GenericArray(v).low;
}

// The elements of a one-dimensional interpreter array or of a variant array.
std::vector<Variant> ElementsOf(const Variant& v) {
  if (!IsScriptArray(v)) return GenericArray(v).items;
  const TInterpreterArray& a = ValueToArray(v);
  std::vector<Variant> items;
  items.reserve(static_cast<size_t>(ScriptArrayLength(a)));
  for (int64_t i = ScriptArrayLow(a); i <= ScriptArrayHigh(a); ++i) {
    const int32_t index[1] = {static_cast<int32_t>(i)};
    items.push_back(GetArrayElement(index, a));
  }
  return items;
}

Variant VarArrayCreate(const Variant& boundsArg, const Variant& kindArg) {
  const std::vector<Variant> bounds = ElementsOf(boundsArg);
  if (bounds.size() % 2 != 0) throw Exception("The size of bounds array must be even!");
  // The generic value holds arrays of one dimension only.
  if (bounds.size() != 2) throw Exception("Sorry, for one-dimensional arrays only");
  const int64_t low = bounds[0].AsInteger(), high = bounds[1].AsInteger();
  if (high < low - 1 || high - low + 1 > kMaxArrayElements) RaiseError(175, -1);
  const auto kind = static_cast<TVarType>(kindArg.AsInteger() & varTypeMask);
  if (IsScriptKind(kind)) RaiseVariantCastError(varEmpty, kind);
  const Variant element = kind == varVariant ? Variant() : Variant().ChangeType(kind);
  ChargeScriptMemory((high - low + 1) * kValueBytes);
  return Variant::Array(std::vector<Variant>(static_cast<size_t>(high - low + 1), element),
                        static_cast<int32_t>(low));
}

// Dimension `dim` of an array: its low (or high) bound.
int64_t ArrayBound(const Variant& v, int64_t dim, bool high) {
  if (IsScriptArray(v)) {
    const TInterpreterArray& a = ValueToArray(v);
    if (dim < 1 || dim > a.Dimensions) throw EVariantError("Variant or safe array index out of bounds");
    return high ? a.HighBounds[static_cast<size_t>(dim - 1)] : a.LowBounds[static_cast<size_t>(dim - 1)];
  }
  const VariantArray& a = GenericArray(v);
  if (dim != 1) throw EVariantError("Variant or safe array index out of bounds");
  return high ? a.High() : a.low;
}

int32_t DimensionsOf(const Variant& v) {
  if (IsScriptArray(v)) return ValueToArray(v).Dimensions;
  return v.IsArray() ? 1 : 0;
}

Variant VarAsType(const Variant& v, int64_t code) {
  const auto kind = static_cast<TVarType>(code);
  // An object or pointer made out of a number would name whatever it hit.
  if (IsScriptKind(kind)) RaiseVariantCastError(v.VarType(), kind);
  return v.ChangeType(kind);
}

// --- the table -------------------------------------------------------------

std::vector<Entry> Entries() {
  const TVarType array = ArrayVarType();
  // A position of argument 0 in argument 1 (from argument 2, when given),
  // both read in place.
  auto search = [](auto f) {
    return [f](Variant& v, TInterpreterArgs& a) {
      std::string sub, s;
      v = WholeValue(f(TextView(a, 0, sub), TextView(a, 1, s), a.Count > 2 ? Int64Arg(a, 2) : 1));
    };
  };
  // A text made from argument 0 and no longer than it.
  auto text = [](auto f) {
    return [f](Variant& v, TInterpreterArgs& a) { v = CutText(a, f); };
  };
  // A text that may outgrow argument 0, built in pieces as `build` hands
  // them over, each charged before it is added.
  auto grown = [](auto build) {
    return [build](Variant& v, TInterpreterArgs& a) {
      std::string spare;
      TScriptText out;
      build(TextView(a, 0, spare), a, [&out](std::string_view piece) { out += piece; });
      v = Variant::String(out.Take());
    };
  };
  return {
      Constant("UpperLatinCaps", Variant::String("ABCDEFGHIJKLMNOPQRSTUVWXYZ")),
      Constant("LowerLatinCaps", Variant::String("abcdefghijklmnopqrstuvwxyz")),
      Constant("DigitCaps", Variant::String("0123456789")),
      Constant("UpperHexCaps", Variant::String("0123456789ABCDEF")),
      Constant("LowerHexCaps", Variant::String("0123456789abcdef")),

      {"Assigned", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(IsAssigned(Arg(a, 0))); }, 1, {kAny},
       kBool},
      {"RegExp",
       [](Variant& v, TInterpreterArgs& a) {
         v = CutText(a, [&a](std::string_view s) { return RegExp(s, TextArg(a, 1), IntArg(a, 2)); });
       },
       3, {kStr, kStr, kInt}, kStr},
      {"DecodeHex", text([](std::string_view s) { return DecodeHex(s); }), 1, {kStr}, kStr},
      {"UpperCase", text([](std::string_view s) { return cp1251::UpperCase(s); }), 1, {kStr}, kStr},
      {"LowerCase", text([](std::string_view s) { return cp1251::LowerCase(s); }), 1, {kStr}, kStr},
      {"Trim", text([](std::string_view s) { return std::string(strfuncs::Trim(s)); }), 1, {kStr}, kStr},
      {"TrimLeft", text([](std::string_view s) { return TrimLeft(s); }), 1, {kStr}, kStr},
      {"TrimRight", text([](std::string_view s) { return TrimRight(s); }), 1, {kStr}, kStr},
      {"Length", [](Variant& v, TInterpreterArgs& a) { v = WholeValue(LengthOf(Arg(a, 0))); }, 1, {kAny}, kInt},
      {"Copy", [](Variant& v, TInterpreterArgs& a) { v = CopyText(a); }, 3, {kAny, kAny, kAny}, kStr},
      {"Delete", DeleteText, 3, {kAny | kByRef, kAny, kAny}, kStr},
      {"Insert", InsertText, 3, {kAny, kAny | kByRef, kAny}, kStr},
      {"Pos", search([](std::string_view sub, std::string_view s, int64_t) { return strfuncs::PosEx(sub, s); }), 2,
       {kAny, kAny}, kInt},
      {"PosEx",
       search([](std::string_view sub, std::string_view s, int64_t at) { return strfuncs::PosEx(sub, s, at); }), 3,
       {kAny, kAny, kAny}, kInt},
      {"LastPos", search([](std::string_view sub, std::string_view s, int64_t) { return LastPos(sub, s); }), 2,
       {kAny, kAny}, kInt},
      {"LastPosEx", search([](std::string_view sub, std::string_view s, int64_t at) { return LastPosEx(sub, s, at); }),
       3, {kAny, kAny, kAny}, kInt},
      {"StrBetween",
       [](Variant& v, TInterpreterArgs& a) {
         v = CutText(a, [&a](std::string_view s) { return StrBetween(s, TextArg(a, 1), TextArg(a, 2)); });
       },
       3, {kAny, kAny, kAny}, kStr},
      {"StrBetweenRev",
       [](Variant& v, TInterpreterArgs& a) {
         v = CutText(a, [&a](std::string_view s) { return StrBetweenRev(s, TextArg(a, 1), TextArg(a, 2)); });
       },
       3, {kAny, kAny, kAny}, kStr},
      {"SameStr", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(SameStr(TextArg(a, 0), TextArg(a, 1))); },
       2, {kStr, kStr}, kBool},
      {"Format",
       [](Variant& v, TInterpreterArgs& a) {
         a.OpenArray(1);
         v = Variant::String(FormatScriptText(TextArg(a, 0), a.OpenArrayBuffer));
       },
       2, {kAny, kAny}, kStr},
      {"isAscii",
       [](Variant& v, TInterpreterArgs& a) {
         std::string spare;
         v = Variant::Boolean(isAscii(TextView(a, 0, spare)));
       },
       1, {kAny}, kBool},
      {"RandomString", RandomText, 2, {kAny, kAny}, kStr},
      {"ReplaceStr",
       [](Variant& v, TInterpreterArgs& a) {
         std::string spare[3];
         v = ReplaceStr(TextView(a, 0, spare[0]), TextView(a, 1, spare[1]), TextView(a, 2, spare[2]));
       },
       3, {kAny, kAny, kAny}, kStr},
      {"FormatDateTime",
       [](Variant& v, TInterpreterArgs& a) { v = Variant::String(FormatDateTime(TextArg(a, 0), DateArg(a, 1))); }, 2,
       {kAny, kAny}, kStr},
      {"StrToDateTime", [](Variant& v, TInterpreterArgs& a) { v = DateValue(StrToDateTime(TextArg(a, 0))); }, 1,
       {kAny}, kAny},
      {"Date", [](Variant& v, TInterpreterArgs&) { v = DateValue(std::floor(Now())); }, 0, {}, kAny},
      {"Time",
       [](Variant& v, TInterpreterArgs&) {
         const TDateTime now = Now();
         v = DateValue(now - std::floor(now));
       },
       0, {}, kAny},
      {"Now", [](Variant& v, TInterpreterArgs&) { v = DateValue(Now()); }, 0, {}, kAny},
      {"DateOf", [](Variant& v, TInterpreterArgs& a) { v = DateValue(std::trunc(DateArg(a, 0))); }, 1, {kAny}, kAny},
      {"TimeOf",
       [](Variant& v, TInterpreterArgs& a) {
         const TDateTime dt = DateArg(a, 0);
         v = DateValue(dt - std::trunc(dt));
       },
       1, {kAny}, kAny},
      {"DateTimeToUnix", [](Variant& v, TInterpreterArgs& a) { v = Variant::Int64(DateTimeToUnix(DateArg(a, 0))); }, 1,
       {kAny}, kAny},
      {"UnixToDateTime", [](Variant& v, TInterpreterArgs& a) { v = DateValue(UnixToDateTime(Int64Arg(a, 0))); }, 1,
       {kAny}, kAny},
      {"GetMonthLongRus",
       [](Variant& v, TInterpreterArgs& a) {
         v = Variant::String(GetMonthLongRus(DateArg(a, 0), IntArg(a, 1), FlagArg(a, 2)));
       },
       3, {kAny, kAny, kAny}, kStr},
      {"TimeZoneBias", [](Variant& v, TInterpreterArgs&) { v = Variant::Integer(TimeZoneBias()); }, 0, {}, kInt},
      {"TimeZone", [](Variant& v, TInterpreterArgs&) { v = Variant::String(TimeZone()); }, 0, {}, kStr},
      {"TimeZoneDaylight", [](Variant& v, TInterpreterArgs&) { v = Variant::Boolean(TimeZoneDaylight()); }, 0, {},
       kBool},
      {"AdjustTimeZone",
       [](Variant& v, TInterpreterArgs& a) {
         v = DateValue(AdjustTimeZone(DateArg(a, 0), Int64Arg(a, 1), FlagArg(a, 2)));
       },
       3, {kAny, kAny, kAny}, kAny},
      {"iff", [](Variant& v, TInterpreterArgs& a) { v = FlagArg(a, 0) ? Arg(a, 1) : Arg(a, 2); }, 3,
       {kBool, kAny, kAny}, kAny},
      {"RandomInt", [](Variant& v, TInterpreterArgs& a) { v = WholeValue(Random(Int64Arg(a, 0))); }, 1, {kAny}, kInt},
      {"Random", [](Variant& v, TInterpreterArgs&) { v = Variant::Double(RandomFloat()); }, 0, {}, kDouble},
      {"SetLength",
       [](Variant&, TInterpreterArgs& a) { ScriptArraySetLength(ValueToArray(Arg(a, 0)), Int64Arg(a, 1)); }, 2,
       {array, kInt}},
      {"High", [](Variant& v, TInterpreterArgs& a) { v = WholeValue(HighOf(Arg(a, 0))); }, 1, {kAny}, kInt},
      {"Low", [](Variant& v, TInterpreterArgs& a) { v = WholeValue(LowOf(Arg(a, 0))); }, 1, {kAny}, kInt},
      {"DeleteFromArray",
       [](Variant&, TInterpreterArgs& a) { ScriptArrayDelete(ValueToArray(Arg(a, 0)), Int64Arg(a, 1)); }, 2,
       {kAny, kAny}},
      {"InsertIntoArray",
       [](Variant&, TInterpreterArgs& a) { ScriptArrayInsert(ValueToArray(Arg(a, 0)), Int64Arg(a, 1), Arg(a, 2)); },
       3, {kAny, kAny, kAny}},
      {"VarType", [](Variant& v, TInterpreterArgs& a) { v = Variant::Integer(Arg(a, 0).VarType()); }, 1, {kAny},
       kInt},
      {"VarAsType", [](Variant& v, TInterpreterArgs& a) { v = VarAsType(Arg(a, 0), Int64Arg(a, 1)); }, 2,
       {kAny, kAny}, kAny},
      {"VarIsEmpty", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Arg(a, 0).IsEmpty()); }, 1, {kAny},
       kBool},
      {"VarIsNull", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Arg(a, 0).IsNull()); }, 1, {kAny},
       kBool},
      // Text is handed back shared, not copied.
      {"VarToStr",
       [](Variant& v, TInterpreterArgs& a) {
         v = Arg(a, 0).VarType() == varString ? Arg(a, 0) : Variant::String(VarToStr(Arg(a, 0)));
       },
       1, {kAny}, kStr},
      {"VarFromDateTime", [](Variant& v, TInterpreterArgs& a) { v = DateValue(DateArg(a, 0)); }, 1, {kAny}, kAny},
      {"VarToDateTime", [](Variant& v, TInterpreterArgs& a) { v = DateValue(DateArg(a, 0)); }, 1, {kAny}, kAny},
      {"VarArrayCreate", [](Variant& v, TInterpreterArgs& a) { v = VarArrayCreate(Arg(a, 0), Arg(a, 1)); }, 2,
       {kAny, kAny}, kAny},
      {"VarArrayOf",
       [](Variant& v, TInterpreterArgs& a) {
         std::vector<Variant> items = ElementsOf(Arg(a, 0));
         ChargeScriptMemory(static_cast<int64_t>(items.size()) * kValueBytes);
         v = Variant::Array(std::move(items));
       },
       1, {kAny}, kAny},
      {"VarArrayDimCount", [](Variant& v, TInterpreterArgs& a) { v = Variant::Integer(DimensionsOf(Arg(a, 0))); }, 1,
       {kAny}, kInt},
      {"VarArrayLowBound",
       [](Variant& v, TInterpreterArgs& a) { v = WholeValue(ArrayBound(Arg(a, 0), Int64Arg(a, 1), false)); }, 2,
       {kAny, kAny}, kInt},
      {"VarArrayHighBound",
       [](Variant& v, TInterpreterArgs& a) { v = WholeValue(ArrayBound(Arg(a, 0), Int64Arg(a, 1), true)); }, 2,
       {kAny, kAny}, kInt},
      {"VarIsArray", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Arg(a, 0).IsArray()); }, 1, {kAny},
       kBool},
      {"DecodeFormElem", text([](std::string_view s) { return DecodeFormElem(s); }), 1, {kAny}, kStr},
      {"EncodeFormElem",
       grown([](std::string_view s, const TInterpreterArgs&, const TTextSink& write) {
         ConvertAndEncodeFormElem(s, "", write);
       }),
       1, {kAny}, kStr},
      {"ConvertToEncoding",
       grown([](std::string_view s, const TInterpreterArgs& a, const TTextSink& write) {
         ConvertToEncoding(s, TextArg(a, 1), write);
       }),
       2, {kAny, kAny}, kStr},
      {"ConvertAndEncodeFormElem",
       grown([](std::string_view s, const TInterpreterArgs& a, const TTextSink& write) {
         ConvertAndEncodeFormElem(s, TextArg(a, 1), write);
       }),
       2, {kAny, kAny}, kStr},
      {"Translit",
       grown([](std::string_view s, const TInterpreterArgs&, const TTextSink& write) {
         InSlices(s, [&write](std::string_view slice) { write(TTranslit::Translit(slice)); });
       }),
       1, {kStr}, kStr},
      Constant("ppCountry", ppCountry),
      Constant("ppDef", ppDef),
      Constant("ppNumber", ppNumber),
      {"ExtractPhonePart",
       [](Variant& v, TInterpreterArgs& a) {
         v = CutText(a, [&a](std::string_view phone) { return ExtractPhonePart(phone, TextArg(a, 1), IntArg(a, 2)); });
       },
       3, {kAny, kAny, kAny}, kStr},

      Constant("OneHour", Variant::Double(1.0 / 24)),
      Constant("OneMinute", Variant::Double(1.0 / 1440)),
      Constant("OneSecond", Variant::Double(1.0 / 86400)),
      Constant("OneMillisecond", Variant::Double(1.0 / 86400000)),
      Constant("varEmpty", varEmpty),
      Constant("varSmallint", varSmallint),
      Constant("varInteger", varInteger),
      Constant("varSingle", varSingle),
      Constant("varCurrency", varCurrency),
      Constant("varDouble", varDouble),
      Constant("varDate", varDate),
      Constant("varOleStr", varOleStr),
      Constant("varDispatch", varDispatch),
      Constant("varError", varError),
      Constant("varBoolean", varBoolean),
      Constant("varVariant", varVariant),
      Constant("varUnknown", varUnknown),
      Constant("varByte", varByte),
      Constant("varStrArg", varStrArg),
      Constant("varString", varString),
      Constant("varAny", varAny),
      Constant("varTypeMask", varTypeMask),
      // The interpreter's own array kind, not the generic array flag.
      Constant("varArray", ArrayVarType()),
      Constant("varByRef", varByRef),
      Constant("varShortInt", varShortInt),
      Constant("varWord", varWord),
      Constant("varLongWord", varLongWord),
      Constant("varInt64", varInt64),
      Constant("mtUnknown", mtUnknown),
      Constant("mtImage", mtImage),
      Constant("mtAudio", mtAudio),
  };
}

}  // namespace

void RegisterScriptFunctions(TInterpreterAdapter& adapter) {
  for (const Entry& e : Entries()) {
    if (e.callback)
      adapter.AddFunction(kApiUnit, e.name, e.callback, e.paramCount, e.params, e.result);
    else
      adapter.AddConst(kApiUnit, e.name, e.constant);
  }
}
