// Test helpers: run a script text through a program object with the
// developer host registered, and catch what it raises.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "devhost.h"
#include "errors.h"
#include "support/stackthread.h"
#include "units.h"
#include "varops.h"

// The result of running `text`.
inline Variant RunScript(const std::string& text) {
  RegisterDevHost();
  TInterpreterProgram program;
  program.SetSource(text);
  program.Run();
  return program.ResultValue;
}

// The result as text; "<error N>" when the run raised interpreter error N.
inline std::string Eval(const std::string& text) {
  try {
    return VarToStr(RunScript(text));
  } catch (const EInterpreterError& e) {
    return "<error " + std::to_string(e.ErrCode) + ">";
  }
}

// The interpreter error `text` raises; code -1 when it raises none.
inline EInterpreterError ScriptError(const std::string& text, TInterpreterProgram* with = nullptr) {
  RegisterDevHost();
  TInterpreterProgram own;
  TInterpreterProgram& program = with ? *with : own;
  program.SetSource(text);
  try {
    program.Run();
  } catch (const EInterpreterError& e) {
    return e;
  }
  return EInterpreterError(-1, -1);
}
