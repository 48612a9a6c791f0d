// The generic value operations scripts evaluate with: arithmetic, bitwise and
// logical operators, negation and comparison across every kind, by the
// Delphi/OLE variant rules written down in varops.cpp.
#pragma once

#include "exceptions.h"
#include "variant.h"

// Integer division or remainder by zero.
class EDivByZero : public Exception {
  PX_CLASS(EDivByZero, Exception)
 public:
  EDivByZero() : Exception("Division by zero") {}
};

// Floating-point division of a non-zero value by zero.
class EZeroDivide : public Exception {
  PX_CLASS(EZeroDivide, Exception)
 public:
  EZeroDivide() : Exception("Floating point division by zero") {}
};

// Floating-point 0 / 0.
class EInvalidOp : public Exception {
  PX_CLASS(EInvalidOp, Exception)
 public:
  EInvalidOp() : Exception("Invalid floating point operation") {}
};

// The binary operators, named as scripts write them.
enum class VarOp { Add, Sub, Mul, Divide, IntDiv, Mod, Shl, Shr, And, Or, Xor };

// L op R. Raises EVariantTypeCastError for operands that do not convert,
// EVariantOverflowError when a result does not fit, EDivByZero, EZeroDivide
// or EInvalidOp for a division by zero.
Variant VarBinaryOp(const Variant& left, VarOp op, const Variant& right);

// Unary minus and `not`.
Variant VarNegate(const Variant& value);
Variant VarNot(const Variant& value);

// Outcome of a comparison.
enum class VarRelation { Less, Equal, Greater };

// Compares two values; raises EVariantTypeCastError when they cannot be
// brought to a common kind.
VarRelation VarCompare(const Variant& left, const Variant& right);

// The comparison operators as scripts see them; each yields a Boolean value.
enum class VarCmp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };
Variant VarCompareOp(const Variant& left, VarCmp op, const Variant& right);
