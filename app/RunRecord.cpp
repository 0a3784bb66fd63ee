#include "app/RunRecord.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "app/CommandLine.h"

namespace {

void WriteLines(std::FILE* Stream, const std::vector<std::string>& Lines) {
  std::string text;
  for (const std::string& line : Lines) (text += line) += '\n';
  std::fwrite(text.data(), 1, text.size(), Stream);
  std::fflush(Stream);
}

// A stop signal the process received; 0 when none.
std::atomic<int> StopSignal{0};

// Lines the log may gain beyond its limit before it is cut during a run: cutting
// rewrites the file, so not every second.
constexpr int64_t CutSlack = 100000;

// Lines held for the next write: a fast run writes before its second is up rather
// than hold a second's lines (a few megabytes) in memory.
constexpr size_t MaxPendingLines = 16384;

}  // namespace

void NoteStopSignal(int Signal) { StopSignal.store(Signal); }

void PrintError(const std::string& Message) {
  std::fprintf(stderr, "brisko: %s\n", Message.c_str());
  std::fflush(stderr);
}

std::string NotRemovedMessage(const TRunSummary& Summary) {
  return Say(QT_TRANSLATE_N_NOOP("TRunText", "%n 件を削除できませんでした。最初のもの: %1: %2"),
             {Summary.FirstFailureEntry, std::strerror(Summary.FirstFailureCode)}, Summary.Failed);
}

TRunRecord::TRunRecord(bool TestRun, const TLogSettings& Settings, TErrorWording Word, std::optional<TRunOutput> Output)
    : FTestRun(TestRun),
      FSettings(Settings),
      FWord(std::move(Word)),
      FOutput(Output.value_or(TRunOutput(TestRun, TestRun))),
      FNextWrite(TClock::now() + std::chrono::seconds(1)) {}

bool TRunRecord::CheckLog() {
  if (FTestRun || !FSettings.SaveLog) return true;
  try {
    CheckLogFile(FSettings.LogFile);
    return true;
  } catch (...) {
    Fail(CurrentError());
    return false;
  }
}

// Standard output failing ends the run, but only once the lines are in the record.
void TRunRecord::Take(std::vector<std::string>& Lines) {
  std::exception_ptr outputError;
  try {
    FOutput.Write(Lines);
  } catch (...) {
    outputError = std::current_exception();
  }
  Record(Lines);
  if (outputError) std::rethrow_exception(outputError);
}

void TRunRecord::Record(std::vector<std::string>& Lines) {
  if (FTestRun) return;
  if (FLogFailed) return WriteLines(stderr, Lines);
  if (!FSettings.SaveLog) return;
  FPending.insert(FPending.end(), std::make_move_iterator(Lines.begin()), std::make_move_iterator(Lines.end()));
  if (FPending.size() >= MaxPendingLines || TClock::now() >= FNextWrite) Flush(false);
}

void TRunRecord::Close() { Flush(true); }

// The last flush cuts the log also when no line is left, and a log that cannot be
// written is told of, as after any run.
void TRunRecord::Flush(bool Last) {
  FNextWrite = TClock::now() + std::chrono::seconds(1);
  if (FLogFailed || !FSettings.SaveLog || FTestRun || (FPending.empty() && !Last)) return;
  const auto stopped = [] { return StopSignal.load() != 0; };
  try {
    AppendLogFile(FSettings.LogFile, FPending, stopped);
    FAddedSinceCut += static_cast<int64_t>(FPending.size());
    FPending.clear();
    if (Last || FAddedSinceCut > std::max<int64_t>(FSettings.LogLinage, CutSlack)) {
      CutLogFile(FSettings.LogFile, FSettings.LogLinage, stopped);
      FAddedSinceCut = 0;
    }
  } catch (...) {
    // The record must not be lost: cron mails standard error, the journal keeps it.
    FLogFailed = true;
    Fail(CurrentError());
    WriteLines(stderr, FPending);
  }
  FPending.clear();
}

void TRunRecord::Fail(const std::string& Message) {
  PrintError(Message);
  FFailed = true;
}

void TRunRecord::Fail(const EBriskoError& Error) { Fail(FWord ? FWord(Error) : std::string(Error.what())); }

void TRunRecord::End(const TRunSummary& Summary, const std::optional<EBriskoError>& Error) {
  Judge(Summary, Error);
  FOutput.End(Summary, FTestRun, FSignal != 0 || Error);
}

void TRunRecord::Judge(const TRunSummary& Summary, const std::optional<EBriskoError>& Error) {
  if (FSignal != 0) return;
  if (Error) return Fail(*Error);
  if (Summary.Failed == 0 || FFailed) return;
  PrintError(NotRemovedMessage(Summary));
  FNotRemoved = true;
}

int TRunRecord::ExitStatus() const {
  if (FSignal != 0) return 128 + FSignal;
  if (FFailed) return esError;
  return FNotRemoved ? esNotRemoved : esSuccess;
}
