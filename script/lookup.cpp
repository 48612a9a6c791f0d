// Lookups of the adapter: what a name a script reads, writes or calls is
// bound to, in the order class, constant, function, external function,
// automation function, simple cast; then source variables and units; then
// the host's handlers.
#include <cstdint>

#include "adapter.h"
#include "automation.h"
#include "cp1251.h"
#include "datatypes.h"
#include "errors.h"
#include "published.h"
#include "scriptowned.h"
#include "values.h"

namespace {

constexpr int32_t kTooManyParams = 181;
constexpr int32_t kTypeMismatch = 53;

template <class Entry>
const Entry& At(const TInterpreterIdentifierList& list, size_t i) {
  return static_cast<const Entry&>(*list.Item(i));
}

// The object of a call as registered entries are matched against it: an
// entry fits an instance of its class or of a descendant; a class member
// also fits exactly its class reference (a class method registered for a
// base class is not reached through a descendant's class reference). An
// instance member never meets a class reference, so that no callback finds
// itself without its instance.
class TCallTarget {
 public:
  explicit TCallTarget(const TInterpreterArgs& args) : instance_(args.Instance()), classRef_(args.ClassRef()) {}
  bool Fits(const TInterpreterMethod& m) {
    if (!m.ClassRef) return false;
    if (instance_) return instance_->InheritsFrom(*m.ClassRef);
    if (classRef_ != m.ClassRef) return false;
    if (!m.ClassMember) refused_ = true;
    return m.ClassMember;
  }
  // An instance member of the class was named on its class reference.
  bool Refused() const { return refused_; }

 private:
  TObject* instance_;
  const TClassInfo* classRef_;
  bool refused_ = false;
};

bool IsObjectOrClass(const TInterpreterArgs& args) {
  return args.ObjKind == ObjectVarType() || args.ObjKind == ClassVarType();
}

// Calls `visit` on every entry of a sorted list named `name`, first to last,
// until it returns true.
template <class F>
bool WalkName(const TInterpreterIdentifierList& list, std::string_view name, F visit) {
  size_t i = 0;
  if (!list.Find(name, i)) return false;
  for (; i < list.Count() && cp1251::SameText(list.Item(i)->Name, name); ++i)
    if (visit(*list.Item(i))) return true;
  return false;
}

// A class name applied to a value: objects and class references stay what
// they are, nil, Null and an unassigned value become the nil object; any
// other value is refused rather than re-tagged as an object.
Variant ClassCast(const Variant& value) {
  TVarType type = value.VarType();
  if (type == ObjectVarType() || type == ClassVarType()) return value;
  if (value.IsEmptyOrNull() || (type == PointerVarType() && value.Bits() == 0)) return ObjectToValue(nullptr);
  RaiseError(kTypeMismatch, -1);
}

bool SimpleCast(const std::string& identifier, Variant& value, const TInterpreterArgs& args) {
  TVarType kind = TypeNameToKind(identifier);
  if (kind == varEmpty) return false;
  if (args.Count > 1) RaiseError(kTooManyParams, -1);
  if (args.Count == 0) RaiseError(kTypeMismatch, -1);
  value = kind == ObjectVarType() ? ClassCast(args.Values[0]) : CastValue(args.Values[0], kind);
  return true;
}

template <class Entry>
bool CallRecordAccessor(const TInterpreterIdentifierList& list, const TInterpreterRecHolder& holder,
                        const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  for (size_t i = 0; i < list.Count(); ++i) {
    const auto& m = At<Entry>(list, i);
    if (!m.RecordType || !m.Callback || !cp1251::SameText(m.Name, identifier) ||
        !cp1251::SameText(m.RecordType->Name, holder.RecordTypeName()))
      continue;
    args.Identifier = identifier;
    CheckArgs(args, m.ParamCount, m.ParamTypes);
    m.Callback(value, args);
    return true;
  }
  return false;
}

}  // namespace

