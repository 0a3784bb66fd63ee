#include "engine/BRISK_Remove.h"

// Placeholder until the worker lands: ends at once without touching any row.
TRemoveThread* TRemoveThread::Create(TRemoveHost& Host, bool TestRun) {
  auto* thread = new TRemoveThread(Host, TestRun);
  Host.Post([thread] {
    if (thread->OnTerminate) thread->OnTerminate(*thread);
    if (thread->FreeOnTerminate) delete thread;
  });
  return thread;
}
TRemoveThread::TRemoveThread(TRemoveHost& Host, bool TestRun) : FHost(Host), FTestRun(TestRun) {}
TRemoveThread::~TRemoveThread() = default;
void TRemoveThread::Terminate() {}
bool TRemoveThread::Terminated() const { return false; }
