// TPropList: the ordered name-to-value dictionary that carries messages, gate
// information, the scripts' Stored and Cookies dictionaries and the script
// HTTP client's state. Names compare without regard to case; entries keep the
// order in which they were first added.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "persistent.h"
#include "variant.h"

// One entry's content. The value and the object live side by side: setting
// one leaves the other as it was, and IsObject says which was set last.
class TItemWrapper : public TObject {
  PX_CLASS(TItemWrapper, TObject)
 public:
  Variant Value;
  uint64_t Obj = 0;  // the object's handle: not owned, and never followed once freed
  bool IsObject = false;
};

class TPropList : public TPersistent {
  PX_CLASS(TPropList, TPersistent)
 public:
  TPropList() = default;
  TPropList(const TPropList&) = delete;
  TPropList& operator=(const TPropList&) = delete;
  ~TPropList() override;

  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  bool Exists(std::string_view name) const { return IndexOf(name) >= 0; }
  // Position of a name, or -1.
  int IndexOf(std::string_view name) const;

  // By position; an index outside 0..Count-1 raises EListError
  // "List index out of bounds (N)" and changes nothing.
  const std::string& GetName(int index) const;
  bool IsObject(int index) const;
  Variant GetItem(int index) const;
  // The object of the entry; nullptr for none, and for one freed since it
  // was set (ObjectFreed tells which).
  TObject* GetObject(int index) const;
  bool ObjectFreed(int index) const;
  void SetItem(int index, const Variant& value);
  void SetObject(int index, TObject* obj);
  void Remove(int index);

  // By name; a missing name reads as unassigned, nil or False, setters append.
  bool IsObjectNamed(std::string_view name) const;
  Variant GetItemNamed(std::string_view name) const;
  TObject* GetObjectNamed(std::string_view name) const;
  void SetItemNamed(std::string_view name, const Variant& value);
  void SetObjectNamed(std::string_view name, TObject* obj);
  void RemoveNamed(std::string_view name);
  // The entry read as a flag (a non-zero number or "true" in any case); a
  // missing entry, or one whose value is no flag, reads as false. Gate
  // information and message flags are read this way everywhere.
  bool GetFlagNamed(std::string_view name) const;

 protected:
  // Copies names, values and object references (objects are shared, not
  // copied) into another TPropList; any other class raises EConvertError.
  void AssignTo(TPersistent* dest) const override;

 private:
  TItemWrapper& At(int index) const;

  std::vector<std::pair<std::string, std::unique_ptr<TItemWrapper>>> items_;
};