void TInterpreterAdapter::CallEntry(TInterpreterExpression* expression, const TInterpreterIdentifier& entry,
                                    const TInterpreterCall& call, Variant& value, TInterpreterArgs& args) {
  args.Identifier = entry.Name;
  BeforeHostCall(expression, args, entry.Data);
  CheckArgs(args, call.ParamCount, call.ParamTypes);
  call.Callback(value, args);
}

bool TInterpreterAdapter::CallMember(const TInterpreterIdentifierList& list, TInterpreterExpression* expression,
                                     const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  TCallTarget target(args);
  bool called = WalkName(list, identifier, [&](const TInterpreterIdentifier& item) {
    const auto& m = static_cast<const TInterpreterMethod&>(item);
    if (!m.Callback || !target.Fits(m)) return false;
    CallEntry(expression, m, m, value, args);
    return true;
  });
  if (!called && target.Refused()) RaiseError(kTypeMismatch, -1);
  return called;
}

bool TInterpreterAdapter::GetterLookup(TInterpreterExpression* expression, const std::string& identifier,
                                       Variant& value, TInterpreterArgs& args) {
  TObject* obj = args.Instance();
  if (obj && ReadPublishedProperty(*obj, identifier, value)) return true;
  if (CallMember(getters_, expression, identifier, value, args)) return true;
  if (!obj || !cp1251::SameText(identifier, "Free")) return false;
  // Only what scripts created is destroyed; anything else merely loses
  // this reference.
  FreeScriptObject(obj);
  args.ClearObj();
  value = Variant::Null();
  return true;
}

bool TInterpreterAdapter::InterfaceLookup(TInterpreterExpression* expression, const std::string& identifier,
                                          Variant& value, TInterpreterArgs& args) {
  const auto* intf = dynamic_cast<const TInterpreterInterface*>(args.Obj.PayloadPtr());
  if (!intf) return false;
  return WalkName(intfMethods_, identifier, [&](const TInterpreterIdentifier& item) {
    const auto& m = static_cast<const TInterpreterIntfMethod&>(item);
    if (!m.Callback || !intf->Supports(m.Iid)) return false;
    CallEntry(expression, m, m, value, args);
    return true;
  });
}

bool TInterpreterAdapter::RecordRead(const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  TInterpreterRecHolder* holder = args.RecHolder();
  if (!holder) return false;
  int32_t field = holder->RecordType() ? holder->RecordType()->FieldIndex(identifier) : -1;
  if (field >= 0) {
    value = ReadRecordField(*holder, static_cast<size_t>(field));
    return true;
  }
  return CallRecordAccessor<TInterpreterRecMethod>(recGetters_, *holder, identifier, value, args);
}

bool TInterpreterAdapter::RecordWrite(const std::string& identifier, const Variant& value, TInterpreterArgs& args) {
  TInterpreterRecHolder* holder = args.RecHolder();
  if (!holder) return false;
  int32_t field = holder->RecordType() ? holder->RecordType()->FieldIndex(identifier) : -1;
  if (field >= 0) {
    WriteRecordField(*holder, static_cast<size_t>(field), value);
    return true;
  }
  Variant copy = value;
  return CallRecordAccessor<TInterpreterRecMethod>(recSetters_, *holder, identifier, copy, args);
}

bool TInterpreterAdapter::ClassLookup(TInterpreterExpression* expression, const std::string& identifier,
                                      Variant& value, TInterpreterArgs& args) {
  size_t i = 0;
  if (!classes_.Find(identifier, i)) return false;
  const auto& cls = At<TInterpreterClass>(classes_, i);
  if (args.Count == 0) {
    value = ClassToValue(cls.ClassRef);
    return true;
  }
  if (args.Count > 1) RaiseError(kTooManyParams, -1);
  BeforeHostCall(expression, args, cls.Data);
  value = ClassCast(args.Values[0]);
  return true;
}

