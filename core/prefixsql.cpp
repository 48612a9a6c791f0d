// A range covers a number when the number's first digits, as many as the
// range start has, lie between start and end. Joining every contact or
// history row with every range costs rows times ranges; these lookups stop
// at the first covering range and let the indexes find the candidates: a
// covering start is never greater than the number itself, since it is not
// greater than a prefix of the number.
#include "prefixsql.h"

#include "sqlmgr.h"

namespace {

std::string Covers(std::string_view phone) {
  std::string p(phone);
  return "gp.PrefixStart<=" + p + " AND SubStr(" + p + ",1,Length(gp.PrefixStart)) BETWEEN gp.PrefixStart AND gp.PrefixEnd";
}

}  // namespace

std::string GateFormatSql(std::string_view phone, std::string_view gate) {
  return "(SELECT gp.Format FROM GatePrefix gp WHERE gp.GateName=" + std::string(gate) + " AND " + Covers(phone) +
         " ORDER BY gp.PrefixStart DESC LIMIT 1)";
}

std::string ContactFormatSql(std::string_view phone, std::string_view gate) {
  std::string g(gate);
  return "CASE WHEN " + g + " IS NULL THEN (SELECT gp.Format FROM GatePrefix gp WHERE " + Covers(phone) +
         " ORDER BY gp.PrefixStart DESC LIMIT 1) ELSE " + GateFormatSql(phone, gate) + " END";
}

std::string LookUpGateFormat(const std::string& phone, const std::string& gate) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Phone", phone);
  db.AddParamText(":Gate", gate);
  return db.GetStringValue("SELECT " + GateFormatSql(":Phone", ":Gate"));
}

std::string LookUpContactFormat(const std::string& phone, const std::string& gate) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Phone", phone);
  // A contact without a gate holds NULL, which the lookup reads as "any".
  if (gate.empty())
    db.AddParamNull(":Gate");
  else
    db.AddParamText(":Gate", gate);
  return db.GetStringValue("SELECT " + ContactFormatSql(":Phone", ":Gate"));
}
