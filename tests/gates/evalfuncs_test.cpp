// The script API's functions and constants, as gate scripts call them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "adapter.h"
#include "datetime.h"
#include "eval_support.h"
#include "support/heappeak.h"
#include "support/zonescope.h"
#include "timezone.h"
#include "units.h"
#include "values.h"

namespace {

using ScriptFunctions = EvalTest;

TEST(ScriptApi, EveryFunctionAndConstantIsRegistered) {
  TEvalutor eval;
  const TInterpreterAdapter& a = GetGlobalAdapter();
  for (const char* name :
       {"Assigned", "RegExp", "DecodeHex", "UpperCase", "LowerCase", "Trim", "TrimLeft", "TrimRight", "Length", "Copy",
        "Delete", "Insert", "Pos", "PosEx", "LastPos", "LastPosEx", "StrBetween", "StrBetweenRev", "SameStr", "Format",
        "isAscii", "RandomString", "ReplaceStr", "FormatDateTime", "StrToDateTime", "Date", "Time", "Now", "DateOf",
        "TimeOf", "DateTimeToUnix", "UnixToDateTime", "GetMonthLongRus", "TimeZoneBias", "TimeZone",
        "TimeZoneDaylight", "AdjustTimeZone", "iff", "RandomInt", "Random", "SetLength", "High", "Low",
        "DeleteFromArray", "InsertIntoArray", "VarType", "VarAsType", "VarIsEmpty", "VarIsNull", "VarToStr",
        "VarFromDateTime", "VarToDateTime", "VarArrayCreate", "VarArrayOf", "VarArrayDimCount", "VarArrayLowBound",
        "VarArrayHighBound", "VarIsArray", "DecodeFormElem", "EncodeFormElem", "ConvertToEncoding",
        "ConvertAndEncodeFormElem", "Translit", "ExtractPhonePart"})
    EXPECT_NE(a.Functions().FindByName("Dummy", name), nullptr) << name;
  EXPECT_NE(a.Functions().FindByName("Types", "Rect"), nullptr);
}

TEST_F(ScriptFunctions, ConstantsHaveTheirValues) {
  EXPECT_EQ(Text("UpperLatinCaps + LowerLatinCaps + DigitCaps"),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
  EXPECT_EQ(Text("UpperHexCaps + LowerHexCaps"), "0123456789ABCDEF0123456789abcdef");
  EXPECT_DOUBLE_EQ(Run("OneHour * 24").AsDouble(), 1);
  EXPECT_DOUBLE_EQ(Run("OneMinute * 1440").AsDouble(), 1);
  EXPECT_DOUBLE_EQ(Run("OneSecond * 86400").AsDouble(), 1);
  EXPECT_DOUBLE_EQ(Run("OneMillisecond * 86400000").AsDouble(), 1);
  const std::pair<const char*, int> codes[] = {
      {"varEmpty", 0},       {"varSmallint", 2}, {"varInteger", 3},    {"varSingle", 4},  {"varCurrency", 6},
      {"varDouble", 5},      {"varDate", 7},     {"varOleStr", 8},     {"varDispatch", 9}, {"varError", 10},
      {"varBoolean", 11},    {"varVariant", 12}, {"varUnknown", 13},   {"varByte", 17},   {"varStrArg", 72},
      {"varString", 256},    {"varAny", 257},    {"varTypeMask", 4095}, {"varByRef", 16384}, {"varShortInt", 16},
      {"varWord", 18},       {"varLongWord", 19}, {"varInt64", 20},    {"ppCountry", 0},  {"ppDef", 1},
      {"ppNumber", 2},       {"mtUnknown", 0},   {"mtImage", 1},       {"mtAudio", 2}};
  for (const auto& [name, value] : codes) EXPECT_EQ(Run(name).AsInteger(), value) << name;
  // varArray is the interpreter's own array kind, which VarType reports for
  // an interpreter array, not the generic array flag.
  EXPECT_EQ(Run("varArray").AsInteger(), ArrayVarType());
  EXPECT_NE(Run("varArray").AsInteger(), 8192);
  EXPECT_TRUE(Run("var a: array of integer; begin Result := VarType(a) = varArray; end;").AsBoolean());
}

TEST_F(ScriptFunctions, SearchingAndCutting) {
  EXPECT_EQ(Run("LastPosEx('a', 'abca', 1)").AsInteger(), Run("LastPos('a', 'abca')").AsInteger());
  EXPECT_EQ(Run("LastPosEx('a', 'abca', 2)").AsInteger(), 1);
  EXPECT_EQ(Run("LastPos('ab', 'abcab')").AsInteger(), 4);
  EXPECT_EQ(Run("Pos('c', 'abcabc')").AsInteger(), 3);
  EXPECT_EQ(Run("PosEx('c', 'abcabc', 4)").AsInteger(), 6);
  EXPECT_EQ(Run("Pos('', 'abc')").AsInteger(), 0);
  EXPECT_EQ(Text("StrBetween('x[b]y[/b]', '[b]', '[/b]')"), "y");
  EXPECT_EQ(Text("StrBetween('x[b]y', '[b]', '[/b]')"), "");
  EXPECT_EQ(Text("StrBetweenRev('x<a<b>c', '<', '>')"), "b");
  EXPECT_EQ(Text("Copy('abcdef', 2, 3) + '|' + Copy('abc', 0, 2) + '|' + Copy('abc', 5, 1)"), "bcd|ab|");
  EXPECT_EQ(Text("RegExp('id=42;', 'id=(\\d+)', 1)"), "42");
  EXPECT_EQ(Text("RegExp('abc', 'x', 0)"), "");
  EXPECT_EQ(Run("Length('abc')").AsInteger(), 3);
  EXPECT_EQ(Run("Length(12345)").AsInteger(), 5);
}

TEST_F(ScriptFunctions, DeleteAndInsertWriteBack) {
  EXPECT_EQ(Text("var s: string; begin s := 'abcdef'; Result := Delete(s, 2, 3) + '|' + s; end;"), "aef|aef");
  EXPECT_EQ(Text("var s: string; begin s := 'abc'; Delete(s, 3, 10); Result := s; end;"), "ab");
  EXPECT_EQ(Text("var s: string; begin s := 'abc'; Delete(s, 0, 1); Delete(s, 4, 1); Delete(s, 1, -1); "
                 "Result := s; end;"),
            "abc");
  EXPECT_EQ(Text("var s: string; begin s := 'abef'; Result := Insert('cd', s, 3) + '|' + s; end;"), "abcdef|abcdef");
  EXPECT_EQ(Text("var s: string; begin s := 'bc'; Insert('a', s, -5); Insert('d', s, 99); Result := s; end;"),
            "abcd");
  // A value that is no variable is only returned.
  EXPECT_EQ(Text("Delete('abcdef', 1, 1)"), "bcdef");
}

TEST_F(ScriptFunctions, CaseTrimmingAndComparison) {
  EXPECT_EQ(Text("UpperCase('abc Привет ё')"), "ABC ПРИВЕТ Ё");
  EXPECT_EQ(Text("LowerCase('ABC ПРИВЕТ Ё')"), "abc привет ё");
  send.Stored.SetItemNamed("s", Variant::String("\t\r\n  x y \x01\x1F "));
  EXPECT_EQ(Text("'[' + Trim(Stored['s']) + '][' + TrimLeft(Stored['s']) + '][' + TrimRight(Stored['s']) + ']'"),
            "[x y][x y \x01\x1F ][\t\r\n  x y]");
  EXPECT_TRUE(Run("SameStr('ABC', 'abc')").AsBoolean());
  EXPECT_FALSE(Run("SameStr('ПРИВЕТ', 'привет')").AsBoolean());
  EXPECT_FALSE(Run("SameStr('abc', 'abd')").AsBoolean());
  EXPECT_FALSE(Run("SameStr('abc', 'abcd')").AsBoolean());
  EXPECT_TRUE(Run("isAscii('plain')").AsBoolean());
  EXPECT_FALSE(Run("isAscii('не')").AsBoolean());
  EXPECT_EQ(Text("ReplaceStr('aXbXc', 'X', '--') + '|' + ReplaceStr('aXb', 'x', '-') + '|' + ReplaceStr('ab', '', 'z')"),
            "a--b--c|aXb|ab");
}

TEST_F(ScriptFunctions, FormValuesAndCharsets) {
  EXPECT_EQ(Text("DecodeFormElem('a+b%21')"), "a b!");
  EXPECT_EQ(Text("EncodeFormElem('a b+c')"), "a%20b%2Bc");
  EXPECT_EQ(Text("ConvertAndEncodeFormElem('Я', 'UTF-8')"), "%D0%AF");
  EXPECT_EQ(Run("ConvertToEncoding('Я', 'UTF-8')").AsString(), "\xD0\xAF");
  EXPECT_EQ(Run("DecodeHex('41fF')").AsString(), "A\xFF");
  // Only the bytes decoded before the first bad pair.
  EXPECT_EQ(Run("DecodeHex('41zz42')").AsString(), "A");
  EXPECT_EQ(Text("Translit('abc')"), "abc");
}

TEST_F(ScriptFunctions, RandomValues) {
  const std::string drawn = Text("RandomString('ab', 200)");
  ASSERT_EQ(drawn.size(), 200u);
  EXPECT_EQ(std::set<char>(drawn.begin(), drawn.end()), (std::set<char>{'a', 'b'}));
  EXPECT_EQ(Text("RandomString('ab', 0) + RandomString('ab', -3) + RandomString('', 0)"), "");
  EXPECT_NE(Cause("RandomString('', 3)"), "<no error>");
  std::set<int> ints;
  for (int i = 0; i < 200; ++i) {
    const int r = Run("RandomInt(5)").AsInteger();
    ASSERT_TRUE(r >= 0 && r < 5) << r;
    ints.insert(r);
    const double f = Run("Random").AsDouble();
    ASSERT_TRUE(f >= 0 && f < 1) << f;
  }
  EXPECT_EQ(ints.size(), 5u);
  EXPECT_EQ(Run("RandomInt(0)").AsInteger(), 0);
}

TEST_F(ScriptFunctions, TextsBeyondTheMemoryBudgetAreRefusedBeforeTheyAreMade) {
  eval.Program().Limits().MemoryBudget = 1 << 20;
  EXPECT_EQ(Cause("RandomString('ab', 2000000000)"), "Internal interpreter error: Out of memory");
  EXPECT_EQ(Cause("ReplaceStr(RandomString('a', 1000), 'a', RandomString('b', 10000))"),
            "Internal interpreter error: Out of memory");
  // Texts that outgrow their input many times over: the heap never holds
  // much beyond the budget on the way to the refusal.
  eval.Program().Limits().MemoryBudget = 4 << 20;
  for (const char* script : {"ConvertAndEncodeFormElem(RandomString('a', 1000000), 'UTF-32')",
                             "EncodeFormElem(RandomString(' ', 2000000))",
                             "Format('%0:s%0:s%0:s%0:s%0:s%0:s', [RandomString('a', 1000000)])",
                             "FormatDateTime(RandomString('c', 600000), Now)"}) {
    const int64_t peak = PeakHeapDuring([&] { EXPECT_EQ(Cause(script), "Internal interpreter error: Out of memory"); });
    if (peak >= 0) {
      EXPECT_LT(peak, 8 << 20) << script;
    }
  }
}

TEST_F(ScriptFunctions, DatesAndTimeZones) {
  EXPECT_EQ(Run("DateTimeToUnix(StrToDateTime('01.01.1970'))").AsInt64(), 0);
  EXPECT_EQ(Run("DateTimeToUnix(UnixToDateTime(1781000000))").AsInt64(), 1781000000);
  EXPECT_DOUBLE_EQ(Run("DateOf(StrToDateTime('02.01.2024 12:00:00'))").AsDouble(), EncodeDate(2024, 1, 2));
  EXPECT_DOUBLE_EQ(Run("TimeOf(StrToDateTime('02.01.2024 12:00:00'))").AsDouble(), 0.5);
  EXPECT_EQ(Run("Date").AsDouble(), std::floor(Run("Date").AsDouble()));
  EXPECT_LT(Run("Time").AsDouble(), 1);
  EXPECT_NEAR(Run("Now").AsDouble(), Now(), 1.0 / 86400 * 5);
  EXPECT_DOUBLE_EQ(Run("VarToDateTime('02.01.2024')").AsDouble(), EncodeDate(2024, 1, 2));
  {
    ZoneScope zone("<+03>-3");
    EXPECT_EQ(Text("TimeZone"), "+0300");
    EXPECT_EQ(Run("TimeZoneBias").AsInteger(), 180);
    EXPECT_FALSE(Run("TimeZoneDaylight").AsBoolean());
    const std::string at = "StrToDateTime('02.01.2024 12:00:00')";
    EXPECT_DOUBLE_EQ(Run("AdjustTimeZone(" + at + ", TimeZoneBias, False)").AsDouble(),
                     EncodeDate(2024, 1, 2) + 0.5);
    // The gate's zone is UTC: its time is three hours behind ours.
    EXPECT_NEAR(Run("AdjustTimeZone(" + at + ", 0, False)").AsDouble(), EncodeDate(2024, 1, 2) + 0.375, 1e-9);
  }
  {
    ZoneScope zone("<-0330>3:30");
    EXPECT_EQ(Text("TimeZone"), "-0330");
  }
}

TEST_F(ScriptFunctions, ArraysAndVariants) {
  EXPECT_EQ(Run("High(VarArrayOf([1, 2, 3]))").AsInteger(), 2);
  EXPECT_EQ(Run("Low(VarArrayOf([1, 2, 3]))").AsInteger(), 0);
  EXPECT_EQ(Run("Length(VarArrayOf([1, 2, 3]))").AsInteger(), 3);
  EXPECT_EQ(Run("VarType(VarArrayOf([1]))").AsInteger(), varArray | varVariant);
  EXPECT_TRUE(Run("VarIsArray(VarArrayOf([1]))").AsBoolean());
  EXPECT_FALSE(Run("VarIsArray(1)").AsBoolean());
  EXPECT_EQ(Run("VarArrayDimCount(VarArrayOf([1]))").AsInteger(), 1);
  EXPECT_EQ(Run("VarArrayDimCount('x')").AsInteger(), 0);
  EXPECT_EQ(Text("var v: variant; begin v := VarArrayCreate([2, 5], varInteger); Result := Format('%d %d %d %d', "
                 "[Low(v), High(v), VarArrayLowBound(v, 1), VarArrayHighBound(v, 1)]); end;"),
            "2 5 2 5");
  EXPECT_EQ(Run("var v: variant; begin v := VarArrayCreate([0, 1], varInteger); Result := VarType(v[1]); end;")
                .AsInteger(),
            varInteger);
  EXPECT_EQ(Cause("VarArrayCreate([0, 2, 0], varVariant)"), "The size of bounds array must be even!");
  EXPECT_EQ(Cause("VarArrayCreate([0, 2, 0, 3], varVariant)"), "Sorry, for one-dimensional arrays only");
  EXPECT_EQ(Cause("var a: array[0..1, 0..2] of integer; begin Result := Length(a); end;"),
            "Sorry, for one-dimensional arrays only");
  EXPECT_EQ(Cause("var a: array[0..1, 0..2] of integer; begin Result := High(a); end;"),
            "Sorry, for one-dimensional arrays only");
  EXPECT_EQ(Cause("VarArrayCreate([0, 2000000000], varVariant)"), "Invalid array range");
  // A bad dimension is a variant error, which scripts see as a type mismatch.
  EXPECT_EQ(Cause("VarArrayLowBound(VarArrayOf([1]), 2)"), "Type mismatch");
  EXPECT_EQ(Cause("High(5)"), "Array type required");
  EXPECT_EQ(Text("var a: array of string; begin SetLength(a, 2); a[0] := 'x'; a[1] := 'z'; "
                 "InsertIntoArray(a, 1, 'y'); DeleteFromArray(a, 0); Result := a[0] + a[1] + VarToStr(High(a)); end;"),
            "yz1");
  EXPECT_EQ(Run("var a: array of integer; begin SetLength(a, 4); Result := Length(a); end;").AsInteger(), 4);
  EXPECT_EQ(Run("VarAsType('12', varInteger)").VarType(), varInteger);
  EXPECT_EQ(Run("VarAsType('12', varInteger)").AsInteger(), 12);
  // A number made into an object would name whatever object had that handle.
  EXPECT_NE(Cause("VarAsType(1, varArray)"), "<no error>");
  EXPECT_TRUE(Run("VarIsEmpty(Stored['none'])").AsBoolean());
  EXPECT_TRUE(Run("VarIsNull(Null)").AsBoolean());
  EXPECT_EQ(Text("VarToStr(Null) + VarToStr(5)"), "5");
  EXPECT_EQ(Run("VarFromDateTime(1.5)").VarType(), varDate);
}

TEST_F(ScriptFunctions, AssignedIffAndPhoneParts) {
  EXPECT_FALSE(Run("Assigned(nil)").AsBoolean());
  EXPECT_TRUE(Run("Assigned(PostData)").AsBoolean());
  EXPECT_FALSE(Run("Assigned(Stored['none'])").AsBoolean());
  EXPECT_EQ(Run("iff(False, 1, 2)").AsInteger(), 2);
  EXPECT_EQ(Text("iff(True, 'a', 'b')"), "a");
  const std::string phone = "'79161234567', '1.3.7'";
  EXPECT_EQ(Text("ExtractPhonePart(" + phone + ", ppCountry)"), "7");
  EXPECT_EQ(Text("ExtractPhonePart(" + phone + ", ppDef)"), "916");
  EXPECT_EQ(Text("ExtractPhonePart(" + phone + ", ppNumber)"), "1234567");
  EXPECT_EQ(Text("ExtractPhonePart(" + phone + ", 3)"), "");
}

}  // namespace
