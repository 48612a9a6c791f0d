// Published properties: typed reads and writes by name, inheritance of the
// tables, and their place before registered getters and setters.
#include <gtest/gtest.h>

#include "adapter.h"
#include "published.h"
#include "values.h"

namespace {

class TWidget : public TObject {
  PX_CLASS(TWidget, TObject)
 public:
  int32_t Width = 0;
  bool Visible = false;
  char Letter = 'a';
  double Ratio = 0;
  std::string Caption;
  uint32_t Styles = 0;
  TObject* Parent = nullptr;
};

class TButton : public TWidget {
  PX_CLASS(TButton, TWidget)
 public:
  int32_t Clicks = 0;
};

class TPlain : public TObject {
  PX_CLASS(TPlain, TObject)
};

void PublishWidget() {
  auto ord = [](auto get, auto set) {
    TPublishedProperty p;
    p.GetOrd = PublishedAccessor<TWidget>(get);
    p.SetOrd = PublishedAccessor<TWidget>(set);
    return p;
  };
  TPublishedProperty width = ord([](TWidget& w) { return w.Width; }, [](TWidget& w, int64_t v) { w.Width = int32_t(v); });
  width.Name = "Width";
  width.Kind = TPublishedKind::Integer;
  width.TypeName = "Integer";
  TPublishedProperty visible =
      ord([](TWidget& w) { return int64_t(w.Visible); }, [](TWidget& w, int64_t v) { w.Visible = v != 0; });
  visible.Name = "Visible";
  visible.Kind = TPublishedKind::Enumeration;
  visible.TypeName = "Boolean";
  TPublishedProperty letter =
      ord([](TWidget& w) { return int64_t(uint8_t(w.Letter)); }, [](TWidget& w, int64_t v) { w.Letter = char(v); });
  letter.Name = "Letter";
  letter.Kind = TPublishedKind::Char;
  TPublishedProperty styles =
      ord([](TWidget& w) { return int64_t(w.Styles); }, [](TWidget& w, int64_t v) { w.Styles = uint32_t(v); });
  styles.Name = "Styles";
  styles.Kind = TPublishedKind::Set;
  TPublishedProperty ratio;
  ratio.Name = "Ratio";
  ratio.Kind = TPublishedKind::Float;
  ratio.GetFloat = PublishedAccessor<TWidget>([](TWidget& w) { return w.Ratio; });
  ratio.SetFloat = PublishedAccessor<TWidget>([](TWidget& w, double v) { w.Ratio = v; });
  TPublishedProperty caption;
  caption.Name = "Caption";
  caption.Kind = TPublishedKind::String;
  caption.GetStr = PublishedAccessor<TWidget>([](TWidget& w) { return w.Caption; });
  caption.SetStr = PublishedAccessor<TWidget>([](TWidget& w, const std::string& v) { w.Caption = v; });
  TPublishedProperty parent;
  parent.Name = "Parent";
  parent.Kind = TPublishedKind::Class;
  parent.GetObject = PublishedAccessor<TWidget>([](TWidget& w) { return w.Parent; });
  parent.SetObject = PublishedAccessor<TWidget>([](TWidget& w, TObject* v) { w.Parent = v; });
  TPublishedProperty other;
  other.Name = "Secret";
  other.Kind = TPublishedKind::Other;
  PublishProperties(TWidget::StaticClass(), {width, visible, letter, styles, ratio, caption, parent, other});
}

class PublishedTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PublishWidget(); }

  bool Get(TObject& obj, const std::string& name, Variant& value) {
    args.Clear();
    args.SetObj(ObjectToValue(&obj));
    return adapter.GetValue(nullptr, name, value, args);
  }
  bool Set(TObject& obj, const std::string& name, const Variant& value) {
    args.Clear();
    args.SetObj(ObjectToValue(&obj));
    return adapter.SetValue(nullptr, name, value, args);
  }

  TInterpreterAdapter adapter;
  TInterpreterArgs args;
};

