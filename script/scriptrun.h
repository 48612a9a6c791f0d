// What one program object keeps for the scripts it runs, and which program
// runs on this thread: the objects its scripts created, the budget of the
// memory they hold, and how deep the native stack may go. Values, arrays,
// records and host callbacks reach the running program through
// CurrentScriptRun(), since they are made far from the program object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "errors.h"
#include "scriptlimits.h"
#include "scriptowned.h"

// Bytes the budget counts for the kinds of storage scripts hold.
constexpr int64_t kValueBytes = 32;         // one generic value
constexpr int64_t kStringBytes = 48;        // a string's own block, beside its characters
constexpr int64_t kPayloadBytes = 128;      // an array or record holder
constexpr int64_t kStringElementBytes = 32; // one slot of a string array

class TScriptRun {
 public:
  TScriptRun() = default;
  TScriptRun(const TScriptRun&) = delete;
  TScriptRun& operator=(const TScriptRun&) = delete;

  TScriptLimits Limits;
  // The objects scripts created through host constructors; freed with the
  // program object unless Free or raising released them first.
  TScriptObjects Objects;
  // Measures the bytes the program's scripts hold now.
  std::function<int64_t()> Census;

  // Counts `bytes` a script is about to take. When the count passes the
  // budget the program's holdings are measured afresh (values that went away
  // no longer count); still over budget, or within a sixteenth of it (where
  // counting after every allocation would cost more than the script), is
  // error 2 "Out of memory" and nothing is taken.
  void Charge(int64_t bytes) {
    charged_ += bytes;
    if (charged_ > Limits.MemoryBudget) Recount(bytes);
  }
  // The bytes counted since the last measure, plus what it found.
  int64_t Charged() const { return charged_; }

  // The lowest native stack address scripts of this run may reach; nullptr
  // outside a run.
  const char* StackLimit() const { return stackLimit_; }

 private:
  friend class TScriptRunScope;
  friend class TScriptText;
  void Recount(int64_t bytes);

  int64_t charged_ = 0;
  // Bytes host routines are building for scripts right now (TScriptText):
  // no value holds them yet, so every measure adds them.
  int64_t building_ = 0;
  const char* stackLimit_ = nullptr;
};

// Makes `run` the one running on this thread for the scope's life and sets
// its stack limit; scopes nest (a host callback running another program).
class TScriptRunScope {
 public:
  explicit TScriptRunScope(TScriptRun& run);
  ~TScriptRunScope();
  TScriptRunScope(const TScriptRunScope&) = delete;
  TScriptRunScope& operator=(const TScriptRunScope&) = delete;

  TScriptRun& Run() const { return run_; }
  const TScriptRunScope* Outer() const { return outer_; }

 private:
  TScriptRun& run_;
  TScriptRunScope* outer_;
  const char* savedLimit_;
};

// The run of the program running on this thread, or nullptr.
TScriptRun* CurrentScriptRun();
// The innermost scope on this thread, or nullptr; for walking outward.
const TScriptRunScope* CurrentScriptRunScope();

// Charges the running program, if any (see TScriptRun::Charge).
void ChargeScriptMemory(int64_t bytes);

// Error 2 "Out of memory".
[[noreturn]] void RaiseScriptOutOfMemory();

// A text a host routine builds for the program running on this thread, in
// pieces whose total it cannot tell beforehand (a charset conversion, a
// format). Room is charged to the run's budget before the text takes it, so
// a text that would not fit fails with "Out of memory" before it is made;
// until it is taken, every measure of the run's holdings counts it. Outside
// any run it is a plain string.
class TScriptText {
 public:
  TScriptText() : run_(CurrentScriptRun()) {}
  ~TScriptText() { Release(); }
  TScriptText(const TScriptText&) = delete;
  TScriptText& operator=(const TScriptText&) = delete;

  TScriptText& operator+=(std::string_view piece) {
    if (text_.size() + piece.size() > text_.capacity()) Grow(piece.size());
    text_.append(piece);
    return *this;
  }
  TScriptText& operator+=(char c) { return *this += std::string_view(&c, 1); }

  // The text; from here on the value that holds it is what the budget counts.
  std::string Take();

 private:
  // Charges and reserves room for `more` bytes beyond the text, at least
  // doubling it so that a text built a byte at a time is charged seldom.
  void Grow(size_t more);
  void Release();

  TScriptRun* run_;
  int64_t charged_ = 0;
  std::string text_;
};

// Error 52 when the native stack has grown below `limit` (nullptr: no
// limit). Inline: every nesting level of the interpreter passes here.
inline void CheckNativeStack(const char* limit) {
  if (limit && static_cast<const char*>(__builtin_frame_address(0)) < limit) RaiseError(52, -1);
}
// The same for a stack position `at` the caller took itself.
inline void CheckNativeStackAt(const char* limit, uintptr_t at) {
  if (at < reinterpret_cast<uintptr_t>(limit)) RaiseError(52, -1);
}
