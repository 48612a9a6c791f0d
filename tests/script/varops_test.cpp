// The generic value operations as one rule table: each row gives operands,
// operator and the kind and text of the result, or the failure expected.
#include <gtest/gtest.h>

#include <string>

#include "exceptions.h"
#include "values.h"
#include "varops.h"

namespace {

std::string Show(const Variant& v) { return VarTypeAsText(v.VarType()) + ":" + VarToStr(v); }

// The outcome of a row: the shown result or the class name of the failure.
template <class F>
std::string Outcome(F op) {
  try {
    return Show(op());
  } catch (const Exception& e) {
    return e.ClassName();
  }
}

Variant I(int32_t v) { return Variant::Integer(v); }
Variant D(double v) { return Variant::Double(v); }
Variant S(const char* v) { return Variant::String(v); }
Variant B(bool v) { return Variant::Boolean(v); }
const Variant kEmpty;
const Variant kNull = Variant::Null();

struct BinaryRow {
  Variant left;
  VarOp op;
  Variant right;
  const char* expected;
};

TEST(VariantRules, BinaryOperators) {
  const BinaryRow rows[] = {
      // integers stay Integer while they fit, then widen
      {I(2), VarOp::Add, I(3), "Integer:5"},
      {I(2147483647), VarOp::Add, I(1), "Int64:2147483648"},
      {Variant::Smallint(30000), VarOp::Add, Variant::Smallint(30000), "Integer:60000"},
      {Variant::Byte(200), VarOp::Mul, Variant::Byte(2), "Integer:400"},
      {Variant::Int64(1), VarOp::Add, I(1), "Int64:2"},
      {Variant::Int64(INT64_MAX), VarOp::Add, I(1), "EVariantOverflowError"},
      {I(7), VarOp::Sub, I(10), "Integer:-3"},
      // floats, currency and dates
      {I(1), VarOp::Add, D(0.5), "Double:1.5"},
      {Variant::Single(1.5f), VarOp::Add, I(1), "Double:2.5"},
      {Variant::Currency(1.25), VarOp::Add, I(1), "Currency:2.25"},
      {Variant::Currency(1.5), VarOp::Mul, Variant::Currency(1.5), "Currency:2.25"},
      {Variant::Currency(1.5), VarOp::Add, D(1), "Double:2.5"},
      {Variant::Date(45000), VarOp::Add, I(1), "Date:16.03.2023"},
      {Variant::Date(45001), VarOp::Sub, Variant::Date(45000), "Double:1"},
      {D(1e308), VarOp::Mul, D(10), "EVariantOverflowError"},
      // division
      {I(7), VarOp::Divide, I(2), "Double:3.5"},
      {I(6), VarOp::Divide, I(3), "Double:2"},
      {I(1), VarOp::Divide, I(0), "EZeroDivide"},
      {D(0), VarOp::Divide, D(0), "EInvalidOp"},
      {I(7), VarOp::IntDiv, I(2), "Integer:3"},
      {I(-7), VarOp::IntDiv, I(2), "Integer:-3"},
      {I(-7), VarOp::Mod, I(2), "Integer:-1"},
      {I(7), VarOp::Mod, I(-2), "Integer:1"},
      {D(7.5), VarOp::IntDiv, I(2), "Integer:4"},  // 7.5 rounds half to even: 8 div 2
      {I(1), VarOp::IntDiv, I(0), "EDivByZero"},
      {I(1), VarOp::Mod, I(0), "EDivByZero"},
      {Variant::Int64(INT64_MIN), VarOp::IntDiv, I(-1), "EVariantOverflowError"},
      // shifts
      {I(1), VarOp::Shl, I(4), "Integer:16"},
      {I(1), VarOp::Shl, I(33), "Integer:2"},
      {I(-1), VarOp::Shr, I(1), "Integer:2147483647"},
      {I(1), VarOp::Shl, I(31), "Integer:-2147483648"},
      {Variant::Int64(1), VarOp::Shl, I(40), "Int64:1099511627776"},
      // logical on Booleans, bitwise on integers
      {B(true), VarOp::And, B(false), "Boolean:False"},
      {B(true), VarOp::Or, B(false), "Boolean:True"},
      {B(true), VarOp::Xor, B(true), "Boolean:False"},
      {B(true), VarOp::And, S("true"), "Boolean:True"},
      {I(12), VarOp::And, I(10), "Integer:8"},
      {I(12), VarOp::Or, I(3), "Integer:15"},
      {I(12), VarOp::Xor, I(10), "Integer:6"},
      {B(true), VarOp::And, I(6), "Integer:6"},  // True is -1
      // Boolean as a number
      {B(true), VarOp::Add, I(1), "Integer:0"},
      {B(true), VarOp::Add, B(true), "Integer:-2"},
      // strings
      {S("ab"), VarOp::Add, S("cd"), "String:abcd"},
      {S("ab"), VarOp::Add, kEmpty, "String:ab"},
      {S("12"), VarOp::Add, I(1), "Double:13"},
      {S("1.5"), VarOp::Add, I(1), "Double:2.5"},
      {S("$10"), VarOp::Mul, I(2), "EVariantTypeCastError"},
      {S("true"), VarOp::Sub, I(1), "Double:-2"},
      {S("12"), VarOp::Sub, S("2"), "Double:10"},
      {S("12"), VarOp::IntDiv, I(5), "Integer:2"},
      {S("ab"), VarOp::Add, I(1), "EVariantTypeCastError"},
      {S("1,5"), VarOp::Add, I(1), "EVariantTypeCastError"},
      // Empty and Null
      {kEmpty, VarOp::Add, I(5), "Integer:5"},
      {kEmpty, VarOp::Add, kEmpty, "Integer:0"},
      {kNull, VarOp::Add, I(5), "Null:"},
      {I(5), VarOp::Mul, kNull, "Null:"},
      {kNull, VarOp::And, B(true), "Null:"},
      {kNull, VarOp::Add, SetToValue(1), "EVariantTypeCastError"},
      // kinds that take part in no operation
      {Variant::Array({I(1)}), VarOp::Add, I(1), "EVariantTypeCastError"},
      {ObjectToValue(nullptr), VarOp::Add, I(1), "EVariantTypeCastError"},
  };
  for (const BinaryRow& row : rows)
    EXPECT_EQ(Outcome([&] { return VarBinaryOp(row.left, row.op, row.right); }), row.expected)
        << Show(row.left) << " op " << static_cast<int>(row.op) << " " << Show(row.right);
}

struct UnaryRow {
  Variant value;
  bool negate;  // else `not`
  const char* expected;
};

TEST(VariantRules, UnaryOperators) {
  const UnaryRow rows[] = {
      {I(5), true, "Integer:-5"},
      {I(INT32_MIN), true, "Int64:2147483648"},
      {Variant::Int64(INT64_MIN), true, "EVariantOverflowError"},
      {D(1.5), true, "Double:-1.5"},
      {Variant::Currency(2), true, "Currency:-2"},
      {S("3"), true, "Double:-3"},
      {B(true), true, "Integer:1"},
      {kEmpty, true, "Integer:0"},
      {kNull, true, "Null:"},
      {B(true), false, "Boolean:False"},
      {B(false), false, "Boolean:True"},
      {I(0), false, "Integer:-1"},
      {I(5), false, "Integer:-6"},
      {S("false"), false, "Boolean:True"},
      {S("5"), false, "Integer:-6"},
      {S("x"), false, "EVariantTypeCastError"},
      {kNull, false, "Null:"},
      {kEmpty, false, "Integer:-1"},
  };
  for (const UnaryRow& row : rows)
    EXPECT_EQ(Outcome([&] { return row.negate ? VarNegate(row.value) : VarNot(row.value); }), row.expected)
        << Show(row.value) << (row.negate ? " negated" : " not");
}

struct CompareRow {
  Variant left;
  Variant right;
  const char* expected;  // "<", "=", ">" or a failure
};

TEST(VariantRules, Comparison) {
  const CompareRow rows[] = {
      {I(1), I(2), "<"},
      {I(2), D(2.0), "="},
      {D(2.5), I(2), ">"},
      {Variant::Int64(INT64_MAX), Variant::Int64(INT64_MAX - 1), ">"},
      {Variant::Currency(1.5), Variant::Currency(1.25), ">"},
      {S("abc"), S("abd"), "<"},
      {S("abc"), S("ABC"), ">"},  // case counts
      {S("10"), I(9), ">"},       // a string meeting a number reads as one
      {S("10"), S("9"), "<"},     // two strings compare as text
      {S("x"), I(1), "EVariantTypeCastError"},
      {B(true), B(false), "<"},   // True is -1
      {B(true), I(-1), "="},
      {B(false), I(0), "="},
      {B(true), S("TRUE"), "="},
      {kEmpty, kEmpty, "="},
      {kEmpty, I(0), "="},
      {kEmpty, S(""), "="},
      {kEmpty, S("a"), "<"},
      {kNull, kNull, "="},
      {kNull, I(0), "<"},
      {I(0), kNull, ">"},
      {kEmpty, kNull, ">"},
      {Variant::Date(2), I(2), "="},
      {SetToValue(1), SetToValue(1), "EVariantTypeCastError"},
  };
  for (const CompareRow& row : rows) {
    std::string got;
    try {
      switch (VarCompare(row.left, row.right)) {
        case VarRelation::Less: got = "<"; break;
        case VarRelation::Equal: got = "="; break;
        case VarRelation::Greater: got = ">"; break;
      }
    } catch (const Exception& e) {
      got = e.ClassName();
    }
    EXPECT_EQ(got, row.expected) << Show(row.left) << " vs " << Show(row.right);
  }
}

TEST(VariantRules, ComparisonOperatorsYieldBooleans) {
  EXPECT_EQ(Show(VarCompareOp(I(1), VarCmp::Less, I(2))), "Boolean:True");
  EXPECT_EQ(Show(VarCompareOp(I(2), VarCmp::LessEqual, I(2))), "Boolean:True");
  EXPECT_EQ(Show(VarCompareOp(I(3), VarCmp::GreaterEqual, I(4))), "Boolean:False");
  EXPECT_EQ(Show(VarCompareOp(I(3), VarCmp::NotEqual, I(4))), "Boolean:True");
  // Null lies below every other value and equals only Null.
  EXPECT_TRUE(VarCompareOp(kNull, VarCmp::Less, I(-100)).AsBoolean());
  EXPECT_TRUE(VarCompareOp(S(""), VarCmp::Greater, kNull).AsBoolean());
  EXPECT_FALSE(VarCompareOp(kNull, VarCmp::Equal, I(0)).AsBoolean());
  EXPECT_TRUE(VarCompareOp(kNull, VarCmp::NotEqual, I(1)).AsBoolean());
  EXPECT_TRUE(VarCompareOp(kNull, VarCmp::Equal, kNull).AsBoolean());
}

TEST(VariantRules, BooleanTrueIsMinusOne) {
  EXPECT_EQ(B(true).AsInteger(), -1);
  EXPECT_EQ(Show(B(true).ChangeType(varByte)), "Byte:255");
  EXPECT_EQ(Show(S("1.5").ChangeType(varDouble)), "Double:1.5");
  EXPECT_THROW(S("1,5").ChangeType(varDouble), EVariantTypeCastError);
  EXPECT_THROW(I(70000).ChangeType(varSmallint), EVariantOverflowError);
  EXPECT_THROW(I(-1).ChangeType(varByte), EVariantOverflowError);
}

}  // namespace
