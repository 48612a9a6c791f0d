// Script errors: the text table, message formatting, and completion with
// unit name and line.
#include <gtest/gtest.h>

#include <stdexcept>

#include "errors.h"

namespace {

TEST(ScriptErrors, EveryTextOfTheTable) {
  const std::pair<int32_t, const char*> table[] = {
      {0, "Ok"},
      {1, "Unknown error"},
      {2, "Internal interpreter error: %s"},
      {3, "User break"},
      {4, "Re-raising an exception only allowed in exception handler"},
      {5, "Error in unit '%0:s' on line %1:d : %2:s"},
      {6, "External error in unit '%0:s' on line %1:d : %2:s"},
      {7, "Access denied to '%s'"},
      {8, "Expression is too complex - overflow"},
      {31, "Record '%s' not defined"},
      {52, "Stack overflow"},
      {53, "Type mismatch"},
      {55, "Function 'main' undefined"},
      {56, "Unit '%s' not found"},
      {57, "Event '%s' not registered"},
      {58, "DFM '%s' not found"},
      {101, "Error in remark"},
      {103, "%0:s expected but %1:s found"},
      {104, "Undeclared Identifier '%s'"},
      {105, "Type of expression must be boolean"},
      {106, "Class type required"},
      {107, " not allowed before else"},
      {108, "Type of expression must be integer"},
      {109, "Record, object or class type required"},
      {110, "Missing operator or semicolon"},
      {111, "Identifier redeclared: '%s'"},
      {171, "Array index out of bounds"},
      {172, "Too many array bounds"},
      {173, "Not enough array bounds"},
      {174, "Invalid array dimension"},
      {175, "Invalid array range"},
      {176, "Array type required"},
      {181, "Too many actual parameters"},
      {182, "Not enough parameters"},
      {183, "Incompatible types: '%0:s' and '%1:s'"},
      {184, "Error loading library '%s'"},
      {185, "Invalid type of argument in call to function '%s'"},
      {186, "Invalid type of result in call to function '%s'"},
      {187, "Can't get proc address for function '%s'"},
      {188, "Invalid type of argument in call to function '%s'"},
      {189, "Invalid type of result in call to function '%s'"},
      {190, "Invalid calling convention for function '%s'"},
      {201, "Calling '%0:s' failed: '%1:s'"},
      {301, "Expression"},
      {302, "Identifier"},
      {303, "Declaration"},
      {304, "End of File"},
      {305, "Class Declaration"},
      {306, "Integer Constant'"},
      {307, "Integer Value"},
      {308, "String Constant"},
      {309, "Statement"},
      {401, "Implementation of unit not found"},
  };
  for (const auto& [code, text] : table) EXPECT_EQ(ErrorCodeText(code), text) << code;
  int32_t known = 0;
  for (int32_t code = -5; code < 1000; ++code) known += !ErrorCodeText(code).empty();
  EXPECT_EQ(known, 53);
}

TEST(ScriptErrors, MessageFromCodeAndNames) {
  EInterpreterError e(104, 7, "Foo");
  EXPECT_EQ(e.Message(), "Undeclared Identifier 'Foo'");
  EXPECT_EQ(e.Message1, e.Message());
  EXPECT_EQ(e.ErrPos, 7);
  EXPECT_EQ(e.ErrLine, 0);
  EXPECT_FALSE(e.Completed);
  EXPECT_TRUE(e.ErrUnitName.empty());

  EXPECT_EQ(EInterpreterError(103, 0, "';'", "'x'").Message(), "';' expected but 'x' found");
  // Code 2's text has one place: a second name does not show.
  EXPECT_EQ(EInterpreterError(2, 0, "Array to array assignment", "not implemented").Message(),
            "Internal interpreter error: Array to array assignment");
  EXPECT_EQ(EInterpreterError(999, 0, "x").Message(), "");
  // Names are never read as formats.
  EXPECT_EQ(EInterpreterError(104, 0, "%s%1:s%d%%").Message(), "Undeclared Identifier '%s%1:s%d%%'");
  EXPECT_EQ(EInterpreterError(201, 0, "Get", "100% done").Message(), "Calling 'Get' failed: '100% done'");
}

TEST(ScriptErrors, RaiseFormsFillNames) {
  try {
    RaiseError(111, 3, "x");
    FAIL() << "RaiseError returned";
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 111);
    EXPECT_EQ(e.ErrPos, 3);
    EXPECT_EQ(e.ErrName1, "x");
    EXPECT_EQ(e.ErrName2, "");
    EXPECT_EQ(e.Message(), "Identifier redeclared: 'x'");
  }
  EXPECT_THROW(RaiseError(53, 0), EInterpreterError);
  EXPECT_THROW(RaiseError(183, 0, "a", "b"), Exception);
}

