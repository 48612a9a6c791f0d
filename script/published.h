// Published properties: the properties a host class declares in a table so
// that scripts read and write them by name, with no registration in the
// adapter. Tables are inherited: a class sees its ancestors' properties.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entries.h"
#include "object.h"
#include "variant.h"

enum class TPublishedKind { Integer, Enumeration, Char, WChar, Float, String, Set, Class, Interface, Method, Other };

// One property: its kind, its type name ("Boolean" makes an ordinal read as
// a Boolean value) and typed accessors; only the pair of its kind is used.
// Ordinal accessors serve integers, enumerations, characters and sets (the
// member mask).
struct TPublishedProperty {
  std::string Name;
  TPublishedKind Kind = TPublishedKind::Other;
  std::string TypeName;
  std::function<int64_t(TObject&)> GetOrd;
  std::function<void(TObject&, int64_t)> SetOrd;
  std::function<double(TObject&)> GetFloat;
  std::function<void(TObject&, double)> SetFloat;
  std::function<std::string(TObject&)> GetStr;
  std::function<void(TObject&, const std::string&)> SetStr;
  std::function<TObject*(TObject&)> GetObject;
  std::function<void(TObject&, TObject*)> SetObject;
  std::function<Variant(TObject&)> GetIntf;
  std::function<void(TObject&, const Variant&)> SetIntf;
  std::function<TInterpreterEventMethod(TObject&)> GetMethod;
  std::function<void(TObject&, TInterpreterEventMethod)> SetMethod;
};

// Adapts an accessor written for class T to one taking TObject&; the table
// lookup guarantees the object is a T.
template <class T, class F>
auto PublishedAccessor(F f) {
  return [f](TObject& obj, auto&&... args) { return f(static_cast<T&>(obj), std::forward<decltype(args)>(args)...); };
}

// Declares (or replaces) the table of a class. Safe from any thread.
void PublishProperties(const TClassInfo& cls, std::vector<TPublishedProperty> properties);
// The property of that name (case-insensitive) of the class or its nearest
// ancestor that declares one; nullptr when none. It stays valid even when
// the table is replaced meanwhile.
std::shared_ptr<const TPublishedProperty> FindPublishedProperty(const TClassInfo& cls, std::string_view name);

// Reads a property as a script value: ordinals as Integer (Boolean when the
// type is named so), characters as one-character strings, floats as Double,
// strings, sets as set values, objects as object values, interfaces as they
// are. False when the object has no such property or its kind is not served.
bool ReadPublishedProperty(TObject& obj, std::string_view name, Variant& value);
// Writes a property from a script value converted to its kind; false as
// for reading.
bool WritePublishedProperty(TObject& obj, std::string_view name, const Variant& value);
