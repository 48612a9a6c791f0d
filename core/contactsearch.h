// The phone book's suggestion search held in memory. A keystroke in the
// recipient field searches every contact; asking the database each time
// costs more than a keystroke may, for a text as short as one letter. The
// contacts are read once and searched here with the very patterns the query
// uses, giving its rows in its order; the holder reads them again when the
// database has changed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "phonebook.h"

// SQL's LIKE without an escape character: "%" matches any run of
// characters, "_" any one, ASCII letters match without regard to case.
bool SqlLike(std::string_view pattern, std::string_view text);

class TContactSearch {
 public:
  // Reads every contact. Raises ESQLiteException.
  void Load();
  // Appends the rows TPhoneBook::FindByText gives for `text`, in its order
  // and without formats; of contacts sharing a number the first by name.
  // The rows stay this object's, until the next Load.
  void Find(const std::string& text, std::vector<const TContactMatch*>& matches) const;
  int Count() const { return static_cast<int>(contacts_.size()); }

 private:
  struct Contact {
    std::string upperName;  // as the query's upper() makes it
    TContactMatch match;
    bool sharesNumber = false;  // another contact has the same number
  };
  std::vector<Contact> contacts_;  // by name, in the query's order
};
