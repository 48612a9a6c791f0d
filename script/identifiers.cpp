// Identifier lists: binary search by name, sorting and lookup by unit.
#include "identifiers.h"

#include <algorithm>

#include "cp1251.h"

TInterpreterIdentifier* TInterpreterIdentifierList::Add(std::unique_ptr<TInterpreterIdentifier> item) {
  items_.push_back(std::move(item));
  return items_.back().get();
}

bool TInterpreterIdentifierList::Find(std::string_view name, size_t& index) const {
  size_t lo = 0, hi = items_.size();
  bool found = false;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    int c = cp1251::CompareText(items_[mid]->Name, name);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
      if (c == 0) {
        found = true;
        if (!duplicates_) {
          lo = mid;
          break;
        }
      }
    }
  }
  index = lo;
  return found;
}

bool TInterpreterIdentifierList::Less(const TInterpreterIdentifier& a, const TInterpreterIdentifier& b) const {
  return cp1251::CompareText(a.Name, b.Name) < 0;
}

void TInterpreterIdentifierList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [this](const auto& a, const auto& b) { return Less(*a, *b); });
}

TInterpreterIdentifier* TInterpreterIdentifierList::FindByName(std::string_view unit, std::string_view name) const {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    const TInterpreterIdentifier& item = **it;
    if (cp1251::SameText(item.Name, name) && (unit.empty() || cp1251::SameText(item.Unit, unit))) return it->get();
  }
  return nullptr;
}

namespace {

int ClassDepth(const TInterpreterIdentifier& entry) {
  const auto* member = dynamic_cast<const TInterpreterClassMember*>(&entry);
  int depth = 0;
  for (const TClassInfo* c = member ? member->ClassRef : nullptr; c; c = c->Parent) ++depth;
  return depth;
}

}  // namespace

bool TInterpreterMethodList::Less(const TInterpreterIdentifier& a, const TInterpreterIdentifier& b) const {
  int c = cp1251::CompareText(a.Name, b.Name);
  if (c != 0) return c < 0;
  return ClassDepth(a) > ClassDepth(b);
}
