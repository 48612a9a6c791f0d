// The script evaluator: turns the text of a gate parameter into a value.
// A text starting with "eval(" (any case) is a script of the gate language,
// run by this evaluator's own program; any other text is its own value.
//
// How the gate runner uses it (one evaluator per gate object, used by one
// step thread at a time):
//
//   TEvalutor eval;                       // registers the script API once
//   eval.SetObject("Html", &html);        // the named objects of a send:
//   ...                                   //   Html, GateInfo, Stored, PostData,
//                                         //   HTTP, Cookies, SMS or MMS, Img
//   eval.SetStatementHook([&] { if (cancelled) RaiseError(3, -1); });
//   Variant v;
//   eval.Evaluate(param, v);              // EEvalException on a script error
//   eval.SetObject("Img", nullptr);       // unbind before freeing the picture
//
// Names in a script resolve in this order: the script's own variables and
// functions, the registered script API, then the bound objects. Objects the
// scripts create live as long as the evaluator: they are freed with it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "exceptions.h"
#include "proplist.h"
#include "variant.h"

class TInterpreterArgs;
class TInterpreterProgram;

// A script failure of any kind (syntax, run time, a host error inside an API
// call). The message is "Ошибка парсинга  (" + the interpreter's message
// without unit and line + "): " + the offset in the script text (-1 when
// unknown) — two blanks before "(", as users have always seen it.
class EEvalException : public Exception {
  PX_CLASS(EEvalException, Exception)
 public:
  EEvalException(const std::string& interpreterMessage, int32_t errCode, int32_t errPos);

  int32_t ErrCode;  // the interpreter's error code (3 "User break", 6 a host failure, ...)
  int32_t ErrPos;   // offset in the script text, -1 when unknown
};

class TEvalutor {
 public:
  // Registers the script API with the global adapter on the first
  // construction in the process (construct the first evaluator before any
  // step thread runs), then makes this evaluator's program and bound names.
  TEvalutor();
  ~TEvalutor();
  TEvalutor(const TEvalutor&) = delete;
  TEvalutor& operator=(const TEvalutor&) = delete;

  // Empty text: Unassigned. "eval(" + script + one last character (assumed
  // to be ")"): the script's result, Null becoming Unassigned. Any other
  // text: that text as a string value. Raises EEvalException when the
  // script fails; `result` is then left as it was.
  void Evaluate(const std::string& value, Variant& result);
  Variant Evaluate(const std::string& value);

  // Binds `obj` (not owned) to `name` (any case) for scripts; a binding of
  // that name is replaced. nullptr removes the binding, so that a script
  // using the name afterwards fails with a script error. A bound object
  // freed while still bound reads as a script error as well.
  void SetObject(const std::string& name, TObject* obj);
  // The program's handler for names nothing else knows: Done true, with the
  // bound object in `value`, when `identifier` is bound.
  void GetValue(TObject* sender, const std::string& identifier, Variant& value, TInterpreterArgs& args, bool& done);

  // Called before every statement a script runs; raising from it (for
  // example RaiseError(3, -1), "User break") stops the script, and Evaluate
  // raises EEvalException with that error. An empty hook removes it.
  void SetStatementHook(std::function<void()> hook);

  // The program that runs the scripts, for its limits.
  TInterpreterProgram& Program() { return *program_; }

 private:
  std::unique_ptr<TInterpreterProgram> program_;
  TPropList vars_;
  std::function<void()> statementHook_;
};
