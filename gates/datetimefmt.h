// Dates and times as gate scripts format and read them, always with the
// Russian Windows-1251 conventions the scripts were written for, never with
// the machine's locale: dd.mm.yyyy, hh:nn:ss, Russian month and day names.
#pragma once

#include <string>
#include <string_view>

#include "datetime.h"

// Delphi's FormatDateTime directives: d dd ddd dddd ddddd dddddd, m mm mmm
// mmmm (minutes right after an hour), yy yyyy, e ee, g gg, h hh, n nn, s ss,
// z zzz, t tt, c, am/pm a/p ampm (12-hour clock), "/" and ":" as the date and
// time separators, text in single or double quotes as it is; any other
// character is copied. Inside a script run the text is charged to its
// memory budget as it grows.
std::string FormatDateTime(std::string_view format, TDateTime value);

// Reads "dd.mm.yyyy", "dd.mm.yyyy hh:nn[:ss]" or "hh:nn[:ss]". Raises
// EConvertError "'text' is not a valid date and time" otherwise.
TDateTime StrToDateTime(const std::string& text);
