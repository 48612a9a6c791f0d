// Named entries of the interpreter (everything the registry holds derives
// from TInterpreterIdentifier) and the sorted list that finds them by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "object.h"

// A TObject, so that scripts can hold an entry (a unit, a class declared in
// source) as an object value.
class TInterpreterIdentifier : public TObject {
  PX_CLASS(TInterpreterIdentifier, TObject)
 public:
  TInterpreterIdentifier() = default;
  TInterpreterIdentifier(std::string unit, std::string name, void* data = nullptr)
      : Unit(std::move(unit)), Name(std::move(name)), Data(data) {}

  std::string Unit;
  std::string Name;
  void* Data = nullptr;  // the registrant's, handed back at every use
};

// An owning list of identifiers, kept in insertion order until sorted by
// name (case-insensitive).
class TInterpreterIdentifierList {
 public:
  explicit TInterpreterIdentifierList(bool duplicates = false) : duplicates_(duplicates) {}
  virtual ~TInterpreterIdentifierList() = default;

  bool Duplicates() const { return duplicates_; }
  size_t Count() const { return items_.size(); }
  TInterpreterIdentifier* Item(size_t index) const { return items_[index].get(); }
  // Appends an entry and returns it.
  TInterpreterIdentifier* Add(std::unique_ptr<TInterpreterIdentifier> item);
  void Delete(size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index)); }
  void Clear() { items_.clear(); }

  // Binary search of a sorted list: true when the name is present, with
  // `index` at it (the first of several equal names when duplicates are
  // accepted), else at the place it would be inserted.
  bool Find(std::string_view name, size_t& index) const;
  // Orders the entries by Less; entries that compare equal keep the order
  // in which they were added, so lookups stay deterministic.
  void Sort();
  // The last entry with this name and unit (any unit when `unit` is empty),
  // so that a later registration hides an earlier one; nullptr when none.
  TInterpreterIdentifier* FindByName(std::string_view unit, std::string_view name) const;

 protected:
  // Sort order: by name, case-insensitive. Lists with a finer order
  // override this; Find still compares names only.
  virtual bool Less(const TInterpreterIdentifier& a, const TInterpreterIdentifier& b) const;

 private:
  bool duplicates_;
  std::vector<std::unique_ptr<TInterpreterIdentifier>> items_;
};

// An entry that belongs to a host class: methods and properties.
class TInterpreterClassMember : public TInterpreterIdentifier {
  PX_CLASS(TInterpreterClassMember, TInterpreterIdentifier)
 public:
  using TInterpreterIdentifier::TInterpreterIdentifier;
  const TClassInfo* ClassRef = nullptr;  // nullptr for plain functions
};

// A list of class members ordered by name and, among equal names, with
// descendant classes before their ancestors (deeper classes first), so that
// a walk of one name meets the most specific member first.
class TInterpreterMethodList : public TInterpreterIdentifierList {
 public:
  using TInterpreterIdentifierList::TInterpreterIdentifierList;

 protected:
  bool Less(const TInterpreterIdentifier& a, const TInterpreterIdentifier& b) const override;
};
