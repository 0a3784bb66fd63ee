#pragma once
// The program's arguments: the run switch, the window-state switches and the
// pattern files to load, in the order given.
#include <string>
#include <vector>

enum TStartWindowState { swsNormal, swsMaximized, swsMinimized };

struct TCommandLine {
  bool Run = false;                          // -R: run every item, then close
  bool Test = false;                         // --test: test every item, lines on standard output
  TStartWindowState WindowState = swsNormal; // the last -W+ / -W- wins
  std::vector<std::string> Files;            // every argument that is no switch, in order
  bool Help = false;                         // --help
  bool Version = false;                      // --version
  bool ShowLog = false;                      // --show-log: the window opens with the log file shown
};

// The program's exit statuses; a run ended by signal N answers 128 + N.
enum TExitStatus : int {
  esSuccess = 0,     // every due entry was removed (or listed, in a test)
  esError = 1,       // the run ended on an error, or its record could not be kept
  esUsage = 2,       // the arguments cannot be acted on
  esNotRemoved = 3,  // the run went through, but some entry could not be removed
};

// Arguments are argv[1..]. A switch begins with "-"; its second character names
// it in either case. An argument beginning with "/" is a path: every absolute
// path does, so it can never be a switch here.
TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments);

// A file argument made absolute against the current folder, so that the caption
// and every later save name the same file whatever the folder becomes.
std::string ResolvePatternArgument(const std::string& Argument);

// The text --help prints.
std::string CommandLineUsage();

// True when neither DISPLAY nor WAYLAND_DISPLAY names a display.
bool HasDisplay();