TEST(ScriptErrors, LinesCountEveryKindOfLineBreak) {
  const std::string text = "a\r\nb\r\nc\nd\re\n\nf";
  EXPECT_EQ(ErrorLineOf(text, 0), 1);
  EXPECT_EQ(ErrorLineOf(text, 2), 2);  // between CR and LF: the CR ended the line
  EXPECT_EQ(ErrorLineOf(text, 3), 2);
  EXPECT_EQ(ErrorLineOf(text, 6), 3);
  EXPECT_EQ(ErrorLineOf(text, 8), 4);   // after a lone LF
  EXPECT_EQ(ErrorLineOf(text, 10), 5);  // after a lone CR
  EXPECT_EQ(ErrorLineOf(text, 13), 7);  // two LFs, two lines
  EXPECT_EQ(ErrorLineOf(text, 14), 7);
  EXPECT_EQ(ErrorLineOf(text, 15), 0);
}

TEST(ScriptErrors, CompletionInUnitWinsOnce) {
  const std::string source = "a\r\nb\r\nfoo y";
  EInterpreterError e(104, 10, "y");
  EInterpreterError own(-1, -1);
  EXPECT_EQ(own.Message(), "");
  CompleteError(own, e, "X", source, 11);
  EXPECT_TRUE(e.Completed);
  EXPECT_EQ(e.ErrUnitName, "X");
  EXPECT_EQ(e.ErrLine, 3);
  EXPECT_EQ(e.Message(), "Error in unit 'X' on line 3 : Undeclared Identifier 'y'");
  EXPECT_EQ(e.Message1, "Undeclared Identifier 'y'");
  EXPECT_EQ(own.ErrCode, 104);
  EXPECT_EQ(own.ErrPos, 10);
  EXPECT_EQ(own.Message(), e.Message());
  EXPECT_EQ(own.Message1, e.Message1);
  EXPECT_FALSE(own.Completed);  // Assign leaves unit, line and completion

  // An outer run does not change it again.
  CompleteError(own, e, "Outer", "zzz", 0);
  EXPECT_EQ(e.ErrUnitName, "X");
  EXPECT_EQ(e.Message(), "Error in unit 'X' on line 3 : Undeclared Identifier 'y'");
}

TEST(ScriptErrors, CompletionOutsideUnitsFillsOnlyPosition) {
  EInterpreterError e(53, -1);
  EInterpreterError own(-1, -1);
  CompleteError(own, e, "", "1 + 'a'", 7);
  EXPECT_FALSE(e.Completed);
  EXPECT_EQ(e.ErrPos, 7);
  EXPECT_EQ(e.ErrLine, 0);
  EXPECT_EQ(e.Message(), "Type mismatch");
  // A later run inside a unit completes it with the position kept.
  CompleteError(own, e, "U", "1 + 'a'", 2);
  EXPECT_EQ(e.ErrPos, 7);
  EXPECT_EQ(e.Message(), "Error in unit 'U' on line 1 : Type mismatch");
}

TEST(ScriptErrors, PositionBeyondTextGivesLineZero) {
  EInterpreterError e(53, 50);
  CompleteInterpreterError(e, "U", "short", 0);
  EXPECT_EQ(e.ErrLine, 0);
  EXPECT_EQ(e.Message(), "Error in unit 'U' on line 0 : Type mismatch");
}

TEST(ScriptErrors, ForeignFailureFillsOwnError) {
  EConvertError failure("'x' is not a valid integer value");
  EInterpreterError own(-1, -1);
  own.Clear();
  CompleteError(own, failure, "U", "a\rb", 2);
  EXPECT_EQ(failure.Message(), "'x' is not a valid integer value");
  EXPECT_EQ(own.ErrCode, 6);
  EXPECT_EQ(own.ErrLine, 2);
  EXPECT_EQ(own.ErrUnitName, "U");
  EXPECT_EQ(own.Message1, "'x' is not a valid integer value");
  EXPECT_EQ(own.Message(), "Error in unit 'U' on line 2 : 'x' is not a valid integer value");
  // Once completed, a later failure leaves it alone.
  std::runtime_error other("other");
  CompleteError(own, other, "V", "", 0);
  EXPECT_EQ(own.ErrUnitName, "U");
}

TEST(ScriptErrors, AssignAndClear) {
  EInterpreterError source(201, 4, "F", "boom");
  source.ErrUnitName = "U";
  EInterpreterError e(-1, -1);
  e.Assign(source);
  EXPECT_EQ(e.ErrCode, 201);
  EXPECT_EQ(e.ErrPos, 4);
  EXPECT_EQ(e.ErrName1, "F");
  EXPECT_EQ(e.ErrName2, "boom");
  EXPECT_EQ(e.Message(), "Calling 'F' failed: 'boom'");
  EXPECT_EQ(e.ErrUnitName, "");
  e.Assign(std::runtime_error("plain"));
  EXPECT_EQ(e.Message(), "plain");
  EXPECT_EQ(e.ErrCode, 201);
  e.Clear();
  EXPECT_EQ(e.ErrPos, -1);
  EXPECT_EQ(e.ErrLine, -1);
  EXPECT_EQ(e.ErrName1, "");
  EXPECT_EQ(e.ErrCode, 201);
  EXPECT_EQ(e.Message(), "plain");
}

}  // namespace
