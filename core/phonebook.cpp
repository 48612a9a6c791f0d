// Reading and writing the PhoneBook and PhoneBookGroup tables.
#include "phonebook.h"

#include "cp1251.h"
#include "phone.h"
#include "prefixsql.h"
#include "sqlmgr.h"
#include "variant.h"

namespace {

// The columns every contact load reads, one row per contact: the gate join
// meets at most one gate, and the format comes from a lookup, not a join.
std::string ContactSelect(const char* distinct) {
  return std::string("SELECT ") + distinct + "ID, ID_GROUP, PB.Name, Phone, " +
         ContactFormatSql("PB.Phone", "PB.GateName") +
         " AS Format, FromPhone, Signature, Translit, PB.GateName,G.Caption FROM PhoneBook PB"
         " LEFT JOIN Gate G ON (G.Name=PB.GateName)";
}

void AddTextOrNull(TSQLiteDatabase& db, const std::string& name, const std::string& value) {
  if (value.empty())
    db.AddParamNull(name);
  else
    db.AddParamText(name, value);
}

void AddIdOrNull(TSQLiteDatabase& db, const std::string& name, int id) {
  if (id == 0)
    db.AddParamNull(name);
  else
    db.AddParamInt(name, id);
}

TContactEditorHook& ContactEditorHook() {
  static TContactEditorHook hook;
  return hook;
}

int64_t TranslitOf(const std::string& text) {
  int64_t value = 0;
  return TryStrToInt64(text, value) ? value : 0;
}

std::unique_ptr<TPhoneBookItem> ReadContact(const TSQLiteUniTable& t) {
  auto item = std::make_unique<TPhoneBookItem>();
  item->ID = static_cast<int>(t.FieldAsInteger(0));
  item->GroupID = static_cast<int>(t.FieldAsInteger(1));
  item->Name = t.FieldByName("Name");
  item->Phone = t.FieldByName("Phone");
  item->Format = t.FieldByName("Format");
  item->FromPhone = t.FieldByName("FromPhone");
  item->Signature = t.FieldByName("Signature");
  item->Translit = static_cast<uint8_t>(TranslitOf(t.FieldByName("Translit")));
  item->GateName = t.FieldByName("GateName");
  item->Caption = t.FieldByName("Caption");
  return item;
}

std::string GroupFilter(const std::vector<int>& groupIds) {
  if (groupIds.empty()) return std::string();
  if (groupIds.front() == 0) return " Where ID_GROUP is NULL";
  std::string ids;
  for (int id : groupIds) ids += (ids.empty() ? "" : ",") + std::to_string(id);
  return " WHERE ID_GROUP IN (" + ids + ")";
}

}  // namespace

TContactPatterns ContactPatterns(const std::string& text) {
  std::string namePart, phonePart;
  SplitNamePhone(text, namePart, phonePart);
  TContactPatterns patterns;
  if (!namePart.empty() || !phonePart.empty()) {
    patterns.name = cp1251::UpperCase(namePart) + "%";
  } else {
    patterns.name = "%" + cp1251::UpperCase(text) + "%";
    phonePart = ExtractDigits(text);
  }
  if (!phonePart.empty()) patterns.phone = phonePart + "%";
  return patterns;
}

void TPhoneBookItem::Clear() {
  TCustomPhoneItem::Clear();
  FromPhone.clear();
  Signature.clear();
  GroupID = 0;
  Translit = kTranslitDefault;
}

void TPhoneBookItem::AssignTo(TPersistent* dest) const {
  if (auto* item = ObjectAs<TPhoneBookItem>(dest)) {
    item->FromPhone = FromPhone;
    item->Signature = Signature;
    item->GroupID = GroupID;
    item->Translit = Translit;
  }
  TCustomPhoneItem::AssignTo(dest);
}

TPhoneBookGroup& TPhoneBook::AddGroup(TPhoneBookGroup& group) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", group.Name);
  db.ExecSQL("INSERT INTO PhoneBookGroup (Name) Values (:Name)");
  group.ID = static_cast<int>(db.GetLastInsertRowID());
  return group;
}

TPhoneBookItem& TPhoneBook::AddItem(TPhoneBookItem& item) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", item.Name);
  db.AddParamText(":Phone", item.Phone);
  AddTextOrNull(db, ":GateName", item.GateName);
  db.AddParamText(":Signature", item.Signature);
  db.AddParamInt(":Translit", item.Translit);
  AddIdOrNull(db, ":Group", item.GroupID);
  db.ExecSQL(
      "INSERT INTO PhoneBook (Name,Phone,GateName,Signature,Translit,ID_GROUP) Values "
      "(:Name,:Phone,:GateName,:Signature,:Translit,:Group)");
  item.ID = static_cast<int>(db.GetLastInsertRowID());
  return item;
}

void TPhoneBook::UpdateGroup(const TPhoneBookGroup& group) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", group.Name);
  db.AddParamInt(":ID", group.ID);
  db.ExecSQL("UPDATE PhoneBookGroup Set Name=:Name WHERE ID=:ID");
}

void TPhoneBook::UpdateItem(const TPhoneBookItem& item) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":ID", item.ID);
  db.AddParamText(":Name", item.Name);
  db.AddParamText(":Phone", item.Phone);
  AddTextOrNull(db, ":GateName", item.GateName);
  db.AddParamText(":Signature", item.Signature);
  db.AddParamInt(":Translit", item.Translit);
  db.ExecSQL(
      "UPDATE PhoneBook Set Name=:Name,Phone=:Phone,GateName=:GateName,Signature=:Signature,Translit=:Translit "
      "WHERE ID=:ID");
}

