#include "app/UnattendedRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "app/PatternFile.h"
#include "engine/BRISK_Remove.h"
#include "engine/TaskLoop.h"
#include "platform/StopSignals.h"
#include "platform/TextCodec.h"
#include "shell/ShellTypes.h"
#include "shell/ShellUtils.h"

namespace {

using TClock = std::chrono::steady_clock;

void PrintError(const std::string& Message) {
  std::fprintf(stderr, "brisko: %s\n", Message.c_str());
  std::fflush(stderr);
}

void PrintError(const EBriskoError& Error, const TErrorWording& Word) { PrintError(Word ? Word(Error) : Error.what()); }

void WriteLines(std::FILE* Stream, const std::vector<std::string>& Lines) {
  std::string text;
  for (const std::string& line : Lines) (text += line) += '\n';
  std::fwrite(text.data(), 1, text.size(), Stream);
  std::fflush(Stream);
}

// Where a run's lines go: the log file, about once a second, or standard error once
// the log file has failed; a test's lines go to standard output.
class TLineSink {
public:
  TLineSink(bool TestRun, const TLogSettings& Settings, TRunOutput& Output, const TErrorWording& Word)
      : FTestRun(TestRun), FSettings(Settings), FOutput(Output), FWord(Word) {}

  // Standard output fails after the record is kept: the run then ends at its next entry.
  void Take(std::vector<std::string>& Lines) {
    std::exception_ptr outputError;
    try {
      FOutput.Write(Lines);
    } catch (...) {
      outputError = std::current_exception();
    }
    Record(Lines);
    if (outputError) std::rethrow_exception(outputError);
  }

  void Record(std::vector<std::string>& Lines) {
    if (FTestRun) return;
    if (FLogFailed) return WriteLines(stderr, Lines);
    if (!FSettings.SaveLog) return;
    FPending.insert(FPending.end(), std::make_move_iterator(Lines.begin()), std::make_move_iterator(Lines.end()));
    if (TClock::now() >= FNextWrite) Flush(false);
  }

  // The last flush writes also when no line is left: the log is then cut to its
  // limit, and a log that cannot be written is told of, as after any run.
  void Flush(bool Last) {
    const TClock::time_point start = TClock::now();
    FNextWrite = start + std::chrono::seconds(1);
    if (FLogFailed || !FSettings.SaveLog || FTestRun || (FPending.empty() && !Last)) return;
    try {
      SaveLogFile(FSettings.LogFile, FPending, FSettings.LogLinage);
      // Each write rewrites the newest Linage lines: with a large limit, space the
      // writes so that they never take more than a fifth of the run.
      FNextWrite = std::max(FNextWrite, TClock::now() + 4 * (TClock::now() - start));
    } catch (...) {
      // The record must not be lost: cron mails standard error, the journal keeps it.
      FLogFailed = true;
      PrintError(CurrentError(), FWord);
      WriteLines(stderr, FPending);
    }
    FPending.clear();
  }

  bool LogFailed() const { return FLogFailed; }

private:
  const bool FTestRun;
  const TLogSettings FSettings;
  TRunOutput& FOutput;
  const TErrorWording& FWord;
  std::vector<std::string> FPending;
  TClock::time_point FNextWrite = TClock::now() + std::chrono::seconds(1);
  bool FLogFailed = false;
};

// The pattern's items as rows that are all selected, served on the calling thread.
class TUnattendedHost : public TRemoveHost {
public:
  TUnattendedHost(const std::vector<TItemTexts>& Items, TLineSink& Sink) : FSink(Sink) {
    FRows.reserve(Items.size());
    for (const TItemTexts& texts : Items) FRows.push_back({texts, true, {}});
  }

  // Runs a worker to its end; Summary and Error then tell how it went.
  void Run(bool TestRun) {
    bool ended = false;
    FWorker = TRemoveThread::Create(*this, TestRun);
    FWorker->OnTerminate = [&](TRemoveThread& Worker) {
      FSummary = Worker.Summary();
      FError = Worker.Error();
      FWorker = nullptr;
      ended = true;
    };
    FLoop.Pump([&] { return ended; }, std::chrono::milliseconds(25), [this] {
      if (FWorker) FWorker->DeliverResults();
    });
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
  void AppendLog(std::vector<std::string>& Lines) override { FSink.Take(Lines); }
  bool HasProgress() override { return false; }
  void SetProgressState(TProgressState) override {}
  void SetProgressValue(int64_t, int64_t) override {}
  void Synchronize(const std::function<void()>& Step) override { FLoop.Synchronize(Step); }
  void Post(std::function<void()> Step) override { FLoop.Post(std::move(Step)); }

  TLineSink& FSink;
  std::vector<TRowData> FRows;
  TTaskLoop FLoop;
  TRemoveThread* FWorker = nullptr;
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

std::string NotRemovedMessage(const TRunSummary& Summary) {
  return Say(QT_TRANSLATE_N_NOOP("TRunText", "%n 件を削除できませんでした。最初のもの: %1: %2"),
             {Summary.FirstFailureEntry, std::strerror(Summary.FirstFailureCode)}, Summary.Failed);
}

namespace {

// The exit status of a run that has ended, with the reason on standard error.
int ExitStatus(const TUnattendedHost& Host, const TLineSink& Sink, int Signal, const TErrorWording& Word) {
  if (Signal) return 128 + Signal;
  if (Host.Error()) {
    PrintError(*Host.Error(), Word);
    return esError;
  }
  if (Sink.LogFailed()) return esError;
  if (Host.Summary().Failed > 0) {
    PrintError(NotRemovedMessage(Host.Summary()));
    return esNotRemoved;
  }
  return esSuccess;
}

}  // namespace

int RunUnattended(const std::string& PatternFile, bool TestRun, TStopSignals& Signals, TRunOutput& Output,
                  const TErrorWording& Word) {
  std::vector<TItemTexts> items;
  TLogSettings settings;
  try {
    items = LoadPattern(PatternFile);
    if (!TestRun) settings = LoadSettings();
  } catch (...) {
    PrintError(CurrentError(), Word);
    return esError;
  }
  if (items.empty()) {
    PrintError(Say(QT_TRANSLATE_NOOP("TRunText", "'%1' には実行するアイテムがありません"), {EscapeBytes(PatternFile)}));
    return esError;
  }
  WarnUnreadableLocations(items);

  TLineSink sink(TestRun, settings, Output, Word);
  TUnattendedHost host(items, sink);
  // A signal that came before anything was removed ends the program here.
  if (const int early = Signals.Forward([&host](int) { host.Interrupt(); })) return 128 + early;
  host.Run(TestRun);
  Signals.Forward(nullptr);
  sink.Flush(true);

  const int signal = Signals.Received();
  const int status = ExitStatus(host, sink, signal, Word);
  Output.End(host.Summary(), TestRun, signal != 0 || host.Error());
  return status;
}
