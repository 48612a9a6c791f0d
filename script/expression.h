// The expression evaluator of the gate script language: reads tokens from
// the script text, evaluates one expression by operator priority over an
// operand stack, resolves names through the interpreter's own lookups, the
// registries and the host events, and adds unit and line to errors.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "args.h"
#include "errors.h"
#include "exceptions.h"
#include "scriptlimits.h"
#include "object.h"
#include "scriptrun.h"
#include "speedlayer.h"
#include "tokencache.h"
#include "tokenizer.h"
#include "variant.h"

class TInterpreterAdapter;
class TValueCensus;

// Reading a string out of its bounds.
class ERangeError : public Exception {
  PX_CLASS(ERangeError, Exception)
 public:
  ERangeError() : Exception("Range check error") {}
};

// An expression made only of local names, literals, binary operators and
// parentheses, read once per place in the text and kept as the order its
// operands and operators are worked in.
struct TInterpreterExprStep {
  enum : uint8_t { Local, Literal, Operator } What;
  int32_t Op;                  // the operator's token kind
  const TCachedToken* Token;   // the name or the literal
};
struct TInterpreterExprPlan {
  std::vector<TInterpreterExprStep> Steps;
  const TCachedToken* End = nullptr;  // the token the expression stops at
  int32_t PrevKind = 0;               // the kind of the token before it
  int32_t LastNameNext = -1;          // the kind after the last name; -1 without names
  uint32_t Reads = 0;                 // tokens read past the first
  int32_t Nesting = 0;                // operand levels entered
  int32_t Held = 0;                   // values held at once
};

class TInterpreterExpression : public TObject {
  PX_CLASS(TInterpreterExpression, TObject)
 public:
  TInterpreterExpression();
  ~TInterpreterExpression() override;
  TInterpreterExpression(const TInterpreterExpression&) = delete;
  TInterpreterExpression& operator=(const TInterpreterExpression&) = delete;

  // Takes a new script text.
  void SetSource(std::string source);
  const std::string& Source() const { return src_->Text; }

  // Evaluates the whole text as one expression into ResultValue.
  virtual void Run();
  // Resets the run state: result, operand stack, reader, call arguments, the
  // own registry and the last error.
  virtual void Init();

  // The bounds of this program's runs; a host may change them between runs.
  TScriptLimits& Limits() { return run_.Limits; }
  // The objects this program's scripts created and have not freed; they are
  // freed with the program object.
  TScriptObjects& ScriptObjects() { return run_.Objects; }
  // Bytes the memory budget has counted for this program so far.
  int64_t ChargedMemory() const { return run_.Charged(); }

  Variant ResultValue;
  TInterpreterGetValue OnGetValue;
  TInterpreterSetValue OnSetValue;
  // Counts what the host keeps on behalf of this program's scripts beyond
  // their own values (texts its objects store for them), so that the memory
  // budget's census sees it too.
  std::function<void(TValueCensus&)> OnCountHeld;

  // The last error that left a run, with unit and line when known.
  const EInterpreterError& LastError() const { return lastError_; }
  TInterpreterAdapter& OwnAdapter() { return *adapter_; }
  TInterpreterAdapter& SharedAdapter() { return *shared_; }

