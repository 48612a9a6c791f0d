// The statement interpreter: frames, statements, var and const sections,
// data types and the skipper.
#include "statements.h"

#include <algorithm>

#include "adapter.h"
#include "census.h"
#include "cp1251.h"
#include "published.h"
#include "scriptowned.h"
#include "records.h"
#include "tokenizer.h"
#include "tokenset.h"
#include "values.h"

namespace {

constexpr TTokenSet kStartsStatement{tkIdentifier, tkBegin, tkIf,    tkWhile, tkRepeat,   tkFor,
                                     tkCase,       tkTry,   tkRaise, tkBreak, tkContinue, tkExit};

bool StartsStatement(int32_t kind) { return kStartsStatement.Has(kind); }

// Tokens after which a lone name on the right of `:=` is still part of an
// expression, so the statement is no event binding.
bool ContinuesExpression(int32_t kind) {
  if (kind >= tkNot && kind <= tkXor) return true;
  switch (kind) {
    case tkIdentifier: case tkInteger: case tkFloat: case tkString: case tkFalse: case tkTrue:
    case tkOpenParen: case tkCloseParen: case tkComma: case tkDot: case tkColon: case tkOpenBracket:
    case tkCloseBracket: case tkRange: case tkDoubleQuote:
      return true;
    default:
      return false;
  }
}

constexpr TTokenSet kEndsIdentifierStatement{tkSemicolon, tkEndKeyword, tkElse, tkUntil, tkFinally, tkExcept};

bool EndsIdentifierStatement(int32_t kind) { return kEndsIdentifierStatement.Has(kind); }

// Tokens a skipped expression is made of.
constexpr TTokenSet kPassedInExpression =
    TTokenSet{tkIdentifier,  tkInteger,      tkFloat, tkString, tkFalse, tkTrue,       tkOpenParen,
              tkCloseParen,  tkOpenBracket,  tkCloseBracket, tkComma, tkDot, tkDoubleQuote}
        .WithRange(tkNot, tkXor);

bool PassedInExpression(int32_t kind) { return kPassedInExpression.Has(kind); }

constexpr TTokenSet kStopsExpression{tkSemicolon, tkEndKeyword, tkElse, tkDo, tkUntil, tkFinally, tkExcept, tkOf};

bool StopsExpression(int32_t kind) { return kStopsExpression.Has(kind); }

// The object behind an exception in flight: the raised object for a script
// raise, the exception itself for the system's own; nullptr for anything
// else.
TObject* ExceptionObject(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EScriptRaise& e) {
    TObject* raised = e.Raised();
    return raised ? raised : const_cast<EScriptRaise*>(&e);
  } catch (const Exception& e) {
    return const_cast<Exception*>(&e);
  } catch (...) {
  }
  return nullptr;
}

bool IsReraise(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EInterpreterError& e) {
    return e.ErrCode == 4;
  } catch (...) {
  }
  return false;
}

// What a local variable takes beside its value, for the memory budget.
constexpr int64_t kLocalBytes = sizeof(TInterpreterVar);

}  // namespace

EScriptRaise::EScriptRaise(const Exception& raised, std::shared_ptr<TObject> owned)
    : Exception(raised.Message()), handle_(raised.Handle()), owned_(std::move(owned)) {}

TInterpreterFunction::TInterpreterFunction() = default;

TInterpreterFunction::~TInterpreterFunction() {
  // Bound events may outlive the interpreter in their host objects; they
  // no longer name it.
  for (const auto& e : events_) e->Owner = nullptr;
}

void TInterpreterFunction::Init() {
  TInterpreterExpression::Init();
  break_ = continue_ = exit_ = false;
  frameTop_ = 0;
  frame_ = nullptr;
  stateTop_ = 0;
  handled_.clear();
  currentUnit_.clear();
  function_ = nullptr;
}

void TInterpreterFunction::Run() {
  auto scope = EnterRun();
  Init();
  NextToken();
  Args().Count = 0;
  RunFunction(nullptr);
}

void TInterpreterFunction::CountHeld(TValueCensus& census) const {
  TInterpreterExpression::CountHeld(census);
  for (size_t f = 0; f < frameTop_; ++f) {
    const TInterpreterVarList& vars = frames_[f]->Vars;
    for (size_t i = 0; i < vars.Count(); ++i) census.Add(vars.Item(i).Value);
  }
  for (const auto& frame : frames_)
    census.AddBytes(kFrameBytes + kLocalBytes * static_cast<int64_t>(frame->Vars.Capacity()));
}

bool TInterpreterFunction::GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  return FrameValue(identifier, value, args) || TInterpreterExpression::GetValue(identifier, value, args);
}

const Variant* TInterpreterFunction::LocalValue(const std::string& name) const {
  if (!frame_) return nullptr;
  TInterpreterVar* var = frame_->Vars.LookupVariable({}, name);
  return var ? &var->Value : nullptr;
}

bool TInterpreterFunction::SetValue(const std::string& identifier, const Variant& value, TInterpreterArgs& args) {
  if (frame_ && (args.Obj.IsEmpty() || !args.HasObj()) && !args.Indexed) {
    try {
      if (frame_->Vars.SetValue(identifier, value)) return true;
    } catch (std::exception& e) {
      ApplyErrorContext(e, frame_->Desc ? frame_->Desc->UnitName : std::string());
      throw;
    }
  }
  return TInterpreterExpression::SetValue(identifier, value, args);
}

