// Recently used signatures and MMS subjects, newest first, kept in the
// LastItems table of the user database with a maximum per kind.
#pragma once

#include <string>
#include <vector>

class TLastItems {
 public:
  enum : int { kSignature = 0, kSubject = 1 };

  // Records `text` as used now: an item of the class already stored only
  // gets the new time; a new one is inserted and the class trimmed to its
  // maximum, the least recently used going first. False when the database
  // refused it (a text stored under the other class, no database).
  static bool Add(int itemClass, const std::string& text);
  // Forgets one item. Raises ESQLiteException.
  static void Delete(int itemClass, const std::string& text);
  // Appends the texts of the class, newest first; returns the list's size
  // afterwards. Raises ESQLiteException.
  static int Load(int itemClass, std::vector<std::string>& list);
  // The maximum of a class (0 or less: no limit); applies from the next
  // insert.
  static void SetMaxCount(int itemClass, int maxCount);
  static int MaxCount(int itemClass);
};
