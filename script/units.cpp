// Units, programs and host calls of script functions.
#include "units.h"

#include "adapter.h"
#include "cp1251.h"
#include "samename.h"
#include "datatypes.h"
#include "records.h"
#include "tokenizer.h"
#include "values.h"

namespace {

constexpr int32_t kRecordFieldSize = 16;

}  // namespace

void TInterpreterUnit::Init() {
  TInterpreterFunction::Init();
  if (ResetDeclarations) OwnAdapter().ClearSource();
  Section = 0;
  Compiled = false;
}

void TInterpreterUnit::Run() {
  auto scope = EnterRun();
  Init();
  NextToken();
  switch (Kind()) {
    case tkBegin:
    case tkVar:
      Args().Count = 0;
      RunFunction(nullptr);
      break;
    case tkProcedure:
    case tkFunction:
      try {
        ReadDeclaration();
      } catch (std::exception& e) {
        ApplyErrorContext(e, CurrentUnit());
        throw;
      }
      break;
    case tkUnit: {
      try {
        ParseUnit();
      } catch (std::exception& e) {
        ApplyErrorContext(e, CurrentUnit());
        throw;
      }
      const TInterpreterFunctionDesc* main = OwnAdapter().FindFunction(CurrentUnit(), "main", {});
      if (!main) RaiseError(55, -1);
      Args().Clear();
      RunSourceFunction(*main);
      break;
    }
    default:
      try {
        Variant value;
        EvaluateExpression(value);
        ResultValue = std::move(value);
      } catch (std::exception& e) {
        ApplyErrorContext(e, {});
        throw;
      }
  }
  Compiled = true;
}

void TInterpreterUnit::CompileUnit() {
  auto scope = EnterRun();
  Init();
  try {
    NextToken();
    if (Kind() != tkUnit) RaiseExpected("'unit'");
    ParseUnit();
  } catch (std::exception& e) {
    ApplyErrorContext(e, CurrentUnit());
    throw;
  }
  Compiled = true;
}

void TInterpreterUnit::DeclareSourceVar(const std::string& name, const std::string& typeName, TVarType kind,
                                        const Variant& value, const TDataTypePtr& dataType) {
  OwnAdapter().AddSrcVar(currentUnit_, name, typeName, kind, value, dataType);
}

bool TInterpreterUnit::ReadDeclarationPart(std::string& uses) {
  auto declare = [this](const std::string& name, const std::string& typeName, TVarType kind, const Variant& value,
                        const TDataTypePtr& dataType) { DeclareSourceVar(name, typeName, kind, value, dataType); };
  switch (Kind()) {
    case tkProcedure:
    case tkFunction:
      ReadDeclaration();
      if (Kind() != tkSemicolon) RaiseExpected("';'");
      return true;
    case tkVar: ReadVarSection(declare); return true;
    case tkConst: ReadConstSection(declare); return true;
    case tkUses: ReadUses(uses); return true;
    case tkType: ReadTypeDeclaration(); return true;
    case tkInterface: Section = 1; return true;
    case tkImplementation: Section = 2; return true;
    default: return false;
  }
}

void TInterpreterUnit::ParseUnit() {
  CheckStack();
  NextToken();
  if (Kind() != tkIdentifier) RaiseExpectedCode(302);
  currentUnit_ = TokenText();
  NextToken();
  if (Kind() != tkSemicolon) RaiseExpected("';'");
  std::string uses;
  for (;;) {
    NextToken();
    if (Kind() == tkEnd) RaiseExpected("'end'");
    if (Kind() == tkEndKeyword) {
      NextToken();
      if (Kind() != tkDot) RaiseExpected("'.'");
      OwnAdapter().AddSrcUnit(currentUnit_, Source(), uses);
      return;
    }
    if (!ReadDeclarationPart(uses)) RaiseExpectedCode(303);
  }
}

void TInterpreterUnit::ReadUses(std::string& uses) {
  for (;;) {
    NextToken();
    if (Kind() != tkIdentifier && Kind() != tkString) RaiseExpectedCode(302);
    std::string name = Kind() == tkString ? TokenValue().AsString() : TokenText();
    LoadUnit(name);
    if (!uses.empty()) uses += ",";
    uses += name;
    NextToken();
    if (Kind() == tkIn) {
      NextToken();
      NextToken();
    }
    if (Kind() == tkSemicolon) return;
    if (Kind() != tkComma) RaiseExpected("','");
  }
}

