#include "engine/FolderSweep.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/BriskoError.h"
#include "shell/ShellLink.h"
#include "SweepHelpers.h"

namespace {

// The names (not paths) the sweep finds due in Folder, sorted.
std::vector<std::string> Due(const std::string& Folder, const std::string& Includes, const std::string& Lapsed,
                             const std::string& Attrib = "", const std::string& Options = "",
                             const std::string& Excludes = "") {
  const TRunSettings settings = ParseRunSettings({Folder, Includes, Excludes, Lapsed, Attrib, Options}, Now());
  TReservation list;
  SweepFolder(settings, list, std::stop_token());
  std::vector<std::string> names;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& path = list[i].Path;
    EXPECT_EQ(path.substr(0, Folder.size() + 1), Folder + "/");
    names.emplace_back(path.substr(Folder.size() + 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

using TNames = std::vector<std::string>;

}  // namespace

TEST(FolderSweep, AgeByTheChosenTime) {
  TTempDir dir;
  MakeFile(dir / "a.tmp", 10);
  MakeFile(dir / "b.tmp", 2);
  MakeFile(dir / "c.txt", 10);
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "A+7"), TNames{"a.tmp"});
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7"), TNames{"a.tmp"});
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+1"), (TNames{"a.tmp", "b.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "", "", "*.txt"), TNames{"a.tmp"});
  // Last access and last write are told apart.
  const struct timespec times[2] = {{time(nullptr) - 30 * SecondsPerDay, 0}, {time(nullptr), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "b.tmp").c_str(), times, 0), 0);
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "A+7"), (TNames{"a.tmp", "b.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7"), TNames{"a.tmp"});
  // Creation: the files were made just now, whatever their other times say.
  EXPECT_TRUE(Due(dir.Path(), "*.tmp", "C+1").empty());
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "C+-1"), (TNames{"a.tmp", "b.tmp"}));
  // Any other letter: no age limit.
  for (const char* lapsed : {"X+5", "D+5", "m+5"}) EXPECT_EQ(Due(dir.Path(), "*", lapsed), (TNames{"a.tmp", "b.tmp", "c.txt"}));
}

TEST(FolderSweep, AnEntryExactlyAtTheCutoffIsDue) {
  TTempDir dir;
  const TDateTime moment = EncodeDateTime({2024, 5, 10, 15, 30, 0, 0});
  const TRunSettings settings = ParseRunSettings({dir.Path(), "*", "", "M+7", "", ""}, moment);
  const int64_t cutoffUtc = settings.FLapsedTime.Ms / 1000 - CurrentUtcOffsetSeconds();
  WriteFile(dir / "at", "");
  WriteFile(dir / "after", "");
  const struct timespec at[2] = {{cutoffUtc, 0}, {cutoffUtc, 0}};
  const struct timespec after[2] = {{cutoffUtc + 1, 0}, {cutoffUtc + 1, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "at").c_str(), at, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "after").c_str(), after, 0), 0);
  TReservation list;
  SweepFolder(settings, list, std::stop_token());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Path, dir / "at");
}