TInterpreterVar& TInterpreterFunction::DeclareLocal(std::string_view name, std::string_view typeName, TVarType kind,
                                                    const Variant& value, bool hides) {
  if (frame_->Vars.Count() == frame_->Vars.Capacity()) run_.Charge(kLocalBytes);
  if (hides) return frame_->Vars.DeclareHiding(currentUnit_, name, typeName, kind, value);
  return frame_->Vars.DeclareVariable(currentUnit_, name, typeName, kind, value);
}

void TInterpreterFunction::RunFunction(const TInterpreterFunctionDesc* desc, int32_t closing) {
  CheckStack();
  TInterpreterArgs& callArgs = Args();
  for (int32_t i = 0; i < callArgs.Count; ++i) {
    TVarType t = callArgs.Values[static_cast<size_t>(i)].VarType();
    if (t >= varFirstCustom && (t == ArrayVarType() || t == RecordVarType()))
      RaiseError(2, -1, "Array and Record types are not allowed as procedure/function parameter" "not implemented");
  }
  // Frames are kept for reuse: a call costs no list of its own.
  if (frameTop_ == frames_.size()) {
    run_.Charge(kFrameBytes);
    frames_.push_back(std::make_unique<TFrame>());
  }
  TFrame* previous = frame_;
  frame_ = frames_[frameTop_++].get();
  frame_->Vars.Clear();
  frame_->Desc = desc;
  const TInterpreterFunctionDesc* previousFunction = function_;
  function_ = desc;
  int32_t savedDepth = exprDepth_;
  exprDepth_ = 0;
  auto leave = [&] {
    frame_->Vars.Clear();
    --frameTop_;
    frame_ = previous;
    function_ = previousFunction;
    exprDepth_ = savedDepth;
    exit_ = false;
  };
  try {
    ResultValue.Clear();
    bool byRef = false;
    // Declaring a second Result, or a local of that name, is error 111: the
    // one declared here is the one the body leaves its result in.
    TInterpreterVar* result = nullptr;
    if (desc) {
      callArgs.WriteBack = false;
      callArgs.Types = desc->ParameterKinds;
      // A frame that ran this very desc last, in this unit, still holds its
      // parameters' names and types, checked for duplicates back then.
      const bool again = speedLayer_ && frame_->Vars.Reopen(desc->Serial, currentUnit_);
      auto declare = [&](std::string_view name, std::string_view typeName, TVarType kind,
                         const Variant& value) -> TInterpreterVar& {
        return again ? frame_->Vars.DeclareAgain(kind, value) : DeclareLocal(name, typeName, kind, value);
      };
      for (int32_t i = 0; i < desc->ParameterCount; ++i) {
        size_t k = static_cast<size_t>(i);
        TVarType kind = desc->ParameterKinds[k] & ~kConstParamFlag;
        Variant value;
        if (i < callArgs.Count) {
          if (kind & varByRef)
            value = callArgs.Values[k];
          else
            AssignValue(value, callArgs.Values[k]);
        }
        byRef = byRef || (kind & varByRef);
        declare(desc->ParameterNames[k], desc->ParameterTypeNames[k], kind, value);
      }
      callArgs.WriteBack = byRef;
      if (desc->ResultKind != varEmpty)
        result = &declare("Result", desc->ResultTypeName, desc->ResultKind,
                          desc->ResultType ? desc->ResultType->Init() : ZeroOfKind(desc->ResultKind));
      if (!again) frame_->Vars.Remember(desc->Serial, currentUnit_);
    } else {
      result = &DeclareLocal("Result", {}, varVariant, Variant::Null());
    }
    {
      ArgsScope body(*this);
      exit_ = false;
      auto declare = [this](const std::string& name, const std::string& typeName, TVarType kind,
                            const Variant& value, const TDataTypePtr&) { DeclareLocal(name, typeName, kind, value); };
      while (kind_ != tkBegin) {
        if (kind_ == tkVar)
          ReadVarSection(declare);
        else if (kind_ == tkConst)
          ReadConstSection(declare);
        else
          RaiseExpected("'begin'");
        NextToken();
      }
      Compound();
      if (!exit_ && kind_ != closing) RaiseExpected(closing == tkDot ? "'.'" : "';'");
    }
    if (byRef) {
      callArgs.ClearObj();
      callArgs.ObjKeeper.Clear();
      for (int32_t i = 0; i < desc->ParameterCount && i < callArgs.Count; ++i) {
        size_t k = static_cast<size_t>(i);
        if (desc->ParameterNames[k].empty() || !(desc->ParameterKinds[k] & varByRef)) continue;
        if (TInterpreterVar* var = frame_->Vars.LookupVariable({}, desc->ParameterNames[k]))
          callArgs.Values[k] = var->Value;
      }
    }
    if (result) ResultValue = result->Value;
  } catch (std::exception& e) {
    ApplyErrorContext(e, desc ? desc->UnitName : std::string());
    leave();
    throw;
  } catch (...) {
    leave();
    throw;
  }
  leave();
}

