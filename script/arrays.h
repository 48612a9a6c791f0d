// Interpreter arrays: up to ten dimensions with their own bounds, elements
// stored unboxed by kind (the first index varies fastest), and the
// one-dimensional operations behind SetLength, Length, Low, High,
// DeleteFromArray and InsertIntoArray.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "datatypes.h"
#include "scriptlimits.h"
#include "variant.h"


class TInterpreterArray : public VariantPayload {
 public:
  // Arrays nested in its elements go without one frame per level.
  ~TInterpreterArray() override { ReleaseValues(Values); }

  int32_t Dimensions = 1;
  TArrayBounds LowBounds{};
  TArrayBounds HighBounds{};
  TVarType ElementKind = 0;
  TDataTypePtr ElementType;
  int32_t ElementSize = 0;  // bytes per element as the kinds are sized
  int32_t Count = 0;

  // Storage by element kind: fixed-size kinds in Block, strings in Strings,
  // every other kind as values.
  std::vector<uint8_t> Block;
  std::vector<std::string> Strings;
  std::vector<Variant> Values;
};

// A new array value; error 174 for a dimension count outside 1 to 10, 175 for
// a high bound below its low bound (except the empty one-dimensional array)
// or a size beyond the limits.
Variant NewScriptArray(int32_t dimensions, const TArrayBounds& low, const TArrayBounds& high, TVarType elementKind,
                       const TDataTypePtr& elementType);
// The array of an array value; error 53 for any other value.
TInterpreterArray& ValueToArray(const Variant& value);

// Linear position of an element; error 173 / 172 for too few / too many
// indexes, 171 for an index outside its bounds.
size_t ArrayElementIndex(const TInterpreterArray& array, std::span<const int32_t> indexes);
// Reads an element as a value of the element kind.
Variant GetArrayElement(std::span<const int32_t> indexes, const TInterpreterArray& array);
// Writes an element, converting the value to the element kind (narrowing
// that overflows raises the generic conversion error).
void SetArrayElement(std::span<const int32_t> indexes, TInterpreterArray& array, const Variant& value);

// One-dimensional operations; an array of more dimensions raises Exception
// with the "Sorry" texts. A negative or oversized length is error 175; an
// index outside the bounds error 171.
void ScriptArraySetLength(TInterpreterArray& array, int64_t length);
int32_t ScriptArrayLength(const TInterpreterArray& array);
int32_t ScriptArrayLow(const TInterpreterArray& array);
int32_t ScriptArrayHigh(const TInterpreterArray& array);
void ScriptArrayDelete(TInterpreterArray& array, int64_t index);
void ScriptArrayInsert(TInterpreterArray& array, int64_t index, const Variant& value);

// The argument list of a host call from an interpreter array or a generic
// one-dimensional array: integers as Integer, floats as Currency, Booleans
// as they are, anything else as its value. More than 33 entries is error
// 181; an array of more dimensions raises the "Sorry" Exception.
std::vector<Variant> VariantToOpenArray(const Variant& value);
