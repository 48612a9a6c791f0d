// The statement interpreter: runs statements straight from the token stream
// (loops jump the reader back, code that does not run is passed over by the
// skipper), with frames for the locals of each running script function.
#pragma once

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datatypes.h"
#include "entries.h"
#include "expression.h"
#include "functiondesc.h"
#include "values.h"
#include "variables.h"

// A script raised an exception object that is not an exception in flight:
// carries that object and its message. An object the script created goes
// with the exception and is freed with its last copy; a host's object is
// only named (by checked handle).
class EScriptRaise : public Exception {
  PX_CLASS(EScriptRaise, Exception)
 public:
  EScriptRaise(const Exception& raised, std::shared_ptr<TObject> owned);
  // The raised object, or nullptr once it has been freed.
  TObject* Raised() const { return TObject::FromHandle(handle_); }

 private:
  uint64_t handle_;
  std::shared_ptr<TObject> owned_;
};

class TInterpreterFunction : public TInterpreterExpression {
  PX_CLASS(TInterpreterFunction, TInterpreterExpression)
 public:
  TInterpreterFunction();
  ~TInterpreterFunction() override;

  void Init() override;
  // Runs the text as a main block (optional var and const sections, then
  // begin ... end;).
  void Run() override;

  bool GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args) override;
  bool SetValue(const std::string& identifier, const Variant& value, TInterpreterArgs& args) override;
  const Variant* LocalValue(const std::string& name) const override;

  // The unit whose text is running; names declarations and errors.
  const std::string& CurrentUnit() const { return currentUnit_; }

 protected:
  void CountHeld(TValueCensus& census) const override;
  // The part of GetValue that reads a local of the running function; false
  // when the name is none of them. Inline: every name a function reads
  // asks here first.
  bool FrameValue(const std::string& identifier, Variant& value, const TInterpreterArgs& args) const {
    if (!frame_ || (!args.Obj.IsEmpty() && args.HasObj())) return false;
    const TInterpreterVar* var = frame_->Vars.LookupVariable({}, identifier);
    if (!var) return false;
    CopyValue(value, var->Value);
    return true;
  }

  // Called before each statement; a host may stop a runaway script here by
  // raising.
  virtual void StatementHook() {}

  // Runs one function body from the current token with the current call
  // arguments as its parameters (`desc` nullptr for a main block), ending
  // with `closing` (`;`, or `.` for a program's main block).
  void RunFunction(const TInterpreterFunctionDesc* desc, int32_t closing = tkSemicolon);
  void ExecuteStatement();
  void SkipStatement();
  void SkipBlock();
  void SkipExpression();
  void SkipToUntil();
  void SkipToToken(int32_t kind);

  // Receives each name a var or const section declares.
  using TDeclare = std::function<void(const std::string& name, const std::string& typeName, TVarType kind,
                                      const Variant& value, const TDataTypePtr& dataType)>;
  // At `var` / `const`: reads the section; the token after it is left
  // pushed back.
  void ReadVarSection(const TDeclare& add);
  void ReadConstSection(const TDeclare& add);
  // Reads a type at the current token; leaves the token after it current.
  TDataTypePtr ReadDataType(std::string* typeName = nullptr);

  // Saved reader states, one for each script function, while loop and event
  // binding running; a push past kMaxSavedStates and a pop from none are
  // internal error 2. Inline: every call of a script function saves one.
  void PushState() {
    if (stateTop_ >= kMaxSavedStates) RaiseError(2, -1);
    states_[stateTop_++] = SaveReader();
  }
  void PopState() {
    if (stateTop_ == 0) RaiseError(2, -1);
    RestoreReader(states_[--stateTop_]);
  }
  void DropState() {
    if (stateTop_ == 0) RaiseError(2, -1);
    --stateTop_;
  }

  // Reads at most one more token when a skip made no progress, so that no
  // skip loop can spin.
  uint64_t Reads() const { return reads_; }

  std::string currentUnit_;
  const TInterpreterFunctionDesc* function_ = nullptr;
  bool break_ = false;
  bool continue_ = false;
  bool exit_ = false;

 private:
  struct TFrame {
    TInterpreterVarList Vars;
    const TInterpreterFunctionDesc* Desc = nullptr;
  };
  // Frames are kept one per call depth reached; the memory budget counts
  // them with their variables' storage.
  static constexpr int64_t kFrameBytes = sizeof(TFrame);
  // Takes the saved states back to a height when the scope ends, also when
  // it ends by an error.
  struct TStatesMark {
    size_t& Top;
    size_t Height;
    ~TStatesMark() {
      if (Top > Height) Top = Height;
    }
  };
  // An exception being handled by an except part, for `raise E`.
  struct THandled {
    std::exception_ptr Error;
    TObject* Object;
  };

  void Compound();
  void IdentifierStatement();
  // The rest of `target := value` from its `:`.
  void AssignmentTail(const std::string& target);
  void Assignment(const std::string& target);
  // `s := s + a + b ...` with s a local text: the pieces are appended to s's
  // own text (copied first only when something else shares it), so building
  // a text piece by piece costs its length once, not once per piece. False,
  // with nothing read, when the statement has another shape.
  bool AppendInPlace(const std::string& target);
  // The tokens after `target +` are pieces joined by `+` up to the end of
  // the statement, none naming `target`; the reader is left where it was.
  bool AppendsOnly(const std::string& target);
  // `obj.Event := Handler` or `obj.Event := nil`: binds a script function to
  // an event of a host object; false (nothing read) when the statement is
  // not such a binding.
  bool BindEvent(const std::string& target);
  void IfStatement();
  void WhileStatement();
  void RepeatStatement();
  void ForStatement();
  void CaseStatement();
  void TryStatement();
  void RaiseStatement();
  void SkipRestOfBlock();
  // After a case branch that ran: the branches left, whose labels may hold
  // ranges, up to the case's `end`.
  void SkipRestOfCase();
  void SkipTryPart();
  // The passes behind the Skip entry points, which replay a pass when they
  // have its record.
  enum TSkipEntry : int32_t { skStatement = 1, skBlock, skToUntil, skRestOfBlock, skTryPart, skRestOfCase };
  void PassStatement();
  void PassBlock();
  // At a block's first token: moves past its `end` when an earlier pass
  // found it; false, with nothing moved, otherwise.
  bool JumpBlock();
  void PassToUntil();
  void PassRestOfBlock();
  void PassRestOfCase();
  void PassTryPart();
  // Replays what a completed pass of `entry` from the current token did,
  // when there is one and the stack could carry the pass; else runs `pass`
  // and records it. `base` is the native stack position the pass starts
  // from.
  void Skip(TSkipEntry entry, void (TInterpreterFunction::*pass)());
  bool ReplaySkip(TSkipEntry entry, uintptr_t base);
  void RecordSkip(TSkipEntry entry, void (TInterpreterFunction::*pass)(), uintptr_t base);
  // The stack guard of a recursive pass at its own frame `at`, which is
  // also noted as the depth the pass reached, for the record of the pass.
  void CheckSkipStack(uintptr_t at) {
    CheckNativeStackAt(run_.StackLimit(), at);
    NoteSkipDepth(at);
  }
  void NoteSkipDepth(uintptr_t at) {
    if (at < skipDeepest_) skipDeepest_ = at;
  }
  // Runs an except part for `error`; true when it handled it.
  bool RunExceptPart(const std::exception_ptr& error);
  // A local of the running function; one that `hides` an older local of
  // that name (an except handler's variable) is no error 111.
  TInterpreterVar& DeclareLocal(std::string_view name, std::string_view typeName, TVarType kind, const Variant& value,
                                bool hides = false);
  void ProgressSkip(uint64_t before);

  // The deepest native stack position the skips being recorded reached.
  uintptr_t skipDeepest_ = 0;
  std::vector<std::unique_ptr<TFrame>> frames_;
  size_t frameTop_ = 0;
  TFrame* frame_ = nullptr;
  std::array<TReaderState, kMaxSavedStates> states_;
  size_t stateTop_ = 0;
  std::vector<THandled> handled_;
  // Event objects this interpreter bound to host objects.
  std::vector<std::shared_ptr<TInterpreterEventAdapter>> events_;
};