void TInterpreterFunction::Compound() {
  CheckStack();
  NextToken();
  for (;;) {
    if (break_ || continue_ || exit_) return;
    int32_t kind = kind_;
    if (StartsStatement(kind)) {
      ExecuteStatement();
    } else if (kind == tkSemicolon) {
      StatementHook();
      NextToken();
    } else if (kind == tkEndKeyword) {
      NextToken();
      return;
    } else if (kind == tkElse || kind == tkDo) {
      RaiseExpectedCode(309);
    } else {
      RaiseExpected("'end'");
    }
  }
}

void TInterpreterFunction::ExecuteStatement() {
  CheckStack();
  StatementHook();
  switch (kind_) {
    case tkIdentifier:
      IdentifierStatement();
      if (!EndsIdentifierStatement(kind_)) RaiseExpected("';'");
      return;
    case tkSemicolon: case tkEndKeyword: case tkElse: return;
    case tkBegin: Compound(); return;
    case tkIf: IfStatement(); return;
    case tkWhile: WhileStatement(); return;
    case tkRepeat: RepeatStatement(); return;
    case tkFor: ForStatement(); return;
    case tkCase: CaseStatement(); return;
    case tkTry: TryStatement(); return;
    case tkRaise: RaiseStatement(); return;
    case tkBreak: break_ = true; return;
    case tkContinue: continue_ = true; return;
    case tkExit: exit_ = true; return;
    default: RaiseExpected("';'");
  }
}

void TInterpreterFunction::IdentifierStatement() {
  // Cached tokens live as long as their text: a plain target needs no copy.
  const std::string& name = TokenText();
  Args().Clear();
  NextToken();
  if (kind_ == tkColon) {
    AssignmentTail(name);
    return;
  }
  PushBackToken();
  Args().Assignment = false;
  targetName_ = name;
  Variant value;
  ReadDesignator(name, nullptr, value);
  ResultValue = std::move(value);
  // Nested statements reuse targetName_ while the right side runs.
  const std::string target = targetName_;
  NextToken();
  if (kind_ == tkColon) AssignmentTail(target);
}

void TInterpreterFunction::AssignmentTail(const std::string& target) {
  NextToken();
  if (kind_ != tkEqual) RaiseExpected("'='");
  NextToken();
  Assignment(target);
}

bool TInterpreterFunction::BindEvent(const std::string& target) {
  TInterpreterArgs& args = Args();
  if (kind_ != tkIdentifier || args.ObjKind != ObjectVarType() || args.Obj.IsEmpty()) return false;
  TObject* obj = args.Instance();
  if (!obj) return false;
  const std::string& handler = TokenText();
  bool unbind = cp1251::SameText(handler, "nil");
  if (!unbind && !OwnAdapter().FindFunction(currentUnit_, handler, {})) return false;
  PushState();
  // A binding that completes, or raises, drops the state.
  const TStatesMark mark{stateTop_, stateTop_ - 1};
  NextToken();
  if (ContinuesExpression(kind_)) {
    PopState();
    return false;
  }
  auto prop = FindPublishedProperty(obj->ClassType(), target);
  if (prop && prop->Kind == TPublishedKind::Method && prop->GetMethod && prop->SetMethod) {
    auto drop = [this](const TInterpreterEventAdapter* e) {
      std::erase_if(events_, [e](const auto& held) { return held.get() == e; });
    };
    TInterpreterEventMethod current = prop->GetMethod(*obj);
    if (unbind) {
      drop(current.Object.get());
      prop->SetMethod(*obj, {});
      return true;
    }
    for (const auto& e : events_)
      if (e->Instance == obj && cp1251::SameText(e->UnitName, currentUnit_) && cp1251::SameText(e->PropName, target)) {
        drop(e.get());
        break;
      }
    TInterpreterEventMethod bound = OwnAdapter().NewEvent(currentUnit_, handler, prop->TypeName, this, obj, target);
    if (!bound) bound = SharedAdapter().NewEvent(currentUnit_, handler, prop->TypeName, this, obj, target);
    if (!bound) RaiseError(57, TokenStartPos(), prop->TypeName);
    events_.push_back(bound.Object);
    prop->SetMethod(*obj, std::move(bound));
    return true;
  }
  if (!unbind && OwnAdapter().FindEvent(obj, target)) {
    if (!SetValue(target, Variant::String(handler), args)) RaiseError(104, TokenStartPos(), target);
    return true;
  }
  PopState();
  return false;
}

bool TInterpreterFunction::AppendsOnly(const std::string& target) {
  const TReaderState start = SaveReader();
  int32_t depth = 0;
  bool fits = false;
  for (;;) {
    NextToken();
    const int32_t kind = kind_;
    if (kind == tkIdentifier && SameName(TokenText(), target)) break;
    if (kind == tkOpenParen || kind == tkOpenBracket) {
      ++depth;
      continue;
    }
    if (kind == tkCloseParen || kind == tkCloseBracket) {
      if (depth-- == 0) break;
      continue;
    }
    if (kind == tkEnd || depth > 0) {
      if (kind == tkEnd) break;
      continue;
    }
    // Outside brackets only "+" may join at its own level or below: any
    // other such operator would take the joined text as its operand.
    const int32_t priority = token_->Priority;
    if (priority > 0 && priority <= OperatorPriority(tkPlus) && kind != tkPlus) break;
    if (priority == 0 && !ContinuesExpression(kind)) {
      fits = EndsIdentifierStatement(kind);
      break;
    }
  }
  RestoreReader(start);
  return fits;
}

