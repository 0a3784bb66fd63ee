#include "app/RunHost.h"

#include <QEventLoop>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <utility>

#include "app/LogView.h"
#include "app/PatternModel.h"
#include "app/TaskbarProgress.h"

TRunHost::TRunHost(TPatternModel& Model, QItemSelectionModel& Selection, TLogView& Log, QProgressBar& ProgressBar,
                   std::unique_ptr<TTaskbarProgress> Progress, TWorkerFactory Factory, QObject* Parent)
    : QObject(Parent), FModel(Model), FSelection(Selection), FLog(Log), FProgressBar(ProgressBar),
      FProgress(std::move(Progress)), FFactory(Factory ? std::move(Factory) : CreateRemoveWorker) {
  FDeliveryTimer = new QTimer(this);
  FDeliveryTimer->setInterval(25);
  connect(FDeliveryTimer, &QTimer::timeout, this, [this] {
    if (FWorker) FWorker->DeliverResults();
  });
}

TRunHost::~TRunHost() {
  Stop();
  Wait();
}

void TRunHost::Start(bool TestRun) {
  if (FWorker)
    FPending = TestRun;
  else
    Execute(TestRun);
}

void TRunHost::Execute(bool TestRun) {
  FTestRun = TestRun;
  FWorker = FFactory(*this, TestRun, [this](TRemoveWorker& Sender) { WorkerEnded(Sender); });
  FDeliveryTimer->start();
  if (OnStart) OnStart();
}

void TRunHost::Stop() {
  if (FWorker) FWorker->Terminate();
}

void TRunHost::Interrupt() {
  if (FWorker) FWorker->Interrupt();
}

void TRunHost::Wait() {
  FPending.reset();
  while (FWorker) {
    QEventLoop loop;
    connect(this, &TRunHost::Ended, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
}

// The worker is freed when this returns: it touches nothing of itself after its end
// handler.
void TRunHost::WorkerEnded(TRemoveWorker& Sender) {
  if (&Sender != FWorker.get()) return;
  const std::unique_ptr<TRemoveWorker> ended = std::move(FWorker);
  FDeliveryTimer->stop();
  // An error leaves the last progress on the launcher; nothing is running any more.
  SetProgressState(psNoProgress);
  const TRunEnd end{FTestRun, Sender.Summary(), Sender.Terminated(), Sender.Error()};
  emit Ended();
  if (OnEnd) OnEnd(end);
  if (FPending && !FWorker) Execute(*std::exchange(FPending, std::nullopt));
}

int TRunHost::RowPosition(TRow Row) const { return FModel.IndexOf(static_cast<const TPatternRow*>(Row)); }

bool TRunHost::RowSelected(int Position) const { return FSelection.isRowSelected(Position, QModelIndex()); }

TRemoveHost::TRow TRunHost::FirstSelectedRow() {
  for (int i = 0; i < FModel.Count(); ++i)
    if (RowSelected(i)) return &FModel.Row(i);
  return nullptr;
}

TRemoveHost::TRow TRunHost::NextSelectedRow(TRow After) {
  const int position = RowPosition(After);
  if (position < 0) return nullptr;
  for (int i = position + 1; i < FModel.Count(); ++i)
    if (RowSelected(i)) return &FModel.Row(i);
  return nullptr;
}

bool TRunHost::IsRowSelected(TRow Row) {
  const int position = RowPosition(Row);
  return position >= 0 && RowSelected(position);
}

void TRunHost::UnselectRow(TRow Row) {
  const int position = RowPosition(Row);
  if (position >= 0)
    FSelection.select(FModel.index(position, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

TItemTexts TRunHost::RowTexts(TRow Row) {
  const int position = RowPosition(Row);
  return position >= 0 ? FModel.Row(position).Texts : TItemTexts{};
}

TReservation TRunHost::RowReservation(TRow Row) {
  const int position = RowPosition(Row);
  return position >= 0 ? FModel.Row(position).Reservation : TReservation{};
}

// The list is moved out rather than copied (it may hold a million entries); the
// worker gives it back with SetRowReservation once the row is done.
void TRunHost::MarkMissingFolder(TRow Row, int Error) {
  const int position = RowPosition(Row);
  if (position >= 0) FModel.SetLocationError(position, Error);
}

TReservation TRunHost::TakeRowReservation(TRow Row) {
  const int position = RowPosition(Row);
  return position >= 0 ? std::exchange(FModel.Row(position).Reservation, TReservation{}) : TReservation{};
}

void TRunHost::SetRowReservation(TRow Row, TReservation Entries) {
  const int position = RowPosition(Row);
  if (position >= 0) FModel.Row(position).Reservation = std::move(Entries);
}

void TRunHost::AppendLog(std::vector<std::string>& Lines) {
  FLog.AppendLines(Lines);
  if (OnLines) OnLines(Lines);
}

// The status bar always shows progress; the launcher only where there is one.
bool TRunHost::HasProgress() { return true; }

void TRunHost::SetProgressState(TProgressState State) {
  if (FProgress) FProgress->SetProgressState(State);
  FProgressBar.setVisible(State != psNoProgress);
  if (State == psIndeterminate) FProgressBar.setRange(0, 0);
}

void TRunHost::SetProgressValue(int64_t Completed, int64_t Total) {
  if (FProgress) FProgress->SetProgressValue(Completed, Total);
  // A row selected after the collect pass can take the count past the total.
  const int64_t total = std::max<int64_t>(Total, 1);
  const int64_t done = std::min(Completed, total);
  FProgressBar.setRange(0, 1000);
  FProgressBar.setValue(int(done * 1000 / total));
}

void TRunHost::Synchronize(const std::function<void()>& Step) {
  if (QThread::currentThread() == thread()) {
    Step();
    return;
  }
  // An error of the step belongs to the worker, not to the event loop.
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          Step();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void TRunHost::Post(std::function<void()> Step) {
  QMetaObject::invokeMethod(
      this,
      [this, Step = std::move(Step)] {
        try {
          Step();
        } catch (const std::exception& error) {
          if (OnError) OnError(error);
        }
      },
      Qt::QueuedConnection);
}
