#include "app/RunRecord.h"

#include <algorithm>
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

}  // namespace

void PrintError(const std::string& Message) {
  std::fprintf(stderr, "brisko: %s\n", Message.c_str());
  std::fflush(stderr);
}

std::string NotRemovedMessage(const TRunSummary& Summary) {
  return std::to_string(Summary.Failed) + (Summary.Failed == 1 ? " entry" : " entries") +
         " could not be removed; the first: " + Summary.FirstFailureEntry + ": " + std::strerror(Summary.FirstFailureCode);
}

TRunRecord::TRunRecord(bool TestRun, const TLogSettings& Settings, TErrorWording Word)
    : FTestRun(TestRun), FSettings(Settings), FWord(std::move(Word)), FNextWrite(TClock::now() + std::chrono::seconds(1)) {}

void TRunRecord::Take(std::vector<std::string>& Lines) {
  if (FTestRun) return WriteLines(stdout, Lines);
  if (FLogFailed) return WriteLines(stderr, Lines);
  if (!FSettings.SaveLog) return;
  FPending.insert(FPending.end(), std::make_move_iterator(Lines.begin()), std::make_move_iterator(Lines.end()));
  if (TClock::now() >= FNextWrite) Flush(false);
}

void TRunRecord::Close() { Flush(true); }

// The last flush writes also when no line is left: the log is then cut to its
// limit, and a log that cannot be written is told of, as after any run.
void TRunRecord::Flush(bool Last) {
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
