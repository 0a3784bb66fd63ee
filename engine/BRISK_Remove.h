#pragma once
// The deletion worker: a test or a run over the selected rows of the pattern list.
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include <unordered_map>

#include "engine/DeletionItem.h"
#include "engine/FolderSweep.h"
#include "engine/RemoveHost.h"
#include "platform/FileHandle.h"

// Runs on a thread of its own. Everything it reads from or writes to the window goes
// through the host, inside Synchronize, while the worker waits.
class TRemoveThread : private TRunSettings {
public:
  // Starts the worker at once. Its first act is a synchronous step, so the creator
  // may assign OnTerminate right after construction.
  static TRemoveThread* Create(TRemoveHost& Host, bool TestRun);

  // Asks the worker to stop at its next check.
  void Terminate();
  bool Terminated() const;

  // Runs on the user-interface thread after Execute has ended (normally, by a stop
  // or by an error); with FreeOnTerminate the worker deletes itself right after.
  std::function<void(TRemoveThread&)> OnTerminate;
  bool FreeOnTerminate = true;

  // The message of the error that ended the run early; empty after a normal end.
  const std::string& ErrorMessage() const { return FErrorMessage; }

  // Stops the worker if it still runs and waits for its thread. Call it only on a
  // worker that has ended (from OnTerminate or later) or with the host's loop still
  // serving the worker's steps on another thread.
  ~TRemoveThread();

  // One result line: "yyyy/mm/dd hh:nn:ss", the mark, the code as at least four
  // upper-case hexadecimal digits after "0x", the entry.
  static std::string FormatResult(TDateTime Time, std::string_view Mark, int32_t Code, std::string_view Entry);

private:
  TRemoveThread(TRemoveHost& Host, bool TestRun);
  std::jthread Start();
  void Run(std::stop_token Stop);
  void EndEvent();
  bool StopRequested() const { return FStop.stop_requested(); }

  // Worker thread.
  void Execute();
  void ScanFolder();
  void ScanBitbucket();
  void RemoveReservation(const std::string& Bitbucket);
  void RemoveFolderFiles();
  void RemoveBitbucketFiles();
  int RemoveFile(const TReservationEntry& Entry, unsigned Flags);

  // Steps run on the user-interface thread while the worker waits. An error raised in
  // a step reaches the worker as if raised there.
  void Synchronize(void (TRemoveThread::*Step)());
  void FirstItem();
  void NextItem();
  void ParseItem();
  void StoreReservation();
  void LoadReservation();
  void ReportResult();
  void UnselectItem();
  void UpdateState();

  TRemoveHost& FHost;
  const bool FTestRun;
  int32_t FFlags = psNoProgress;   // the progress state the next state step sets
  int64_t FTotal = 0;              // entries found by the collect pass
  int64_t FCompleted = 0;          // result lines reported
  TRemoveHost::TRow FListItem = nullptr;
  TReservation FDeletion;          // the current row's due entries
  std::string FResultMsg;          // the line being handed to the window
  std::string FErrorMessage;
  // The Location folder each row's sweep listed: the remove pass acts only there.
  std::unordered_map<TRemoveHost::TRow, TSweptFolder> FSweptFolders;
  // The folder of the entries being removed, open while a row is removed; Error set
  // when it could not be opened or is no longer the folder the sweep listed.
  struct TOpenFolder {
    std::string Path;
    TFd Fd;
    int Error = 0;
  };
  std::optional<TOpenFolder> FParent;
  std::stop_token FStop;           // the worker's own copy, read on its thread only
  std::jthread FThread;            // last: starts once everything above exists
};
