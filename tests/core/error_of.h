// The text of the database exception a piece of test code raises.
#pragma once

#include <string>

#include "sqlite3db.h"

template <class Body>
std::string ErrorOf(Body&& body) {
  try {
    body();
  } catch (const ESQLiteException& e) {
    return e.Message();
  }
  return "<no exception>";
}