void TInterpreterUnit::LoadUnit(const std::string& name) {
  if (OwnAdapter().UnitExists(name) || SharedAdapter().UnitExists(name)) return;
  CheckStack();
  // Known by name before its uses are read, so a unit using it in turn does
  // not load it again.
  OwnAdapter().AddSrcUnit(currentUnit_, {}, {});
  std::string text;
  if (!AskUnitSource(name, text)) RaiseError(56, TokenStartPos(), name);
  TReaderState saved = SaveReader();
  std::string savedUnit = currentUnit_;
  int32_t savedSection = Section;
  TSourceText* savedSource = SwitchSource(text);
  auto restore = [&] {
    RestoreSource(savedSource);
    RestoreReader(saved);
    currentUnit_ = savedUnit;
    Section = savedSection;
  };
  try {
    SetPosition(0);
    Section = 0;
    NextToken();
    if (Kind() != tkUnit) RaiseExpected("'unit'");
    ParseUnit();
  } catch (std::exception& e) {
    ApplyErrorContext(e, currentUnit_ == savedUnit ? name : currentUnit_);
    restore();
    throw;
  }
  restore();
}

bool TInterpreterUnit::AskUnitSource(const std::string& unitName, std::string& source) {
  if (!OnGetUnitSource) return false;
  bool done = false;
  OnGetUnitSource(this, unitName, source, done);
  return done;
}

void TInterpreterUnit::ReadHeader(TInterpreterFunctionDesc& desc) {
  bool isFunction = Kind() == tkFunction;
  NextToken();
  if (Kind() != tkIdentifier) RaiseExpectedCode(302);
  desc.UnitName = currentUnit_;
  desc.Name = TokenText();
  NextToken();
  if (Kind() == tkDot) {
    NextToken();
    if (Kind() != tkIdentifier) RaiseExpectedCode(302);
    desc.Qualifier = desc.Name;
    desc.Name = TokenText();
    NextToken();
  }
  if (Kind() == tkOpenParen) {
    for (;;) {
      NextToken();
      if (Kind() == tkCloseParen && desc.ParameterCount == 0) break;
      TVarType flag = 0;
      if (Kind() == tkVar || Kind() == tkConst) {
        flag = Kind() == tkVar ? varByRef : kConstParamFlag;
        NextToken();
      }
      std::vector<std::string> names;
      for (;;) {
        if (Kind() != tkIdentifier) RaiseExpectedCode(302);
        names.push_back(TokenText());
        NextToken();
        if (Kind() != tkComma) break;
        NextToken();
      }
      if (Kind() != tkColon) RaiseExpected("':'");
      NextToken();
      if (Kind() != tkIdentifier) RaiseExpectedCode(302);
      std::string typeName = TokenText();
      TVarType kind = TypeNameToKind(typeName);
      // Whatever follows the type name up to the group's end is passed over.
      do {
        NextToken();
        if (Kind() == tkEnd) RaiseExpected("')'");
      } while (Kind() != tkSemicolon && Kind() != tkCloseParen);
      for (const std::string& n : names) {
        if (desc.ParameterCount >= kMaxCallArgs) RaiseError(181, TokenStartPos());
        size_t k = static_cast<size_t>(desc.ParameterCount++);
        desc.ParameterNames[k] = n;
        desc.ParameterTypeNames[k] = typeName;
        desc.ParameterKinds[k] = static_cast<TVarType>(kind | flag);
      }
      if (Kind() == tkCloseParen) break;
    }
    NextToken();
  }
  if (isFunction) {
    if (Kind() != tkColon) RaiseExpected("':'");
    NextToken();
    desc.ResultType = ReadDataType(&desc.ResultTypeName);
    desc.ResultKind = desc.ResultType->ValueKind() ? desc.ResultType->ValueKind() : varVariant;
  }
  if (Kind() != tkSemicolon) RaiseExpected("';'");
  desc.BodyStart = static_cast<int32_t>(Position());
}

