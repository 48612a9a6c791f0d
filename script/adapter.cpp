// The adapter registry: registration, clearing, sorting, copying, the
// source-side queries and the global adapter.
#include "adapter.h"

#include <algorithm>
#include <atomic>
#include <initializer_list>

#include "cp1251.h"
#include "samename.h"
#include "values.h"

namespace {

int8_t ClampCount(int32_t count) { return static_cast<int8_t>(std::clamp<int32_t>(count, -1, kMaxCallArgs)); }

void FillCall(TInterpreterCall& call, TInterpreterCallback callback, int32_t paramCount,
              const std::vector<TVarType>& paramTypes, TVarType resultType) {
  call.Callback = std::move(callback);
  call.ParamCount = ClampCount(paramCount);
  call.ParamTypes = MakeParamTypes(paramTypes);
  call.ResultType = resultType;
}

template <class Entry>
Entry& Append(TInterpreterIdentifierList& list, const std::string& unit, const std::string& identifier,
              void* data) {
  return static_cast<Entry&>(*list.Add(std::make_unique<Entry>(unit, identifier, data)));
}

template <class Entry>
Entry& AppendMember(TInterpreterIdentifierList& list, const TClassInfo* cls, const std::string& identifier,
                    TInterpreterCallback callback, int32_t paramCount, const std::vector<TVarType>& paramTypes,
                    TVarType resultType, void* data) {
  auto& entry = Append<Entry>(list, {}, identifier, data);
  entry.ClassRef = cls;
  FillCall(entry, std::move(callback), paramCount, paramTypes, resultType);
  return entry;
}

template <class Entry>
const Entry& At(const TInterpreterIdentifierList& list, size_t i) {
  return static_cast<const Entry&>(*list.Item(i));
}

// Desc serials never repeat in the process, so that a desc made where a
// freed one lay is never taken for it.
uint64_t NextDescSerial() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::vector<TVarType> AllTypes(const TParamTypes& types) { return {types.begin(), types.end()}; }

std::vector<std::string> SplitUses(const std::string& uses) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= uses.size() && items.size() < static_cast<size_t>(kMaxCallArgs)) {
    size_t comma = uses.find(',', start);
    std::string item = uses.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    auto notBlank = [](unsigned char c) { return c > ' '; };
    item.erase(item.begin(), std::find_if(item.begin(), item.end(), notBlank));
    item.erase(std::find_if(item.rbegin(), item.rend(), notBlank).base(), item.end());
    if (item.empty()) break;
    items.push_back(std::move(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace

TInterpreterAdapter::TInterpreterAdapter(TInterpreterExpression* owner) : owner_(owner) {}

TInterpreterAdapter::~TInterpreterAdapter() { TInterpreterAdapter::Clear(); }

void TInterpreterAdapter::ClearSource() {
  Changed();
  srcUnits_.Clear();
  srcFunctions_.Clear();
  srcVars_.Clear();
  for (size_t i = 0; i < srcClasses_.Count(); ++i) static_cast<TInterpreterClass*>(srcClasses_.Item(i))->Vars.Clear();
  srcClasses_.Clear();
}

void TInterpreterAdapter::ClearNonSource() {
  Changed();
  for (TInterpreterIdentifierList* list : std::initializer_list<TInterpreterIdentifierList*>{
           &extUnits_, &intfMethods_, &getters_, &setters_, &iGetters_, &iSetters_, &idGetters_, &idSetters_,
           &dMethods_, &classes_, &constants_, &functions_, &recGetters_, &recSetters_, &extFunctions_, &eventTypes_,
           &events_})
    list->Clear();
  recordTypes_.clear();
  getHandlers_.clear();
  setHandlers_.clear();
}

void TInterpreterAdapter::Sort() {
  std::lock_guard<std::mutex> lock(sortLock_);
  SortLists();
}

void TInterpreterAdapter::SortLists() {
  for (TInterpreterIdentifierList* list : std::initializer_list<TInterpreterIdentifierList*>{
           &constants_, &classes_, &functions_, &getters_, &intfMethods_, &setters_, &iGetters_, &iSetters_})
    list->Sort();
  sorted_.store(true, std::memory_order_release);
}

void TInterpreterAdapter::EnsureSorted() {
  if (Sorted()) return;
  std::lock_guard<std::mutex> lock(sortLock_);
  if (!Sorted()) SortLists();
}

void TInterpreterAdapter::Clear() {
  ClearSource();
  ClearNonSource();
}

void TInterpreterAdapter::Assign(const TInterpreterAdapter& s) {
  if (&s == this) return;
  auto members = [](const TInterpreterIdentifierList& list, auto add) {
    for (size_t i = 0; i < list.Count(); ++i) {
      const auto& m = At<TInterpreterMethod>(list, i);
      add(m, AllTypes(m.ParamTypes));
    }
  };
  members(s.getters_, [&](const auto& m, const auto& t) {
    if (m.ClassMember)
      AddClassGet(m.ClassRef, m.Name, m.Callback, m.ParamCount, t, m.ResultType, m.Data);
    else
      AddGetEx(m.ClassRef, m.Name, m.Callback, m.ParamCount, t, m.ResultType, m.Data);
  });
  members(s.setters_, [&](const auto& m, const auto& t) {
    AddSetEx(m.ClassRef, m.Name, m.Callback, m.ParamCount, t, m.Data);
  });
  members(s.iGetters_, [&](const auto& m, const auto& t) {
    AddIGetEx(m.ClassRef, m.Name, m.Callback, m.ParamCount, t, m.ResultType, m.Data);
  });
  members(s.iSetters_, [&](const auto& m, const auto& t) {
    AddISetEx(m.ClassRef, m.Name, m.Callback, m.ParamCount, t, m.Data);
  });
  members(s.idGetters_, [&](const auto& m, const auto& t) {
    AddIDGetEx(m.ClassRef, m.Callback, m.ParamCount, t, m.ResultType, m.Data);
  });
  members(s.idSetters_, [&](const auto& m, const auto& t) {
    AddIDSetEx(m.ClassRef, m.Callback, m.ParamCount, t, m.Data);
  });
  for (size_t i = 0; i < s.intfMethods_.Count(); ++i) {
    const auto& m = At<TInterpreterIntfMethod>(s.intfMethods_, i);
    AddIntfGetEx(m.Iid, m.Name, m.Callback, m.ParamCount, AllTypes(m.ParamTypes), m.ResultType, m.Data);
  }
  for (size_t i = 0; i < s.dMethods_.Count(); ++i) {
    const auto& m = At<TInterpreterDMethod>(s.dMethods_, i);
    AddDGetEx(m.ClassRef, m.Name, m.Direct, m.ParamCount, AllTypes(m.ParamTypes), m.ResultType,
              m.CallingConvention, m.Data);
  }
  for (size_t i = 0; i < s.functions_.Count(); ++i) {
    const auto& m = At<TInterpreterMethod>(s.functions_, i);
    AddFunctionEx(m.Unit, m.Name, m.Callback, m.ParamCount, AllTypes(m.ParamTypes), m.ResultType, m.Data);
  }
  for (size_t i = 0; i < s.extUnits_.Count(); ++i) AddExtUnitEx(s.extUnits_.Item(i)->Name, s.extUnits_.Item(i)->Data);
  for (size_t i = 0; i < s.classes_.Count(); ++i) {
    const auto& c = At<TInterpreterClass>(s.classes_, i);
    AddClassEx(c.Unit, c.ClassRef, c.Name, c.Data);
    static_cast<TInterpreterClass*>(classes_.Item(classes_.Count() - 1))->Vars = c.Vars;
  }
  for (size_t i = 0; i < s.srcFunctions_.Count(); ++i) {
    const auto& f = At<TInterpreterSrcFunction>(s.srcFunctions_, i);
    const TInterpreterFunctionDesc& d = f.Desc;
    std::vector<std::string> typeNames(d.ParameterTypeNames.begin(), d.ParameterTypeNames.end());
    std::vector<std::string> names(d.ParameterNames.begin(), d.ParameterNames.end());
    AddSrcFunEx(f.Unit, f.Name, d.Qualifier, d.BodyStart, d.BodyEnd, d.ParameterCount, AllTypes(d.ParameterKinds),
                typeNames, names, d.ResultKind, d.ResultTypeName, d.ResultType, f.Data);
  }
  for (size_t i = 0; i < s.srcUnits_.Count(); ++i) {
    const auto& u = At<TInterpreterSrcUnit>(s.srcUnits_, i);
    std::string uses;
    for (const std::string& name : u.Uses) uses += (uses.empty() ? "" : ",") + name;
    AddSrcUnitEx(u.Name, u.Source, uses, u.Data);
  }
  for (size_t i = 0; i < s.constants_.Count(); ++i) {
    const auto& c = At<TInterpreterConst>(s.constants_, i);
    AddConstEx(c.Unit, c.Name, c.Value, c.Data);
  }
  for (const auto& r : s.recordTypes_)
    AddRecEx(r->Unit, r->Name, r->Size, r->Fields, r->CreateProc, r->DestroyProc, r->CopyProc, r->Data);
  auto recMethods = [](const TInterpreterIdentifierList& list, auto add) {
    for (size_t i = 0; i < list.Count(); ++i) {
      const auto& m = At<TInterpreterRecMethod>(list, i);
      add(m, m.RecordType ? m.RecordType->Name : std::string(), AllTypes(m.ParamTypes));
    }
  };
  recMethods(s.recGetters_, [&](const auto& m, const auto& rec, const auto& t) {
    AddRecGetEx(m.Unit, rec, m.Name, m.Callback, m.ParamCount, t, m.ResultType, m.Data);
  });
  recMethods(s.recSetters_, [&](const auto& m, const auto& rec, const auto& t) {
    AddRecSetEx(m.Unit, rec, m.Name, m.Callback, m.ParamCount, t, m.Data);
  });
  for (size_t i = 0; i < s.extFunctions_.Count(); ++i) {
    const auto& f = At<TInterpreterExtFunction>(s.extFunctions_, i);
    const TExternalFunction& l = f.Library;
    AddExtFunEx(f.Unit, f.Name, l.Module, l.LibraryName, l.FunctionName, l.Ordinal, l.ParamCount,
                l.ParamTypes, l.ResultType, f.Data);
  }
  for (size_t i = 0; i < s.eventTypes_.Count(); ++i) {
    const auto& e = At<TInterpreterEventDesc>(s.eventTypes_, i);
    AddHandlerEx(e.Unit, e.Name, e.AdapterClass, e.Handler, e.Data);
  }
  for (size_t i = 0; i < s.events_.Count(); ++i) {
    const auto& e = At<TInterpreterClass>(s.events_, i);
    AddEventEx(e.Unit, e.ClassRef, e.Name, e.Data);
  }
  for (const auto& h : s.getHandlers_) AddOnGet(h);
  for (const auto& h : s.setHandlers_) AddOnSet(h);
}

void TInterpreterAdapter::AddSrcUnit(const std::string& identifier, const std::string& source,
                                     const std::string& uses) {
  AddSrcUnitEx(identifier, source, uses, nullptr);
}

void TInterpreterAdapter::AddSrcUnitEx(const std::string& identifier, const std::string& source,
                                       const std::string& uses, void* data) {
  Changed();
  TInterpreterSrcUnit* unit = nullptr;
  for (size_t i = 0; i < srcUnits_.Count() && !unit; ++i)
    if (cp1251::SameText(srcUnits_.Item(i)->Name, identifier)) unit = static_cast<TInterpreterSrcUnit*>(srcUnits_.Item(i));
  if (!unit) unit = &Append<TInterpreterSrcUnit>(srcUnits_, {}, identifier, nullptr);
  if (!unit->Source.empty()) return;
  unit->Name = identifier;
  unit->Source = source;
  unit->Data = data;
  unit->Uses = SplitUses(uses);
}

void TInterpreterAdapter::AddExtUnit(const std::string& identifier) { AddExtUnitEx(identifier, nullptr); }

void TInterpreterAdapter::AddExtUnitEx(const std::string& identifier, void* data) {
  Changed();
  Append<TInterpreterIdentifier>(extUnits_, {}, identifier, data);
}

void TInterpreterAdapter::AddClass(const std::string& unit, const TClassInfo* cls, const std::string& identifier) {
  AddClassEx(unit, cls, identifier, nullptr);
}

void TInterpreterAdapter::AddClassEx(const std::string& unit, const TClassInfo* cls, const std::string& identifier,
                                     void* data) {
  Changed();
  Append<TInterpreterClass>(classes_, unit, identifier, data).ClassRef = cls;
  MarkUnsorted();
}

void TInterpreterAdapter::AddGet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                                 int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType) {
  AddGetEx(cls, identifier, std::move(callback), paramCount, paramTypes, resultType, nullptr);
}

void TInterpreterAdapter::AddGetEx(const TClassInfo* cls, const std::string& identifier,
                                   TInterpreterCallback callback, int32_t paramCount,
                                   const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(getters_, cls, identifier, std::move(callback), paramCount, paramTypes,
                                   resultType, data);
  MarkUnsorted();
}

void TInterpreterAdapter::AddClassGet(const TClassInfo* cls, const std::string& identifier,
                                      TInterpreterCallback callback, int32_t paramCount,
                                      const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(getters_, cls, identifier, std::move(callback), paramCount, paramTypes,
                                   resultType, data)
      .ClassMember = true;
  MarkUnsorted();
}

void TInterpreterAdapter::AddSet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                                 int32_t paramCount, const std::vector<TVarType>& paramTypes) {
  AddSetEx(cls, identifier, std::move(callback), paramCount, paramTypes, nullptr);
}

void TInterpreterAdapter::AddSetEx(const TClassInfo* cls, const std::string& identifier,
                                   TInterpreterCallback callback, int32_t paramCount,
                                   const std::vector<TVarType>& paramTypes, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(setters_, cls, identifier, std::move(callback), paramCount, paramTypes, 0, data);
  MarkUnsorted();
}

void TInterpreterAdapter::AddIGet(const TClassInfo* cls, const std::string& identifier,
                                  TInterpreterCallback callback, int32_t paramCount,
                                  const std::vector<TVarType>& paramTypes, TVarType resultType) {
  AddIGetEx(cls, identifier, std::move(callback), paramCount, paramTypes, resultType, nullptr);
}

void TInterpreterAdapter::AddIGetEx(const TClassInfo* cls, const std::string& identifier,
                                    TInterpreterCallback callback, int32_t paramCount,
                                    const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(iGetters_, cls, identifier, std::move(callback), paramCount, paramTypes,
                                   resultType, data);
  MarkUnsorted();
}

void TInterpreterAdapter::AddISet(const TClassInfo* cls, const std::string& identifier,
                                  TInterpreterCallback callback, int32_t paramCount,
                                  const std::vector<TVarType>& paramTypes) {
  AddISetEx(cls, identifier, std::move(callback), paramCount, paramTypes, nullptr);
}

void TInterpreterAdapter::AddISetEx(const TClassInfo* cls, const std::string& identifier,
                                    TInterpreterCallback callback, int32_t paramCount,
                                    const std::vector<TVarType>& paramTypes, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(iSetters_, cls, identifier, std::move(callback), paramCount, paramTypes, 0,
                                   data);
  MarkUnsorted();
}

void TInterpreterAdapter::AddIDGet(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                                   const std::vector<TVarType>& paramTypes, TVarType resultType) {
  AddIDGetEx(cls, std::move(callback), paramCount, paramTypes, resultType, nullptr);
}

void TInterpreterAdapter::AddIDGetEx(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                                     const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(idGetters_, cls, {}, std::move(callback), paramCount, paramTypes, resultType,
                                   data);
}

void TInterpreterAdapter::AddIDSet(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                                   const std::vector<TVarType>& paramTypes) {
  AddIDSetEx(cls, std::move(callback), paramCount, paramTypes, nullptr);
}

void TInterpreterAdapter::AddIDSetEx(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                                     const std::vector<TVarType>& paramTypes, void* data) {
  Changed();
  AppendMember<TInterpreterMethod>(idSetters_, cls, {}, std::move(callback), paramCount, paramTypes, 0, data);
}

void TInterpreterAdapter::AddFunction(const std::string& unit, const std::string& identifier,
                                      TInterpreterCallback callback, int32_t paramCount,
                                      const std::vector<TVarType>& paramTypes, TVarType resultType) {
  AddFunctionEx(unit, identifier, std::move(callback), paramCount, paramTypes, resultType, nullptr);
}

void TInterpreterAdapter::AddFunctionEx(const std::string& unit, const std::string& identifier,
                                        TInterpreterCallback callback, int32_t paramCount,
                                        const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  auto& entry = AppendMember<TInterpreterMethod>(functions_, nullptr, identifier, std::move(callback), paramCount,
                                                 paramTypes, resultType, data);
  entry.Unit = unit;
  MarkUnsorted();
}

void TInterpreterAdapter::AddDGet(const TClassInfo* cls, const std::string& identifier,
                                  TInterpreterDirectMethod method, int32_t paramCount,
                                  const std::vector<TVarType>& paramTypes, TVarType resultType,
                                  uint8_t callingConvention) {
  AddDGetEx(cls, identifier, std::move(method), paramCount, paramTypes, resultType, callingConvention, nullptr);
}

void TInterpreterAdapter::AddDGetEx(const TClassInfo* cls, const std::string& identifier,
                                    TInterpreterDirectMethod method, int32_t paramCount,
                                    const std::vector<TVarType>& paramTypes, TVarType resultType,
                                    uint8_t callingConvention, void* data) {
  Changed();
  auto& entry =
      AppendMember<TInterpreterDMethod>(dMethods_, cls, identifier, nullptr, paramCount, paramTypes, resultType, data);
  entry.Direct = std::move(method);
  entry.CallingConvention = callingConvention;
}

void TInterpreterAdapter::AddRec(const std::string& unit, const std::string& identifier, int32_t size,
                                 const std::vector<TInterpreterRecordField>& fields,
                                 std::function<void(TInterpreterRecHolder&)> createProc,
                                 std::function<void(TInterpreterRecHolder&)> destroyProc,
                                 std::function<void(TInterpreterRecHolder&, const TInterpreterRecHolder&)> copyProc) {
  AddRecEx(unit, identifier, size, fields, std::move(createProc), std::move(destroyProc), std::move(copyProc),
           nullptr);
}

void TInterpreterAdapter::AddRecEx(const std::string& unit, const std::string& identifier, int32_t size,
                                   const std::vector<TInterpreterRecordField>& fields,
                                   std::function<void(TInterpreterRecHolder&)> createProc,
                                   std::function<void(TInterpreterRecHolder&)> destroyProc,
                                   std::function<void(TInterpreterRecHolder&, const TInterpreterRecHolder&)> copyProc,
                                   void* data) {
  Changed();
  auto record = std::make_shared<TInterpreterRecord>(unit, identifier, data);
  record->Size = size;
  size_t count = std::min(fields.size(), kMaxRecordFields);
  record->Fields.assign(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(count));
  for (TInterpreterRecordField& f : record->Fields) f.DataType.reset();
  record->CreateProc = std::move(createProc);
  record->DestroyProc = std::move(destroyProc);
  record->CopyProc = std::move(copyProc);
  recordTypes_.push_back(std::move(record));
}

void TInterpreterAdapter::AddRecordType(std::shared_ptr<TInterpreterRecord> recordType) {
  Changed();
  recordTypes_.push_back(std::move(recordType));
}

TRecordTypePtr TInterpreterAdapter::FindRecordType(std::string_view name) const {
  for (const auto& r : recordTypes_)
    if (cp1251::SameText(r->Name, name)) return r;
  return nullptr;
}

void TInterpreterAdapter::AddRecGet(const std::string& unit, const std::string& recordType,
                                    const std::string& identifier, TInterpreterCallback callback,
                                    int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                    TVarType resultType) {
  AddRecGetEx(unit, recordType, identifier, std::move(callback), paramCount, paramTypes, resultType, nullptr);
}

void TInterpreterAdapter::AddRecGetEx(const std::string& unit, const std::string& recordType,
                                      const std::string& identifier, TInterpreterCallback callback,
                                      int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                      TVarType resultType, void* data) {
  Changed();
  auto& entry = Append<TInterpreterRecMethod>(recGetters_, unit, identifier, data);
  entry.RecordType = FindRecordType(recordType);
  FillCall(entry, std::move(callback), paramCount, paramTypes, resultType);
}

void TInterpreterAdapter::AddRecSet(const std::string& unit, const std::string& recordType,
                                    const std::string& identifier, TInterpreterCallback callback,
                                    int32_t paramCount, const std::vector<TVarType>& paramTypes) {
  AddRecSetEx(unit, recordType, identifier, std::move(callback), paramCount, paramTypes, nullptr);
}

void TInterpreterAdapter::AddRecSetEx(const std::string& unit, const std::string& recordType,
                                      const std::string& identifier, TInterpreterCallback callback,
                                      int32_t paramCount, const std::vector<TVarType>& paramTypes, void* data) {
  Changed();
  auto& entry = Append<TInterpreterRecMethod>(recSetters_, unit, identifier, data);
  entry.RecordType = FindRecordType(recordType);
  FillCall(entry, std::move(callback), paramCount, paramTypes, 0);
}

void TInterpreterAdapter::AddConst(const std::string& unit, const std::string& identifier, const Variant& value) {
  AddConstEx(unit, identifier, value, nullptr);
}

void TInterpreterAdapter::AddConstEx(const std::string& unit, const std::string& identifier, const Variant& value,
                                     void* data) {
  Changed();
  CopyValue(Append<TInterpreterConst>(constants_, unit, identifier, data).Value, value);
  MarkUnsorted();
}

void TInterpreterAdapter::AddExtFun(const std::string& unit, const std::string& identifier, uintptr_t module,
                                    const std::string& libraryName, const std::string& functionName, int32_t ordinal,
                                    int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                    TVarType resultType) {
  AddExtFunEx(unit, identifier, module, libraryName, functionName, ordinal, paramCount, paramTypes, resultType,
              nullptr);
}

void TInterpreterAdapter::AddExtFunEx(const std::string& unit, const std::string& identifier, uintptr_t module,
                                      const std::string& libraryName, const std::string& functionName,
                                      int32_t ordinal, int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                      TVarType resultType, void* data) {
  Changed();
  auto& entry = Append<TInterpreterExtFunction>(extFunctions_, unit, identifier, data);
  TParamTypes types = MakeParamTypes(paramTypes);
  entry.Library.Module = module;
  entry.Library.LibraryName = libraryName;
  entry.Library.FunctionName = functionName;
  entry.Library.Ordinal = ordinal;
  entry.Library.ParamCount = ClampCount(paramCount);
  entry.Library.ParamTypes.assign(types.begin(), types.end());
  entry.Library.ResultType = resultType;
  entry.Desc.UnitName = unit;
  entry.Desc.Name = identifier;
  entry.Desc.ParameterCount = entry.Library.ParamCount;
  entry.Desc.ParameterKinds = types;
  entry.Desc.ResultKind = resultType;
}

void TInterpreterAdapter::AddSrcFun(const std::string& unit, const std::string& identifier,
                                    const std::string& classIdentifier, int32_t startPos, int32_t endPos,
                                    int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                    const std::vector<std::string>& paramTypeNames,
                                    const std::vector<std::string>& paramNames, TVarType resultType,
                                    const std::string& resultTypeName, TDataTypePtr resultDataType) {
  AddSrcFunEx(unit, identifier, classIdentifier, startPos, endPos, paramCount, paramTypes, paramTypeNames,
              paramNames, resultType, resultTypeName, std::move(resultDataType), nullptr);
}

void TInterpreterAdapter::AddSrcFunEx(const std::string& unit, const std::string& identifier,
                                      const std::string& classIdentifier, int32_t startPos, int32_t endPos,
                                      int32_t paramCount, const std::vector<TVarType>& paramTypes,
                                      const std::vector<std::string>& paramTypeNames,
                                      const std::vector<std::string>& paramNames, TVarType resultType,
                                      const std::string& resultTypeName, TDataTypePtr resultDataType, void* data) {
  Changed();
  TInterpreterFunctionDesc& d = Append<TInterpreterSrcFunction>(srcFunctions_, unit, identifier, data).Desc;
  d.UnitName = unit;
  d.Name = identifier;
  d.Qualifier = classIdentifier;
  d.BodyStart = startPos;
  d.BodyEnd = endPos;
  d.ParameterCount = std::clamp<int32_t>(paramCount, 0, kMaxCallArgs);
  d.ParameterKinds = MakeParamTypes(paramTypes);
  for (size_t i = 0; i < paramTypeNames.size() && i < d.ParameterTypeNames.size(); ++i)
    d.ParameterTypeNames[i] = paramTypeNames[i];
  for (size_t i = 0; i < paramNames.size() && i < d.ParameterNames.size(); ++i) d.ParameterNames[i] = paramNames[i];
  d.ResultKind = resultType;
  d.ResultTypeName = resultTypeName;
  d.ResultType = std::move(resultDataType);
  d.Serial = NextDescSerial();
}

void TInterpreterAdapter::AddHandler(const std::string& unit, const std::string& identifier,
                                     TInterpreterEventFactory adapterClass, TInterpreterEventCode handler) {
  AddHandlerEx(unit, identifier, std::move(adapterClass), std::move(handler), nullptr);
}

void TInterpreterAdapter::AddHandlerEx(const std::string& unit, const std::string& identifier,
                                       TInterpreterEventFactory adapterClass, TInterpreterEventCode handler,
                                       void* data) {
  Changed();
  auto& entry = Append<TInterpreterEventDesc>(eventTypes_, unit, identifier, data);
  entry.AdapterClass = std::move(adapterClass);
  entry.Handler = std::move(handler);
}

void TInterpreterAdapter::AddEvent(const std::string& unit, const TClassInfo* cls, const std::string& identifier) {
  AddEventEx(unit, cls, identifier, nullptr);
}

void TInterpreterAdapter::AddEventEx(const std::string& unit, const TClassInfo* cls, const std::string& identifier,
                                     void* data) {
  Changed();
  Append<TInterpreterClass>(events_, unit, identifier, data).ClassRef = cls;
}

void TInterpreterAdapter::AddSrcVar(const std::string& unit, const std::string& identifier,
                                    const std::string& typeName, TVarType kind, const Variant& value,
                                    TDataTypePtr /*dataType*/) {
  Changed();
  srcVars_.DeclareVariable(unit, identifier, typeName, kind, value);
}

void TInterpreterAdapter::AddOnGet(TInterpreterGetValue handler) {
  Changed();
  getHandlers_.push_back(std::move(handler));
}

void TInterpreterAdapter::AddOnSet(TInterpreterSetValue handler) {
  Changed();
  setHandlers_.push_back(std::move(handler));
}

void TInterpreterAdapter::AddIntfGetEx(const TGUID& iid, const std::string& identifier,
                                       TInterpreterCallback callback, int32_t paramCount,
                                       const std::vector<TVarType>& paramTypes, TVarType resultType, void* data) {
  Changed();
  auto& entry = Append<TInterpreterIntfMethod>(intfMethods_, {}, identifier, data);
  entry.Iid = iid;
  FillCall(entry, std::move(callback), paramCount, paramTypes, resultType);
  MarkUnsorted();
}

void TInterpreterAdapter::BeforeHostCall(TInterpreterExpression*, TInterpreterArgs&, void*) {}

std::string TInterpreterAdapter::GetUnitSource(std::string_view unit) const {
  for (size_t i = 0; i < srcUnits_.Count(); ++i)
    if (cp1251::SameText(srcUnits_.Item(i)->Name, unit)) return At<TInterpreterSrcUnit>(srcUnits_, i).Source;
  return {};
}

bool TInterpreterAdapter::UnitExists(std::string_view name) const {
  for (const TInterpreterIdentifierList* list : {&srcUnits_, &extUnits_})
    for (size_t i = 0; i < list->Count(); ++i)
      if (cp1251::SameText(list->Item(i)->Name, name)) return true;
  return false;
}

bool TInterpreterAdapter::FindEvent(const TObject* obj, std::string_view identifier) const {
  if (!obj) return false;
  for (size_t i = 0; i < events_.Count(); ++i) {
    const auto& e = At<TInterpreterClass>(events_, i);
    if (e.ClassRef && obj->InheritsFrom(*e.ClassRef) && cp1251::SameText(e.Name, identifier)) return true;
  }
  return false;
}

TInterpreterEventMethod TInterpreterAdapter::NewEvent(const std::string& unitName, const std::string& functionName,
                                                      std::string_view eventType, TInterpreterExpression* owner,
                                                      TObject* instance, const std::string& propName) {
  for (size_t i = 0; i < eventTypes_.Count(); ++i) {
    const auto& e = At<TInterpreterEventDesc>(eventTypes_, i);
    if (!cp1251::SameText(e.Name, eventType)) continue;
    std::shared_ptr<TInterpreterEventAdapter> object =
        e.AdapterClass ? e.AdapterClass() : std::make_shared<TInterpreterEventAdapter>();
    object->Owner = owner;
    object->Instance = instance;
    object->UnitName = unitName;
    object->FunctionName = functionName;
    object->PropName = propName;
    return {e.Handler, std::move(object)};
  }
  return {};
}

void TInterpreterAdapter::AddOwnedObject(std::unique_ptr<TInterpreterClass> cls) {
  Changed();
  srcClasses_.Add(std::move(cls));
}

TInterpreterClass* TInterpreterAdapter::FindOwnedObject(std::string_view identifier) const {
  return static_cast<TInterpreterClass*>(srcClasses_.FindByName({}, identifier));
}

bool TInterpreterAdapter::OwnsClass(const TObject* obj) const {
  for (size_t i = 0; i < srcClasses_.Count(); ++i)
    if (srcClasses_.Item(i) == obj) return true;
  return false;
}

bool TInterpreterAdapter::NewRecord(std::string_view recordType, Variant& value) {
  TRecordTypePtr type = FindRecordType(recordType);
  if (!type) return false;
  value = NewRecordValue(type);
  return true;
}

bool TInterpreterAdapter::BindRecordType(Variant& value) {
  if (value.VarType() != RecordVarType()) return false;
  TInterpreterRecHolder& holder = ValueToRecord(value);
  TRecordTypePtr type = FindRecordType(holder.RecordTypeName());
  if (!type) return false;
  holder.SetRecordType(type);
  return true;
}

const TInterpreterFunctionDesc* TInterpreterAdapter::FindFunction(std::string_view unit, std::string_view identifier,
                                                                  std::string_view classIdentifier) const {
  auto search = [&](std::string_view inUnit) -> const TInterpreterFunctionDesc* {
    for (size_t i = srcFunctions_.Count(); i-- > 0;) {
      const TInterpreterFunctionDesc& d = At<TInterpreterSrcFunction>(srcFunctions_, i).Desc;
      if (!SameName(d.Name, identifier)) continue;
      if (!classIdentifier.empty() && !SameName(d.Qualifier, classIdentifier)) continue;
      if (!inUnit.empty() && !SameName(d.UnitName, inUnit)) continue;
      return &d;
    }
    return nullptr;
  };
  const TInterpreterFunctionDesc* found = search(unit);
  if (!found && !unit.empty() && classIdentifier.empty()) found = search({});
  return found;
}

TInterpreterAdapter& GetGlobalAdapter() {
  static TInterpreterAdapter global;
  return global;
}
