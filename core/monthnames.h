// Russian month names in the nominative and the genitive.
#pragma once

#include <string>

#include "datetime.h"

// The name of date's month: form 1 is the genitive ("января"), any other
// form the nominative ("январь"); the first letter upper-cased when
// capitalize. Windows-1251 text.
std::string GetMonthLongRus(TDateTime date, int form, bool capitalize);
