// The conversion rules of the generic value, in one place.
//
//   to integer kinds   Empty -> 0; integers range-checked; Boolean -> -1/0
//                      (wrapping into the unsigned kinds, as OLE does);
//                      floats rounded half to even, then range-checked;
//                      strings read as an integer ("12", "$FF", "0xFF"), else
//                      as a float and rounded, else "true"/"false" -> -1/0.
//   to float kinds     Empty -> 0; numbers as they are (Single and Currency
//                      range-checked); Boolean -> -1/0; strings read as a
//                      float, else "true"/"false"; Date also reads date text.
//   to Boolean         Empty -> False; numbers non-zero; strings "true" or
//                      "false" in any case, else a number, non-zero is True.
//   to string          Empty -> ""; integers in decimal; Boolean "True" or
//                      "False"; floats as FloatToStr (15 digits, "."
//                      separator); currency as CurrToStr; dates as
//                      "dd.mm.yyyy h:nn:ss".
//   anything else      Null, errors, dispatch values, arrays and custom
//                      kinds convert only to their own kind, to Variant, to
//                      Empty or Null (custom kinds may add rules); otherwise
//                      EVariantTypeCastError. Out of range values raise
//                      EVariantOverflowError.
// "." is the decimal separator everywhere, whatever the process locale says.
#include "variant.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "cp1251.h"
#include "exceptions.h"

namespace {

struct CustomKind {
  std::string name;
  CustomCastFn castTo;
};

struct CustomRegistry {
  std::mutex lock;
  std::vector<CustomKind> kinds;
};

CustomRegistry& Customs() {
  static CustomRegistry registry;
  return registry;
}

bool LookupCustom(TVarType type, CustomKind& out) {
  CustomRegistry& r = Customs();
  std::lock_guard guard(r.lock);
  size_t index = type - varFirstCustom;
  if (type < varFirstCustom || index >= r.kinds.size()) return false;
  out = r.kinds[index];
  return true;
}

// The blocks the outermost release on this thread is freeing; nullptr while
// none runs.
using TReleaseList = std::vector<std::shared_ptr<const void>>;
thread_local TReleaseList* tlsReleasing = nullptr;

// Frees the blocks of `own`, and what freeing them hands on, one by one.
void WorkThrough(TReleaseList& own) noexcept {
  tlsReleasing = &own;
  while (!own.empty()) {
    std::shared_ptr<const void> last = std::move(own.back());
    own.pop_back();
    last.reset();  // what it held joins the list
  }
  tlsReleasing = nullptr;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsBoolWord(std::string_view s, bool& out) {
  s = Trim(s);
  if (cp1251::SameText(s, "true")) return out = true, true;
  if (cp1251::SameText(s, "false")) return out = false, true;
  return false;
}

bool IsIntegerType(TVarType t) {
  switch (t) {
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return true;
    default:
      return false;
  }
}

bool IsFloatType(TVarType t) { return t == varSingle || t == varDouble || t == varCurrency || t == varDate; }

// Range of each integer kind.
void IntegerRange(TVarType t, int64_t& lo, int64_t& hi) {
  switch (t) {
    case varSmallint: lo = INT16_MIN; hi = INT16_MAX; break;
    case varInteger: lo = INT32_MIN; hi = INT32_MAX; break;
    case varShortInt: lo = INT8_MIN; hi = INT8_MAX; break;
    case varByte: lo = 0; hi = UINT8_MAX; break;
    case varWord: lo = 0; hi = UINT16_MAX; break;
    case varLongWord: lo = 0; hi = UINT32_MAX; break;
    default: lo = INT64_MIN; hi = INT64_MAX; break;
  }
}

// The integer a value stands for in a given integer kind, with wrapping
// for Boolean and a range check for everything else.
int64_t FitInteger(int64_t v, TVarType from, TVarType to) {
  int64_t lo, hi;
  IntegerRange(to, lo, hi);
  if (from == varBoolean && v == -1 && lo == 0) return hi;  // True into unsigned kinds
  if (v < lo || v > hi) RaiseVariantOverflowError(from, to);
  return v;
}

int64_t RoundToInt64(double d, TVarType from, TVarType to) {
  double r = std::nearbyint(d);
  // 2^63 is exactly representable; anything at or past it does not fit.
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) RaiseVariantOverflowError(from, to);
  return static_cast<int64_t>(r);
}

}  // namespace

[[noreturn]] void RaiseVariantCastError(TVarType from, TVarType to) {
  throw EVariantTypeCastError("Could not convert variant of type (" + VarTypeAsText(from) + ") into type (" +
                              VarTypeAsText(to) + ")");
}