bool TInterpreterFunction::AppendInPlace(const std::string& target) {
  if (!frame_ || pushedBack_) return false;
  const TCachedToken* first = token_;
  auto never = [first] {
    first->NoAppend = true;
    return false;
  };
  if (kind_ != tkIdentifier || !SameName(TokenText(), target)) return never();
  // Which variable the name is, and its declared kind, are the text's; the
  // kind of value an untyped one holds now is not.
  TInterpreterVar* var = frame_->Vars.LookupVariable({}, target);
  if (!var || (var->Kind != 0 && var->Kind != varString && var->Kind != varVariant)) return never();
  if (var->Value.VarType() != varString) return false;
  const TReaderState start = SaveReader();
  NextToken();
  const bool fits = kind_ == tkPlus && AppendsOnly(target);
  if (!fits) {
    RestoreReader(start);
    return never();
  }
  // The last statement's share of the text goes; a text no one else holds
  // is then written where it is.
  ResultValue.Clear();
  const size_t kept = var->Value.StringRef().size();
  // Once a piece is no text, the usual rules join the rest.
  bool usual = false;
  Variant joined;
  try {
    ArgsScope right(*this);
    right.Fresh().Assignment = true;
    const int32_t sp = sp_;
    // As in any expression, a failed conversion is a type mismatch.
    try {
      while (kind_ == tkPlus) {
        Variant piece;
        ParseOperand(tkPlus, piece);
        sp_ = sp;
        if (!usual && piece.VarType() == varString) {
          run_.Charge(static_cast<int64_t>(piece.StringRef().size()));
          var->Value.MutableString() += piece.StringRef();
          continue;
        }
        if (!usual) joined = var->Value;
        usual = true;
        joined = Operate(joined, tkPlus, piece);
      }
    } catch (const EVariantError&) {
      sp_ = sp;
      RaiseError(53, TokenEndPos());
    }
  } catch (...) {
    // As if the assignment had never run.
    if (var->Value.VarType() == varString && var->Value.StringRef().size() > kept)
      var->Value.MutableString().resize(kept);
    throw;
  }
  if (usual && !SetValue(target, joined, Args())) RaiseError(104, TokenStartPos(), target);
  ResultValue = var->Value;
  return true;
}

void TInterpreterFunction::Assignment(const std::string& target) {
  if (BindEvent(target)) return;
  // The in-place append's verdict first: most assignments are no appends,
  // and learn so once.
  if (speedLayer_ && !token_->NoAppend && !Args().Indexed && !Args().HasObj() && AppendInPlace(target)) return;
  {
    ArgsScope right(*this);
    right.Fresh().Assignment = true;
    Variant value;
    EvaluateExpression(value);
    ResultValue = std::move(value);
  }
  TInterpreterArgs& args = Args();
  int32_t at = TokenStartPos();
  if (!args.Indexed) {
    if (!SetValue(target, ResultValue, args)) RaiseError(104, at, target);
    return;
  }
  // name[i] := value: change the element of the current value, or write an
  // indexed property when the name holds no value.
  if (StoreElement(target, ResultValue, args, at, false)) return;
  if (!SetValue(target, ResultValue, args)) RaiseError(104, at, target);
}

void TInterpreterFunction::IfStatement() {
  NextToken();
  Variant condition;
  EvaluateTyped(varBoolean, condition);
  if (kind_ != tkThen) RaiseExpected("'then'");
  NextToken();
  if (condition.AsBoolean()) {
    ExecuteStatement();
    if (kind_ == tkElse) {
      NextToken();
      SkipStatement();
    }
    return;
  }
  SkipStatement();
  if (kind_ == tkElse) {
    NextToken();
    ExecuteStatement();
  }
}

void TInterpreterFunction::WhileStatement() {
  PushState();
  const TStatesMark mark{stateTop_, stateTop_ - 1};
  size_t start = Position();
  for (;;) {
    NextToken();
    Variant condition;
    EvaluateExpression(condition);
    if (condition.VarType() != varBoolean) RaiseError(105, static_cast<int32_t>(start));
    if (kind_ != tkDo) RaiseExpected("'do'");
    NextToken();
    if (!condition.AsBoolean()) break;
    break_ = continue_ = false;
    ExecuteStatement();
    if (break_ || exit_) break;
    // The condition may call a function, whose body a continue still set
    // would end at once.
    continue_ = false;
    SetPosition(start);
  }
  PopState();
  SkipStatement();
  break_ = continue_ = false;
}

