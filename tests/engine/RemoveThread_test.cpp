#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <regex>
#include <stdexcept>

#include "engine/BRISK_Remove.h"
#include "platform/Paths.h"
#include "support/MemoryHost.h"
#include "SweepHelpers.h"

namespace {

// A folder with three due "*.tmp" files, one fresh "*.tmp" and one due "*.txt".
struct TDueFolder {
  explicit TDueFolder(const std::string& Path) : Path(Path) {
    MakeFolder(Path);
    for (const char* name : {"a.tmp", "b.tmp", "c.tmp"}) MakeFile(Path + "/" + name, 10);
    MakeFile(Path + "/fresh.tmp", 1);
    MakeFile(Path + "/d.txt", 10);
  }
  TItemTexts Item(const std::string& Options = "") const { return {Path, "*.tmp", "", "M+7", "", Options}; }
  std::string Path;
};

std::string PathOf(const std::string& Line) { return Line.substr(Line.find(' ', 23) + 1); }

std::vector<std::string> Paths(const std::vector<std::string>& Lines) {
  std::vector<std::string> paths;
  for (const std::string& line : Lines) paths.push_back(PathOf(line));
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The names of this process's threads.
std::vector<std::string> ThreadNames() {
  std::vector<std::string> names;
  DIR* tasks = opendir("/proc/self/task");
  while (const dirent* e = tasks ? readdir(tasks) : nullptr)
    if (e->d_name[0] != '.') {
      std::string name = ReadFile(std::string("/proc/self/task/") + e->d_name + "/comm");
      if (!name.empty() && name.back() == '\n') name.pop_back();
      names.push_back(name);
    }
  if (tasks) closedir(tasks);
  return names;
}

}  // namespace

TEST(RemoveThread, ResultLineForm) {
  const TDateTime t = EncodeDateTime({2024, 5, 10, 15, 30, 0, 0});
  EXPECT_EQ(TRemoveThread::FormatResult(t, "RM", 0, "/tmp/old.log"), "2024/05/10 15:30:00 RM 0x0000 /tmp/old.log");
  EXPECT_EQ(TRemoveThread::FormatResult(t, "RM", 0xABCDE, "x"), "2024/05/10 15:30:00 RM 0xABCDE x");
  EXPECT_EQ(TRemoveThread::FormatResult(t, "RM", 13, "x"), "2024/05/10 15:30:00 RM 0x000D x");
  EXPECT_EQ(TRemoveThread::FormatResult(t, "TE", -2, "x"), "2024/05/10 15:30:00 TE 0xFFFFFFFE x");
  EXPECT_EQ(TRemoveThread::FormatResult(t, "RM", 0x10000, "x"), "2024/05/10 15:30:00 RM 0x10000 x");
  // The time text follows the time, also within the same second and across seconds.
  EXPECT_EQ(TRemoveThread::FormatResult({t.Ms + 999}, "TE", 0, "x"), "2024/05/10 15:30:00 TE 0x0000 x");
  EXPECT_EQ(TRemoveThread::FormatResult({t.Ms + 1000}, "TE", 0, "x"), "2024/05/10 15:30:01 TE 0x0000 x");
  EXPECT_EQ(TRemoveThread::FormatResult({t.Ms - 1}, "TE", 0, "x"), "2024/05/10 15:29:59 TE 0x0000 x");
}

TEST(RemoveThread, NoSelectedRowWritesNothing) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.AddRow(folder.Item(), false);
  const auto outcome = host.RunWorker(false);
  EXPECT_TRUE(host.Log.empty());
  EXPECT_TRUE(host.Values.empty());
  EXPECT_EQ(host.States, (std::vector<TProgressState>{psIndeterminate, psNormal, psNoProgress}));
  EXPECT_TRUE(Exists(folder.Path + "/a.tmp"));
  EXPECT_EQ(outcome.ErrorMessage, "");
  EXPECT_FALSE(outcome.Terminated);
  EXPECT_EQ(host.OffThreadCalls, 0);
}

TEST(RemoveThread, TheWorkerThreadIsNamed) {
  TMemoryHost host;
  std::vector<std::string> names;
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "SetProgressState" && host.States.back() == psNormal) names = ThreadNames();
  };
  host.RunWorker(true);
  EXPECT_NE(std::find(names.begin(), names.end(), "RemoveThd"), names.end());
}