  // Name resolution, each true when the name was served: own registry,
  // shared registry, then the host events.
  virtual bool GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args);
  virtual bool SetValue(const std::string& identifier, const Variant& value, TInterpreterArgs& args);
  // An element of a string, an array or a default indexed property.
  virtual bool GetElement(const Variant& variable, Variant& value, TInterpreterArgs& args);
  virtual bool SetElement(Variant& variable, const Variant& value, TInterpreterArgs& args);

  // A variable of the running function that a plain name reads directly,
  // or nullptr; only names no lookup could serve earlier qualify.
  virtual const Variant* LocalValue(const std::string& /*name*/) const { return nullptr; }

  // Adds position, unit and line to an error leaving a run of `unitName`
  // and records it as the last error.
  void ApplyErrorContext(std::exception& e, std::string_view unitName);

 protected:
  // Counts every value this program holds (the memory budget's census).
  virtual void CountHeld(TValueCensus& census) const;
  // Makes this program the one running on this thread for a public entry.
  TScriptRunScope EnterRun() { return TScriptRunScope(run_); }
  // Error 52 when the native stack is nearly used up.
  void CheckStack() const { CheckNativeStack(run_.StackLimit()); }

  // Reader. The hot path of every run, so it is inline, also where the
  // compiler would weigh a large caller against it.
  [[gnu::always_inline]] void NextToken() {
    if (pushedBack_) {
      pushedBack_ = false;
      return;
    }
    prevKind_ = kind_;
    ++reads_;
    const TCachedToken* t = follow_ ? follow_->Next : nullptr;
    if (!t) t = &PeekToken();
    token_ = t;
    kind_ = t->Kind;
    position_ = t->End;
    follow_ = t;
  }
  // True when the current token was just read from the current text (not
  // pushed back, nor the reader's start): what is learnt at it may be kept
  // on it.
  bool AtReadToken() const;
  // The token the next NextToken reads, without reading it.
  const TCachedToken& PeekToken();
  void PushBackToken() {
    if (pushedBack_) RaiseError(2, -1);
    pushedBack_ = true;
  }
  void SetPosition(size_t offset);
  size_t Position() const { return position_; }
  int32_t TokenStartPos() const;
  int32_t TokenEndPos() const { return static_cast<int32_t>(position_); }
  int32_t Kind() const { return kind_; }
  const std::string& TokenText() const { return token_->Text(); }
  const Variant& TokenValue() const { return token_->Value(); }
  // Error 103: `what` expected, the current token (or "End of File") found.
  [[noreturn]] void RaiseExpected(const std::string& what) const;
  [[noreturn]] void RaiseExpectedCode(int32_t code) const { RaiseExpected(ErrorCodeText(code)); }

  // One expression from the current token; EVariantError becomes error 53.
  void EvaluateExpression(Variant& result);
  // An expression whose kind must be exactly `kind` (108 for Integer, 105
  // for Boolean, 1 otherwise), read with assignment off.
  void EvaluateTyped(TVarType kind, Variant& result);
  // Resolves `name` (the current token is the one after it, not yet read)
  // with `object` on the left of the dot (nullptr for a plain name).
  void ReadDesignator(const std::string& name, const Variant* object, Variant& result) {
    if (ReadName(name, object, result)) ReadMembers(result);
  }
  // One name of a designator, with its arguments or indexes: true when a
  // `.` follows (left current), false when the designator ends there (the
  // token after it pushed back).
  bool ReadName(const std::string& name, const Variant* object, Variant& result);
  // At the `.` after `result`: the members that follow, each looked up on
  // the value of the one before, into `result`.
  void ReadMembers(Variant& result);

  // Call arguments: the current object and a pool of fresh ones, so that the
  // arguments of a nested call never disturb the outer list.
  TInterpreterArgs& Args() { return *args_; }
  class ArgsScope {
   public:
    explicit ArgsScope(TInterpreterExpression& e);
    ~ArgsScope();
    TInterpreterArgs& Fresh() { return *fresh_; }

   private:
    TInterpreterExpression& e_;
    TInterpreterArgs* saved_;
    TInterpreterArgs* fresh_;
  };

  // The state the reader is in, for jumping back.
  struct TReaderState {
    size_t Position = 0;
    const TCachedToken* Token = nullptr;
    int32_t Kind = 0;
    int32_t PrevKind = 0;
    bool PushedBack = false;
    bool AssignAllowed = true;
  };
  // Inline: every call of a script function saves and restores the reader.
  TReaderState SaveReader() const { return {position_, token_, kind_, prevKind_, pushedBack_, assignAllowed_}; }
  void RestoreReader(const TReaderState& s) {
    position_ = s.Position;
    token_ = s.Token;
    follow_ = nullptr;
    kind_ = s.Kind;
    prevKind_ = s.PrevKind;
    pushedBack_ = s.PushedBack;
    assignAllowed_ = s.AssignAllowed;
  }

  // One script text with its tokens. Texts of other units stay alive while
  // their functions run, so saved reader states stay valid.
  struct TSourceText {
    std::string Text;
    TTokenCache Tokens;
    std::vector<TInterpreterExprPlan> Plans;
  };
  // Makes `text` current (reusing a text seen before) and returns the one
  // it replaced; RestoreSource puts that back.
  TSourceText* SwitchSource(const std::string& text);
  void RestoreSource(TSourceText* previous) {
    src_ = previous;
    follow_ = nullptr;
  }

  uint64_t reads_ = 0;      // tokens read, for skip loops to see progress
  std::string targetName_;  // the name an assignment designator stopped at
  bool assignAllowed_ = true;
  EInterpreterError lastError_{-1, -1};
  int32_t exprDepth_ = 0;  // operand nesting of the running frame

 protected:
  void ParseOperand(int32_t op, Variant& result);
  // Evaluates the expression at the current token by its plan, leaving the
  // reader, the arguments and the result as ParseOperand would; false, with
  // nothing changed, when the expression has no plan or its names or values
  // are not the plain ones a plan covers.
  bool RunPlan(Variant& result);
  int32_t MakePlan(const TCachedToken& start);
  bool RunIntegerPlan(const TInterpreterExprPlan& plan, Variant& result);
  bool RunVariantPlan(const TInterpreterExprPlan& plan, Variant& result);
  bool ReadLocal(const std::string& name, Variant& result);
  void Push(const Variant& v);
  void ReadCallArguments(int32_t closing);
  // Argument `index` of `outer`, which starts with a name followed by `.`
  // or `[`: when it is one element or record field and nothing more, it is
  // kept among the targets for the write-back.
  void ReadTargetArgument(TInterpreterArgs& outer, int32_t index, Variant& value);
  // Called for each name a watched argument reads, before its lookup.
  void NoteTarget(const std::string& name, const Variant* object, const TInterpreterArgs& args);
  void ReadOpenArray(Variant& result);
  void ReadSetConstructor(Variant& result);
  void WriteBackArguments();
  void WriteBackTarget(const TInterpreterArgs::TTarget& target, const std::string& name, const Variant& value);
  // `name[indexes] := value` (args carry the object left of the name and the
  // indexes) into the value the name holds, a text or generic array, which
  // are copies, stored back into the name; raises 176 or 104 at `at` as the
  // assignment does. False, with nothing stored, when the name holds no
  // value; with `dataOnly` nothing is stored either into a value that is no
  // text or array.
  bool StoreElement(const std::string& name, const Variant& value, TInterpreterArgs& args, int32_t at,
                    bool dataOnly);
  Variant Operate(const Variant& left, int32_t op, const Variant& right);
  bool AdapterElement(const Variant& variable, Variant& value, TInterpreterArgs& args, bool write,
                      const Variant* newValue);

  // The speed layer's switch, read when the program object was made.
  const bool speedLayer_ = ScriptSpeedLayerOn();
  // Limits, the memory count and the objects scripts created.
  TScriptRun run_;
  std::vector<std::unique_ptr<TSourceText>> sources_;
  TSourceText* src_;
  size_t position_ = 0;
  const TCachedToken* token_;
  // The token of the current text that ends at position_, when known: the
  // next token is then its Next, found without a search.
  const TCachedToken* follow_ = nullptr;
  int32_t kind_ = tkEnd;
  int32_t prevKind_ = tkEnd;
  bool pushedBack_ = false;

  std::array<Variant, kOperandStackSize> stack_;
  int32_t sp_ = -1;

  TInterpreterArgs ownArgs_;
  TInterpreterArgs* args_;
  std::vector<std::unique_ptr<TInterpreterArgs>> argsPool_;
  size_t argsTop_ = 0;

  std::unique_ptr<TInterpreterAdapter> adapter_;
  TInterpreterAdapter* shared_;

  // While an argument that may be an element or a field is read: the call
  // arguments its names are read with, and what the last of them names.
  struct TArgumentWatch {
    const TInterpreterArgs* Args = nullptr;
    TInterpreterArgs::TTarget* Target = nullptr;
    std::string Name;
    int32_t Designators = 0;  // names read with nothing left of a dot
    size_t End = 0;           // the reader's position after the last name
  } watch_;
};