void TInterpreterFunction::RepeatStatement() {
  size_t start = Position();
  auto until = [this]() {
    Variant condition;
    EvaluateExpression(condition);
    if (condition.VarType() != varBoolean) RaiseError(105, TokenEndPos());
    return condition.AsBoolean();
  };
  for (;;) {
    NextToken();
    int32_t kind = kind_;
    if (StartsStatement(kind)) {
      break_ = continue_ = false;
      ExecuteStatement();
      if (break_ || exit_) {
        SkipToUntil();
        SkipExpression();
        break;
      }
      if (continue_) {
        // A continue ends the pass; the condition still decides.
        continue_ = false;
        SkipToUntil();
        if (until()) break;
        SetPosition(start);
      }
    } else if (kind == tkSemicolon) {
      StatementHook();
    } else if (kind == tkElse || kind == tkDo) {
      RaiseExpectedCode(309);
    } else if (kind == tkUntil) {
      // The hook sees every pass, also of a loop with an empty body.
      StatementHook();
      NextToken();
      if (until()) break;
      SetPosition(start);
    } else {
      RaiseExpected("'until'");
    }
  }
  break_ = continue_ = false;
}

void TInterpreterFunction::ForStatement() {
  NextToken();
  if (kind_ != tkIdentifier) RaiseExpectedCode(302);
  std::string control = TokenText();
  NextToken();
  if (kind_ != tkColon) RaiseExpected("':'");
  NextToken();
  if (kind_ != tkEqual) RaiseExpected("'='");
  NextToken();
  Variant first, last;
  EvaluateTyped(varInteger, first);
  if (kind_ != tkTo && kind_ != tkDownto) RaiseExpected("'to' or 'downto'");
  bool down = kind_ == tkDownto;
  NextToken();
  EvaluateTyped(varInteger, last);
  if (kind_ != tkDo) RaiseExpected("'do'");
  size_t body = Position();
  NextToken();
  // Counted in 64 bits, so that a bound at either end of the 32-bit range
  // still ends the loop.
  int64_t from = first.AsInteger(), to = last.AsInteger();
  int64_t step = down ? -1 : 1;
  for (int64_t i = from; down ? i >= to : i <= to; i += step) {
    Args().Clear();
    if (!SetValue(control, Variant::Integer(static_cast<int32_t>(i)), Args()))
      RaiseError(104, TokenStartPos(), control);
    break_ = continue_ = false;
    ExecuteStatement();
    SetPosition(body);
    NextToken();
    if (break_ || exit_) break;
  }
  SkipStatement();
  break_ = continue_ = false;
}

void TInterpreterFunction::CaseStatement() {
  NextToken();
  Variant selectorValue;
  EvaluateTyped(varInteger, selectorValue);
  if (kind_ != tkOf) RaiseExpected("'of'");
  int32_t selector = selectorValue.AsInteger();
  for (;;) {
    NextToken();
    if (kind_ == tkIdentifier || kind_ == tkInteger) {
      bool match = false;
      for (;;) {
        Variant low, high;
        EvaluateTyped(varInteger, low);
        high = low;
        if (kind_ == tkRange) {
          NextToken();
          EvaluateTyped(varInteger, high);
        }
        match = match || (low.AsInteger() <= selector && selector <= high.AsInteger());
        if (kind_ != tkComma) break;
        NextToken();
      }
      if (kind_ != tkColon) RaiseExpected("':'");
      NextToken();
      if (match) {
        ExecuteStatement();
        SkipRestOfCase();
        return;
      }
      SkipStatement();
    } else if (kind_ == tkEndKeyword) {
      NextToken();
      return;
    } else if (kind_ == tkElse) {
      NextToken();
      ExecuteStatement();
      SkipRestOfBlock();
      return;
    } else {
      RaiseExpected("'end'");
    }
  }
}

void TInterpreterFunction::TryStatement() {
  CheckStack();
  std::exception_ptr error;
  for (;;) {
    NextToken();
    if (StartsStatement(kind_)) {
      TReaderState start = SaveReader();
      try {
        ExecuteStatement();
      } catch (...) {
        error = std::current_exception();
        // Skip the failed statement whole, from its start.
        RestoreReader(start);
        SkipStatement();
        SkipTryPart();
        break;
      }
      if (break_ || continue_ || exit_) {
        SkipTryPart();
        break;
      }
    } else if (kind_ == tkSemicolon) {
      StatementHook();
    } else if (kind_ == tkFinally || kind_ == tkExcept) {
      break;
    } else {
      RaiseExpected("'finally'");
    }
  }

  // The handler part runs whole: flags set before it are kept aside and
  // joined again afterwards.
  bool savedBreak = break_, savedContinue = continue_, savedExit = exit_;
  break_ = continue_ = exit_ = false;
  bool reraise = false;
  if (kind_ == tkFinally) {
    Compound();
    reraise = error != nullptr;
  } else if (!error) {
    SkipBlock();
  } else {
    reraise = !RunExceptPart(error);
    if (!reraise) lastError_.Clear();
  }
  break_ = break_ || savedBreak;
  continue_ = continue_ || savedContinue;
  exit_ = exit_ || savedExit;
  if (reraise) std::rethrow_exception(error);
}

