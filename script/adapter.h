// The adapter registry: what the host makes visible to scripts (units,
// classes, properties, methods, functions, constants, record types, events)
// and what scripts declare themselves, with the lookups that serve a name a
// script reads, writes or calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "args.h"
#include "entries.h"
#include "identifiers.h"
#include "misscache.h"
#include "records.h"
#include "speedlayer.h"
#include "variables.h"

class TInterpreterExpression;

class TInterpreterAdapter : public TObject {
  PX_CLASS(TInterpreterAdapter, TObject)
 public:
  // `owner` is the expression whose own adapter this is; nullptr for the
  // global adapter.
  explicit TInterpreterAdapter(TInterpreterExpression* owner = nullptr);
  ~TInterpreterAdapter() override;
  TInterpreterAdapter(const TInterpreterAdapter&) = delete;
  TInterpreterAdapter& operator=(const TInterpreterAdapter&) = delete;

  TInterpreterExpression* Owner() const { return owner_; }

  // Drops what scripts declared: source units, functions, variables and
  // classes.
  virtual void ClearSource();
  // Drops every host registration and both handler chains.
  virtual void ClearNonSource();
  // Orders the eight sorted lists; lookups do this themselves when needed.
  virtual void Sort();
  virtual void Clear();
  // Registers everything `source` holds again here; nothing when `source`
  // is this adapter.
  virtual void Assign(const TInterpreterAdapter& source);

