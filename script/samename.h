// Comparing and storing script names, settled inline while their bytes
// agree: names are mostly written alike wherever they appear.
#pragma once

#include <string>
#include <string_view>

#include "cp1251.h"

// Same as cp1251::SameText; the case table is read only from the first
// byte that differs.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return cp1251::SameText(a.substr(i), b.substr(i));
  return true;
}

// The very same bytes. Names are a few bytes long, so a plain loop beats a
// call to memcmp.
inline bool SameBytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Assigns `text` unless `target` holds those very bytes already: a name
// stored again and again in one place is mostly the same name.
inline void KeepOrAssign(std::string& target, std::string_view text) {
  if (!SameBytes(target, text)) target = text;
}
