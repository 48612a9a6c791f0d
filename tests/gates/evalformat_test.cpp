// Format and the date directives: our own parsers, so that a script's
// format string never reaches the C library and no locale changes a result.
#include "evalformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cp1251.h"
#include "datetimefmt.h"
#include "eval_support.h"
#include "exceptions.h"
#include "values.h"

namespace {

std::string Fmt(const std::string& format, const std::vector<Variant>& args) { return FormatScriptText(format, args); }

std::string FmtError(const std::string& format, const std::vector<Variant>& args) {
  try {
    Fmt(format, args);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "<no error>";
}

Variant I(int32_t v) { return Variant::Integer(v); }
Variant D(double v) { return Variant::Double(v); }
Variant S(const char* v) { return Variant::String(v); }

TEST(Format, WholeNumbers) {
  EXPECT_EQ(Fmt("%5d|%-5d|%.3d|%d|%.3d", {I(42), I(42), I(7), I(-7), I(-7)}), "   42|42   |007|-7|-007");
  EXPECT_EQ(Fmt("%x|%.4x|%u|%x", {I(255), I(255), I(-1), I(-1)}), "FF|00FF|4294967295|FFFFFFFF");
  EXPECT_EQ(Fmt("%d|%x|%u", {Variant::Int64(-5000000000), Variant::Int64(-1), Variant::Int64(-1)}),
            "-5000000000|FFFFFFFFFFFFFFFF|18446744073709551615");
  EXPECT_EQ(Fmt("%d", {Variant::Byte(200)}), "200");
}

TEST(Format, TextsIndexesAndStars) {
  EXPECT_EQ(Fmt("%s|%.2s|%6s|%-6s|", {S("abc"), S("abc"), S("abc"), S("abc")}), "abc|ab|   abc|abc   |");
  EXPECT_EQ(Fmt("%1:s %0:s %s", {S("a"), S("b")}), "b a b");
  EXPECT_EQ(Fmt("%*d|%-*d|%.*f", {I(4), I(7), I(3), I(8), I(2), D(1.5)}), "   7|8  |1.50");
  EXPECT_EQ(Fmt("%%|%d%%", {I(5)}), "%|5%");
  // An argument's text is never read as a format.
  EXPECT_EQ(Fmt("%s", {S("%n%s%x%p")}), "%n%s%x%p");
  EXPECT_EQ(Fmt("no directives", {}), "no directives");
}

TEST(Format, FloatingPointWithAPointAndHalvesAwayFromZero) {
  EXPECT_EQ(Fmt("%.2f|%f|%.0f|%.1f|%.0f", {D(1.125), D(2.5), D(2.5), D(-0.05), D(0.4)}), "1.13|2.50|3|-0.1|0");
  EXPECT_EQ(Fmt("%e", {D(1234.5)}), "1.23450000000000E+003");
  EXPECT_EQ(Fmt("%.3e|%.2e", {D(-0.0125), D(0)}), "-1.25E-002|0.0E+000");
  EXPECT_EQ(Fmt("%g|%g|%g|%g", {D(0.5), D(1234.5), D(0.0001), D(100)}), "0.5|1234.5|0.0001|100");
  EXPECT_EQ(Fmt("%.2g|%g|%g", {D(1234.5), D(0.00001), D(1e20)}), "1.2E3|1E-5|1E20");
  EXPECT_EQ(Fmt("%n|%.1n|%.0n", {D(1234567.891), D(-999.95), D(999.5)}),
            "1\xA0" "234\xA0" "567.89|-1\xA0" "000.0|1\xA0" "000");
  EXPECT_EQ(cp1251::ToUtf8(Fmt("%m|%.0m", {D(-1234.5), D(7)})), "-1\xC2\xA0" "234.50р.|7р.");
  EXPECT_EQ(Fmt("%f|%e", {D(NAN), D(-INFINITY)}), "NAN|-INF");
  EXPECT_EQ(Fmt("%.2f", {Variant::CurrencyScaled(12345)}), "1.23");
  EXPECT_EQ(Fmt("%10.3f|", {D(3.14159)}), "     3.142|");
}

TEST(Format, BadDirectivesAndMissingArgumentsAreErrors) {
  EXPECT_EQ(FmtError("%d", {S("x")}), "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%d %d", {I(1)}), "No argument for format '%d %d'");
  EXPECT_EQ(FmtError("%s", {I(1)}), "Format '%s' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%f", {I(1)}), "Format '%f' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%d", {Variant::Boolean(true)}), "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%q", {I(1)}), "Format '%q' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("abc%", {}), "Format 'abc%' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%p", {I(1)}), "Format '%p' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%5:d", {I(1)}), "No argument for format '%5:d'");
  EXPECT_EQ(FmtError("%*d", {S("4"), I(1)}), "Format '%*d' invalid or incompatible with argument");
  // Widths beyond any form's need are refused rather than allocated.
  EXPECT_EQ(FmtError("%999999999d", {I(1)}), "Format '%999999999d' invalid or incompatible with argument");
  EXPECT_EQ(FmtError("%.99999999999999999999f", {D(1)}).substr(0, 8), "Format '");
  EXPECT_EQ(FmtError("%*s", {I(100000000), S("x")}), "Format '%*s' invalid or incompatible with argument");
  // The format is quoted up to its 31st character.
  EXPECT_EQ(FmtError("%s %s %s %s %s %s %s %s %s %s %s", {}), "No argument for format '%s %s %s %s %s %s %s %s %s %s %'");
  EXPECT_EQ(FmtError("%s", {Variant::Null()}), "Could not convert variant of type (Null) into type (String)");
}

