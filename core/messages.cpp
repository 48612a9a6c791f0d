#include "messages.h"

#include <algorithm>

#include "cp1251.h"

namespace {

// The object an entry refers to, when it refers to one of class T.
template <class T>
T* ObjectEntry(const TPropList& list, std::string_view name) {
  return list.IsObjectNamed(name) ? ObjectAs<T>(list.GetObjectNamed(name)) : nullptr;
}

}  // namespace

void TSharedPropList::SetShared(std::string_view name, std::shared_ptr<TObject> obj) {
  SetObjectNamed(name, obj.get());
  auto it = std::find_if(kept_.begin(), kept_.end(), [&](const auto& k) { return cp1251::SameText(k.first, name); });
  if (it != kept_.end())
    it->second = std::move(obj);
  else
    kept_.emplace_back(std::string(name), std::move(obj));
}

std::shared_ptr<TObject> TSharedPropList::Shared(std::string_view name) const {
  TObject* current = ObjectEntry<TObject>(*this, name);
  if (!current) return nullptr;
  for (const auto& [keptName, obj] : kept_)
    if (obj.get() == current && cp1251::SameText(keptName, name)) return obj;
  return nullptr;
}

void TSharedPropList::Assign(const TPersistent* source) {
  if (source == this) return;
  // The source's owners are copied first: the entries copied below may be
  // the last references to objects this list keeps.
  std::vector<std::pair<std::string, std::shared_ptr<TObject>>> kept;
  if (source && source->InheritsFrom(TSharedPropList::StaticClass()))
    kept = static_cast<const TSharedPropList*>(source)->kept_;
  TPropList::Assign(source);
  kept_ = std::move(kept);
}

void TSharedPropList::Clear() {
  TPropList::Clear();
  kept_.clear();
}

TMemoryStream* TMMSContentData::Stream() const { return ObjectEntry<TMemoryStream>(*this, ContentKey::Stream); }

std::shared_ptr<TMemoryStream> TMMSContentData::SharedStream() const {
  return std::dynamic_pointer_cast<TMemoryStream>(Shared(ContentKey::Stream));
}

bool TSMS::IsMMS() const {
  return cp1251::SameText(VarToStr(GetItemNamed(MsgKey::MessageType)), kMessageTypeMMS);
}

TMMSContentData* TSMS::MultiMedia() const { return ObjectEntry<TMMSContentData>(*this, MsgKey::MultiMedia); }

std::shared_ptr<TMMSContentData> TSMS::SharedMultiMedia() const {
  return std::dynamic_pointer_cast<TMMSContentData>(Shared(MsgKey::MultiMedia));
}
