#pragma once
// The record of an unattended run, whoever serves its worker (the headless run, the
// window's -R, the window on the offscreen platform): where its result lines go and
// when, its messages on standard error, and its exit status.
//
// A test's lines go to standard output. A run's lines go to the log file (when log
// saving is on) about once a second while it goes, so that a run that is killed
// loses at most the last second of its record; once the log cannot be written, they
// go to standard error instead (cron mails it, the journal keeps it) and the status
// is a failure.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "engine/RemoveHost.h"
#include "platform/BriskoError.h"

// Words an error of ours in the user's language; without one, what() is printed.
using TErrorWording = std::function<std::string(const EBriskoError&)>;

// Messages go to standard error prefixed "brisko: ".
void PrintError(const std::string& Message);

// "N entries could not be removed; the first: ENTRY: REASON".
std::string NotRemovedMessage(const TRunSummary& Summary);

class TRunRecord {
public:
  TRunRecord(bool TestRun, const TLogSettings& Settings, TErrorWording Word = {});

  // A batch of result lines, as the worker delivers them; may move them out.
  void Take(std::vector<std::string>& Lines);
  // The lines still held go out; the log is cut to its limit. Once, after the worker.
  void Close();

  // An error that ends the run, or keeps it from starting.
  void Fail(const std::string& Message);
  void Fail(const EBriskoError& Error);
  // A stop signal ended the run.
  void Interrupted(int Signal) { FSignal = Signal; }
  // The worker's end: the error that ended it, or else the entries it could not
  // remove, unless something worse already decides the status. After a stop signal
  // the signal alone decides it.
  void End(const TRunSummary& Summary, const std::optional<EBriskoError>& Error);

  // TExitStatus, or 128 + the signal number.
  int ExitStatus() const;

private:
  using TClock = std::chrono::steady_clock;

  const bool FTestRun;
  const TLogSettings FSettings;
  const TErrorWording FWord;
  std::vector<std::string> FPending;
  TClock::time_point FNextWrite;
  bool FLogFailed = false;
  bool FFailed = false;
  bool FNotRemoved = false;
  int FSignal = 0;

  void Flush(bool Last);
};