TEST(RemoveThread, TestReportsDueEntriesAndRemovesNothing) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.AddRow(folder.Item());
  host.AddRow({"", "*", "", "X+0", "", ""});  // no folder: skipped, stays selected
  host.RunWorker(true);
  ASSERT_EQ(host.Log.size(), 3u);
  const std::regex form(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d TE 0x0000 .+)");
  for (const std::string& line : host.Log) EXPECT_TRUE(std::regex_match(line, form)) << line;
  EXPECT_EQ(Paths(host.Log), (std::vector<std::string>{folder.Path + "/a.tmp", folder.Path + "/b.tmp",
                                                        folder.Path + "/c.tmp"}));
  for (const char* name : {"a.tmp", "b.tmp", "c.tmp", "fresh.tmp", "d.txt"}) EXPECT_TRUE(Exists(folder.Path + "/" + name));
  EXPECT_FALSE(host.Row(0).Selected);
  EXPECT_TRUE(host.Row(1).Selected);
  EXPECT_EQ(host.Row(0).Reservation.size(), 3u);
  EXPECT_EQ(host.States, (std::vector<TProgressState>{psIndeterminate, psNormal, psNoProgress}));
  EXPECT_EQ(host.Values.back(), (std::pair<int64_t, int64_t>{3, 3}));
  EXPECT_EQ(host.OffThreadCalls, 0);
}

TEST(RemoveThread, RunRemovesExactlyTheDueEntries) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.Progress = false;
  host.AddRow(folder.Item());
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 3u);
  for (const std::string& line : host.Log) EXPECT_NE(line.find(" RM 0x0000 "), std::string::npos) << line;
  for (const char* name : {"a.tmp", "b.tmp", "c.tmp"}) EXPECT_FALSE(Exists(folder.Path + "/" + name));
  EXPECT_TRUE(Exists(folder.Path + "/fresh.tmp"));
  EXPECT_TRUE(Exists(folder.Path + "/d.txt"));
  // Without a progress object no progress call is made; the lines are the same.
  EXPECT_TRUE(host.States.empty());
  EXPECT_TRUE(host.Values.empty());
}

TEST(RemoveThread, StopDuringTheCollectPassRemovesNothing) {
  TTempDir dir;
  TDueFolder first(dir / "1"), second(dir / "2");
  TMemoryHost host;
  host.AddRow(first.Item());
  host.AddRow(second.Item());
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow Row) {
    if (Call == "SetRowReservation" && host.IndexOf(Row) == 0) host.Worker()->Terminate();
  };
  const auto outcome = host.RunWorker(false);
  EXPECT_TRUE(outcome.Terminated);
  EXPECT_EQ(outcome.ErrorMessage, "");
  EXPECT_TRUE(host.Log.empty());
  EXPECT_TRUE(Exists(first.Path + "/a.tmp"));
  EXPECT_TRUE(host.Row(0).Selected);
  EXPECT_TRUE(host.Row(1).Selected);
  // The row being swept when the stop came keeps what it found; the next is not reached.
  EXPECT_EQ(host.Row(0).Reservation.size(), 3u);
  EXPECT_TRUE(host.Row(1).Reservation.empty());
  EXPECT_EQ(host.States, (std::vector<TProgressState>{psIndeterminate, psNoProgress}));
}

TEST(RemoveThread, StopDuringTheRemovePassFinishesTheCurrentRow) {
  TTempDir dir;
  std::vector<TDueFolder> folders;
  for (const char* name : {"1", "2", "3", "4"}) folders.emplace_back(dir / name);
  TMemoryHost host;
  for (const TDueFolder& f : folders) host.AddRow(f.Item());
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "AppendLog" && host.Log.size() >= 4) host.Worker()->Terminate();  // lines of row 2
  };
  const auto outcome = host.RunWorker(false);
  EXPECT_TRUE(outcome.Terminated);
  EXPECT_EQ(host.Log.size(), 6u);
  for (size_t row : {0u, 1u}) {
    EXPECT_FALSE(host.Row(row).Selected);
    EXPECT_FALSE(Exists(folders[row].Path + "/c.tmp"));
  }
  for (size_t row : {2u, 3u}) {
    EXPECT_TRUE(host.Row(row).Selected);
    EXPECT_TRUE(Exists(folders[row].Path + "/a.tmp"));
  }
  EXPECT_EQ(host.Values.back(), (std::pair<int64_t, int64_t>{6, 12}));
  EXPECT_EQ(host.States.back(), psNoProgress);
}

