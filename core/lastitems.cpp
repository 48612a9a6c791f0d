// Reading and writing the LastItems table.
#include "lastitems.h"

#include "datetime.h"
#include "sqlmgr.h"

namespace {

int MaxCounts[2] = {0, 0};

bool KnownClass(int itemClass) { return itemClass == TLastItems::kSignature || itemClass == TLastItems::kSubject; }

}  // namespace

bool TLastItems::Add(int itemClass, const std::string& text) {
  return RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    db.AddParamInt(":ItemClass", itemClass);
    db.AddParamText(":ItemText", text);
    int64_t id = db.GetIntValue("SELECT ID FROM LastItems Where ItemText=:ItemText AND ItemClass=:ItemClass");
    int64_t now = DateTimeToUnix(Now());
    if (id > 0) {
      db.AddParamInt(":LastUseTime", now);
      db.AddParamInt(":ID", id);
      db.ExecSQL("UPDATE LastItems SET LastUseTime=:LastUseTime WHERE ID=:ID");
      return;
    }
    db.AddParamInt(":ItemClass", itemClass);
    db.AddParamText(":ItemText", text);
    db.AddParamInt(":LastUseTime", now);
    db.ExecSQL("INSERT INTO LastItems (ItemClass,ItemText,LastUseTime) Values(:ItemClass,:ItemText,:LastUseTime)");
    int maxCount = MaxCount(itemClass);
    if (maxCount <= 0) return;
    // Items used within the same second keep the newer row, so the item
    // just added is never the one that goes.
    db.AddParamInt(":ItemClass", itemClass);
    db.AddParamInt(":MaxCount", maxCount);
    db.ExecSQL(
        "DELETE FROM LastItems WHERE ItemClass=:ItemClass AND ID not in (SELECT ID FROM LastItems WHERE "
        "ItemClass=:ItemClass ORDER BY LastUseTime DESC, ID DESC LIMIT :MaxCount)");
  });
}

void TLastItems::Delete(int itemClass, const std::string& text) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":ItemClass", itemClass);
  db.AddParamText(":ItemText", text);
  db.ExecSQL("DELETE FROM LastItems Where ItemClass=:ItemClass AND ItemText=:ItemText");
}

int TLastItems::Load(int itemClass, std::vector<std::string>& list) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":ItemClass", itemClass);
  auto t = db.GetUniTable("SELECT ItemText FROM LastItems WHERE ItemClass=:ItemClass ORDER BY LastUseTime DESC, ID DESC");
  for (; !t->Eof(); t->Next()) list.push_back(t->FieldAsString(0));
  return static_cast<int>(list.size());
}

void TLastItems::SetMaxCount(int itemClass, int maxCount) {
  if (KnownClass(itemClass)) MaxCounts[itemClass] = maxCount;
}

int TLastItems::MaxCount(int itemClass) { return KnownClass(itemClass) ? MaxCounts[itemClass] : 0; }
