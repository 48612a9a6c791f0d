// The generic value the whole system carries: property lists, option
// defaults, gate parameters and every script value. Its kinds and codes are
// those of OLE Automation variants; conversions follow the Delphi variant
// rules the program was designed around (see variant.cpp for the table).
//
// A Variant is built only through its factory functions, so its kind tag and
// its storage always agree. Strings and arrays have value semantics (shared
// until written); payloads of dispatch values and custom kinds are shared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datetime.h"

using TVarType = uint16_t;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varDispatch = 0x0009;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varUnknown = 0x000D;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varStrArg = 0x0048;
constexpr TVarType varString = 0x0100;
constexpr TVarType varAny = 0x0101;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;
constexpr TVarType varByRef = 0x4000;
// The first code handed out to a custom kind.
constexpr TVarType varFirstCustom = 0x010F;

// The shared payload behind a dispatch (automation) value or a custom kind.
class VariantPayload {
 public:
  virtual ~VariantPayload() = default;
};

class Variant;

// A one-dimensional array of generic values with its low bound.
struct VariantArray {
  VariantArray() = default;
  VariantArray(const VariantArray&) = default;
  VariantArray& operator=(const VariantArray&) = delete;
  ~VariantArray();  // frees its items through ReleaseValues

  int32_t low = 0;
  std::vector<Variant> items;
  int32_t High() const;  // defined below, where Variant is complete
};

// For the destructors of whatever holds values that may hold arrays or
// payloads in turn (arrays of arrays, script records and arrays): a value
// holding the last share of such a block hands it to a list the outermost
// release on this thread works through, so values nested as deep as memory
// allows are freed without one native frame per level. The values are left
// without their blocks, fit only to be destroyed.
void ReleaseValues(std::vector<Variant>& values) noexcept;
// The same for one shared block a destructor lets go of (a type that holds
// the type of its elements, say); `block` is left empty.
void ReleaseShared(std::shared_ptr<const void>&& block) noexcept;

class Variant {
 public:
  Variant() noexcept : type_(varEmpty), bits_(0) {}

  static Variant Null();
  static Variant Smallint(int16_t v) { return Scalar(varSmallint, v); }
  static Variant Integer(int32_t v) { return Scalar(varInteger, v); }
  static Variant ShortInt(int8_t v) { return Scalar(varShortInt, v); }
  static Variant Byte(uint8_t v) { return Scalar(varByte, v); }
  static Variant Word(uint16_t v) { return Scalar(varWord, v); }
  static Variant LongWord(uint32_t v) { return Scalar(varLongWord, v); }
  static Variant Int64(int64_t v) { return Scalar(varInt64, v); }
  static Variant Single(float v) { return Float(varSingle, v); }
  static Variant Double(double v) { return Float(varDouble, v); }
  static Variant Date(TDateTime v) { return Float(varDate, v); }
  // A currency value from its scaled form (units of 1/10000).
  static Variant CurrencyScaled(int64_t scaled) { return Scalar(varCurrency, scaled); }
  // A currency value from a number, rounded to four decimals (ties to even);
  // EVariantOverflowError when it does not fit.
  static Variant Currency(double v);
  static Variant Boolean(bool v) { return Scalar(varBoolean, v ? -1 : 0); }
  // An error code (SCODE); scripts see it as a missing optional argument.
  static Variant Error(int32_t scode) { return Scalar(varError, scode); }
  static Variant String(std::string v);
  static Variant OleStr(std::string v);
  // A one-dimensional array of generic values (kind varArray | varVariant).
  static Variant Array(std::vector<Variant> items, int32_t low = 0);
  static Variant Dispatch(std::shared_ptr<VariantPayload> obj) { return Shared(varDispatch, std::move(obj), 0); }
  static Variant Unknown(std::shared_ptr<VariantPayload> obj) { return Shared(varUnknown, std::move(obj), 0); }
  // A value of a custom kind (code from RegisterCustomVariantType) carrying
  // plain bits, a shared payload, or both.
  static Variant Custom(TVarType type, uint64_t bits, std::shared_ptr<VariantPayload> payload = nullptr);

