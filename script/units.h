// Whole script sources: the entry that tells a statement block, a
// declaration, a unit with `main` and a single expression apart; units with
// their uses, declarations and types; programs; and calls of script
// functions by name from the host.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "statements.h"

// True for a text a program object runs as a program: it starts with the
// word `program` and a blank, in any case.
bool IsProgramText(std::string_view text);

class TInterpreterUnit : public TInterpreterFunction {
  PX_CLASS(TInterpreterUnit, TInterpreterFunction)
 public:
  // Supplies the text of a used unit the registries do not know.
  using TGetUnitSource = std::function<void(TObject* sender, const std::string& unitName, std::string& source,
                                            bool& done)>;

  void Init() override;
  // Runs the text by its first token: `begin`/`var` a block, `procedure`/
  // `function` a declaration (nothing runs), `unit` a unit whose `main`
  // runs, anything else one expression. The result is in ResultValue.
  void Run() override;
  // Parses the text, which must be a unit, without running anything.
  void CompileUnit();
  // Calls a script function by name (compiling the unit first when nothing
  // is compiled yet); error 104 when there is none.
  Variant CallScriptFunction(const std::string& name, const std::vector<Variant>& args);
  // The same with the function's unit, the object it runs for, and an
  // optional call-argument record to use as it is.
  void CallScriptFunctionIn(TObject* instance, const std::string& unitName, const std::string& name,
                            const std::vector<Variant>& args, TInterpreterArgs* callArgs, Variant& result);

  bool GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args) override;

  // Asks OnGetUnitSource; false when there is no handler or it did not serve.
  virtual bool AskUnitSource(const std::string& unitName, std::string& source);

  bool ResetDeclarations = true;
  int32_t Section = 0;  // 0 none, 1 interface, 2 implementation
  bool Compiled = false;
  TGetUnitSource OnGetUnitSource;
  // The object a host call by name runs for.
  TObject* Instance() const { return instance_; }

 protected:
  // After `unit`: the unit up to `end.`, registered with its declarations.
  void ParseUnit();
  // One declaration part of a unit or program at the current token; false
  // when the token starts none.
  bool ReadDeclarationPart(std::string& uses);
  void ReadUses(std::string& uses);
  void LoadUnit(const std::string& name);
  // At `procedure`/`function`: the header and, outside an interface
  // section, the body or external clause; registers the function.
  void ReadDeclaration();
  void ReadHeader(TInterpreterFunctionDesc& desc);
  void ReadExternal(const TInterpreterFunctionDesc& desc);
  void ReadTypeDeclaration();
  void ReadClassType(const std::string& name);
  void ReadRecordType(const std::string& name);
  // Runs a function declared in source, in its own unit's text.
  void RunSourceFunction(const TInterpreterFunctionDesc& desc);
  void DeclareSourceVar(const std::string& name, const std::string& typeName, TVarType kind, const Variant& value,
                        const TDataTypePtr& dataType);

 private:
  // The source function a plain name was last found to call, with the state
  // of everything asked before it: the unit it was called from and both
  // registries (which had no handlers then). While all are as they were,
  // the same name finds the same function without asking them again.
  struct TCallMemo {
    std::string Name;
    std::string Unit;
    uint64_t Own = 0;
    uint64_t Shared = 0;
    const TInterpreterFunctionDesc* Desc = nullptr;
  };
  // The remembered function for that name, or nullptr when it must be
  // looked up.
  const TInterpreterFunctionDesc* RecalledCall(const std::string& identifier, const TInterpreterArgs& args);
  // The lookup after the frame's locals: the registries and handlers (which
  // may serve the name themselves: `served`), then the source functions;
  // remembers what it found when it may.
  const TInterpreterFunctionDesc* LookUpCall(const std::string& identifier, Variant& value, TInterpreterArgs& args,
                                             bool& served);

  TObject* instance_ = nullptr;
  TCallMemo callMemo_;
};

class TInterpreterProgram : public TInterpreterUnit {
  PX_CLASS(TInterpreterProgram, TInterpreterUnit)
 public:
  // A text starting with "program " runs as a program; any other as a unit
  // would.
  void Run() override;

  // The source as lines; setting them makes their CR LF join the source.
  const std::vector<std::string>& Pas() const { return pas_; }
  void SetPas(std::vector<std::string> lines);

  // Called before each statement; raising from it stops the script.
  std::function<void(TObject* sender)> OnStatement;

 protected:
  void StatementHook() override {
    if (OnStatement) OnStatement(this);
  }

 private:
  void RunProgram();
  std::vector<std::string> pas_;
};
