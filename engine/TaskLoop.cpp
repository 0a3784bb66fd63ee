#include "engine/TaskLoop.h"

#include <chrono>

#include "engine/SpinWait.h"

void TTaskLoop::Pump(const std::function<bool()>& Done) { Pump(Done, std::chrono::milliseconds::max(), {}); }

void TTaskLoop::Pump(const std::function<bool()>& Done, std::chrono::milliseconds Tick,
                     const std::function<void()>& OnTick) {
  using TClock = std::chrono::steady_clock;
  const bool ticking = static_cast<bool>(OnTick);
  auto nextTick = ticking ? TClock::now() + Tick : TClock::time_point::max();
  while (!Done()) {
    if (ticking && TClock::now() >= nextTick) {
      OnTick();
      nextTick = TClock::now() + Tick;
      continue;
    }
    SpinFor([&] { return FPending.load(std::memory_order_acquire) > 0; });
    TTask task;
    {
      std::unique_lock lock(FMutex);
      const auto ready = [&] { return !FTasks.empty(); };
      if (ticking)
        FTaskReady.wait_until(lock, nextTick, ready);
      else
        FTaskReady.wait(lock, ready);
      if (FTasks.empty()) continue;  // time to tick
      task = std::move(FTasks.front());
      FTasks.pop_front();
      FPending.store(FTasks.size(), std::memory_order_release);
    }
    task.Run();
    if (task.Done) {
      std::lock_guard lock(FMutex);
      task.Done->store(true, std::memory_order_release);
      FTaskDone.notify_all();
    }
  }
}

void TTaskLoop::Synchronize(const std::function<void()>& Step) {
  std::atomic<bool> done{false};
  {
    std::lock_guard lock(FMutex);
    FTasks.push_back({Step, &done});
    FPending.store(FTasks.size(), std::memory_order_release);
    FTaskReady.notify_one();
  }
  if (SpinFor([&] { return done.load(std::memory_order_acquire); })) {
    // The pump may still be inside its notify under the lock: let it leave before
    // "done" goes out of scope.
    std::lock_guard lock(FMutex);
    return;
  }
  std::unique_lock lock(FMutex);
  FTaskDone.wait(lock, [&] { return done.load(std::memory_order_acquire); });
}

void TTaskLoop::Post(std::function<void()> Step) {
  std::lock_guard lock(FMutex);
  FTasks.push_back({std::move(Step), nullptr});
  FPending.store(FTasks.size(), std::memory_order_release);
  FTaskReady.notify_one();
}