[[noreturn]] void RaiseVariantOverflowError(TVarType from, TVarType to) {
  throw EVariantOverflowError("Overflow while converting variant of type (" + VarTypeAsText(from) +
                              ") into type (" + VarTypeAsText(to) + ")");
}

std::string VarTypeAsText(TVarType type) {
  static const char* const kNames[] = {"Empty",   "Null",    "Smallint", "Integer",  "Single", "Double",
                                       "Currency", "Date",   "OleStr",   "Dispatch", "Error",  "Boolean",
                                       "Variant", "Unknown", "Decimal",  "$0F",      "ShortInt", "Byte",
                                       "Word",    "LongWord", "Int64"};
  TVarType base = type & varTypeMask;
  std::string name;
  CustomKind custom;
  if (base < std::size(kNames))
    name = kNames[base];
  else if (base == varString)
    name = "String";
  else if (base == varAny)
    name = "Any";
  else if (LookupCustom(base, custom))
    name = custom.name;
  else {
    char buf[8];
    std::snprintf(buf, sizeof buf, "$%04X", base);
    name = buf;
  }
  if (type & varArray) name = "Array " + name;
  if (type & varByRef) name = "ByRef " + name;
  return name;
}

TVarType RegisterCustomVariantType(std::string name, CustomCastFn castTo) {
  CustomRegistry& r = Customs();
  std::lock_guard guard(r.lock);
  r.kinds.push_back({std::move(name), std::move(castTo)});
  return static_cast<TVarType>(varFirstCustom + r.kinds.size() - 1);
}

bool TryStrToInt64(std::string_view text, int64_t& out) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (base == 16 && !negative) {
    // Hexadecimal may spell the full 64-bit pattern, as Delphi allows.
    out = static_cast<int64_t>(magnitude);
    return true;
  }
  if (negative) {
    if (magnitude > uint64_t(INT64_MAX) + 1) return false;
    out = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > uint64_t(INT64_MAX)) return false;
    out = static_cast<int64_t>(magnitude);
  }
  return true;
}

bool TryStrToFloat(std::string_view text, double& out) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Only digits, one point and an exponent: no "inf", "nan" or hex floats.
  if (s.empty() || !(cp1251::IsDigit(s.front()) || s.front() == '.')) return false;
  for (char c : s)
    if (!(cp1251::IsDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return false;
  // strtod under a fixed "C" locale tells overflow (HUGE_VAL) from underflow.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  std::string text0(s);
  char* end = nullptr;
  errno = 0;
  double v = strtod_l(text0.c_str(), &end, cLocale);
  if (end != text0.c_str() + text0.size()) return false;
  if (errno == ERANGE) {
    if (std::isinf(v)) return false;  // too large to hold
    // Underflow reads as the nearest value, zero or a denormal.
  }
  out = negative ? -v : v;
  return true;
}

std::string FloatToStr(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  std::string s(buf, end);
  size_t e = s.find('e');
  if (e == std::string::npos) return s;
  // "1.5e-07" -> "1.5E-7", "1e+20" -> "1E20"
  std::string mantissa = s.substr(0, e);
  std::string exponent = s.substr(e + 1);
  bool negative = exponent[0] == '-';
  exponent.erase(0, 1);
  exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
  return mantissa + "E" + (negative ? "-" : "") + exponent;
}

std::string CurrToStr(int64_t scaled) {
  bool negative = scaled < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string s = std::to_string(magnitude / 10000);
  uint64_t frac = magnitude % 10000;
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f = buf;
    f.erase(f.find_last_not_of('0') + 1);
    s += "." + f;
  }
  return negative ? "-" + s : s;
}

VariantArray::~VariantArray() { ReleaseValues(items); }

void ReleaseValues(std::vector<Variant>& values) noexcept {
  TReleaseList own;
  TReleaseList& pending = tlsReleasing ? *tlsReleasing : own;
  for (Variant& v : values) {
    // A string holds no values, and a block others share frees nothing yet.
    if (v.IsString() || !v.ref_ || v.ref_.use_count() != 1) continue;
    try {
      pending.push_back(std::move(v.ref_));
    } catch (...) {
      // No room to queue it: this block is freed where it stands.
    }
  }
  if (!tlsReleasing && !own.empty()) WorkThrough(own);
}

void ReleaseShared(std::shared_ptr<const void>&& block) noexcept {
  if (!block || block.use_count() != 1) {
    block.reset();
    return;
  }
  TReleaseList own;
  TReleaseList& pending = tlsReleasing ? *tlsReleasing : own;
  try {
    pending.push_back(std::move(block));
  } catch (...) {
    block.reset();
    return;
  }
  if (!tlsReleasing) WorkThrough(own);
}

