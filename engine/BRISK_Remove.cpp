#include "engine/BRISK_Remove.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <climits>
#include <exception>

#include "engine/EntryLooker.h"
#include "engine/FolderRemovals.h"
#include "engine/FolderSweep.h"
#include "engine/FreedSpace.h"
#include "engine/TrashSweep.h"
#include "platform/Paths.h"
#include "platform/Removal.h"
#include "platform/TextCodec.h"
#include "platform/Trash.h"
#include "platform/TrustedPath.h"
#include "shell/ShellTypes.h"

std::unique_ptr<TRemoveThread> TRemoveThread::Create(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd) {
  return std::unique_ptr<TRemoveThread>(new TRemoveThread(Host, TestRun, std::move(OnEnd)));
}

std::unique_ptr<TRemoveWorker> CreateRemoveWorker(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd) {
  return TRemoveThread::Create(Host, TestRun, std::move(OnEnd));
}

// The thread is the last field: it starts once every other one is in place.
TRemoveThread::TRemoveThread(TRemoveHost& Host, bool TestRun, TWorkerEnd OnEnd)
    : FHost(Host), FTestRun(TestRun), FOnEnd(std::move(OnEnd)),
      FThread([this](std::stop_token Stop) { Run(std::move(Stop)); }) {}

TRemoveThread::~TRemoveThread() = default;

void TRemoveThread::Terminate() { FThread.request_stop(); }

void TRemoveThread::Interrupt() { FThread.request_stop(); }

bool TRemoveThread::Terminated() const { return FThread.get_stop_token().stop_requested(); }

void TRemoveThread::Run(std::stop_token Stop) {
  FStop = std::move(Stop);
  try {
    Execute();
  } catch (...) {
    FError = CurrentError();
  }
  // Idle by now: every row waits for its folders before it ends.
  FFolders.reset();
  if (FError) {
    // The run ended early; the taskbar should not go on showing progress.
    FFlags = psNoProgress;
    try {
      Synchronize(&TRemoveThread::UpdateState);
    } catch (...) {
    }
  }
  // The last act of the worker: after this the end event may delete it at any moment.
  FHost.Post([this] { EndEvent(); });
}

// Runs on the user-interface thread. The owner may free the worker in the handler:
// nothing of the worker is touched once it has been called.
void TRemoveThread::EndEvent() {
  // Run inline by a host's Post, this would join the worker's thread from itself.
  assert(FThread.get_id() != std::this_thread::get_id());
  // Lines of a run that an error ended were not all delivered by a last step.
  DeliverResults();
  if (FResults.Error && !FError) {
    try {
      std::rethrow_exception(FResults.Error);
    } catch (...) {
      FError = CurrentError();
    }
  }
  const TWorkerEnd onEnd = std::move(FOnEnd);
  if (onEnd) onEnd(*this);
}

void TRemoveThread::Execute() {
  pthread_setname_np(pthread_self(), "RemoveThd");
  const std::string bitbucket = GetSpecialFolderName(CSIDL_BITBUCKET);

  FFlags = psIndeterminate;
  Synchronize(&TRemoveThread::FirstItem);
  while (!StopRequested() && FListItem) {
    Synchronize(&TRemoveThread::ParseItem);
    if (!FLocation.empty()) {
      FDeletion.clear();
      if (FLocation == bitbucket)
        ScanBitbucket();
      else
        ScanFolder();
      FTotal += static_cast<int64_t>(FDeletion.size());
      Synchronize(&TRemoveThread::StoreReservation);
    }
    Synchronize(&TRemoveThread::NextItem);
  }

  if (!StopRequested()) {
    FFlags = psNormal;
    Synchronize(&TRemoveThread::FirstItem);
  }
  // A stop takes effect at the next entry, also in the middle of a row: the user who
  // stops a run has seen something go that should stay.
  while (!StopRequested() && FListItem) {
    Synchronize(&TRemoveThread::ParseItem);
    if (!FLocation.empty()) {
      Synchronize(&TRemoveThread::LoadReservation);
      FToTrash = FLocation != bitbucket && HasOption('B');
      RemoveReservation(bitbucket);
      // The row keeps its list after the run, as if it had only been read.
      Synchronize(&TRemoveThread::StoreReservation);
      // A row that a stop cut short is not done.
      if (!FRowCut) Synchronize(&TRemoveThread::UnselectItem);
    }
    Synchronize(&TRemoveThread::NextItem);
  }

  FFlags = psNoProgress;
  Synchronize(&TRemoveThread::UpdateState);
}

