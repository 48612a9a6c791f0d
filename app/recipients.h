// The recipient suggestions for the text typed so far: the phone book's
// matches, then the history's numbers that contain the typed digits.
//
// A keystroke must not wait for thousands of lookups: the rows are found
// once per keystroke without the formats of their numbers, and a row's text
// (name and formatted number) is made the first time it is asked for, which
// the list does only for the dozen rows it shows. The contacts and the
// history's numbers are read once and kept while the database stays
// unchanged, so a keystroke searches them in memory instead of scanning the
// phone book and grouping the whole history again.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "contactsearch.h"
#include "history.h"
#include "sqlite3db.h"

class TRecipientSuggestions {
 public:
  // Refills the rows for `text`: the phone-book matches, and when the text
  // has digits or is empty, the history's numbers containing those digits
  // (at most `historyLimit` of them when it is above 0), each number that a
  // phone-book row already shows left out. Raises ESQLiteException.
  void Find(const std::string& text, int historyLimit);
  // Reads the contacts and the history's numbers again when the database
  // has changed since they were read; Find does it itself, this lets it
  // happen before typing.
  void Refresh();
  void Clear();

  int Count() const { return static_cast<int>(rows_.size()); }
  // The row as the list shows it, "Name [+7 916 123-45-67]"; the number
  // stays unformatted when its format cannot be looked up. Empty outside
  // the rows.
  const std::string& Text(int row);
  // The row's number; empty outside the rows.
  const std::string& Phone(int row) const;

 private:
  // One of the two, held in the caches below.
  struct Row {
    const TContactMatch* contact = nullptr;
    const THistoryNumber* number = nullptr;
  };

  std::vector<Row> rows_;
  std::unordered_map<int, std::string> texts_;  // the rows shown so far
  TContactSearch contacts_;
  std::vector<THistoryNumber> numbers_;
  TDataStamp stamp_;
  bool loaded_ = false;
};
