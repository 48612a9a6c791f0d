// The script evaluator over a program object of its own.
#include "eval.h"

#include <string_view>
#include <unordered_set>
#include <vector>

#include "census.h"
#include "cp1251.h"
#include "errors.h"
#include "evalclasses.h"
#include "evalreg.h"
#include "memorystream.h"
#include "postdata.h"
#include "tokenizer.h"
#include "units.h"
#include "values.h"

namespace {

// The program gate parameters run in. A parameter that is one expression
// must be that expression and nothing more: "eval(1+2) " leaves the script
// "1+2)", whose stray bracket the expression reader would stop at and pass
// over in silence, hiding a broken gate parameter. Semicolons after it are
// passed over, as the expression reader always has: gates close a lone call
// with one, as they would the statement.
class TEvalProgram : public TInterpreterProgram {
  PX_CLASS(TEvalProgram, TInterpreterProgram)
 public:
  void Run() override {
    const bool expression = IsExpression();
    TInterpreterProgram::Run();
    if (!expression) return;
    while (Kind() == tkSemicolon) NextToken();
    if (Kind() != tkEnd) RaiseExpectedCode(304);
  }

 private:
  // The entry runs anything that starts otherwise as one expression.
  bool IsExpression() {
    if (IsProgramText(Source())) return false;
    Init();
    NextToken();
    switch (Kind()) {
      case tkBegin: case tkVar: case tkProcedure: case tkFunction: case tkUnit: return false;
      default: return true;
    }
  }
};

constexpr std::string_view kEvalPrefix = "eval(";
// The code the interpreter gives a failure that is not one of its own.
constexpr int32_t kHostFailureCode = 6;

bool IsScriptValue(const std::string& value) {
  if (value.size() < kEvalPrefix.size()) return false;
  for (size_t i = 0; i < kEvalPrefix.size(); ++i)
    if (cp1251::Lower(value[i]) != kEvalPrefix[i]) return false;
  return true;
}

// What the bound objects keep for the scripts, for the memory budget: the
// entries of the property lists (Stored, Cookies, the message, the HTTP
// options and their headers), the page text, the POST body and attachment
// streams. Objects reached through entries count once each; a freed one
// counts nothing.
void CountKept(const TPropList& bound, TValueCensus& census) {
  std::unordered_set<const TObject*> seen;
  std::vector<TObject*> pending;
  auto reach = [&](TObject* obj) {
    if (obj && seen.insert(obj).second) pending.push_back(obj);
  };
  auto reachValue = [&](const Variant& value) {
    if (value.VarType() == ObjectVarType()) reach(TObject::FromHandle(value.Bits()));
  };
  for (int i = 0; i < bound.Count(); ++i) reachValue(bound.GetItem(i));
  auto text = [&census](const std::string& s) { census.AddBytes(kStringBytes + static_cast<int64_t>(s.size())); };
  auto entries = [&](const TPropList& list) {
    for (int i = 0; i < list.Count(); ++i) {
      text(list.GetName(i));
      if (list.IsObject(i)) {
        reach(list.GetObject(i));
        continue;
      }
      const Variant value = list.GetItem(i);
      census.Add(value);
      reachValue(value);
    }
  };
  while (!pending.empty()) {
    TObject* obj = pending.back();
    pending.pop_back();
    if (const auto* client = ObjectAs<THTTPClient>(obj)) {
      entries(client->Headers);
      for (const std::string* option :
           {&client->CustomMime, &client->CustomUserAgent, &client->Referer, &client->Protocol})
        text(*option);
    }
    if (const auto* list = ObjectAs<TPropList>(obj)) entries(*list);
    if (const auto* page = ObjectAs<TText>(obj)) text(page->Text);
    if (const auto* body = ObjectAs<TPostData>(obj)) census.AddBytes(body->Size());
    if (const auto* stream = ObjectAs<TMemoryStream>(obj)) census.AddBytes(stream->Size());
  }
}

std::string MessageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return e.what();
}

}  // namespace

EEvalException::EEvalException(const std::string& interpreterMessage, int32_t errCode, int32_t errPos)
    : Exception("Ошибка парсинга  ("_cp + interpreterMessage + "): " + std::to_string(errPos)),
      ErrCode(errCode),
      ErrPos(errPos) {}

TEvalutor::TEvalutor() : program_(std::make_unique<TEvalProgram>()) {
  EnsureScriptApi();
  program_->OnGetValue = [this](TObject* sender, const std::string& identifier, Variant& value,
                                TInterpreterArgs& args, bool& done) { GetValue(sender, identifier, value, args, done); };
  program_->OnCountHeld = [this](TValueCensus& census) { CountKept(vars_, census); };
}

TEvalutor::~TEvalutor() = default;

Variant TEvalutor::Evaluate(const std::string& value) {
  Variant result;
  Evaluate(value, result);
  return result;
}

void TEvalutor::Evaluate(const std::string& value, Variant& result) {
  if (value.empty()) {
    result.Clear();
    return;
  }
  if (!IsScriptValue(value)) {
    result = Variant::String(value);
    return;
  }
  // The last character is taken for the closing bracket, whatever it is; a
  // bare "eval(" is an empty script.
  const size_t length = value.size() - kEvalPrefix.size();
  std::string script = length > 0 ? value.substr(kEvalPrefix.size(), length - 1) : std::string();
  // The same text again keeps what the program learnt reading it.
  if (program_->Source() != script) program_->SetSource(std::move(script));
  try {
    program_->Run();
  } catch (const EInterpreterError& e) {
    // The plain message: the offset already says where, and a unit's name
    // and line would only repeat it inside the gate's error text.
    throw EEvalException(e.Message1, e.ErrCode, e.ErrPos);
  } catch (const std::exception& e) {
    // The program recorded where the host failure left the script.
    const EInterpreterError& last = program_->LastError();
    const std::string message = MessageOf(e);
    if (last.ErrCode == kHostFailureCode && last.Message1 == message)
      throw EEvalException(last.Message1, kHostFailureCode, last.ErrPos);
    throw EEvalException(message, kHostFailureCode, -1);
  }
  result = program_->ResultValue.IsNull() ? Variant() : program_->ResultValue;
}

void TEvalutor::SetObject(const std::string& name, TObject* obj) {
  if (obj)
    vars_.SetItemNamed(name, ObjectToValue(obj));
  else
    vars_.RemoveNamed(name);
}

void TEvalutor::GetValue(TObject* /*sender*/, const std::string& identifier, Variant& value,
                         TInterpreterArgs& /*args*/, bool& done) {
  const int index = vars_.IndexOf(identifier);
  done = index >= 0;
  if (done) value = vars_.GetItem(index);
}

void TEvalutor::SetStatementHook(std::function<void()> hook) {
  statementHook_ = std::move(hook);
  if (statementHook_)
    program_->OnStatement = [this](TObject*) { statementHook_(); };
  else
    program_->OnStatement = nullptr;
}
