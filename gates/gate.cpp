#include "gate.h"

#include <cstdint>

#include "cp1251.h"
#include "phone.h"
#include "sqlmgr.h"

namespace {

// The covering rule of the prefix lookups, as one SQL condition on :Phone.
constexpr const char* kCovers =
    "Length(:Phone)>=Length(PrefixStart) AND SubStr(:Phone,1,Length(PrefixStart)) BETWEEN PrefixStart AND PrefixEnd";

// How a stored value is bound: integers and floats as such, the rest as text.
void BindStoredValue(TSQLiteDatabase& db, const Variant& value) {
  if (value.IsInteger())
    db.AddParamInt(":ParamValue", value.AsInt64());
  else if (value.VarType() == varSingle || value.VarType() == varDouble)
    db.AddParamFloat(":ParamValue", value.AsDouble());
  else
    db.AddParamText(":ParamValue", VarToStr(value));
}

}  // namespace

int32_t ParseGateVersion(const std::string& text, int32_t fallback) {
  int64_t v;
  return TryStrToInt64(text, v) && v >= INT32_MIN && v <= INT32_MAX ? static_cast<int32_t>(v) : fallback;
}

void TGate::Load() {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":GateName", Name);
  auto row = db.GetUniTable("SELECT Class,Type,Caption,Version,Disabled FROM Gate Where Name=:GateName");
  if (!row->Eof()) {
    Class = row->FieldAsString(0);
    Type = row->FieldAsString(1);
    Caption = row->FieldAsString(2);
    Version = ParseGateVersion(row->FieldAsString(3), 1);
    Disabled = row->FieldAsString(4) == "1";
  }
  row.reset();
  LoadInfo();
}

void TGate::SetDefaultInfo() { Info.SetItemNamed("MaxSubjectSymbols", Variant::Integer(255)); }

void TGate::LoadInfo() {
  Info.Clear();
  SetDefaultInfo();
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":GateName", Name);
  auto rows = db.GetUniTable(
      "SELECT ParamName,ParamValue FROM GateParam Where (ParamClass=0 OR ParamClass=2) AND GateName=:GateName");
  for (; !rows->Eof(); rows->Next()) Info.SetItemNamed(rows->FieldAsString(0), Variant::String(rows->FieldAsString(1)));
}

void TGate::SetStoredParam(const std::string& name, const Variant& value) {
  try {
    bool stored = RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
      db.AddParamText(":Gate", Name);
      db.AddParamText(":ParamName", name);
      auto existing =
          db.GetUniTable("SELECT ParamValue FROM gates.GateParam WHERE GateName=:Gate AND ParamName=:ParamName AND ParamClass=2");
      bool found = !existing->Eof();
      existing.reset();
      db.AddParamText(":Gate", Name);
      db.AddParamText(":ParamName", name);
      BindStoredValue(db, value);
      db.ExecSQL(found ? "UPDATE gates.GateParam SET ParamValue=:ParamValue WHERE GateName=:Gate AND ParamName=:ParamName "
                         "AND ParamClass=2"
                       : "INSERT INTO gates.GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES "
                         "(:Gate,:ParamName,2,:ParamValue)");
    });
    // Info follows the database: a value that was not stored is not shown as
    // stored either.
    if (stored) Info.SetItemNamed(name, value);
  } catch (const std::exception&) {
    // A value that does not convert to text; the transaction is rolled back.
    if (Database) Database->ClearParams();
  }
}

std::string TGate::GetPhoneFormat(const std::string& phone) const {
  std::string format;
  int tag = 0;
  GetPhoneFormatTag(phone, format, tag);
  return format;
}

bool TGate::GetPhoneFormatTag(const std::string& phone, std::string& format, int& tag) const {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamText(":Gate", Name);
  db.AddParamText(":Phone", phone);
  auto row = db.GetUniTable(std::string("SELECT Format, Tag FROM GatePrefix WHERE GateName=:Gate AND ") + kCovers +
                            " ORDER BY Length(PrefixStart) DESC, rowid LIMIT 1");
  if (row->Eof()) return false;
  format = row->FieldAsString(0);
  tag = static_cast<int>(row->FieldAsInteger(1));
  return true;
}

std::string TGate::ExtractPhonePart(const std::string& phone, int part, const std::string& format) const {
  return ::ExtractPhonePart(phone, format.empty() ? GetPhoneFormat(phone) : format, part);
}

int TGate::GetPrefixList(std::vector<std::string>& list) const {
  list.clear();
  std::vector<std::pair<std::string, std::string>> ranges;
  {
    TSQLiteDatabase& db = CurrentDatabase();
    db.AddParamText(":GateName", Name);
    auto rows = db.GetUniTable("SELECT PrefixStart,PrefixEnd,Format FROM GatePrefix WHERE GateName=:GateName");
    for (; !rows->Eof(); rows->Next()) ranges.emplace_back(rows->FieldAsString(0), rows->FieldAsString(1));
  }
  for (const auto& [start, end] : ranges) {
    const std::string format = GetPhoneFormat(start);
    auto display = [&](const std::string& prefix) {
      return "+" + ::ExtractPhonePart(prefix, format, ppCountry) + " " + ::ExtractPhonePart(prefix, format, ppDef) + " " +
             ::ExtractPhonePart(prefix, format, ppNumber);
    };
    std::string line = display(start);
    if (!cp1251::SameText(start, end)) line += " - " + display(end);
    list.push_back(std::move(line));
  }
  return static_cast<int>(list.size());
}
