// What the header parser records of a function declared in script source
// (or declared external), and what a call of it is checked and bound with.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "args.h"
#include "datatypes.h"

// The kind flag of a `const` parameter (a `var` one carries varByRef).
constexpr TVarType kConstParamFlag = 0x8000;

struct TInterpreterFunctionDesc {
  std::string UnitName;
  std::string Name;
  // Written before a dot in the header (Foo.Bar gives Foo); empty otherwise.
  std::string Qualifier;
  int32_t ParameterCount = 0;
  // Value kinds; varByRef added for `var`, kConstParamFlag for `const`.
  TParamTypes ParameterKinds{};
  std::array<std::string, kMaxCallArgs> ParameterTypeNames;
  std::array<std::string, kMaxCallArgs> ParameterNames;
  // 0 for a procedure; a function of a result type of kind 0 gets 12.
  TVarType ResultKind = 0;
  std::string ResultTypeName;
  TDataTypePtr ResultType;
  // Offset of the body (just after the header's ";") and just past it.
  int32_t BodyStart = 0;
  int32_t BodyEnd = 0;
  // Set when a registry takes the declaration, unique in the process: a
  // frame that ran a desc of this number knows its names and types without
  // reading them again. 0 for a desc no registry holds.
  uint64_t Serial = 0;
};
