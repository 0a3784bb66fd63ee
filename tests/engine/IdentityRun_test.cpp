// Attacks on what a run judges against what it then removes: the root under another
// name, an entry that changed or was replaced between the passes, a look that moves
// the times a later row judges, and memory a row holds for nothing. Races are made
// deterministic by changing the file system between the passes or from the listing
// hook; file-system behaviour that the test machine may lack (no birth times, strict
// access times, a bind mount of "/") comes from a ramfs or a bind mount in a private
// mount namespace of a child process.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>
#include <thread>

#include "SweepHelpers.h"
#include "engine/FolderSweep.h"
#include "engine/Reservation.h"
#include "platform/Mounts.h"
#include "platform/Trash.h"
#include "shell/ShellLink.h"
#include "shell/ShellTypes.h"
#include "support/MemoryHost.h"

namespace {

struct TRowRun {
  std::string Error;
  std::vector<std::string> Results;  // the result lines without their time, sorted
};

// Runs one row; Between (if any) changes the file system between the two passes.
TRowRun RunRow(const TItemTexts& Item, bool TestRun, const std::function<void()>& Between = {}) {
  TMemoryHost host;
  host.AddRow(Item);
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Between && Call == "SetProgressState" && host.States.back() == psNormal) Between();
  };
  TRowRun run{host.RunWorker(TestRun).ErrorMessage, {}};
  for (const std::string& line : host.Log) run.Results.push_back(line.substr(20));
  std::sort(run.Results.begin(), run.Results.end());
  return run;
}

