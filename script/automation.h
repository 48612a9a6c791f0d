// Automation objects: scripts create or attach to objects of an automation
// server by program identifier and call their members late-bound, by name.
// The platform has no such servers of its own; a provider supplies them, and
// the default provider knows no program identifier at all.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "args.h"
#include "exceptions.h"
#include "variant.h"

// A failure of the automation layer (unknown program identifier or member,
// a call the server refused).
class EOleError : public Exception {
  PX_CLASS(EOleError, Exception)
 public:
  using Exception::Exception;
};

enum class TInvokeKind { MethodOrGet, PropertyPut };

// An automation object, the payload of a dispatch value (kind 9).
class TAutomationObject : public VariantPayload {
 public:
  // The member's dispatch identifier; EOleError when there is no such member.
  virtual int32_t GetDispId(const std::string& name) = 0;
  // Calls a member with positional arguments; `result` is nullptr when the
  // caller wants none. Failures are EOleError.
  virtual void Invoke(int32_t dispId, TInvokeKind kind, std::span<const Variant> args, Variant* result) = 0;
};

class TAutomationProvider {
 public:
  virtual ~TAutomationProvider() = default;
  // A new object of the class named by `progId`.
  virtual std::shared_ptr<TAutomationObject> CreateObject(const std::string& progId) = 0;
  // The running object registered for `progId`.
  virtual std::shared_ptr<TAutomationObject> GetActiveObject(const std::string& progId) = 0;
};

// Installs the provider scripts use and returns the one before it; nullptr
// puts the default provider back.
std::shared_ptr<TAutomationProvider> SetAutomationProvider(std::shared_ptr<TAutomationProvider> provider);

// The three script functions, each a dispatch value. GetOleObject attaches
// to the running object and creates one when that fails with EOleError.
Variant CreateOleObject(const std::string& progId);
Variant GetActiveOleObject(const std::string& progId);
Variant GetOleObject(const std::string& progId);

// Serves CreateOleObject, GetActiveOleObject and GetOleObject called by name
// with one argument (181 / 182 for any other count); false for other names.
bool AutomationFunction(const std::string& name, Variant& value, TInterpreterArgs& args);

// A member read or method call on the dispatch value in Args.Obj with
// Values as arguments: Value becomes Null, then the result when HasResult
// is set. An automation failure is error 201 naming the member. False when
// Obj holds no automation object.
bool LateBoundGet(const std::string& member, Variant& value, TInterpreterArgs& args);
// A member write: `value` first, then Values. Errors as for LateBoundGet.
bool LateBoundPut(const std::string& member, const Variant& value, TInterpreterArgs& args);
