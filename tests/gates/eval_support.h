// Test helpers: an evaluator with the named objects of a send bound as the
// gate runner binds them, and the outcome of a script as value or error.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "cp1251.h"
#include "sendobjects.h"
#include "variant.h"

class EvalTest : public ::testing::Test {
 protected:
  EvalTest() { send.BindTo(eval); }

  // The value of `script` (UTF-8, as the test sources are) run as the gate
  // parameter "eval(script)" in Windows-1251.
  Variant Run(const std::string& script) { return eval.Evaluate("eval(" + cp1251::FromUtf8(script) + ")"); }
  // The value as text (UTF-8), for comparisons with literals.
  std::string Text(const std::string& script) { return cp1251::ToUtf8(VarToStr(Run(script))); }
  // The evaluator's message (UTF-8) for a failing script; "<no error>" when
  // the script succeeds.
  std::string Error(const std::string& script) {
    try {
      Run(script);
    } catch (const EEvalException& e) {
      return cp1251::ToUtf8(e.Message());
    }
    return "<no error>";
  }
  // The interpreter's message inside the evaluator's text, or "<no error>".
  std::string Cause(const std::string& script) {
    const std::string message = Error(script);
    const size_t open = message.find('('), close = message.rfind("): ");
    return open == std::string::npos || close == std::string::npos ? message : message.substr(open + 1, close - open - 1);
  }

  SendObjects send;
  TEvalutor eval;
};
