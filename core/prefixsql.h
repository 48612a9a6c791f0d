// SQL expressions that find the phone format of a number in the prefix
// ranges of the gates database, for the data classes that show numbers.
#pragma once

#include <string>
#include <string_view>

// The format of the first range of gate `gate` that covers `phone` (both
// column expressions of the outer query); null when none covers it.
std::string GateFormatSql(std::string_view phone, std::string_view gate);
// As GateFormatSql, but any gate's range serves when `gate` is null.
std::string ContactFormatSql(std::string_view phone, std::string_view gate);

// The format GateFormatSql gives, looked up on the global connection: the
// range of gate `gate` covering `phone`; empty when none does. Raises
// ESQLiteException.
std::string LookUpGateFormat(const std::string& phone, const std::string& gate);
// The format ContactFormatSql gives a contact's number: any gate's range
// when `gate` is empty. Raises ESQLiteException.
std::string LookUpContactFormat(const std::string& phone, const std::string& gate);
