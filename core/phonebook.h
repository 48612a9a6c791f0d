// The phone book: contacts and contact groups in the user database, read
// together with the gates database for the format of each number and the
// caption of each contact's gate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "phoneitems.h"

class TPhoneBookItem : public TCustomPhoneItem {
  PX_CLASS(TPhoneBookItem, TCustomPhoneItem)
 public:
  enum : uint8_t { kTranslitDefault = 0, kTranslitAlways = 1, kTranslitNever = 2 };

  std::string FromPhone;  // read by the full loads, never written
  std::string Signature;  // empty: the general one
  int GroupID = 0;        // 0: no group
  uint8_t Translit = kTranslitDefault;

  void Clear() override;

 protected:
  void AssignTo(TPersistent* dest) const override;
};

using TPhoneBookItemList = TTypedPhoneItemList<TPhoneBookItem>;

class TPhoneBookGroup : public TObject {
  PX_CLASS(TPhoneBookGroup, TObject)
 public:
  int ID = 0;
  std::string Name;
};

using TPhoneBookGroupList = TObjectList<TPhoneBookGroup>;

// A contact as the recipient suggestions first list it.
struct TContactMatch {
  std::string Name;
  std::string Phone;
  std::string GateName;  // empty: any gate
};

// The LIKE patterns the suggestions match for typed text: "Name [number"
// gives names beginning with Name (upper case) and numbers beginning with
// the bracket text; other text gives names containing it and numbers
// beginning with its digits. `phone` is empty when numbers are not matched.
struct TContactPatterns {
  std::string name;
  std::string phone;
};
TContactPatterns ContactPatterns(const std::string& text);

// The contact editor of the application: shows `item` (its name and number
// filled in) for editing and, when the user confirms, leaves the edited
// contact in it and returns true.
using TContactEditorHook = std::function<bool(TPhoneBookItem& item)>;

// Data access of the phone book over the global connection. Every method
// raises ESQLiteException on a database error unless it says otherwise.
class TPhoneBook {
 public:
  // Stores a group under its Name and sets its ID; a name already used raises.
  static TPhoneBookGroup& AddGroup(TPhoneBookGroup& group);
  // Stores a contact and sets its ID; a name already used raises.
  static TPhoneBookItem& AddItem(TPhoneBookItem& item);
  static void UpdateGroup(const TPhoneBookGroup& group);
  // Writes everything of the contact but its group.
  static void UpdateItem(const TPhoneBookItem& item);
  // Deletes a group, its members staying without a group. False, and
  // nothing changed, when the database refused.
  static bool DeleteGroup(int groupId);
  static void DeleteItem(int itemId);
  // Moves a contact into a group; 0 takes it out of any group.
  static void SetItemGroup(int itemId, int groupId);
  // Appends every group by name; returns how many.
  static int LoadGroups(TPhoneBookGroupList& list);
  // Appends the contacts by name: all of them for no group IDs, the
  // ungrouped ones when the first ID is 0, else the members of the groups.
  // Contacts that share a number are listed each. Returns how many.
  static int LoadItems(TPhoneBookItemList& list, const std::vector<int>& groupIds);
  // The contact with exactly this number, or null.
  static std::unique_ptr<TPhoneBookItem> GetItemByPhone(const std::string& phone);
  // Recipient suggestions for typed text: "Name [number" matches names
  // beginning with Name or numbers beginning with the bracket text; other
  // text matches names containing it or numbers beginning with its digits.
  // One item per number. True when the list holds any item afterwards.
  static bool FindByText(const std::string& text, TCustomPhoneItemList& list);
  // Appends every contact's name, number and gate, by name as FindByText
  // orders them: what TContactSearch searches in memory.
  static void LoadMatchRows(std::vector<TContactMatch>& rows);
  // The ID of the contact of that name (case-insensitive), 0 when none.
  static int FindByName(const std::string& name);
  // The ID of the contact with the digits of `phone`, 0 when none.
  static int FindByPhone(const std::string& phone);
  static std::string GetNameByPhone(const std::string& phone);
  // The number of the contact of exactly that name; empty when none.
  static std::string GetPhoneByName(const std::string& name);
  // Offers a new contact made from a recipient text ("Name [number]", a bare
  // name or a bare number) in the editor the application registered, and
  // stores it without a group when the user confirms. False when nothing was
  // stored (no editor registered, or cancelled); a failed store raises.
  static bool AddFromText(const std::string& text);
  static void SetContactEditorHook(TContactEditorHook hook);
};
