// The script API as gates written elsewhere use it: names in any case, with
// or without empty brackets, arguments of any kind converted by the member,
// the kinds of the results, the argument counts, and host objects a script
// cannot free.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datetime.h"
#include "eval_support.h"
#include "support/zonescope.h"
#include "values.h"

namespace {

using ScriptApiUse = EvalTest;

// A script and the text of its value.
struct Case {
  const char* script;
  const char* expected;
};

// A script and the kind of its value.
struct KindCase {
  const char* script;
  TVarType kind;
};

class ScriptApiTable : public EvalTest {
 protected:
  void ExpectTexts(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Text(c.script), c.expected) << c.script;
  }
  void ExpectCauses(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Cause(c.script), c.expected) << c.script;
  }
};

TEST_F(ScriptApiTable, NamesAreFoundInAnyCaseAndEmptyBracketsAreOptional) {
  send.Html.Text = "page";
  send.SMS.SetItemNamed("Phone", Variant::String("79161234567"));
  ExpectTexts({
      {"uppercase('a') + UPPERCASE('b')", "AB"},
      {"html.TEXT + Html.Text()", "pagepage"},
      {"sms.itemsnamed['phone'] + Sms.ITEMS[0]", "7916123456779161234567"},
      {"VarToStr(VAREMPTY) + VarToStr(ppnumber) + VarToStr(MTAUDIO)", "022"},
      {"upperlatincaps = UpperLatinCaps", "True"},
      {"extractphonepart('79161234567', '1.3.7', PPDEF)", "916"},
      {"VarToStr(SMS.Count()) + VarToStr(sms.COUNT)", "11"},
      {"VarToStr(HTTP.HandleRedirects()) + VarToStr(http.handleredirects)", "TrueTrue"},
      {"TimeZone() = TimeZone", "True"},
      {"TimeZoneBias() = TimeZoneBias", "True"},
      {"Date() = Date", "True"},
      {"PostData.Text() + PostData.TEXT", ""},
      {"begin Stored['x'] := 1; Stored.Clear(); Result := Stored.Count; end;", "0"},
      {"begin postdata.multipart := true; PostData.Clear(); Result := POSTDATA.MULTIPART; end;", "True"},
      {"begin http.referer := 'r'; Result := HTTP.REFERER; end;", "r"},
  });
}

TEST_F(ScriptApiTable, ArgumentsOfAnyKindAreConvertedByTheMember) {
  send.Html.Text = "abcabc";
  ExpectTexts({
      {"Pos(2, 12345)", "2"},
      {"PosEx(3, 12345, '2')", "3"},
      {"Copy(12345, '2', 2.0)", "23"},
      {"StrBetween(1234, 1, 4)", "23"},
      {"ReplaceStr(1001, 0, 5)", "1551"},
      {"var n: integer; begin n := 12345; Delete(n, 2, '2'); Result := n; end;", "145"},
      {"var s: string; begin s := 'ac'; Insert(5, s, '2'); Result := s; end;", "a5c"},
      {"RandomInt('1')", "0"},
      {"RandomString(7, '3')", "777"},
      {"GetMonthLongRus('01.05.2000', '1', 1)", "Мая"},
      {"DateTimeToUnix('01.01.1970 00:00:01')", "1"},
      {"FormatDateTime('hh:nn', '01.01.2000 12:30')", "12:30"},
      {"FormatDateTime('yyyy', UnixToDateTime('86400'))", "1970"},
      {"iff('true', 'a', 'b') + iff(0, 'a', 'b')", "ab"},
      {"ExtractPhonePart(7916, 2, '1')", "16"},
      {"Html.PosEx('c', '4') + Html.LastPosEx('a', '2')", "10"},
      {"Html.RegExp('(b)c', '1')", "b"},
      {"begin PostData.MultiPart := 'false'; HTTP.DontLoadResult := 1; Result := HTTP.DontLoadResult; end;", "True"},
      {"begin PostData.Add(1, True); Result := PostData.Text; end;", "1=True"},
      {"isAscii(127) and not isAscii(#128)", "True"},
  });
}

TEST_F(ScriptApiTable, SearchesAtTheEdgesOfTheText) {
  send.Html.Text = "abca";
  ExpectTexts({
      {"PosEx('c', 'abcabc', 0)", "0"},
      {"PosEx('c', 'abcabc', -1)", "0"},
      {"PosEx('c', 'abcabc', 7)", "0"},
      {"PosEx('', 'abc', 1)", "0"},
      {"PosEx('c', 'abcabc', 3)", "3"},
      {"LastPosEx('a', 'abca', 0)", "0"},
      {"LastPosEx('a', 'abca', 4)", "1"},
      {"LastPosEx('a', 'abca', 5)", "0"},
      {"LastPosEx('a', 'abca', -3)", "0"},
      {"LastPos('', 'abc')", "0"},
      {"LastPos('bc', 'abcbc')", "4"},
      {"Html.PosEx('a', 0)", "0"},
      {"Html.LastPosEx('a', 0)", "0"},
      {"Html.LastPosEx('a', 99)", "0"},
      {"Html.LastPos('ca')", "3"},
      {"Html.ExistsStr('')", "False"},
      {"StrBetween('abc', '', '')", "abc"},
      {"StrBetween('abc', 'a', '')", "bc"},
      {"StrBetweenRev('abc', '', 'c')", "ab"},
      {"StrBetweenRev('abc', 'a', '')", "bc"},
      {"StrBetweenRev('abc', 'x', 'c')", ""},
      {"Html.StrBetween('b', '')", "ca"},
      {"Html.StrBetweenRev('', 'c')", "ab"},
      {"RegExp('ABC', 'b', 0)", ""},
      {"RegExp('abc', '(', 0)", ""},
      {"RegExp('abc', '(b)', 2)", ""},
      {"RegExp('a' + #10 + 'b', 'a.b', 0) = 'a' + #10 + 'b'", "True"},
      {"Html.RegExp('^a$', 0)", ""},
      {"RegExp('x' + #10 + 'a' + #10, '^a$', 0)", "a"},
      {"Html.RegExp('(b)(x)?', 2)", ""},
  });
}

