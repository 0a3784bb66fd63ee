// The attacks of an adversarial run against the unattended run: someone who can write
// to a swept folder, a trash or a log folder tries to make a run (often root's)
// remove or rewrite what the pattern did not name. One test per attack; a race is
// made deterministic by changing the file system from a hook at the racy moment.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "SweepHelpers.h"
#include "app/LogFile.h"
#include "engine/FolderSweep.h"
#include "platform/Trash.h"
#include "support/MemoryHost.h"

namespace {

constexpr uid_t OtherUser = 65534;  // nobody

bool IsRoot() { return geteuid() == 0; }

// A folder holding files that must all survive.
struct TVictim {
  explicit TVictim(const std::string& Path) : Path(Path) {
    MakeFolder(Path);
    for (const char* name : {"a.tmp", "b.tmp"}) MakeFile(Path + "/" + name, 30, "precious");
  }
  bool Intact() const { return IntactAt(Path); }
  static bool IntactAt(const std::string& Folder) {
    return ReadFile(Folder + "/a.tmp") == "precious" && ReadFile(Folder + "/b.tmp") == "precious";
  }
  std::string Path;
};

void GiveLinkTo(const std::string& Link, uid_t Owner) {
  if (lchown(Link.c_str(), Owner, Owner) != 0) std::abort();
}

struct TRunOutcome {
  std::string Error;
  std::vector<std::string> Log;
};

// Runs one row; Between (if any) changes the file system between the two passes.
TRunOutcome RunRow(const TItemTexts& Item, bool TestRun, const std::function<void()>& Between = {}) {
  TMemoryHost host;
  host.AddRow(Item);
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Between && Call == "SetProgressState" && host.States.back() == psNormal) Between();
  };
  const TMemoryHost::TOutcome outcome = host.RunWorker(TestRun);
  return {outcome.ErrorMessage, host.Log};
}

timespec AccessTime(const std::string& Path) {
  struct stat st;
  if (lstat(Path.c_str(), &st) != 0) std::abort();
  return st.st_atim;
}

bool SameTime(const timespec& A, const timespec& B) { return A.tv_sec == B.tv_sec && A.tv_nsec == B.tv_nsec; }

// Whether reading an old file here moves its access time (not under noatime).
bool ReadsSetAccessTimes(const std::string& Folder) {
  const std::string probe = Folder + "/atime-probe";
  MakeFile(probe, 30);
  const timespec before = AccessTime(probe);
  ReadFile(probe);
  const bool moved = !SameTime(before, AccessTime(probe));
  unlink(probe.c_str());
  return moved;
}

}  // namespace

// 1. A purge rewrites directorysizes only in the trash folder it checked, even when the
// folder's path leads elsewhere by the time the line is dropped.
TEST(AdversarialRun, APurgeRewritesOnlyTheTrashItChecked) {
  TTempDir dir;
  const TScopedEnv dataHome("XDG_DATA_HOME", (dir / "data").c_str());
  const std::string trash = dir / "data/Trash";
  for (const std::string& f : {dir / "data", trash, trash + "/files", trash + "/info"}) MakeFolder(f);
  const std::string sizes = "4096 1600000000 d1\n4096 1600000000 d2\n";
  WriteFile(trash + "/directorysizes", sizes);
  for (const char* name : {"d1", "d2"}) {
    MakeFolder(trash + "/files/" + name);
    WriteFile(trash + "/files/" + name + "/x", "x");
    WriteFile(trash + "/info/" + name + ".trashinfo", "[Trash Info]\nPath=/x\nDeletionDate=2020-01-01T00:00:00\n");
  }

  TTrashPurger purger;
  ASSERT_EQ(purger.Purge(trash + "/files/d1"), 0);
  // The trash folder is moved away and another takes its path.
  ASSERT_EQ(rename(trash.c_str(), (dir / "checked").c_str()), 0);
  for (const std::string& f : {trash, trash + "/files", trash + "/info"}) MakeFolder(f);
  WriteFile(trash + "/directorysizes", sizes);
  ASSERT_EQ(purger.Purge(trash + "/files/d2"), 0);

  EXPECT_EQ(ReadFile(trash + "/directorysizes"), sizes);
  EXPECT_EQ(ReadFile(dir / "checked/directorysizes"), "");
  EXPECT_FALSE(Exists(dir / "checked/files/d2"));
}

// 2. A file swapped for a folder between the listing and the look at the entry is not
// taken as a folder by an item that lists files only.
TEST(AdversarialRun, AFilesOnlyItemNeverRecordsAFolder) {
  TTempDir dir;
  MakeFolder(dir / "target");
  MakeFile(dir / "target/x.tmp", 30);
  const TRunSettings settings = ParseRunSettings({dir / "target", "*.tmp", "", "X+0", "", ""}, Now());
  TReservation list;
  SweepFolder(settings, list, std::stop_token(), [&](int, const char* Name) {
    if (std::string(Name) != "x.tmp") return;
    unlink((dir / "target/x.tmp").c_str());
    MakeFolder(dir / "target/x.tmp");
    MakeFile(dir / "target/x.tmp/content", 30);
  });
  for (const TReservationEntry& entry : list) EXPECT_EQ(entry.Found.Kind, ekNonFolder) << entry.Path;
  EXPECT_TRUE(list.empty());
}

