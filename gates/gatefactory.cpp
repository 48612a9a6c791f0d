#include "gatefactory.h"

#include <utility>

#include "cp1251.h"
#include "sqlmgr.h"

namespace {

std::vector<std::pair<std::string, TGateSenderCreator>>& Creators() {
  static std::vector<std::pair<std::string, TGateSenderCreator>> creators;
  return creators;
}

}  // namespace

void TGateFactory::RegisterGateClass(const std::string& className, TGateSenderCreator creator) {
  for (auto& [name, existing] : Creators())
    if (cp1251::SameText(name, className)) {
      existing = std::move(creator);
      return;
    }
  Creators().emplace_back(className, std::move(creator));
}

std::unique_ptr<TGateSender> TGateFactory::CreateGateSender(const std::string& gateName) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":GateName", gateName);
  const std::string gateClass = db.GetStringValue("SELECT Class FROM Gate Where Name=:GateName");
  if (gateClass.empty()) return nullptr;
  for (const auto& [name, creator] : Creators())
    if (creator && cp1251::SameText(name, gateClass)) return creator(gateName);
  return nullptr;
}

std::unique_ptr<TGate> TGateFactory::CreateGate(const std::string& gateName) { return TGate::Create(gateName); }

int TGateFactory::LoadGateList(TObjectList<TGateInfo>& list) {
  auto rows = CurrentDatabase().GetUniTable("SELECT Name,Caption,Type,Class,Version,Disabled FROM Gate G ORDER By Caption");
  for (; !rows->Eof(); rows->Next()) {
    auto info = std::make_unique<TGateInfo>();
    info->Name = rows->FieldAsString(0);
    info->Caption = rows->FieldAsString(1);
    info->Type = rows->FieldAsString(2);
    info->Class = rows->FieldAsString(3);
    info->Version = ParseGateVersion(rows->FieldAsString(4), 0);
    info->Disabled = rows->FieldAsString(5) == "1";
    list.Add(std::move(info));
  }
  return list.Count();
}

bool TGateFactory::FindGatesForPhone(const std::string& phone, int kind, std::vector<std::string>& list) {
  TSQLiteDatabase& db = CurrentDatabase();
  std::string sql =
      "SELECT GP.GateName FROM GatePrefix GP INNER JOIN Gate G ON G.Name=GP.GateName WHERE Disabled=0 AND "
      "GP.PrefixStart<=:Phone AND Length(:Phone)>=Length(GP.PrefixStart) AND SubStr(:Phone,1,Length(GP.PrefixStart)) "
      "BETWEEN GP.PrefixStart AND GP.PrefixEnd";
  db.AddParamText(":Phone", phone);
  if (kind == gkSMS || kind == gkMMS) {
    sql += " AND Type=:Type";
    db.AddParamText(":Type", kind == gkSMS ? "SMS" : "MMS");
  }
  // One row per gate; a gate's ranges share its priority, so its first
  // covering range (the lowest row id) fixes its place among equals.
  sql += " GROUP BY GP.GateName ORDER BY G.Priority DESC, MIN(GP.rowid)";
  size_t before = list.size();
  auto rows = db.GetUniTable(sql);
  for (; !rows->Eof(); rows->Next()) list.push_back(rows->FieldAsString(0));
  return list.size() > before;
}

void TGateFactory::SetGateDisabled(const std::string& gateName, bool disabled) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Disabled", disabled ? "1" : "0");
  db.AddParamText(":GateName", gateName);
  db.ExecSQL("UPDATE Gate SET Disabled=:Disabled WHERE Name=:GateName");
}
