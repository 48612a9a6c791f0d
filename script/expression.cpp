// The expression evaluator: token reader, operator-priority parsing over the
// operand stack, designators with arguments, indexes and members, elements
// of strings and arrays, and error context.
#include "expression.h"

#include <algorithm>
#include <utility>

#include "adapter.h"
#include "arrays.h"
#include "census.h"
#include "cp1251.h"
#include "records.h"
#include "samename.h"
#include "tokenizer.h"
#include "tokenset.h"
#include "values.h"
#include "varops.h"

namespace {

const TTokenSpelling kNoSpelling;
const TCachedToken kNoToken{.Spelling = &kNoSpelling};

constexpr TTokenSet kOperandTokens{tkIdentifier, tkInteger, tkFloat, tkString, tkFalse, tkTrue};

bool IsOperandToken(int32_t kind) { return kOperandTokens.Has(kind); }

// Tokens after a name that mean the name's value is used.
constexpr TTokenSet kWantsResult{tkNot,   tkMul,   tkSlash,      tkDiv,          tkMod,       tkAnd,
                                 tkPlus,  tkMinus, tkOr,         tkEqual,        tkGreater,   tkLess,
                                 tkNotEqual, tkGreaterEqual, tkLessEqual, tkCloseParen, tkComma, tkDot};

bool WantsResult(int32_t kind) { return kWantsResult.Has(kind); }

// After these a `+` or `-` is binary.
constexpr TTokenSet kEndsOperand{tkIdentifier, tkInteger, tkFloat,      tkString,
                                 tkFalse,      tkTrue,    tkCloseParen, tkCloseBracket};

bool EndsOperand(int32_t kind) { return kEndsOperand.Has(kind); }

struct ArithmeticOp {
  int32_t token;
  VarOp op;
};
constexpr ArithmeticOp kArithmetic[] = {
    {tkPlus, VarOp::Add}, {tkMinus, VarOp::Sub}, {tkMul, VarOp::Mul},  {tkSlash, VarOp::Divide},
    {tkDiv, VarOp::IntDiv}, {tkMod, VarOp::Mod}, {tkShl, VarOp::Shl},  {tkShr, VarOp::Shr},
    {tkAnd, VarOp::And},  {tkOr, VarOp::Or},     {tkXor, VarOp::Xor},
};

struct CompareOp {
  int32_t token;
  VarCmp cmp;
};
constexpr CompareOp kCompare[] = {
    {tkEqual, VarCmp::Equal}, {tkNotEqual, VarCmp::NotEqual}, {tkLess, VarCmp::Less},
    {tkGreater, VarCmp::Greater}, {tkLessEqual, VarCmp::LessEqual}, {tkGreaterEqual, VarCmp::GreaterEqual},
};

// Operator priorities by token kind, for the operator an operand is read
// for (-1 at the top has none).
struct PriorityTable {
  int8_t p[128] = {};
  PriorityTable() {
    for (int32_t k = 0; k < 128; ++k) p[k] = static_cast<int8_t>(OperatorPriority(k));
  }
};

int32_t PriorityOf(int32_t kind) {
  static const PriorityTable table;
  return kind >= 0 && kind < 128 ? table.p[kind] : 0;
}

// Comparisons of two integers; false for any other operator.
bool IntegerComparison(int64_t a, int32_t op, int64_t b, Variant& out) {
  switch (op) {
    case tkEqual: out = Variant::Boolean(a == b); return true;
    case tkNotEqual: out = Variant::Boolean(a != b); return true;
    case tkLess: out = Variant::Boolean(a < b); return true;
    case tkGreater: out = Variant::Boolean(a > b); return true;
    case tkLessEqual: out = Variant::Boolean(a <= b); return true;
    case tkGreaterEqual: out = Variant::Boolean(a >= b); return true;
    default: return false;
  }
}

// Sum, difference or product of two 32-bit integers, exact in 64 bits;
// false for any other operator.
bool IntegerArithmetic(int64_t a, int32_t op, int64_t b, int64_t& v) {
  switch (op) {
    case tkPlus: v = a + b; return true;
    case tkMinus: v = a - b; return true;
    case tkMul: v = a * b; return true;
    default: return false;
  }
}

// 32-bit integers meet often enough to skip the general rules; the result
// is the one those rules give.
bool FastIntegerOp(const Variant& l, int32_t op, const Variant& r, Variant& out) {
  if (l.VarType() != varInteger || r.VarType() != varInteger) return false;
  int64_t a = static_cast<int32_t>(l.Bits()), b = static_cast<int32_t>(r.Bits()), v;
  if (!IntegerArithmetic(a, op, b, v)) return IntegerComparison(a, op, b, out);
  out = v >= INT32_MIN && v <= INT32_MAX ? Variant::Integer(static_cast<int32_t>(v)) : Variant::Int64(v);
  return true;
}

// Values compared by identity (reference or mask), never converted.
bool ComparesByIdentity(const Variant& v) {
  TVarType t = v.VarType();
  return t == ObjectVarType() || t == ClassVarType() || t == SetVarType() || t == PointerVarType() ||
         t == varUnknown || t == varDispatch;
}

bool SameIdentity(const Variant& l, const Variant& r) {
  if (l.VarType() == varUnknown || l.VarType() == varDispatch) return l.PayloadPtr() == r.PayloadPtr();
  return l.Bits() == r.Bits() && (r.VarType() == l.VarType() || !r.PayloadPtr());
}

bool HoldsMembers(const Variant& v) {
  TVarType t = v.VarType();
  return t == ObjectVarType() || t == ClassVarType() || t == RecordVarType() || t == varDispatch ||
         t == varUnknown;
}

std::vector<int32_t> IndexesOf(const TInterpreterArgs& args) {
  std::vector<int32_t> indexes;
  indexes.reserve(static_cast<size_t>(args.Count));
  for (int32_t i = 0; i < args.Count; ++i) indexes.push_back(args.Values[static_cast<size_t>(i)].AsInteger());
  return indexes;
}

// The 0-based position of a one-index access to a generic array.
size_t VariantArrayIndex(const VariantArray& array, const TInterpreterArgs& args) {
  if (args.Count > 1) RaiseError(172, -1);
  int64_t index = args.Values[0].AsInteger();
  if (index < array.low || index > array.High()) RaiseError(171, -1);
  return static_cast<size_t>(index - array.low);
}

// The 0-based position of a character; Range check error outside the text.
size_t StringIndex(const std::string& s, const TInterpreterArgs& args) {
  if (args.Count > 1) RaiseError(172, -1);
  int64_t index = args.Values[0].AsInteger();
  if (s.empty() || index < 1 || index > static_cast<int64_t>(s.size())) throw ERangeError();
  return static_cast<size_t>(index - 1);
}

// Works out the plan of an expression by reading its tokens the way
// ParseOperand reads them, giving up on anything a plan does not cover:
// calls, members, elements, sets, unary operators and whatever would raise.
class TExprPlanner {
 public:
  using Step = TInterpreterExprStep;
  using Plan = TInterpreterExprPlan;

