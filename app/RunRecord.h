#pragma once
// The record of an unattended run, whoever serves its worker (the headless run, the
// window's -R, the window on the offscreen platform): where its result lines go and
// when, its messages on standard error, and its exit status.
//
// A test's lines go to standard output. A run's lines are appended to the log file
// (when log saving is on) once a second while it goes, one write per batch, so that
// a run that is killed loses at most the last second of its record, however large
// the log; the log is cut to its line limit at the end (and whenever the run has
// added more than the limit). Once the log cannot be written, or its lock cannot be
// had, the lines go to standard error instead (cron mails it, the journal keeps it)
// and the status is a failure: a record is never written without the lock.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "engine/RemoveHost.h"
#include "platform/BriskoError.h"

// Words an error of ours in the user's language; without one, what() is printed.
using TErrorWording = std::function<std::string(const EBriskoError&)>;

// Messages go to standard error prefixed "brisko: ".
void PrintError(const std::string& Message);

// A stop signal, noted from any thread (the signal watcher's): a record waiting for
// the log's lock gives up at once.
void NoteStopSignal(int Signal);

// "N entries could not be removed; the first: ENTRY: REASON".
std::string NotRemovedMessage(const TRunSummary& Summary);

class TRunRecord {
public:
  // Output: the terminal's share (a test's lines and summary by default).
  TRunRecord(bool TestRun, const TLogSettings& Settings, TErrorWording Word = {},
             std::optional<TRunOutput> Output = std::nullopt);

  // Whether the log may be written by this run at all (an absolute path; as root,
  // root's own files and folders), told before anything is removed. False after a
  // message: the run must not start.
  bool CheckLog();

  // A batch of result lines, as the worker delivers them; may move them out. Raises
  // EBriskoError, once the lines are kept, when standard output cannot take them.
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
  // the signal alone decides it. The summary line comes last.
  void End(const TRunSummary& Summary, const std::optional<EBriskoError>& Error);

  // TExitStatus, or 128 + the signal number.
  int ExitStatus() const;

private:
  using TClock = std::chrono::steady_clock;

  const bool FTestRun;
  const TLogSettings FSettings;
  const TErrorWording FWord;
  TRunOutput FOutput;
  std::vector<std::string> FPending;
  TClock::time_point FNextWrite;
  int64_t FAddedSinceCut = 0;  // lines appended since the log was last cut
  bool FLogFailed = false;
  bool FFailed = false;
  bool FNotRemoved = false;
  int FSignal = 0;

  void Flush(bool Last);
  void Record(std::vector<std::string>& Lines);
  void Judge(const TRunSummary& Summary, const std::optional<EBriskoError>& Error);
};