// The row's list was handed over to the worker: it goes back to the row also when
// an error ends the run in the middle of it.
void TRemoveThread::RemoveReservation(const std::string& Bitbucket) {
  try {
    if (FLocation == Bitbucket)
      RemoveBitbucketFiles();
    else
      RemoveFolderFiles();
  } catch (...) {
    FParent.reset();
    try {
      Synchronize(&TRemoveThread::StoreReservation);
    } catch (...) {
    }
    throw;
  }
}

void TRemoveThread::ScanFolder() {
  const TSweptFolder swept = SweepFolder(*this, FDeletion, FStop);
  FSweptFolders[FListItem] = swept;
  // Nothing listed: tell why, or a mistyped folder would go unnoticed for months.
  if (swept.Ino == 0 && (FMissingFolderError = LocationError(FLocation)) != 0) {
    ++FSummary.MissingFolders;
    Synchronize(&TRemoveThread::MarkMissingFolder);
  }
}

int TRemoveThread::LocationError(const std::string& Location) {
  TFd fd;
  TResolvedPath resolved;
  return OpenTrustedPath(Location, O_RDONLY | O_DIRECTORY, fd, resolved);
}

void TRemoveThread::ScanBitbucket() {
  TTrashEnumerator trash;
  TFreedSpace space;
  SweepTrash(*this, trash, FStop, [&](const TDueTrashEntry& Due) {
    const std::string path(Due.ParsingName);
    FDeletion.push_back({path, std::string(Due.InFolderName), Due.Stored, space.OfTrashEntry(path, Due.StoredStatus), Due.Record});
  });
}

void TRemoveThread::RemoveFolderFiles() {
  if (FToTrash && !FTestRun) return MoveFolderFilesToTrash();
  if (FTestRun) return TestFolderFiles();
  RemoveFolderFilesForGood();
}

// The collect pass measures a folder due whole as itself only (walking every folder
// would cost a Test far more than the listing), so the forecast is a lower bound.
void TRemoveThread::TestFolderFiles() {
  const size_t count = FDeletion.size();
  size_t i = 0;
  for (; i < count && !StopRequested(); ++i) {
    const TReservationEntry entry = FDeletion[i];
    if (entry.Found.Kind == ekFolder && !FToTrash) FSummary.BytesLowerBound = true;
    ReportResult(0, entry.Path, entry.Size);
  }
  FRowCut = i < count;
}

// One entry of the row, from its start to its line. A folder due whole is removed
// by a thread of FFolders (Job); anything else here at once (Code).
struct TRemoveThread::TStartedEntry {
  explicit TStartedEntry(size_t Index) : Index(Index) {}
  size_t Index;
  int Code = 0;
  std::optional<TFolderRemovals::TJob> Job;
};

namespace {

// Folders under way use the row's folder handle: they end before it is closed, also
// when an error ends the run in the middle of the row.
struct TFoldersFinish {
  std::unique_ptr<TFolderRemovals>& Folders;
  ~TFoldersFinish() {
    if (Folders) Folders->WaitIdle();
  }
};

}  // namespace

