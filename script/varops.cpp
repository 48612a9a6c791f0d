// The generic value operations, by these rules (Delphi/OLE variants):
//
//   Null            any binary operator, `not` and unary minus with a Null
//                   operand give Null; Null equals only Null and is less
//                   than any other value.
//   Empty           counts as "" next to a string and as Integer 0 elsewhere
//                   (Empty = Empty; Empty = "" and Empty = 0 both hold).
//   Boolean         True is -1 and False 0 wherever a number is needed, so
//                   True < False; `and`, `or`, `xor`, `not` are logical when
//                   both operands are Boolean or one is a Boolean and the
//                   other a string, and bitwise on integers otherwise.
//   strings         `+` on two strings (or a string and Empty) concatenates;
//                   comparing two strings is by byte, case-sensitive; a string
//                   meeting a number reads as a Double ("." separator,
//                   "true"/"false" as -1/0), else EVariantTypeCastError.
//   numbers         the result kind is the wider of the operands: integers <
//                   Currency < Double; Single reads as Double; Date +/- number
//                   stays a Date, Date - Date is a Double. Integer results are
//                   Integer when they fit 32 bits and neither operand is an
//                   Int64, else Int64; an Int64 overflow raises
//                   EVariantOverflowError.
//   `/`             always Double; x / 0 raises EZeroDivide, 0 / 0 EInvalidOp.
//   div, mod        on integers (floats rounded half to even); a zero divisor
//                   raises EDivByZero; the remainder takes the dividend's sign.
//   shl, shr        on integers; on 32-bit results the count is taken mod 32
//                   and shr shifts the unsigned bit pattern (mod 64 for Int64).
//   other kinds     arrays, dispatch values and custom kinds take part in no
//                   operation here: EVariantTypeCastError.
#include "varops.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

enum class NumClass { Int, Currency, Double, Date };

// An operand brought to a number.
struct Num {
  NumClass cls = NumClass::Int;
  int64_t i = 0;   // Int: the value; Currency: scaled by 10000
  double d = 0;    // Double and Date
  bool wide = false;  // an Int64 took part
};

bool IsSimple(const Variant& v) {
  return v.IsEmpty() || v.IsNumeric() || v.VarType() == varBoolean || v.IsString();
}

void RequireSimple(const Variant& v, TVarType wanted) {
  if (!IsSimple(v)) RaiseVariantCastError(v.VarType(), wanted);
}

// A string meeting a number reads as a Double, as the variant conversion
// reads it ("true"/"false" included).
Num FromString(const Variant& v) {
  Num n;
  n.cls = NumClass::Double;
  n.d = v.AsDouble();
  return n;
}

Num ToNum(const Variant& v) {
  RequireSimple(v, varDouble);
  Num n;
  switch (v.VarType()) {
    case varEmpty: return n;
    case varBoolean: n.i = v.AsBoolean() ? -1 : 0; return n;
    case varCurrency: n.cls = NumClass::Currency; n.i = v.AsCurrencyScaled(); return n;
    case varDate: n.cls = NumClass::Date; n.d = v.AsDouble(); return n;
    case varSingle: case varDouble: n.cls = NumClass::Double; n.d = v.AsDouble(); return n;
    case varInt64: case varLongWord: n.i = v.AsInt64(); n.wide = v.VarType() == varInt64; return n;
    default: break;
  }
  if (v.IsString()) return FromString(v);
  n.i = v.AsInt64();
  return n;
}

double AsDouble(const Num& n) {
  switch (n.cls) {
    case NumClass::Int: return static_cast<double>(n.i);
    case NumClass::Currency: return static_cast<double>(n.i) / 10000.0;
    default: return n.d;
  }
}

[[noreturn]] void Overflow(TVarType t) { RaiseVariantOverflowError(t, t); }

Variant IntResult(int64_t v, bool wide) {
  if (!wide && v >= INT32_MIN && v <= INT32_MAX) return Variant::Integer(static_cast<int32_t>(v));
  return Variant::Int64(v);
}

Variant DoubleResult(double d, NumClass cls) {
  if (std::isinf(d)) Overflow(varDouble);
  return cls == NumClass::Date ? Variant::Date(d) : Variant::Double(d);
}

// Integers of both operands for div, mod, shifts and bitwise operators.
int64_t ToInteger(const Num& n) {
  if (n.cls == NumClass::Int) return n.i;
  double r = std::nearbyint(AsDouble(n));
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) Overflow(varInt64);
  return static_cast<int64_t>(r);
}

