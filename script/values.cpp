// Script values: the six custom kinds and the copy, assign, cast and free
// rules.
#include "values.h"

#include "errors.h"
#include "records.h"

namespace {

constexpr int32_t kTypeMismatch = 53;

// A set converts to numbers and text through its mask; the other kinds
// convert to nothing outside themselves.
Variant SetCast(const Variant& source, TVarType target) {
  return Variant::LongWord(static_cast<uint32_t>(source.Bits())).ChangeType(target);
}

struct Kinds {
  TVarType object = RegisterCustomVariantType("Object");
  TVarType cls = RegisterCustomVariantType("Class");
  TVarType pointer = RegisterCustomVariantType("Pointer");
  TVarType set = RegisterCustomVariantType("Set", SetCast);
  TVarType record = RegisterCustomVariantType("Record");
  TVarType array = RegisterCustomVariantType("Array");
};

const Kinds& ScriptKinds() {
  static const Kinds kinds;
  return kinds;
}

[[noreturn]] void Mismatch() { RaiseError(kTypeMismatch, -1); }

uint64_t BitsOfKind(const Variant& value, TVarType kind) {
  if (value.VarType() != kind) Mismatch();
  return value.Bits();
}

}  // namespace

TVarType ObjectVarType() { return ScriptKinds().object; }
TVarType ClassVarType() { return ScriptKinds().cls; }
TVarType PointerVarType() { return ScriptKinds().pointer; }
TVarType SetVarType() { return ScriptKinds().set; }
TVarType RecordVarType() { return ScriptKinds().record; }
TVarType ArrayVarType() { return ScriptKinds().array; }

bool IsScriptKind(TVarType type) {
  const Kinds& k = ScriptKinds();
  return type == k.object || type == k.cls || type == k.pointer || type == k.set || type == k.record ||
         type == k.array;
}

Variant ObjectToValue(const TObject* obj) { return Variant::Custom(ObjectVarType(), obj ? obj->Handle() : 0); }

TObject* ValueToObject(const Variant& value) {
  if (value.VarType() == PointerVarType() && value.Bits() == 0) return nullptr;
  uint64_t handle = BitsOfKind(value, ObjectVarType());
  if (handle == 0) return nullptr;
  TObject* obj = TObject::FromHandle(handle);
  if (!obj) RaiseError(2, -1, "Object has been freed");
  return obj;
}

Variant ClassToValue(const TClassInfo* cls) {
  return Variant::Custom(ClassVarType(), reinterpret_cast<uintptr_t>(cls));
}

const TClassInfo* ValueToClass(const Variant& value) {
  return reinterpret_cast<const TClassInfo*>(static_cast<uintptr_t>(BitsOfKind(value, ClassVarType())));
}

Variant PointerToValue(const void* pointer) {
  return Variant::Custom(PointerVarType(), reinterpret_cast<uintptr_t>(pointer));
}

void* ValueToPointer(const Variant& value) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(BitsOfKind(value, PointerVarType())));
}

Variant SetToValue(uint32_t mask) { return Variant::Custom(SetVarType(), mask); }

uint32_t ValueToSet(const Variant& value) {
  if (value.VarType() == SetVarType()) return static_cast<uint32_t>(value.Bits());
  if (value.VarType() == (varArray | varVariant)) {
    uint32_t mask = 0;
    for (const Variant& item : value.ArrayRef().items) mask |= 1u << (item.AsInteger() & 31);
    return mask;
  }
  if (value.IsOrdinal()) return static_cast<uint32_t>(value.AsInt64());
  Mismatch();
}

void FreeValue(Variant& value) { value.Clear(); }

void AssignCustomValue(Variant& destination, const Variant& source) {
  // One name, the two texts run together: code 2's text has a single place
  // for it.
  if (source.VarType() == ArrayVarType()) RaiseError(2, -1, "Array to array assignment" "not implemented");
  if (source.VarType() == RecordVarType()) {
    AssignRecord(destination, source);
    return;
  }
  destination = source;
}

Variant ZeroOfKind(TVarType kind) {
  switch (kind) {
    // The kind of nearly every counter and result: no conversion needed.
    case varInteger: return Variant::Integer(0);
    case varSmallint: case varByte: case varShortInt: case varWord: case varLongWord:
    case varInt64: case varSingle: case varDouble: case varCurrency: case varDate:
      return Variant::Integer(0).ChangeType(kind);
    case varOleStr: return Variant::OleStr("");
    case varString: return Variant::String("");
    case varBoolean: return Variant::Boolean(false);
    default: return Variant();
  }
}

Variant CastValue(const Variant& source, TVarType kind) {
  if (source.IsEmptyOrNull()) return ZeroOfKind(kind);
  if (kind == varEmpty || kind == varVariant || kind == source.VarType()) return source;
  // The six kinds never turn into one another, and arrays and records into
  // nothing at all: a payload read as another kind would be followed wrongly.
  if (IsScriptKind(source.VarType()) && IsScriptKind(kind)) Mismatch();
  if (source.VarType() == ArrayVarType() || source.VarType() == RecordVarType()) Mismatch();
  return source.ChangeType(kind);
}
