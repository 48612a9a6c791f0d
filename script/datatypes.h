// Declared data types, which give variables, fields and array elements their
// starting values, and the type names the parser knows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "scriptlimits.h"
#include "records.h"
#include "variant.h"

class TInterpreterDataType {
 public:
  virtual ~TInterpreterDataType() = default;
  // A fresh value of this type.
  virtual Variant Init() const = 0;
  // The value kind the type stands for.
  virtual TVarType ValueKind() const = 0;
};

using TDataTypePtr = std::shared_ptr<const TInterpreterDataType>;

// A simple value kind; starts as the kind's zero (Empty for kind 0 and objects).
class TInterpreterSimpleDataType : public TInterpreterDataType {
 public:
  explicit TInterpreterSimpleDataType(TVarType kind) : kind_(kind) {}
  Variant Init() const override;
  TVarType ValueKind() const override { return kind_; }

 private:
  TVarType kind_;
};

// A record type; each Init makes a new record; its kind is 0.
class TInterpreterRecordDataType : public TInterpreterDataType {
 public:
  explicit TInterpreterRecordDataType(TRecordTypePtr recordType) : recordType_(std::move(recordType)) {}
  // Record types whose fields hold record types go without one frame per
  // level.
  ~TInterpreterRecordDataType() override { ReleaseShared(std::move(recordType_)); }
  Variant Init() const override;
  TVarType ValueKind() const override { return varEmpty; }

 private:
  TRecordTypePtr recordType_;
};

using TArrayBounds = std::array<int32_t, kMaxArrayDimensions>;

// An array type; each Init makes a new interpreter array.
class TInterpreterArrayDataType : public TInterpreterDataType {
 public:
  TInterpreterArrayDataType(int32_t dimensions, const TArrayBounds& low, const TArrayBounds& high,
                            TVarType elementKind, TDataTypePtr elementType)
      : dimensions_(dimensions), low_(low), high_(high), elementKind_(elementKind),
        elementType_(std::move(elementType)) {}
  // Arrays of arrays of ... go without one frame per level.
  ~TInterpreterArrayDataType() override { ReleaseShared(std::move(elementType_)); }
  Variant Init() const override;
  TVarType ValueKind() const override;

 private:
  int32_t dimensions_;
  TArrayBounds low_;
  TArrayBounds high_;
  TVarType elementKind_;
  TDataTypePtr elementType_;
};

// The value kind of a simple type name (case-insensitive): `integer` 3,
// `word` 2, `string` 256, `TObject` the object kind...; 0 for any other name.
TVarType TypeNameToKind(std::string_view name);
