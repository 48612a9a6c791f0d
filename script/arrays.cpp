// Interpreter arrays: layout, element access by kind and the
// one-dimensional operations.
#include "arrays.h"

#include <algorithm>
#include <cstring>

#include "errors.h"
#include "exceptions.h"
#include "scriptrun.h"
#include "values.h"

namespace {

constexpr int32_t kIndexOutOfBounds = 171;
constexpr int32_t kBadDimension = 174;
constexpr int32_t kBadRange = 175;
constexpr char kSetLengthOneDim[] = "Sorry. Dynamic arrays support is made for one-dimensional arrays only";
constexpr char kOneDimOnly[] = "Sorry, for one-dimensional arrays only";

enum class Storage { Block, Strings, Values };

Storage StorageOf(TVarType kind) {
  switch (kind) {
    case varSmallint: case varInteger: case varDouble: case varDate: case varByte: return Storage::Block;
    case varString: return Storage::Strings;
    default: return kind == ObjectVarType() ? Storage::Block : Storage::Values;
  }
}

// Bytes one element takes in the block (objects are kept as 64-bit handles).
size_t BlockWidth(TVarType kind) {
  switch (kind) {
    case varSmallint: return 2;
    case varInteger: return 4;
    case varByte: return 1;
    default: return 8;
  }
}

int32_t ElementSizeOf(TVarType kind) {
  switch (kind) {
    case varEmpty: case varOleStr: case varDispatch: case varVariant: case varUnknown: return 16;
    case varSmallint: return 2;
    case varInteger: return 4;
    case varDouble: case varDate: return 8;
    case varByte: return 1;
    default: return kind == ObjectVarType() ? 4 : 0;
  }
}

Variant StartValue(const TInterpreterArray& a) {
  if (a.ElementKind == varEmpty) return a.ElementType ? a.ElementType->Init() : Variant();
  return ZeroOfKind(a.ElementKind);
}

// Bytes the memory budget counts for one element, beside a string's
// characters.
int64_t ElementBytes(TVarType kind) {
  switch (StorageOf(kind)) {
    case Storage::Block: return static_cast<int64_t>(BlockWidth(kind));
    case Storage::Strings: return kStringElementBytes;
    case Storage::Values: break;
  }
  return kValueBytes;
}

void Resize(TInterpreterArray& a, size_t count) {
  if (count > static_cast<size_t>(a.Count))
    ChargeScriptMemory(static_cast<int64_t>(count - static_cast<size_t>(a.Count)) * ElementBytes(a.ElementKind));
  switch (StorageOf(a.ElementKind)) {
    case Storage::Block: a.Block.resize(count * BlockWidth(a.ElementKind)); break;
    case Storage::Strings: a.Strings.resize(count); break;
    case Storage::Values: {
      size_t old = a.Values.size();
      a.Values.resize(count);
      for (size_t i = old; i < count; ++i) a.Values[i] = StartValue(a);
    }
  }
  a.Count = static_cast<int32_t>(count);
}

// Moves elements [from, Count) by one place: up (making room at `from`) or down
// (overwriting `from`).
void Shift(TInterpreterArray& a, size_t from, bool up) {
  size_t count = static_cast<size_t>(a.Count);
  switch (StorageOf(a.ElementKind)) {
    case Storage::Block: {
      size_t w = BlockWidth(a.ElementKind);
      uint8_t* base = a.Block.data() + from * w;
      size_t bytes = (count - from - 1) * w;
      if (up) std::memmove(base + w, base, bytes), std::memset(base, 0, w);
      else std::memmove(base, base + w, bytes);
      break;
    }
    case Storage::Strings: {
      auto at = a.Strings.begin() + static_cast<std::ptrdiff_t>(from);
      if (up) std::rotate(at, a.Strings.end() - 1, a.Strings.end()), *at = std::string();
      else std::rotate(at, at + 1, a.Strings.end());
      break;
    }
    case Storage::Values: {
      auto at = a.Values.begin() + static_cast<std::ptrdiff_t>(from);
      if (up) std::rotate(at, a.Values.end() - 1, a.Values.end()), *at = StartValue(a);
      else std::rotate(at, at + 1, a.Values.end());
      break;
    }
  }
}

void RequireOneDimension(const TInterpreterArray& a, const char* text) {
  if (a.Dimensions != 1) throw Exception(text);
}

size_t CheckedIndex(const TInterpreterArray& a, int64_t index) {
  if (index < a.LowBounds[0] || index > a.HighBounds[0]) RaiseError(kIndexOutOfBounds, -1);
  return static_cast<size_t>(index - a.LowBounds[0]);
}

uint64_t ObjectHandleOf(const Variant& value) {
  if (value.IsEmptyOrNull()) return 0;
  if (value.VarType() == PointerVarType() && value.Bits() == 0) return 0;
  if (value.VarType() != ObjectVarType()) RaiseError(53, -1);
  return value.Bits();
}

Variant ElementAt(const TInterpreterArray& a, size_t i) {
  switch (StorageOf(a.ElementKind)) {
    case Storage::Strings: return Variant::String(a.Strings[i]);
    case Storage::Values: return a.Values[i];
    case Storage::Block: break;
  }
  const uint8_t* p = a.Block.data() + i * BlockWidth(a.ElementKind);
  int16_t i16;
  int32_t i32;
  double d;
  uint64_t h;
  switch (a.ElementKind) {
    case varSmallint: std::memcpy(&i16, p, 2); return Variant::Smallint(i16);
    case varInteger: std::memcpy(&i32, p, 4); return Variant::Integer(i32);
    case varByte: return Variant::Byte(*p);
    case varDouble: std::memcpy(&d, p, 8); return Variant::Double(d);
    case varDate: std::memcpy(&d, p, 8); return Variant::Date(d);
    default: std::memcpy(&h, p, 8); return Variant::Custom(ObjectVarType(), h);
  }
}

void StoreAt(TInterpreterArray& a, size_t i, const Variant& value) {
  switch (StorageOf(a.ElementKind)) {
    case Storage::Strings: {
      std::string text = value.AsString();
      // Each element keeps its own copy of the characters.
      ChargeScriptMemory(static_cast<int64_t>(text.size()));
      a.Strings[i] = std::move(text);
      return;
    }
    case Storage::Values:
      if (a.ElementKind == varEmpty || a.ElementKind == varVariant)
        AssignValue(a.Values[i], value);
      else
        a.Values[i] = CastValue(value, a.ElementKind);
      return;
    case Storage::Block: break;
  }
  uint8_t* p = a.Block.data() + i * BlockWidth(a.ElementKind);
  if (a.ElementKind == ObjectVarType()) {
    uint64_t h = ObjectHandleOf(value);
    std::memcpy(p, &h, 8);
    return;
  }
  Variant v = CastValue(value, a.ElementKind);  // range-checked narrowing
  int16_t i16;
  int32_t i32;
  double d;
  switch (a.ElementKind) {
    case varSmallint: i16 = static_cast<int16_t>(v.AsInt64()); std::memcpy(p, &i16, 2); break;
    case varInteger: i32 = v.AsInteger(); std::memcpy(p, &i32, 4); break;
    case varByte: *p = static_cast<uint8_t>(v.AsInt64()); break;
    default: d = v.AsDouble(); std::memcpy(p, &d, 8); break;
  }
}

Variant OpenArrayEntry(const Variant& v) {
  switch (v.VarType()) {
    case varSmallint: case varInteger: return Variant::Integer(v.AsInteger());
    case varDouble: case varCurrency: return Variant::CurrencyScaled(v.AsCurrencyScaled());
    default: return v;
  }
}

}  // namespace

