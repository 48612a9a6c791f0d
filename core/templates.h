// Message templates: named texts in the user's order, kept in the Template
// table of the user database.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "objectlist.h"

class TTemplate : public TObject {
  PX_CLASS(TTemplate, TObject)
 public:
  std::string Name;
  int ID = 0;
  std::string Text;  // "|" marks where the caret goes when it is inserted
  int64_t Pos = 0;   // lists are ordered by it; unique, gaps allowed
};

using TTemplateItemList = TObjectList<TTemplate>;

// The template manager window: given a text for a new template (may be
// empty), returns the chosen template's text, or empty when cancelled.
using TTemplateManagerHook = std::function<std::string(const std::string& text)>;

// Data access of the templates over the global connection.
class TTemplateList {
 public:
  // Stores a new template after the last position. Null when the insert
  // failed (a name already used, no position left after the last, no
  // database).
  static std::unique_ptr<TTemplate> Add(const std::string& name, const std::string& text);
  // Writes name, text and position of the template's row; false when the
  // database refused it (the row keeps its old values).
  static bool Update(const TTemplate& item);
  // Swaps the positions of two templates in the table and, once that is
  // committed, in the objects; false (and both unchanged) when it failed.
  static bool Exchange(TTemplate& a, TTemplate& b);
  // Deletes the template's row; the other positions stay as they are.
  static bool Delete(int id);
  // Appends every template in position order. Raises ESQLiteException.
  static void Load(TTemplateItemList& list);
  // The text of a template; empty when there is none. Raises ESQLiteException.
  static std::string GetText(int id);
  // The name when there is one, else the first three words of the text.
  static std::string GetTemplateName(const std::string& name, const std::string& text);
  // Opens the template manager through the hook the application registered;
  // empty when none is registered or the window was cancelled.
  static std::string ShowManager(const std::string& text);
  static void SetManagerHook(TTemplateManagerHook hook);
};
