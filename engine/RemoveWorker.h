#pragma once
// A running test or run as its front end sees it: the window, the unattended run,
// the tests and the benchmarks all hold a worker the same way.
//
// Ownership: the creator owns the worker (the std::unique_ptr it gets). The end
// handler runs on the user-interface thread (through the host's Post) after the
// worker's last step; the owner may free the worker inside the handler or any time
// after it, but not before it has run: until then the worker's thread may still
// reach the host. Freeing a worker that has not ended stops it and waits for its
// thread, which needs the host's steps served by another thread meanwhile.
#include <functional>
#include <memory>
#include <optional>

#include "engine/RemoveHost.h"
#include "platform/BriskoError.h"

class TRemoveWorker {
public:
  virtual ~TRemoveWorker() = default;
  // Stops at the next check: before the next row, the next entry of a sweep, or the
  // next entry of a row being removed, which keeps its selection.
  virtual void Terminate() = 0;
  // The same stop, asked because the process is ending.
  virtual void Interrupt() = 0;
  virtual bool Terminated() const = 0;
  // Hands the queued result lines to the host now; a host's timer calls it.
  virtual void DeliverResults() = 0;
  // Read in the end handler or later: what the test or run did, and the error that
  // ended it early (none after a normal end).
  virtual const TRunSummary& Summary() const = 0;
  virtual const std::optional<EBriskoError>& Error() const = 0;
};

using TWorkerEnd = std::function<void(TRemoveWorker& Sender)>;
using TWorkerFactory =
    std::function<std::unique_ptr<TRemoveWorker>(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd)>;

// The engine's deletion worker, started at once (engine/BRISK_Remove).
std::unique_ptr<TRemoveWorker> CreateRemoveWorker(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd);