  TExprPlanner(TTokenCache& tokens, const TCachedToken& start, Plan& plan)
      : tokens_(tokens), plan_(plan), token_(&start) {}

  bool Operand(int32_t op, int32_t nesting) {
    // A plan nested this deep could never run: the long way raises error 8.
    if (nesting >= kOperandStackSize) return false;
    if (nesting > plan_.Nesting) plan_.Nesting = nesting;
    if (op != -1) Next();
    const int32_t opPriority = PriorityOf(op);
    bool held = false;  // this level has a value
    for (;;) {
      if (plan_.Steps.size() > kMaxPlanSteps) return false;
      const int32_t kind = token_->Kind;
      if (IsOperandToken(kind)) {
        if (held) return false;
        if (kind == tkIdentifier) {
          const int32_t after = tokens_.Follow(*token_).Kind;
          if (after == tkOpenParen || after == tkOpenBracket || after == tkDot || after == tkColon) return false;
          Emit({Step::Local, 0, token_});
          plan_.LastNameNext = after;
        } else {
          Emit({Step::Literal, 0, token_});
        }
        Next();
        if (IsOperandToken(token_->Kind)) return false;
        if (token_->Priority < opPriority) return true;
        held = true;
        continue;
      }
      if (kind == tkNot || kind == tkOpenBracket) return false;
      if ((kind == tkPlus || kind == tkMinus) && !EndsOperand(prev_)) return false;
      if (token_->Priority > 0) {
        if (!held) return false;
        if (opPriority >= token_->Priority) return true;
        if (!Operand(kind, nesting + 1)) return false;
        plan_.Steps.push_back({Step::Operator, kind, nullptr});
        --depth_;
        continue;
      }
      if (kind == tkOpenParen) {
        if (held) return false;
        if (!Operand(tkOpenParen, nesting + 1) || token_->Kind != tkCloseParen) return false;
        Next();
        held = true;
        continue;
      }
      return held;
    }
  }

  void Finish() {
    plan_.End = token_;
    plan_.PrevKind = prev_;
    plan_.Reads = reads_;
  }

 private:
  void Next() {
    prev_ = token_->Kind;
    token_ = &tokens_.Follow(*token_);
    ++reads_;
  }
  void Emit(const Step& step) {
    plan_.Steps.push_back(step);
    if (++depth_ > plan_.Held) plan_.Held = depth_;
  }

