// Date and time directives over fixed Russian tables.
#include "datetimefmt.h"

#include <cmath>
#include <cstdio>

#include "cp1251.h"
#include "exceptions.h"
#include "scriptrun.h"

namespace {

struct Names {
  const char* shortMonths[12];
  const char* longMonths[12];
  const char* shortDays[7];  // Sunday first
  const char* longDays[7];
};

// UTF-8 here, Windows-1251 once converted (see Tables()).
constexpr Names kRussianUtf8 = {
    {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"},
    {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь", "Ноябрь",
     "Декабрь"},
    {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"},
    {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"},
};

constexpr char kShortDateFormat[] = "dd.mm.yyyy";
constexpr char kLongDateFormatUtf8[] = "d mmmm yyyy 'г.'";
constexpr char kShortTimeFormat[] = "hh:nn";
constexpr char kLongTimeFormat[] = "hh:nn:ss";
constexpr char kDateSeparator = '.';
constexpr char kTimeSeparator = ':';
// Nested formats (c, ddddd, t) expand once more, no deeper.
constexpr int kMaxNesting = 2;

struct Tables {
  std::string shortMonths[12], longMonths[12], shortDays[7], longDays[7], longDateFormat;
};

const Tables& Russian() {
  static const Tables tables = [] {
    Tables t;
    for (int i = 0; i < 12; ++i) {
      t.shortMonths[i] = cp1251::FromUtf8(kRussianUtf8.shortMonths[i]);
      t.longMonths[i] = cp1251::FromUtf8(kRussianUtf8.longMonths[i]);
    }
    for (int i = 0; i < 7; ++i) {
      t.shortDays[i] = cp1251::FromUtf8(kRussianUtf8.shortDays[i]);
      t.longDays[i] = cp1251::FromUtf8(kRussianUtf8.longDays[i]);
    }
    t.longDateFormat = cp1251::FromUtf8(kLongDateFormatUtf8);
    return t;
  }();
  return tables;
}

std::string Number(int value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
  return buffer;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (cp1251::Lower(text[at + i]) != word[i]) return false;
  return true;
}

// The directive letters whose length is their number of repeats.
constexpr std::string_view kRepeatable = "YEGMDHNSZT";

class DateFormatter {
 public:
  explicit DateFormatter(TDateTime value) : value_(value), parts_(DecodeDateTime(value)) {
    const double day = std::floor(value);
    dayOfWeek_ = static_cast<int>(std::fmod(std::fmod(day + 6, 7) + 7, 7));
  }

  std::string Run(std::string_view format) {
    Append(format, 0);
    return out_.Take();
  }

 private:
  // How many times the letter at `at` repeats (any case).
  static size_t Count(std::string_view f, size_t at) {
    size_t n = 1;
    while (at + n < f.size() && cp1251::Upper(f[at + n]) == cp1251::Upper(f[at])) ++n;
    return n;
  }

  // An am/pm marker anywhere in the format (quoted text aside) puts every
  // hour of it on the 12-hour clock.
  static bool TwelveHour(std::string_view f) {
    for (size_t i = 0; i < f.size(); ++i) {
      if (f[i] == '"' || f[i] == '\'') {
        const size_t close = f.find(f[i], i + 1);
        if (close == std::string_view::npos) return false;
        i = close;
        continue;
      }
      if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "a/p") || StartsWithNoCase(f, i, "ampm"))
        return true;
    }
    return false;
  }

  void Append(std::string_view f, int level) {
    if (level >= kMaxNesting) return;
    const Tables& t = Russian();
    const bool twelveHour = TwelveHour(f);
    char last = 0;
    size_t i = 0;
    while (i < f.size()) {
      char token = cp1251::Upper(f[i]);
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && last == 'H') token = 'N';
        last = token;
      }
      // Only the letters whose repeats count are counted, and each consumes
      // its run, so that a long run of any one character is read once.
      const size_t n = kRepeatable.find(token) != std::string_view::npos ? Count(f, i) : 1;
      switch (token) {
        case 'Y':
          out_ += n <= 2 ? Number(parts_.year % 100, 2) : Number(parts_.year, 4);
          i += n;
          break;
        case 'E':
          out_ += n == 1 ? std::to_string(parts_.year) : Number(parts_.year, 2);
          i += n;
          break;
        case 'G':  // the Gregorian calendar has no era names
          i += n;
          break;
        case 'M':
          if (n <= 2)
            out_ += Number(parts_.month, static_cast<int>(n));
          else
            out_ += n == 3 ? t.shortMonths[parts_.month - 1] : t.longMonths[parts_.month - 1];
          i += n;
          break;
        case 'D':
          if (n <= 2) out_ += Number(parts_.day, static_cast<int>(n));
          else if (n == 3) out_ += t.shortDays[dayOfWeek_];
          else if (n == 4) out_ += t.longDays[dayOfWeek_];
          else Append(n == 5 ? std::string_view(kShortDateFormat) : std::string_view(t.longDateFormat), level + 1);
          i += n;
          break;
        case 'H': {
          int hour = parts_.hour;
          if (twelveHour) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          out_ += Number(hour, n == 1 ? 1 : 2);
          i += n;
          break;
        }
        case 'N':
        case 'S':
          out_ += Number(token == 'N' ? parts_.minute : parts_.second, n == 1 ? 1 : 2);
          i += n;
          break;
        case 'Z':
          out_ += Number(parts_.msec, n == 1 ? 1 : 3);
          i += n;
          break;
        case 'T':
          Append(n == 1 ? kShortTimeFormat : kLongTimeFormat, level + 1);
          i += n;
          break;
        case 'C':
          Append(kShortDateFormat, level + 1);
          if (value_ != std::floor(value_)) {
            out_ += ' ';
            Append(kLongTimeFormat, level + 1);
          }
          i += 1;
          break;
        case 'A':
          i += AmPm(f, i);
          break;
        case '/':
          out_ += kDateSeparator;
          ++i;
          break;
        case ':':
          out_ += kTimeSeparator;
          ++i;
          break;
        case '"':
        case '\'': {
          const size_t close = f.find(f[i], i + 1);
          const size_t end = close == std::string_view::npos ? f.size() : close;
          out_ += f.substr(i + 1, end - i - 1);
          i = end == f.size() ? end : end + 1;
          break;
        }
        default:
          out_ += f[i];
          ++i;
          break;
      }
    }
  }

  // The am/pm markers, their case kept from the format; the Russian clock
  // has no words for "ampm". Returns the characters used.
  size_t AmPm(std::string_view f, size_t at) {
    const bool pm = parts_.hour >= 12;
    if (StartsWithNoCase(f, at, "am/pm")) {
      const std::string_view word = f.substr(at + (pm ? 3 : 0), 2);
      out_ += word;
      return 5;
    }
    if (StartsWithNoCase(f, at, "a/p")) {
      out_ += f[at + (pm ? 2 : 0)];
      return 3;
    }
    if (StartsWithNoCase(f, at, "ampm")) return 4;
    out_ += f[at];
    return 1;
  }

  TDateTime value_;
  DateTimeParts parts_;
  int dayOfWeek_ = 0;
  TScriptText out_;  // charged to the running script as it grows
};

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value) { return DateFormatter(value).Run(format); }

TDateTime StrToDateTime(const std::string& text) {
  TDateTime value = 0;
  if (!TryStrToDateTime(text, value)) throw EConvertError("'" + text + "' is not a valid date and time");
  return value;
}