bool TInterpreterFunction::RunExceptPart(const std::exception_ptr& error) {
  TObject* object = ExceptionObject(error);
  handled_.push_back({error, object});
  struct Unhandle {
    std::vector<THandled>& h;
    ~Unhandle() { h.pop_back(); }
  } unhandle{handled_};
  auto run = [&](auto&& body) {
    try {
      body();
    } catch (...) {
      std::exception_ptr inner = std::current_exception();
      if (IsReraise(inner)) return false;
      throw;
    }
    return true;
  };

  NextToken();
  if (kind_ != tkOn) {
    PushBackToken();
    return run([&] { Compound(); });
  }
  for (;;) {
    NextToken();
    if (kind_ != tkIdentifier) RaiseExpectedCode(302);
    std::string varName, className = TokenText();
    NextToken();
    if (kind_ == tkColon) {
      varName = className;
      NextToken();
      if (kind_ != tkIdentifier) RaiseExpectedCode(302);
      className = TokenText();
      NextToken();
    }
    Variant cls;
    {
      ArgsScope lookup(*this);
      if (!GetValue(className, cls, lookup.Fresh())) RaiseError(104, TokenStartPos(), className);
    }
    if (cls.VarType() != ClassVarType()) RaiseError(106, TokenStartPos());
    if (kind_ != tkDo) RaiseExpected("'do'");
    NextToken();
    if (object && object->ClassType().InheritsFrom(ValueToClass(cls))) {
      bool handled = run([&] {
        // The handler's variable hides a local or an outer handler's of that
        // name until it is removed again.
        if (!varName.empty()) DeclareLocal(varName, {}, varEmpty, ObjectToValue(object), true);
        try {
          ExecuteStatement();
        } catch (...) {
          if (!varName.empty()) frame_->Vars.RemoveVariable({}, varName);
          throw;
        }
        if (!varName.empty()) frame_->Vars.RemoveVariable({}, varName);
      });
      if (handled) SkipRestOfBlock();
      return handled;
    }
    SkipStatement();
    if (kind_ == tkSemicolon) NextToken();
    if (kind_ == tkOn) continue;
    if (kind_ == tkEndKeyword) {
      NextToken();
      return false;
    }
    if (kind_ == tkElse) {
      NextToken();
      bool handled = run([&] { ExecuteStatement(); });
      if (!handled) return false;
      if (kind_ == tkSemicolon) NextToken();
      if (kind_ != tkEndKeyword) RaiseExpected("'end'");
      NextToken();
      return true;
    }
    RaiseExpected("'end'");
  }
}

void TInterpreterFunction::RaiseStatement() {
  NextToken();
  int32_t kind = kind_;
  if (kind == tkEnd || kind == tkSemicolon || kind == tkBegin || kind == tkEndKeyword || kind == tkElse ||
      kind == tkFinally || kind == tkExcept)
    RaiseError(4, TokenStartPos());
  if (kind != tkIdentifier) RaiseError(106, TokenStartPos());
  std::string name = TokenText();
  int32_t at = TokenStartPos();
  Variant value;
  Args().Clear();
  ReadDesignator(name, nullptr, value);
  NextToken();
  if (value.VarType() != ObjectVarType()) RaiseError(106, at);
  TObject* object = ValueToObject(value);
  auto* raised = ObjectAs<Exception>(object);
  if (!raised) RaiseError(106, at);
  // An exception already in flight is raised again as itself.
  for (auto it = handled_.rbegin(); it != handled_.rend(); ++it)
    if (it->Object == object) std::rethrow_exception(it->Error);
  // Raising hands a script's own object to the exception.
  std::shared_ptr<TObject> owned(ReleaseScriptObject(object).release());
  throw EScriptRaise(*raised, std::move(owned));
}

void TInterpreterFunction::ReadVarSection(const TDeclare& add) {
  NextToken();
  while (kind_ == tkIdentifier) {
    std::vector<std::string> names{TokenText()};
    NextToken();
    while (kind_ == tkComma) {
      NextToken();
      if (kind_ != tkIdentifier) RaiseExpectedCode(302);
      names.push_back(TokenText());
      NextToken();
    }
    if (kind_ != tkColon) RaiseExpected("':'");
    NextToken();
    std::string typeName;
    TDataTypePtr type = ReadDataType(&typeName);
    for (const std::string& name : names) add(name, typeName, type->ValueKind(), type->Init(), type);
    if (kind_ != tkSemicolon) RaiseExpected("';'");
    NextToken();
  }
  PushBackToken();
}

void TInterpreterFunction::ReadConstSection(const TDeclare& add) {
  NextToken();
  for (;;) {
    if (kind_ != tkIdentifier) RaiseExpectedCode(302);
    std::string name = TokenText();
    NextToken();
    if (kind_ != tkEqual) RaiseExpected("=");
    NextToken();
    Variant value;
    EvaluateExpression(value);
    add(name, {}, varEmpty, value, std::make_shared<TInterpreterSimpleDataType>(value.VarType()));
    if (kind_ != tkSemicolon) RaiseExpected("';'");
    NextToken();
    if (kind_ != tkIdentifier) break;
  }
  PushBackToken();
}