  TTokenCache& tokens_;
  Plan& plan_;
  const TCachedToken* token_;
  int32_t prev_ = -1;
  uint32_t reads_ = 0;
  int32_t depth_ = 0;
};

// One call-arguments object of the pool, which grows with the depth of calls
// and assignments running inside one another.
constexpr int64_t kArgsBytes = sizeof(TInterpreterArgs);

}  // namespace

TInterpreterExpression::ArgsScope::ArgsScope(TInterpreterExpression& e) : e_(e), saved_(e.args_) {
  if (e.argsTop_ == e.argsPool_.size()) {
    e.run_.Charge(kArgsBytes);
    e.argsPool_.push_back(std::make_unique<TInterpreterArgs>());
  }
  fresh_ = e.argsPool_[e.argsTop_++].get();
  fresh_->Clear();
  fresh_->HasResult = false;
  fresh_->Assignment = false;
  e.args_ = fresh_;
}

TInterpreterExpression::ArgsScope::~ArgsScope() {
  e_.args_ = saved_;
  --e_.argsTop_;
}

TInterpreterExpression::TInterpreterExpression()
    : token_(&kNoToken), args_(&ownArgs_), adapter_(std::make_unique<TInterpreterAdapter>(this)),
      shared_(&GetGlobalAdapter()) {
  run_.Census = [this] {
    TValueCensus census;
    CountHeld(census);
    if (OnCountHeld) OnCountHeld(census);
    return census.Bytes();
  };
  SetSource({});
}

void TInterpreterExpression::CountHeld(TValueCensus& census) const {
  census.Add(ResultValue);
  for (int32_t i = 0; i <= sp_; ++i) census.Add(stack_[static_cast<size_t>(i)]);
  auto args = [&census](const TInterpreterArgs& a) {
    for (const Variant& v : a.Values) census.Add(v);
    for (const Variant& v : a.OpenArrayBuffer) census.Add(v);
    census.Add(a.Obj);
    for (const auto& t : a.Targets) {
      census.Add(t.Obj);
      for (const Variant& v : t.Indexes) census.Add(v);
    }
  };
  args(ownArgs_);
  for (const auto& a : argsPool_) args(*a);
  census.AddBytes(kArgsBytes * static_cast<int64_t>(argsPool_.size()));
  const TInterpreterAdapter& own = *adapter_;
  for (size_t i = 0; i < own.SrcVars().Count(); ++i) census.Add(own.SrcVars().Item(i).Value);
  for (size_t i = 0; i < own.SrcClasses().Count(); ++i) {
    const auto& vars = static_cast<const TInterpreterClass&>(*own.SrcClasses().Item(i)).Vars;
    for (size_t k = 0; k < vars.Count(); ++k) census.Add(vars.Item(k).Value);
  }
}

TInterpreterExpression::~TInterpreterExpression() = default;

void TInterpreterExpression::SetSource(std::string source) {
  sources_.clear();
  sources_.push_back(std::make_unique<TSourceText>());
  src_ = sources_.back().get();
  src_->Text = std::move(source);
  src_->Tokens.Reset(src_->Text);
  position_ = 0;
  token_ = &kNoToken;
  follow_ = nullptr;
  kind_ = prevKind_ = tkEnd;
  pushedBack_ = false;
}

TInterpreterExpression::TSourceText* TInterpreterExpression::SwitchSource(const std::string& text) {
  TSourceText* previous = src_;
  follow_ = nullptr;
  for (const auto& s : sources_) {
    if (s->Text == text) {
      src_ = s.get();
      return previous;
    }
  }
  sources_.push_back(std::make_unique<TSourceText>());
  src_ = sources_.back().get();
  src_->Text = text;
  src_->Tokens.Reset(src_->Text);
  return previous;
}

void TInterpreterExpression::Init() {
  ResultValue.Clear();
  sources_.resize(1);
  src_ = sources_.front().get();
  for (int32_t i = 0; i <= sp_; ++i) stack_[static_cast<size_t>(i)].Clear();
  sp_ = -1;
  position_ = 0;
  token_ = &kNoToken;
  follow_ = nullptr;
  kind_ = prevKind_ = tkEnd;
  pushedBack_ = false;
  assignAllowed_ = true;
  args_ = &ownArgs_;
  ownArgs_.Clear();
  argsTop_ = 0;
  exprDepth_ = 0;
  adapter_->Clear();
  lastError_.Clear();
}

void TInterpreterExpression::Run() {
  auto scope = EnterRun();
  Init();
  NextToken();
  EvaluateExpression(ResultValue);
}