TEST(RemoveThread, SelectionIsReadAtEachRowStep) {
  TTempDir dir;
  TDueFolder first(dir / "1"), second(dir / "2"), third(dir / "3");
  TMemoryHost host;
  host.AddRow(first.Item(), false);  // selected only once the collect pass is past it
  host.AddRow(second.Item());        // unselected between the passes
  host.AddRow(third.Item());
  host.Row(0).Reservation = {{first.Path + "/a.tmp", "", {}}};  // from an earlier collect pass
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow Row) {
    if (Call == "SetRowReservation" && host.IndexOf(Row) == 1) host.Row(0).Selected = true;
    if (Call == "SetRowReservation" && host.IndexOf(Row) == 2) host.Row(1).Selected = false;
  };
  host.RunWorker(true);
  // Row 1 is counted (total 6) but not processed; row 0 is processed with its old list.
  EXPECT_EQ(Paths(host.Log), (std::vector<std::string>{first.Path + "/a.tmp", third.Path + "/a.tmp",
                                                        third.Path + "/b.tmp", third.Path + "/c.tmp"}));
  EXPECT_EQ(host.Values.back(), (std::pair<int64_t, int64_t>{4, 6}));
  EXPECT_EQ(host.Row(1).Reservation.size(), 3u);
  EXPECT_FALSE(host.Row(0).Selected);
  EXPECT_FALSE(host.Row(2).Selected);
}

TEST(RemoveThread, CompletedCanExceedTotal) {
  TTempDir dir;
  TDueFolder first(dir / "1");
  TMemoryHost host;
  host.AddRow(first.Item(), false);
  host.Row(0).Reservation = {{first.Path + "/a.tmp", "", {}}, {first.Path + "/gone.tmp", "", {}}};
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "SetProgressState" && host.States.back() == psNormal) host.Row(0).Selected = true;
  };
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 2u);
  EXPECT_EQ(host.Values.back(), (std::pair<int64_t, int64_t>{2, 0}));
  EXPECT_NE(host.Log[0].find(" RM 0x0000 "), std::string::npos);
  EXPECT_NE(host.Log[1].find(" RM 0x0002 "), std::string::npos);  // no such entry
}

TEST(RemoveThread, SecondRowOnTheSameFolderReportsWhatIsGone) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.AddRow(folder.Item());
  host.AddRow(folder.Item());
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 6u);
  for (size_t i = 0; i < 3; ++i) EXPECT_NE(host.Log[i].find(" RM 0x0000 "), std::string::npos);
  for (size_t i = 3; i < 6; ++i) EXPECT_NE(host.Log[i].find(" RM 0x0002 "), std::string::npos);
}

TEST(RemoveThread, AnErrorEndsTheRunAndKeepsItsMessage) {
  TTempDir dir;
  TDueFolder first(dir / "1"), third(dir / "3");
  TMemoryHost host;
  host.AddRow(first.Item());
  host.AddRow({first.Path, "*", "", "A+x", "", ""});
  host.AddRow(third.Item());
  const auto outcome = host.RunWorker(false);
  EXPECT_EQ(outcome.ErrorMessage, "'A+x' は正しい経過日数ではありません");
  EXPECT_FALSE(outcome.Terminated);
  EXPECT_TRUE(host.Log.empty());
  EXPECT_TRUE(Exists(first.Path + "/a.tmp"));
  EXPECT_TRUE(host.Row(2).Reservation.empty());
  for (size_t row = 0; row < 3; ++row) EXPECT_TRUE(host.Row(row).Selected);
  // The taskbar does not go on showing progress for a run that has ended.
  EXPECT_EQ(host.States.back(), psNoProgress);

  TMemoryHost masks;
  masks.AddRow({first.Path, "*.tmp", "[", "M+7", "", ""});
  EXPECT_EQ(masks.RunWorker(true).ErrorMessage, "2 番目の文字（'['）は正しくないマスク文字です");
  EXPECT_TRUE(masks.Log.empty());
}

