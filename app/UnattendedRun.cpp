#include "app/UnattendedRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "app/CommandLine.h"
#include "app/PatternFile.h"
#include "engine/RemoveWorker.h"
#include "engine/TaskLoop.h"
#include "platform/StopSignals.h"
#include "platform/TextCodec.h"
#include "shell/ShellTypes.h"
#include "shell/ShellUtils.h"

namespace {

// The pattern's items as rows that are all selected, served on the calling thread.
class TUnattendedHost : public TRemoveHost {
public:
  TUnattendedHost(const std::vector<TItemTexts>& Items, TRunRecord& Record) : FRecord(Record) {
    FRows.reserve(Items.size());
    for (const TItemTexts& texts : Items) FRows.push_back({texts, true, {}});
  }

  // Runs a worker to its end; Summary and Error then tell how it went.
  void Run(bool TestRun) {
    bool ended = false;
    FWorker = CreateRemoveWorker(*this, TestRun, [&](TRemoveWorker& Worker) {
      FSummary = Worker.Summary();
      FError = Worker.Error();
      ended = true;
    });
    FLoop.Pump([&] { return ended; }, std::chrono::milliseconds(25), [this] { FWorker->DeliverResults(); });
    FWorker.reset();
  }

  // From the signal watcher's thread: the worker is reached on this host's thread.
  void Interrupt() {
    FLoop.Post([this] {
      if (FWorker) FWorker->Interrupt();
    });
  }

  const TRunSummary& Summary() const { return FSummary; }
  const std::optional<EBriskoError>& Error() const { return FError; }

private:
  struct TRowData {
    TItemTexts Texts;
    bool Selected;
    TReservation Reservation;
  };
  TRowData& RowOf(TRow Row) { return *static_cast<TRowData*>(const_cast<void*>(Row)); }
  TRow Next(size_t From) {
    for (size_t i = From; i < FRows.size(); ++i)
      if (FRows[i].Selected) return &FRows[i];
    return nullptr;
  }

  TRow FirstSelectedRow() override { return Next(0); }
  TRow NextSelectedRow(TRow After) override { return Next(size_t(&RowOf(After) - FRows.data()) + 1); }
  bool IsRowSelected(TRow Row) override { return RowOf(Row).Selected; }
  void UnselectRow(TRow Row) override { RowOf(Row).Selected = false; }
  TItemTexts RowTexts(TRow Row) override { return RowOf(Row).Texts; }
  TReservation RowReservation(TRow Row) override { return RowOf(Row).Reservation; }
  TReservation TakeRowReservation(TRow Row) override { return std::exchange(RowOf(Row).Reservation, {}); }
  void SetRowReservation(TRow Row, TReservation Entries) override { RowOf(Row).Reservation = std::move(Entries); }
  void AppendLog(std::vector<std::string>& Lines) override { FRecord.Take(Lines); }
  bool HasProgress() override { return false; }
  void SetProgressState(TProgressState) override {}
  void SetProgressValue(int64_t, int64_t) override {}
  void Synchronize(const std::function<void()>& Step) override { FLoop.Synchronize(Step); }
  void Post(std::function<void()> Step) override { FLoop.Post(std::move(Step)); }

  TRunRecord& FRecord;
  std::vector<TRowData> FRows;
  TTaskLoop FLoop;
  std::unique_ptr<TRemoveWorker> FWorker;
  TRunSummary FSummary;
  std::optional<EBriskoError> FError;
};

}  // namespace

// A mistyped or vanished folder would otherwise go unnoticed for months: the sweep
// simply finds nothing in it.
void WarnUnreadableLocations(const std::vector<TItemTexts>& Items) {
  const std::string trash = GetSpecialFolderName(CSIDL_BITBUCKET);
  for (const TItemTexts& item : Items) {
    const std::string& location = item[itLocation];
    // A Location the run refuses is reported by the run itself.
    if (location.empty() || location == trash || LocationFault(location) != lfNone) continue;
    const int fd = open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      close(fd);
      continue;
    }
    const int error = errno;
    PrintError(error == ENOENT
                   ? Say(QT_TRANSLATE_NOOP("TRunText", "警告: フォルダ \"%1\" は存在しません"), {EscapeBytes(location)})
                   : Say(QT_TRANSLATE_NOOP("TRunText", "警告: フォルダ \"%1\" を読めません: %2"),
                         {EscapeBytes(location), std::strerror(error)}));
  }
}

int RunUnattended(const std::string& PatternFile, bool TestRun, TStopSignals& Signals, const TRunOutput& Output,
                  const TErrorWording& Word) {
  std::vector<TItemTexts> items;
  TLogSettings settings;
  std::vector<EBriskoError> warnings;
  try {
    items = LoadPattern(PatternFile);
    if (!TestRun) settings = LoadSettings(&warnings);
  } catch (...) {
    const EBriskoError error = CurrentError();
    PrintError(Word ? Word(error) : std::string(error.what()));
    return esError;
  }
  for (const EBriskoError& warning : warnings)
    PrintError(Say(QT_TRANSLATE_NOOP("TRunText", "警告: %1"), {Word ? Word(warning) : warning.what()}));
  if (items.empty()) {
    PrintError(Say(QT_TRANSLATE_NOOP("TRunText", "'%1' には実行するアイテムがありません"), {EscapeBytes(PatternFile)}));
    return esError;
  }
  WarnUnreadableLocations(items);

  TRunRecord record(TestRun, settings, Word, Output);
  if (!record.CheckLog()) return record.ExitStatus();
  TUnattendedHost host(items, record);
  // A signal that came before anything was removed ends the program here.
  if (const int early = Signals.Forward([&host](int Signal) {
        NoteStopSignal(Signal);  // a wait for the log's lock gives up at once
        host.Interrupt();
      }))
    return 128 + early;
  host.Run(TestRun);
  // Still listening while the last lines wait for the log's lock: a signal ends that wait.
  record.Close();
  Signals.Forward(nullptr);
  if (const int signal = Signals.Received()) record.Interrupted(signal);
  record.End(host.Summary(), host.Error());
  return record.ExitStatus();
}
