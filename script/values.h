// Script values: the interpreter's six kinds of its own on top of the generic
// value (object, class, pointer, set, record, array), their makers and
// readers, and the copy, assign, cast and free rules every script value
// follows.
//
// Arrays and records are shared through reference counts: a copy shares the
// data, the data goes when the last value holding it goes. Objects are held
// by checked handle, so a value naming a freed object reads as an error.
#pragma once

#include <cstdint>

#include "object.h"
#include "variant.h"

// Codes of the six kinds, registered with the generic value on first use.
TVarType ObjectVarType();
TVarType ClassVarType();
TVarType PointerVarType();
TVarType SetVarType();
TVarType RecordVarType();
TVarType ArrayVarType();

// True for a value of one of the six kinds.
bool IsScriptKind(TVarType type);

// An object reference (nullptr for nil).
Variant ObjectToValue(const TObject* obj);
// The object a value refers to: nullptr for nil (an object value of nil or
// the nil pointer); error 53 for a value of another kind, error 2 when the
// object has been freed.
TObject* ValueToObject(const Variant& value);

// A class reference; the class descriptions live as long as the program.
Variant ClassToValue(const TClassInfo* cls);
// The class of a class value; error 53 for a value of another kind.
const TClassInfo* ValueToClass(const Variant& value);

// An untyped pointer, carried as it is and never followed here.
Variant PointerToValue(const void* pointer);
// The pointer of a pointer value; error 53 for a value of another kind.
void* ValueToPointer(const Variant& value);

// A set of members 0 to 31 as a bit mask.
Variant SetToValue(uint32_t mask);
// The mask of a set value; a generic array gives the set of its elements'
// integers (lowest five bits each), an ordinal value its own low 32 bits;
// error 53 for any other value.
uint32_t ValueToSet(const Variant& value);

// Drops this value's share of an array or record and leaves the value empty.
void FreeValue(Variant& value);
// Copies a value; arrays and records are shared, not duplicated.
inline void CopyValue(Variant& destination, const Variant& source) { destination = source; }
// AssignValue for a source of a custom kind.
void AssignCustomValue(Variant& destination, const Variant& source);
// Assignment into a variable, element or field: an array source is error 2
// ("Array to array assignmentnot implemented"); a record source is copied
// field by field into the destination record (a fresh copy when the
// destination is not a record of that type); anything else is copied.
// Inline, since every assignment passes here and plain values need no more.
inline void AssignValue(Variant& destination, const Variant& source) {
  if (source.IsCustom())
    AssignCustomValue(destination, source);
  else
    destination = source;
}
// A value brought to a value kind: Empty and Null give the zero of the kind,
// kind 0 (or Variant) keeps the value, an array or record only stays itself
// (else error 53), anything else goes through the generic conversion.
Variant CastValue(const Variant& source, TVarType kind);
// The zero of a value kind: 0, 0.0, "", False, or Empty.
Variant ZeroOfKind(TVarType kind);
