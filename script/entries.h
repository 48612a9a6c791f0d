// The kinds of entry the adapter registry holds: host units, methods and
// properties, interface methods, direct methods, classes, constants, record
// accessors, events, and what scripts declare themselves (units, functions,
// external functions, classes).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "args.h"
#include "external.h"
#include "functiondesc.h"
#include "identifiers.h"
#include "records.h"
#include "variables.h"

class TInterpreterExpression;

// The shape of a host call: parameter count (-1: any number, unchecked),
// parameter types, result type and the routine itself.
struct TInterpreterCall {
  int8_t ParamCount = 0;
  TParamTypes ParamTypes{};
  TVarType ResultType = 0;
  TInterpreterCallback Callback;
};

// A method or property of a host class, or a plain function (no class).
class TInterpreterMethod : public TInterpreterClassMember, public TInterpreterCall {
  PX_CLASS(TInterpreterMethod, TInterpreterClassMember)
 public:
  using TInterpreterClassMember::TInterpreterClassMember;
  // Reached through a class reference too (a constructor, a class
  // function); every other member needs an instance.
  bool ClassMember = false;
};

// An interface identifier.
using TGUID = std::array<uint8_t, 16>;

// The payload of an interface value (kind 13): says which interfaces it
// answers to.
class TInterpreterInterface : public VariantPayload {
 public:
  virtual bool Supports(const TGUID& iid) const = 0;
};

// A method reached through an interface value.
class TInterpreterIntfMethod : public TInterpreterIdentifier, public TInterpreterCall {
  PX_CLASS(TInterpreterIntfMethod, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  TGUID Iid{};
};

// A host method called with its arguments already brought to the declared
// parameter types (Integer, Boolean, String, object or pointer values); its
// result is read by the declared result type.
using TInterpreterDirectMethod = std::function<Variant(TObject& self, std::span<const Variant> args)>;

// A directly called host method. Bit 0 of CallingConvention marks the one
// convention that can be called.
class TInterpreterDMethod : public TInterpreterMethod {
  PX_CLASS(TInterpreterDMethod, TInterpreterMethod)
 public:
  using TInterpreterMethod::TInterpreterMethod;
  uint8_t CallingConvention = 0;
  TInterpreterDirectMethod Direct;
};

// A class as scripts name it: a host class (ClassRef) or one declared in
// script source, whose fields live in Vars.
class TInterpreterClass : public TInterpreterClassMember {
  PX_CLASS(TInterpreterClass, TInterpreterClassMember)
 public:
  using TInterpreterClassMember::TInterpreterClassMember;
  TInterpreterVarList Vars;
};

class TInterpreterConst : public TInterpreterIdentifier {
  PX_CLASS(TInterpreterConst, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  Variant Value;
};

// A getter or setter of a registered record type; RecordType is nullptr when
// no type of that name was registered before it.
class TInterpreterRecMethod : public TInterpreterIdentifier, public TInterpreterCall {
  PX_CLASS(TInterpreterRecMethod, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  TRecordTypePtr RecordType;
};

// The object made for one script handler bound to an event of a host object.
class TInterpreterEventAdapter : public TObject {
  PX_CLASS(TInterpreterEventAdapter, TObject)
 public:
  TInterpreterExpression* Owner = nullptr;
  TObject* Instance = nullptr;
  std::string UnitName;
  std::string FunctionName;
  std::string PropName;
};

// Makes the event adapter object of one event type (its "class").
using TInterpreterEventFactory = std::function<std::shared_ptr<TInterpreterEventAdapter>()>;
// The code the host runs when the event fires, with the adapter object.
using TInterpreterEventCode = std::function<void(TInterpreterEventAdapter& self, TInterpreterArgs& args)>;

// What an event property holds: code and the object it runs with; empty
// when nothing is bound.
struct TInterpreterEventMethod {
  TInterpreterEventCode Code;
  std::shared_ptr<TInterpreterEventAdapter> Object;
  explicit operator bool() const { return Object != nullptr; }
};

// An event handler type: how to bind a script function to events of that type.
class TInterpreterEventDesc : public TInterpreterIdentifier {
  PX_CLASS(TInterpreterEventDesc, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  TInterpreterEventFactory AdapterClass;
  TInterpreterEventCode Handler;
};

// A unit declared in script source (or known by name only, with no source).
class TInterpreterSrcUnit : public TInterpreterIdentifier {
  PX_CLASS(TInterpreterSrcUnit, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  std::string Source;
  std::vector<std::string> Uses;  // at most 33
};

class TInterpreterSrcFunction : public TInterpreterIdentifier {
  PX_CLASS(TInterpreterSrcFunction, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  TInterpreterFunctionDesc Desc;
};

// A procedure of a native library a script unit declared `external`.
class TInterpreterExtFunction : public TInterpreterSrcFunction {
  PX_CLASS(TInterpreterExtFunction, TInterpreterSrcFunction)
 public:
  using TInterpreterSrcFunction::TInterpreterSrcFunction;
  TExternalFunction Library;
};
