// Transliteration: Cyrillic (upper-half Windows-1251) characters replaced by
// Latin text from user-editable *.ttb tables, so a message fits the longer
// limit of plain-ASCII messages.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exceptions.h"

// A table file that cannot be used.
class ETableError : public Exception {
  PX_CLASS(ETableError, Exception)
 public:
  // "Ошибка загрузки файла таблицы (reason). Файл таблицы: name" with the
  // file name without its folder.
  ETableError(const std::string& reason, const std::string& fileName);
};

// One table file found.
class TTranslitTableDesc : public TObject {
  PX_CLASS(TTranslitTableDesc, TObject)
 public:
  std::string FileName;  // full path
  std::string Name;      // display name, empty when the file has none
};

// Class-level operations over the process-wide table list and the map of
// the selected table.
class TTranslit {
 public:
  // Lists the tables of TranslitDir and, when it is another folder and
  // exists, ProfileDir + "Translit/" (each folder sorted by file name), and
  // resets the map to the identity with no table selected.
  static void LoadTables();
  static void FreeTables();

  // Replaces strings by the tables' names in list order; returns the count.
  static int GetTableNames(std::vector<std::string>& strings);
  static int TableCount();
  static std::string TableFileName(int index);

  // Makes table index the current one. Selecting the current table again
  // reads nothing. An index outside the list raises EListError and changes
  // nothing; a table without entries raises ETableError and leaves no table
  // selected, so text is never reported as transliterated by a table that
  // was not applied.
  static bool SelectTable(int index);
  // Index of the selected table, -1 for none.
  static int CurrentIndex();

  // Each character of code 128 or more replaced by the selected table's
  // text for it (identity when no table is selected). Safe to call from a
  // send step while the main thread waits.
  static std::string Translit(std::string_view s);
};