TDataTypePtr TInterpreterFunction::ReadDataType(std::string* typeName) {
  CheckStack();
  if (kind_ == tkIdentifier) {
    std::string name = TokenText();
    if (typeName) *typeName = name;
    NextToken();
    TRecordTypePtr record = OwnAdapter().FindRecordType(name);
    if (!record) record = SharedAdapter().FindRecordType(name);
    if (record) return std::make_shared<TInterpreterRecordDataType>(record);
    return std::make_shared<TInterpreterSimpleDataType>(TypeNameToKind(name));
  }
  if (kind_ != tkArray) RaiseExpectedCode(302);
  if (typeName) *typeName = TokenText();
  NextToken();
  TArrayBounds low{}, high{};
  int32_t dimensions = 1;
  if (kind_ == tkOpenBracket) {
    dimensions = 0;
    auto bound = [this]() {
      bool negative = kind_ == tkMinus;
      if (negative) NextToken();
      if (kind_ != tkInteger) RaiseExpectedCode(307);
      int64_t v = TokenValue().AsInteger();
      NextToken();
      return static_cast<int32_t>(negative ? -v : v);
    };
    for (;;) {
      NextToken();
      if (dimensions >= kMaxArrayDimensions) RaiseError(174, TokenEndPos());
      int32_t lo = bound();
      if (kind_ != tkRange) RaiseExpected("'..'");
      NextToken();
      int32_t hi = bound();
      if (hi < lo && !(lo == 0 && hi == -1)) RaiseError(175, TokenEndPos());
      low[static_cast<size_t>(dimensions)] = lo;
      high[static_cast<size_t>(dimensions)] = hi;
      ++dimensions;
      if (kind_ == tkComma) continue;
      if (kind_ != tkCloseBracket) RaiseExpected("']'");
      break;
    }
    NextToken();
    if (kind_ != tkOf) RaiseExpected("'of'");
  } else if (kind_ == tkOf) {
    low[0] = 0;
    high[0] = -1;
  } else {
    RaiseExpected("'[' or 'of'");
  }
  NextToken();
  TDataTypePtr element = ReadDataType();
  return std::make_shared<TInterpreterArrayDataType>(dimensions, low, high, element->ValueKind(), element);
}

// Skipper.

void TInterpreterFunction::ProgressSkip(uint64_t before) {
  if (reads_ == before) NextToken();
}

inline bool TInterpreterFunction::ReplaySkip(TSkipEntry entry, uintptr_t base) {
  const TCachedToken& start = *token_;
  // Records start from a token just read; from any other reader state the
  // pass runs unrecorded.
  if (!AtReadToken()) return false;
  const TTokenMarks* marks = src_->Tokens.FindMarks(start);
  if (!marks) return false;
  const TSkipMemo& memo = marks->Skip;
  if (!memo.End || memo.Entry != entry) return false;
  // Where the pass would reach the stack guard, it runs and raises there.
  const uintptr_t deepest = base - memo.StackBytes;
  if (deepest < reinterpret_cast<uintptr_t>(run_.StackLimit())) return false;
  reads_ += memo.Reads;
  prevKind_ = memo.PrevKind;
  token_ = memo.End;
  kind_ = memo.End->Kind;
  position_ = memo.End->End;
  follow_ = memo.End;
  pushedBack_ = memo.PushedBack;
  NoteSkipDepth(deepest);
  return true;
}

void TInterpreterFunction::RecordSkip(TSkipEntry entry, void (TInterpreterFunction::*pass)(), uintptr_t base) {
  const TCachedToken& start = *token_;
  bool recordable = AtReadToken();
  // A pass that raises leaves no record (and aborts every pass around it),
  // so its error surfaces again, the same, each time it is reached. A pass
  // that went deep is replayed only where the stack could carry it, so the
  // guard still raises error 52 where the pass would.
  uint64_t before = reads_;
  const uintptr_t outerDeepest = skipDeepest_;
  skipDeepest_ = base;
  (this->*pass)();
  const uintptr_t depth = base - skipDeepest_;
  skipDeepest_ = std::min(outerDeepest, skipDeepest_);
  // A pass that read nothing left the reader as it was; nothing to replay.
  if (!recordable || reads_ == before) return;
  src_->Tokens.Marks(start).Skip = {token_, reads_ - before, entry, prevKind_, static_cast<uint32_t>(depth),
                                    pushedBack_};
}

inline void TInterpreterFunction::Skip(TSkipEntry entry, void (TInterpreterFunction::*pass)()) {
  if (!speedLayer_) {
    (this->*pass)();
    return;
  }
  // Stack depths of a pass are measured from here, at its recording and at
  // its replays alike.
  const uintptr_t base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (!ReplaySkip(entry, base)) RecordSkip(entry, pass, base);
}

void TInterpreterFunction::SkipStatement() { Skip(skStatement, &TInterpreterFunction::PassStatement); }
void TInterpreterFunction::SkipBlock() { Skip(skBlock, &TInterpreterFunction::PassBlock); }
void TInterpreterFunction::SkipToUntil() { Skip(skToUntil, &TInterpreterFunction::PassToUntil); }
void TInterpreterFunction::SkipRestOfBlock() { Skip(skRestOfBlock, &TInterpreterFunction::PassRestOfBlock); }
void TInterpreterFunction::SkipRestOfCase() { Skip(skRestOfCase, &TInterpreterFunction::PassRestOfCase); }
void TInterpreterFunction::SkipTryPart() { Skip(skTryPart, &TInterpreterFunction::PassTryPart); }

