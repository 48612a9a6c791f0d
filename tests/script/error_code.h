// Test helper: the code of the interpreter error a call raises, 0 if none.
#pragma once

#include <cstdint>
#include <functional>

#include "errors.h"

inline int32_t ErrorCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const EInterpreterError& e) {
    return e.ErrCode;
  }
  return 0;
}
