// The Types unit: TPoint and TRect for scripts.
#include "typesunit.h"

#include <cstring>

#include "adapter.h"
#include "errors.h"
#include "records.h"
#include "values.h"

namespace {

constexpr TVarType kInt = varInteger;

template <class T>
Variant ToValue(const char* typeName, const T& data) {
  std::vector<uint8_t> memory(sizeof(T));
  std::memcpy(memory.data(), &data, sizeof(T));
  return RecordToValue(typeName, std::move(memory));
}

template <class T>
T FromHolder(const TInterpreterRecHolder& holder) {
  if (holder.Memory.size() < sizeof(T)) RaiseError(53, -1);
  T data;
  std::memcpy(&data, holder.Memory.data(), sizeof(T));
  return data;
}

template <class T>
void ToHolder(TInterpreterRecHolder& holder, const T& data) {
  if (holder.Memory.size() < sizeof(T)) RaiseError(53, -1);
  std::memcpy(holder.Memory.data(), &data, sizeof(T));
}

int32_t Arg(const TInterpreterArgs& args, size_t i) { return args.Values[i].AsInteger(); }

// Sums wrap as the host's 32-bit arithmetic does, never overflow.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

TInterpreterRecHolder& Holder(const TInterpreterArgs& args) {
  TInterpreterRecHolder* holder = args.RecHolder();
  if (!holder) RaiseError(109, -1);
  return *holder;
}

// A corner of a rectangle: fields `first` and `first + 1` of its four.
void ReadCorner(Variant& value, TInterpreterArgs& args, int first) {
  TRect r = FromHolder<TRect>(Holder(args));
  const int32_t* f = &r.Left;
  value = PointToVariant({f[first], f[first + 1]});
}

void WriteCorner(const Variant& value, TInterpreterArgs& args, int first) {
  TInterpreterRecHolder& holder = Holder(args);
  TRect r = FromHolder<TRect>(holder);
  TPoint p = VariantToPoint(value);
  int32_t* f = &r.Left;
  f[first] = p.X;
  f[first + 1] = p.Y;
  ToHolder(holder, r);
}

std::vector<TInterpreterRecordField> IntFields(std::initializer_list<const char*> names) {
  std::vector<TInterpreterRecordField> fields;
  int32_t offset = 0;
  for (const char* name : names) {
    fields.push_back({name, offset, kInt, nullptr});
    offset += 4;
  }
  return fields;
}

}  // namespace

Variant PointToVariant(const TPoint& point) { return ToValue("TPoint", point); }
Variant RectToVariant(const TRect& rect) { return ToValue("TRect", rect); }
TPoint VariantToPoint(const Variant& value) { return FromHolder<TPoint>(ValueToRecord(value)); }
TRect VariantToRect(const Variant& value) { return FromHolder<TRect>(ValueToRecord(value)); }

void RegisterTypesUnit(TInterpreterAdapter& adapter) {
  const TVarType rec = RecordVarType();
  adapter.AddExtUnit("Types");
  adapter.AddRec("Types", "TPoint", 8, IntFields({"X", "Y"}), nullptr, nullptr, nullptr);
  adapter.AddFunction(
      "Types", "Point",
      [](Variant& value, TInterpreterArgs& args) { value = PointToVariant({Arg(args, 0), Arg(args, 1)}); }, 2,
      {kInt, kInt}, rec);
  adapter.AddRec("Types", "TRect", 16, IntFields({"Left", "Top", "Right", "Bottom"}), nullptr, nullptr, nullptr);
  adapter.AddFunction(
      "Types", "Rect",
      [](Variant& value, TInterpreterArgs& args) {
        value = RectToVariant({Arg(args, 0), Arg(args, 1), Arg(args, 2), Arg(args, 3)});
      },
      4, {kInt, kInt, kInt, kInt}, rec);
  adapter.AddFunction(
      "Types", "Bounds",
      [](Variant& value, TInterpreterArgs& args) {
        int32_t left = Arg(args, 0), top = Arg(args, 1);
        value = RectToVariant({left, top, WrapAdd(left, Arg(args, 2)), WrapAdd(top, Arg(args, 3))});
      },
      4, {kInt, kInt, kInt, kInt}, rec);
  adapter.AddRecGet(
      "Types", "TRect", "TopLeft", [](Variant& value, TInterpreterArgs& args) { ReadCorner(value, args, 0); }, 0, {},
      rec);
  adapter.AddRecSet(
      "Types", "TRect", "TopLeft", [](Variant& value, TInterpreterArgs& args) { WriteCorner(value, args, 0); }, 0,
      {});
  adapter.AddRecGet(
      "Types", "TRect", "BottomRight", [](Variant& value, TInterpreterArgs& args) { ReadCorner(value, args, 2); },
      0, {}, rec);
  adapter.AddRecSet(
      "Types", "TRect", "BottomRight", [](Variant& value, TInterpreterArgs& args) { WriteCorner(value, args, 2); },
      0, {});
}
