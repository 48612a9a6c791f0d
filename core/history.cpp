// Reading and writing the History table.
#include "history.h"

#include <memory>
#include <unordered_map>

#include "cp1251.h"
#include "prefixsql.h"
#include "sqlmgr.h"

namespace {

constexpr const char* kStatusTexts[] = {
    "Неизвестен", "Не поддерживается или отключен", "Доставлено", "Отменен", "Не доставлено",
};

// Send status -> delivery status; send status 3 does not occur.
constexpr uint8_t kStatusOfSend[] = {dsNotSupported, dsDelivered, dsNotDelivered, dsUnknown, dsCancelled, dsCancelled};

// Contact name, gate caption and number format depend only on the number
// and the gate, and a history repeats the same few numbers and gates over
// and over: each is looked up once per load, which also lists every row
// once, however many contacts share its number or ranges cover it.
class RowDetails {
 public:
  explicit RowDetails(TSQLiteDatabase& db) : db_(db) {}

  void Fill(TCustomPhoneItem& item) {
    key_.assign(item.Phone).append(1, '\n').append(item.GateName);
    auto it = cache_.find(key_);
    if (it == cache_.end()) it = cache_.emplace(key_, LookUp(item.Phone, item.GateName)).first;
    const Details& details = it->second;
    item.Name = details.name;
    item.Caption = details.caption;
    item.Format = details.format;
  }

 private:
  struct Details {
    std::string name, caption, format;
  };

  Details LookUp(const std::string& phone, const std::string& gate) {
    Details details;
    db_.AddParamText(":Phone", phone);
    details.name = db_.GetStringValue("SELECT Name FROM PhoneBook WHERE Phone=:Phone LIMIT 1");
    db_.AddParamText(":GateName", gate);
    details.caption = db_.GetStringValue("SELECT Caption FROM Gate WHERE Name=:GateName");
    db_.AddParamText(":Phone", phone);
    db_.AddParamText(":GateName", gate);
    details.format = db_.GetStringValue("SELECT " + GateFormatSql(":Phone", ":GateName"));
    return details;
  }

  TSQLiteDatabase& db_;
  std::unordered_map<std::string, Details> cache_;
  std::string key_;
};

// A number and gate that occur many times list once, at their first use.
constexpr const char* kDistinctOrder = " GROUP BY h.Phone, h.GateName ORDER BY min(h.DateTime)";

}  // namespace

std::string DeliveryStatusText(uint8_t status) {
  return cp1251::FromUtf8(kStatusTexts[status < std::size(kStatusTexts) ? status : uint8_t(dsUnknown)]);
}

uint8_t DeliveryStatusOfSend(uint8_t sendStatus) {
  return sendStatus < std::size(kStatusOfSend) ? kStatusOfSend[sendStatus] : uint8_t(dsUnknown);
}

void THistoryItem::Clear() {
  TCustomPhoneItem::Clear();
  Subject.clear();
  Message.clear();
  DateTime = 0;
  Signature.clear();
  DateNode = nullptr;
  DeliveryStatus = dsUnknown;
}

void THistoryItem::AssignTo(TPersistent* dest) const {
  if (auto* item = ObjectAs<THistoryItem>(dest)) {
    item->Subject = Subject;
    item->Message = Message;
    item->DateTime = DateTime;
    item->Signature = Signature;
    item->DateNode = DateNode;
    item->DeliveryStatus = DeliveryStatus;
  }
  TCustomPhoneItem::AssignTo(dest);
}

void THistory::Add(const THistoryItem& item, TDateTime sendTime) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":SendTime", DateTimeToUnix(sendTime));
  db.AddParamText(":GateName", item.GateName);
  db.AddParamText(":Phone", item.Phone);
  db.AddParamText(":Subj", item.Subject);
  db.AddParamText(":Msg", item.Message);
  db.AddParamText(":Sign", item.Signature);
  db.AddParamInt(":DeliveryStatus", item.DeliveryStatus);
  db.ExecSQL(
      "INSERT INTO HISTORY (DateTime,GateName,Phone, Subject, Message,Signature,DeliveryStatus) VALUES (:SendTime, "
      ":GateName, :Phone, :Subj, :Msg, :Sign, :DeliveryStatus)");
}

bool THistory::Clear() {
  return RunInDatabaseTransaction([&](TSQLiteDatabase& db) { db.ExecSQL("DELETE FROM HISTORY"); });
}

int THistory::Load(THistoryItemList& list, const std::string& phone) { return LoadFiltered(list, phone, 0, 0); }

int THistory::LoadFiltered(TCustomPhoneItemList& list, const std::string& phone, uint8_t flags, int limit) {
  TSQLiteDatabase& db = CurrentDatabase();
  bool distinct = flags & kDistinctNumbers;
  std::string sql;
  if (!phone.empty() && (flags & kMatchSubstring)) {
    // Every number once, by one index step per number, so that the
    // substring test runs once per number rather than once per row.
    sql = "WITH RECURSIVE numbers(Phone) AS (SELECT min(Phone) FROM History UNION ALL SELECT (SELECT min(Phone) "
          "FROM History WHERE Phone>numbers.Phone) FROM numbers WHERE numbers.Phone IS NOT NULL) ";
  }
  sql += distinct ? "SELECT h.Phone, h.GateName"
                  : "SELECT h.ID, h.DateTime, h.DeliveryStatus, h.Subject, h.Message, h.Signature, h.Phone, h.GateName";
  sql += " FROM HISTORY h";
  if (!phone.empty()) {
    bool substring = flags & kMatchSubstring;
    sql += substring ? " WHERE h.Phone IN (SELECT Phone FROM numbers WHERE Phone LIKE :Phone)" : " WHERE h.Phone=:Phone";
    db.AddParamText(":Phone", substring ? "%" + phone + "%" : phone);
  }
  sql += distinct ? kDistinctOrder : " ORDER BY h.DateTime";
  if (limit > 0) {
    sql += " LIMIT :Limit";
    db.AddParamInt(":Limit", limit);
  }

  auto t = db.GetUniTable(sql);
  int phoneCol = t->FieldIndex("Phone"), gate = t->FieldIndex("GateName");
  int subject = distinct ? 0 : t->FieldIndex("Subject"), message = distinct ? 0 : t->FieldIndex("Message"),
      signature = distinct ? 0 : t->FieldIndex("Signature");
  RowDetails details(db);
  int count = 0;
  for (; !t->Eof(); t->Next(), ++count) {
    auto item = std::make_unique<THistoryItem>();
    if (!distinct) {
      item->ID = static_cast<int>(t->FieldAsInteger(0));
      item->DateTime = UnixToDateTime(t->FieldAsInteger(1));
      item->DeliveryStatus = static_cast<uint8_t>(t->FieldAsInteger(2));
      item->Subject = t->FieldAsString(subject);
      item->Message = t->FieldAsString(message);
      item->Signature = t->FieldAsString(signature);
    }
    item->Phone = t->FieldAsString(phoneCol);
    item->GateName = t->FieldAsString(gate);
    details.Fill(*item);
    list.Add(std::move(item));
  }
  return count;
}

void THistory::LoadNumbers(std::vector<THistoryNumber>& numbers) {
  auto t = CurrentDatabase().GetUniTable(std::string("SELECT h.Phone, h.GateName FROM HISTORY h") + kDistinctOrder);
  for (; !t->Eof(); t->Next()) numbers.push_back({t->FieldAsString(0), t->FieldAsString(1)});
}
