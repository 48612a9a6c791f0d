// The month table: a stem and two endings per month.
#include "monthnames.h"

#include "cp1251.h"

namespace {

struct MonthName {
  const char* stem;
  const char* endings[2];  // nominative, genitive
};

// UTF-8 here, turned into Windows-1251 on use.
constexpr MonthName kMonths[12] = {
    {"январ", {"ь", "я"}},  {"феврал", {"ь", "я"}},  {"март", {"", "а"}},    {"апрел", {"ь", "я"}},
    {"ма", {"й", "я"}},     {"июн", {"ь", "я"}},     {"июл", {"ь", "я"}},    {"август", {"", "а"}},
    {"сентябр", {"ь", "я"}}, {"октябр", {"ь", "я"}}, {"ноябр", {"ь", "я"}}, {"декабр", {"ь", "я"}},
};

}  // namespace

std::string GetMonthLongRus(TDateTime date, int form, bool capitalize) {
  const int month = DecodeDateTime(date).month;
  const MonthName& name = kMonths[(month - 1) % 12];
  std::string text = cp1251::FromUtf8(std::string(name.stem) + name.endings[form == 1 ? 1 : 0]);
  if (capitalize && !text.empty()) text[0] = cp1251::Upper(text[0]);
  return text;
}
