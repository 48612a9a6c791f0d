// The text of the exception a piece of test code raises: a database error
// unless another class is named.
#pragma once

#include <string>

#include "sqlite3db.h"

template <class Error = ESQLiteException, class Body>
std::string ErrorOf(Body&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.Message();
  }
  return "<no exception>";
}