void TInterpreterExpression::SetPosition(size_t offset) {
  position_ = offset > src_->Tokens.Text().size() ? src_->Tokens.Text().size() : offset;
  follow_ = nullptr;
  pushedBack_ = false;
}

const TCachedToken& TInterpreterExpression::PeekToken() {
  return follow_ ? src_->Tokens.Follow(*follow_) : src_->Tokens.Read(position_);
}

bool TInterpreterExpression::AtReadToken() const {
  return !pushedBack_ && token_ != &kNoToken && position_ == token_->End;
}

int32_t TInterpreterExpression::TokenStartPos() const {
  size_t length = token_->Text().size();
  return static_cast<int32_t>(position_ >= length ? position_ - length : 0);
}

void TInterpreterExpression::RaiseExpected(const std::string& what) const {
  std::string found = token_->Text().empty() ? ErrorCodeText(304) : "'" + token_->Text() + "'";
  RaiseError(103, TokenStartPos(), what, found);
}

void TInterpreterExpression::Push(const Variant& v) {
  if (sp_ + 1 >= kOperandStackSize) RaiseError(8, -1);
  stack_[static_cast<size_t>(++sp_)] = v;
}

void TInterpreterExpression::EvaluateExpression(Variant& result) {
  if (speedLayer_ && !pushedBack_ && token_->Plan >= 0 && token_ != &kNoToken && RunPlan(result)) return;
  result = Variant::Null();
  int32_t sp = sp_;
  try {
    ParseOperand(-1, result);
  } catch (const EVariantError&) {
    sp_ = sp;
    RaiseError(53, TokenEndPos());
  } catch (...) {
    sp_ = sp;
    throw;
  }
  sp_ = sp;
}

int32_t TInterpreterExpression::MakePlan(const TCachedToken& start) {
  const int32_t kind = start.Kind;
  if (kind == tkPlus || kind == tkMinus) return -1;  // unary by the token before
  TInterpreterExprPlan plan;
  TExprPlanner planner(src_->Tokens, start, plan);
  try {
    if (!planner.Operand(-1, 1)) return -1;
  } catch (...) {
    return -1;  // a token that fails to read fails again when read for real
  }
  planner.Finish();
  if (plan.Held > kMaxPlanHeld) return -1;
  src_->Plans.push_back(std::move(plan));
  return static_cast<int32_t>(src_->Plans.size());
}

bool TInterpreterExpression::RunPlan(Variant& result) {
  const TCachedToken& start = *token_;
  if (position_ != start.End) return false;
  if (start.Plan == 0) start.Plan = MakePlan(start);
  if (start.Plan < 0) return false;
  const TInterpreterExprPlan& plan = src_->Plans[static_cast<size_t>(start.Plan - 1)];
  // Where the long way would meet a bound, it goes the long way and raises.
  if (exprDepth_ + plan.Nesting >= kOperandStackSize || sp_ + plan.Held + 1 >= kOperandStackSize) return false;

  if (!RunIntegerPlan(plan, result) && !RunVariantPlan(plan, result)) return false;
  prevKind_ = plan.PrevKind;
  token_ = plan.End;
  kind_ = plan.End->Kind;
  position_ = plan.End->End;
  follow_ = plan.End;
  reads_ += plan.Reads;
  if (plan.LastNameNext >= 0) {
    TInterpreterArgs& args = Args();
    args.Clear();
    args.HasResult = WantsResult(plan.LastNameNext) || args.Assignment;
  }
  return true;
}

bool TInterpreterExpression::RunIntegerPlan(const TInterpreterExprPlan& plan, Variant& result) {
  // Integers are what most expressions hold: worked here without a Variant
  // while every value stays an Integer, which the general rules would give.
  std::array<int32_t, kMaxPlanHeld> held;
  size_t n = 0;
  const size_t last = plan.Steps.size() - 1;
  for (size_t i = 0; i <= last; ++i) {
    const TInterpreterExprStep& step = plan.Steps[i];
    switch (step.What) {
      case TInterpreterExprStep::Local: {
        const Variant* local = LocalValue(step.Token->Text());
        if (!local || local->VarType() != varInteger) return false;
        held[n++] = static_cast<int32_t>(local->Bits());
        break;
      }
      case TInterpreterExprStep::Literal:
        if (step.Token->Value().VarType() != varInteger) return false;
        held[n++] = static_cast<int32_t>(step.Token->Value().Bits());
        break;
      case TInterpreterExprStep::Operator: {
        const int64_t a = held[n - 2], b = held[n - 1];
        int64_t v;
        // A comparison gives a Boolean, which only the last step may.
        if (!IntegerArithmetic(a, step.Op, b, v)) return i == last && IntegerComparison(a, step.Op, b, result);
        if (v < INT32_MIN || v > INT32_MAX) return false;
        held[--n - 1] = static_cast<int32_t>(v);
        break;
      }
    }
  }
  result = Variant::Integer(held[0]);
  return true;
}

