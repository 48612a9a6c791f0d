// A phone number with its contact data, shared by the phone book and the
// history, and the lists that hold such items.
#pragma once

#include <cstdint>
#include <string>

#include "objectlist.h"
#include "persistent.h"

class TCustomPhoneItem : public TPersistent {
  PX_CLASS(TCustomPhoneItem, TPersistent)
 public:
  std::string GateName;  // empty: the gate is chosen automatically
  std::string Phone;     // digits only
  int ID = 0;            // row id; 0 when not stored
  std::string Name;
  std::string Format;   // phone format of the prefix range covering the number
  std::string Caption;  // caption of the gate named in GateName

  // Empties the texts and sets ID to 0.
  virtual void Clear();

 protected:
  // Copies the six fields into another phone item; any other destination
  // raises EConvertError.
  void AssignTo(TPersistent* dest) const override;
};

// The item as the lists show it: "Name [+7 916 123-45-67]", the formatted
// number alone when it has no name. Without useFormat the number is shown
// as "+" and its digits, whatever the item's format.
std::string GetContactText(const TCustomPhoneItem& item, bool useFormat);

// Phone items of any kind; the list owns them.
class TCustomPhoneItemList : public TObjectList<TCustomPhoneItem> {
 public:
  // True when some item's Phone equals `phone` exactly.
  bool PhoneExists(const std::string& phone) const;
};

// A typed view of a phone-item list whose items are all of class T.
template <class T>
class TTypedPhoneItemList : public TCustomPhoneItemList {
 public:
  // The item at `index`; raises EListError outside the list and
  // EConvertError when the item is of another class.
  T* GetItem(int index) const {
    T* item = ObjectAs<T>(TCustomPhoneItemList::GetItem(index));
    if (!item) throw EConvertError("Invalid class typecast");
    return item;
  }
  T* operator[](int index) const { return GetItem(index); }
};
