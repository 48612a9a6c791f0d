// Script errors: error texts, message formatting and completion with unit
// name and line.
#include "errors.h"

#include <iterator>

#include "cp1251.h"

namespace {

struct ErrorText {
  int32_t code;
  const char* text;
};

// Texts as users and gate authors have always seen them, stray blanks and
// quotes included.
constexpr ErrorText kErrorTexts[] = {
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
static_assert(std::size(kErrorTexts) == 53);

constexpr int32_t kCompletedCode = 5;
constexpr int32_t kForeignCode = 6;

std::string MessageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return e.what();
}

void FillUnitAndLine(EInterpreterError& e, std::string_view unitName, std::string_view source,
                     int32_t readPosition, int32_t messageCode) {
  if (e.Completed) return;
  if (e.ErrPos == -1) e.ErrPos = readPosition;
  if (e.ErrUnitName.empty()) e.ErrUnitName = std::string(unitName);
  if (e.ErrUnitName.empty()) return;
  e.ErrLine = ErrorLineOf(source, e.ErrPos);
  const std::string args[] = {e.ErrUnitName, std::to_string(e.ErrLine), e.Message1};
  e.SetMessage(FormatErrorText(ErrorCodeText(messageCode), args, std::size(args)));
  e.Completed = true;
}

}  // namespace

std::string ErrorCodeText(int32_t code) {
  for (const ErrorText& entry : kErrorTexts)
    if (entry.code == code) return entry.text;
  return std::string();
}

std::string FormatErrorText(std::string_view format, const std::string* args, size_t count) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    size_t index = next;
    size_t digits = j;
    while (digits < format.size() && cp1251::IsDigit(format[digits])) ++digits;
    if (digits > j && digits < format.size() && format[digits] == ':') {
      index = std::stoul(std::string(format.substr(j, digits - j)));
      j = digits + 1;
    }
    if (j >= format.size() || (format[j] != 's' && format[j] != 'd')) {
      out += '%';  // not a conversion this table uses: keep it as text
      continue;
    }
    if (index < count) out += args[index];
    next = index + 1;
    i = j;
  }
  return out;
}

int32_t ErrorLineOf(std::string_view source, int32_t pos) {
  if (pos < 0 || static_cast<size_t>(pos) > source.size()) return 0;
  // CR LF, a lone CR and a lone LF each end one line: gates imported through
  // XML lose their CRs, and their errors must not all land on line 1.
  int32_t line = 1;
  for (size_t i = 0; i < static_cast<size_t>(pos); ++i)
    if (source[i] == '\r' || (source[i] == '\n' && (i == 0 || source[i - 1] != '\r'))) ++line;
  return line;
}

EInterpreterError::EInterpreterError(int32_t errCode, int32_t errPos, std::string errName1, std::string errName2)
    : Exception(std::string()), ErrCode(errCode), ErrPos(errPos), ErrName1(std::move(errName1)),
      ErrName2(std::move(errName2)) {
  const std::string args[] = {ErrName1, ErrName2};
  Message1 = FormatErrorText(ErrorCodeText(ErrCode), args, std::size(args));
  SetMessage(Message1);
}

void EInterpreterError::Assign(const std::exception& source) {
  SetMessage(MessageOf(source));
  const auto* e = dynamic_cast<const EInterpreterError*>(&source);
  if (!e) return;
  ErrCode = e->ErrCode;
  ErrPos = e->ErrPos;
  ErrName1 = e->ErrName1;
  ErrName2 = e->ErrName2;
  Message1 = e->Message1;
}

void EInterpreterError::Clear() {
  Completed = false;
  ErrName1.clear();
  ErrName2.clear();
  ErrUnitName.clear();
  ErrPos = -1;
  ErrLine = -1;
}

void RaiseError(int32_t code, int32_t pos) { throw EInterpreterError(code, pos); }

void RaiseError(int32_t code, int32_t pos, std::string name1) {
  throw EInterpreterError(code, pos, std::move(name1));
}

void RaiseError(int32_t code, int32_t pos, std::string name1, std::string name2) {
  throw EInterpreterError(code, pos, std::move(name1), std::move(name2));
}

void CompleteInterpreterError(EInterpreterError& e, std::string_view unitName, std::string_view source,
                              int32_t readPosition) {
  FillUnitAndLine(e, unitName, source, readPosition, kCompletedCode);
}

void CompleteError(EInterpreterError& own, std::exception& raised, std::string_view unitName,
                   std::string_view source, int32_t readPosition) {
  if (auto* e = dynamic_cast<EInterpreterError*>(&raised)) {
    CompleteInterpreterError(*e, unitName, source, readPosition);
    own.Assign(*e);
    return;
  }
  if (own.Completed) return;
  own.ErrCode = kForeignCode;
  own.Message1 = MessageOf(raised);
  own.SetMessage(own.Message1);
  // A foreign failure still reads "Error in unit ...": the message is built
  // with the same text as an interpreter error.
  FillUnitAndLine(own, unitName, source, readPosition, kCompletedCode);
}
