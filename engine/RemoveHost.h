#pragma once
// What the deletion worker needs of the window side. The worker calls these only on
// the user-interface thread: inside Synchronize, while the worker waits, or in a
// delivery of result lines (TRemoveThread::DeliverResults), which never makes the
// worker wait. The Qt window serves them from its event loop, the unattended run and
// the tests from a TTaskLoop.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/DeletionItem.h"
#include "engine/Reservation.h"
#include "platform/Removal.h"



// What a test or a run did, for the status bar and the exit status.
struct TRunSummary {
  int64_t Entries = 0;        // result lines
  int64_t Removed = 0;        // lines with the code 0: listed, in a test; Trashed included
  int64_t Trashed = 0;        // of Removed, the entries moved to (or, in a test, bound for) the trash
  uint64_t Bytes = 0;         // space freed (a run) or that would be freed (a test): see FreedSpace.h
  bool BytesLowerBound = false;  // a test counted folders due whole as themselves only: at least Bytes
  int64_t MissingFolders = 0; // rows whose Location does not exist or cannot be read
  int64_t Failed = 0;         // entries that could not be removed, those already gone aside
  int32_t FirstFailureCode = 0;
  std::string FirstFailureEntry;  // as its result line writes it
};

// Taskbar progress states.
enum TProgressState : int { psNoProgress = 0, psIndeterminate = 1, psNormal = 2 };

class TRemoveHost {
public:
  // A row of the pattern list; stays valid while a worker exists.
  using TRow = const void*;

  virtual ~TRemoveHost() = default;

  // Rows in list order; nullptr when there is none.
  virtual TRow FirstSelectedRow() = 0;
  virtual TRow NextSelectedRow(TRow After) = 0;
  virtual bool IsRowSelected(TRow Row) = 0;
  virtual void UnselectRow(TRow Row) = 0;
  virtual TItemTexts RowTexts(TRow Row) = 0;
  virtual TReservation RowReservation(TRow Row) = 0;
  virtual void SetRowReservation(TRow Row, TReservation Entries) = 0;
  // The remove pass's working copy of a row's reservation list; the worker gives it
  // back with SetRowReservation once the row is done. A host that holds the list
  // itself may hand it over instead of copying it: a list can hold a million entries.
  virtual TReservation TakeRowReservation(TRow Row) { return RowReservation(Row); }

  // The row's Location could not be listed (Error: ENOENT, EACCES, ...); the row
  // found nothing. Called in the collect pass, at most once per row and run.
  virtual void MarkMissingFolder(TRow Row, int Error) {
    (void)Row;
    (void)Error;
  }

  // Result lines, a batch at a time, in the order the worker made them; the host may
  // move them out of Lines.
  virtual void AppendLog(std::vector<std::string>& Lines) = 0;

  // False when there is no taskbar progress object; the worker then skips progress.
  virtual bool HasProgress() = 0;
  virtual void SetProgressState(TProgressState State) = 0;
  virtual void SetProgressValue(int64_t Completed, int64_t Total) = 0;

  // Runs Step on the user-interface thread and returns when it has returned.
  virtual void Synchronize(const std::function<void()>& Step) = 0;
  // Runs Step on the user-interface thread later, without waiting (the worker's end
  // event). It must queue Step and return, never run it inline on the calling
  // (worker) thread: the end event may free the worker, which joins its own thread.
  virtual void Post(std::function<void()> Step) = 0;
};
