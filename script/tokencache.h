// Tokens of one script text remembered by the offset they were read from.
// A token is a pure function of the text and that offset, so the reader that
// jumps back over loop and function bodies reads each token once; a read that
// failed fails again, the same way, every time that token is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "variant.h"

struct TCachedToken;

// What the skipper did when it passed over code from a token: skipping is a
// pure function of the text and the token it starts at, so a pass that
// completed can be replayed. `Entry` tells which kind of skip it was.
struct TSkipMemo {
  const TCachedToken* End = nullptr;  // the current token afterwards; nullptr: none recorded
  uint64_t Reads = 0;                 // tokens it read
  int32_t Entry = 0;
  int32_t PrevKind = 0;  // the reader's previous kind afterwards
  int32_t Depth = 0;     // the deepest nesting it reached beyond its start
  bool PushedBack = false;
};

struct TCachedToken {
  size_t End = 0;       // the offset just after it
  int32_t Kind = 0;     // TokenKind
  int32_t Priority = 0; // OperatorPriority of Kind
  // A read that failed: the interpreter error code (0 for a conversion
  // failure) with its position and the message to raise again.
  bool Failed = false;
  bool HasValue = false;
  size_t Start = 0;     // where the token begins, after blanks and comments
  std::string Text;     // as the tokenizer gives it
  Variant Value;        // the token's value by kind; Empty for operators
  int32_t ErrorCode = 0;
  int32_t ErrorPos = -1;
  std::string ErrorMessage;
  // The evaluator's plan for an expression starting at this token: 0 until
  // worked out, -1 when there is none, else its number plus one.
  mutable int32_t Plan = 0;
  // The skipper's record of a pass from here; it goes with the token.
  mutable TSkipMemo Skip;
};

class TTokenCache {
 public:
  // Forgets every token, with the skips recorded on them, and takes a new
  // text (cut at its first NUL).
  void Reset(std::string_view text);
  std::string_view Text() const { return text_; }
  // The token at `offset` (clamped to the text). Raises the token's error,
  // freshly made, when reading it failed. The reference stays valid until
  // the next Reset.
  const TCachedToken& Read(size_t offset) {
    if (offset > text_.size()) offset = text_.size();
    const TCachedToken* t = slots_[offset];
    if (!t) t = &Fill(offset);
    if (t->Failed) Raise(*t);
    return *t;
  }

 private:
  const TCachedToken& Fill(size_t offset);
  [[noreturn]] static void Raise(const TCachedToken& t);

  std::string_view text_;
  std::vector<const TCachedToken*> slots_;  // per offset; nullptr until read
  std::deque<TCachedToken> tokens_;         // never moves its elements
};
