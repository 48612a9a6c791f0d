// Interpreter arrays: layout, bounds errors, element kinds and the
// one-dimensional operations.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "arrays.h"
#include "error_code.h"
#include "errors.h"
#include "values.h"

namespace {

Variant OneDim(int32_t low, int32_t high, TVarType kind, TDataTypePtr type = nullptr) {
  return NewScriptArray(1, {low}, {high}, kind, type);
}

Variant At(const Variant& array, std::initializer_list<int32_t> indexes) {
  return GetArrayElement(std::span(indexes.begin(), indexes.size()), ValueToArray(array));
}

void Put(const Variant& array, std::initializer_list<int32_t> indexes, const Variant& value) {
  SetArrayElement(std::span(indexes.begin(), indexes.size()), ValueToArray(array), value);
}

std::vector<int32_t> Ints(const Variant& array) {
  TInterpreterArray& a = ValueToArray(array);
  std::vector<int32_t> out;
  for (int32_t i = a.LowBounds[0]; i <= a.HighBounds[0]; ++i) out.push_back(At(array, {i}).AsInteger());
  return out;
}

TEST(ScriptArrays, FirstIndexVariesFastest) {
  Variant a = NewScriptArray(2, {1, 1}, {3, 2}, varInteger, nullptr);
  TInterpreterArray& arr = ValueToArray(a);
  EXPECT_EQ(arr.Count, 6);
  const int32_t e21[] = {2, 1}, e12[] = {1, 2}, e32[] = {3, 2};
  EXPECT_EQ(ArrayElementIndex(arr, e21), 1u);
  EXPECT_EQ(ArrayElementIndex(arr, e12), 3u);
  EXPECT_EQ(ArrayElementIndex(arr, e32), 5u);
  Put(a, {2, 1}, Variant::Integer(21));
  Put(a, {1, 2}, Variant::Integer(12));
  EXPECT_EQ(At(a, {2, 1}).AsInteger(), 21);
  EXPECT_EQ(At(a, {1, 2}).AsInteger(), 12);
  EXPECT_EQ(At(a, {1, 1}).AsInteger(), 0);
}

TEST(ScriptArrays, MakingChecksDimensionsAndRanges) {
  EXPECT_EQ(ErrorCode([] { NewScriptArray(0, {}, {}, varInteger, nullptr); }), 174);
  EXPECT_EQ(ErrorCode([] { NewScriptArray(11, {}, {}, varInteger, nullptr); }), 174);
  EXPECT_EQ(ErrorCode([] { NewScriptArray(10, {}, {}, varInteger, nullptr); }), 0);
  EXPECT_EQ(ErrorCode([] { OneDim(3, 1, varInteger); }), 175);
  EXPECT_EQ(ErrorCode([] { NewScriptArray(2, {0, 0}, {-1, 3}, varInteger, nullptr); }), 175);
  EXPECT_EQ(ValueToArray(OneDim(0, -1, varInteger)).Count, 0);
  EXPECT_EQ(ValueToArray(OneDim(5, -1, varInteger)).Count, 0);
  // Sizes are computed in 64 bits and capped.
  EXPECT_EQ(ErrorCode([] { OneDim(INT32_MIN, INT32_MAX, varInteger); }), 175);
  EXPECT_EQ(ErrorCode([] { NewScriptArray(3, {0, 0, 0}, {70000, 70000, 70000}, varByte, nullptr); }), 175);
  EXPECT_EQ(ErrorCode([] { OneDim(INT32_MIN, -1, varInteger); }), 175);
}

TEST(ScriptArrays, IndexErrors) {
  Variant a = NewScriptArray(2, {1, 1}, {3, 2}, varInteger, nullptr);
  EXPECT_EQ(ErrorCode([&] { At(a, {0, 1}); }), 171);
  EXPECT_EQ(ErrorCode([&] { At(a, {1, 3}); }), 171);
  EXPECT_EQ(ErrorCode([&] { Put(a, {4, 1}, Variant::Integer(1)); }), 171);
  EXPECT_EQ(ErrorCode([&] { At(a, {1}); }), 173);
  EXPECT_EQ(ErrorCode([&] { At(a, {1, 1, 1}); }), 172);
  EXPECT_EQ(ErrorCode([] { ValueToArray(Variant::Array({})); }), 53);
}

TEST(ScriptArrays, ElementKinds) {
  Variant bytes = OneDim(0, 1, varByte);
  Put(bytes, {0}, Variant::String("200"));
  EXPECT_EQ(At(bytes, {0}).VarType(), varByte);
  EXPECT_EQ(At(bytes, {0}).AsInteger(), 200);
  EXPECT_THROW(Put(bytes, {1}, Variant::Integer(300)), EVariantOverflowError);

  Variant smalls = OneDim(0, 0, varSmallint);
  Put(smalls, {0}, Variant::Integer(-5));
  EXPECT_EQ(At(smalls, {0}).VarType(), varSmallint);
  EXPECT_EQ(At(smalls, {0}).AsInteger(), -5);

  Variant doubles = OneDim(0, 0, varDouble);
  Put(doubles, {0}, Variant::String("2.5"));
  EXPECT_EQ(At(doubles, {0}).AsDouble(), 2.5);

  Variant dates = OneDim(0, 0, varDate);
  Put(dates, {0}, Variant::Integer(2));
  EXPECT_EQ(At(dates, {0}).VarType(), varDate);

  Variant strings = OneDim(0, 1, varString);
  Put(strings, {1}, Variant::Integer(7));
  EXPECT_EQ(At(strings, {1}).AsString(), "7");
  EXPECT_EQ(At(strings, {0}).VarType(), varString);

  Variant flags = OneDim(0, 0, varBoolean);
  EXPECT_EQ(At(flags, {0}).VarType(), varBoolean);
  Put(flags, {0}, Variant::Integer(1));
  EXPECT_TRUE(At(flags, {0}).AsBoolean());

  Variant generic = OneDim(0, 1, varEmpty, std::make_shared<TInterpreterSimpleDataType>(varString));
  EXPECT_EQ(At(generic, {0}).VarType(), varString);
  Put(generic, {1}, Variant::Integer(3));
  EXPECT_EQ(At(generic, {1}).VarType(), varInteger);
  EXPECT_EQ(ErrorCode([&] { Put(generic, {0}, OneDim(0, 0, varInteger)); }), 2);
}

TEST(ScriptArrays, ObjectElementsAreCheckedHandles) {
  Variant objects = OneDim(0, 1, ObjectVarType());
  EXPECT_EQ(ValueToArray(objects).ElementSize, 4);
  auto obj = std::make_unique<TObject>();
  Put(objects, {0}, ObjectToValue(obj.get()));
  EXPECT_EQ(At(objects, {0}).VarType(), ObjectVarType());
  EXPECT_EQ(ValueToObject(At(objects, {0})), obj.get());
  EXPECT_EQ(ValueToObject(At(objects, {1})), nullptr);
  EXPECT_EQ(ErrorCode([&] { Put(objects, {1}, Variant::Integer(1)); }), 53);
  obj.reset();
  EXPECT_EQ(ErrorCode([&] { ValueToObject(At(objects, {0})); }), 2);
}

TEST(ScriptArrays, SetLengthGrowsAndShrinks) {
  Variant a = OneDim(0, -1, varInteger);
  TInterpreterArray& arr = ValueToArray(a);
  ScriptArraySetLength(arr, 3);
  EXPECT_EQ(ScriptArrayLow(arr), 0);
  EXPECT_EQ(ScriptArrayHigh(arr), 2);
  EXPECT_EQ(ScriptArrayLength(arr), 3);
  EXPECT_EQ(Ints(a), (std::vector<int32_t>{0, 0, 0}));
  Put(a, {2}, Variant::Integer(9));
  ScriptArraySetLength(arr, 2);
  ScriptArraySetLength(arr, 4);
  EXPECT_EQ(Ints(a), (std::vector<int32_t>{0, 0, 0, 0}));

  Variant based = OneDim(5, 6, varString);
  ScriptArraySetLength(ValueToArray(based), 4);
  EXPECT_EQ(ScriptArrayHigh(ValueToArray(based)), 8);
  EXPECT_EQ(At(based, {8}).AsString(), "");

  EXPECT_EQ(ErrorCode([&] { ScriptArraySetLength(arr, -1); }), 175);
  EXPECT_EQ(ErrorCode([&] { ScriptArraySetLength(arr, int64_t{1} << 40); }), 175);
  Variant high = OneDim(INT32_MAX - 1, INT32_MAX, varInteger);
  EXPECT_EQ(ErrorCode([&] { ScriptArraySetLength(ValueToArray(high), 3); }), 175);
  EXPECT_EQ(ScriptArrayLength(arr), 4);
  // Bounds at the ends of 32 bits never wrap.
  Variant lowest = OneDim(INT32_MIN, INT32_MIN, varInteger);
  EXPECT_EQ(ErrorCode([&] { ScriptArraySetLength(ValueToArray(lowest), 0); }), 175);
  EXPECT_EQ(ErrorCode([&] { ScriptArrayDelete(ValueToArray(lowest), INT32_MIN); }), 175);
  Variant highest = OneDim(INT32_MAX, INT32_MAX, varInteger);
  EXPECT_EQ(ErrorCode([&] { ScriptArrayInsert(ValueToArray(highest), INT32_MAX, Variant()); }), 175);
  EXPECT_EQ(ScriptArrayLength(ValueToArray(highest)), 1);
}

TEST(ScriptArrays, SetLengthGivesGenericElementsTheirStart) {
  Variant a = OneDim(0, -1, varEmpty, std::make_shared<TInterpreterSimpleDataType>(varInteger));
  ScriptArraySetLength(ValueToArray(a), 2);
  EXPECT_EQ(At(a, {1}).VarType(), varInteger);
}

TEST(ScriptArrays, DeleteAndInsert) {
  Variant a = OneDim(0, 2, varInteger);
  for (int32_t i = 0; i < 3; ++i) Put(a, {i}, Variant::Integer(10 + i));
  TInterpreterArray& arr = ValueToArray(a);
  ScriptArrayDelete(arr, 0);
  EXPECT_EQ(ScriptArrayHigh(arr), 1);
  EXPECT_EQ(Ints(a), (std::vector<int32_t>{11, 12}));
  ScriptArrayInsert(arr, 1, Variant::String("5"));
  EXPECT_EQ(Ints(a), (std::vector<int32_t>{11, 5, 12}));
  EXPECT_EQ(ErrorCode([&] { ScriptArrayInsert(arr, 3, Variant::Integer(1)); }), 171);
  EXPECT_EQ(ErrorCode([&] { ScriptArrayDelete(arr, -1); }), 171);
  EXPECT_EQ(ErrorCode([&] { ScriptArrayDelete(arr, 3); }), 171);
  EXPECT_EQ(Ints(a), (std::vector<int32_t>{11, 5, 12}));

  Variant strings = OneDim(1, 3, varString);
  for (int32_t i = 1; i <= 3; ++i) Put(strings, {i}, Variant::String(std::string(1, char('a' + i))));
  ScriptArrayInsert(ValueToArray(strings), 3, Variant::String("x"));
  ScriptArrayDelete(ValueToArray(strings), 1);
  std::string joined;
  for (int32_t i = 1; i <= 3; ++i) joined += At(strings, {i}).AsString();
  EXPECT_EQ(joined, "cxd");

  Variant generic = OneDim(0, 1, varEmpty);
  Put(generic, {0}, Variant::String("first"));
  ScriptArrayInsert(ValueToArray(generic), 0, Variant::Integer(0));
  EXPECT_EQ(At(generic, {1}).AsString(), "first");
  EXPECT_EQ(At(generic, {0}).AsInteger(), 0);
}

TEST(ScriptArrays, OneDimensionalOperationsRefuseMore) {
  Variant a = NewScriptArray(2, {0, 0}, {1, 1}, varInteger, nullptr);
  TInterpreterArray& arr = ValueToArray(a);
  try {
    ScriptArraySetLength(arr, 1);
    FAIL();
  } catch (const EInterpreterError&) {
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Sorry. Dynamic arrays support is made for one-dimensional arrays only");
  }
  for (const std::function<void()>& op : std::initializer_list<std::function<void()>>{
           [&] { ScriptArrayLength(arr); }, [&] { ScriptArrayLow(arr); }, [&] { ScriptArrayHigh(arr); },
           [&] { ScriptArrayDelete(arr, 0); }, [&] { ScriptArrayInsert(arr, 0, Variant()); },
           [&] { VariantToOpenArray(a); }}) {
    try {
      op();
      ADD_FAILURE();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Sorry, for one-dimensional arrays only");
    }
  }
}

TEST(ScriptArrays, OpenArrays) {
  Variant a = OneDim(0, 3, varEmpty);
  Put(a, {0}, Variant::Smallint(2));
  Put(a, {1}, Variant::Double(1.5));
  Put(a, {2}, Variant::Boolean(true));
  Put(a, {3}, Variant::String("s"));
  std::vector<Variant> entries = VariantToOpenArray(a);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].VarType(), varInteger);
  EXPECT_EQ(entries[1].VarType(), varCurrency);
  EXPECT_EQ(entries[2].VarType(), varBoolean);
  EXPECT_EQ(entries[3].VarType(), varString);
  EXPECT_EQ(VariantToOpenArray(Variant::Array({Variant::Integer(1)})).size(), 1u);
  EXPECT_EQ(VariantToOpenArray(OneDim(0, 32, varInteger)).size(), 33u);
  EXPECT_EQ(ErrorCode([] { VariantToOpenArray(OneDim(0, 33, varInteger)); }), 181);
  EXPECT_EQ(ErrorCode([] { VariantToOpenArray(Variant::Array(std::vector<Variant>(34))); }), 181);
  EXPECT_EQ(ErrorCode([] { VariantToOpenArray(Variant::Integer(1)); }), 53);
}

}  // namespace