TEST(RemoveThread, AMissingFolderGivesNoLine) {
  TTempDir dir;
  TMemoryHost host;
  host.AddRow({dir / "missing", "*", "", "X+0", "", ""});
  const auto outcome = host.RunWorker(false);
  EXPECT_EQ(outcome.ErrorMessage, "");
  EXPECT_TRUE(host.Log.empty());
  EXPECT_FALSE(host.Row(0).Selected);
}

TEST(RemoveThread, TheCreatorMayKeepTheWorkerPastItsEnd) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.AddRow(folder.Item());
  bool ended = false;
  std::unique_ptr<TRemoveThread> worker = TRemoveThread::Create(host, true, [&](TRemoveWorker&) { ended = true; });
  host.Pump([&] { return ended; });
  EXPECT_FALSE(worker->Error());
  EXPECT_FALSE(worker->Terminated());
  worker.reset();
  EXPECT_EQ(host.Log.size(), 3u);
}

TEST(RemoveThread, TheEndHandlerIsReleasedEvenWhenItThrows) {
  TMemoryHost host;
  bool ended = false;
  // The worker lets go of its end handler, and so of what it holds, once it has run.
  auto alive = std::make_shared<int>(0);
  const std::weak_ptr<int> watch = alive;
  const auto worker = TRemoveThread::Create(host, true, [&ended, alive](TRemoveWorker&) {
    ended = true;
    throw std::runtime_error("end event failed");
  });
  alive.reset();
  EXPECT_THROW(host.Pump([&] { return ended; }), std::runtime_error);
  EXPECT_TRUE(ended);
  EXPECT_TRUE(watch.expired());
}

TEST(RemoveThread, ARowKeepsItsListWhenAnErrorEndsTheRemovePass) {
  TTempDir dir;
  TDueFolder folder(dir / "f");
  TMemoryHost host;
  host.AddRow(folder.Item());
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "AppendLog") throw std::runtime_error("the log cannot take more");
  };
  const auto outcome = host.RunWorker(true);
  EXPECT_EQ(outcome.ErrorMessage, "the log cannot take more");
  EXPECT_EQ(host.Log.size(), 3u);
  EXPECT_EQ(host.Row(0).Reservation.size(), 3u);
}

// Lines reach the host in batches without the worker waiting for each; every line
// arrives once, in the order of the row's list, with a progress value per batch. A
// stop (the user's or a signal's) ends the removal at the next entry, and every
// entry that went has its line.
TEST(RemoveThread, LinesArriveInBatchesInOrderAndAStopEndsTheRowAtTheNextEntry) {
  enum TStop { sNone, sTerminate, sInterrupt };
  for (const TStop stop : {sNone, sTerminate, sInterrupt}) {
    SCOPED_TRACE(stop);
    const bool interrupt = stop != sNone;
    TTempDir dir;
    const std::string folder = dir / "many";
    MakeFolder(folder);
    const int count = 4500;  // more than one posted batch
    for (int i = 0; i < count; ++i) MakeFile(folder + "/" + std::to_string(i) + ".tmp", 10);
    TMemoryHost host;
    host.AddRow({folder, "*.tmp", "", "M+7", "", ""});
    // The stop comes as the remove pass begins: a worker quicker than the first
    // delivery of lines would otherwise be through the row before it is asked.
    host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
      if (Call != "SetProgressState" || host.States.back() != psNormal) return;
      if (stop == sTerminate) host.Worker()->Terminate();
      if (stop == sInterrupt) host.Worker()->Interrupt();
    };
    const auto outcome = host.RunWorker(false);
    ASSERT_TRUE(outcome.ErrorMessage.empty());
    const TReservation& list = host.Row(0).Reservation;
    ASSERT_EQ(list.size(), size_t(count));
    ASSERT_LE(host.Log.size(), list.size());
    for (size_t i = 0; i < host.Log.size(); ++i) ASSERT_EQ(PathOf(host.Log[i]), list[i].Path) << i;
    size_t gone = 0;
    for (const TReservationEntry& entry : list) gone += Exists(entry.Path) ? 0 : 1;
    EXPECT_EQ(gone, host.Log.size());
    if (!host.Log.empty()) {
      EXPECT_EQ(host.Values.back(), (std::pair<int64_t, int64_t>{int64_t(host.Log.size()), count}));
    }
    EXPECT_EQ(host.Row(0).Selected, interrupt);
    if (interrupt) {
      EXPECT_LT(host.Log.size(), list.size());
    } else {
      EXPECT_EQ(host.Log.size(), list.size());
      EXPECT_GT(host.LogBatches, 1);
    }
  }
}