TEST(FolderSweep, ListingRule) {
  TTempDir dir;
  MakeFile(dir / "plain.tmp", 30);
  MakeFile(dir / ".hidden.tmp", 30);
  ASSERT_EQ(chmod((dir / "plain.tmp").c_str(), 0444), 0);  // read-only: always listed
  ASSERT_EQ(mkfifo((dir / "pipe.tmp").c_str(), 0644), 0);  // a system entry
  SetAge(dir / "pipe.tmp", 30);
  MakeFolder(dir / "old.tmp");
  SetAge(dir / "old.tmp", 30);
  MakeFolder(dir / ".olddir.tmp");
  SetAge(dir / ".olddir.tmp", 30);
  MakeLink(dir / "old.tmp", dir / "link.tmp", 30);  // a link to a folder is no folder

  const TNames plain{"link.tmp", "plain.tmp"};
  EXPECT_EQ(Due(dir.Path(), "*", "M+7"), plain);
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "RA"), plain);
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "H"), (TNames{".hidden.tmp", "link.tmp", "plain.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "S"), (TNames{"link.tmp", "pipe.tmp", "plain.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "D"), (TNames{"link.tmp", "old.tmp", "plain.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "", "T"), (TNames{"link.tmp", "old.tmp", "plain.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*", "M+7", "HD"), (TNames{".hidden.tmp", ".olddir.tmp", "link.tmp", "old.tmp", "plain.tmp"}));
  // "." and ".." are never candidates.
  EXPECT_EQ(Due(dir.Path(), "*", "X+0", "RHSDA", "T").size(), 6u);
}

TEST(FolderSweep, OnlyEmptyFoldersWithO) {
  TTempDir dir;
  MakeFolder(dir / "empty.tmp");
  MakeFolder(dir / "full.tmp");
  MakeFolder(dir / "hiddenfull.tmp");
  MakeFile(dir / "full.tmp/x", 30);
  MakeFile(dir / "hiddenfull.tmp/.x", 30);
  MakeFile(dir / "file.tmp", 30);
  for (const char* name : {"empty.tmp", "full.tmp", "hiddenfull.tmp"}) SetAge(dir / name, 30);
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7", "", "T"), (TNames{"empty.tmp", "file.tmp", "full.tmp", "hiddenfull.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7", "", "TO"), (TNames{"empty.tmp", "file.tmp"}));
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7", "D", "O"), (TNames{"empty.tmp", "file.tmp"}));
  // A non-empty folder is dated now: only a cutoff in the future takes it.
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+-1", "", "TO").size(), 4u);
}

TEST(FolderSweep, DeadShortcutsWithIAndU) {
  TTempDir dir;
  MakeLink(dir / "gone", dir / "dead", 1);
  MakeLink("/media/brisko-no-medium/file", dir / "removable", 1);
  MakeLink("/media/brisko-no-medium/old", dir / "oldremovable", 40);
  MakeFile(dir / "alive", 1);
  MakeLink("alive", dir / "live", 1);
  MakeFile(dir / "broken.lnk", 1, "this is no shortcut");
  const std::string masks = "dead;removable;oldremovable;live;broken.lnk";
  EXPECT_EQ(Due(dir.Path(), masks, "M+30"), TNames{"oldremovable"});
  EXPECT_EQ(Due(dir.Path(), masks, "M+30", "", "I"), (TNames{"broken.lnk", "dead", "oldremovable", "removable"}));
  EXPECT_EQ(Due(dir.Path(), masks, "M+30", "", "IU"), (TNames{"broken.lnk", "dead", "oldremovable"}));
  EXPECT_EQ(Due(dir.Path(), masks, "M+30", "", "U"), TNames{"oldremovable"});
}

TEST(FolderSweep, ShortcutFilesWithIAndU) {
  TTempDir dir;
  MakeFile(dir / "target", 1);
  // Written as a Windows program would: a live one, a dead one on a fixed drive, a
  // dead one on a removable drive, all a day old.
  const auto writeShortcut = [&](const std::string& Name, const std::string& Target, uint32_t DriveType) {
    TShellLink link;
    link.SetVolumeDriveType(DriveType);
    link.SetTargetPath(Target);
    ASSERT_TRUE(link.Save(dir / Name));
    SetAge(dir / Name, 1);
  };
  writeShortcut("live.lnk", dir / "target", DRIVE_FIXED);
  writeShortcut("fixed.LNK", "C:\\gone\\a.txt", DRIVE_FIXED);
  writeShortcut("usb.lnk", "E:\\docs\\a.txt", DRIVE_REMOVABLE);
  writeShortcut("cd.lnk", "Q:\\setup.exe", DRIVE_CDROM);
  EXPECT_TRUE(Due(dir.Path(), "*.lnk", "M+30").empty());
  EXPECT_EQ(Due(dir.Path(), "*.lnk", "M+30", "", "I"), (TNames{"cd.lnk", "fixed.LNK", "usb.lnk"}));
  EXPECT_EQ(Due(dir.Path(), "*.lnk", "M+30", "", "IU"), TNames{"fixed.LNK"});
  // Past the age limit a shortcut is due whatever its target.
  EXPECT_EQ(Due(dir.Path(), "*.lnk", "M+0", "", "IU").size(), 4u);
}

TEST(FolderSweep, OnlyFilesAndLinksAreShortcuts) {
  TTempDir dir;
  MakeFolder(dir / "Projects.lnk");
  MakeFolder(dir / "Projects.lnk/src");
  MakeFile(dir / "Projects.lnk/src/main.c", 1);
  SetAge(dir / "Projects.lnk/src", 1);
  SetAge(dir / "Projects.lnk", 1);
  MakeFolder(dir / "Empty.lnk");
  SetAge(dir / "Empty.lnk", 1);
  ASSERT_EQ(mkfifo((dir / "pipe.lnk").c_str(), 0644), 0);
  SetAge(dir / "pipe.lnk", 1);
  MakeFile(dir / "dead.lnk", 1, "this is no shortcut");
  // A folder with content is no dead shortcut: "O" keeps it; the empty one is only
  // 1 day old, and neither is the FIFO a shortcut.
  EXPECT_EQ(Due(dir.Path(), "*.lnk", "M+30", "S", "TOI"), TNames{"dead.lnk"});
  EXPECT_EQ(Due(dir.Path(), "*.lnk", "M+30", "S", "TI"), TNames{"dead.lnk"});
}

TEST(FolderSweep, FoldersThatCannotBeListedGiveNothing) {
  TTempDir dir;
  MakeFile(dir / "file", 30);
  EXPECT_TRUE(Due(dir / "missing", "*", "X+0").empty());
  EXPECT_TRUE(Due(dir / "file", "*", "X+0").empty());
  EXPECT_TRUE(Due("", "*", "X+0").empty());
}

TEST(FolderSweep, NamesAreKeptAsBytes) {
  TTempDir dir;
  const std::string odd = "bad\xff\xfe.tmp", newline = "two\nlines.tmp";
  MakeFile(dir / odd, 10);
  MakeFile(dir / newline, 10);
  MakeFile(dir / "bad\xc3\xbf\xc3\xbe.tmp", 1);
  EXPECT_EQ(Due(dir.Path(), "*.tmp", "M+7"), (TNames{odd, newline}));
  EXPECT_EQ(Due(dir.Path(), "bad??.tmp", "M+0"), (TNames{"bad\xc3\xbf\xc3\xbe.tmp", odd}));
  // A folder text ending in "/" gets no second one.
  const TRunSettings settings = ParseRunSettings({dir.Path() + "/", odd, "", "X+0", "", ""}, Now());
  TReservation list;
  SweepFolder(settings, list, std::stop_token());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Path, dir / odd);
}

TEST(FolderSweep, StopsBeforeTheNextEntry) {
  TTempDir dir;
  for (int i = 0; i < 20; ++i) MakeFile(dir / ("f" + std::to_string(i)), 10);
  std::stop_source stop;
  stop.request_stop();
  TReservation list;
  SweepFolder(ParseRunSettings({dir.Path(), "*", "", "X+0", "", ""}, Now()), list, stop.get_token());
  EXPECT_EQ(list.size(), 0u);
}

TEST(FolderSweep, MalformedMasksRaiseOnlyWhenReached) {
  TTempDir dir;
  MakeFile(dir / "a.tmp", 10);
  EXPECT_THROW(Due(dir.Path(), "*.txt;[", "X+0"), EBriskoError);
  EXPECT_NO_THROW(Due(dir.Path(), "*.tmp;[", "X+0"));
  EXPECT_NO_THROW(Due(dir.Path(), "*.txt", "X+0", "", "", "["));
  EXPECT_THROW(Due(dir.Path(), "*.tmp", "X+0", "", "", "["), EBriskoError);
}
