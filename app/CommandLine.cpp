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
  return "Usage: brisko [-R] [-W+|-W-] [PATTERN.rmp ...]\n"
         "Deletes files by rule: opens the pattern files (the last one stays open).\n"
         "\n"
         "  -R          select every item and run it at once, then close; without a\n"
         "              display (cron, systemd timers) Brisko runs without a window\n"
         "  -W+         start with the window maximized\n"
         "  -W-         start with the window minimized\n"
         "  --help      show this help and exit\n"
         "  --version   show the version and exit\n"
         "\n"
         "Switches begin with \"-\"; an argument beginning with \"/\" is a path.\n"
         "Exit status after -R: 0 when the run ended normally, 1 when it failed.\n";
}

bool HasDisplay() { return NonEmptyEnv("DISPLAY") || NonEmptyEnv("WAYLAND_DISPLAY"); }