bool TPhoneBook::DeleteGroup(int groupId) {
  return RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    db.AddParamInt(":ID", groupId);
    db.ExecSQL("UPDATE PhoneBook Set ID_GROUP=NULL Where ID_GROUP=:ID");
    db.AddParamInt(":ID", groupId);
    db.ExecSQL("DELETE FROM PhoneBookGroup Where ID=:ID");
  });
}

void TPhoneBook::DeleteItem(int itemId) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":ID", itemId);
  db.ExecSQL("DELETE FROM PhoneBook Where ID=:ID");
}

void TPhoneBook::SetItemGroup(int itemId, int groupId) {
  TSQLiteDatabase& db = CurrentDatabase();
  AddIdOrNull(db, ":Group", groupId);
  db.AddParamInt(":ID", itemId);
  db.ExecSQL("UPDATE PhoneBook SET ID_GROUP=:Group WHERE ID=:ID");
}

int TPhoneBook::LoadGroups(TPhoneBookGroupList& list) {
  auto t = CurrentDatabase().GetUniTable("SELECT ID, Name FROM PhoneBookGroup ORDER BY Name");
  int name = t->FieldIndex("Name"), count = 0;
  for (; !t->Eof(); t->Next(), ++count) {
    auto group = std::make_unique<TPhoneBookGroup>();
    group->ID = static_cast<int>(t->FieldAsInteger(0));
    group->Name = t->FieldAsString(name);
    list.Add(std::move(group));
  }
  return count;
}

int TPhoneBook::LoadItems(TPhoneBookItemList& list, const std::vector<int>& groupIds) {
  auto t = CurrentDatabase().GetUniTable(ContactSelect("") + GroupFilter(groupIds) + " Order By PB.Name");
  int count = 0;
  for (; !t->Eof(); t->Next(), ++count) list.Add(ReadContact(*t));
  return count;
}

std::unique_ptr<TPhoneBookItem> TPhoneBook::GetItemByPhone(const std::string& phone) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Phone", phone);
  auto t = db.GetUniTable(ContactSelect("DISTINCT ") + " WHERE PB.Phone=:Phone");
  return t->Eof() ? nullptr : ReadContact(*t);
}

namespace {

// Runs the suggestion query for typed text; `formatColumn` is the SQL of the
// format column, or empty to leave it out.
std::unique_ptr<TSQLiteUniTable> RunSuggestionQuery(const std::string& text, const std::string& formatColumn) {
  TContactPatterns patterns = ContactPatterns(text);
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", patterns.name);
  std::string sql = "SELECT Name,Phone," + (formatColumn.empty() ? std::string() : formatColumn + " AS format,") +
                    "pb.GateName FROM PhoneBook pb Where upper(Name) like :Name";
  if (!patterns.phone.empty()) {
    sql += " OR Phone like :Phone";
    db.AddParamText(":Phone", patterns.phone);
  }
  // Grouping after a plain scan: walking the phone index would read every
  // contact's row out of order.
  return db.GetUniTable(sql + " Group by +phone ORDER BY Name");
}

}  // namespace

bool TPhoneBook::FindByText(const std::string& text, TCustomPhoneItemList& list) {
  auto t = RunSuggestionQuery(text, ContactFormatSql("pb.Phone", "pb.GateName"));
  int name = t->FieldIndex("Name"), phone = t->FieldIndex("Phone"), format = t->FieldIndex("format"),
      gate = t->FieldIndex("GateName");
  for (; !t->Eof(); t->Next()) {
    auto item = std::make_unique<TPhoneBookItem>();
    item->Name = t->FieldAsString(name);
    item->Phone = t->FieldAsString(phone);
    item->Format = t->FieldAsString(format);
    item->GateName = t->FieldAsString(gate);
    list.Add(std::move(item));
  }
  return !list.Empty();
}

void TPhoneBook::LoadMatchRows(std::vector<TContactMatch>& rows) {
  auto t = CurrentDatabase().GetUniTable("SELECT Name, Phone, GateName FROM PhoneBook ORDER BY Name");
  for (; !t->Eof(); t->Next()) rows.push_back({t->FieldAsString(0), t->FieldAsString(1), t->FieldAsString(2)});
}

int TPhoneBook::FindByName(const std::string& name) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", cp1251::UpperCase(name));
  return static_cast<int>(db.GetIntValue("SELECT ID FROM PhoneBook Where upper(Name)=:Name"));
}

int TPhoneBook::FindByPhone(const std::string& phone) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Phone", ExtractDigits(phone));
  return static_cast<int>(db.GetIntValue("SELECT ID FROM PhoneBook Where Phone=:Phone"));
}

std::string TPhoneBook::GetNameByPhone(const std::string& phone) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Phone", ExtractDigits(phone));
  return db.GetStringValue("SELECT Name FROM PhoneBook Where Phone=:Phone");
}

std::string TPhoneBook::GetPhoneByName(const std::string& name) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Name", name);
  return db.GetStringValue("SELECT Phone FROM PhoneBook Where Name=:Name");
}

bool TPhoneBook::AddFromText(const std::string& text) {
  const TContactEditorHook& hook = ContactEditorHook();
  if (!hook) return false;
  TPhoneBookItem item;
  std::string bracket;
  SplitNamePhone(text, item.Name, bracket);
  item.Phone = ExtractDigits(bracket);
  if (item.Phone.empty()) item.Phone = ExtractDigits(text);
  if (item.Phone.empty() && item.Name.empty()) item.Name = text;
  if (!hook(item)) return false;
  item.ID = 0;
  item.GroupID = 0;
  AddItem(item);
  return true;
}

void TPhoneBook::SetContactEditorHook(TContactEditorHook hook) { ContactEditorHook() = std::move(hook); }