Variant Variant::Null() {
  Variant v;
  v.type_ = varNull;
  return v;
}

Variant Variant::Float(TVarType t, double v) {
  Variant r;
  r.type_ = t;
  std::memcpy(&r.bits_, &v, sizeof v);
  return r;
}

Variant Variant::Shared(TVarType t, std::shared_ptr<void> ref, uint64_t bits) {
  Variant r;
  r.type_ = t;
  r.bits_ = static_cast<int64_t>(bits);
  r.ref_ = std::move(ref);
  return r;
}

Variant Variant::Currency(double v) {
  double scaled = std::nearbyint(v * 10000.0);
  if (!(scaled > -9223372036854775808.0 && scaled < 9223372036854775808.0))
    RaiseVariantOverflowError(varDouble, varCurrency);
  return CurrencyScaled(static_cast<int64_t>(scaled));
}

Variant Variant::String(std::string v) { return Shared(varString, std::make_shared<std::string>(std::move(v)), 0); }

Variant Variant::OleStr(std::string v) { return Shared(varOleStr, std::make_shared<std::string>(std::move(v)), 0); }

Variant Variant::Array(std::vector<Variant> items, int32_t low) {
  auto data = std::make_shared<VariantArray>();
  data->low = low;
  data->items = std::move(items);
  return Shared(varArray | varVariant, std::move(data), 0);
}

Variant Variant::Custom(TVarType type, uint64_t bits, std::shared_ptr<VariantPayload> payload) {
  return Shared(type, std::move(payload), bits);
}

bool Variant::IsOrdinal() const { return IsIntegerType(type_) || type_ == varBoolean; }
bool Variant::IsInteger() const { return IsIntegerType(type_); }
bool Variant::IsFloat() const { return IsFloatType(type_); }

const std::string& Variant::StringRef() const {
  if (!IsString()) RaiseVariantCastError(type_, varString);
  return *static_cast<const std::string*>(ref_.get());
}

const VariantArray& Variant::ArrayRef() const {
  if (type_ != (varArray | varVariant)) RaiseVariantCastError(type_, varArray | varVariant);
  return *static_cast<const VariantArray*>(ref_.get());
}

VariantArray& Variant::MutableArray() {
  ArrayRef();  // checks the kind
  if (ref_.use_count() > 1) ref_ = std::make_shared<VariantArray>(*static_cast<const VariantArray*>(ref_.get()));
  return *static_cast<VariantArray*>(ref_.get());
}

std::string& Variant::MutableString() {
  StringRef();  // checks the kind
  if (ref_.use_count() > 1) ref_ = std::make_shared<std::string>(*static_cast<const std::string*>(ref_.get()));
  return *static_cast<std::string*>(ref_.get());
}

// Dispatch, unknown and custom values keep a VariantPayload (or nothing) in ref_.
std::shared_ptr<VariantPayload> Variant::Payload() const {
  if (!(type_ == varDispatch || type_ == varUnknown || IsCustom())) return nullptr;
  return std::static_pointer_cast<VariantPayload>(ref_);
}

VariantPayload* Variant::PayloadPtr() const {
  if (!(type_ == varDispatch || type_ == varUnknown || IsCustom())) return nullptr;
  return static_cast<VariantPayload*>(ref_.get());
}

double Variant::FloatValue() const {
  double d;
  std::memcpy(&d, &bits_, sizeof d);
  return d;
}

std::string Variant::AsString() const {
  switch (type_) {
    case varEmpty: return std::string();
    case varString: case varOleStr: return StringRef();
    case varBoolean: return bits_ ? "True" : "False";
    case varLongWord: return std::to_string(static_cast<uint32_t>(bits_));
    case varSingle: case varDouble: return FloatToStr(FloatValue());
    case varCurrency: return CurrToStr(bits_);
    case varDate: return DateTimeToStr(FloatValue());
    default:
      if (IsIntegerType(type_)) return std::to_string(bits_);
      return ChangeType(varString).StringRef();
  }
}

int32_t Variant::AsInteger() const {
  if (type_ == varInteger) return static_cast<int32_t>(bits_);
  return static_cast<int32_t>(ChangeType(varInteger).bits_);
}

int64_t Variant::AsInt64() const {
  if (IsIntegerType(type_) || type_ == varBoolean) return bits_;
  return ChangeType(varInt64).bits_;
}