bool TInterpreterExpression::RunVariantPlan(const TInterpreterExprPlan& plan, Variant& result) {
  std::array<Variant, kMaxPlanHeld> held;
  size_t n = 0;
  try {
    for (const TInterpreterExprStep& step : plan.Steps) {
      switch (step.What) {
        case TInterpreterExprStep::Local: {
          const Variant* local = LocalValue(step.Token->Text());
          if (!local || local->IsCustom()) return false;
          CopyValue(held[n++], *local);
          break;
        }
        case TInterpreterExprStep::Literal:
          held[n++] = step.Token->Value();
          break;
        case TInterpreterExprStep::Operator:
          held[n - 2] = Operate(held[n - 2], step.Op, held[n - 1]);
          --n;
          break;
      }
    }
  } catch (...) {
    return false;  // the long way raises it where it belongs
  }
  result = std::move(held[0]);
  return true;
}

void TInterpreterExpression::EvaluateTyped(TVarType kind, Variant& result) {
  int32_t start = TokenStartPos();
  bool saved = assignAllowed_;
  assignAllowed_ = false;
  try {
    EvaluateExpression(result);
  } catch (...) {
    assignAllowed_ = saved;
    throw;
  }
  assignAllowed_ = saved;
  if (result.VarType() != kind) RaiseError(kind == varInteger ? 108 : kind == varBoolean ? 105 : 1, start);
}

void TInterpreterExpression::ParseOperand(int32_t op, Variant& result) {
  // Nesting counts, not length: a flat chain stays at one level.
  struct Depth {
    int32_t& d;
    explicit Depth(int32_t& depth) : d(depth) {
      if (++d >= kOperandStackSize) {
        --d;
        RaiseError(8, -1);
      }
    }
    ~Depth() { --d; }
  } depth(exprDepth_);
  CheckStack();
  struct StackMark {
    int32_t& sp;
    int32_t mark;
    ~StackMark() { sp = mark; }
  } mark{sp_, sp_};

  result.Clear();
  bool assigned = false;
  if (op != -1) NextToken();
  int32_t firstKind = kind_;
  int32_t opPriority = PriorityOf(op);
  for (;;) {
    int32_t kind = kind_;
    if (IsOperandToken(kind)) {
      if (kind == tkIdentifier) {
        // Cached tokens live as long as their text: the name needs no copy.
        const std::string& name = token_->Text();
        Args().Clear();
        if (!speedLayer_ || !ReadLocal(name, result)) ReadDesignator(name, nullptr, result);
      } else {
        result = token_->Value();
      }
      assigned = true;
      NextToken();
      if (IsOperandToken(kind_)) RaiseError(110, TokenEndPos());
      if (token_->Priority < opPriority) return;
      Push(result);
      continue;
    }
    if (kind == tkNot) {
      Variant operand;
      ParseOperand(tkNot, operand);
      result = VarNot(operand);
      assigned = true;
      Push(result);
      continue;
    }
    if ((kind == tkPlus || kind == tkMinus) && !EndsOperand(prevKind_)) {
      Variant operand;
      ParseOperand(tkNot, operand);
      result = kind == tkMinus ? VarNegate(operand) : operand;
      assigned = true;
      Push(result);
      continue;
    }
    int32_t priority = token_->Priority;
    if (priority > 0) {
      if (opPriority >= priority) return;
      if (sp_ <= mark.mark) RaiseError(2, -1);
      Variant left = std::move(stack_[static_cast<size_t>(sp_--)]);
      Variant right;
      ParseOperand(kind, right);
      result = Operate(left, kind, right);
      assigned = true;
      Push(result);
      continue;
    }
    if (kind == tkOpenParen) {
      ParseOperand(tkOpenParen, result);
      if (kind_ != tkCloseParen) RaiseExpected("')'");
      NextToken();
      assigned = true;
      Push(result);
      continue;
    }
    if (kind == tkOpenBracket) {
      NextToken();
      ReadSetConstructor(result);
      if (kind_ != tkCloseBracket) RaiseExpected("']'");
      NextToken();
      assigned = true;
      Push(result);
      continue;
    }
    if (!assigned && firstKind != tkIdentifier) RaiseExpectedCode(301);
    return;
  }
}