// Entries start strictly in list order, and none after a stop; every entry started
// gets its line, in list order, once it and every entry before it are done. So a
// stop leaves the lines a prefix of the list: the entries acted on (a folder cut
// short answers ECANCELED), then those untouched, without lines. Folders due whole
// go to FFolders while one of its threads is free; other entries go here at once,
// looked at ahead by a TEntryLooker over a long row.
void TRemoveThread::RemoveFolderFilesForGood() {
  // Bounds what waits behind a long folder for its line.
  constexpr size_t MaxStarted = 64;
  const size_t count = FDeletion.size();
  // A thread of its own pays for itself only over a row of some length.
  std::optional<TEntryLooker> looker;
  if (count >= 64 && TEntryLooker::Worthwhile()) looker.emplace(FDeletion, FSweptFolders[FListItem]);
  std::deque<TStartedEntry> started;  // its elements stay in place: jobs point into it
  const TFoldersFinish finish{FFolders};
  size_t next = 0;
  while (true) {
    // Taken before looking, so that a folder ending meanwhile is not waited for.
    const uint64_t finished = FFolders ? FFolders->FinishedCount() : 0;
    while (next < count && started.size() < MaxStarted && !StopRequested() &&
           StartEntry(next, started, looker ? &*looker : nullptr))
      ++next;
    while (!started.empty() && EntryDone(started.front())) {
      ReportStarted(started.front());
      started.pop_front();
    }
    if (started.empty()) {
      if (next == count || StopRequested()) break;
      continue;
    }
    // The front entry is a folder under way, or the next one waits for a thread.
    FFolders->WaitPast(finished);
  }
  FRowCut = next < count;
  FParent.reset();
}

// False when the entry is a folder and no thread is free for it: nothing started.
bool TRemoveThread::StartEntry(size_t Index, std::deque<TStartedEntry>& Started, TEntryLooker* Looker) {
  const TEntryPlace place = FDeletion.Place(Index);
  const TFoundEntry& found = FDeletion.Found(Index);
  if (found.Kind != ekFolder) {
    Started.emplace_back(Index).Code = Looker ? RemoveLookedFile(Index, *Looker) : RemoveFile(place, found);
    return true;
  }
  if (!FFolders) FFolders = std::make_unique<TFolderRemovals>(TFolderRemovals::DefaultThreads(), FStop);
  if (!FFolders->HasIdleThread()) return false;
  TStartedEntry& entry = Started.emplace_back(Index);
  if ((entry.Code = OpenParent(place)) != 0) return true;
  TFolderRemovals::TJob& job = entry.Job.emplace();
  job.ParentFd = FParent->Fd.Get();
  job.Name = place.Name;
  job.Found = found;
  FFolders->Start(job);
  return true;
}

bool TRemoveThread::EntryDone(const TStartedEntry& Entry) { return !Entry.Job || FFolders->Done(*Entry.Job); }

void TRemoveThread::ReportStarted(const TStartedEntry& Started) {
  const TReservationEntry entry = FDeletion[Started.Index];
  if (!Started.Job) return ReportResult(Started.Code, entry.Path, entry.Size);
  // A folder counts what its walk gave back, also when something in it stayed.
  const TFolderRemovals::TJob& job = *Started.Job;
  if (job.Code != 0) FSummary.Bytes += job.Freed;
  ReportResult(job.Code, entry.Path, job.Freed);
}

// The entry Index for good, checked on the look the looker took of it.
int TRemoveThread::RemoveLookedFile(size_t Index, TEntryLooker& Looker) {
  const TEntryPlace place = FDeletion.Place(Index);
  const TFoundEntry found = FDeletion.Found(Index);
  const TEntryLooker::TLook* look = Looker.Look(Index);
  if (!look) return RemoveFile(place, found);
  if (const int error = OpenParent(place)) return error;
  if (look->Error) return look->Error;
  return RemoveLookedEntryForGood(FParent->Fd.Get(), std::string(place.Name), found, look->Status);
}

// The entries go a batch at a time (see TTrashBatch): the records of a batch are
// written and made durable together before any of its entries moves, which spares a
// flush per entry. The lines still come one per entry, in the order of the list, each
// once its entry was acted on. A stop takes effect at the next entry: the records of
// the entries it keeps from moving are taken back, and they get no line.
void TRemoveThread::MoveFolderFilesToTrash() {
  // A flush of the disk's file system takes some ten milliseconds: spread over a few
  // hundred entries it weighs little beside creating their records, while the lines
  // and the progress still come several times a second.
  constexpr size_t BatchEntries = 256;
  constexpr int Added = -1;  // the entry waits in the batch; any other value is its line's code
  const size_t count = FDeletion.size();
  TTrashBatch batch;
  std::vector<int> codes;
  size_t done = 0;
  while (done < count && !StopRequested()) {
    codes.clear();
    for (size_t i = done; i < count && codes.size() < BatchEntries && !StopRequested(); ++i) {
      const int code = AddToTrashBatch(i, batch);
      codes.push_back(code == 0 ? Added : code);
    }
    if (StopRequested()) break;
    const int sealed = batch.Size() ? batch.Seal() : 0;
    size_t added = 0;
    for (const int code : codes) {
      if (StopRequested()) break;
      const TReservationEntry& entry = FDeletion[done++];
      if (code != Added) {
        ReportResult(code, entry.Path, entry.Size);
        continue;
      }
      const size_t index = added++;
      ReportResult(sealed ? sealed : batch.Move(index), entry.Path, entry.Size);
    }
    batch.Clear();
  }
  FRowCut = done < count;
  FParent.reset();
}