bool TInterpreterAdapter::ConstLookup(TInterpreterExpression* expression, const std::string& identifier,
                                      Variant& value, TInterpreterArgs& args) {
  if (cp1251::SameText(identifier, "nil")) {
    value = PointerToValue(nullptr);
    return true;
  }
  if (cp1251::SameText(identifier, "Null")) {
    value = Variant::Null();
    return true;
  }
  size_t i = 0;
  if (!constants_.Find(identifier, i)) return false;
  const auto& c = At<TInterpreterConst>(constants_, i);
  BeforeHostCall(expression, args, c.Data);
  CopyValue(value, c.Value);
  return true;
}

bool TInterpreterAdapter::ExtFunctionLookup(TInterpreterExpression* expression, const std::string& identifier,
                                            Variant& value, TInterpreterArgs& args) {
  if (ExtFunctionsDisabled) return false;
  for (size_t i = 0; i < extFunctions_.Count(); ++i) {
    const auto& f = At<TInterpreterExtFunction>(extFunctions_, i);
    if (!cp1251::SameText(f.Name, identifier)) continue;
    args.Identifier = identifier;
    BeforeHostCall(expression, args, f.Data);
    CheckArgs(args, f.Desc.ParameterCount, f.Desc.ParameterKinds);
    CallExternalFunction(f.Library, value);
    return true;
  }
  return false;
}

bool TInterpreterAdapter::PlainName(TInterpreterExpression* expression, const std::string& identifier,
                                    Variant& value, TInterpreterArgs& args) {
  if (ClassLookup(expression, identifier, value, args)) return true;
  if (ConstLookup(expression, identifier, value, args)) return true;
  size_t i = 0;
  if (functions_.Find(identifier, i)) {
    const auto& f = At<TInterpreterMethod>(functions_, i);
    if (f.Callback) {
      CallEntry(expression, f, f, value, args);
      return true;
    }
  }
  if (ExtFunctionLookup(expression, identifier, value, args)) return true;
  if (AutomationFunction(identifier, value, args)) return true;
  return SimpleCast(identifier, value, args);
}

bool TInterpreterAdapter::SourceVarRead(const std::string& identifier, Variant& value,
                                        const TInterpreterArgs& args) const {
  if (!args.HasObj()) return srcVars_.GetValue({}, identifier, value);
  // Unit.Name: a variable of that unit; any other object has none.
  const auto* unit = ObjectAs<TInterpreterSrcUnit>(args.Instance());
  return unit && srcVars_.GetValue(unit->Name, identifier, value);
}

bool TInterpreterAdapter::SourceUnitLookup(const std::string& identifier, Variant& value, TInterpreterArgs& args) {
  for (size_t i = 0; i < srcUnits_.Count(); ++i) {
    TInterpreterIdentifier* unit = srcUnits_.Item(i);
    if (!cp1251::SameText(unit->Name, identifier)) continue;
    CheckArgs(args, 0, {});
    value = ObjectToValue(unit);
    return true;
  }
  return false;
}

bool TInterpreterAdapter::RegistryName(TInterpreterExpression* expression, const std::string& identifier,
                                       Variant& value, TInterpreterArgs& args) {
  // A miss depends on nothing but the name and the registry: the lookups
  // read the arguments only once they have found the name.
  const uint64_t generation = LookupGeneration();
  if (speedLayer_ && misses_.Recall(generation, identifier)) return false;
  if (PlainName(expression, identifier, value, args) || SourceVarRead(identifier, value, args) ||
      SourceUnitLookup(identifier, value, args))
    return true;
  if (speedLayer_) misses_.Remember(generation, identifier);
  return false;
}