Variant TInterpreterExpression::Operate(const Variant& left, int32_t op, const Variant& right) {
  Variant fast;
  if (FastIntegerOp(left, op, right, fast)) return fast;
  if (left.VarType() == SetVarType() && (op == tkPlus || op == tkMinus)) {
    uint32_t l = static_cast<uint32_t>(left.Bits()), r = ValueToSet(right);
    return SetToValue(op == tkPlus ? (l | r) : (l & ~r));
  }
  // Joining strings is how a script grows memory fastest: the budget is
  // asked before the joined string is made.
  const bool joins = op == tkPlus && left.IsString() && right.IsString();
  if (joins) run_.Charge(kStringBytes + static_cast<int64_t>(left.StringRef().size() + right.StringRef().size()));
  for (const ArithmeticOp& a : kArithmetic) {
    if (a.token != op) continue;
    Variant v = VarBinaryOp(left, a.op, right);
    if (!joins && v.IsString()) run_.Charge(kStringBytes + static_cast<int64_t>(v.StringRef().size()));
    return v;
  }
  if ((op == tkEqual || op == tkNotEqual) && ComparesByIdentity(left))
    return Variant::Boolean(SameIdentity(left, right) == (op == tkEqual));
  for (const CompareOp& c : kCompare)
    if (c.token == op) return VarCompareOp(left, c.cmp, right);
  RaiseError(2, -1);
}

void TInterpreterExpression::ReadSetConstructor(Variant& result) {
  uint32_t mask = 0;
  while (kind_ == tkInteger || kind_ == tkIdentifier) {
    if (kind_ == tkInteger) {
      mask |= static_cast<uint32_t>(token_->Value().AsInteger());
    } else {
      std::string name = token_->Text();
      Variant element;
      Args().Clear();
      ReadDesignator(name, nullptr, element);
      if (!element.IsOrdinal()) RaiseError(108, TokenStartPos());
      mask |= 1u << (element.AsInt64() & 31);
    }
    NextToken();
    if (kind_ == tkComma) {
      NextToken();
      continue;
    }
    if (kind_ != tkCloseBracket) RaiseExpected("']'");
  }
  result = SetToValue(mask);
}

bool TInterpreterExpression::ReadLocal(const std::string& name, Variant& result) {
  // A plain name of a local variable, followed by nothing that makes it a
  // call, an element, a member or an assignment target, reads as the full
  // designator would read it.
  const TCachedToken& next = PeekToken();
  if (next.Kind == tkOpenParen || next.Kind == tkOpenBracket || next.Kind == tkDot || next.Kind == tkColon)
    return false;
  const Variant* local = LocalValue(name);
  if (!local || (local->IsCustom() && local->VarType() == RecordVarType())) return false;
  NextToken();
  Args().HasResult = WantsResult(kind_) || Args().Assignment;
  CopyValue(result, *local);
  PushBackToken();
  return true;
}

void TInterpreterExpression::ReadMembers(Variant& result) {
  // A chain a.b.c is read member by member in this one frame, however long
  // it is.
  std::string member;
  Variant holder;
  do {
    NextToken();
    if (kind_ != tkIdentifier) RaiseExpectedCode(302);
    if (!HoldsMembers(result)) RaiseError(109, TokenStartPos());
    member = token_->Text();
    holder = std::move(result);
    result = Variant::Null();
  } while (ReadName(member, &holder, result));
}

bool TInterpreterExpression::ReadName(const std::string& name, const Variant* object, Variant& result) {
  NextToken();
  TInterpreterArgs& args = Args();
  args.Indexed = kind_ == tkOpenBracket;
  if (kind_ == tkOpenParen || kind_ == tkOpenBracket)
    ReadCallArguments(kind_ == tkOpenParen ? tkCloseParen : tkCloseBracket);
  else
    args.Count = 0;
  if (object)
    args.SetObj(*object);
  else
    args.ClearObj();

  if (kind_ == tkColon && assignAllowed_) {
    PushBackToken();
    targetName_ = name;
    return false;
  }

  if (&args == watch_.Args) NoteTarget(name, object, args);
  args.HasResult = WantsResult(kind_) || args.Assignment;
  args.IndexesUsed = false;
  result.Clear();
  if (!GetValue(name, result, args)) RaiseError(104, TokenStartPos(), name);

  if (result.IsCustom() && result.VarType() == RecordVarType() && !ValueToRecord(result).RecordType()) {
    bool bound = adapter_->BindRecordType(result) || (shared_ != adapter_.get() && shared_->BindRecordType(result));
    if (!bound) RaiseError(31, -1, "Unknown RecordType");
  }
  if (args.WriteBack) WriteBackArguments();
  if (args.Indexed && !args.IndexesUsed) {
    Variant container = result;
    if (!GetElement(container, result, args)) RaiseError(176, TokenStartPos());
  }
  args.ClearObj();
  args.ObjKeeper.Clear();
  args.Count = 0;

  if (kind_ == tkDot) return true;
  PushBackToken();
  return false;
}

