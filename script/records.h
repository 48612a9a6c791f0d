// Script records: the registered description of a record type and the
// holder behind a record value, with its fields read and written by index.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "identifiers.h"
#include "scriptlimits.h"
#include "variant.h"

class TInterpreterDataType;
class TInterpreterRecHolder;

struct TInterpreterRecordField {
  std::string Name;
  int32_t Offset = 0;     // byte offset in the record's memory
  TVarType Kind = 0;      // value kind of the field; 0 a generic value
  std::shared_ptr<const TInterpreterDataType> DataType;  // starting value of a generic field
};

// A record type as the host or a script registers it.
class TInterpreterRecord : public TInterpreterIdentifier {
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  // Types of fields that hold types in turn go without one frame per level.
  ~TInterpreterRecord() override;

  int32_t Size = 0;
  std::vector<TInterpreterRecordField> Fields;
  // Optional host routines: fill a new record's memory, release it, copy it.
  std::function<void(TInterpreterRecHolder&)> CreateProc;
  std::function<void(TInterpreterRecHolder&)> DestroyProc;
  std::function<void(TInterpreterRecHolder& destination, const TInterpreterRecHolder& source)> CopyProc;

  // Index of the first field of that name (case-insensitive), or -1.
  int32_t FieldIndex(std::string_view name) const;
};

using TRecordTypePtr = std::shared_ptr<const TInterpreterRecord>;

// The data of one record value. Fields of fixed size live in Memory at their
// offsets; generic, Variant and string fields live in Values, one slot per
// field, so that no managed value ever sits in raw bytes.
class TInterpreterRecHolder : public VariantPayload {
 public:
  TInterpreterRecHolder(std::string recordTypeName, TRecordTypePtr recordType, std::vector<uint8_t> memory);
  ~TInterpreterRecHolder() override;

  const std::string& RecordTypeName() const { return recordTypeName_; }
  const TRecordTypePtr& RecordType() const { return recordType_; }
  // Binds the holder to its registered type (made without one by host code
  // that knew only the name).
  void SetRecordType(TRecordTypePtr recordType);

  std::vector<uint8_t> Memory;
  std::vector<Variant> Values;

 private:
  std::string recordTypeName_;
  TRecordTypePtr recordType_;
};

// A record value from a type name and its memory, not yet bound to a type.
Variant RecordToValue(std::string recordTypeName, std::vector<uint8_t> memory);
// A new record of a registered type: the create routine supplies the
// memory, else it is zeroed, strings start empty and generic fields start
// Null or with their data type's starting value.
Variant NewRecordValue(const TRecordTypePtr& recordType);
// The holder of a record value; error 109 for any other value.
TInterpreterRecHolder& ValueToRecord(const Variant& value);

// Reads and writes a field by its index in the holder's record type. A
// generic field read hands out arrays and records shared; a write converts
// the value to the field's kind (a generic field is assigned with
// AssignValue). Error 2 when the holder has no type or the field lies
// outside the record's memory.
Variant ReadRecordField(const TInterpreterRecHolder& holder, size_t field);
void WriteRecordField(TInterpreterRecHolder& holder, size_t field, const Variant& value);

// AssignValue for a record source: field by field into a destination record
// of the same type, else into a fresh record of the source's type.
void AssignRecord(Variant& destination, const Variant& source);