bool TInterpreterAdapter::GetValue(TInterpreterExpression* expression, const std::string& identifier,
                                   Variant& value, TInterpreterArgs& args) {
  EnsureSorted();
  bool done = true;
  bool served = false;
  bool plain = false;
  if (args.Indexed) {
    if (args.ObjKind == RecordVarType()) {
      served = RecordRead(identifier, value, args);
      if (served) args.IndexesUsed = false;
    } else if (args.HasObj() && IsObjectOrClass(args)) {
      served = CallMember(iGetters_, expression, identifier, value, args);
      if (served) {
        args.IndexesUsed = true;
      } else {
        // A plain property read through [ ]: the evaluator indexes its value.
        const int32_t indexes = args.Count;
        args.Count = 0;
        try {
          served = GetterLookup(expression, identifier, value, args) ||
                   DirectLookup(expression, identifier, value, args);
        } catch (...) {
          args.Count = indexes;
          throw;
        }
        args.Count = indexes;
        done = served;
      }
    } else if (args.ObjKind == varDispatch) {
      served = LateBoundGet(identifier, value, args);
      if (served) args.IndexesUsed = true;
      done = served;
    }
  } else if (args.HasObj()) {
    if (IsObjectOrClass(args)) {
      served = GetterLookup(expression, identifier, value, args) || DirectLookup(expression, identifier, value, args);
    } else if (args.ObjKind == varUnknown) {
      served = InterfaceLookup(expression, identifier, value, args);
    } else if (args.ObjKind == RecordVarType()) {
      served = RecordRead(identifier, value, args);
    } else if (args.ObjKind == varDispatch) {
      served = LateBoundGet(identifier, value, args);
      done = served;
    }
  } else {
    plain = true;
    served = RegistryName(expression, identifier, value, args);
  }
  if (served) return true;
  if (!plain) {
    if (SourceVarRead(identifier, value, args)) return true;
    if ((!args.HasObj() || !IsObjectOrClass(args)) && SourceUnitLookup(identifier, value, args)) return true;
  }
  for (const TInterpreterGetValue& handler : getHandlers_) {
    handler(this, identifier, value, args, done);
    if (done) return true;
  }
  return false;
}

bool TInterpreterAdapter::SetValue(TInterpreterExpression* expression, const std::string& identifier,
                                   const Variant& value, TInterpreterArgs& args) {
  EnsureSorted();
  bool done = true;
  bool served = false;
  Variant copy = value;
  if (args.Indexed) {
    if (args.HasObj() && IsObjectOrClass(args)) {
      served = CallMember(iSetters_, expression, identifier, copy, args);
      if (served) args.IndexesUsed = true;
    }
  } else if (args.HasObj()) {
    if (IsObjectOrClass(args)) {
      TObject* obj = args.Instance();
      served = (obj && WritePublishedProperty(*obj, identifier, value)) ||
               CallMember(setters_, expression, identifier, copy, args);
    } else if (args.ObjKind == RecordVarType()) {
      served = RecordWrite(identifier, value, args);
    } else if (args.ObjKind == varDispatch) {
      served = LateBoundPut(identifier, value, args);
      done = served;
    }
  }
  if (served) return true;
  if (!args.HasObj() && srcVars_.SetValue(identifier, value)) return true;
  for (const TInterpreterSetValue& handler : setHandlers_) {
    handler(this, identifier, value, args, done);
    if (done) return true;
  }
  return false;
}

bool TInterpreterAdapter::DefaultIndexed(const TInterpreterIdentifierList& list, TInterpreterExpression* expression,
                                         const Variant& variable, Variant& value, TInterpreterArgs& args) {
  if (variable.VarType() != ObjectVarType()) return false;
  TObject* obj = ValueToObject(variable);
  if (!obj) return false;
  for (size_t i = 0; i < list.Count(); ++i) {
    const auto& m = At<TInterpreterMethod>(list, i);
    if (!m.Callback || !m.ClassRef || !obj->InheritsFrom(*m.ClassRef)) continue;
    args.SetObj(variable);
    CallEntry(expression, m, m, value, args);
    return true;
  }
  return false;
}

bool TInterpreterAdapter::GetElement(TInterpreterExpression* expression, const Variant& variable, Variant& value,
                                     TInterpreterArgs& args) {
  return DefaultIndexed(idGetters_, expression, variable, value, args);
}

bool TInterpreterAdapter::SetElement(TInterpreterExpression* expression, const Variant& variable,
                                     const Variant& value, TInterpreterArgs& args) {
  Variant copy = value;
  return DefaultIndexed(idSetters_, expression, variable, copy, args);
}
