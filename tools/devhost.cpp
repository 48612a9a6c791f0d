// The developer host interface.
#include "devhost.h"

#include <memory>

#include "adapter.h"
#include "cp1251.h"
#include "errors.h"
#include "hostinstance.h"
#include "scriptowned.h"
#include "typesunit.h"
#include "values.h"
#include "varops.h"

namespace {

std::string& Output() {
  static std::string output;
  return output;
}

void Print(Variant&, TInterpreterArgs& args) {
  for (int32_t i = 0; i < args.Count; ++i) Output() += VarToStr(args.Values[static_cast<size_t>(i)]);
}

template <class E>
void AddExceptionClass(TInterpreterAdapter& a, const char* name) {
  a.AddClass("SysUtils", &E::StaticClass(), name);
  a.AddClassGet(
      &E::StaticClass(), "Create",
      [](Variant& value, TInterpreterArgs& args) {
        value = AdoptScriptObject(std::make_unique<E>(args.Values[0].AsString()));
      },
      1, {varString}, ObjectVarType());
}

void Register() {
  TInterpreterAdapter& a = GetGlobalAdapter();
  RegisterTypesUnit(a);
  a.AddExtUnit("SysUtils");
  a.AddFunction("SysUtils", "Write", Print, -1, {}, varEmpty);
  a.AddFunction(
      "SysUtils", "WriteLn",
      [](Variant& v, TInterpreterArgs& args) {
        Print(v, args);
        Output() += '\n';
      },
      -1, {}, varEmpty);
  a.AddFunction(
      "SysUtils", "IntToStr",
      [](Variant& value, TInterpreterArgs& args) { value = Variant::String(std::to_string(args.Values[0].AsInt64())); },
      1, {varInteger}, varString);
  a.AddFunction(
      "SysUtils", "StrToInt",
      [](Variant& value, TInterpreterArgs& args) { value = Variant::Integer(args.Values[0].AsInteger()); }, 1,
      {varString}, varInteger);
  a.AddFunction(
      "SysUtils", "Length",
      [](Variant& value, TInterpreterArgs& args) {
        value = Variant::Integer(static_cast<int32_t>(args.Values[0].AsString().size()));
      },
      1, {varString}, varInteger);
  a.AddFunction(
      "SysUtils", "Copy",
      [](Variant& value, TInterpreterArgs& args) {
        std::string s = args.Values[0].AsString();
        int64_t from = args.Values[1].AsInteger(), count = args.Values[2].AsInteger();
        if (from < 1) from = 1;
        if (count < 0 || from > static_cast<int64_t>(s.size())) count = 0;
        value = Variant::String(s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(count)));
      },
      3, {varString, varInteger, varInteger}, varString);
  a.AddFunction(
      "SysUtils", "Ord",
      [](Variant& value, TInterpreterArgs& args) {
        const Variant& v = args.Values[0];
        if (v.IsString())
          value = Variant::Integer(v.StringRef().empty() ? 0 : static_cast<uint8_t>(v.StringRef()[0]));
        else
          value = Variant::Integer(v.AsInteger());
      },
      1, {varEmpty}, varInteger);
  a.AddFunction(
      "SysUtils", "Chr",
      [](Variant& value, TInterpreterArgs& args) {
        value = Variant::String(std::string(1, static_cast<char>(args.Values[0].AsInteger() & 0xFF)));
      },
      1, {varInteger}, varString);
  a.AddFunction(
      "SysUtils", "UpperCase",
      [](Variant& value, TInterpreterArgs& args) { value = Variant::String(cp1251::UpperCase(args.Values[0].AsString())); },
      1, {varString}, varString);
  AddExceptionClass<Exception>(a, "Exception");
  AddExceptionClass<EConvertError>(a, "EConvertError");
  a.AddClass("SysUtils", &EDivByZero::StaticClass(), "EDivByZero");
  a.AddClass("SysUtils", &EInterpreterError::StaticClass(), "EInterpreterError");
  a.AddGet(
      &Exception::StaticClass(), "Message",
      [](Variant& value, TInterpreterArgs& args) {
        value = Variant::String(RequireInstance<Exception>(args).Message());
      },
      0, {}, varString);
}

}  // namespace

void RegisterDevHost() {
  static const bool registered = (Register(), true);
  (void)registered;
}

std::string TakeDevOutput() {
  std::string out;
  out.swap(Output());
  return out;
}

std::string RunDevScript(const std::string& text, std::string& out, TInterpreterProgram& program) {
  RegisterDevHost();
  TakeDevOutput();
  program.SetSource(text);
  std::string error;
  try {
    program.Run();
  } catch (const std::exception& e) {
    error = e.what();
    if (error.empty()) error = "Unknown error";
  }
  out = TakeDevOutput();
  if (error.empty() && !IsProgramText(text) && !program.ResultValue.IsEmpty()) {
    try {
      out += VarToStr(program.ResultValue) + "\n";
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  return error;
}