TEST_F(PublishedTest, ReadsByKindAndBooleanByTypeName) {
  TButton b;
  b.Width = 120;
  b.Visible = true;
  b.Letter = 'Z';
  b.Ratio = 0.25;
  b.Caption = "OK";
  b.Styles = 5;
  TPlain parent;
  b.Parent = &parent;
  Variant v;
  ASSERT_TRUE(Get(b, "width", v));
  EXPECT_EQ(v.VarType(), varInteger);
  EXPECT_EQ(v.AsInteger(), 120);
  ASSERT_TRUE(Get(b, "Visible", v));
  EXPECT_EQ(v.VarType(), varBoolean);
  EXPECT_TRUE(v.AsBoolean());
  ASSERT_TRUE(Get(b, "Letter", v));
  EXPECT_EQ(v.AsString(), "Z");
  ASSERT_TRUE(Get(b, "Ratio", v));
  EXPECT_EQ(v.VarType(), varDouble);
  EXPECT_DOUBLE_EQ(v.AsDouble(), 0.25);
  ASSERT_TRUE(Get(b, "Caption", v));
  EXPECT_EQ(v.AsString(), "OK");
  ASSERT_TRUE(Get(b, "Styles", v));
  EXPECT_EQ(v.VarType(), SetVarType());
  EXPECT_EQ(ValueToSet(v), 5u);
  ASSERT_TRUE(Get(b, "Parent", v));
  EXPECT_EQ(ValueToObject(v), &parent);
  EXPECT_FALSE(Get(b, "Secret", v));
  TPlain plain;
  EXPECT_FALSE(Get(plain, "Width", v));
}

TEST_F(PublishedTest, WritesConvertToTheKind) {
  TButton b;
  TPlain parent;
  ASSERT_TRUE(Set(b, "Width", Variant::String("33")));
  ASSERT_TRUE(Set(b, "Visible", Variant::Boolean(true)));
  ASSERT_TRUE(Set(b, "Letter", Variant::String("qrs")));
  ASSERT_TRUE(Set(b, "Ratio", Variant::Integer(2)));
  ASSERT_TRUE(Set(b, "Caption", Variant::Integer(7)));
  ASSERT_TRUE(Set(b, "Styles", SetToValue(9)));
  ASSERT_TRUE(Set(b, "Parent", ObjectToValue(&parent)));
  EXPECT_EQ(b.Width, 33);
  EXPECT_TRUE(b.Visible);
  EXPECT_EQ(b.Letter, 'q');
  EXPECT_DOUBLE_EQ(b.Ratio, 2.0);
  EXPECT_EQ(b.Caption, "7");
  EXPECT_EQ(b.Styles, 9u);
  EXPECT_EQ(b.Parent, &parent);
  EXPECT_FALSE(Set(b, "Secret", Variant::Integer(1)));
}

TEST_F(PublishedTest, PublishedPropertiesComeBeforeRegisteredAccessors) {
  int getterCalls = 0, setterCalls = 0;
  adapter.AddGet(&TWidget::StaticClass(), "Width",
                 [&](Variant& value, TInterpreterArgs&) { ++getterCalls; value = Variant::Integer(-1); }, 0, {},
                 varInteger);
  adapter.AddSet(&TWidget::StaticClass(), "Width", [&](Variant&, TInterpreterArgs&) { ++setterCalls; }, 0, {});
  adapter.AddGet(&TWidget::StaticClass(), "Secret",
                 [&](Variant& value, TInterpreterArgs&) { ++getterCalls; value = Variant::Integer(99); }, 0, {},
                 varInteger);
  TButton b;
  b.Width = 4;
  Variant v;
  ASSERT_TRUE(Get(b, "Width", v));
  EXPECT_EQ(v.AsInteger(), 4);
  ASSERT_TRUE(Set(b, "Width", Variant::Integer(5)));
  EXPECT_EQ(b.Width, 5);
  EXPECT_EQ(getterCalls + setterCalls, 0);
  ASSERT_TRUE(Get(b, "Secret", v));
  EXPECT_EQ(v.AsInteger(), 99);
}

}  // namespace