void TInterpreterUnit::ReadDeclaration() {
  CheckStack();
  TInterpreterFunctionDesc desc;
  ReadHeader(desc);
  TReaderState atHeaderEnd = SaveReader();
  NextToken();
  if (Kind() == tkExternal) {
    ReadExternal(desc);
    return;
  }
  if (Section == 1) {
    RestoreReader(atHeaderEnd);
    return;
  }
  while (Kind() != tkBegin) {
    if (Kind() == tkEnd) RaiseExpected("'begin'");
    NextToken();
  }
  SkipBlock();
  std::vector<TVarType> kinds(desc.ParameterKinds.begin(), desc.ParameterKinds.begin() + desc.ParameterCount);
  std::vector<std::string> typeNames(desc.ParameterTypeNames.begin(),
                                     desc.ParameterTypeNames.begin() + desc.ParameterCount);
  std::vector<std::string> names(desc.ParameterNames.begin(), desc.ParameterNames.begin() + desc.ParameterCount);
  OwnAdapter().AddSrcFun(currentUnit_, desc.Name, desc.Qualifier, desc.BodyStart, static_cast<int32_t>(Position()),
                         desc.ParameterCount, kinds, typeNames, names, desc.ResultKind, desc.ResultTypeName,
                         desc.ResultType);
}

void TInterpreterUnit::ReadExternal(const TInterpreterFunctionDesc& desc) {
  NextToken();
  std::string library;
  if (Kind() == tkString) {
    library = TokenValue().AsString();
  } else if (Kind() == tkIdentifier) {
    std::string name = TokenText();
    Variant value;
    ArgsScope lookup(*this);
    if (!GetValue(name, value, lookup.Fresh())) RaiseError(104, TokenStartPos(), name);
    library = value.AsString();
  } else {
    RaiseExpectedCode(308);
  }
  NextToken();
  std::string functionName;
  int32_t ordinal = -1;
  if (Kind() == tkIdentifier && cp1251::SameText(TokenText(), "name")) {
    NextToken();
    if (Kind() != tkString) RaiseExpectedCode(308);
    functionName = TokenValue().AsString();
  } else if (Kind() == tkIdentifier && cp1251::SameText(TokenText(), "index")) {
    NextToken();
    if (Kind() != tkInteger) RaiseExpectedCode(306);
    ordinal = TokenValue().AsInteger();
  } else {
    RaiseExpected("'name' or 'index'");
  }
  NextToken();
  std::vector<TVarType> kinds(desc.ParameterKinds.begin(), desc.ParameterKinds.begin() + desc.ParameterCount);
  OwnAdapter().AddExtFun(currentUnit_, desc.Name, 0, library, functionName, ordinal, desc.ParameterCount, kinds,
                         desc.ResultKind);
}

void TInterpreterUnit::ReadTypeDeclaration() {
  NextToken();
  if (Kind() != tkIdentifier) RaiseExpectedCode(302);
  std::string name = TokenText();
  NextToken();
  if (Kind() != tkEqual) RaiseExpected("'='");
  NextToken();
  if (Kind() == tkClass)
    ReadClassType(name);
  else if (Kind() == tkRecord)
    ReadRecordType(name);
  else
    RaiseExpectedCode(305);
}

void TInterpreterUnit::ReadClassType(const std::string& name) {
  NextToken();
  if (Kind() != tkOpenParen) RaiseExpected("'('");
  NextToken();
  if (Kind() != tkIdentifier) RaiseExpectedCode(302);
  NextToken();
  if (Kind() != tkCloseParen) RaiseExpected("')'");
  auto cls = std::make_unique<TInterpreterClass>(currentUnit_, name);
  TInterpreterVarList& fields = cls->Vars;
  std::string unit = currentUnit_;
  auto declare = [&fields, &unit](const std::string& n, const std::string& typeName, TVarType kind,
                                  const Variant& value, const TDataTypePtr&) {
    fields.DeclareVariable(unit, n, typeName, kind, value);
  };
  bool fieldsAllowed = true;
  for (;;) {
    NextToken();
    int32_t kind = Kind();
    if (kind == tkEnd) RaiseExpected("'end'");
    if (kind == tkEndKeyword) break;
    if (kind == tkPublic || kind == tkPrivate || kind == tkProtected || kind == tkPublished) {
      fieldsAllowed = true;
      continue;
    }
    if (kind == tkIdentifier && fieldsAllowed) {
      // A field group reads like a var section that starts at its name.
      PushBackToken();
      ReadVarSection(declare);
      continue;
    }
    if (kind == tkProcedure || kind == tkFunction) {
      TInterpreterFunctionDesc dropped;
      ReadHeader(dropped);
      fieldsAllowed = false;
      continue;
    }
    RaiseExpectedCode(303);
  }
  NextToken();
  if (Kind() != tkSemicolon) RaiseExpected("';'");
  OwnAdapter().AddOwnedObject(std::move(cls));
}

