#include "proplist.h"

#include "cp1251.h"

namespace {

std::unique_ptr<TItemWrapper> ValueWrapper(const Variant& value) {
  auto w = std::make_unique<TItemWrapper>();
  w->Value = value;
  return w;
}

std::unique_ptr<TItemWrapper> ObjectWrapper(uint64_t handle) {
  auto w = std::make_unique<TItemWrapper>();
  w->Value = Variant::Byte(0);
  w->Obj = handle;
  w->IsObject = true;
  return w;
}

uint64_t HandleOf(const TObject* obj) { return obj ? obj->Handle() : 0; }

}  // namespace

TPropList::~TPropList() { Clear(); }

void TPropList::Clear() { items_.clear(); }

int TPropList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (cp1251::SameText(items_[i].first, name)) return static_cast<int>(i);
  return -1;
}

TItemWrapper& TPropList::At(int index) const {
  if (index < 0 || index >= Count()) throw EListError::IndexOutOfBounds(index);
  return *items_[index].second;
}

const std::string& TPropList::GetName(int index) const {
  At(index);
  return items_[index].first;
}

bool TPropList::IsObject(int index) const { return At(index).IsObject; }
Variant TPropList::GetItem(int index) const { return At(index).Value; }
TObject* TPropList::GetObject(int index) const { return TObject::FromHandle(At(index).Obj); }

bool TPropList::ObjectFreed(int index) const {
  const TItemWrapper& w = At(index);
  return w.Obj != 0 && !TObject::FromHandle(w.Obj);
}

void TPropList::SetItem(int index, const Variant& value) {
  TItemWrapper& w = At(index);
  w.Value = value;
  w.IsObject = false;
}

void TPropList::SetObject(int index, TObject* obj) {
  TItemWrapper& w = At(index);
  w.Obj = HandleOf(obj);
  w.IsObject = true;
}

void TPropList::Remove(int index) {
  At(index);
  items_.erase(items_.begin() + index);
}

bool TPropList::IsObjectNamed(std::string_view name) const {
  int i = IndexOf(name);
  return i >= 0 && items_[i].second->IsObject;
}

Variant TPropList::GetItemNamed(std::string_view name) const {
  int i = IndexOf(name);
  return i >= 0 ? items_[i].second->Value : Variant();
}

TObject* TPropList::GetObjectNamed(std::string_view name) const {
  int i = IndexOf(name);
  return i >= 0 ? TObject::FromHandle(items_[i].second->Obj) : nullptr;
}

void TPropList::SetItemNamed(std::string_view name, const Variant& value) {
  int i = IndexOf(name);
  if (i >= 0)
    SetItem(i, value);
  else
    items_.emplace_back(std::string(name), ValueWrapper(value));
}

void TPropList::SetObjectNamed(std::string_view name, TObject* obj) {
  int i = IndexOf(name);
  if (i >= 0)
    SetObject(i, obj);
  else
    items_.emplace_back(std::string(name), ObjectWrapper(HandleOf(obj)));
}

void TPropList::RemoveNamed(std::string_view name) {
  int i = IndexOf(name);
  if (i >= 0) Remove(i);
}

bool TPropList::GetFlagNamed(std::string_view name) const {
  try {
    return GetItemNamed(name).AsBoolean();
  } catch (const std::exception&) {  // a script may have stored anything there
    return false;
  }
}

void TPropList::AssignTo(TPersistent* dest) const {
  auto* target = ObjectAs<TPropList>(dest);
  if (!target) return TPersistent::AssignTo(dest);
  if (target == this) return;
  target->Clear();
  for (const auto& [name, w] : items_)
    target->items_.emplace_back(name, w->IsObject ? ObjectWrapper(w->Obj) : ValueWrapper(w->Value));
}