namespace {

int CodeOf(const std::string& Line) { return std::stoi(Line.substr(25, Line.find(' ', 23) - 25), nullptr, 16); }

// The worker that the removal of an entry named "stop-here" stops, from the thread
// that removes it: a stop in the middle of a folder, wherever the run has got to.
std::atomic<TRemoveThread*> GStopAtName{nullptr};

}  // namespace

extern "C" int unlinkat(int DirFd, const char* Name, int Flags) {
  using TUnlinkAt = int (*)(int, const char*, int);
  static const auto next = reinterpret_cast<TUnlinkAt>(dlsym(RTLD_NEXT, "unlinkat"));
  const int result = next(DirFd, Name, Flags);
  if (std::strcmp(Name, "stop-here") == 0)
    if (TRemoveThread* worker = GStopAtName.load()) worker->Terminate();
  return result;
}

namespace {

// Folders due whole are removed a few at a time, yet their lines come one per entry
// in list order. A stop starts nothing more: the lines are a prefix of the list, an
// entry with a line is gone or was cut short (ECANCELED, what was left of it still
// there; the folder being emptied when the stop came is one), and every entry after
// them is whole; the row stays selected.
TEST(RemoveThread, FoldersGoSideBySideWithLinesInListOrderAndAStopStartsNothingMore) {
  enum TStop { sNone, sAtTheStart, sInAFolder };
  for (const TStop stop : {sNone, sAtTheStart, sInAFolder}) {
    SCOPED_TRACE(stop);
    TTempDir dir;
    const std::string root = dir / "root";
    MakeFolder(root);
    const int count = 200;
    const std::string stopping = root + "/20";
    for (int i = 0; i < count; ++i) {
      const std::string entry = root + "/" + std::to_string(i);
      if (i % 7 == 3) {
        MakeFile(entry, 10);
        continue;
      }
      MakeFolder(entry);
      MakeFile(entry + (stop == sInAFolder && entry == stopping ? "/stop-here" : "/f"), 10);
    }
    TMemoryHost host;
    host.AddRow({root, "*", "", "M+0", "D", "T"});
    host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
      if (Call != "SetProgressState" || host.States.back() != psNormal) return;
      if (stop == sAtTheStart) host.Worker()->Terminate();
      GStopAtName = host.Worker();
    };
    const auto outcome = host.RunWorker(false);
    GStopAtName = nullptr;
    ASSERT_TRUE(outcome.ErrorMessage.empty()) << outcome.ErrorMessage;
    const TReservation& list = host.Row(0).Reservation;
    ASSERT_EQ(list.size(), size_t(count));
    for (size_t i = 0; i < host.Log.size(); ++i) {
      ASSERT_EQ(PathOf(host.Log[i]), list[i].Path) << i;
      const int code = CodeOf(host.Log[i]);
      if (code == 0) {
        EXPECT_FALSE(Exists(list[i].Path)) << i;
      } else {
        EXPECT_TRUE(stop != sNone && code == ECANCELED && Exists(list[i].Path)) << host.Log[i];
      }
      if (list[i].Path == stopping && stop == sInAFolder) {
        EXPECT_EQ(code, ECANCELED);
      }
    }
    for (size_t i = host.Log.size(); i < list.size(); ++i) {
      const std::string& path = list[i].Path;
      if (stop == sInAFolder) {
        ASSERT_NE(path, stopping);
      }
      EXPECT_TRUE(list[i].Found.Kind == ekNonFolder ? Exists(path) : Exists(path + "/f")) << path;
    }
    EXPECT_EQ(outcome.Summary.Entries, int64_t(host.Log.size()));
    EXPECT_EQ(host.Row(0).Selected, stop != sNone);
    if (stop == sNone) {
      EXPECT_EQ(host.Log.size(), list.size());
    } else {
      // What may start ahead of the line being waited for is bounded well below the row.
      EXPECT_LT(host.Log.size(), list.size());
      if (stop == sAtTheStart) {
        EXPECT_TRUE(host.Log.empty());
      }
    }
  }
}

