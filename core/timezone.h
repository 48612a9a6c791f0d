// The local time zone as the send log and the scripts report it.
#pragma once

#include <string>

// True when daylight-saving time is in effect now.
bool TimeZoneDaylight();
// The local offset from UTC now, in minutes, east positive, daylight saving included.
int TimeZoneBias();
// TimeZoneBias as a sign and hours and minutes of two digits each: "+0300", "-0330".
std::string TimeZone();