TEST_F(ScriptApiTable, ResultsHaveTheirKinds) {
  send.Html.Text = "abc";
  const std::vector<KindCase> cases = {
      {"Length('abc')", varInteger},       {"Pos('b', 'abc')", varInteger},
      {"LastPosEx('b', 'abc', 1)", varInteger}, {"DateTimeToUnix(0)", varInt64},
      {"Now", varDate},                    {"Date", varDate},
      {"Time", varDate},                   {"StrToDateTime('01.01.2000')", varDate},
      {"DateOf(1.5)", varDate},            {"TimeOf(1.5)", varDate},
      {"UnixToDateTime(0)", varDate},      {"VarToDateTime('01.01.2000')", varDate},
      {"AdjustTimeZone(1.5, 0, False)", varDate}, {"Random", varDouble},
      {"RandomInt(5)", varInteger},        {"TimeZoneBias", varInteger},
      {"TimeZone", varString},             {"TimeZoneDaylight", varBoolean},
      {"Assigned(nil)", varBoolean},       {"isAscii('a')", varBoolean},
      {"SameStr('a', 'A')", varBoolean},   {"VarIsArray(1)", varBoolean},
      {"VarType(1)", varInteger},          {"Copy('abc', 1, 1)", varString},
      {"DecodeHex('41')", varString},      {"Format('%d', [1])", varString},
      {"VarToStr(1)", varString},          {"High(VarArrayOf([1]))", varInteger},
      {"VarArrayDimCount(1)", varInteger}, {"OneHour", varDouble},
      {"UpperLatinCaps", varString},       {"varString", varInteger},
      {"ppCountry", varInteger},           {"Html.Text", varString},
      {"Html.Pos('b')", varInteger},       {"Html.ExistsStr('b')", varBoolean},
      {"Html.RegExp('b', 0)", varString},  {"SMS.Count", varInteger},
      {"SMS.Exists('x')", varBoolean},     {"PostData.MultiPart", varBoolean},
      {"PostData.Bound", varString},       {"PostData.Text", varString},
      {"HTTP.Referer", varString},         {"HTTP.HandleRedirects", varBoolean},
      {"VarType(PostData.Data) = VarType(Html)", varBoolean},
  };
  for (const KindCase& c : cases) EXPECT_EQ(Run(c.script).VarType(), c.kind) << c.script;
  // The boundary: eight upper-case hexadecimal digits and the fixed tail.
  const std::string bound = Text("PostData.Bound");
  ASSERT_EQ(bound.size(), 26u);
  EXPECT_EQ(bound.substr(8), "_Parlomix_boundary");
  EXPECT_EQ(bound.find_first_not_of("0123456789ABCDEF"), 8u);
}

TEST_F(ScriptApiTable, MembersAndFunctionsCountTheirArguments) {
  ExpectCauses({
      {"HTTP.HTTPMethod('GET')", "Not enough parameters"},
      {"PostData.Add('a')", "Not enough parameters"},
      {"PostData.AddRawData('a', 'b')", "Too many actual parameters"},
      {"Html.Pos('a', 1)", "Too many actual parameters"},
      {"Html.StrBetween('a')", "Not enough parameters"},
      {"SMS.Exists()", "Not enough parameters"},
      {"SMS.Count(1)", "Too many actual parameters"},
      {"Copy('abc', 1)", "Not enough parameters"},
      {"ExtractPhonePart('7', '1.3.7')", "Not enough parameters"},
      {"iff(True, 1)", "Not enough parameters"},
      {"Now(1)", "Too many actual parameters"},
      {"AdjustTimeZone(1, 2, 3, 4)", "Too many actual parameters"},
  });
}

TEST_F(ScriptApiUse, HostObjectsSurviveAScriptThatFreesThem) {
  send.Html.Text = "page";
  Run("begin Html.Free; Stored.Free; GateInfo.Free; Cookies.Free; HTTP.Headers.Free; PostData.Data.Free; "
      "Stored['p'] := PostData; Stored['p'].Free; end;");
  EXPECT_EQ(Text("Html.Text"), "page");
  EXPECT_EQ(Text("begin HTTP.Headers['h'] := 'v'; Stored['n'] := 1; Result := HTTP.Headers['h'] + Stored['p'].Bound; "
                 "end;"),
            "v" + send.PostData.Boundary());
  EXPECT_EQ(Text("begin PostData.Add('a', 'b'); Result := PostData.Text; end;"), "a=b");
}