void TInterpreterExpression::ReadCallArguments(int32_t closing) {
  TInterpreterArgs& outer = Args();
  ArgsScope scope(*this);
  scope.Fresh().Indexed = outer.Indexed;
  outer.Targets.clear();
  int32_t count = 0;
  for (;;) {
    NextToken();
    if (count == 0 && kind_ == closing) break;
    if (count >= kMaxCallArgs) RaiseError(181, -1);
    size_t i = static_cast<size_t>(count);
    // Only a name that is the whole argument is a variable to write back.
    const int32_t next = kind_ == tkIdentifier ? int32_t{PeekToken().Kind} : int32_t{tkEnd};
    if (next == tkComma || next == closing)
      KeepOrAssign(outer.VarNames[i], token_->Text());
    else
      outer.VarNames[i].clear();
    Variant value;
    if (kind_ == tkOpenBracket)
      ReadOpenArray(value);
    else if (next == tkDot || next == tkOpenBracket)
      ReadTargetArgument(outer, count, value);
    else
      EvaluateExpression(value);
    outer.Values[i] = std::move(value);
    ++count;
    if (kind_ == tkComma) continue;
    if (kind_ != closing) RaiseExpected(closing == tkCloseParen ? "')'" : "']'");
    break;
  }
  NextToken();
  outer.Count = count;
}

void TInterpreterExpression::ReadTargetArgument(TInterpreterArgs& outer, int32_t index, Variant& value) {
  TInterpreterArgs::TTarget target;
  const TArgumentWatch outerWatch = std::move(watch_);
  watch_ = {&Args(), &target, {}, 0, 0};
  try {
    EvaluateExpression(value);
  } catch (...) {
    watch_ = outerWatch;
    throw;
  }
  const TArgumentWatch seen = std::exchange(watch_, outerWatch);
  // One designator that the argument ends with, naming an element of a
  // variable or a field of a record.
  if (seen.Designators != 1 || seen.End != position_) return;
  if (target.ObjKind != RecordVarType() && !(target.ObjKind == varEmpty && target.Indexed)) return;
  target.Arg = index;
  KeepOrAssign(outer.VarNames[static_cast<size_t>(index)], seen.Name);
  outer.Targets.push_back(std::move(target));
}

void TInterpreterExpression::NoteTarget(const std::string& name, const Variant* object, const TInterpreterArgs& args) {
  if (!object) ++watch_.Designators;
  TInterpreterArgs::TTarget& target = *watch_.Target;
  KeepOrAssign(watch_.Name, name);
  target.Obj = args.Obj;
  target.ObjKind = args.ObjKind;
  target.Indexed = args.Indexed;
  target.Indexes.assign(args.Values.begin(), args.Values.begin() + (args.Indexed ? args.Count : 0));
  watch_.End = position_;
}

void TInterpreterExpression::ReadOpenArray(Variant& result) {
  std::vector<Variant> items;
  NextToken();
  if (kind_ != tkCloseBracket) {
    for (;;) {
      if (items.size() >= kMaxCallArgs) RaiseError(181, -1);
      Variant item;
      EvaluateExpression(item);
      items.push_back(std::move(item));
      if (kind_ == tkComma) {
        NextToken();
        continue;
      }
      if (kind_ != tkCloseBracket) RaiseExpected("']'");
      break;
    }
  }
  NextToken();
  result = Variant::Array(std::move(items));
}

void TInterpreterExpression::WriteBackArguments() {
  TInterpreterArgs& args = Args();
  args.ClearObj();
  args.ObjKeeper.Clear();
  int32_t count = args.Count;
  args.Count = 0;
  bool indexed = args.Indexed;
  args.Indexed = false;
  for (int32_t i = 0; i < count; ++i) {
    size_t k = static_cast<size_t>(i);
    if (args.VarNames[k].empty() || !(args.Types[k] & varByRef)) continue;
    Variant value = args.Values[k];
    auto target = std::find_if(args.Targets.begin(), args.Targets.end(), [i](const auto& t) { return t.Arg == i; });
    if (target == args.Targets.end())
      SetValue(args.VarNames[k], value, args);
    else
      WriteBackTarget(TInterpreterArgs::TTarget(*target), args.VarNames[k], value);
  }
  args.Indexed = indexed;
  args.WriteBack = false;
}

void TInterpreterExpression::WriteBackTarget(const TInterpreterArgs::TTarget& target, const std::string& name,
                                             const Variant& value) {
  ArgsScope scope(*this);
  TInterpreterArgs& args = scope.Fresh();
  args.Obj = target.Obj;
  args.ObjKind = target.ObjKind;
  if (!target.Indexed) {
    SetValue(name, value, args);
    return;
  }
  args.Indexed = true;
  args.Count = static_cast<int32_t>(target.Indexes.size());
  std::copy(target.Indexes.begin(), target.Indexes.end(), args.Values.begin());
  StoreElement(name, value, args, TokenStartPos(), true);
}