void TInterpreterFunction::PassStatement() {
  CheckSkipStack(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  switch (kind_) {
    case tkEnd: case tkProcedure: case tkFunction:
      RaiseExpected("'end'");
    case tkSemicolon: case tkEndKeyword: case tkBreak: case tkContinue: case tkExit:
      NextToken();
      return;
    case tkBegin: case tkTry: case tkCase:
      // Parts of a recorded statement need no records of their own.
      PassBlock();
      return;
    case tkIf:
      SkipToToken(tkThen);
      NextToken();
      SkipStatement();
      if (kind_ == tkElse) {
        NextToken();
        SkipStatement();
      }
      return;
    case tkWhile: case tkFor:
      SkipToToken(tkDo);
      NextToken();
      SkipStatement();
      return;
    case tkRepeat:
      PassToUntil();
      SkipExpression();
      return;
    case tkRaise:
      NextToken();
      SkipExpression();
      return;
    case tkIdentifier:
      SkipExpression();
      return;
    default:
      return;
  }
}

bool TInterpreterFunction::JumpBlock() {
  const TCachedToken& start = *token_;
  if (!AtReadToken()) return false;
  const TTokenMarks* found = src_->Tokens.FindMarks(start);
  if (!found || !found->BlockEnd) return false;
  const TTokenMarks& marks = *found;
  reads_ += marks.BlockReads;
  prevKind_ = marks.BlockPrevKind;
  token_ = marks.BlockEnd;
  kind_ = token_->Kind;
  position_ = token_->End;
  follow_ = token_;
  return true;
}

void TInterpreterFunction::PassBlock() {
  // Blocks are matched by counting, so skipping needs no recursion however
  // deep the skipped code nests. Every block met keeps where its pass ends,
  // and a later pass jumps over it: code that is skipped from many places
  // (the levels of a nested try unwinding one by one) is read once.
  if (JumpBlock()) return;
  struct Open {
    const TCachedToken* Start;  // nullptr where the pass did not start at a token just read
    uint64_t Reads;
  };
  std::vector<Open> open{{AtReadToken() ? token_ : nullptr, reads_}};
  NextToken();
  for (;;) {
    switch (kind_) {
      case tkEnd:
        RaiseExpected("'end'");
      case tkBegin: case tkTry: case tkCase:
        if (JumpBlock()) continue;
        open.push_back({token_, reads_});
        break;
      case tkEndKeyword: {
        const Open closed = open.back();
        open.pop_back();
        NextToken();
        if (closed.Start) {
          TTokenMarks& marks = src_->Tokens.Marks(*closed.Start);
          marks.BlockEnd = token_;
          marks.BlockReads = reads_ - closed.Reads;
          marks.BlockPrevKind = prevKind_;
        }
        if (open.empty()) return;
        continue;
      }
      default:
        break;
    }
    NextToken();
  }
}

void TInterpreterFunction::PassRestOfBlock() {
  for (;;) {
    if (kind_ == tkEndKeyword) {
      NextToken();
      return;
    }
    if (kind_ == tkEnd) RaiseExpected("'end'");
    uint64_t before = reads_;
    SkipStatement();
    ProgressSkip(before);
  }
}

void TInterpreterFunction::PassRestOfCase() {
  for (;;) {
    if (kind_ == tkElse) {
      NextToken();
      PassRestOfBlock();
      return;
    }
    if (kind_ == tkEndKeyword) {
      NextToken();
      return;
    }
    if (kind_ == tkEnd) RaiseExpected("'end'");
    // A branch: its labels, which no skipped expression may hold (`lo..hi`),
    // then its statement.
    while (kind_ == tkRange || PassedInExpression(kind_)) NextToken();
    if (kind_ == tkColon) NextToken();
    uint64_t before = reads_;
    SkipStatement();
    ProgressSkip(before);
  }
}

void TInterpreterFunction::PassTryPart() {
  for (;;) {
    if (kind_ == tkFinally || kind_ == tkExcept) return;
    if (kind_ == tkEnd) RaiseExpected("'end'");
    if (kind_ == tkSemicolon) {
      NextToken();
      continue;
    }
    uint64_t before = reads_;
    SkipStatement();
    ProgressSkip(before);
  }
}

void TInterpreterFunction::PassToUntil() {
  CheckSkipStack(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
  NextToken();
  for (;;) {
    if (kind_ == tkUntil) {
      NextToken();
      return;
    }
    if (kind_ == tkEnd) RaiseExpected("'until'");
    uint64_t before = reads_;
    SkipStatement();
    ProgressSkip(before);
  }
}

void TInterpreterFunction::SkipExpression() {
  for (;;) {
    int32_t kind = kind_;
    if (StopsExpression(kind)) return;
    if (kind == tkColon) {
      NextToken();
      if (kind_ == tkEqual) {
        NextToken();
        continue;
      }
      // A case label's colon: the arm's statement is the current token,
      // read once, so that a block there is counted once.
      return;
    }
    if (kind == tkEnd) RaiseExpected("'end'");
    if (!PassedInExpression(kind)) RaiseExpectedCode(301);
    NextToken();
  }
}

void TInterpreterFunction::SkipToToken(int32_t kind) {
  do {
    NextToken();
    if (kind_ == tkEnd) RaiseExpected("'end'");
  } while (kind_ != kind);
}
