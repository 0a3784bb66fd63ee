#include "support/MemoryHost.h"

#include <stdexcept>

#include "engine/BRISK_Remove.h"

TMemoryHost::TMemoryHost() : FUiThread(std::this_thread::get_id()) {}

TMemoryHost::~TMemoryHost() = default;

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
  FWorker = TRemoveThread::Create(*this, TestRun, [&](TRemoveWorker& Worker) {
    outcome.ErrorMessage = Worker.Error() ? Worker.Error()->what() : "";
    outcome.Terminated = Worker.Terminated();
    outcome.Summary = Worker.Summary();
    ended = true;
  });
  Pump([&] { return ended; });
  FWorker.reset();
  return outcome;
}

void TMemoryHost::Pump(const std::function<bool()>& Done) { FLoop.Pump(Done); }

void TMemoryHost::Synchronize(const std::function<void()>& Step) { FLoop.Synchronize(Step); }

void TMemoryHost::Post(std::function<void()> Step) { FLoop.Post(std::move(Step)); }

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

void TMemoryHost::AppendLog(std::vector<std::string>& Lines) {
  LogLines += static_cast<int64_t>(Lines.size());
  ++LogBatches;
  if (KeepLog) Log.insert(Log.end(), std::make_move_iterator(Lines.begin()), std::make_move_iterator(Lines.end()));
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
