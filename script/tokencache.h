// Tokens of one script text remembered by the offset they were read from.
// A token is a pure function of the text and that offset, so the reader that
// jumps back over loop and function bodies reads each token once; a read that
// failed fails again, the same way, every time that token is read.
//
// The cache holds one slot per token read, not per byte of text, and every
// distinct text and literal value once, so that a long script costs a small
// multiple of its token count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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
  int32_t PrevKind = 0;     // the reader's previous kind afterwards
  uint32_t StackBytes = 0;  // native stack it took below its start
  bool PushedBack = false;
};

// What the skipper learnt at a token: the memo of a pass from it and, for a
// token that opens a block, the token after the block's `end`.
struct TTokenMarks {
  TSkipMemo Skip;
  const TCachedToken* BlockEnd = nullptr;  // the token after the matching `end`
  uint64_t BlockReads = 0;                 // tokens read to get there
  int32_t BlockPrevKind = 0;               // the kind before it (`end`)
};

// A token's text as the tokenizer gives it and, for a literal, its value;
// one for all tokens spelt alike.
struct TTokenSpelling {
  std::string Text;
  Variant Value;  // Empty for anything but a literal
};

struct TCachedToken {
  uint32_t Offset = 0;  // where it was read from (before blanks and comments)
  uint32_t End = 0;     // the offset just after it
  // The evaluator's plan for an expression starting at this token: 0 until
  // worked out, -1 when there is none, else its number plus one.
  mutable int32_t Plan = 0;
  int8_t Kind = 0;      // TokenKind
  int8_t Priority = 0;  // OperatorPriority of Kind
  // Reading it failed; the cache raises its error again on every read.
  bool Failed = false;
  // The right side of an assignment starts here and is no in-place append
  // (of another shape, or its target is no local text): a pure function of
  // the text, so it is looked at once.
  mutable bool NoAppend = false;
  const TTokenSpelling* Spelling = nullptr;
  // The token read at End, once it was read from here.
  mutable const TCachedToken* Next = nullptr;

  const std::string& Text() const { return Spelling->Text; }
  const Variant& Value() const { return Spelling->Value; }
};

class TTokenCache {
 public:
  TTokenCache();
  // Forgets every token, with the skips recorded on them, and takes a new
  // text (cut at its first NUL).
  void Reset(std::string_view text);
  std::string_view Text() const { return text_; }
  // The token at `offset` (clamped to the text). Raises the token's error,
  // freshly made, when reading it failed. The reference stays valid until
  // the next Reset. Inline: loops jump back to the same few offsets, which
  // a small table answers before the search.
  const TCachedToken& Read(size_t offset) {
    if (offset > text_.size()) offset = text_.size();
    const Jump& jump = jumps_[offset % kJumps];
    const TCachedToken* t = jump.Token && jump.Offset == offset ? jump.Token : &Look(offset);
    if (t->Failed) Raise(*t);
    return *t;
  }
  // The token right after `t`, a token of this cache; the same as
  // Read(t.End), without a search once it has been read.
  const TCachedToken& Follow(const TCachedToken& t) {
    if (t.Next) return *t.Next;
    const TCachedToken& next = Read(t.End);
    t.Next = &next;
    return next;
  }
  // The skipper's marks on `t`, a token of this cache: made when missing,
  // or nullptr when there are none yet.
  TTokenMarks& Marks(const TCachedToken& t) { return marks_[&t]; }
  const TTokenMarks* FindMarks(const TCachedToken& t) const {
    auto it = marks_.find(&t);
    return it == marks_.end() ? nullptr : &it->second;
  }
  // Tokens read so far.
  size_t Count() const { return tokens_.size(); }

 private:
  struct Jump {
    size_t Offset = 0;
    const TCachedToken* Token = nullptr;
  };
  static constexpr size_t kJumps = 64;
  struct Failure {
    int32_t Code = 0;  // the interpreter error code; 0 for a conversion failure
    int32_t Pos = -1;
    std::string Message;
  };

  // Read past the table of recent jumps, which it updates.
  const TCachedToken& Look(size_t offset);
  const TCachedToken& Fill(size_t offset);
  // The slot of the token read at `offset`, or the empty slot for it.
  uint32_t* Find(uint32_t offset);
  void Grow();
  [[noreturn]] void Raise(const TCachedToken& t) const;
  const TTokenSpelling& Spell(std::string text, int32_t kind);

  std::string_view text_;
  // Token numbers plus one by offset (0: empty); open addressing, at most
  // half full, the offset read from the token itself.
  std::vector<uint32_t> slots_;
  Jump jumps_[kJumps];
  std::deque<TCachedToken> tokens_;  // never moves its elements
  std::unordered_map<std::string, TTokenSpelling> spellings_;
  std::unordered_map<const TCachedToken*, Failure> failures_;
  std::unordered_map<const TCachedToken*, TTokenMarks> marks_;
};
