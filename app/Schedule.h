#pragma once
// A pattern's schedule as the installed units brisko-run@.timer and brisko-run@.service
// carry it: the instance name is the pattern's escaped path, and the schedule itself
// lives in drop-ins under the user's unit folder, which the dialog writes and reads
// back. Also the crontab line that does the same where no user manager runs. No Qt.
#include <optional>
#include <string>
#include <string_view>

enum class TScheduleKind { Off, Hourly, Daily, Weekly, Monthly };

struct TSchedule {
  TScheduleKind Kind = TScheduleKind::Off;
  int WeekDay = 1;          // Weekly: 1 Monday .. 7 Sunday
  int MonthDay = 1;         // Monthly: 1 .. 28, a day every month has
  int Hour = 3, Minute = 0; // Daily, Weekly, Monthly: the time of day
  bool CatchUp = true;      // a run missed while the machine was off is made up at the next start
  bool MainsOnly = false;   // skipped while the machine runs on battery
  bool NotifyAlways = false;  // a notice after every run, not only after one that failed

  bool operator==(const TSchedule&) const = default;
};

// The instance name of a path, as `systemd-escape --path` gives it; nothing for a
// path that is not absolute or holds a ".." component (systemd refuses those).
std::optional<std::string> EscapeUnitPath(std::string_view Path);

// "brisko-run@INSTANCE.timer" / ".service" for a pattern file; empty when it has no instance.
std::string TimerUnitName(const std::string& PatternFile);
std::string ServiceUnitName(const std::string& PatternFile);

// The drop-in folder of a unit: $XDG_CONFIG_HOME/systemd/user/UNIT.d (~/.config by default).
std::string DropInFolder(const std::string& UnitName);
// The file the dialog owns in each folder; other drop-ins are left alone.
inline constexpr const char* DropInFileName = "brisko-schedule.conf";

// systemd's calendar expression for a schedule (Off has none).
std::string CalendarText(const TSchedule& Schedule);

// The drop-ins' texts; the service's is empty when nothing there differs from the unit.
std::string TimerDropIn(const TSchedule& Schedule);
std::string ServiceDropIn(const TSchedule& Schedule);

// The schedule the two drop-ins describe; Off when the timer's says nothing we wrote.
TSchedule ParseDropIns(const std::string& TimerText, const std::string& ServiceText);

// Reads and writes the two drop-ins of a pattern. Writing Off removes them. Writing
// answers an empty text, or what went wrong.
TSchedule ReadSchedule(const std::string& PatternFile);
std::string WriteSchedule(const std::string& PatternFile, const TSchedule& Schedule);

// The crontab line that runs Program on the pattern as the schedule says (empty for
// Off); the quoting holds for any file name.
std::string CrontabLine(const TSchedule& Schedule, const std::string& Program, const std::string& PatternFile);

// The variable the service drop-in sets to ask for a notice after every run.
inline constexpr const char* NotifyVariable = "BRISKO_NOTIFY";
