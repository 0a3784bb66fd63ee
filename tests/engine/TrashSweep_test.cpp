#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <linux/fs.h>
#include <sys/ioctl.h>

#include "engine/BRISK_Remove.h"
#include "engine/DeletionItem.h"
#include "engine/TrashSweep.h"
#include "platform/BriskoError.h"
#include "platform/Mounts.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "shell/ShellTypes.h"
#include "support/MemoryHost.h"
#include "support/RemovePath.h"
#include "support/TestSupport.h"

namespace {

using TNames = std::vector<std::pair<std::string, std::string>>;  // parsing name, in-folder name


std::string TrashDate(double DaysAgo) {
  const TDateFields d = DecodeDateTime(TDateTime{Now().Ms - static_cast<int64_t>(DaysAgo * MsPerDay)});
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute,
                d.Second);
  return text;
}

// A home trash of the test's own; the mount table holds "/" alone, so that the home
// trash is the only trash of the user.
class TrashSweepTest : public ::testing::Test {
protected:
  TTempDir FHome;
  std::string FTrash;

  void SetUp() override {
    setenv("XDG_DATA_HOME", (FHome / "data").c_str(), 1);
    WriteFile(FHome / "mountinfo", "20 1 8:1 / / rw,relatime - ext4 /dev/vda rw\n");
    SetMountInfoPathForTesting(FHome / "mountinfo");
    FTrash = FHome / "data/Trash";
    std::filesystem::create_directories(FTrash + "/files");
    std::filesystem::create_directories(FTrash + "/info");
  }
  void TearDown() override {
    SetMountInfoPathForTesting("/proc/self/mountinfo");
    unsetenv("XDG_DATA_HOME");
  }

  // A file stored as Stored, trashed from /home/u/Original DaysAgo days ago.
  void Trashed(const std::string& Stored, const std::string& Original, double DaysAgo) {
    WriteFile(FTrash + "/files/" + Stored, "x");
    WriteFile(FTrash + "/info/" + Stored + ".trashinfo", "[Trash Info]\nPath=" + EncodeTrashPath("/home/u/" + Original) +
                                                           "\nDeletionDate=" + TrashDate(DaysAgo) + "\n");
  }
  std::string Stored(const std::string& Name) const { return FTrash + "/files/" + Name; }

  static TItemTexts TrashItem(const std::string& Mask, const std::string& Except, const std::string& Days,
                              const std::string& Attributes = "", const std::string& Options = "") {
    return {GetSpecialFolderName(CSIDL_BITBUCKET), Mask, Except, Days, Attributes, Options};
  }
  // The marks, codes and entry texts of result lines, sorted.
  static std::vector<std::string> Results(const std::vector<std::string>& Log) {
    std::vector<std::string> results;
    for (const std::string& line : Log) results.push_back(line.substr(20));
    std::sort(results.begin(), results.end());
    return results;
  }

  static TNames Sweep(const TItemTexts& Item, std::stop_token Stop = {}) {
    TTrashEnumerator trash;
    TNames due;
    SweepTrash(ParseRunSettings(Item, Now()), trash, Stop,
               [&](const TDueTrashEntry& Entry) { due.emplace_back(Entry.ParsingName, Entry.InFolderName); });
    std::sort(due.begin(), due.end());
    return due;
  }
};

}  // namespace

TEST(TrashEntryText, FolderOfTheParsingNameWithTheInFolderName) {
  EXPECT_EQ(TrashEntryText("/h/.local/share/Trash/files/report.txt.2", "report.txt"),
            "/h/.local/share/Trash/files/report.txt");
  EXPECT_EQ(TrashEntryText("/t/.Trash-1000/files/x", "a=b c"), "/t/.Trash-1000/files/a=b c");
  EXPECT_EQ(TrashEntryText("stored", "name"), "/name");
}

TEST_F(TrashSweepTest, MasksSeeTheInFolderNameAndAgeIsTheDeletionDate) {
  Trashed("stored-1", "report.txt", 10);    // due: the masks see the original name
  Trashed("report2.txt", "other.dat", 10);  // the stored name would match, the original does not
  Trashed("fresh.txt", "fresh.txt", 3);
  Trashed("eq", "a=b.txt", 10);
  Trashed("dot", ".txt", 10);
  EXPECT_EQ(Sweep(TrashItem("*.txt", "", "D+7")),
            (TNames{{Stored("dot"), ".txt"}, {Stored("eq"), "a=b.txt"}, {Stored("stored-1"), "report.txt"}}));
  EXPECT_EQ(Sweep(TrashItem("*.txt", "", "D+30")), TNames{});
  // An exclude mask spares report.txt although its stored name differs.
  EXPECT_EQ(Sweep(TrashItem("*.txt", "report*;.*", "D+7")), (TNames{{Stored("eq"), "a=b.txt"}}));
  // The base-date letter plays no part: the deletion date counts whatever it is.
  EXPECT_EQ(Sweep(TrashItem("*.txt", "", "M+7")), Sweep(TrashItem("*.txt", "", "D+7")));
  EXPECT_THROW(Sweep(TrashItem("[", "", "D+7")), EBriskoError);
}