// Checks the Index-th entry of the row and writes its record into the batch: 0, or
// the code with which it stays where it is.
int TRemoveThread::AddToTrashBatch(size_t Index, TTrashBatch& Batch) {
  const TEntryPlace place = FDeletion.Place(Index);
  if (const int error = OpenParent(place)) return error;
  TOpenFolder& parent = *FParent;
  if (!parent.Trash) parent.Trash.emplace(parent.Fd.Get(), parent.Path);
  // The batch asks the check again right before the move: it holds the entry's place
  // in the list, which stays as it is until the batch is done.
  return Batch.Add(*parent.Trash, std::string(place.Name), [this, Index](int ParentFd, const std::string& Name) {
    return CheckFoundEntry(ParentFd, Name, FDeletion.Found(Index));
  });
}

// Always for good (the flags 0x0414), whatever the row's options say: the stored
// entry goes, then its record, so that no record is left naming nothing.
void TRemoveThread::RemoveBitbucketFiles() {
  TTrashPurger purger;
  const size_t count = FDeletion.size();
  size_t i = 0;
  for (; i < count && !StopRequested(); ++i) {
    const TReservationEntry& entry = FDeletion[i];
    int code = 0;
    if (!FTestRun) code = purger.Purge(entry.Path, entry.Found, entry.Record);
    ReportResult(code, TrashEntryText(entry.Path, entry.InFolderName), entry.Size);
  }
  FRowCut = i < count;
}

// The entry goes only as far as what the collect pass saw of it allows (see
// TReservationEntry), and only from the folder the collect pass listed: a Location
// swapped for another folder or a link meanwhile answers ESTALE, nothing touched.
int TRemoveThread::RemoveFile(const TEntryPlace& Place, const TFoundEntry& Found) {
  if (const int error = OpenParent(Place)) return error;
  return RemoveFoundEntryForGood(FParent->Fd.Get(), std::string(Place.Name), Found);
}

// Opens the folder of the entry at Place, unless it is the one open: 0, or why its
// entries cannot be reached. An entry comes as its folder and its name, never as a
// path to split: the folder is opened (and, with "B", its trash found) once for all
// the entries it holds.
int TRemoveThread::OpenParent(const TEntryPlace& Place) {
  if (Place.Name.empty()) return ENOENT;
  // Only a sweep hands over entries, each with the folder it listed.
  if (Place.FolderId == 0) return EINVAL;
  if (!FParent || FParent->FolderId != Place.FolderId) {
    // Folders under way may still be removed through the handle about to close.
    if (FFolders) FFolders->WaitIdle();
    FParent.reset();
    TOpenFolder& parent = FParent.emplace();
    parent.FolderId = Place.FolderId;
    parent.Error = OpenSweptFolder(std::string(Place.Folder), FSweptFolders[FListItem], parent.Fd, parent.Path);
  }
  return FParent->Error;
}

std::string TRemoveThread::FormatResult(TDateTime Time, std::string_view Mark, int32_t Code, std::string_view Entry) {
  // A run writes thousands of lines a second: the time text is made once a second.
  thread_local int64_t lastSecond = INT64_MIN;
  thread_local std::string lastTimeText;
  const int64_t second = Time.Ms >= 0 ? Time.Ms / 1000 : (Time.Ms - 999) / 1000;
  if (second != lastSecond) {
    lastTimeText = FormatResultTime(Time);
    lastSecond = second;
  }
  char code[8];
  int digits = 0;
  for (auto value = static_cast<uint32_t>(Code); value != 0 || digits < 4; value >>= 4)
    code[digits++] = "0123456789ABCDEF"[value & 15];
  std::string line;
  line.reserve(lastTimeText.size() + Mark.size() + Entry.size() + 16);
  line += lastTimeText;
  line += ' ';
  line += Mark;
  line += " 0x";
  while (digits > 0) line += code[--digits];
  line += ' ';
  AppendEscapedBytes(line, Entry);
  return line;
}

