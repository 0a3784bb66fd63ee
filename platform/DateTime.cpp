#include "platform/DateTime.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The zone's offset from UTC at the moment Utc. A zone changes its offset months
// apart: an hour that has the same offset at both ends has it throughout, and is
// remembered, so that records written within the same hour cost one look-up.
bool OffsetAt(time_t Utc, long& Offset) {
  struct TSlot {
    time_t Hour = std::numeric_limits<time_t>::min();
    long Offset = 0;
    const char* Zone = nullptr;  // tzset gives a new zone new names
  };
  thread_local TSlot slots[16];
  const time_t hour = Utc / 3600 - (Utc % 3600 < 0);
  TSlot& slot = slots[static_cast<uint64_t>(hour) % 16];
  if (slot.Hour == hour && slot.Zone == tzname[0]) {
    Offset = slot.Offset;
    return true;
  }
  struct tm local {};
  if (!localtime_r(&Utc, &local)) return false;
  Offset = local.tm_gmtoff;
  const time_t start = hour * 3600, end = start + 3599;
  struct tm first {}, last {};
  if (localtime_r(&start, &first) && localtime_r(&end, &last) && first.tm_gmtoff == last.tm_gmtoff)
    slot = {hour, first.tm_gmtoff, tzname[0]};
  return true;
}

}  // namespace

// Asked once per entry listed and per line written: the offset of the hour is
// remembered (OffsetAt).
int64_t CurrentUtcOffsetSeconds() {
  long offset = 0;
  return OffsetAt(time(nullptr), offset) ? offset : 0;
}

TDateTime UtcToLocalDateTime(int64_t Seconds, int64_t Nanoseconds) {
  return TDateTime{(Seconds + CurrentUtcOffsetSeconds()) * 1000 + FloorDiv(Nanoseconds, 1'000'000)};
}

namespace {

// The UTC time of a local wall-clock time (given as the seconds it would be in UTC),
// with the offset in effect at that moment. mktime would do, but glibc reads the
// zone file anew at each call: purging a trash of ten thousand records would look at
// /etc/localtime ten thousand times. The offset at the wall time taken as UTC, then
// at the first guess, settles it (a time that a change skipped lands after the
// change, as mktime puts it).
bool LocalToUtc(time_t AsUtc, time_t& Utc) {
  long offset = 0;
  if (!OffsetAt(AsUtc, offset)) return false;
  Utc = AsUtc - offset;
  if (!OffsetAt(Utc, offset)) return false;
  Utc = AsUtc - offset;
  return true;
}

}  // namespace

TDateTime WallClockToDateTime(const TDateFields& Fields) {
  TDateFields whole = Fields;
  whole.Millisecond = 0;
  const TDateTime asUtc = EncodeDateTime(whole);
  time_t utc = 0;
  // No zone rule reaches that far: the offset of today is the best there is.
  if (!LocalToUtc(static_cast<time_t>(asUtc.Ms / 1000), utc)) return TDateTime{asUtc.Ms + Fields.Millisecond};
  return UtcToLocalDateTime(utc, int64_t{Fields.Millisecond} * 1'000'000);
}

TDateTime Now() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return UtcToLocalDateTime(ts.tv_sec, ts.tv_nsec);
}

TDateTime IncDays(TDateTime Value, int64_t Days) { return TDateTime{Value.Ms + Days * MsPerDay}; }

TDateFields DecodeDateTime(TDateTime Value) {
  const int64_t days = FloorDiv(Value.Ms, MsPerDay);
  int64_t rest = Value.Ms - days * MsPerDay;
  TDateFields f;
  CivilFromDays(days, f.Year, f.Month, f.Day);
  f.Hour = static_cast<int>(rest / 3'600'000);
  rest %= 3'600'000;
  f.Minute = static_cast<int>(rest / 60'000);
  rest %= 60'000;
  f.Second = static_cast<int>(rest / 1000);
  f.Millisecond = static_cast<int>(rest % 1000);
  return f;
}

TDateTime EncodeDateTime(const TDateFields& f) {
  // Normalise the month first so that DaysFromCivil sees 1..12.
  const int64_t months = static_cast<int64_t>(f.Year) * 12 + (f.Month - 1);
  const int64_t year = FloorDiv(months, 12);
  const int64_t month = months - year * 12 + 1;
  const int64_t days = DaysFromCivil(year, month, 1) + (f.Day - 1);
  return TDateTime{days * MsPerDay + static_cast<int64_t>(f.Hour) * 3'600'000 +
                   static_cast<int64_t>(f.Minute) * 60'000 + static_cast<int64_t>(f.Second) * 1000 +
                   f.Millisecond};
}

std::string FormatResultTime(TDateTime Value) {
  const TDateFields f = DecodeDateTime(Value);
  char text[40];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", f.Year, f.Month, f.Day, f.Hour,
                f.Minute, f.Second);
  return text;
}
