#pragma once
// A user-interface thread without a user interface: the thread that calls Pump
// serves the steps other threads hand it, in the order they were handed. The
// unattended run serves its worker with it; so do the tests and benchmarks.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class TTaskLoop {
public:
  // Runs Step on the pumping thread and returns when it has returned.
  void Synchronize(const std::function<void()>& Step);
  // Queues Step for the pumping thread and returns at once.
  void Post(std::function<void()> Step);
  // Serves steps until Done answers true (checked before waiting for each step).
  void Pump(const std::function<bool()>& Done);
  // The same, and calls OnTick whenever Tick has passed since it was last called.
  void Pump(const std::function<bool()>& Done, std::chrono::milliseconds Tick, const std::function<void()>& OnTick);

private:
  struct TTask {
    std::function<void()> Run;
    std::atomic<bool>* Done;  // null for a posted task
  };
  std::mutex FMutex;
  std::condition_variable FTaskReady;
  std::condition_variable FTaskDone;
  std::deque<TTask> FTasks;
  std::atomic<size_t> FPending{0};  // FTasks.size(), readable without the lock
};
