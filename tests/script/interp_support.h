// Test helpers: run a script text through a program object with the
// developer host registered, and catch what it raises.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <string>

#include "devhost.h"
#include "errors.h"
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

// Runs `job` on a thread of its own with a stack of `bytes`: how deep
// scripts nest depends on the stack, and the test thread's own is the
// machine's to set.
inline void RunOnStack(size_t bytes, const std::function<void()>& job) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
  pthread_t thread;
  auto body = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, const_cast<std::function<void()>*>(&job)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}
