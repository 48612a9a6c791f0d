// Script values: the six kinds, sharing, assignment, casts, records and the
// type-name map.
#include <gtest/gtest.h>

#include <memory>

#include "arrays.h"
#include "datatypes.h"
#include "error_code.h"
#include "errors.h"
#include "records.h"
#include "values.h"

namespace {

class THostThing : public TObject {
  PX_CLASS(THostThing, TObject)
};

TEST(ScriptValues, SixKindsHaveDistinctCodes) {
  const TVarType codes[] = {ObjectVarType(), ClassVarType(), PointerVarType(),
                            SetVarType(),    RecordVarType(), ArrayVarType()};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_GE(codes[i], varFirstCustom);
    EXPECT_TRUE(IsScriptKind(codes[i]));
    for (size_t j = i + 1; j < 6; ++j) EXPECT_NE(codes[i], codes[j]);
  }
  // Registered once each, under its own name, and made values carry it.
  const char* names[] = {"Object", "Class", "Pointer", "Set", "Record", "Array"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(VarTypeAsText(codes[i]), names[i]);
  EXPECT_EQ(ObjectToValue(nullptr).VarType(), codes[0]);
  EXPECT_EQ(SetToValue(5).VarType(), codes[3]);
  EXPECT_FALSE(IsScriptKind(varString));
}

TEST(ScriptValues, ObjectsAreCheckedHandles) {
  auto thing = std::make_unique<THostThing>();
  Variant v = ObjectToValue(thing.get());
  Variant copy = v;
  EXPECT_EQ(ValueToObject(copy), thing.get());
  EXPECT_EQ(ValueToObject(ObjectToValue(nullptr)), nullptr);
  EXPECT_EQ(ValueToObject(PointerToValue(nullptr)), nullptr);
  thing.reset();
  EXPECT_EQ(ErrorCode([&] { ValueToObject(copy); }), 2);
  // A value of another kind is never read as an object.
  EXPECT_EQ(ErrorCode([] { ValueToObject(Variant::Integer(1)); }), 53);
  EXPECT_EQ(ErrorCode([] { ValueToObject(SetToValue(1)); }), 53);
}

TEST(ScriptValues, ClassPointerAndSetPayloads) {
  EXPECT_EQ(ValueToClass(ClassToValue(&THostThing::StaticClass())), &THostThing::StaticClass());
  int x = 0;
  EXPECT_EQ(ValueToPointer(PointerToValue(&x)), &x);
  EXPECT_EQ(ErrorCode([] { ValueToClass(ObjectToValue(nullptr)); }), 53);
  EXPECT_EQ(ErrorCode([] { ValueToPointer(Variant::String("x")); }), 53);

  EXPECT_EQ(ValueToSet(SetToValue(0x80000001u)), 0x80000001u);
  EXPECT_EQ(ValueToSet(Variant::Array({Variant::Integer(0), Variant::Integer(3), Variant::Integer(33)})), 0xBu);
  EXPECT_EQ(ValueToSet(Variant::Integer(6)), 6u);
  EXPECT_EQ(ErrorCode([] { ValueToSet(Variant::String("abc")); }), 53);
}

TEST(ScriptValues, CastValue) {
  EXPECT_EQ(CastValue(Variant(), varInteger).VarType(), varInteger);
  EXPECT_EQ(CastValue(Variant::Null(), varString).AsString(), "");
  EXPECT_EQ(CastValue(Variant::Null(), varBoolean).VarType(), varBoolean);
  EXPECT_EQ(CastValue(Variant::Null(), varDouble).VarType(), varDouble);
  EXPECT_TRUE(CastValue(Variant::Null(), varVariant).IsEmpty());
  EXPECT_EQ(CastValue(Variant::String("12"), varInteger).AsInteger(), 12);
  EXPECT_EQ(CastValue(Variant::String("x"), varEmpty).AsString(), "x");
  EXPECT_EQ(CastValue(SetToValue(5), varInteger).AsInteger(), 5);
  EXPECT_THROW(CastValue(Variant::String("70000"), varSmallint), EVariantOverflowError);
  EXPECT_THROW(CastValue(Variant::String("x"), varInteger), EVariantTypeCastError);
  // Reference kinds never become one another.
  EXPECT_THROW(CastValue(Variant::Integer(1), ObjectVarType()), EVariantTypeCastError);
  EXPECT_EQ(ErrorCode([] { CastValue(SetToValue(1), ObjectVarType()); }), 53);
  Variant array = NewScriptArray(1, {0}, {2}, varInteger, nullptr);
  EXPECT_EQ(ErrorCode([&] { CastValue(array, varInteger); }), 53);
  EXPECT_EQ(CastValue(array, ArrayVarType()).PayloadPtr(), array.PayloadPtr());
}

TEST(ScriptValues, ArraysShareThroughCopyButRefuseAssignment) {
  Variant a = NewScriptArray(1, {0}, {2}, varInteger, nullptr);
  Variant b;
  CopyValue(b, a);
  const int32_t i1[] = {1};
  SetArrayElement(i1, ValueToArray(b), Variant::Integer(42));
  EXPECT_EQ(GetArrayElement(i1, ValueToArray(a)).AsInteger(), 42);
  Variant c;
  try {
    AssignValue(c, a);
    FAIL();
  } catch (const EInterpreterError& e) {
    EXPECT_EQ(e.ErrCode, 2);
    EXPECT_EQ(e.Message(), "Internal interpreter error: Array to array assignmentnot implemented");
  }
  // Freeing one share leaves the other usable.
  std::weak_ptr<VariantPayload> alive = a.Payload();
  FreeValue(a);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(GetArrayElement(i1, ValueToArray(b)).AsInteger(), 42);
  FreeValue(b);
  EXPECT_TRUE(alive.expired());
}

std::shared_ptr<TInterpreterRecord> PointType() {
  auto type = std::make_shared<TInterpreterRecord>("Types", "TPoint");
  type->Size = 8;
  type->Fields = {{"X", 0, varInteger, nullptr}, {"Y", 4, varInteger, nullptr}};
  return type;
}

std::shared_ptr<TInterpreterRecord> MixedType() {
  auto type = std::make_shared<TInterpreterRecord>("", "TMixed");
  type->Size = 19;
  type->Fields = {{"Name", 0, varString, nullptr},
                  {"Any", 0, varEmpty, nullptr},
                  {"Count", 0, varSmallint, nullptr},
                  {"Flag", 2, varBoolean, nullptr},
                  {"Money", 6, varCurrency, nullptr},
                  {"Small", 14, varByte, nullptr},
                  {"Typed", 0, varEmpty, std::make_shared<TInterpreterSimpleDataType>(varInteger)},
                  {"Broken", 16, varInteger, nullptr}};
  return type;
}

TEST(ScriptRecords, NewRecordStartsEmptyAndTyped) {
  Variant r = NewRecordValue(MixedType());
  TInterpreterRecHolder& h = ValueToRecord(r);
  EXPECT_EQ(h.RecordTypeName(), "TMixed");
  EXPECT_EQ(ReadRecordField(h, 0).VarType(), varString);
  EXPECT_TRUE(ReadRecordField(h, 1).IsNull());
  EXPECT_EQ(ReadRecordField(h, 2).VarType(), varSmallint);
  EXPECT_EQ(ReadRecordField(h, 3).AsBoolean(), false);
  EXPECT_EQ(ReadRecordField(h, 6).VarType(), varInteger);
}

TEST(ScriptRecords, FieldsConvertToTheirKind) {
  Variant r = NewRecordValue(MixedType());
  TInterpreterRecHolder& h = ValueToRecord(r);
  WriteRecordField(h, 0, Variant::Integer(5));
  EXPECT_EQ(ReadRecordField(h, 0).VarType(), varString);
  WriteRecordField(h, 2, Variant::String("-12"));
  EXPECT_EQ(ReadRecordField(h, 2).AsInteger(), -12);
  WriteRecordField(h, 3, Variant::Integer(7));
  EXPECT_EQ(ReadRecordField(h, 3).VarType(), varBoolean);
  EXPECT_TRUE(ReadRecordField(h, 3).AsBoolean());
  WriteRecordField(h, 4, Variant::Double(1.23456));
  EXPECT_EQ(ReadRecordField(h, 4).AsString(), "1.2346");
  EXPECT_THROW(WriteRecordField(h, 5, Variant::Integer(256)), EVariantOverflowError);
  // A field registered past the record's end is refused, not written.
  EXPECT_EQ(ErrorCode([&] { WriteRecordField(h, 7, Variant::Integer(1)); }), 2);
  EXPECT_EQ(ErrorCode([&] { ReadRecordField(h, 7); }), 2);
  EXPECT_EQ(ErrorCode([&] { ReadRecordField(h, 99); }), 2);
  // A generic field refuses arrays like any assignment.
  EXPECT_EQ(ErrorCode([&] { WriteRecordField(h, 1, NewScriptArray(1, {0}, {0}, 0, nullptr)); }), 2);
}

TEST(ScriptRecords, AssignmentCopiesFieldsCopyValueShares) {
  auto type = PointType();
  Variant a = NewRecordValue(type), b = NewRecordValue(type);
  WriteRecordField(ValueToRecord(a), 0, Variant::Integer(3));
  TInterpreterRecHolder* bHolder = &ValueToRecord(b);
  AssignValue(b, a);
  EXPECT_EQ(&ValueToRecord(b), bHolder);  // copied into the record already there
  EXPECT_EQ(ReadRecordField(ValueToRecord(b), 0).AsInteger(), 3);
  WriteRecordField(ValueToRecord(a), 0, Variant::Integer(4));
  EXPECT_EQ(ReadRecordField(ValueToRecord(b), 0).AsInteger(), 3);

  Variant fresh;
  AssignValue(fresh, a);
  EXPECT_NE(&ValueToRecord(fresh), &ValueToRecord(a));
  EXPECT_EQ(ReadRecordField(ValueToRecord(fresh), 0).AsInteger(), 4);

  Variant shared;
  CopyValue(shared, a);
  WriteRecordField(ValueToRecord(shared), 1, Variant::Integer(9));
  EXPECT_EQ(ReadRecordField(ValueToRecord(a), 1).AsInteger(), 9);
}

TEST(ScriptRecords, HostMadeRecordsAndBinding) {
  std::vector<uint8_t> memory(8, 0);
  memory[0] = 7;
  Variant r = RecordToValue("TPoint", memory);
  TInterpreterRecHolder& h = ValueToRecord(r);
  EXPECT_EQ(h.RecordType(), nullptr);
  EXPECT_EQ(ErrorCode([&] { ReadRecordField(h, 0); }), 2);
  h.SetRecordType(PointType());
  EXPECT_EQ(ReadRecordField(h, 0).AsInteger(), 7);
  EXPECT_EQ(ErrorCode([] { ValueToRecord(Variant::Integer(1)); }), 109);
  EXPECT_EQ(ErrorCode([] { ValueToRecord(ObjectToValue(nullptr)); }), 109);
}

TEST(ScriptRecords, CreateAndDestroyRoutines) {
  int destroyed = 0;
  auto type = PointType();
  type->CreateProc = [](TInterpreterRecHolder& h) { h.Memory[4] = 5; };
  type->DestroyProc = [&destroyed](TInterpreterRecHolder&) { ++destroyed; };
  {
    Variant r = NewRecordValue(type);
    EXPECT_EQ(ReadRecordField(ValueToRecord(r), 1).AsInteger(), 5);
    Variant share = r;
    FreeValue(r);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(ScriptDataTypes, TypeNameMap) {
  const std::pair<const char*, TVarType> names[] = {
      {"Integer", 3}, {"INTEGER", 3}, {"integer", 3},     {"longint", 3},     {"DWord", 3},
      {"smallint", 2}, {"word", 2},   {"byte", 17},       {"boolean", 11},    {"bool", 11},
      {"LongBool", 11}, {"wordbool", 11}, {"double", 5},  {"TDateTime", 7},   {"string", 256},
      {"ansistring", 256}, {"ShortString", 256}, {"pchar", 256}, {"Char", 256}, {"TPoint", 0},
      {"single", 0},  {"", 0}};
  for (const auto& [name, kind] : names) EXPECT_EQ(TypeNameToKind(name), kind) << name;
  EXPECT_EQ(TypeNameToKind("tobject"), ObjectVarType());
}

TEST(ScriptDataTypes, InitGivesFreshValues) {
  EXPECT_EQ(TInterpreterSimpleDataType(varInteger).Init().VarType(), varInteger);
  EXPECT_EQ(TInterpreterSimpleDataType(varString).Init().VarType(), varString);
  EXPECT_EQ(TInterpreterSimpleDataType(varBoolean).Init().VarType(), varBoolean);
  EXPECT_TRUE(TInterpreterSimpleDataType(varEmpty).Init().IsEmpty());
  EXPECT_TRUE(TInterpreterSimpleDataType(ObjectVarType()).Init().IsEmpty());
  TInterpreterRecordDataType recordType(PointType());
  EXPECT_EQ(recordType.ValueKind(), 0);
  Variant r1 = recordType.Init(), r2 = recordType.Init();
  EXPECT_NE(&ValueToRecord(r1), &ValueToRecord(r2));
  TInterpreterArrayDataType arrayType(1, {1}, {3}, varInteger, nullptr);
  EXPECT_EQ(arrayType.ValueKind(), ArrayVarType());
  Variant a1 = arrayType.Init(), a2 = arrayType.Init();
  EXPECT_NE(&ValueToArray(a1), &ValueToArray(a2));
  EXPECT_EQ(ValueToArray(a1).Count, 3);
}

}  // namespace
