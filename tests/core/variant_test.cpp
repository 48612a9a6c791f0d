#include "variant.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "exceptions.h"

namespace {

// Runs f and returns the message of the EVariantError it raised, or "".
template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const EVariantError& e) {
    return e.Message();
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "";
}

TEST(Variant, EmptyReadsAsNothing) {
  Variant v;
  EXPECT_EQ(v.VarType(), varEmpty);
  EXPECT_EQ(v.AsString(), "");
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_EQ(v.AsDouble(), 0.0);
  EXPECT_FALSE(v.AsBoolean());
}

TEST(Variant, NullConvertsOnlyForDisplay) {
  Variant n = Variant::Null();
  EXPECT_EQ(VarToStr(n), "");
  EXPECT_EQ(ErrorOf([&] { n.AsString(); }), "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(ErrorOf([&] { n.AsInteger(); }), "Could not convert variant of type (Null) into type (Integer)");
  EXPECT_EQ(n.ChangeType(varNull).VarType(), varNull);
}

TEST(Variant, BooleanRules) {
  struct Case {
    Variant v;
    bool expected;
  } cases[] = {
      {Variant::String("true"), true},   {Variant::String("TRUE"), true},   {Variant::String(" False "), false},
      {Variant::String("1"), true},      {Variant::String("0"), false},     {Variant::String("2.5"), true},
      {Variant::String("0.0"), false},   {Variant::Integer(-7), true},      {Variant::Integer(0), false},
      {Variant::Double(0.001), true},    {Variant::Byte(0), false},         {Variant::String("$10"), true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.v.AsBoolean(), c.expected) << c.v.AsString();
  EXPECT_EQ(ErrorOf([] { Variant::String("yes").AsBoolean(); }),
            "Could not convert variant of type (String) into type (Boolean)");
  // True is -1 as a number, "True" as text.
  EXPECT_EQ(Variant::Boolean(true).AsInteger(), -1);
  EXPECT_EQ(Variant::Boolean(true).AsString(), "True");
  EXPECT_EQ(Variant::Boolean(false).AsString(), "False");
}

TEST(Variant, IntegerRules) {
  EXPECT_EQ(Variant::String("12").AsInteger(), 12);
  EXPECT_EQ(Variant::String(" -7 ").AsInteger(), -7);
  EXPECT_EQ(Variant::String("$FF").AsInteger(), 255);
  EXPECT_EQ(Variant::String("0x10").AsInteger(), 16);
  EXPECT_EQ(Variant::String("12.5").AsInteger(), 12);  // half to even
  EXPECT_EQ(Variant::String("13.5").AsInteger(), 14);
  EXPECT_EQ(Variant::String("true").AsInteger(), -1);
  EXPECT_EQ(Variant::Double(2.5).AsInteger(), 2);
  EXPECT_EQ(Variant::Double(-2.5).AsInteger(), -2);
  EXPECT_EQ(Variant::Double(3.5).AsInteger(), 4);
  EXPECT_EQ(Variant::CurrencyScaled(15000).AsInteger(), 2);  // 1.5 -> 2
  EXPECT_EQ(Variant::Date(45000.75).AsInteger(), 45001);
  EXPECT_EQ(ErrorOf([] { Variant::String("12abc").AsInteger(); }),
            "Could not convert variant of type (String) into type (Integer)");
  EXPECT_EQ(ErrorOf([] { Variant::Double(3e9).AsInteger(); }),
            "Overflow while converting variant of type (Double) into type (Integer)");
  EXPECT_EQ(ErrorOf([] { Variant::Double(NAN).AsInt64(); }),
            "Overflow while converting variant of type (Double) into type (Int64)");
  EXPECT_EQ(ErrorOf([] { Variant::String("99999999999999999999").AsInt64(); }),
            "Overflow while converting variant of type (String) into type (Int64)");
  EXPECT_EQ(ErrorOf([] { Variant::Integer(256).ChangeType(varByte); }),
            "Overflow while converting variant of type (Integer) into type (Byte)");
  EXPECT_EQ(Variant::Boolean(true).ChangeType(varByte).AsInteger(), 255);
  EXPECT_EQ(Variant::Integer(-1).ChangeType(varSmallint).VarType(), varSmallint);
  EXPECT_EQ(Variant::LongWord(4000000000u).AsString(), "4000000000");
  EXPECT_EQ(Variant::Int64(INT64_MIN).AsString(), "-9223372036854775808");
}

TEST(Variant, FloatTextFollowsFloatToStr) {
  struct Case {
    double v;
    const char* text;
  } cases[] = {
      {1.5, "1.5"},   {100, "100"},          {0.1 + 0.2, "0.3"},         {1e20, "1E20"},
      {1.5e-7, "1.5E-7"}, {0.0001, "0.0001"}, {0.00001, "1E-5"},          {-0.0, "0"},
      {1e15, "1E15"}, {123456789012345.0, "123456789012345"}, {-2.25, "-2.25"},
      {1.0 / 3, "0.333333333333333"},        {1e100, "1E100"},
  };
  for (const Case& c : cases) EXPECT_EQ(Variant::Double(c.v).AsString(), c.text);
  EXPECT_EQ(FloatToStr(INFINITY), "INF");
  EXPECT_EQ(FloatToStr(NAN), "NAN");
}

TEST(Variant, TextToFloatIgnoresProcessLocale) {
  // A Russian locale (when the machine has one) uses "," in the C library;
  // our conversions must keep ".".
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
  EXPECT_EQ(Variant::String("2.5").AsDouble(), 2.5);
  EXPECT_EQ(Variant::Double(2.5).AsString(), "2.5");
  EXPECT_EQ(ErrorOf([] { Variant::String("2,5").AsDouble(); }),
            "Could not convert variant of type (String) into type (Double)");
  std::setlocale(LC_NUMERIC, saved.c_str());
  double d = 0;
  EXPECT_FALSE(TryStrToFloat("inf", d));
  EXPECT_FALSE(TryStrToFloat("nan", d));
  EXPECT_FALSE(TryStrToFloat("", d));
  EXPECT_TRUE(TryStrToFloat(" .5 ", d));
  EXPECT_EQ(d, 0.5);
  EXPECT_TRUE(TryStrToFloat("1e-400", d));
  EXPECT_EQ(d, 0.0);
  EXPECT_FALSE(TryStrToFloat("1e400", d));
}

TEST(Variant, CurrencyAndDate) {
  EXPECT_EQ(Variant::Currency(1.23456).AsString(), "1.2346");
  EXPECT_EQ(Variant::Currency(2).AsString(), "2");
  EXPECT_EQ(Variant::CurrencyScaled(-5).AsString(), "-0.0005");
  EXPECT_EQ(Variant::Integer(3).ChangeType(varCurrency).AsCurrencyScaled(), 30000);
  TDateTime dt = EncodeDate(2026, 12, 9) + EncodeTime(5, 8, 52);
  EXPECT_EQ(Variant::Date(dt).AsString(), "09.12.2026 5:08:52");
  EXPECT_EQ(Variant::Date(EncodeDate(2000, 2, 29)).AsString(), "29.02.2000");
  EXPECT_DOUBLE_EQ(Variant::String("09.12.2026").AsDate(), EncodeDate(2026, 12, 9));
  EXPECT_DOUBLE_EQ(Variant::String("09.12.2026 5:08:52").AsDate(), dt);
  EXPECT_EQ(ErrorOf([] { Variant::String("31.02.2026").AsDate(); }),
            "Could not convert variant of type (String) into type (Date)");
}

TEST(Variant, UnixSecondsAreLocalDayCounts) {
  EXPECT_EQ(DateTimeToUnix(EncodeDate(1970, 1, 1)), 0);
  EXPECT_EQ(UnixToDateTime(0), 25569.0);
  EXPECT_EQ(DateTimeToUnix(0), -2209161600LL);
  TDateTime dt = EncodeDate(2026, 12, 9) + EncodeTime(5, 8, 52);
  EXPECT_EQ(DateTimeToUnix(UnixToDateTime(DateTimeToUnix(dt))), DateTimeToUnix(dt));
  DateTimeParts p = DecodeDateTime(UnixToDateTime(1781000000));
  EXPECT_EQ(p.year, 2026);
  p = DecodeDateTime(-1.25);  // day -1, a quarter into the day
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  p = DecodeDateTime(kMaxDateTime - 1.0 / 86400);
  EXPECT_EQ(p.year, 9999);
  EXPECT_EQ(p.second, 59);
  EXPECT_EQ(DecodeDateTime(kMinDateTime).year, 1);
}

TEST(Variant, DatesOutsideTheCalendarAreConversionErrors) {
  // Scripts can make any number a date; none may reach undefined arithmetic.
  for (double bad : {kMaxDateTime, kMinDateTime - 0.5, 1e300, -1e300, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(ErrorOf([&] { DecodeDateTime(bad); }), "Invalid date") << bad;
    EXPECT_EQ(ErrorOf([&] { Variant::Date(bad).AsString(); }), "Invalid date") << bad;
  }
  EXPECT_EQ(ErrorOf([] { DateTimeToUnix(1e300); }), "Invalid date");
  EXPECT_EQ(ErrorOf([] { DateTimeToUnix(std::nan("")); }), "Invalid date");
  EXPECT_EQ(DateTimeToUnix(kMaxDateTime), 253402300800LL);
}

TEST(Variant, StringsAndArraysHaveValueSemantics) {
  Variant a = Variant::Array({Variant::Integer(1), Variant::String("x")}, 1);
  Variant b = a;
  b.MutableArray().items[0] = Variant::Integer(99);
  EXPECT_EQ(a.ArrayRef().items[0].AsInteger(), 1);
  EXPECT_EQ(b.ArrayRef().items[0].AsInteger(), 99);
  EXPECT_EQ(a.ArrayRef().High(), 2);
  EXPECT_EQ(a.VarType(), varArray | varVariant);
  EXPECT_EQ(ErrorOf([&] { a.AsString(); }), "Could not convert variant of type (Array Variant) into type (String)");
  Variant s = Variant::String("abc");
  EXPECT_EQ(s.ChangeType(varOleStr).VarType(), varOleStr);
  EXPECT_EQ(s.ChangeType(varOleStr).AsString(), "abc");
  // A string written through MutableString: copied once when shared, then
  // changed where it is.
  Variant t = s;
  t.MutableString() += "d";
  EXPECT_EQ(s.AsString(), "abc");
  EXPECT_EQ(t.AsString(), "abcd");
  const std::string* where = &t.StringRef();
  t.MutableString() += "e";
  EXPECT_EQ(&t.StringRef(), where);
  EXPECT_EQ(t.AsString(), "abcde");
  EXPECT_EQ(ErrorOf([&] { a.MutableString(); }), "Could not convert variant of type (Array Variant) into type (String)");
}

struct Token : VariantPayload {
  explicit Token(int v) : value(v) {}
  int value;
};

TEST(Variant, CustomKindsGetTheirOwnCodes) {
  TVarType first = RegisterCustomVariantType("TestFirst");
  TVarType second = RegisterCustomVariantType("TestSecond", [](const Variant& v, TVarType target) {
    return Variant::Integer(static_cast<int32_t>(v.Bits())).ChangeType(target);
  });
  EXPECT_GE(first, varFirstCustom);
  EXPECT_NE(first, second);
  auto token = std::make_shared<Token>(7);
  Variant v = Variant::Custom(first, 42, token);
  EXPECT_TRUE(v.IsCustom());
  EXPECT_EQ(VarTypeAsText(first), "TestFirst");
  // Between custom kinds the payload travels as it is.
  Variant w = v.ChangeType(second);
  EXPECT_EQ(w.VarType(), second);
  EXPECT_EQ(w.Bits(), 42u);
  EXPECT_EQ(static_cast<Token*>(w.PayloadPtr())->value, 7);
  EXPECT_EQ(token.use_count(), 3);
  // Out of a custom kind only with the kind's own rule.
  EXPECT_EQ(w.AsString(), "42");
  EXPECT_EQ(ErrorOf([&] { v.AsInteger(); }), "Could not convert variant of type (TestFirst) into type (Integer)");
  EXPECT_EQ(Variant::Integer(1).Payload(), nullptr);
}

}  // namespace