using ScriptFormat = EvalTest;

TEST_F(ScriptFormat, ArgumentsArriveThroughTheOpenArrayConversion) {
  EXPECT_EQ(Text("Format('%d-%s-%.2f', [5, 'x', 1.125])"), "5-x-1.13");
  EXPECT_EQ(Text("Format('%d', 5)"), "5");
  // Floats arrive as currency, four decimals.
  EXPECT_EQ(Text("Format('%.6f', [0.1234567])"), "0.123500");
  // ...and are rounded as those four decimals, not as the nearest double.
  EXPECT_EQ(Text("Format('%.2f|%.2f|%.3f', [2.675, 1.005, 1.0005])"), "2.68|1.01|1.001");
  EXPECT_EQ(Text("var a: array of integer; begin SetLength(a, 2); a[0] := 3; a[1] := 4; "
                 "Result := Format('%d+%d', a); end;"),
            "3+4");
  EXPECT_EQ(Cause("Format('%d %d', [1])"), "No argument for format '%d %d'");
  EXPECT_EQ(Cause("Format('%d', ['1'])"), "Format '%d' invalid or incompatible with argument");
}

// 2024-01-02 (a Tuesday) 03:04:05.006.
TDateTime Sample() { return EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 6); }

// Format and result in UTF-8, for the literals.
std::string Dt(const char* format, TDateTime value = Sample()) {
  return cp1251::ToUtf8(FormatDateTime(cp1251::FromUtf8(format), value));
}

TEST(DateFormat, NumbersNamesAndSeparators) {
  EXPECT_EQ(Dt("dd.mm.yyyy hh:nn:ss"), "02.01.2024 03:04:05");
  EXPECT_EQ(Dt("d/m/yy h:n:s z zzz"), "2.1.24 3:4:5 6 006");
  EXPECT_EQ(Dt("dddd, d mmmm yyyy"), "вторник, 2 Январь 2024");
  EXPECT_EQ(Dt("ddd mmm"), "Вт янв");
  EXPECT_EQ(Dt("DDD MMM YYYY"), "Вт янв 2024");
  EXPECT_EQ(Dt("ddd dddd", EncodeDate(2024, 1, 7)), "Вс воскресенье");
  EXPECT_EQ(Dt("ddd", EncodeDate(1899, 12, 30)), "Сб");
  EXPECT_EQ(Dt("ddd", EncodeDate(1899, 12, 24)), "Вс");
  EXPECT_EQ(Dt("mmmm mmm", EncodeDate(2024, 12, 31)), "Декабрь дек");
}

TEST(DateFormat, NamedFormatsMinutesAndTheTwelveHourClock) {
  EXPECT_EQ(Dt("c"), "02.01.2024 03:04:05");
  EXPECT_EQ(Dt("c", EncodeDate(2024, 1, 2)), "02.01.2024");
  EXPECT_EQ(Dt("ddddd|dddddd"), "02.01.2024|2 Январь 2024 г.");
  EXPECT_EQ(Dt("t|tt"), "03:04|03:04:05");
  EXPECT_EQ(Dt("hh:mm|h mm|mm"), "03:04|3 04|01");
  EXPECT_EQ(Dt("yyyy \"г.\" 'mm' mm"), "2024 г. mm 01");
  const TDateTime afternoon = EncodeDate(2024, 1, 2) + EncodeTime(15, 30, 0);
  EXPECT_EQ(Dt("hh:nn am/pm|h A/P|hh AMPM", afternoon), "03:30 pm|3 P|03 ");
  EXPECT_EQ(Dt("hh AM/PM|hh", EncodeDate(2024, 1, 2) + EncodeTime(0, 10, 0)), "12 AM|12");
  EXPECT_EQ(Dt("hh", afternoon), "15");
  EXPECT_EQ(Dt("e|ee|g|gg|x"), "2024|2024|||x");
  EXPECT_EQ(Dt("'unclosed"), "unclosed");
}

TEST(DateFormat, ReadingAndOutOfRangeDates) {
  EXPECT_EQ(StrToDateTime("02.01.2024 03:04:05"), EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5));
  EXPECT_EQ(StrToDateTime("02.01.2024"), EncodeDate(2024, 1, 2));
  try {
    StrToDateTime("31.02.2024");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'31.02.2024' is not a valid date and time");
  }
  EXPECT_THROW(FormatDateTime("yyyy", 1e10), EConvertError);
  EXPECT_THROW(FormatDateTime("yyyy", NAN), EConvertError);
}

TEST_F(ScriptFormat, DatesInScripts) {
  EXPECT_EQ(Text("FormatDateTime('dd.mm.yyyy hh:nn:ss', StrToDateTime('02.01.2024 03:04:05') + OneHour)"),
            "02.01.2024 04:04:05");
  EXPECT_EQ(Run("StrToDateTime('02.01.2024')").VarType(), varDate);
  EXPECT_EQ(Cause("StrToDateTime('x')"), "'x' is not a valid date and time");
  EXPECT_EQ(Cause("FormatDateTime('yyyy', VarFromDateTime(10000000000.0))"), "Invalid date");
  EXPECT_EQ(Text("GetMonthLongRus(StrToDateTime('09.05.2024'), 1, True)"), "Мая");
}

}  // namespace
