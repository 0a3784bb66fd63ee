#pragma once
// The window's side of a test or run: it owns the worker, serves its steps from the
// event loop, takes its result lines into the log view, and shows its progress in
// the status bar and on the launcher. The window starts, stops and waits for runs
// through it and hears of their end.
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/RemoveWorker.h"

class QItemSelectionModel;
class QProgressBar;
class QTimer;
class TLogView;
class TPatternModel;
class TTaskbarProgress;

// How a test or run ended, as the window reports it.
struct TRunEnd {
  bool TestRun = false;
  TRunSummary Summary;
  bool Stopped = false;  // by Stop or a signal
  std::optional<EBriskoError> Error;
};

class TRunHost : public QObject, private TRemoveHost {
  Q_OBJECT
public:
  TRunHost(TPatternModel& Model, QItemSelectionModel& Selection, TLogView& Log, QProgressBar& ProgressBar,
           std::unique_ptr<TTaskbarProgress> Progress, TWorkerFactory Factory, QObject* Parent);
  // Stops a worker that still runs and waits for it: it would reach rows about to go.
  ~TRunHost() override;

  // Starts a worker over the selected rows; while one is still ending, the new one
  // starts once it is gone. One worker at a time: a second would walk the same rows.
  void Start(bool TestRun);
  void Stop();
  // A signal: stops at the next entry, also in the middle of a row.
  void Interrupt();
  // Waits with the event loop running (the worker's last steps run on this thread);
  // a start still pending is dropped.
  void Wait();
  bool Running() const { return FWorker != nullptr; }
  // A Test or Run waits for the running worker's end.
  bool Pending() const { return FPending.has_value(); }

  // A worker has started (also one that was pending).
  std::function<void()> OnStart;
  // Each batch of result lines once the log view has it; may move them out.
  std::function<void(std::vector<std::string>& Lines)> OnLines;
  // The end of a worker, after its lines and before a pending start.
  std::function<void(const TRunEnd& End)> OnEnd;
  // An error raised in a posted step, worded for the user.
  std::function<void(const std::exception& Error)> OnError;

signals:
  void Ended();

private:
  TPatternModel& FModel;
  QItemSelectionModel& FSelection;
  TLogView& FLog;
  QProgressBar& FProgressBar;
  std::unique_ptr<TTaskbarProgress> FProgress;
  TWorkerFactory FFactory;
  std::unique_ptr<TRemoveWorker> FWorker;
  bool FTestRun = false;
  std::optional<bool> FPending;  // Test or Run asked for while the old worker ends
  QTimer* FDeliveryTimer = nullptr;  // takes the worker's queued lines while it runs

  void Execute(bool TestRun);
  void WorkerEnded(TRemoveWorker& Sender);
  int RowPosition(TRow Row) const;
  bool RowSelected(int Position) const;

  // TRemoveHost: called on the user-interface thread.
  TRow FirstSelectedRow() override;
  TRow NextSelectedRow(TRow After) override;
  bool IsRowSelected(TRow Row) override;
  void UnselectRow(TRow Row) override;
  TItemTexts RowTexts(TRow Row) override;
  TReservation RowReservation(TRow Row) override;
  void SetRowReservation(TRow Row, TReservation Entries) override;
  void MarkMissingFolder(TRow Row, int Error) override;
  TReservation TakeRowReservation(TRow Row) override;
  void AppendLog(std::vector<std::string>& Lines) override;
  bool HasProgress() override;
  void SetProgressState(TProgressState State) override;
  void SetProgressValue(int64_t Completed, int64_t Total) override;
  void Synchronize(const std::function<void()>& Step) override;
  void Post(std::function<void()> Step) override;
};