// 3. A Location through another user's link is refused whole; through the user's own
// link (or root's) it works as before.
TEST(AdversarialRun, ALocationThroughAnotherUsersLinkIsRefused) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to give a link to another user";
  struct TCase {
    uid_t LinkOwner;
    std::string Below;  // the part of the Location after the link
    bool Refused;
  };
  for (const TCase& c : {TCase{OtherUser, "", true}, TCase{OtherUser, "/sub", true}, TCase{0, "", false}}) {
    TTempDir dir;
    TVictim victim(dir / "victim");
    MakeFolder(dir / "victim/sub");
    MakeFile(dir / "victim/sub/c.tmp", 30, "precious");
    MakeLink(dir / "victim", dir / "cache", 0);
    GiveLinkTo(dir / "cache", c.LinkOwner);
    const TRunOutcome run = RunRow({dir / "cache" + c.Below, "*.tmp", "", "X+0", "", ""}, false);
    const bool kept = c.Below.empty() ? victim.Intact() : Exists(dir / "victim/sub/c.tmp");
    EXPECT_EQ(kept, c.Refused) << c.LinkOwner << c.Below;
    EXPECT_EQ(!run.Error.empty(), c.Refused) << run.Error;
    EXPECT_EQ(run.Log.empty(), c.Refused);
  }
}

// 4. The Location replaced between the passes, by a link or by another folder, holding
// the very same files under the same names (a backup snapshot of hard links): every
// entry still matches what the sweep saw, yet the names there are not the pattern's.
TEST(AdversarialRun, ALocationSwappedBetweenThePassesIsNotFollowed) {
  for (const bool byLink : {true, false}) {
    TTempDir dir;
    MakeFolder(dir / "target");
    MakeFolder(dir / "snapshot");
    for (const std::string name : {"a.tmp", "b.tmp"}) {
      MakeFile(dir / "target/" + name, 30);
      ASSERT_EQ(link((dir / "target/" + name).c_str(), (dir / "snapshot/" + name).c_str()), 0);
    }
    const TRunOutcome run = RunRow({dir / "target", "*.tmp", "", "M+7", "", ""}, false, [&] {
      ASSERT_EQ(rename((dir / "target").c_str(), (dir / "listed").c_str()), 0);
      if (byLink) MakeLink(dir / "snapshot", dir / "target", 0);
      else ASSERT_EQ(rename((dir / "snapshot").c_str(), (dir / "target").c_str()), 0);
    });
    EXPECT_EQ(run.Error, "");
    ASSERT_EQ(run.Log.size(), 2u);
    for (const std::string& line : run.Log) EXPECT_NE(line.find(" RM 0x0074 "), std::string::npos) << line;
    const std::string snapshot = byLink ? dir / "snapshot" : dir / "target";
    EXPECT_TRUE(Exists(snapshot + "/a.tmp") && Exists(snapshot + "/b.tmp")) << byLink;
  }
}

// 5. The root folder is never a Location, however it is written or reached. A test run,
// so that a failure here lists the root rather than emptying it.
TEST(AdversarialRun, TheRootFolderIsRefused) {
  TTempDir dir;
  struct TCase {
    std::string Location;
    TLocationFault Fault;  // what the text alone shows
  };
  for (const TCase& c : {TCase{"/", lfRoot}, TCase{"//", lfRoot}, TCase{"/./", lfRoot},
                         TCase{dir.Path() + "/../../../../../..", lfNone}}) {
    const std::string& location = c.Location;
    EXPECT_EQ(LocationFault(location), c.Fault) << location;
    const TRunOutcome run = RunRow({location, "*", "", "X+0", "HSD", "T"}, true);
    EXPECT_NE(run.Error.find("ルートフォルダ"), std::string::npos) << location << ": " << run.Error;
    EXPECT_TRUE(run.Log.empty()) << location;
  }
}