Variant IntArithmetic(int64_t a, VarOp op, int64_t b, bool wide) {
  int64_t r = 0;
  bool overflow = false;
  switch (op) {
    case VarOp::Add: overflow = __builtin_add_overflow(a, b, &r); break;
    case VarOp::Sub: overflow = __builtin_sub_overflow(a, b, &r); break;
    case VarOp::Mul: overflow = __builtin_mul_overflow(a, b, &r); break;
    default: break;
  }
  if (overflow) Overflow(varInt64);
  return IntResult(r, wide);
}

Variant CurrencyArithmetic(int64_t a, VarOp op, int64_t b) {
  int64_t r = 0;
  bool overflow = false;
  switch (op) {
    case VarOp::Add: overflow = __builtin_add_overflow(a, b, &r); break;
    case VarOp::Sub: overflow = __builtin_sub_overflow(a, b, &r); break;
    default: {
      long double p = std::nearbyintl(static_cast<long double>(a) * b / 10000.0L);
      overflow = !(p >= -9223372036854775808.0L && p < 9223372036854775808.0L);
      if (!overflow) r = static_cast<int64_t>(p);
    }
  }
  if (overflow) Overflow(varCurrency);
  return Variant::CurrencyScaled(r);
}

Variant Arithmetic(const Num& a, VarOp op, const Num& b) {
  if (a.cls == NumClass::Int && b.cls == NumClass::Int) return IntArithmetic(a.i, op, b.i, a.wide || b.wide);
  bool anyDouble = a.cls == NumClass::Double || b.cls == NumClass::Double;
  bool anyDate = a.cls == NumClass::Date || b.cls == NumClass::Date;
  if (!anyDouble && !anyDate) {
    Num ca = a, cb = b;  // integers join currency
    if (ca.cls == NumClass::Int) ca.i = Variant::Int64(ca.i).AsCurrencyScaled();
    if (cb.cls == NumClass::Int) cb.i = Variant::Int64(cb.i).AsCurrencyScaled();
    return CurrencyArithmetic(ca.i, op, cb.i);
  }
  double x = AsDouble(a), y = AsDouble(b);
  NumClass cls = NumClass::Double;
  if (anyDate && op != VarOp::Mul && !(op == VarOp::Sub && a.cls == NumClass::Date && b.cls == NumClass::Date))
    cls = NumClass::Date;
  double r = op == VarOp::Add ? x + y : op == VarOp::Sub ? x - y : x * y;
  return DoubleResult(r, cls);
}

Variant Divide(const Num& a, const Num& b) {
  double x = AsDouble(a), y = AsDouble(b);
  if (y == 0) {
    if (x == 0 || std::isnan(x)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return DoubleResult(x / y, NumClass::Double);
}

Variant IntegerOp(const Num& a, VarOp op, const Num& b) {
  int64_t x = ToInteger(a), y = ToInteger(b);
  bool wide = a.wide || b.wide || x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX;
  switch (op) {
    case VarOp::IntDiv:
    case VarOp::Mod:
      if (y == 0) throw EDivByZero();
      if (x == INT64_MIN && y == -1) {
        if (op == VarOp::Mod) return IntResult(0, wide);
        Overflow(varInt64);
      }
      return IntResult(op == VarOp::IntDiv ? x / y : x % y, wide);
    case VarOp::Shl:
      if (wide) return Variant::Int64(static_cast<int64_t>(static_cast<uint64_t>(x) << (y & 63)));
      return Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(x) << (y & 31)));
    case VarOp::Shr:
      if (wide) return Variant::Int64(static_cast<int64_t>(static_cast<uint64_t>(x) >> (y & 63)));
      return Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(x) >> (y & 31)));
    case VarOp::And: return IntResult(x & y, wide);
    case VarOp::Or: return IntResult(x | y, wide);
    default: return IntResult(x ^ y, wide);
  }
}

bool IsLogicalPair(const Variant& a, const Variant& b) {
  bool boolA = a.VarType() == varBoolean, boolB = b.VarType() == varBoolean;
  return (boolA && (boolB || b.IsString())) || (boolB && a.IsString());
}

Variant Logical(const Variant& a, VarOp op, const Variant& b) {
  bool x = a.AsBoolean(), y = b.AsBoolean();
  switch (op) {
    case VarOp::And: return Variant::Boolean(x && y);
    case VarOp::Or: return Variant::Boolean(x || y);
    default: return Variant::Boolean(x != y);
  }
}