TEST_F(ScriptApiUse, TransliterationWithoutAChosenTableKeepsTheText) {
  // A sender that never loaded its tables keeps every letter.
  EXPECT_EQ(Text("Translit('Привет, Ёж! abc')"), "Привет, Ёж! abc");
}

TEST_F(ScriptApiTable, DatesAreReadAsTheSystemReadsThem) {
  const int year = DecodeDateTime(Now()).year;
  const std::string thisYear = std::to_string(year);
  ExpectTexts({
      {"FormatDateTime('dd.mm.yyyy', StrToDateTime('01.01.00'))", "01.01.2000"},
      {"FormatDateTime('dd.mm.yyyy hh:nn', StrToDateTime('31.12.99 23:59'))", "31.12.1999 23:59"},
      {"FormatDateTime('dd.mm.yyyy', StrToDateTime('1.2.3'))", "01.02.2003"},
      {"FormatDateTime('yyyy', VarToDateTime('02.01.24'))", "2024"},
      {"FormatDateTime('dd.mm.yyyy hh:nn', StrToDateTime('5.6 7:08'))", ("05.06." + thisYear + " 07:08").c_str()},
      {"FormatDateTime('dd.mm.yyyy', StrToDateTime('02.01.2024'))", "02.01.2024"},
  });
  ExpectCauses({
      {"StrToDateTime('-1.2.2000')", "'-1.2.2000' is not a valid date and time"},
      {"StrToDateTime('31.02.00')", "'31.02.00' is not a valid date and time"},
      {"StrToDateTime('1.')", "'1.' is not a valid date and time"},
      {"StrToDateTime('1.2.')", "'1.2.' is not a valid date and time"},
  });
}

TEST_F(ScriptApiTable, FormatWritesGenericValuesAsTextButNotNumbersOfTheirOwn) {
  // Values that reach Format as generic values: %s writes their text.
  ExpectTexts({
      {"Format('%s', [DateTimeToUnix(0)])", "-2209161600"},
      {"var b: byte; begin b := 7; Result := Format('<%s>', [b]); end;", "<7>"},
      {"Format('%s', [VarAsType(1.5, varSingle)])", "1.5"},
      {"Format('%s|%s', [VarAsType(3, varWord), 'x'])", "3|x"},
      {"Format('%s', [StrToDateTime('02.01.2024')])", "02.01.2024"},
      {"Format('%d', [DateTimeToUnix(1)])", "-2209075200"},
  });
  // Whole numbers, floating-point values and flags are entries of their own.
  ExpectCauses({
      {"Format('%s', [1])", "Format '%s' invalid or incompatible with argument"},
      {"Format('%s', [1.5])", "Format '%s' invalid or incompatible with argument"},
      {"Format('%s', [False])", "Format '%s' invalid or incompatible with argument"},
  });
}

TEST_F(ScriptApiTable, ArrayBoundsAtTheEndsOfTheWholeNumbers) {
  ExpectTexts({
      {"High(VarArrayCreate([2147483647, 2147483647], varInteger))", "2147483647"},
      {"VarArrayHighBound(VarArrayCreate([2147483646, 2147483647], varInteger), 1)", "2147483647"},
      {"Length(VarArrayCreate([2147483647, 2147483647], varInteger))", "1"},
      {"High(VarArrayCreate([-2147483647 - 1, -2147483647 - 1], varInteger))", "-2147483648"},
      {"Low(VarArrayCreate([-2147483647 - 1, -2147483647], varInteger))", "-2147483648"},
      {"Length(VarArrayCreate([0, -1], varInteger))", "0"},
  });
  ExpectCauses({{"VarArrayCreate([5, 3], varInteger)", "Invalid array range"}});
}

TEST_F(ScriptApiTable, DaylightSavingTimeMovesTheBiasAndTheAdjustment) {
  // Daylight saving all year: three hours east in winter, four in summer.
  ZoneScope zone("<+03>-3<+04>,0/0,J365/25");
  ExpectTexts({
      {"TimeZoneDaylight", "True"},
      {"TimeZoneBias", "240"},
      {"TimeZone", "+0400"},
      {"FormatDateTime('dd.mm.yyyy hh:nn', AdjustTimeZone(StrToDateTime('02.01.2024 12:00'), TimeZoneBias, False))",
       "02.01.2024 12:00"},
      {"FormatDateTime('dd.mm.yyyy hh:nn', AdjustTimeZone(StrToDateTime('02.01.2024 12:00'), TimeZoneBias, True))",
       "02.01.2024 11:00"},
      {"FormatDateTime('dd.mm.yyyy hh:nn', AdjustTimeZone(StrToDateTime('02.01.2024 12:00'), 0, True))",
       "02.01.2024 07:00"},
  });
}

}  // namespace
