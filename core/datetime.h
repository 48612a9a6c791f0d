// Date and time as the system keeps them: a TDateTime is a day count with the
// time of day as its fraction, day 0 being 1899-12-30, in local time. Unix
// seconds in the databases, options and message files are computed from that
// local value with no zone applied.
#pragma once

#include <cstdint>
#include <string>

using TDateTime = double;

// The Unix epoch as a day count.
constexpr TDateTime kUnixDateDelta = 25569.0;

// The current local date and time.
TDateTime Now();

// The day counts of 0001-01-01 and of the day after 9999-12-31: the dates
// the calendar routines accept.
constexpr TDateTime kMinDateTime = -693593.0;
constexpr TDateTime kMaxDateTime = 2958466.0;
// Whether `dt` lies from kMinDateTime up to (not including) kMaxDateTime:
// the date-times that can be shown and converted without raising.
bool IsValidDateTime(TDateTime dt);

// (dt - 25569) * 86400 rounded to the nearest whole number (ties to even).
// Raises EConvertError when dt is no number or the seconds do not fit.
int64_t DateTimeToUnix(TDateTime dt);
// 25569 + seconds / 86400.
TDateTime UnixToDateTime(int64_t seconds);

// Day count of a calendar date; false when the date does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);

struct DateTimeParts {
  int year, month, day, hour, minute, second, msec;
};
// Splits a day count into calendar date and time of day (milliseconds
// rounded). Raises EConvertError "Invalid date" for a value that is no number
// or lies outside kMinDateTime..kMaxDateTime (scripts can make any double a
// date).
DateTimeParts DecodeDateTime(TDateTime dt);

// "dd.mm.yyyy", followed by " h:nn:ss" when the time of day is not midnight;
// the form the program shows dates in.
std::string DateTimeToStr(TDateTime dt);
// Reads "dd.mm.yyyy", "dd.mm.yyyy h:nn[:ss]" or "h:nn[:ss]"; false when the
// text is none of these or names no real date or time. As the system reads
// dates, a two-digit year lies within fifty years of now and a date without
// its year ("dd.mm") is in this year.
bool TryStrToDateTime(const std::string& text, TDateTime& out);