// Every step first delivers the lines queued before it, so that the window sees a
// row's lines before the row is unselected, and all lines before the run's end.
void TRemoveThread::Synchronize(void (TRemoveThread::*Step)()) {
  std::exception_ptr error;
  FHost.Synchronize([&] {
    try {
      DeliverResults();
      (this->*Step)();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
  RaiseDeliveryError();
}

// Lines go to the queue without waiting for the window. A batch is posted once enough
// have gathered, so that a host with no timer of its own still gets them in time.
void TRemoveThread::ReportResult(int32_t Code, std::string_view Entry, uint64_t Size) {
  constexpr size_t BatchLines = 4096;
  std::string line = FormatResult(Now(), FTestRun ? "TE" : "RM", Code, Entry);
  ++FCompleted;
  ++FSummary.Entries;
  if (Code == 0) {
    ++FSummary.Removed;
    // The trash keeps what it takes: only removal for good frees space.
    if (FToTrash)
      ++FSummary.Trashed;
    else
      FSummary.Bytes += Size;
  } else if (Code != ENOENT && FSummary.Failed++ == 0) {
    FSummary.FirstFailureCode = Code;
    FSummary.FirstFailureEntry = EscapeBytes(Entry);
  }
  bool post = false;
  {
    std::lock_guard lock(FResults.Lock);
    FResults.Lines.push_back(std::move(line));
    FResults.Completed = FCompleted;
    FResults.Total = FTotal;
    if (FResults.Lines.size() >= BatchLines && !FResults.DeliveryPosted) post = FResults.DeliveryPosted = true;
  }
  if (post) FHost.Post([this] { DeliverResults(); });
  RaiseDeliveryError();
}

void TRemoveThread::RaiseDeliveryError() {
  std::lock_guard lock(FResults.Lock);
  if (FResults.Error) std::rethrow_exception(FResults.Error);
}

void TRemoveThread::DeliverResults() {
  std::vector<std::string> lines;
  int64_t completed = 0, total = 0;
  {
    std::lock_guard lock(FResults.Lock);
    FResults.DeliveryPosted = false;
    if (FResults.Lines.empty() || FResults.Error) return;
    lines.swap(FResults.Lines);
    completed = FResults.Completed;
    total = FResults.Total;
  }
  try {
    if (FHost.HasProgress()) FHost.SetProgressValue(completed, total);
    FHost.AppendLog(lines);
  } catch (...) {
    std::lock_guard lock(FResults.Lock);
    FResults.Error = std::current_exception();
  }
}

void TRemoveThread::FirstItem() {
  if (FHost.HasProgress()) FHost.SetProgressState(static_cast<TProgressState>(FFlags));
  FListItem = FHost.FirstSelectedRow();
}

void TRemoveThread::NextItem() { FListItem = FHost.NextSelectedRow(FListItem); }

// The cutoff is taken anew at each parse, from the moment of parsing.
void TRemoveThread::ParseItem() {
  TRunSettings& settings = *this;
  if (!FListItem || !FHost.IsRowSelected(FListItem)) {
    settings = TRunSettings();
    return;
  }
  settings = ParseRunSettings(FHost.RowTexts(FListItem), Now());
}

// The list changes hands rather than being copied: the worker does not look at it
// again until it has replaced it.
void TRemoveThread::StoreReservation() {
  FHost.SetRowReservation(FListItem, std::move(FDeletion));
  FDeletion = TReservation();
}

void TRemoveThread::LoadReservation() { FDeletion = FHost.TakeRowReservation(FListItem); }

void TRemoveThread::MarkMissingFolder() { FHost.MarkMissingFolder(FListItem, FMissingFolderError); }

void TRemoveThread::UnselectItem() {
  if (FListItem) FHost.UnselectRow(FListItem);
}

void TRemoveThread::UpdateState() {
  if (FHost.HasProgress()) FHost.SetProgressState(static_cast<TProgressState>(FFlags));
}
