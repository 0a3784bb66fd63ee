#include "app/Schedule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"

namespace {

constexpr std::string_view WeekDayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
// systemd refuses a unit name longer than this.
constexpr size_t UnitNameMax = 255;

bool KeptAsIs(char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == ':' || C == '_' ||
         C == '.';
}

void AppendEscaped(std::string& Out, unsigned char C) {
  static constexpr char Hex[] = "0123456789abcdef";
  Out += "\\x";
  Out += Hex[C >> 4];
  Out += Hex[C & 15];
}

// The path's components without empty and "." ones; nothing when one is "..".
std::optional<std::vector<std::string_view>> Components(std::string_view Path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= Path.size()) {
    size_t end = Path.find('/', start);
    if (end == std::string_view::npos) end = Path.size();
    const std::string_view part = Path.substr(start, end - start);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

std::string UnitName(const std::string& PatternFile, const char* Suffix) {
  const std::optional<std::string> instance = EscapeUnitPath(PatternFile);
  if (!instance || PatternFile.empty() || PatternFile[0] != '/') return {};
  std::string name = "brisko-run@" + *instance + Suffix;
  return name.size() <= UnitNameMax ? name : std::string();
}

std::string TwoDigits(int Value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", Value);
  return text;
}

std::string TimeOfDay(const TSchedule& Schedule) {
  return TwoDigits(Schedule.Hour) + ":" + TwoDigits(Schedule.Minute) + ":00";
}

// The value of the last line "Key=..." in an INI-like unit text; nothing when absent.
std::optional<std::string> LastValue(const std::string& Text, std::string_view Key) {
  std::optional<std::string> value;
  std::istringstream lines(Text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() > Key.size() && line.compare(0, Key.size(), Key) == 0 && line[Key.size()] == '=')
      value = line.substr(Key.size() + 1);
    else if (line == std::string(Key) + "=")
      value = std::string();
  }
  return value;
}

bool ValidTime(int Hour, int Minute) { return Hour >= 0 && Hour < 24 && Minute >= 0 && Minute < 60; }

std::optional<TSchedule> ParseCalendar(const std::string& Text) {
  TSchedule s;
  int hour = 0, minute = 0, day = 0, used = 0;
  char week[4] = {};
  if (Text == "hourly") {
    s.Kind = TScheduleKind::Hourly;
    return s;
  }
  if (std::sscanf(Text.c_str(), "*-*-* %2d:%2d:00%n", &hour, &minute, &used) == 2 && size_t(used) == Text.size())
    s.Kind = TScheduleKind::Daily;
  else if (std::sscanf(Text.c_str(), "%3s *-*-* %2d:%2d:00%n", week, &hour, &minute, &used) == 3 &&
           size_t(used) == Text.size()) {
    s.Kind = TScheduleKind::Weekly;
    s.WeekDay = 0;
    for (int i = 0; i < 7; ++i)
      if (WeekDayNames[i] == week) s.WeekDay = i + 1;
    if (s.WeekDay == 0) return std::nullopt;
  } else if (std::sscanf(Text.c_str(), "*-*-%2d %2d:%2d:00%n", &day, &hour, &minute, &used) == 3 &&
             size_t(used) == Text.size() && day >= 1 && day <= 28) {
    s.Kind = TScheduleKind::Monthly;
    s.MonthDay = day;
  } else
    return std::nullopt;
  if (!ValidTime(hour, minute)) return std::nullopt;
  s.Hour = hour;
  s.Minute = minute;
  return s;
}

std::string ReadText(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes Text as the dialog's drop-in of Unit, or removes it when Text is empty.
std::string PutDropIn(const std::string& Unit, const std::string& Text) {
  namespace fs = std::filesystem;
  const fs::path folder = DropInFolder(Unit);
  const fs::path file = folder / DropInFileName;
  std::error_code error;
  if (Text.empty()) {
    fs::remove(file, error);
    if (error) return file.string() + ": " + error.message();
    fs::remove(folder, error);  // only when nothing else is left there
    return {};
  }
  fs::create_directories(folder, error);
  if (error) return folder.string() + ": " + error.message();
  if (const int code = ReplaceFileContent(file.string(), Text))
    return file.string() + ": " + std::generic_category().message(code);
  return {};
}

// Single quotes for the shell; a % would end a crontab command, so it is escaped.
std::string CronQuoted(const std::string& Text) {
  std::string out = "'";
  for (const char c : Text) {
    if (c == '\'') out += "'\\''";
    else if (c == '%') out += "'\\%'";
    else out += c;
  }
  return out + "'";
}

}  // namespace

std::optional<std::string> EscapeUnitPath(std::string_view Path) {
  const std::optional<std::vector<std::string_view>> parts = Components(Path);
  if (!parts) return std::nullopt;
  if (parts->empty()) return "-";
  std::string out;
  for (size_t i = 0; i < parts->size(); ++i) {
    if (i > 0) out += '-';
    for (size_t j = 0; j < (*parts)[i].size(); ++j) {
      const char c = (*parts)[i][j];
      // A leading dot would make a hidden unit name.
      if (KeptAsIs(c) && !(i == 0 && j == 0 && c == '.')) out += c;
      else AppendEscaped(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

std::string TimerUnitName(const std::string& PatternFile) { return UnitName(PatternFile, ".timer"); }
std::string ServiceUnitName(const std::string& PatternFile) { return UnitName(PatternFile, ".service"); }

std::string DropInFolder(const std::string& UnitName) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') base = config;
  else if (const char* home = std::getenv("HOME")) base = std::string(home) + "/.config";
  return base + "/systemd/user/" + UnitName + ".d";
}

std::string CalendarText(const TSchedule& Schedule) {
  switch (Schedule.Kind) {
    case TScheduleKind::Off: return {};
    case TScheduleKind::Hourly: return "hourly";
    case TScheduleKind::Daily: return "*-*-* " + TimeOfDay(Schedule);
    case TScheduleKind::Weekly:
      return std::string(WeekDayNames[(Schedule.WeekDay + 6) % 7]) + " *-*-* " + TimeOfDay(Schedule);
    case TScheduleKind::Monthly: return "*-*-" + TwoDigits(Schedule.MonthDay) + " " + TimeOfDay(Schedule);
  }
  return {};
}

std::string TimerDropIn(const TSchedule& Schedule) {
  if (Schedule.Kind == TScheduleKind::Off) return {};
  // The empty OnCalendar= clears the unit's own "daily" first.
  return "# Written by Brisko's schedule dialog, which rewrites or removes this file.\n"
         "[Timer]\nOnCalendar=\nOnCalendar=" +
         CalendarText(Schedule) + "\nPersistent=" + (Schedule.CatchUp ? "true" : "false") + "\n";
}

std::string ServiceDropIn(const TSchedule& Schedule) {
  if (Schedule.Kind == TScheduleKind::Off || (!Schedule.MainsOnly && !Schedule.NotifyAlways)) return {};
  std::string text = "# Written by Brisko's schedule dialog, which rewrites or removes this file.\n";
  if (Schedule.MainsOnly) text += "[Unit]\nConditionACPower=true\n";
  if (Schedule.NotifyAlways) text += "[Service]\nEnvironment=" + std::string(NotifyVariable) + "=always\n";
  return text;
}

TSchedule ParseDropIns(const std::string& TimerText, const std::string& ServiceText) {
  const std::optional<std::string> calendar = LastValue(TimerText, "OnCalendar");
  std::optional<TSchedule> schedule = calendar ? ParseCalendar(*calendar) : std::nullopt;
  if (!schedule) return {};
  schedule->CatchUp = LastValue(TimerText, "Persistent").value_or("true") == "true";
  schedule->MainsOnly = LastValue(ServiceText, "ConditionACPower") == "true";
  schedule->NotifyAlways = LastValue(ServiceText, "Environment") == std::string(NotifyVariable) + "=always";
  return *schedule;
}

TSchedule ReadSchedule(const std::string& PatternFile) {
  const std::string timer = TimerUnitName(PatternFile);
  if (timer.empty()) return {};
  return ParseDropIns(ReadText(DropInFolder(timer) + "/" + DropInFileName),
                      ReadText(DropInFolder(ServiceUnitName(PatternFile)) + "/" + DropInFileName));
}

std::string WriteSchedule(const std::string& PatternFile, const TSchedule& Schedule) {
  const std::string timer = TimerUnitName(PatternFile);
  if (timer.empty()) return PatternFile + ": " + std::generic_category().message(ENAMETOOLONG);
  std::string error = PutDropIn(timer, TimerDropIn(Schedule));
  if (error.empty()) error = PutDropIn(ServiceUnitName(PatternFile), ServiceDropIn(Schedule));
  return error;
}

std::string CrontabLine(const TSchedule& Schedule, const std::string& Program, const std::string& PatternFile) {
  // A line break would end the crontab line in the middle of the name.
  if (PatternFile.find_first_of("\r\n") != std::string::npos) return {};
  const std::string minute = std::to_string(Schedule.Minute), hour = std::to_string(Schedule.Hour);
  std::string when;
  switch (Schedule.Kind) {
    case TScheduleKind::Off: return {};
    case TScheduleKind::Hourly: when = "0 * * * *"; break;
    case TScheduleKind::Daily: when = minute + " " + hour + " * * *"; break;
    case TScheduleKind::Weekly: when = minute + " " + hour + " * * " + std::to_string(Schedule.WeekDay % 7); break;
    case TScheduleKind::Monthly: when = minute + " " + hour + " " + std::to_string(Schedule.MonthDay) + " * *"; break;
  }
  const std::string notify = Schedule.NotifyAlways ? std::string(NotifyVariable) + "=always " : std::string();
  return when + " " + notify + "nice " + CronQuoted(Program) + " -R " + CronQuoted(PatternFile);
}