uint64_t Allocated(const std::string& Path) {
  struct stat st;
  return lstat(Path.c_str(), &st) == 0 ? uint64_t(st.st_blocks) * 512 : 0;
}
}  // namespace

// The summary counts the space the removals give back: allocated blocks, a folder
// removed whole with its content, a file only with its last name (one kept outside
// the row or the folder frees nothing; two names both due, or both in a folder
// removed, free it once), nothing for what goes to the trash, which is counted
// apart. A Test forecasts what the Run then frees, folders due whole as themselves
// only, and says its figure is a floor.
TEST(RemoveThread, SummaryCountsTheSpaceFreedAndTheTrashApart) {
  TTempDir dir;
  const TScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").c_str());
  const std::string whole = dir / "whole", links = dir / "links", trashed = dir / "trashed";
  for (const std::string& folder : {whole, whole + "/big", whole + "/big/sub", links, trashed}) MakeFolder(folder);
  const std::string bulk(20000, 'x');
  MakeFile(whole + "/big/one", 0, bulk);
  MakeFile(whole + "/big/sub/two", 0, bulk + bulk);
  MakeFile(links + "/single.tmp", 0, bulk);
  MakeFile(links + "/kept.tmp", 0, bulk);
  MakeFile(links + "/pair1.tmp", 0, bulk);
  ASSERT_EQ(link((links + "/kept.tmp").c_str(), (links + "/kept.other").c_str()), 0);
  ASSERT_EQ(link((links + "/pair1.tmp").c_str(), (links + "/pair2.tmp").c_str()), 0);
  MakeFile(trashed + "/t.tmp", 0, bulk);
  MakeFile(whole + "/big/inner1", 0, bulk);
  ASSERT_EQ(link((whole + "/big/inner1").c_str(), (whole + "/big/sub/inner2").c_str()), 0);
  MakeFile(whole + "/big/held", 0, bulk);
  ASSERT_EQ(link((whole + "/big/held").c_str(), (whole + "/held.other").c_str()), 0);
  const uint64_t plain = Allocated(links + "/single.tmp") + Allocated(links + "/pair1.tmp");
  const uint64_t forecast = Allocated(whole + "/big") + plain;
  const uint64_t freed = forecast + Allocated(whole + "/big/one") + Allocated(whole + "/big/sub") +
                         Allocated(whole + "/big/sub/two") + Allocated(whole + "/big/inner1");
  ASSERT_GT(Allocated(links + "/kept.tmp"), 0u);

  for (const bool testRun : {true, false}) {
    SCOPED_TRACE(testRun ? "test" : "run");
    TMemoryHost host;
    host.AddRow({whole, "big", "", "M+0", "D", "T"});
    host.AddRow({links, "*.tmp", "", "M+0", "", ""});
    host.AddRow({trashed, "*.tmp", "", "M+0", "", "B"});
    host.AddRow({dir / "nowhere", "*", "", "M+0", "", ""});
    const auto outcome = host.RunWorker(testRun);
    ASSERT_TRUE(outcome.ErrorMessage.empty()) << outcome.ErrorMessage;
    EXPECT_EQ(outcome.Summary.Entries, 6);
    EXPECT_EQ(outcome.Summary.Removed, 6);
    EXPECT_EQ(outcome.Summary.Trashed, 1);
    EXPECT_EQ(outcome.Summary.Bytes, testRun ? forecast : freed);
    EXPECT_EQ(outcome.Summary.BytesLowerBound, testRun);
    EXPECT_EQ(outcome.Summary.MissingFolders, 1);
    EXPECT_EQ(outcome.Summary.Failed, 0);
  }
  EXPECT_FALSE(Exists(whole + "/big"));
  EXPECT_TRUE(Exists(links + "/kept.other"));
  EXPECT_TRUE(Exists(whole + "/held.other"));
  EXPECT_FALSE(Exists(trashed + "/t.tmp"));
  EXPECT_TRUE(Exists(dir / "data/Trash/files/t.tmp"));
}
