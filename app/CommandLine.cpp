#include "app/CommandLine.h"

#include <cstdlib>
#include <filesystem>

namespace {

bool IsSwitch(const std::string& Argument) { return !Argument.empty() && Argument[0] == '-'; }

char LowerAscii(char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; }

void ApplySwitch(const std::string& Argument, TCommandLine& Result) {
  if (Argument == "--help") {
    Result.Help = true;
    return;
  }
  if (Argument == "--version") {
    Result.Version = true;
    return;
  }
  if (Argument == "--show-log") {
    Result.ShowLog = true;
    return;
  }
  if (Argument == "--test") {
    Result.Test = true;
    return;
  }
  if (Argument.size() < 2) return;
  switch (LowerAscii(Argument[1])) {
    case 'r':
      Result.Run = true;
      break;
    case 'w':
      if (Argument.size() >= 3 && Argument[2] == '+') Result.WindowState = swsMaximized;
      if (Argument.size() >= 3 && Argument[2] == '-') Result.WindowState = swsMinimized;
      break;
    default:
      break;  // unknown switches are ignored, never taken as file names
  }
}

bool NonEmptyEnv(const char* Name) {
  const char* value = std::getenv(Name);
  return value && *value;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments) {
  TCommandLine result;
  for (const std::string& argument : Arguments) {
    if (IsSwitch(argument))
      ApplySwitch(argument, result);
    else
      result.Files.push_back(argument);
  }
  return result;
}

std::string ResolvePatternArgument(const std::string& Argument) {
  if (Argument.empty() || Argument[0] == '/') return Argument;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(Argument, ec);
  return ec ? Argument : absolute.string();
}

std::string CommandLineUsage() {
  return "Usage: brisko [-R] [-W+|-W-] [--show-log] [PATTERN.rmp ...]\n"
         "       brisko --test PATTERN.rmp\n"
         "Deletes files by rule: opens the pattern files (the last one stays open).\n"
         "\n"
         "  -R          select every item and run it at once, then close; without a\n"
         "              display (cron, systemd timers) Brisko runs without a window\n"
         "  -W+         start with the window maximized\n"
         "  -W-         start with the window minimized\n"
         "  --test      test every item of the pattern: print the result lines,\n"
         "              remove nothing, leave the log file alone; needs no display\n"
         "  --show-log  open the window with the log file shown in the log pane\n"
         "  --help      show this help and exit\n"
         "  --version   show the version and exit\n"
         "\n"
         "Switches begin with \"-\"; an argument beginning with \"/\" is a path.\n"
         "\n"
         "Exit status of -R and --test:\n"
         "  0    every due entry was removed (or listed, in a test)\n"
         "  1    the run ended on an error, or its record could not be kept\n"
         "  2    bad usage\n"
         "  3    the run went through, but some entries could not be removed\n"
         "  128+N  stopped by signal N (SIGTERM, SIGINT, SIGHUP); the record is kept\n";
}

bool HasDisplay() { return NonEmptyEnv("DISPLAY") || NonEmptyEnv("WAYLAND_DISPLAY"); }
