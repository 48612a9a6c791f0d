// The tokenizer of the gate script language: cuts the script text into tokens
// on demand, tells the kind of a token text, and holds the operator
// priorities. Positions are byte offsets into the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Token kinds the evaluator switches on.
enum TokenKind : int32_t {
  tkEnd = 0,
  tkUnknown = -1,
  tkIdentifier = 10,
  tkInteger = 11,
  tkFloat = 12,
  tkString = 13,
  tkNot = 21,
  tkMul = 22,
  tkSlash = 23,
  tkDiv = 24,
  tkMod = 25,
  tkAnd = 26,
  tkPlus = 27,
  tkMinus = 28,
  tkOr = 29,
  tkEqual = 30,
  tkGreater = 31,
  tkLess = 32,
  tkNotEqual = 33,
  tkGreaterEqual = 34,
  tkLessEqual = 35,
  tkShl = 36,
  tkShr = 37,
  tkXor = 38,
  tkOpenParen = 40,
  tkCloseParen = 41,
  tkComma = 42,
  tkDot = 43,
  tkColon = 44,
  tkSemicolon = 45,
  tkOpenBracket = 46,
  tkCloseBracket = 47,
  tkRange = 48,
  tkDoubleQuote = 49,
  tkFalse = 63,
  tkTrue = 65,
  tkBegin = 66,
  tkEndKeyword = 67,
  tkIf = 68,
  tkThen = 69,
  tkElse = 70,
  tkWhile = 71,
  tkDo = 72,
  tkRepeat = 73,
  tkUntil = 74,
  tkProcedure = 75,
  tkFunction = 76,
  tkFor = 77,
  tkTo = 78,
  tkBreak = 79,
  tkContinue = 80,
  tkVar = 81,
  tkTry = 82,
  tkFinally = 83,
  tkExcept = 84,
  tkOn = 85,
  tkRaise = 86,
  tkExternal = 87,
  tkUnit = 88,
  tkUses = 89,
  tkConst = 90,
  tkPublic = 91,
  tkPrivate = 92,
  tkProtected = 93,
  tkPublished = 94,
  tkProperty = 95,
  tkClass = 96,
  tkType = 97,
  tkInterface = 98,
  tkImplementation = 99,
  tkExit = 100,
  tkArray = 101,
  tkOf = 102,
  tkCase = 103,
  tkProgram = 104,
  tkIn = 105,
  tkRecord = 106,
  tkDownto = 107,
};

// One token read from a text: where it starts (after blanks and comments),
// the offset just after it, and its text as the evaluator sees it (string
// literals with doubled quotes collapsed, `#` codes turned into literals).
struct TToken {
  size_t Start = 0;
  size_t End = 0;
  std::string Text;
};

// Reads the token that follows `offset` in `source`; a pure function of the
// two, which is what lets callers jump back and re-read. The text ends at its
// length or at its first NUL, whichever comes first. Throws
// EInterpreterError 101 for a comment that is not closed or not opened, and
// EConvertError for a `#` code that does not fit a 32-bit integer.
TToken ReadToken(std::string_view source, size_t offset);
// The script text as the tokenizer sees it: `source` up to its first NUL.
std::string_view ScriptText(std::string_view source);
// ReadToken on a text already cut by ScriptText: the evaluator's hot path,
// with no scan for the terminator.
TToken ReadTokenIn(std::string_view text, size_t offset);

// The kind of a token text (a TokenKind value).
int32_t ClassifyToken(std::string_view text);

// Binding strength of an operator kind; 0 for anything that is not one.
int32_t OperatorPriority(int32_t kind);

// The kind of a keyword (compared without regard to case), or 0 when the
// text is not one.
int32_t KeywordKind(std::string_view text);

class TInterpreterParser {
 public:
  // Stores the text and moves to its start.
  void SetSource(std::string source);
  const std::string& Source() const { return source_; }
  // Moves to the start of the text.
  void Restart() { position_ = 0; }
  size_t GetPosition() const { return position_; }
  // Moves to an offset an earlier GetPosition returned (clamped to the text).
  void SetPosition(size_t offset) { position_ = offset > length_ ? length_ : offset; }
  // The next token's text ("" at the end), leaving the position just after
  // it. On failure the position does not move.
  std::string NextTokenText();

 private:
  std::string source_;
  size_t length_ = 0;  // of source_ up to its first NUL
  size_t position_ = 0;
};
