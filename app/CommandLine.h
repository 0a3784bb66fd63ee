#pragma once
// The program's arguments, and what the command line says back: the help, the
// refusals, the summary of an unattended test or run, the result lines on standard
// output. No Qt here: an unattended run never starts the toolkit.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/RemoveHost.h"

enum TStartWindowState { swsNormal, swsMaximized, swsMinimized };

struct TCommandLine {
  bool Run = false;                          // -R: run every item, then close
  bool Test = false;                         // -n, --dry-run, --test: test every item, lines on standard output
  bool Verbose = false;                      // -v, --verbose: a run's lines on standard output too
  TStartWindowState WindowState = swsNormal; // the last -W+ / -W- wins
  std::vector<std::string> Files;            // every argument that is no switch, in order
  bool Help = false;                         // -h, --help
  bool Version = false;                      // -V, --version
  bool ShowLog = false;                      // --show-log: the window opens with the log file shown
  std::string Unrecognized;                  // the first argument beginning with "-" that is none of these
};

// The program's exit statuses; a run ended by signal N answers 128 + N.
enum TExitStatus : int {
  esSuccess = 0,     // every due entry was removed (or listed, in a test)
  esError = 1,       // the run ended on an error, or its record could not be kept
  esUsage = 2,       // the arguments cannot be acted on
  esNotRemoved = 3,  // the run went through, but some entry could not be removed
};

// Arguments are argv[1..]. An argument whose second character is R or W (either
// case) after a "-" is the run switch or a window-state switch, whatever follows; the
// other switches are matched whole and case-sensitively; any other argument that
// begins with "-" is Unrecognized. An argument beginning with "/" is a path: every
// absolute path does, so it can never be a switch.
TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments);

// A file argument made absolute against the current folder, so that the caption
// and every later save name the same file whatever the folder becomes.
std::string ResolvePatternArgument(const std::string& Argument);

// Why a pattern file cannot be read ("No such file or directory"), or empty.
std::string PatternFileFault(const std::string& FileName);

// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool HasDisplay();
// False when the display named is certainly not there (a server gone since the
// session's environment was taken); true where it answers, or where that cannot be told.
bool DisplayOpens();

// ---------------------------------------------------------------------------
// Texts. They are written in Japanese, marked QT_TRANSLATE_NOOP("TRunText", ...)
// (QT_TRANSLATE_N_NOOP where a count picks the form) so that their English goes into
// the translations; the program installs the wording of the user's language at start.

// The marks as Qt defines them, for the files that include no Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
#ifndef QT_TRANSLATE_N_NOOP
#define QT_TRANSLATE_N_NOOP(scope, x) x
#endif

// Answers Text (a marked Japanese text) in the user's language, "%n" not yet filled.
using TTextWording = std::function<std::string(const char* Text, int Count)>;
void SetTextWording(TTextWording Wording);
// Text in the user's language: "%1".."%9" filled with Args, "%n" with Count.
std::string Say(const char* Text, const std::vector<std::string>& Args = {}, int64_t Count = -1);

// The text -h and --help print.
std::string CommandLineUsage();
// The two lines that refuse an argument (exit status 2).
std::string UnrecognizedOptionMessage(const std::string& Argument);

// A size in bytes as people read it: "227 bytes", "1.5 KiB", "3.2 GiB".
std::string DataSizeText(uint64_t Bytes);
// One line telling what a test or a run did, for standard error.
std::string SummaryLine(const TRunSummary& Summary, bool TestRun, bool Stopped);

// Where an unattended test or run writes on the terminal: its result lines on
// standard output as they come (a test always, a run with -v), then one summary line
// on standard error. A write to standard output that fails raises EBriskoError, so
// the run ends at its next entry: a full disk must not pass for a complete list.
class TRunOutput {
public:
  TRunOutput(bool Lines, bool Summary) : FLines(Lines), FSummary(Summary) {}
  void Write(const std::vector<std::string>& Lines);
  void End(const TRunSummary& Summary, bool TestRun, bool Stopped);

private:
  const bool FLines, FSummary;
  bool FFailed = false;
};
