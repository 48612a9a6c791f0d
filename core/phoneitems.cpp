// Copying and clearing of phone items.
#include "phoneitems.h"

#include "phone.h"

void TCustomPhoneItem::Clear() {
  GateName.clear();
  Phone.clear();
  ID = 0;
  Name.clear();
  Format.clear();
  Caption.clear();
}

void TCustomPhoneItem::AssignTo(TPersistent* dest) const {
  auto* item = ObjectAs<TCustomPhoneItem>(dest);
  if (!item) return TPersistent::AssignTo(dest);
  item->GateName = GateName;
  item->Phone = Phone;
  item->ID = ID;
  item->Name = Name;
  item->Format = Format;
  item->Caption = Caption;
}

bool TCustomPhoneItemList::PhoneExists(const std::string& phone) const {
  for (const auto& item : *this)
    if (item->Phone == phone) return true;
  return false;
}

std::string GetContactText(const TCustomPhoneItem& item, bool useFormat) {
  return FormatContact(item.Name, item.Phone, useFormat ? item.Format : std::string());
}
