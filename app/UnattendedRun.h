#pragma once
// A test or run of every item of a pattern file without a window: `brisko -R` where
// there is no display (cron, systemd timers, SSH), and `brisko --test` anywhere. The
// same worker and the same result lines as the window's, served by the main thread;
// no toolkit is started, so nothing is spent on widgets.
//
// Its record (the log file, standard output or error, the exit status) is kept by
// app/RunRecord, as for the window's own unattended run.
//
// SIGTERM, SIGINT and SIGHUP interrupt the run at its next entry; what was done is
// recorded, and the status is 128 + the signal number.
#include <string>
#include <vector>

#include "app/RunRecord.h"
#include "engine/DeletionItem.h"

// Answers the exit status (TExitStatus, or 128 + a signal number). Messages go to
// standard error prefixed "brisko: ".
int RunUnattended(const std::string& PatternFile, bool TestRun, const TErrorWording& Word = {});

// Warns on standard error of each folder Location that does not exist or cannot be
// read: the sweep would find nothing there, and nobody would notice.
void WarnUnreadableLocations(const std::vector<TItemTexts>& Items);
