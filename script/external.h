// Procedures of native libraries that script units declare `external`. The
// declarations are kept so scripts parse and name them, but no library is
// ever loaded: scripts come from downloaded gate packages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "variant.h"

struct TExternalFunction {
  std::string LibraryName;
  std::string FunctionName;
  uintptr_t Module = 0;  // as registered; never used to call
  int32_t Ordinal = 0;
  int8_t ParamCount = 0;
  std::vector<TVarType> ParamTypes;
  TVarType ResultType = 0;
};

// Always fails: sets `result` to False and raises error 184 naming the
// library.
[[noreturn]] void CallExternalFunction(const TExternalFunction& function, Variant& result);