  TVarType VarType() const { return type_; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNull() const { return type_ == varNull; }
  bool IsEmptyOrNull() const { return type_ <= varNull; }
  bool IsArray() const { return type_ & varArray; }
  bool IsString() const { return type_ == varString || type_ == varOleStr; }
  bool IsOrdinal() const;   // the integer kinds and Boolean
  bool IsInteger() const;   // the integer kinds without Boolean
  bool IsFloat() const;     // Single, Double, Currency, Date
  bool IsNumeric() const { return IsInteger() || IsFloat(); }
  bool IsCustom() const { return type_ >= varFirstCustom && !(type_ & (varArray | varByRef)); }

  // Raw access for code that has checked the kind first.
  const std::string& StringRef() const;            // varString, varOleStr
  const VariantArray& ArrayRef() const;            // varArray | varVariant
  VariantArray& MutableArray();                    // unshared before it is returned
  std::string& MutableString();                    // varString, varOleStr; unshared likewise
  uint64_t Bits() const { return static_cast<uint64_t>(bits_); }
  // The shared payload of a dispatch, unknown or custom value; nullptr for
  // any other kind.
  std::shared_ptr<VariantPayload> Payload() const;
  VariantPayload* PayloadPtr() const;

  // Conversions by the Delphi variant rules. Empty reads as "", 0, 0.0,
  // False; an impossible conversion raises EVariantTypeCastError, a value out
  // of range EVariantOverflowError.
  std::string AsString() const;
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  bool AsBoolean() const;
  int64_t AsCurrencyScaled() const;
  TDateTime AsDate() const;

  // The value converted to another kind (VarAsType). varEmpty, varNull and
  // varVariant are allowed targets.
  Variant ChangeType(TVarType target) const;

  // Replace the value by Empty.
  void Clear() { *this = Variant(); }

 private:
  static Variant Scalar(TVarType t, int64_t v) {
    Variant r;
    r.type_ = t;
    r.bits_ = v;
    return r;
  }
  static Variant Float(TVarType t, double v);
  static Variant Shared(TVarType t, std::shared_ptr<void> ref, uint64_t bits);

  double FloatValue() const;

  friend void ReleaseValues(std::vector<Variant>& values) noexcept;

  TVarType type_;
  int64_t bits_;               // integers, Boolean (-1/0), currency, float bits, custom bits
  std::shared_ptr<void> ref_;  // std::string, VariantArray or VariantPayload, by type_
};

// Counted in 64 bits: an array of one element at the top of the range has
// its high bound there too.
inline int32_t VariantArray::High() const {
  return static_cast<int32_t>(static_cast<int64_t>(low) + static_cast<int64_t>(items.size()) - 1);
}

// Text of a value for display: like AsString, but Null reads as "".
std::string VarToStr(const Variant& v);

// The name of a kind as conversion errors print it ("Integer", "String",
// "Array Variant", a custom kind's registered name).
std::string VarTypeAsText(TVarType type);

// Rules a custom kind may supply for conversions out of it (to a kind that is
// not custom). Without one such a conversion raises EVariantTypeCastError;
// conversions between custom kinds copy the payload and take the new code.
using CustomCastFn = std::function<Variant(const Variant& source, TVarType target)>;

// Hands out the next custom kind code (0x010F upward). Safe from any thread.
TVarType RegisterCustomVariantType(std::string name, CustomCastFn castTo = nullptr);

// The Delphi conversion errors, ready to throw.
[[noreturn]] void RaiseVariantCastError(TVarType from, TVarType to);
[[noreturn]] void RaiseVariantOverflowError(TVarType from, TVarType to);

// Number parsing shared by the conversions: leading and trailing blanks
// allowed, "." is the decimal separator; integers may be written "$1F" or
// "0x1F". False when the text is not a number.
bool TryStrToInt64(std::string_view text, int64_t& out);
bool TryStrToFloat(std::string_view text, double& out);
// Delphi FloatToStr: 15 significant digits, "." separator, "1E20" forms.
std::string FloatToStr(double v);
// Delphi CurrToStr: up to four decimals, trailing zeros dropped.
std::string CurrToStr(int64_t scaled);
