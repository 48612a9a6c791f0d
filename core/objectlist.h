// An owning list of objects of one class (and its descendants), kept in the
// order they were added.
#pragma once

#include <memory>
#include <vector>

#include "exceptions.h"

template <class T>
class TObjectList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  // Takes ownership of `item` and returns it.
  T* Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  // The item at `index`; raises EListError outside the list.
  T* GetItem(int index) const {
    if (index < 0 || index >= Count()) throw EListError::IndexOutOfBounds(index);
    return items_[index].get();
  }
  T* operator[](int index) const { return GetItem(index); }
  void Clear() { items_.clear(); }
  // Frees the item at `index` and closes the gap; raises EListError outside
  // the list.
  void Delete(int index) {
    GetItem(index);
    items_.erase(items_.begin() + index);
  }
  // Exchanges the whole contents with `other`.
  void Swap(TObjectList& other) noexcept { items_.swap(other.items_); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};