bool TInterpreterExpression::StoreElement(const std::string& name, const Variant& value, TInterpreterArgs& args,
                                          int32_t at, bool dataOnly) {
  ArgsScope lookup(*this);
  TInterpreterArgs& plain = lookup.Fresh();
  plain.Obj = args.Obj;
  plain.ObjKind = args.ObjKind;
  Variant current;
  if (!GetValue(name, current, plain)) return false;
  // Texts and generic arrays are copies; arrays of the interpreter are
  // shared and change where they are.
  const bool copy = current.IsString() || current.IsArray();
  if (dataOnly && !copy && current.VarType() != ArrayVarType()) return true;
  if (!SetElement(current, value, args)) RaiseError(176, at);
  if (copy) {
    plain.Count = 0;
    plain.Obj = args.Obj;
    plain.ObjKind = args.ObjKind;
    plain.Indexed = false;
    if (!SetValue(name, current, plain)) RaiseError(104, at, name);
  }
  return true;
}

bool TInterpreterExpression::GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  try {
    if (adapter_->GetValue(this, identifier, value, args)) return true;
    if (shared_ != adapter_.get() && shared_->GetValue(this, identifier, value, args)) return true;
  } catch (std::exception& e) {
    ApplyErrorContext(e, {});
    throw;
  }
  if (!OnGetValue) return false;
  bool done = false;
  OnGetValue(this, identifier, value, args, done);
  return done;
}

bool TInterpreterExpression::SetValue(const std::string& identifier, const Variant& value, TInterpreterArgs& args) {
  try {
    if (adapter_->SetValue(this, identifier, value, args)) return true;
    if (shared_ != adapter_.get() && shared_->SetValue(this, identifier, value, args)) return true;
  } catch (EInterpreterError& e) {
    e.ErrPos = TokenStartPos();
    throw;
  }
  if (!OnSetValue) return false;
  bool done = false;
  OnSetValue(this, identifier, value, args, done);
  return done;
}

bool TInterpreterExpression::AdapterElement(const Variant& variable, Variant& value, TInterpreterArgs& args,
                                            bool write, const Variant* newValue) {
  auto ask = [&](TInterpreterAdapter& a) {
    return write ? a.SetElement(this, variable, *newValue, args) : a.GetElement(this, variable, value, args);
  };
  return ask(*adapter_) || (shared_ != adapter_.get() && ask(*shared_));
}

bool TInterpreterExpression::GetElement(const Variant& variable, Variant& value, TInterpreterArgs& args) {
  if (args.Count == 0) return false;
  TVarType t = variable.VarType();
  if (variable.IsString()) {
    const std::string& s = variable.StringRef();
    value = Variant::String(std::string(1, s[StringIndex(s, args)]));
    return true;
  }
  if (t == ArrayVarType()) {
    value = GetArrayElement(IndexesOf(args), ValueToArray(variable));
    return true;
  }
  if (t == ObjectVarType() || t == ClassVarType()) return AdapterElement(variable, value, args, false, nullptr);
  if (!variable.IsArray()) RaiseError(176, TokenEndPos());
  const VariantArray& array = variable.ArrayRef();
  value = array.items[VariantArrayIndex(array, args)];
  return true;
}

bool TInterpreterExpression::SetElement(Variant& variable, const Variant& value, TInterpreterArgs& args) {
  if (args.Count == 0) return false;
  TVarType t = variable.VarType();
  if (variable.IsString()) {
    std::string s = variable.StringRef();
    size_t index = StringIndex(s, args);
    std::string text = value.AsString();
    s[index] = text.empty() ? '\0' : text[0];
    variable = variable.VarType() == varOleStr ? Variant::OleStr(std::move(s)) : Variant::String(std::move(s));
    return true;
  }
  if (t == ArrayVarType()) {
    SetArrayElement(IndexesOf(args), ValueToArray(variable), value);
    return true;
  }
  if (t == ObjectVarType() || t == ClassVarType()) {
    Variant unused;
    return AdapterElement(variable, unused, args, true, &value);
  }
  if (!variable.IsArray()) RaiseError(176, TokenEndPos());
  VariantArray& array = variable.MutableArray();
  array.items[VariantArrayIndex(array, args)] = value;
  return true;
}

void TInterpreterExpression::ApplyErrorContext(std::exception& e, std::string_view unitName) {
  CompleteError(lastError_, e, unitName, src_->Tokens.Text(), static_cast<int32_t>(position_));
}