// 6. Locations that are relative on this system (Windows drive and UNC paths among
// them) end the run with a message instead of sweeping the working folder.
TEST(AdversarialRun, RelativeLocationsAreRefused) {
  TTempDir dir;
  MakeFolder(dir / "C:\\Temp");
  MakeFolder(dir / "sub");
  for (const char* name : {"C:\\Temp/a.tmp", "sub/a.tmp", "a.tmp"}) MakeFile(dir / name, 30);
  char* saved = get_current_dir_name();
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  struct TCase {
    std::string Location;
    TLocationFault Fault;
  };
  for (const TCase& c : {TCase{".", lfRelative}, TCase{"sub", lfRelative}, TCase{"C:\\Temp", lfWindowsPath},
                         TCase{"D:/Nothing", lfWindowsPath}, TCase{"\\\\server\\share", lfWindowsPath}}) {
    EXPECT_EQ(LocationFault(c.Location), c.Fault) << c.Location;
    const TRunOutcome run = RunRow({c.Location, "*", "", "X+0", "", ""}, false);
    EXPECT_EQ(run.Error, LocationFaultError(c.Location, c.Fault).what());
    EXPECT_TRUE(run.Log.empty()) << c.Location;
  }
  EXPECT_EQ(LocationFault("trash:///"), lfNone);
  EXPECT_TRUE(Exists("C:\\Temp/a.tmp") && Exists("sub/a.tmp") && Exists("a.tmp"));
  ASSERT_EQ(chdir(saved), 0);
  free(saved);
}

// 7. Option I: a link whose target the running user cannot look at is not dead.
TEST(AdversarialRun, OptionIKeepsLinksItCannotInspect) {
  TTempDir dir;
  chmod(dir.Path().c_str(), 0755);
  MakeFolder(dir / "locked");
  MakeFile(dir / "locked/file", 0);
  MakeFolder(dir / "target");
  MakeLink(dir / "locked/file", dir / "target/live", 0);
  chmod((dir / "locked").c_str(), 0);
  const TRunSettings settings = ParseRunSettings({dir / "target", "*", "", "M+7", "", "I"}, Now());
  const auto dueCount = [&] {
    TReservation list;
    SweepFolder(settings, list, std::stop_token());
    return static_cast<int>(list.size());
  };
  if (!IsRoot()) {
    EXPECT_EQ(dueCount(), 0);
    chmod((dir / "locked").c_str(), 0700);
    return;
  }
  // Root can search any folder: the look is made as another user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(setgid(OtherUser) == 0 && setuid(OtherUser) == 0 ? dueCount() : 100);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// 8. Judging a row leaves the access times that a later row may judge: the shortcut
// files read under "I" and the folders tested for emptiness under "O".
TEST(AdversarialRun, TheSweepLeavesTheTimesItJudges) {
  TTempDir dir;
  if (!ReadsSetAccessTimes(dir.Path())) GTEST_SKIP() << "access times are not kept here";
  MakeFolder(dir / "target");
  MakeFile(dir / "target/doc.lnk", 30, std::string(76, 'L'));
  MakeFolder(dir / "target/empty");
  MakeFolder(dir / "target/full");
  MakeFile(dir / "target/full/x", 30);
  for (const char* name : {"empty", "full"}) SetAge(dir / "target/" + name, 30);
  struct TCase {
    std::string Options;
    std::string Entry;
  };
  for (const TCase& c : {TCase{"I", "doc.lnk"}, TCase{"O", "empty"}, TCase{"O", "full"}}) {
    const timespec before = AccessTime(dir / "target/" + c.Entry);
    RunRow({dir / "target", "*", "", "M+365", "D", c.Options}, true);
    EXPECT_TRUE(SameTime(before, AccessTime(dir / "target/" + c.Entry))) << c.Options << " " << c.Entry;
  }
}

// 9. The log and its lock follow no link of another user, and every name of one log
// shares one lock.
TEST(AdversarialRun, TheLogFollowsNoOtherUsersLink) {
  TTempDir dir;
  WriteFile(dir / "Brisko.log", "old\r\n");
  MakeLink(dir / "Brisko.log", dir / "alias.log", 0);
  SaveLogFile(dir / "alias.log", {"new"}, 10);
  EXPECT_EQ(ReadFile(dir / "Brisko.log"), "old\nnew\n");
  EXPECT_TRUE(Exists(dir / "Brisko.log.lock"));
  EXPECT_FALSE(Exists(dir / "alias.log.lock"));

  if (!IsRoot()) GTEST_SKIP() << "needs root to plant links of another user";
  // A folder the other user can write; links planted there as the attack did.
  const std::string shared = dir / "shared";
  MakeFolder(shared);
  ASSERT_EQ(chown(shared.c_str(), OtherUser, OtherUser), 0);
  WriteFile(dir / "secret", "root only\n");
  struct TCase {
    std::string Planted;  // the name planted as a link to Target
    std::string Target;
  };
  for (const TCase& c : {TCase{"Brisko.log", dir / "secret"}, TCase{"Brisko.log.lock", dir / "created"}}) {
    MakeLink(c.Target, shared + "/" + c.Planted, 0);
    GiveLinkTo(shared + "/" + c.Planted, OtherUser);
    EXPECT_NE(ErrorOf([&] { SaveLogFile(shared + "/Brisko.log", {"line"}, 10); }), "") << c.Planted;
    EXPECT_EQ(ReadFile(dir / "secret"), "root only\n");
    EXPECT_FALSE(Exists(dir / "created"));
    for (const char* name : {"/Brisko.log", "/Brisko.log.lock"}) unlink((shared + name).c_str());
  }
}