  // Registration. Nothing is checked for duplicates; parameter-type lists
  // longer than 33 are cut. Each Ex form also keeps `data`, handed back to
  // BeforeHostCall at every use.
  void AddSrcUnit(const std::string& identifier, const std::string& source, const std::string& uses);
  // The first registration that carries source wins; the uses list is split
  // at "," and ends at its first empty item.
  virtual void AddSrcUnitEx(const std::string& identifier, const std::string& source, const std::string& uses,
                            void* data);
  void AddExtUnit(const std::string& identifier);
  virtual void AddExtUnitEx(const std::string& identifier, void* data);
  void AddClass(const std::string& unit, const TClassInfo* cls, const std::string& identifier);
  virtual void AddClassEx(const std::string& unit, const TClassInfo* cls, const std::string& identifier,
                          void* data);
  void AddGet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
              int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType);
  virtual void AddGetEx(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                        int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                        void* data);
  // A getter or method of the class itself (a constructor, a class
  // function): found through a class reference of exactly that class as well
  // as on instances, where a plain AddGet member is refused on a class
  // reference with error 53. On a class reference the callback finds the
  // class in Args.ClassRef() and no instance.
  void AddClassGet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                   int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                   void* data = nullptr);
  void AddSet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
              int32_t paramCount, const std::vector<TVarType>& paramTypes);
  virtual void AddSetEx(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                        int32_t paramCount, const std::vector<TVarType>& paramTypes, void* data);
  void AddIGet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
               int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType);
  virtual void AddIGetEx(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                         int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                         void* data);
  void AddISet(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
               int32_t paramCount, const std::vector<TVarType>& paramTypes);
  virtual void AddISetEx(const TClassInfo* cls, const std::string& identifier, TInterpreterCallback callback,
                         int32_t paramCount, const std::vector<TVarType>& paramTypes, void* data);
  // Default indexed properties: found by class, they carry no name.
  void AddIDGet(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                const std::vector<TVarType>& paramTypes, TVarType resultType);
  virtual void AddIDGetEx(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                          const std::vector<TVarType>& paramTypes, TVarType resultType, void* data);
  void AddIDSet(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                const std::vector<TVarType>& paramTypes);
  virtual void AddIDSetEx(const TClassInfo* cls, TInterpreterCallback callback, int32_t paramCount,
                          const std::vector<TVarType>& paramTypes, void* data);
  void AddFunction(const std::string& unit, const std::string& identifier, TInterpreterCallback callback,
                   int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType);
  virtual void AddFunctionEx(const std::string& unit, const std::string& identifier, TInterpreterCallback callback,
                             int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                             void* data);
  void AddDGet(const TClassInfo* cls, const std::string& identifier, TInterpreterDirectMethod method,
               int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
               uint8_t callingConvention);
  virtual void AddDGetEx(const TClassInfo* cls, const std::string& identifier, TInterpreterDirectMethod method,
                         int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                         uint8_t callingConvention, void* data);
  // A record type; fields past 33 are cut and each field's data type is
  // cleared.
  void AddRec(const std::string& unit, const std::string& identifier, int32_t size,
              const std::vector<TInterpreterRecordField>& fields,
              std::function<void(TInterpreterRecHolder&)> createProc,
              std::function<void(TInterpreterRecHolder&)> destroyProc,
              std::function<void(TInterpreterRecHolder&, const TInterpreterRecHolder&)> copyProc);
  virtual void AddRecEx(const std::string& unit, const std::string& identifier, int32_t size,
                        const std::vector<TInterpreterRecordField>& fields,
                        std::function<void(TInterpreterRecHolder&)> createProc,
                        std::function<void(TInterpreterRecHolder&)> destroyProc,
                        std::function<void(TInterpreterRecHolder&, const TInterpreterRecHolder&)> copyProc,
                        void* data);
  // Record accessors bind to the record type of that name registered before
  // them (none when there is none yet).
  void AddRecGet(const std::string& unit, const std::string& recordType, const std::string& identifier,
                 TInterpreterCallback callback, int32_t paramCount, const std::vector<TVarType>& paramTypes,
                 TVarType resultType);
  virtual void AddRecGetEx(const std::string& unit, const std::string& recordType, const std::string& identifier,
                           TInterpreterCallback callback, int32_t paramCount,
                           const std::vector<TVarType>& paramTypes, TVarType resultType, void* data);
  void AddRecSet(const std::string& unit, const std::string& recordType, const std::string& identifier,
                 TInterpreterCallback callback, int32_t paramCount, const std::vector<TVarType>& paramTypes);
  virtual void AddRecSetEx(const std::string& unit, const std::string& recordType, const std::string& identifier,
                           TInterpreterCallback callback, int32_t paramCount,
                           const std::vector<TVarType>& paramTypes, void* data);
  void AddConst(const std::string& unit, const std::string& identifier, const Variant& value);
  virtual void AddConstEx(const std::string& unit, const std::string& identifier, const Variant& value, void* data);
  void AddExtFun(const std::string& unit, const std::string& identifier, uintptr_t module,
                 const std::string& libraryName, const std::string& functionName, int32_t ordinal,
                 int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType);
  virtual void AddExtFunEx(const std::string& unit, const std::string& identifier, uintptr_t module,
                           const std::string& libraryName, const std::string& functionName, int32_t ordinal,
                           int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType,
                           void* data);
  void AddSrcFun(const std::string& unit, const std::string& identifier, const std::string& classIdentifier,
                 int32_t startPos, int32_t endPos, int32_t paramCount, const std::vector<TVarType>& paramTypes,
                 const std::vector<std::string>& paramTypeNames, const std::vector<std::string>& paramNames,
                 TVarType resultType, const std::string& resultTypeName, TDataTypePtr resultDataType);
  virtual void AddSrcFunEx(const std::string& unit, const std::string& identifier,
                           const std::string& classIdentifier, int32_t startPos, int32_t endPos,
                           int32_t paramCount, const std::vector<TVarType>& paramTypes,
                           const std::vector<std::string>& paramTypeNames,
                           const std::vector<std::string>& paramNames, TVarType resultType,
                           const std::string& resultTypeName, TDataTypePtr resultDataType, void* data);
  void AddHandler(const std::string& unit, const std::string& identifier, TInterpreterEventFactory adapterClass,
                  TInterpreterEventCode handler);
  virtual void AddHandlerEx(const std::string& unit, const std::string& identifier,
                            TInterpreterEventFactory adapterClass, TInterpreterEventCode handler, void* data);
  void AddEvent(const std::string& unit, const TClassInfo* cls, const std::string& identifier);
  virtual void AddEventEx(const std::string& unit, const TClassInfo* cls, const std::string& identifier,
                          void* data);
  // Declares a source variable (error 111 when its unit already has one of
  // that name). The data type is the caller's: `value` already holds its
  // starting value.
  virtual void AddSrcVar(const std::string& unit, const std::string& identifier, const std::string& typeName,
                         TVarType kind, const Variant& value, TDataTypePtr dataType);
  virtual void AddOnGet(TInterpreterGetValue handler);
  virtual void AddOnSet(TInterpreterSetValue handler);
  void AddIntfGetEx(const TGUID& iid, const std::string& identifier, TInterpreterCallback callback,
                    int32_t paramCount, const std::vector<TVarType>& paramTypes, TVarType resultType, void* data);
  // A record type made elsewhere (a record declared in script source).
  void AddRecordType(std::shared_ptr<TInterpreterRecord> recordType);

  // Called with an entry's data before every host routine, constant read and
  // class cast; does nothing here.
  virtual void BeforeHostCall(TInterpreterExpression* expression, TInterpreterArgs& args, void* data);
  // Serve a name the script reads (or calls) or writes; false when this
  // adapter does not know it. Errors of the argument check and of host
  // routines pass through.
  virtual bool GetValue(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                        TInterpreterArgs& args);
  virtual bool SetValue(TInterpreterExpression* expression, const std::string& identifier, const Variant& value,
                        TInterpreterArgs& args);
  // The default indexed property of the object held in `variable`, with the
  // indexes in Args; false for anything else.
  virtual bool GetElement(TInterpreterExpression* expression, const Variant& variable, Variant& value,
                          TInterpreterArgs& args);
  virtual bool SetElement(TInterpreterExpression* expression, const Variant& variable, const Variant& value,
                          TInterpreterArgs& args);
  // A new record of the registered type of that name; false when none.
  virtual bool NewRecord(std::string_view recordType, Variant& value);
  // The function declared in source with that name, qualifier (when given)
  // and unit (when given; retried without it when no qualifier was given),
  // the newest first; nullptr when none.
  virtual const TInterpreterFunctionDesc* FindFunction(std::string_view unit, std::string_view identifier,
                                                       std::string_view classIdentifier) const;
  // Source text of the first source unit of that name; "" when none.
  virtual std::string GetUnitSource(std::string_view unit) const;
  // A source unit or host unit of that name exists.
  virtual bool UnitExists(std::string_view name) const;
  // An event of that name is registered for the object's class or an ancestor.
  virtual bool FindEvent(const TObject* obj, std::string_view identifier) const;
  // Binds a script function to an event of type `eventType`: a new event
  // adapter object with the registered code; empty when the type is unknown.
  virtual TInterpreterEventMethod NewEvent(const std::string& unitName, const std::string& functionName,
                                           std::string_view eventType, TInterpreterExpression* owner,
                                           TObject* instance, const std::string& propName);
  // Keeps a class declared in script source.
  virtual void AddOwnedObject(std::unique_ptr<TInterpreterClass> cls);
  // The newest class declared in source with that name, or nullptr.
  virtual TInterpreterClass* FindOwnedObject(std::string_view identifier) const;
  // True when `obj` is one of the classes declared in source kept here.
  bool OwnsClass(const TObject* obj) const;
  // Binds a record value without a known type to the registered type of its
  // name; true when one was found.
  virtual bool BindRecordType(Variant& value);
  // The first registered record type of that name, or nullptr.
  TRecordTypePtr FindRecordType(std::string_view name) const;

  // What the miss of a plain name (nothing left of a dot, no index) depends
  // on, for a caller that remembers such a miss: a number that changes with
  // every change to the registry, or 0 while handlers are registered, which
  // are asked for every name.
  uint64_t PlainMissStamp() const { return getHandlers_.empty() ? LookupGeneration() : 0; }

  // When true, lookups pass over external library functions.
  bool ExtFunctionsDisabled = false;
  bool Sorted() const { return sorted_.load(std::memory_order_acquire); }

  const TInterpreterIdentifierList& SrcUnits() const { return srcUnits_; }
  const TInterpreterIdentifierList& ExtUnits() const { return extUnits_; }
  const TInterpreterIdentifierList& Getters() const { return getters_; }
  const TInterpreterIdentifierList& Setters() const { return setters_; }
  const TInterpreterIdentifierList& Classes() const { return classes_; }
  const TInterpreterIdentifierList& Constants() const { return constants_; }
  const TInterpreterIdentifierList& Functions() const { return functions_; }
  const TInterpreterIdentifierList& RecGetters() const { return recGetters_; }
  const TInterpreterIdentifierList& RecSetters() const { return recSetters_; }
  const TInterpreterIdentifierList& SrcFunctions() const { return srcFunctions_; }
  const TInterpreterIdentifierList& ExtFunctions() const { return extFunctions_; }
  const TInterpreterIdentifierList& SrcClasses() const { return srcClasses_; }
  const std::vector<std::shared_ptr<TInterpreterRecord>>& RecordTypes() const { return recordTypes_; }
  // Handing out the variables to change counts as a change of the registry,
  // so a caller changes them through the reference right away rather than
  // keeping it across lookups.
  TInterpreterVarList& SrcVars() {
    Changed();
    return srcVars_;
  }
  const TInterpreterVarList& SrcVars() const { return srcVars_; }

 private:
  void EnsureSorted();
  void SortLists();
  void MarkUnsorted() { sorted_.store(false, std::memory_order_release); }
  // Every change to what the registry holds passes here, so that names
  // remembered as unknown are asked for afresh.
  void Changed() { generation_.fetch_add(1, std::memory_order_acq_rel); }
  // The state plain-name lookups depend on: the registry's contents and
  // whether external functions are passed over.
  uint64_t LookupGeneration() const {
    return generation_.load(std::memory_order_acquire) * 2 + (ExtFunctionsDisabled ? 1 : 0);
  }
  // The registry part of a plain-name lookup, in its order: classes,
  // constants, functions, external and automation functions, simple casts,
  // source variables and source units.
  bool RegistryName(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                    TInterpreterArgs& args);
  // Calls an entry: Identifier, BeforeHostCall, CheckArgs, the routine.
  void CallEntry(TInterpreterExpression* expression, const TInterpreterIdentifier& entry,
                 const TInterpreterCall& call, Variant& value, TInterpreterArgs& args);
  // Lookups of GetValue and SetValue, each true when it served the name.
  bool CallMember(const TInterpreterIdentifierList& list, TInterpreterExpression* expression,
                  const std::string& identifier, Variant& value, TInterpreterArgs& args);
  bool GetterLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                    TInterpreterArgs& args);
  bool DirectLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                    TInterpreterArgs& args);
  bool InterfaceLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                       TInterpreterArgs& args);
  bool RecordRead(const std::string& identifier, Variant& value, TInterpreterArgs& args);
  bool RecordWrite(const std::string& identifier, const Variant& value, TInterpreterArgs& args);
  bool PlainName(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                 TInterpreterArgs& args);
  bool ClassLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                   TInterpreterArgs& args);
  bool ConstLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                   TInterpreterArgs& args);
  bool ExtFunctionLookup(TInterpreterExpression* expression, const std::string& identifier, Variant& value,
                         TInterpreterArgs& args);
  bool SourceVarRead(const std::string& identifier, Variant& value, const TInterpreterArgs& args) const;
  bool SourceUnitLookup(const std::string& identifier, Variant& value, TInterpreterArgs& args);
  bool DefaultIndexed(const TInterpreterIdentifierList& list, TInterpreterExpression* expression,
                      const Variant& variable, Variant& value, TInterpreterArgs& args);

  TInterpreterExpression* owner_;
  TInterpreterIdentifierList srcUnits_;
  TInterpreterIdentifierList extUnits_;
  TInterpreterMethodList getters_{true};
  TInterpreterMethodList setters_{true};
  TInterpreterMethodList iGetters_{true};
  TInterpreterMethodList iSetters_{true};
  TInterpreterIdentifierList idGetters_;
  TInterpreterIdentifierList idSetters_;
  TInterpreterIdentifierList intfMethods_{true};
  TInterpreterIdentifierList dMethods_;
  // Classes, constants and functions reach one entry per name; searched as
  // lists of duplicates, that entry is always the first one registered.
  TInterpreterIdentifierList classes_{true};
  TInterpreterIdentifierList constants_{true};
  TInterpreterMethodList functions_{true};
  std::vector<std::shared_ptr<TInterpreterRecord>> recordTypes_;
  TInterpreterIdentifierList recGetters_;
  TInterpreterIdentifierList recSetters_;
  std::vector<TInterpreterGetValue> getHandlers_;
  std::vector<TInterpreterSetValue> setHandlers_;
  TInterpreterIdentifierList srcFunctions_;
  TInterpreterIdentifierList extFunctions_;
  TInterpreterIdentifierList eventTypes_;
  TInterpreterIdentifierList events_;
  TInterpreterVarList srcVars_;
  TInterpreterIdentifierList srcClasses_;
  std::atomic<bool> sorted_{false};
  std::atomic<uint64_t> generation_{1};
  // Plain names none of the registry lists knew; the host's handlers are
  // still asked for them every time.
  TNameMissCache misses_;
  const bool speedLayer_ = ScriptSpeedLayerOn();
  std::mutex sortLock_;
};

// The process-wide adapter, made on first use from any thread and kept for
// the life of the process.
TInterpreterAdapter& GetGlobalAdapter();