bool IsStringLike(const Variant& v) { return v.IsString() || v.IsEmpty(); }

template <class T>
VarRelation Order(const T& a, const T& b) {
  return a < b ? VarRelation::Less : b < a ? VarRelation::Greater : VarRelation::Equal;
}

}  // namespace

Variant VarBinaryOp(const Variant& left, VarOp op, const Variant& right) {
  if (left.IsNull() || right.IsNull()) {
    if (!left.IsNull()) RequireSimple(left, varDouble);
    if (!right.IsNull()) RequireSimple(right, varDouble);
    return Variant::Null();
  }
  RequireSimple(left, varDouble);
  RequireSimple(right, varDouble);
  if (op == VarOp::Add && IsStringLike(left) && IsStringLike(right) && (left.IsString() || right.IsString()))
    return Variant::String(left.AsString() + right.AsString());
  if ((op == VarOp::And || op == VarOp::Or || op == VarOp::Xor) && IsLogicalPair(left, right))
    return Logical(left, op, right);
  Num a = ToNum(left), b = ToNum(right);
  switch (op) {
    case VarOp::Add: case VarOp::Sub: case VarOp::Mul: return Arithmetic(a, op, b);
    case VarOp::Divide: return Divide(a, b);
    default: return IntegerOp(a, op, b);
  }
}

Variant VarNegate(const Variant& value) {
  if (value.IsNull()) return Variant::Null();
  Num n = ToNum(value);
  switch (n.cls) {
    case NumClass::Int:
      if (n.i == INT64_MIN) Overflow(varInt64);
      return IntResult(-n.i, n.wide);
    case NumClass::Currency:
      if (n.i == INT64_MIN) Overflow(varCurrency);
      return Variant::CurrencyScaled(-n.i);
    default: return DoubleResult(-n.d, n.cls);
  }
}

Variant VarNot(const Variant& value) {
  if (value.IsNull()) return Variant::Null();
  RequireSimple(value, varBoolean);
  if (value.VarType() == varBoolean) return Variant::Boolean(!value.AsBoolean());
  if (value.IsString()) {
    int64_t i;
    double d;
    if (!TryStrToInt64(value.StringRef(), i) && !TryStrToFloat(value.StringRef(), d))
      return Variant::Boolean(!value.AsBoolean());
  }
  Num n = ToNum(value);
  return IntResult(~ToInteger(n), n.wide);
}

VarRelation VarCompare(const Variant& left, const Variant& right) {
  if (left.IsNull() || right.IsNull()) {
    if (left.IsNull() && right.IsNull()) return VarRelation::Equal;
    return left.IsNull() ? VarRelation::Less : VarRelation::Greater;
  }
  RequireSimple(left, varDouble);
  RequireSimple(right, varDouble);
  if (IsStringLike(left) && IsStringLike(right)) return Order(left.AsString(), right.AsString());
  bool boolL = left.VarType() == varBoolean, boolR = right.VarType() == varBoolean;
  if ((boolL && (boolR || right.IsString())) || (boolR && left.IsString())) {
    auto asInt = [](const Variant& v) { return v.AsBoolean() ? -1 : 0; };
    return Order(asInt(left), asInt(right));
  }
  Num a = ToNum(left), b = ToNum(right);
  if (a.cls == NumClass::Int && b.cls == NumClass::Int) return Order(a.i, b.i);
  if (a.cls == NumClass::Currency && b.cls == NumClass::Currency) return Order(a.i, b.i);
  return Order(AsDouble(a), AsDouble(b));
}

Variant VarCompareOp(const Variant& left, VarCmp op, const Variant& right) {
  VarRelation r = VarCompare(left, right);
  switch (op) {
    case VarCmp::Equal: return Variant::Boolean(r == VarRelation::Equal);
    case VarCmp::NotEqual: return Variant::Boolean(r != VarRelation::Equal);
    case VarCmp::Less: return Variant::Boolean(r == VarRelation::Less);
    case VarCmp::Greater: return Variant::Boolean(r == VarRelation::Greater);
    case VarCmp::LessEqual: return Variant::Boolean(r == VarRelation::Less || r == VarRelation::Equal);
    default: return Variant::Boolean(r == VarRelation::Greater || r == VarRelation::Equal);
  }
}