// Runs Body in a child process with a private mount namespace, after Mount (which
// mounts what the test needs there) has succeeded. The child's exit status is Body's
// answer; 77 when mounting is not possible here.
int InPrivateMounts(const std::function<bool()>& Mount, const std::function<int()>& Body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 || !Mount())
      _exit(77);
    _exit(Body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A ramfs keeps no birth times and, mounted strictatime, sets an access time at every read.
bool MountRamfs(const std::string& Folder) {
  return mount("none", Folder.c_str(), "ramfs", MS_STRICTATIME, nullptr) == 0;
}

std::string ResultCode(int Code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", Code);
  return text;
}

// The bits of the cases that failed, as their names.
std::string FailedCases(int Bits, const std::vector<std::string>& Names) {
  std::string text;
  for (size_t i = 0; i < Names.size(); ++i)
    if (Bits & (1 << i)) text += Names[i] + "; ";
  return text;
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

// The root folder is refused by what it is, not by how it is written: a bind mount of
// "/" or a link to it, and a NUL byte that would make the walk open ".." while it
// compared "..\0". A test run, so that a failure lists the root rather than empties it.
TEST(IdentityRun, TheRootIsRefusedUnderAnyName) {
  TTempDir dir;
  MakeFolder(dir / "sub");
  MakeFolder(dir / "rootbind");
  MakeFile(dir / "sibling.tmp", 30);
  struct TCase {
    std::string Name;
    std::string Location;
    bool Refused;  // ends the run with a message; in every case nothing is listed
  };
  const std::vector<TCase> cases{
      {"NUL after ..", dir / std::string("sub/..\0", 7), false},
      {"link to /", "/proc/self/root", true},
      {"bind mount of /", dir / "rootbind", true},
  };
  std::vector<std::string> names;
  for (const TCase& c : cases) names.push_back(c.Name);
  const int failed = InPrivateMounts(
      [&] { return mount("/", (dir / "rootbind").c_str(), nullptr, MS_BIND, nullptr) == 0; },
      [&] {
        int bits = 0;
        for (size_t i = 0; i < cases.size(); ++i) {
          const TRowRun run = RunRow({cases[i].Location, "*", "", "X+0", "HSD", "T"}, true);
          if (!run.Results.empty() || run.Error.empty() == cases[i].Refused) bits |= 1 << i;
        }
        return bits;
      });
  if (failed == 77) GTEST_SKIP() << "cannot mount in a private namespace here";
  EXPECT_EQ(failed, 0) << FailedCases(failed, names);
}

// An entry is removed only while it is what the collect pass judged. Where no birth
// time is kept (the ramfs here), a new file that got the old inode back is told by
// its change time: any change since the judgement keeps the entry (ESTALE).
TEST(IdentityRun, AnEntryChangedBetweenThePassesIsKeptWithoutBirthTimes) {
  TTempDir dir;
  MakeFolder(dir / "m");
  struct TCase {
    std::string Name;
    std::function<void(const std::string&)> Change;
    int Code;
  };
  const std::vector<TCase> cases{
      {"untouched", [](const std::string&) {}, 0},
      {"mode changed", [](const std::string& Path) { chmod(Path.c_str(), 0600); }, ESTALE},
      {"rewritten", [](const std::string& Path) { std::ofstream(Path) << "new content"; }, ESTALE},
  };
  std::vector<std::string> names;
  for (const TCase& c : cases) names.push_back(c.Name);
  const int failed = InPrivateMounts([&] { return MountRamfs(dir / "m"); }, [&] {
    for (size_t i = 0; i < cases.size(); ++i) MakeFile(dir / "m/" + std::to_string(i) + ".tmp", 30);
    const TRowRun run = RunRow({dir / "m", "*.tmp", "", "M+7", "", ""}, false, [&] {
      // A change time moves only when the clock's coarse tick has passed since the sweep.
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      for (size_t i = 0; i < cases.size(); ++i) cases[i].Change(dir / "m/" + std::to_string(i) + ".tmp");
    });
    int bits = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
      const std::string path = dir / "m/" + std::to_string(i) + ".tmp";
      const std::string line = "RM " + ResultCode(cases[i].Code) + " " + path;
      const bool kept = Exists(path);
      if (std::count(run.Results.begin(), run.Results.end(), line) != 1 || kept != (cases[i].Code != 0)) bits |= 1 << i;
    }
    return bits;
  });
  if (failed == 77) GTEST_SKIP() << "cannot mount in a private namespace here";
  EXPECT_EQ(failed, 0) << FailedCases(failed, names);
}

// A long row's files are looked at ahead of their removal, on a thread of its own: each
// look must still be of its own entry, so that a file replaced, put aside or turned into
// a folder or a link between the passes stays, wherever it lies in the row.
TEST(IdentityRun, ALongRowKeepsWhatChangedBetweenThePasses) {
  TTempDir dir;
  MakeFolder(dir / "long");
  constexpr int Files = 600;  // more than the looker's window of 256
  const auto path = [&](int i) { return dir / "long/" + std::to_string(i) + ".tmp"; };
  for (int i = 0; i < Files; ++i) MakeFile(path(i), 30);
  const struct {
    int Code;
    std::function<void(const std::string&)> Change;
  } changes[] = {
      {0, [](const std::string&) {}},
      {ESTALE, [](const std::string& Path) { unlink(Path.c_str()), MakeFile(Path, 30); }},
      {EISDIR, [](const std::string& Path) { unlink(Path.c_str()), MakeFolder(Path); }},
      {ESTALE, [](const std::string& Path) { unlink(Path.c_str()), symlink("/", Path.c_str()); }},
      {ENOENT, [](const std::string& Path) { unlink(Path.c_str()); }},
  };
  const auto change = [&](int i) { return changes[(i * 7 + i / 50) % std::size(changes)]; };
  const TRowRun run = RunRow({dir / "long", "*.tmp", "", "M+7", "", ""}, false, [&] {
    for (int i = 0; i < Files; ++i) change(i).Change(path(i));
  });
  ASSERT_EQ(run.Results.size(), size_t(Files));
  for (int i = 0; i < Files; ++i) {
    const int code = change(i).Code;
    EXPECT_EQ(std::count(run.Results.begin(), run.Results.end(), "RM " + ResultCode(code) + " " + path(i)), 1) << i;
    EXPECT_EQ(Exists(path(i)) || std::filesystem::is_symlink(path(i)), code != 0 && code != ENOENT) << i;
  }
}

// The trash purge takes an entry only while both its record and its stored entry are
// the ones the sweep judged: an entry restored and trashed again (not due any more),
// a record or a stored entry put in place of the judged one, all stay.
TEST(IdentityRun, ThePurgeTakesOnlyTheTrashEntryItJudged) {
  TTempDir dir;
  const TScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").c_str());
  WriteFile(dir / "mountinfo", "20 1 8:1 / / rw,relatime - ext4 /dev/vda rw\n");
  SetMountInfoPathForTesting(dir / "mountinfo");
  const std::string trash = dir / "data/Trash";
  for (const std::string& f : {dir / "data", trash, trash + "/files", trash + "/info", dir / "home"}) MakeFolder(f);
  const auto record = [&](const std::string& Name) { return trash + "/info/" + Name + ".trashinfo"; };
  const std::string stale = "2020-01-01T00:00:00";
  struct TCase {
    std::string Name;
    std::function<void(const std::string& Name)> Change;
    bool Purged;
  };
  const std::vector<TCase> cases{
      {"untouched", [](const std::string&) {}, true},
      {"restored and trashed again",
       [&](const std::string& Name) {
         rename((trash + "/files/" + Name).c_str(), (dir / "home/" + Name).c_str());
         unlink(record(Name).c_str());
         MoveToTrash(dir / "home/" + Name);
       },
       false},
      {"record replaced",
       [&](const std::string& Name) {
         WriteFile(trash + "/new", "[Trash Info]\nPath=/elsewhere\nDeletionDate=" + stale + "\n");
         rename((trash + "/new").c_str(), record(Name).c_str());
       },
       false},
      {"stored entry replaced",
       [&](const std::string& Name) {
         unlink((trash + "/files/" + Name).c_str());
         WriteFile(trash + "/files/" + Name, "another");
       },
       false},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "e" + std::to_string(i);
    WriteFile(trash + "/files/" + name, "judged");
    WriteFile(record(name), "[Trash Info]\nPath=" + dir / "home/" + name + "\nDeletionDate=" + stale + "\n");
  }
  RunRow({GetSpecialFolderName(CSIDL_BITBUCKET), "*", "", "D+30", "", ""}, false, [&] {
    for (size_t i = 0; i < cases.size(); ++i) cases[i].Change("e" + std::to_string(i));
  });
  SetMountInfoPathForTesting("/proc/self/mountinfo");
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(Exists(trash + "/files/e" + std::to_string(i)), !cases[i].Purged) << cases[i].Name;
}

// Looking changes nothing: two test runs over a Location, or over the trash, leave the
// access times that a later row with the A basis judges over their parent folders,
// so that row finds what it finds without them.
TEST(IdentityRun, TestRunsLeaveWhatALaterAccessTimeRowJudges) {
  TTempDir dir;
  MakeFolder(dir / "m");
  struct TCase {
    std::string Name;
    TItemTexts Looked;              // run twice as a test
    std::vector<TItemTexts> Judged;  // A-basis rows over the parents of what was looked at
  };
  const std::string m = dir / "m";
  const std::string trash = m + "/data/Trash";
  const std::vector<TCase> cases{
      {"Location", {m + "/parent/loc", "*", "", "M+7", "", ""}, {{m + "/parent", "*", "", "A+7", "D", ""}}},
      {"trash",
       {GetSpecialFolderName(CSIDL_BITBUCKET), "*", "", "D+7", "", ""},
       {{trash, "*", "", "A+7", "D", ""}, {trash + "/info", "*", "", "A+7", "", ""}}},
  };
  std::vector<std::string> names;
  for (const TCase& c : cases) names.push_back(c.Name);
  const int failed = InPrivateMounts([&] { return MountRamfs(m); }, [&] {
    setenv("XDG_DATA_HOME", (m + "/data").c_str(), 1);
    WriteFile(m + "/mountinfo", "20 1 8:1 / / rw,relatime - ext4 /dev/vda rw\n");
    SetMountInfoPathForTesting(m + "/mountinfo");
    for (const std::string& f : {m + "/parent", m + "/parent/loc", m + "/data", trash, trash + "/files", trash + "/info"})
      MakeFolder(f);
    MakeFile(m + "/parent/loc/old.tmp", 30);
    MakeFile(trash + "/files/old.tmp", 30);
    MakeFile(trash + "/info/old.tmp.trashinfo", 30, "[Trash Info]\nPath=/x/old.tmp\nDeletionDate=2020-01-01T00:00:00\n");
    for (const std::string& f : {m + "/parent/loc", trash + "/files", trash + "/info"}) SetAge(f, 30);
    int bits = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
      std::vector<TRowRun> before;
      for (const TItemTexts& row : cases[i].Judged) before.push_back(RunRow(row, true));
      RunRow(cases[i].Looked, true);
      RunRow(cases[i].Looked, true);
      for (size_t j = 0; j < cases[i].Judged.size(); ++j) {
        const TRowRun after = RunRow(cases[i].Judged[j], true);
        if (after.Results != before[j].Results || after.Results.empty()) bits |= 1 << i;
      }
    }
    return bits;
  });
  if (failed == 77) GTEST_SKIP() << "cannot mount in a private namespace here";
  EXPECT_EQ(failed, 0) << FailedCases(failed, names);
}

