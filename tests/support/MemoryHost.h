#pragma once
// The worker's host held in memory, for tests and benchmarks. The thread that
// creates the host plays the user-interface thread: it serves the worker's steps
// while it pumps (RunWorker, Pump). Every host call made by the worker is recorded.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/RemoveHost.h"
#include "engine/TaskLoop.h"

class TRemoveThread;

class TMemoryHost : public TRemoveHost {
public:
  struct TMemoryRow {
    TItemTexts Texts;
    bool Selected = true;
    TReservation Reservation;
  };

  // What a worker left behind, captured in its end event.
  struct TOutcome {
    std::string ErrorMessage;
    bool Terminated = false;
    TRunSummary Summary;
  };

  TMemoryHost();
  ~TMemoryHost() override;

  TMemoryRow& AddRow(const TItemTexts& Texts, bool Selected = true);
  TMemoryRow& Row(size_t Index) { return *FRows.at(Index); }
  size_t RowCount() const { return FRows.size(); }
  // The index of a row handed to the worker.
  size_t IndexOf(TRow Row) const;

  // Starts a worker and serves it until its end event has run, then frees it.
  TOutcome RunWorker(bool TestRun);
  // The worker that RunWorker started; valid inside hooks only.
  TRemoveThread* Worker() const { return FWorker.get(); }
  // Serves the worker's steps until Done answers true (checked after each step).
  void Pump(const std::function<bool()>& Done);

  // Called on the user-interface thread at the end of every host call the worker
  // makes, with the call's name ("FirstSelectedRow", "SetRowReservation", "AppendLog",
  // ...) and the row it concerns (nullptr when none). A hook may stop the worker.
  std::function<void(std::string_view Call, TRow Row)> Hook;

  // Log lines; with KeepLog false only counted (benchmarks of a million lines).
  bool KeepLog = true;
  std::vector<std::string> Log;
  int64_t LogLines = 0;
  int64_t LogBatches = 0;
  bool Progress = true;
  std::vector<TProgressState> States;
  std::vector<std::pair<int64_t, int64_t>> Values;
  // Host calls that did not come on the user-interface thread; must stay 0.
  int OffThreadCalls = 0;

  // TRemoveHost
  TRow FirstSelectedRow() override;
  TRow NextSelectedRow(TRow After) override;
  bool IsRowSelected(TRow Row) override;
  void UnselectRow(TRow Row) override;
  TItemTexts RowTexts(TRow Row) override;
  TReservation RowReservation(TRow Row) override;
  void SetRowReservation(TRow Row, TReservation Entries) override;
  TReservation TakeRowReservation(TRow Row) override;
  void AppendLog(std::vector<std::string>& Lines) override;
  bool HasProgress() override;
  void SetProgressState(TProgressState State) override;
  void SetProgressValue(int64_t Completed, int64_t Total) override;
  void Synchronize(const std::function<void()>& Step) override;
  void Post(std::function<void()> Step) override;

private:
  void Called(std::string_view Call, TRow Row);
  TMemoryRow* RowOf(TRow Row) const { return static_cast<TMemoryRow*>(const_cast<void*>(Row)); }
  size_t PositionOf(TRow Row) const;

  std::vector<std::unique_ptr<TMemoryRow>> FRows;
  std::thread::id FUiThread;
  std::unique_ptr<TRemoveThread> FWorker;
  TTaskLoop FLoop;
};
