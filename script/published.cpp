// Published property tables and the typed read and write of a property.
#include "published.h"

#include <map>
#include <mutex>
#include <shared_mutex>

#include "cp1251.h"
#include "values.h"

namespace {

struct Tables {
  std::shared_mutex lock;
  std::map<const TClassInfo*, std::vector<std::shared_ptr<const TPublishedProperty>>> byClass;
};

Tables& AllTables() {
  static Tables tables;
  return tables;
}

bool IsOrdinalKind(TPublishedKind kind) {
  return kind == TPublishedKind::Integer || kind == TPublishedKind::Enumeration;
}

}  // namespace

void PublishProperties(const TClassInfo& cls, std::vector<TPublishedProperty> properties) {
  std::vector<std::shared_ptr<const TPublishedProperty>> table;
  for (TPublishedProperty& p : properties) table.push_back(std::make_shared<const TPublishedProperty>(std::move(p)));
  Tables& t = AllTables();
  std::unique_lock guard(t.lock);
  t.byClass[&cls] = std::move(table);
}

std::shared_ptr<const TPublishedProperty> FindPublishedProperty(const TClassInfo& cls, std::string_view name) {
  Tables& t = AllTables();
  std::shared_lock guard(t.lock);
  for (const TClassInfo* c = &cls; c; c = c->Parent) {
    auto it = t.byClass.find(c);
    if (it == t.byClass.end()) continue;
    for (const auto& p : it->second)
      if (cp1251::SameText(p->Name, name)) return p;
  }
  return nullptr;
}

bool ReadPublishedProperty(TObject& obj, std::string_view name, Variant& value) {
  const std::shared_ptr<const TPublishedProperty> p = FindPublishedProperty(obj.ClassType(), name);
  if (!p) return false;
  if (IsOrdinalKind(p->Kind) && p->GetOrd) {
    int32_t ordinal = static_cast<int32_t>(p->GetOrd(obj));
    value = cp1251::SameText(p->TypeName, "Boolean") ? Variant::Boolean(ordinal != 0) : Variant::Integer(ordinal);
    return true;
  }
  if (p->Kind == TPublishedKind::Char && p->GetOrd) {
    value = Variant::String(std::string(1, static_cast<char>(p->GetOrd(obj))));
    return true;
  }
  if (p->Kind == TPublishedKind::Float && p->GetFloat) {
    value = Variant::Double(p->GetFloat(obj));
    return true;
  }
  if (p->Kind == TPublishedKind::String && p->GetStr) {
    value = Variant::String(p->GetStr(obj));
    return true;
  }
  if (p->Kind == TPublishedKind::Set && p->GetOrd) {
    value = SetToValue(static_cast<uint32_t>(p->GetOrd(obj)));
    return true;
  }
  if (p->Kind == TPublishedKind::Class && p->GetObject) {
    value = ObjectToValue(p->GetObject(obj));
    return true;
  }
  if (p->Kind == TPublishedKind::Interface && p->GetIntf) {
    value = p->GetIntf(obj);
    return true;
  }
  return false;
}

bool WritePublishedProperty(TObject& obj, std::string_view name, const Variant& value) {
  const std::shared_ptr<const TPublishedProperty> p = FindPublishedProperty(obj.ClassType(), name);
  if (!p) return false;
  if (IsOrdinalKind(p->Kind) && p->SetOrd) {
    p->SetOrd(obj, value.AsInteger());
    return true;
  }
  if (p->Kind == TPublishedKind::Char && p->SetOrd) {
    std::string text = value.AsString();
    p->SetOrd(obj, text.empty() ? 0 : static_cast<uint8_t>(text[0]));
    return true;
  }
  if (p->Kind == TPublishedKind::Float && p->SetFloat) {
    p->SetFloat(obj, value.AsDouble());
    return true;
  }
  if (p->Kind == TPublishedKind::String && p->SetStr) {
    p->SetStr(obj, value.AsString());
    return true;
  }
  if (p->Kind == TPublishedKind::Set && p->SetOrd) {
    p->SetOrd(obj, ValueToSet(value));
    return true;
  }
  if (p->Kind == TPublishedKind::Class && p->SetObject) {
    p->SetObject(obj, ValueToObject(value));
    return true;
  }
  if (p->Kind == TPublishedKind::Interface && p->SetIntf) {
    p->SetIntf(obj, value);
    return true;
  }
  return false;
}
