// Script errors: the one exception class every interpreter failure is
// reported with, its table of English texts, and the rule that adds unit
// name and line once an error leaves a run.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "exceptions.h"

class EInterpreterError : public Exception {
  PX_CLASS(EInterpreterError, Exception)
 public:
  // Builds the message at once from the code's text with the two names as
  // its string arguments; that message is also kept as Message1.
  EInterpreterError(int32_t errCode, int32_t errPos, std::string errName1 = {}, std::string errName2 = {});

  // Copies the message of any exception; from an interpreter error also its
  // code, position, names and plain message (not unit, line or completion).
  void Assign(const std::exception& source);
  // Forgets position, names, unit and line; code and messages stay.
  void Clear();

  bool Completed = false;
  int32_t ErrCode;
  int32_t ErrPos;
  std::string ErrName1;
  std::string ErrName2;
  std::string ErrUnitName;
  int32_t ErrLine = 0;
  std::string Message1;
};

// The text of an error code, or "" for a code not in the table.
std::string ErrorCodeText(int32_t code);

// Creates and throws an interpreter error.
[[noreturn]] void RaiseError(int32_t code, int32_t pos);
[[noreturn]] void RaiseError(int32_t code, int32_t pos, std::string name1);
[[noreturn]] void RaiseError(int32_t code, int32_t pos, std::string name1, std::string name2);

// Delphi Format over string arguments: "%s", "%0:s", "%1:d" (the argument
// text is used as it is) and "%%". Arguments are never read as formats.
std::string FormatErrorText(std::string_view format, const std::string* args, size_t count);

// The 1-based line of an offset: 1 plus the line breaks before it (CR LF, a
// lone CR and a lone LF count one each), or 0 when the offset lies beyond
// the text.
int32_t ErrorLineOf(std::string_view source, int32_t pos);

// Fills in position, unit and line of an error leaving a run of `unitName`
// (empty outside a unit); the first completion wins. `readPosition` is the
// tokenizer's offset at the time.
void CompleteInterpreterError(EInterpreterError& e, std::string_view unitName, std::string_view source,
                              int32_t readPosition);

// What the expression object does with any exception leaving a run: an
// interpreter error is completed and copied into `own`; any other failure
// fills `own` with code 6 and its message (unless `own` is already complete).
// The exception itself travels on unchanged apart from that completion.
void CompleteError(EInterpreterError& own, std::exception& raised, std::string_view unitName,
                   std::string_view source, int32_t readPosition);