// Option I judges the shortcut the listing gave, through the listed folder: a folder
// put in the Location's place after the listing lends none of its shortcuts.
TEST(IdentityRun, OptionIReadsTheShortcutsOfTheListedFolder) {
  TTempDir dir;
  MakeFile(dir / "alive", 0);
  struct TCase {
    std::string Name;
    std::function<void(const std::string& Folder, const std::string& Target)> Make;
  };
  const std::vector<TCase> cases{
      {"dead.link", [](const std::string& Folder, const std::string& Target) { MakeLink(Target, Folder + "/dead.link", 0); }},
      {"dead.lnk",
       [](const std::string& Folder, const std::string& Target) {
         TShellLink link;
         link.SetTargetPath(Target);
         ASSERT_TRUE(link.Save(Folder + "/dead.lnk"));
       }},
  };
  for (const TCase& c : cases) {
    const std::string location = dir / "loc", swapped = dir / "swapped";
    MakeFolder(location);
    MakeFolder(swapped);
    c.Make(location, dir / "gone");
    c.Make(swapped, dir / "alive");
    const TRunSettings settings = ParseRunSettings({location, "*", "", "M+7", "", "I"}, Now());
    TReservation list;
    SweepFolder(settings, list, std::stop_token(), [&](int, const char* Name) {
      if (std::string_view(Name) != c.Name) return;
      rename(location.c_str(), (dir / "listed").c_str());
      rename(swapped.c_str(), location.c_str());
    });
    EXPECT_EQ(list.size(), 1u) << c.Name;
    std::filesystem::remove_all(location);
    std::filesystem::remove_all(dir / "listed");
  }
}

// A row's list costs what it holds: many rows with one entry each take a few hundred
// bytes a row, not a block of a mebibyte.
TEST(IdentityRun, ARowWithOneEntryHoldsLittleMemory) {
  constexpr size_t Rows = 2000;
  std::vector<TReservation> lists(Rows);
  // A row that holds nothing allocates nothing, however its list is handed about.
  const size_t emptyBytes = mallinfo2().uordblks;
  for (TReservation& list : lists) {
    TReservation moved = std::move(list);
    moved.clear();
    list = TReservation(moved);
  }
  EXPECT_EQ(mallinfo2().uordblks, emptyBytes);
  const long before = ResidentKiB();
  TReservationEntry entry;
  for (size_t i = 0; i < Rows; ++i) {
    entry.Path = "/srv/cache/" + std::to_string(i) + "/due.tmp";
    lists[i].push_back(entry);
  }
  EXPECT_LT(ResidentKiB() - before, 32 * 1024);
  EXPECT_EQ(lists.back()[0].Path, "/srv/cache/1999/due.tmp");
}