TEST_F(TrashSweepTest, RecordWithoutDateIsDueOnlyForNegativeDayCountsAndWithoutPathByStoredName) {
  WriteFile(Stored("nodate"), "x");
  WriteFile(FTrash + "/info/nodate.trashinfo", "[Trash Info]\nPath=/home/u/nodate.txt\nDeletionDate=soon\n");
  WriteFile(Stored("nopath.txt"), "x");
  WriteFile(FTrash + "/info/nopath.txt.trashinfo", "[Trash Info]\nDeletionDate=" + TrashDate(10) + "\n");
  EXPECT_EQ(Sweep(TrashItem("*.txt", "", "D+1")), (TNames{{Stored("nopath.txt"), "nopath.txt"}}));
  EXPECT_EQ(Sweep(TrashItem("*.txt", "", "D+-1")),
            (TNames{{Stored("nodate"), "nodate.txt"}, {Stored("nopath.txt"), "nopath.txt"}}));
}

TEST_F(TrashSweepTest, StopIsCheckedBeforeEachEntry) {
  for (int i = 0; i < 5; ++i) Trashed("e" + std::to_string(i), "e" + std::to_string(i), 10);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(Sweep(TrashItem("*", "", "D+1"), stop.get_token()), TNames{});

  // A stop requested while the second entry is handed over ends the sweep there.
  std::stop_source later;
  TTrashEnumerator trash;
  int handed = 0;
  SweepTrash(ParseRunSettings(TrashItem("*", "", "D+1"), Now()), trash, later.get_token(),
             [&](const TDueTrashEntry&) {
               if (++handed == 2) later.request_stop();
             });
  EXPECT_EQ(handed, 2);
}

// What goes into the trash with the undo flag comes back out of the sweep under its
// own name, trashed just now.
TEST_F(TrashSweepTest, EntriesMovedToTheTrashAreFoundWithTheirNamesAndDates) {
  TTempDir work;
  const std::string names[] = {"old 1.tmp", "old=2.tmp", "bad\xff.tmp"};
  for (const std::string& name : names) {
    WriteFile(work / name, "x");
    ASSERT_EQ(RemovePath(work / name, FOF_TO_TRASH), 0) << name;
  }
  TNames expected;
  for (const std::string& name : names) expected.emplace_back(Stored(name), name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Sweep(TrashItem("*.tmp", "", "D+0")), expected);
  EXPECT_EQ(Sweep(TrashItem("*.tmp", "", "D+1")), TNames{});

  TTrashPurger purger;
  for (const auto& [parsing, name] : expected) EXPECT_EQ(purger.Purge(parsing), 0);
  EXPECT_EQ(Sweep(TrashItem("*", "", "D+-1")), TNames{});
  for (const std::string& name : names) EXPECT_FALSE(Exists(work / name));
}

TEST_F(TrashSweepTest, WorkerTestReportsDueEntriesUnderTheirNamesAndRemovesNothing) {
  Trashed("stored-1", "report.txt", 10);
  Trashed("eq", "a=b.txt", 10);
  Trashed("fresh.txt", "fresh.txt", 3);
  TMemoryHost host;
  host.AddRow(TrashItem("*.txt", "", "D+7"));
  const auto outcome = host.RunWorker(true);
  EXPECT_EQ(outcome.ErrorMessage, "");
  EXPECT_EQ(Results(host.Log), (std::vector<std::string>{"TE 0x0000 " + FTrash + "/files/a=b.txt",
                                                         "TE 0x0000 " + FTrash + "/files/report.txt"}));
  for (const char* name : {"stored-1", "eq", "fresh.txt"}) EXPECT_TRUE(Exists(Stored(name)));
  EXPECT_FALSE(host.Row(0).Selected);
}

