#include "proplist.h"

#include <gtest/gtest.h>

#include "cp1251.h"

namespace {

class Probe : public TObject {
  PX_CLASS(Probe, TObject)
};

TEST(PropList, NamesIgnoreCaseAndKeepFirstSpellingAndOrder) {
  TPropList list;
  list.SetItemNamed("Phone", Variant::Integer(0));
  list.SetItemNamed("Text", Variant::String("hi"));
  list.SetItemNamed("phone", Variant::Integer(1));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetName(0), "Phone");
  EXPECT_EQ(list.GetItemNamed("PHONE").AsInteger(), 1);
  // Cyrillic names fold too.
  list.SetItemNamed("Подпись"_cp, Variant::String("a"));
  list.SetItemNamed("ПОДПИСЬ"_cp, Variant::String("b"));
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.GetItem(2).AsString(), "b");
}

TEST(PropList, MissingNamesAreNeverErrors) {
  TPropList list;
  EXPECT_TRUE(list.GetItemNamed("x").IsEmpty());
  EXPECT_EQ(list.GetObjectNamed("x"), nullptr);
  EXPECT_FALSE(list.IsObjectNamed("x"));
  EXPECT_FALSE(list.Exists("x"));
  list.RemoveNamed("x");
  EXPECT_EQ(list.Count(), 0);
}

TEST(PropList, ValueAndObjectLiveSideBySide) {
  Probe o;
  TPropList list;
  list.SetObjectNamed("X", &o);
  EXPECT_TRUE(list.IsObjectNamed("X"));
  EXPECT_EQ(list.GetItemNamed("X").VarType(), varByte);  // an object entry starts with the byte 0
  list.SetItemNamed("X", Variant::Integer(5));
  EXPECT_FALSE(list.IsObjectNamed("X"));
  EXPECT_EQ(list.GetItemNamed("X").AsInteger(), 5);
  EXPECT_EQ(list.GetObjectNamed("X"), &o);
  list.SetObject(0, nullptr);
  EXPECT_TRUE(list.IsObject(0));
  EXPECT_EQ(list.GetItem(0).AsInteger(), 5);
  auto gone = std::make_unique<Probe>();
  list.SetObject(0, gone.get());
  gone.reset();
  EXPECT_EQ(list.GetObjectNamed("X"), nullptr);
  EXPECT_TRUE(list.ObjectFreed(0));
}

TEST(PropList, RemoveShiftsLaterEntries) {
  TPropList list;
  for (const char* n : {"a", "b", "c"}) list.SetItemNamed(n, Variant::String(n));
  list.Remove(0);
  EXPECT_EQ(list.GetName(0), "b");
  EXPECT_EQ(list.GetItem(1).AsString(), "c");
  list.RemoveNamed("C");
  EXPECT_EQ(list.Count(), 1);
}

TEST(PropList, IndexErrorsNameTheIndexAndChangeNothing) {
  TPropList list;
  list.SetItemNamed("a", Variant::Integer(1));
  for (int bad : {-1, 1, 100}) {
    try {
      list.SetItem(bad, Variant::Integer(2));
      FAIL() << "no error for " << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(list.GetName(1), EListError);
  EXPECT_THROW(list.Remove(-1), EListError);
  EXPECT_THROW(list.GetObject(3), EListError);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetItem(0).AsInteger(), 1);
}

TEST(PropList, FreeingTheListLeavesObjectsAlive) {
  const int64_t before = TObject::LiveCount();
  auto o = std::make_unique<Probe>();
  uint64_t handle = o->Handle();
  {
    TPropList list;
    list.SetObjectNamed("o", o.get());
    EXPECT_EQ(TObject::LiveCount(), before + 3);  // the probe, the list and its entry
  }
  EXPECT_EQ(TObject::LiveCount(), before + 1);
  EXPECT_EQ(TObject::FromHandle(handle), o.get());
  Probe copy(*o);
  EXPECT_EQ(TObject::LiveCount(), before + 2);
  o.reset();
  EXPECT_EQ(TObject::FromHandle(handle), nullptr);
  EXPECT_EQ(TObject::LiveCount(), before + 1);
}

TEST(PropList, AssignCopiesOnlyTheUsedSide) {
  Probe o;
  TPropList src, dst;
  src.SetItemNamed("v", Variant::String("x"));
  src.SetObjectNamed("o", &o);
  src.SetItemNamed("o", Variant::Integer(9));  // a value again, stale object behind it
  src.SetObjectNamed("p", &o);
  dst.SetItemNamed("old", Variant::Integer(1));
  dst.Assign(&src);
  ASSERT_EQ(dst.Count(), 3);
  EXPECT_FALSE(dst.Exists("old"));
  EXPECT_EQ(dst.GetName(1), "o");
  EXPECT_EQ(dst.GetObjectNamed("o"), nullptr);  // the stale object is not carried over
  EXPECT_EQ(dst.GetItemNamed("o").AsInteger(), 9);
  EXPECT_EQ(dst.GetObjectNamed("p"), &o);       // shared, not copied
  EXPECT_EQ(dst.GetItemNamed("p").AsInteger(), 0);
  dst.Assign(&dst);  // assigning a list to itself keeps it
  EXPECT_EQ(dst.Count(), 3);
}

TEST(PropList, AssignToAnotherClassIsAConversionError) {
  class Other : public TPersistent {
    PX_CLASS(Other, TPersistent)
  };
  TPropList list;
  Other other;
  try {
    other.Assign(&list);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPropList to a Other");
  }
  try {
    list.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TPropList");
  }
}

TEST(PropList, FlagsReadAsBooleansAndAnythingElseAsFalse) {
  TPropList list;
  list.SetItemNamed("One", Variant::String("1"));
  list.SetItemNamed("Word", Variant::String("TRUE"));
  list.SetItemNamed("Zero", Variant::String("0"));
  list.SetItemNamed("Junk", Variant::String("yes please"));
  list.SetItemNamed("Number", Variant::Integer(-3));
  EXPECT_TRUE(list.GetFlagNamed("one"));
  EXPECT_TRUE(list.GetFlagNamed("word"));
  EXPECT_TRUE(list.GetFlagNamed("Number"));
  EXPECT_FALSE(list.GetFlagNamed("Zero"));
  EXPECT_FALSE(list.GetFlagNamed("Junk")) << "text that is no flag";
  EXPECT_FALSE(list.GetFlagNamed("Missing"));
}

}  // namespace
