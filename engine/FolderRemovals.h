#pragma once
// Folders due whole, removed for good by a few threads at once. Emptying a folder
// is a long series of small system calls that wait on the file system, so several
// folders go faster side by side; the worker still reports each entry's line itself,
// in list order (TRemoveThread::RemoveFolderFiles).
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/Removal.h"

class TFolderRemovals {
public:
  // One folder to remove: Name of ParentFd, which stays open until the removal is
  // done. The outcome fields belong to the pool's thread until Done answers true.
  struct TJob {
    int ParentFd = -1;
    std::string Name;
    TFoundEntry Found;
    int Code = 0;
    uint64_t Freed = 0;  // what the removal gave back, also when it failed part-way
    bool Finished = false;  // read through Done
  };

  // Threads: how many folders may be removed at once (at least one). Each removal
  // heeds Stop at its tree's next entry.
  TFolderRemovals(unsigned Threads, std::stop_token Stop);
  // Waits for the removals under way; every job handed over is removed first.
  ~TFolderRemovals();
  TFolderRemovals(const TFolderRemovals&) = delete;
  TFolderRemovals& operator=(const TFolderRemovals&) = delete;

  // How many threads fit this machine: one per core, at most four (beyond that the
  // file system, not the processor, sets the pace).
  static unsigned DefaultThreads();

  // Whether a job handed over now starts at once.
  bool HasIdleThread();
  // Starts removing Job, which stays in place until Done(Job).
  void Start(TJob& Job);
  bool Done(const TJob& Job);
  // How many jobs have finished so far; WaitPast waits until more than Seen have.
  uint64_t FinishedCount();
  void WaitPast(uint64_t Seen);
  // Waits until no job is under way or waiting.
  void WaitIdle();

private:
  void Work(std::stop_token Ending);

  const std::stop_token FStop;
  std::mutex FLock;
  std::condition_variable_any FChanged;
  std::vector<TJob*> FWaiting;
  unsigned FBusy = 0;  // jobs taken by a thread and not finished
  uint64_t FFinished = 0;
  std::vector<std::jthread> FThreads;  // last: they start once everything above exists
};