TEST_F(TrashSweepTest, WorkerRunPurgesExactlyTheDueEntriesForGoodWhateverTheLetters) {
  Trashed("stored-1", "report.txt", 10);
  Trashed("keep.txt", "keep.txt", 10);
  Trashed("young.txt", "young.txt", 1);
  Trashed("locked", "locked.txt", 10);
  WriteFile(Stored("orphan.txt"), "no record");
  // Root is not held back by rights: an immutable stored file cannot be removed.
  const int fd = open(Stored("locked").c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  const bool locked = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                      (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  TMemoryHost host;
  // Attribute and option letters, "B" among them, change nothing in a trash item.
  host.AddRow(TrashItem("*.txt", "keep*", "D+7", "HSD", "BOIU"));
  host.RunWorker(false);
  if (locked) {
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  if (fd >= 0) close(fd);
  // A removal that fails puts its code in the line; the entry keeps its record.
  std::vector<std::string> expected{"RM 0x0000 " + FTrash + "/files/report.txt",
                                    (locked ? "RM 0x0001 " : "RM 0x0000 ") + FTrash + "/files/locked.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Results(host.Log), expected);
  EXPECT_EQ(Exists(FTrash + "/info/locked.trashinfo"), locked);
  EXPECT_FALSE(Exists(Stored("stored-1")));
  EXPECT_FALSE(Exists(FTrash + "/info/stored-1.trashinfo"));
  for (const char* name : {"keep.txt", "young.txt", "orphan.txt"}) EXPECT_TRUE(Exists(Stored(name)));
  // Nothing was moved into the trash instead.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FTrash + "/info"), {}), locked ? 3 : 2);
}

TEST_F(TrashSweepTest, WorkerStoppedWhileCollectingPurgesNothing) {
  Trashed("a.txt", "a.txt", 10);
  TMemoryHost host;
  host.AddRow(TrashItem("*", "", "D+1"));
  // The row's texts are read right before the trash is enumerated.
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "RowTexts") host.Worker()->Terminate();
  };
  const auto outcome = host.RunWorker(false);
  EXPECT_TRUE(outcome.Terminated);
  EXPECT_TRUE(host.Log.empty());
  EXPECT_TRUE(Exists(Stored("a.txt")));
}

// A folder item with "B" puts its due entries into the trash; a trash item then
// finds them there under their own names, trashed just now.
TEST_F(TrashSweepTest, WorkerRoundTripThroughTheTrash) {
  TTempDir work;
  const std::string names[] = {"old 1.tmp", "old=2.tmp", "bad\xff.tmp"};
  const timespec old[2] = {{time(nullptr) - 30 * 86400, 0}, {time(nullptr) - 30 * 86400, 0}};
  for (const std::string& name : names) {
    WriteFile(work / name, "x");
    ASSERT_EQ(utimensat(AT_FDCWD, (work / name).c_str(), old, 0), 0);
  }
  WriteFile(work / "new.tmp", "x");
  TMemoryHost folder;
  folder.AddRow({work.Path(), "*.tmp", "", "M+7", "", "B"});
  folder.RunWorker(false);
  ASSERT_EQ(folder.Log.size(), 3u);
  for (const std::string& name : names) EXPECT_FALSE(Exists(work / name));
  EXPECT_TRUE(Exists(work / "new.tmp"));

  TMemoryHost trash;
  trash.AddRow(TrashItem("*.tmp", "", "D+0"));
  trash.AddRow(TrashItem("*.tmp", "", "D+1"));
  trash.RunWorker(false);
  std::vector<std::string> expected;
  for (const char* name : {"old 1.tmp", "old=2.tmp", "bad\\xff.tmp"})  // as the lines write them
    expected.push_back("RM 0x0000 " + FTrash + "/files/" + name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Results(trash.Log), expected);
  EXPECT_TRUE(std::filesystem::is_empty(FTrash + "/files"));
  EXPECT_TRUE(std::filesystem::is_empty(FTrash + "/info"));
}

namespace {
struct TStopPoint {
  TTrashStep Step;
  size_t Moved;
};
TStopPoint StopPoint;
TMemoryHost* StoppedHost = nullptr;
}  // namespace

// A stop in the middle of a batch of moves takes effect at the next entry: only the
// entries moved have lines, in the order of the list, and records; the records
// written for the others are taken back, and those stay where they were.
TEST_F(TrashSweepTest, WorkerStoppedInABatchOfMovesTakesBackTheRecordsOfWhatStays) {
  const TStopPoint points[] = {{TTrashStep::RecordsSealed, 0}, {TTrashStep::EntryMoved, 10}};
  for (const TStopPoint& point : points) {
    SCOPED_TRACE(point.Moved);
    TTempDir work;
    const timespec old[2] = {{time(nullptr) - 30 * 86400, 0}, {time(nullptr) - 30 * 86400, 0}};
    for (int i = 0; i < 40; ++i) {
      const std::string path = work / (std::to_string(i) + ".tmp");
      WriteFile(path, "x");
      ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    }
    TMemoryHost host;
    host.AddRow({work.Path(), "*.tmp", "", "M+7", "", "B"});
    StopPoint = point;
    StoppedHost = &host;
    SetTrashFaultForTesting([](TTrashStep Step, size_t Moved) {
      if (Step == StopPoint.Step && Moved == StopPoint.Moved) StoppedHost->Worker()->Interrupt();
    });
    const auto outcome = host.RunWorker(false);
    SetTrashFaultForTesting(nullptr);
    ASSERT_TRUE(outcome.ErrorMessage.empty()) << outcome.ErrorMessage;
    const TReservation& list = host.Row(0).Reservation;
    ASSERT_EQ(list.size(), 40u);
    ASSERT_EQ(host.Log.size(), point.Moved);
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string name = list[i].Path.substr(list[i].Path.rfind('/') + 1);
      const bool moved = i < point.Moved;
      if (moved) {
        EXPECT_NE(host.Log[i].find("RM 0x0000 " + list[i].Path), std::string::npos) << i;
      }
      EXPECT_EQ(Exists(list[i].Path), !moved) << i;
      EXPECT_EQ(Exists(FTrash + "/files/" + name), moved) << i;
      EXPECT_EQ(Exists(FTrash + "/info/" + name + ".trashinfo"), moved) << i;
    }
    EXPECT_TRUE(host.Row(0).Selected);
    std::filesystem::remove_all(FTrash);
  }
}
