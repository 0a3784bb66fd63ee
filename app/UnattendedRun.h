#pragma once
// A test or run of every item of a pattern file without a window: `brisko -R` where
// there is no display (cron, systemd timers, SSH), and `brisko --test` anywhere. The
// same worker and the same result lines as the window's, served by the main thread;
// no toolkit is started, so nothing is spent on widgets.
//
// A run appends its lines to the log file (when log saving is on) about once a
// second while it goes, so a run that is killed loses at most the last second of its
// record; where the log cannot be written, the lines go to standard error instead. A
// test prints its lines on standard output and leaves the log file alone.
//
// SIGTERM, SIGINT and SIGHUP interrupt the run at its next entry; what was done is
// recorded, and the status is 128 + the signal number. A test, and a run with -v,
// end with a summary line on standard error.
#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "engine/RemoveHost.h"
#include "platform/BriskoError.h"

class TStopSignals;

// Words an error of ours in the user's language; without one, what() is printed.
using TErrorWording = std::function<std::string(const EBriskoError&)>;

// Answers the exit status (TExitStatus, or 128 + a signal number). Messages go to
// standard error prefixed "brisko: "; Output gets the result lines and the summary.
// Signals is the program's watcher: a signal received before the run ends it at once.
int RunUnattended(const std::string& PatternFile, bool TestRun, TStopSignals& Signals, TRunOutput& Output,
                  const TErrorWording& Word = {});

// Warns on standard error of each folder Location that does not exist or cannot be
// read: the sweep would find nothing there, and nobody would notice.
void WarnUnreadableLocations(const std::vector<TItemTexts>& Items);

// "N entries could not be removed; the first: ENTRY: REASON".
std::string NotRemovedMessage(const TRunSummary& Summary);
