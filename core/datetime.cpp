#include "datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "exceptions.h"

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 0001-01-01 to the given date (proleptic Gregorian calendar).
long long DaysFromCivil(int y, int m, int d) {
  long long days = 0;
  long long py = y - 1;
  days = py * 365 + py / 4 - py / 100 + py / 400;
  for (int k = 1; k < m; ++k) days += DaysInMonth(y, k);
  return days + d - 1;
}

const long long kDay0 = DaysFromCivil(1899, 12, 30);

}  // namespace

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

int64_t DateTimeToUnix(TDateTime dt) {
  const double seconds = std::nearbyint((dt - kUnixDateDelta) * 86400.0);
  // 2^63 is exact as a double; anything at or beyond it (or no number) has
  // no 64-bit count of seconds.
  if (!(std::fabs(seconds) < 9223372036854775808.0)) throw EConvertError("Invalid date");
  return static_cast<int64_t>(seconds);
}

TDateTime UnixToDateTime(int64_t seconds) { return kUnixDateDelta + static_cast<double>(seconds) / 86400.0; }

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) - kDay0);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime dt = 0;
  TryEncodeDate(year, month, day, dt);
  return dt;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
}

bool IsValidDateTime(TDateTime dt) { return dt >= kMinDateTime && dt < kMaxDateTime; }

DateTimeParts DecodeDateTime(TDateTime dt) {
  if (!IsValidDateTime(dt)) throw EConvertError("Invalid date");
  DateTimeParts p{};
  // Milliseconds since day 0, rounded, so 23:59:59.9996 does not show as 24:00.
  double total = std::nearbyint(dt * 86400000.0);
  long long days = static_cast<long long>(std::floor(total / 86400000.0));
  long long ms = static_cast<long long>(total - static_cast<double>(days) * 86400000.0);
  // Before day 0 the time of day counts backwards from midnight, as the
  // day-count form defines it.
  if (dt < 0 && ms != 0) {
    days += 1;
    ms = 86400000 - ms;
  }
  long long n = days + kDay0;  // days since 0001-01-01
  int y = static_cast<int>(n / 365.2425) + 1;
  while (DaysFromCivil(y, 1, 1) > n) --y;
  while (DaysFromCivil(y + 1, 1, 1) <= n) ++y;
  long long rest = n - DaysFromCivil(y, 1, 1);
  int m = 1;
  while (rest >= DaysInMonth(y, m)) rest -= DaysInMonth(y, m++);
  p.year = y;
  p.month = m;
  p.day = static_cast<int>(rest) + 1;
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.msec = static_cast<int>(ms % 1000);
  return p;
}

std::string DateTimeToStr(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", p.day, p.month, p.year);
  if (p.hour || p.minute || p.second)
    std::snprintf(buf + n, sizeof buf - n, " %d:%02d:%02d", p.hour, p.minute, p.second);
  return buf;
}

namespace {

// Up to `maxDigits` decimal digits at `t`, which moves past them; false when
// there is none.
bool ScanNumber(const char*& t, int maxDigits, int& value, int& digits) {
  value = 0;
  digits = 0;
  for (; digits < maxDigits && *t >= '0' && *t <= '9'; ++t, ++digits) value = value * 10 + (*t - '0');
  return digits > 0;
}

// A year written with one or two digits lies within fifty years of now, as
// the system's own date reading places it (so 00 is 2000, 99 is 1999).
int WidenYear(int year) {
  const int base = DecodeDateTime(Now()).year - 50;
  year += base / 100 * 100;
  return year < base ? year + 100 : year;
}

// "d.m", "d.m.yy" or "d.m.yyyy" at `t`, which moves past it; a missing year
// is this year's. False when `t` does not start with a date.
bool ScanDate(const char*& t, int& y, int& mo, int& d) {
  const char* p = t;
  int digits = 0;
  if (!ScanNumber(p, 2, d, digits) || *p != '.') return false;
  ++p;
  if (!ScanNumber(p, 2, mo, digits)) return false;
  if (*p == '.') {
    ++p;
    if (!ScanNumber(p, 4, y, digits)) return false;
    if (digits <= 2) y = WidenYear(y);
  } else {
    y = DecodeDateTime(Now()).year;
  }
  t = p;
  return true;
}

}  // namespace

bool TryStrToDateTime(const std::string& text, TDateTime& out) {
  int d = 0, mo = 0, y = 0, h = 0, mi = 0, s = 0, used = 0;
  const char* t = text.c_str();
  while (*t == ' ') ++t;
  TDateTime date = 0;
  bool hasDate = false;
  if (ScanDate(t, y, mo, d)) {
    if (!TryEncodeDate(y, mo, d, date)) return false;
    hasDate = true;
    while (*t == ' ') ++t;
  }
  if (*t) {
    used = 0;
    int got = std::sscanf(t, "%2d:%2d%n:%2d%n", &h, &mi, &used, &s, &used);
    if (got < 2 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return false;
    t += used;
    while (*t == ' ') ++t;
    if (*t) return false;
  } else if (!hasDate) {
    return false;
  }
  out = date + EncodeTime(h, mi, s);
  return true;
}