Variant NewScriptArray(int32_t dimensions, const TArrayBounds& low, const TArrayBounds& high, TVarType elementKind,
                       const TDataTypePtr& elementType) {
  if (dimensions < 1 || dimensions > kMaxArrayDimensions) RaiseError(kBadDimension, -1);
  auto a = std::make_shared<TInterpreterArray>();
  a->Dimensions = dimensions;
  a->ElementKind = elementKind;
  a->ElementType = elementType;
  a->ElementSize = ElementSizeOf(elementKind);
  int64_t count = 1;
  for (int32_t k = 0; k < dimensions; ++k) {
    a->LowBounds[k] = low[k];
    a->HighBounds[k] = high[k];
    if (high[k] < low[k]) {
      if (dimensions != 1 || (low[k] != 0 && high[k] != -1)) RaiseError(kBadRange, -1);
      // An empty array: its high bound sits just below its low bound, so
      // that SetLength later counts from the right place.
      if (low[k] == INT32_MIN) RaiseError(kBadRange, -1);
      a->HighBounds[k] = low[k] - 1;
    }
    count *= int64_t{a->HighBounds[k]} - a->LowBounds[k] + 1;
    if (count > kMaxArrayElements) RaiseError(kBadRange, -1);
  }
  Resize(*a, static_cast<size_t>(count));
  return Variant::Custom(ArrayVarType(), 0, std::move(a));
}

