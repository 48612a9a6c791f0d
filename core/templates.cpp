// Reading and writing the Template table.
#include "templates.h"

#include <cstdint>
#include <string>

#include "sqlmgr.h"

namespace {

TTemplateManagerHook& ManagerHook() {
  static TTemplateManagerHook hook;
  return hook;
}

void SetPos(TSQLiteDatabase& db, int id, int64_t pos) {
  db.AddParamInt(":Pos", pos);
  db.AddParamInt(":ID", id);
  db.ExecSQL("Update Template set Pos=:Pos Where ID=:ID");
}

// Text without the blanks at either end.
std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::unique_ptr<TTemplate> TTemplateList::Add(const std::string& name, const std::string& text) {
  auto item = std::make_unique<TTemplate>();
  bool stored = RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    int64_t last = db.GetIntValue("SELECT MAX(Pos) FROM Template");
    // Positions are whole numbers; one stored at the top (by hand) leaves
    // none after it, and a new template is refused like any failed insert.
    if (last == INT64_MAX) throw ESQLiteException("No template position is left after " + std::to_string(last));
    int64_t pos = last + 1;
    db.AddParamText(":Name", name);
    db.AddParamText(":Text", text);
    db.AddParamInt(":Pos", pos);
    db.ExecSQL("INSERT INTO Template (Name,TemplateText,Pos) VALUES (:Name,:Text,:Pos)");
    item->Name = name;
    item->Text = text;
    item->Pos = pos;
    item->ID = static_cast<int>(db.GetIntValue("SELECT MAX(ID) FROM Template"));
  });
  return stored ? std::move(item) : nullptr;
}

bool TTemplateList::Update(const TTemplate& item) {
  return RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    db.AddParamText(":Name", item.Name);
    db.AddParamText(":Text", item.Text);
    db.AddParamInt(":Pos", item.Pos);
    db.AddParamInt(":ID", item.ID);
    db.ExecSQL("UPDATE Template SET Name=:Name,TemplateText=:Text,Pos=:Pos Where ID=:ID");
  });
}

bool TTemplateList::Exchange(TTemplate& a, TTemplate& b) {
  // Positions are unique, so A steps aside to a free value while B moves in.
  bool swapped = RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    SetPos(db, a.ID, -1);
    SetPos(db, b.ID, a.Pos);
    SetPos(db, a.ID, b.Pos);
  });
  if (swapped) std::swap(a.Pos, b.Pos);
  return swapped;
}

bool TTemplateList::Delete(int id) {
  return RunInDatabaseTransaction([&](TSQLiteDatabase& db) {
    db.AddParamInt(":ID", id);
    db.ExecSQL("DELETE FROM Template Where ID=:ID");
  });
}

void TTemplateList::Load(TTemplateItemList& list) {
  auto t = CurrentDatabase().GetUniTable("SELECT ID,Pos, Name,TemplateText FROM Template ORDER BY POS");
  int name = t->FieldIndex("Name"), text = t->FieldIndex("TemplateText");
  for (; !t->Eof(); t->Next()) {
    auto item = std::make_unique<TTemplate>();
    item->ID = static_cast<int>(t->FieldAsInteger(0));
    item->Pos = t->FieldAsInteger(1);
    item->Name = t->FieldAsString(name);
    item->Text = t->FieldAsString(text);
    list.Add(std::move(item));
  }
}

std::string TTemplateList::GetText(int id) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.AddParamInt(":ID", id);
  return db.GetStringValue("SELECT TemplateText From Template Where ID=:ID");
}

std::string TTemplateList::GetTemplateName(const std::string& name, const std::string& text) {
  if (!name.empty()) return name;
  // A blank ends a word unless it opens the text or follows another blank;
  // line breaks and tabs do not separate words here.
  int wordEnds = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != ' ' || text[i - 1] == ' ') continue;
    if (++wordEnds == 3) return TrimBlanks(text.substr(0, i));
  }
  return text;
}

std::string TTemplateList::ShowManager(const std::string& text) {
  const TTemplateManagerHook& hook = ManagerHook();
  return hook ? hook(text) : std::string();
}

void TTemplateList::SetManagerHook(TTemplateManagerHook hook) { ManagerHook() = std::move(hook); }
