#include "support/MemoryHost.h"

#include <chrono>
#include <stdexcept>

#include "engine/BRISK_Remove.h"

namespace {

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// A step is a short hand-over between two threads. Waiting a few microseconds
// before going to sleep saves two trips through the scheduler per step when the
// other side answers quickly, as it does when both threads have a processor.
template <typename TReady>
bool SpinFor(const TReady& Ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
  do {
    for (int i = 0; i < 64; ++i) {
      if (Ready()) return true;
      CpuRelax();
    }
  } while (std::chrono::steady_clock::now() < until);
  return Ready();
}

}  // namespace

TMemoryHost::TMemoryHost() : FUiThread(std::this_thread::get_id()) {}

TMemoryHost::TMemoryRow& TMemoryHost::AddRow(const TItemTexts& Texts, bool Selected) {
  FRows.push_back(std::make_unique<TMemoryRow>(TMemoryRow{Texts, Selected, {}}));
  return *FRows.back();
}

size_t TMemoryHost::PositionOf(TRow Row) const {
  for (size_t i = 0; i < FRows.size(); ++i)
    if (FRows[i].get() == Row) return i;
  throw std::logic_error("the worker named a row that does not exist");
}

size_t TMemoryHost::IndexOf(TRow Row) const { return PositionOf(Row); }

void TMemoryHost::Called(std::string_view Call, TRow Row) {
  if (std::this_thread::get_id() != FUiThread) ++OffThreadCalls;
  if (Hook) Hook(Call, Row);
}

TMemoryHost::TOutcome TMemoryHost::RunWorker(bool TestRun) {
  TOutcome outcome;
  bool ended = false;
  FWorker = TRemoveThread::Create(*this, TestRun);
  FWorker->OnTerminate = [&](TRemoveThread& Worker) {
    outcome.ErrorMessage = Worker.ErrorMessage();
    outcome.Terminated = Worker.Terminated();
    ended = true;
  };
  Pump([&] { return ended; });
  FWorker = nullptr;
  return outcome;
}

void TMemoryHost::Pump(const std::function<bool()>& Done) {
  while (!Done()) {
    SpinFor([&] { return FPending.load(std::memory_order_acquire) > 0; });
    TTask task;
    {
      std::unique_lock lock(FMutex);
      FTaskReady.wait(lock, [&] { return !FTasks.empty(); });
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

void TMemoryHost::Synchronize(const std::function<void()>& Step) {
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

void TMemoryHost::Post(std::function<void()> Step) {
  std::lock_guard lock(FMutex);
  FTasks.push_back({std::move(Step), nullptr});
  FPending.store(FTasks.size(), std::memory_order_release);
  FTaskReady.notify_one();
}

TRemoveHost::TRow TMemoryHost::FirstSelectedRow() {
  TRow found = nullptr;
  for (const auto& row : FRows)
    if (row->Selected) {
      found = row.get();
      break;
    }
  Called("FirstSelectedRow", found);
  return found;
}

TRemoveHost::TRow TMemoryHost::NextSelectedRow(TRow After) {
  TRow found = nullptr;
  for (size_t i = PositionOf(After) + 1; i < FRows.size(); ++i)
    if (FRows[i]->Selected) {
      found = FRows[i].get();
      break;
    }
  Called("NextSelectedRow", found);
  return found;
}

bool TMemoryHost::IsRowSelected(TRow Row) {
  const bool selected = RowOf(Row)->Selected;
  Called("IsRowSelected", Row);
  return selected;
}

void TMemoryHost::UnselectRow(TRow Row) {
  RowOf(Row)->Selected = false;
  Called("UnselectRow", Row);
}

TItemTexts TMemoryHost::RowTexts(TRow Row) {
  Called("RowTexts", Row);
  return RowOf(Row)->Texts;
}

TReservation TMemoryHost::RowReservation(TRow Row) {
  Called("RowReservation", Row);
  return RowOf(Row)->Reservation;
}

TReservation TMemoryHost::TakeRowReservation(TRow Row) {
  Called("TakeRowReservation", Row);
  return std::exchange(RowOf(Row)->Reservation, TReservation());
}

void TMemoryHost::SetRowReservation(TRow Row, TReservation Entries) {
  RowOf(Row)->Reservation = std::move(Entries);
  Called("SetRowReservation", Row);
}

void TMemoryHost::AppendLog(const std::string& Line) {
  ++LogLines;
  if (KeepLog) Log.push_back(Line);
  Called("AppendLog", nullptr);
}

bool TMemoryHost::HasProgress() {
  Called("HasProgress", nullptr);
  return Progress;
}

void TMemoryHost::SetProgressState(TProgressState State) {
  States.push_back(State);
  Called("SetProgressState", nullptr);
}

void TMemoryHost::SetProgressValue(int64_t Completed, int64_t Total) {
  if (KeepLog) Values.emplace_back(Completed, Total);
  Called("SetProgressValue", nullptr);
}