void TInterpreterUnit::ReadRecordType(const std::string& name) {
  auto record = std::make_shared<TInterpreterRecord>(currentUnit_, name);
  TInterpreterRecord& r = *record;
  // Every field is a generic value; its declared type gives its start.
  auto declare = [&r](const std::string& n, const std::string&, TVarType, const Variant&,
                      const TDataTypePtr& dataType) {
    if (r.Fields.size() >= kMaxRecordFields) RaiseError(2, -1, "Too many record fields");
    TInterpreterRecordField field;
    field.Name = n;
    field.Offset = r.Size;
    field.Kind = varEmpty;
    field.DataType = dataType;
    r.Fields.push_back(std::move(field));
    r.Size += kRecordFieldSize;
  };
  ReadVarSection(declare);
  NextToken();
  if (Kind() != tkEndKeyword) RaiseExpected("'end'");
  NextToken();
  if (Kind() != tkSemicolon) RaiseExpected("';'");
  OwnAdapter().AddRecordType(std::move(record));
}

void TInterpreterUnit::RunSourceFunction(const TInterpreterFunctionDesc& desc) {
  CheckStack();
  PushState();
  // Only a call into another unit changes the current one, and only such a
  // call has it to put back.
  std::string savedUnit;
  bool unitChanged = false;
  TSourceText* savedSource = nullptr;
  bool switched = false;
  if (!SameName(desc.UnitName, currentUnit_)) {
    std::string text = OwnAdapter().GetUnitSource(desc.UnitName);
    if (!text.empty() && text != Source()) {
      savedSource = SwitchSource(text);
      switched = true;
    }
    savedUnit = std::move(currentUnit_);
    currentUnit_ = desc.UnitName;
    unitChanged = true;
  }
  auto restore = [&] {
    if (switched) RestoreSource(savedSource);
    if (unitChanged) currentUnit_ = std::move(savedUnit);
    PopState();
  };
  try {
    SetPosition(static_cast<size_t>(desc.BodyStart));
    NextToken();
    RunFunction(&desc);
  } catch (std::exception& e) {
    ApplyErrorContext(e, currentUnit_);
    restore();
    throw;
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

const TInterpreterFunctionDesc* TInterpreterUnit::RecalledCall(const std::string& identifier,
                                                                const TInterpreterArgs& args) {
  const TCallMemo& m = callMemo_;
  if (!speedLayer_ || !m.Desc || !SameBytes(m.Name, identifier) || args.Indexed || OnGetValue || args.HasObj()) return nullptr;
  if (!SameBytes(m.Unit, currentUnit_)) return nullptr;
  if (OwnAdapter().PlainMissStamp() != m.Own || SharedAdapter().PlainMissStamp() != m.Shared) return nullptr;
  return m.Desc;
}

const TInterpreterFunctionDesc* TInterpreterUnit::LookUpCall(const std::string& identifier, Variant& value,
                                                             TInterpreterArgs& args, bool& served) {
  // Read before the lookup: a change made while it runs must not be taken
  // for the state the miss was seen in.
  const bool plain = !args.Indexed && !args.HasObj() && !OnGetValue;
  const uint64_t own = OwnAdapter().PlainMissStamp();
  const uint64_t shared = SharedAdapter().PlainMissStamp();
  served = TInterpreterExpression::GetValue(identifier, value, args);
  if (served) return nullptr;
  const TInterpreterFunctionDesc* desc = nullptr;
  if (!args.HasObj()) {
    desc = OwnAdapter().FindFunction(currentUnit_, identifier, {});
  } else if (TObject* obj = args.Instance()) {
    if (auto* unit = ObjectAs<TInterpreterSrcUnit>(obj)) {
      desc = OwnAdapter().FindFunction(unit->Name, identifier, {});
    } else if (auto* cls = ObjectAs<TInterpreterClass>(obj); cls && OwnAdapter().OwnsClass(cls)) {
      // An instance of a class declared in script source: its own methods.
      desc = OwnAdapter().FindFunction(cls->Unit, identifier, cls->Name);
    }
  }
  if (desc && plain && own && shared && !OnGetValue) {
    KeepOrAssign(callMemo_.Name, identifier);
    KeepOrAssign(callMemo_.Unit, currentUnit_);
    callMemo_.Own = own;
    callMemo_.Shared = shared;
    callMemo_.Desc = desc;
  }
  return desc;
}

bool TInterpreterUnit::GetValue(const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  if (FrameValue(identifier, value, args)) return true;
  const TInterpreterFunctionDesc* desc = RecalledCall(identifier, args);
  if (!desc) {
    bool served = false;
    desc = LookUpCall(identifier, value, args, served);
    if (served) return true;
  }
  if (!desc) return false;
  CheckArgs(args, desc->ParameterCount, desc->ParameterKinds);
  TInterpreterArgs* saved = args_;
  args_ = &args;
  try {
    RunSourceFunction(*desc);
  } catch (...) {
    args_ = saved;
    throw;
  }
  args_ = saved;
  value = ResultValue;
  return true;
}

Variant TInterpreterUnit::CallScriptFunction(const std::string& name, const std::vector<Variant>& args) {
  Variant result;
  CallScriptFunctionIn(nullptr, {}, name, args, nullptr, result);
  return result;
}

void TInterpreterUnit::CallScriptFunctionIn(TObject* instance, const std::string& unitName, const std::string& name,
                                            const std::vector<Variant>& args, TInterpreterArgs* callArgs,
                                            Variant& result) {
  auto scope = EnterRun();
  if (!Compiled) CompileUnit();
  const TInterpreterFunctionDesc* desc = OwnAdapter().FindFunction(unitName, name, {});
  if (!desc) RaiseError(104, -1, name);
  TInterpreterArgs* use = callArgs;
  if (!use) {
    use = &ownArgs_;
    use->Clear();
    if (args.size() > static_cast<size_t>(kMaxCallArgs)) RaiseError(181, -1);
    for (const Variant& a : args) use->Add(a);
  }
  break_ = continue_ = exit_ = false;
  lastError_.Clear();
  TObject* savedInstance = instance_;
  TInterpreterArgs* savedArgs = args_;
  instance_ = instance;
  args_ = use;
  try {
    RunSourceFunction(*desc);
  } catch (...) {
    instance_ = savedInstance;
    args_ = savedArgs;
    throw;
  }
  instance_ = savedInstance;
  args_ = savedArgs;
  result = ResultValue;
}

void TInterpreterProgram::SetPas(std::vector<std::string> lines) {
  pas_ = std::move(lines);
  std::string text;
  for (size_t i = 0; i < pas_.size(); ++i) {
    if (i) text += "\r\n";
    text += pas_[i];
  }
  SetSource(std::move(text));
}

bool IsProgramText(std::string_view text) {
  constexpr std::string_view kWord = "program ";
  return text.size() >= kWord.size() && cp1251::SameText(text.substr(0, kWord.size()), kWord);
}

void TInterpreterProgram::Run() {
  auto scope = EnterRun();
  if (IsProgramText(Source())) {
    RunProgram();
    return;
  }
  TInterpreterUnit::Run();
}

void TInterpreterProgram::RunProgram() {
  Init();
  try {
    NextToken();
    NextToken();
    currentUnit_ = TokenText();
    NextToken();
    if (Kind() != tkSemicolon) RaiseExpected("';'");
    std::string uses;
    for (;;) {
      NextToken();
      if (Kind() == tkBegin || Kind() == tkEndKeyword) break;
      if (!ReadDeclarationPart(uses)) RaiseExpected("'end'");
    }
    Compiled = true;
    OwnAdapter().AddSrcUnit(currentUnit_, Source(), uses);
    Args().Clear();
    if (Kind() == tkBegin) RunFunction(nullptr, tkDot);
  } catch (std::exception& e) {
    ApplyErrorContext(e, currentUnit_);
    throw;
  }
}