TInterpreterArray& ValueToArray(const Variant& value) {
  auto* a = value.VarType() == ArrayVarType() ? dynamic_cast<TInterpreterArray*>(value.PayloadPtr()) : nullptr;
  if (!a) RaiseError(53, -1);
  return *a;
}

size_t ArrayElementIndex(const TInterpreterArray& array, std::span<const int32_t> indexes) {
  if (indexes.size() < static_cast<size_t>(array.Dimensions)) RaiseError(173, -1);
  if (indexes.size() > static_cast<size_t>(array.Dimensions)) RaiseError(172, -1);
  int64_t position = 0, stride = 1;
  for (int32_t k = 0; k < array.Dimensions; ++k) {
    if (indexes[k] < array.LowBounds[k] || indexes[k] > array.HighBounds[k]) RaiseError(kIndexOutOfBounds, -1);
    position += (int64_t{indexes[k]} - array.LowBounds[k]) * stride;
    stride *= int64_t{array.HighBounds[k]} - array.LowBounds[k] + 1;
  }
  return static_cast<size_t>(position);
}

Variant GetArrayElement(std::span<const int32_t> indexes, const TInterpreterArray& array) {
  return ElementAt(array, ArrayElementIndex(array, indexes));
}

void SetArrayElement(std::span<const int32_t> indexes, TInterpreterArray& array, const Variant& stored) {
  // A copy: the value may be held only by the element it replaces.
  const Variant value = stored;
  StoreAt(array, ArrayElementIndex(array, indexes), value);
}

void ScriptArraySetLength(TInterpreterArray& array, int64_t length) {
  RequireOneDimension(array, kSetLengthOneDim);
  int64_t high = int64_t{array.LowBounds[0]} + length - 1;
  if (length < 0 || length > kMaxArrayElements || high > INT32_MAX || high < INT32_MIN) RaiseError(kBadRange, -1);
  Resize(array, static_cast<size_t>(length));
  array.HighBounds[0] = static_cast<int32_t>(high);
}

int32_t ScriptArrayLength(const TInterpreterArray& array) {
  RequireOneDimension(array, kOneDimOnly);
  return array.Count;
}

int32_t ScriptArrayLow(const TInterpreterArray& array) {
  RequireOneDimension(array, kOneDimOnly);
  return array.LowBounds[0];
}

int32_t ScriptArrayHigh(const TInterpreterArray& array) {
  RequireOneDimension(array, kOneDimOnly);
  return array.HighBounds[0];
}

void ScriptArrayDelete(TInterpreterArray& array, int64_t index) {
  RequireOneDimension(array, kOneDimOnly);
  size_t at = CheckedIndex(array, index);
  if (array.HighBounds[0] == INT32_MIN) RaiseError(kBadRange, -1);  // no bound below it
  Shift(array, at, false);
  Resize(array, static_cast<size_t>(array.Count) - 1);
  --array.HighBounds[0];
}

void ScriptArrayInsert(TInterpreterArray& array, int64_t index, const Variant& inserted) {
  // A copy: the value may live in the very array whose elements move.
  const Variant value = inserted;
  RequireOneDimension(array, kOneDimOnly);
  size_t at = CheckedIndex(array, index);
  if (array.Count >= kMaxArrayElements || array.HighBounds[0] == INT32_MAX) RaiseError(kBadRange, -1);
  Resize(array, static_cast<size_t>(array.Count) + 1);
  ++array.HighBounds[0];
  Shift(array, at, true);
  StoreAt(array, at, value);
}

std::vector<Variant> VariantToOpenArray(const Variant& value) {
  std::vector<Variant> entries;
  if (value.VarType() == ArrayVarType()) {
    const TInterpreterArray& a = ValueToArray(value);
    RequireOneDimension(a, kOneDimOnly);
    if (static_cast<size_t>(a.Count) > kMaxOpenArrayElements) RaiseError(181, -1);
    for (int32_t i = 0; i < a.Count; ++i) entries.push_back(OpenArrayEntry(ElementAt(a, i)));
    return entries;
  }
  if (!value.IsArray()) RaiseError(53, -1);
  const VariantArray& items = value.ArrayRef();
  if (items.items.size() > kMaxOpenArrayElements) RaiseError(181, -1);
  for (const Variant& item : items.items) entries.push_back(OpenArrayEntry(item));
  return entries;
}
