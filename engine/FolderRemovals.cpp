#include "engine/FolderRemovals.h"

#include <pthread.h>

#include <algorithm>

TFolderRemovals::TFolderRemovals(unsigned Threads, std::stop_token Stop) : FStop(std::move(Stop)) {
  for (unsigned i = 0; i < std::max(Threads, 1u); ++i)
    FThreads.emplace_back([this](std::stop_token Ending) { Work(std::move(Ending)); });
}

// The threads then end as they are destroyed: each waits on FChanged with its own
// stop token, which the jthread's destructor requests.
TFolderRemovals::~TFolderRemovals() { WaitIdle(); }

unsigned TFolderRemovals::DefaultThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

bool TFolderRemovals::HasIdleThread() {
  std::lock_guard lock(FLock);
  return FBusy + FWaiting.size() < FThreads.size();
}

void TFolderRemovals::Start(TJob& Job) {
  {
    std::lock_guard lock(FLock);
    FWaiting.push_back(&Job);
  }
  FChanged.notify_all();
}

bool TFolderRemovals::Done(const TJob& Job) {
  std::lock_guard lock(FLock);
  return Job.Finished;
}

uint64_t TFolderRemovals::FinishedCount() {
  std::lock_guard lock(FLock);
  return FFinished;
}

void TFolderRemovals::WaitPast(uint64_t Seen) {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FFinished > Seen; });
}

void TFolderRemovals::WaitIdle() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FBusy == 0 && FWaiting.empty(); });
}

// A job is never dropped once handed over: the worker reports a line for it. A stop
// requested meanwhile ends its walk before the first entry (ECANCELED).
void TFolderRemovals::Work(std::stop_token Ending) {
  pthread_setname_np(pthread_self(), "RemoveFolder");
  std::unique_lock lock(FLock);
  while (FChanged.wait(lock, Ending, [&] { return !FWaiting.empty(); })) {
    TJob& job = *FWaiting.front();
    FWaiting.erase(FWaiting.begin());
    ++FBusy;
    lock.unlock();
    TTreeRemoval tree{FStop, true, 0};
    job.Code = RemoveFoundEntryForGood(job.ParentFd, job.Name, job.Found, false, &tree);
    job.Freed = tree.Freed;
    lock.lock();
    job.Finished = true;
    --FBusy;
    ++FFinished;
    FChanged.notify_all();
  }
}
