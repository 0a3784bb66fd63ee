#pragma once
// The deletion worker: a test or a run over the selected rows of the pattern list.
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <memory>
#include <unordered_map>

#include "engine/DeletionItem.h"
#include "engine/FolderSweep.h"
#include "engine/RemoveHost.h"
#include "engine/RemoveWorker.h"
#include "platform/BriskoError.h"
#include "platform/FileHandle.h"
#include "platform/Trash.h"

class TFolderRemovals;

// Runs on a thread of its own. What it needs to know of the window it asks for inside
// Synchronize, while it waits. Result lines do not wait: they are queued, and reach
// the host in batches (DeliverResults).
class TEntryLooker;

class TRemoveThread : public TRemoveWorker, private TRunSettings {
public:
  // Starts the worker at once; OnEnd is its end handler (see engine/RemoveWorker.h).
  static std::unique_ptr<TRemoveThread> Create(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd);

  // Asks the worker to stop at its next check: before the next row, the next entry of
  // a sweep, or the next entry of a row being removed; that row keeps its selection
  // and its remaining entries are not touched.
  void Terminate() override;
  bool Terminated() const override;
  // The same stop, asked because the process is being asked to end (a signal).
  void Interrupt() override;

  // Hands the lines queued so far to the host (AppendLog), with the progress value of
  // the last of them. Runs on the user-interface thread; the worker has it run before
  // each of its steps, every few thousand lines and at its end, and the host may run
  // it whenever it likes (a timer). An error the host raises ends the run.
  void DeliverResults() override;

  // Valid once the worker has ended (its end handler).
  const TRunSummary& Summary() const override { return FSummary; }
  // The error that ended the run early; none after a normal end.
  const std::optional<EBriskoError>& Error() const override { return FError; }

  // Stops the worker if it still runs and waits for its thread. Call it only on a
  // worker that has ended (from its end handler or later) or with the host's loop
  // still serving the worker's steps on another thread.
  ~TRemoveThread() override;

  // One result line: "yyyy/mm/dd hh:nn:ss", the mark, the code as at least four
  // upper-case hexadecimal digits after "0x", the entry with its control characters,
  // backslashes and non-UTF-8 bytes escaped (EscapeBytes): one line names one entry,
  // and its name's bytes can be read back from it.
  static std::string FormatResult(TDateTime Time, std::string_view Mark, int32_t Code, std::string_view Entry);

private:
  TRemoveThread(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd);
  void Run(std::stop_token Stop);
  void EndEvent();
  bool StopRequested() const { return FStop.stop_requested(); }

  // Worker thread.
  void Execute();
  void ScanFolder();
  void ScanBitbucket();
  void RemoveReservation(const std::string& Bitbucket);
  void RemoveFolderFiles();
  void TestFolderFiles();
  void RemoveFolderFilesForGood();
  struct TStartedEntry;
  bool StartEntry(size_t Index, std::deque<TStartedEntry>& Started, TEntryLooker* Looker);
  bool EntryDone(const TStartedEntry& Entry);
  void ReportStarted(const TStartedEntry& Started);
  void MoveFolderFilesToTrash();
  void RemoveBitbucketFiles();
  int AddToTrashBatch(size_t Index, TTrashBatch& Batch);
  int RemoveFile(const TEntryPlace& Place, const TFoundEntry& Found);
  int RemoveLookedFile(size_t Index, TEntryLooker& Looker);
  int OpenParent(const TEntryPlace& Place);

  // Steps run on the user-interface thread while the worker waits. An error raised in
  // a step reaches the worker as if raised there.
  void Synchronize(void (TRemoveThread::*Step)());
  void FirstItem();
  void NextItem();
  void ParseItem();
  void StoreReservation();
  void LoadReservation();
  void ReportResult(int32_t Code, std::string_view Entry, uint64_t Size);
  void RaiseDeliveryError();
  void UnselectItem();
  void UpdateState();
  void MarkMissingFolder();
  static int LocationError(const std::string& Location);

  TRemoveHost& FHost;
  const bool FTestRun;
  TWorkerEnd FOnEnd;
  int32_t FFlags = psNoProgress;   // the progress state the next state step sets
  int64_t FTotal = 0;              // entries found by the collect pass
  int64_t FCompleted = 0;          // result lines reported
  TRemoveHost::TRow FListItem = nullptr;
  TReservation FDeletion;          // the current row's due entries
  std::optional<EBriskoError> FError;
  TRunSummary FSummary;            // worker thread until the end
  bool FRowCut = false;            // a stop came before the last entry of the row
  bool FToTrash = false;           // the row being removed moves its entries to the trash
  int FMissingFolderError = 0;     // why the current row's Location could not be listed
  // Lines on their way to the host, with the progress value of the last one.
  struct TResultQueue {
    std::mutex Lock;
    std::vector<std::string> Lines;
    int64_t Completed = 0;
    int64_t Total = 0;
    bool DeliveryPosted = false;
    std::exception_ptr Error;      // raised by the host in a delivery; ends the run
  } FResults;
  // The Location folder each row's sweep listed: the remove pass acts only there.
  std::unordered_map<TRemoveHost::TRow, TSweptFolder> FSweptFolders;
  // The folder of the entries being removed, open while a row is removed; Error set
  // when it could not be opened or is no longer the folder the sweep listed.
  struct TOpenFolder {
    uint32_t FolderId = 0;           // its number in the row's list
    std::string Path;                // resolved: absolute, without links
    TFd Fd;
    int Error = 0;
    std::optional<TTrashMover> Trash;  // with "B": its trash, found on the first move
  };
  std::optional<TOpenFolder> FParent;
  // Removes the folders due whole of a run for good, a few at once; made at the
  // first such folder, ended with the run.
  std::unique_ptr<TFolderRemovals> FFolders;
  std::stop_token FStop;           // the worker's own copy, read on its thread only
  std::jthread FThread;            // last: starts once everything above exists
};
