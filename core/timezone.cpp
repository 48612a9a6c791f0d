// Time-zone queries over the C library's local time.
#include "timezone.h"

#include <cstdio>
#include <ctime>

namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  tzset();  // pick up a changed TZ, as the send log expects the current zone
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

bool TimeZoneDaylight() { return LocalNow().tm_isdst > 0; }

int TimeZoneBias() { return static_cast<int>(LocalNow().tm_gmtoff / 60); }

std::string TimeZone() {
  const int bias = TimeZoneBias();
  const int magnitude = bias < 0 ? -bias : bias;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d%02d", bias < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return text;
}
