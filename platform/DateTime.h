#pragma once
// The program's date-time: a local wall-clock value in milliseconds since
// 1970-01-01 00:00 of the local calendar. "Now" is the local time; a UTC moment
// becomes local by adding the offset from UTC that is in effect now, so that
// comparing two values compares true elapsed time whatever daylight saving did.
#include <compare>
#include <cstdint>
#include <string>

struct TDateTime {
  int64_t Ms = 0;
  auto operator<=>(const TDateTime&) const = default;
};

struct TDateFields {
  int Year = 1970, Month = 1, Day = 1;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

constexpr int64_t MsPerDay = 86'400'000;

// Offset of local time from UTC in effect now, in seconds (east positive).
int64_t CurrentUtcOffsetSeconds();
// The local date and time now.
TDateTime Now();
// A UTC moment (seconds and nanoseconds since the Unix epoch) as local date-time.
TDateTime UtcToLocalDateTime(int64_t Seconds, int64_t Nanoseconds = 0);
// A date and time as the local wall clock showed it on that date (a trash record's
// deletion date): taken to UTC with the offset in effect on that date, daylight
// saving included, then made local like any UTC moment, so that it compares as true
// elapsed time with Now().
TDateTime WallClockToDateTime(const TDateFields& Fields);
TDateTime IncDays(TDateTime Value, int64_t Days);

TDateFields DecodeDateTime(TDateTime Value);
// Fields out of their ranges roll over as in a proleptic Gregorian calendar.
TDateTime EncodeDateTime(const TDateFields& Fields);

// "yyyy/mm/dd hh:nn:ss": the form of result lines, independent of the process locale.
std::string FormatResultTime(TDateTime Value);