double Variant::AsDouble() const {
  switch (type_) {
    case varSingle: case varDouble: case varDate: return FloatValue();
    case varCurrency: return static_cast<double>(bits_) / 10000.0;
    default:
      if (IsIntegerType(type_) || type_ == varBoolean) return static_cast<double>(bits_);
      return ChangeType(varDouble).FloatValue();
  }
}

bool Variant::AsBoolean() const {
  if (type_ == varBoolean) return bits_ != 0;
  return ChangeType(varBoolean).bits_ != 0;
}

int64_t Variant::AsCurrencyScaled() const { return ChangeType(varCurrency).bits_; }

TDateTime Variant::AsDate() const { return ChangeType(varDate).FloatValue(); }

Variant Variant::ChangeType(TVarType target) const {
  if (target == type_ || target == varVariant) return *this;
  if (target == varEmpty) return Variant();
  if (target == varNull) return Null();

  if (IsCustom()) {
    if (target >= varFirstCustom && !(target & (varArray | varByRef))) {
      Variant r = *this;
      r.type_ = target;
      return r;
    }
    CustomKind kind;
    if (LookupCustom(type_, kind) && kind.castTo) return kind.castTo(*this, target);
    RaiseVariantCastError(type_, target);
  }
  // Only the simple kinds convert into one another.
  bool simpleSource = type_ == varEmpty || IsIntegerType(type_) || IsFloatType(type_) || type_ == varBoolean ||
                      IsString();
  if (!simpleSource) RaiseVariantCastError(type_, target);

  if (IsIntegerType(target)) {
    int64_t v = 0;
    if (type_ == varEmpty) {
      v = 0;
    } else if (IsIntegerType(type_) || type_ == varBoolean) {
      v = bits_;
    } else if (IsFloatType(type_)) {
      v = RoundToInt64(AsDouble(), type_, target);
    } else {
      double d;
      bool b;
      if (TryStrToInt64(StringRef(), v)) {
      } else if (TryStrToFloat(StringRef(), d)) {
        v = RoundToInt64(d, type_, target);
      } else if (IsBoolWord(StringRef(), b)) {
        v = b ? -1 : 0;
        return Scalar(target, FitInteger(v, varBoolean, target));
      } else {
        RaiseVariantCastError(type_, target);
      }
    }
    return Scalar(target, FitInteger(v, type_, target));
  }

  if (IsFloatType(target)) {
    double d = 0;
    if (type_ == varEmpty) {
      d = 0;
    } else if (IsString()) {
      bool b;
      TDateTime dt;
      if (TryStrToFloat(StringRef(), d)) {
      } else if (target == varDate && TryStrToDateTime(StringRef(), dt)) {
        d = dt;
      } else if (IsBoolWord(StringRef(), b)) {
        d = b ? -1 : 0;
      } else {
        RaiseVariantCastError(type_, target);
      }
    } else if (type_ == varCurrency && target != varCurrency) {
      d = static_cast<double>(bits_) / 10000.0;
    } else {
      d = AsDouble();
    }
    if (target == varCurrency) {
      if (IsIntegerType(type_) || type_ == varBoolean) {
        if (bits_ > INT64_MAX / 10000 || bits_ < INT64_MIN / 10000) RaiseVariantOverflowError(type_, target);
        return CurrencyScaled(bits_ * 10000);
      }
      double scaled = std::nearbyint(d * 10000.0);
      if (!(scaled > -9223372036854775808.0 && scaled < 9223372036854775808.0))
        RaiseVariantOverflowError(type_, target);
      return CurrencyScaled(static_cast<int64_t>(scaled));
    }
    if (target == varSingle) {
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) RaiseVariantOverflowError(type_, target);
      return Single(static_cast<float>(d));
    }
    return Float(target, d);
  }

  if (target == varBoolean) {
    if (type_ == varEmpty) return Boolean(false);
    if (IsString()) {
      bool b;
      double d;
      if (IsBoolWord(StringRef(), b)) return Boolean(b);
      if (TryStrToFloat(StringRef(), d)) return Boolean(d != 0);
      int64_t i;
      if (TryStrToInt64(StringRef(), i)) return Boolean(i != 0);
      RaiseVariantCastError(type_, target);
    }
    if (IsIntegerType(type_)) return Boolean(bits_ != 0);
    return Boolean(AsDouble() != 0);
  }

  if (target == varString || target == varOleStr) {
    Variant r = String(AsString());
    r.type_ = target;
    return r;
  }

  RaiseVariantCastError(type_, target);
}

std::string VarToStr(const Variant& v) { return v.IsNull() ? std::string() : v.AsString(); }
