// A run removes what the collect pass found and nothing else: links are removed as
// links, never followed, and names are passed back exactly as the folder gave them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "SweepHelpers.h"
#include "support/MemoryHost.h"

namespace {

// A folder outside the target folder, with content that must survive every run.
struct TOutside {
  explicit TOutside(const std::string& Path) : Path(Path) {
    MakeFolder(Path);
    MakeFile(Path + "/precious", 30);
    MakeFolder(Path + "/inner");
    MakeFile(Path + "/inner/deep", 30);
  }
  bool Intact() const { return Exists(Path + "/precious") && Exists(Path + "/inner/deep"); }
  std::string Path;
};

// Sets or clears the immutable flag; false where the file system or our rights refuse.
bool SetImmutable(const std::string& Path, bool On) {
  const int fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = On ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

bool AllLinesHave(const std::vector<std::string>& Lines, const std::string& Part) {
  for (const std::string& line : Lines)
    if (line.find(Part) == std::string::npos) return false;
  return !Lines.empty();
}

}  // namespace

TEST(RemovalSafety, ADueFolderIsRemovedWithoutFollowingItsLinks) {
  TTempDir dir;
  TOutside outside(dir / "outside");
  MakeFolder(dir / "target");
  MakeFolder(dir / "target/old.tmp");
  MakeLink(outside.Path, dir / "target/old.tmp/to-folder", 30);
  MakeLink(outside.Path + "/precious", dir / "target/old.tmp/to-file", 30);
  MakeFolder(dir / "target/old.tmp/sub");
  MakeLink(outside.Path + "/inner", dir / "target/old.tmp/sub/deeper", 30);
  SetAge(dir / "target/old.tmp", 30);
  MakeLink(outside.Path, dir / "target/link.tmp", 30);  // a due link to a folder

  TMemoryHost host;
  host.AddRow({dir / "target", "*.tmp", "", "M+7", "", "T"});
  host.RunWorker(false);
  EXPECT_EQ(host.Log.size(), 2u);
  EXPECT_TRUE(AllLinesHave(host.Log, " RM 0x0000 "));
  EXPECT_FALSE(Exists(dir / "target/old.tmp"));
  EXPECT_FALSE(Exists(dir / "target/link.tmp"));
  EXPECT_TRUE(outside.Intact());
}

TEST(RemovalSafety, AnEntryReplacedByALinkBetweenThePassesLosesOnlyTheLink) {
  TTempDir dir;
  TOutside outside(dir / "outside");
  MakeFolder(dir / "target");
  MakeFile(dir / "target/file.tmp", 30);
  MakeFolder(dir / "target/folder.tmp");
  SetAge(dir / "target/folder.tmp", 30);

  TMemoryHost host;
  host.AddRow({dir / "target", "*.tmp", "", "M+7", "D", ""});
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call != "SetProgressState" || host.States.back() != psNormal) return;
    // Between the passes: the due entries become links to what must not go.
    ASSERT_EQ(unlink((dir / "target/file.tmp").c_str()), 0);
    ASSERT_EQ(rmdir((dir / "target/folder.tmp").c_str()), 0);
    MakeLink(outside.Path + "/precious", dir / "target/file.tmp", 0);
    MakeLink(outside.Path, dir / "target/folder.tmp", 0);
  };
  host.RunWorker(false);
  // The links are not what the sweep found: they stay, and the lines say so.
  EXPECT_EQ(host.Log.size(), 2u);
  EXPECT_TRUE(AllLinesHave(host.Log, " RM 0x0074 ")) << host.Log[0] << "\n" << host.Log[1];  // ESTALE
  EXPECT_TRUE(Exists(dir / "target/file.tmp"));
  EXPECT_TRUE(Exists(dir / "target/folder.tmp"));
  EXPECT_TRUE(outside.Intact());

  // Entries whose inode was not recorded are judged by kind alone: the link in
  // place of a file or of a folder goes as a link, never followed.
  TMemoryHost unrecorded;
  unrecorded.AddRow({dir / "target", "*.tmp", "", "M+7", "D", ""}, false);
  unrecorded.Row(0).Reservation = {{dir / "target/file.tmp", "", {ekNonFolder, 0, 0}},
                                   {dir / "target/folder.tmp", "", {ekFolder, 0, 0}}};
  unrecorded.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "SetProgressState" && unrecorded.States.back() == psNormal) unrecorded.Row(0).Selected = true;
  };
  unrecorded.RunWorker(false);
  EXPECT_EQ(unrecorded.Log.size(), 2u);
  EXPECT_TRUE(AllLinesHave(unrecorded.Log, " RM 0x0000 ")) << unrecorded.Log[0] << "\n" << unrecorded.Log[1];
  EXPECT_FALSE(Exists(dir / "target/file.tmp"));
  EXPECT_FALSE(Exists(dir / "target/folder.tmp"));
  EXPECT_TRUE(outside.Intact());
}

// Runs one row whose entries Change alters between the collect and the remove pass.
std::vector<std::string> RunChangedBetweenPasses(const TItemTexts& Item, const std::function<void()>& Change) {
  TMemoryHost host;
  host.AddRow(Item);
  host.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "SetProgressState" && host.States.back() == psNormal) Change();
  };
  host.RunWorker(false);
  return host.Log;
}

TEST(RemovalSafety, AnEntryIsRemovedOnlyAsWhatTheSweepSaw) {
  TTempDir dir;
  const std::string target = dir / "target";
  MakeFolder(target);
  MakeFile(target + "/a.tmp", 30);
  MakeFolder(target + "/empty.tmp");
  SetAge(target + "/empty.tmp", 30);
  MakeFile(target + "/rotated.tmp", 30);

  // A file that became a folder is not removed as one; a folder found empty and
  // filled since keeps its content; a file of the same name made anew is not the
  // file that was judged old.
  std::vector<std::string> log =
      RunChangedBetweenPasses({target, "*.tmp", "", "M+7", "", "TO"}, [&] {
        ASSERT_EQ(unlink((target + "/a.tmp").c_str()), 0);
        MakeFolder(target + "/a.tmp");
        MakeFile(target + "/a.tmp/important", 0);
        MakeFile(target + "/empty.tmp/new", 0);
        ASSERT_EQ(rename((target + "/rotated.tmp").c_str(), (target + "/rotated.old").c_str()), 0);
        MakeFile(target + "/rotated.tmp", 0, "fresh");
      });
  ASSERT_EQ(log.size(), 3u);
  std::sort(log.begin(), log.end(), [](const std::string& A, const std::string& B) {
    return A.substr(A.rfind('/')) < B.substr(B.rfind('/'));
  });
  EXPECT_NE(log[0].find(" RM 0x0015 "), std::string::npos) << log[0];  // EISDIR
  EXPECT_NE(log[1].find(" RM 0x0027 "), std::string::npos) << log[1];  // ENOTEMPTY
  EXPECT_NE(log[2].find(" RM 0x0074 "), std::string::npos) << log[2];  // ESTALE
  EXPECT_TRUE(Exists(target + "/a.tmp/important"));
  EXPECT_TRUE(Exists(target + "/empty.tmp/new"));
  EXPECT_EQ(ReadFile(target + "/rotated.tmp"), "fresh");

  // The same entries unchanged go as before; a folder due whole under "T" goes with
  // what it gained since.
  const std::string again = dir / "again";
  MakeFolder(again);
  MakeFile(again + "/a.tmp", 30);
  MakeFolder(again + "/empty.tmp");
  SetAge(again + "/empty.tmp", 30);
  MakeFolder(again + "/whole.tmp");
  SetAge(again + "/whole.tmp", 30);
  log = RunChangedBetweenPasses({again, "*.tmp", "", "M+7", "", "T"},
                                [&] { MakeFile(again + "/whole.tmp/added", 0); });
  EXPECT_EQ(log.size(), 3u);
  EXPECT_TRUE(AllLinesHave(log, " RM 0x0000 "));
  EXPECT_FALSE(Exists(again + "/whole.tmp"));

  // A folder due whole that was replaced by another folder is not removed.
  const std::string swapped = dir / "swapped";
  MakeFolder(swapped);
  MakeFolder(swapped + "/old.tmp");
  SetAge(swapped + "/old.tmp", 30);
  log = RunChangedBetweenPasses({swapped, "*.tmp", "", "M+7", "", "T"}, [&] {
    ASSERT_EQ(rename((swapped + "/old.tmp").c_str(), (swapped + "/moved").c_str()), 0);
    MakeFolder(swapped + "/old.tmp");
    MakeFile(swapped + "/old.tmp/keep", 0);
  });
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(" RM 0x0074 "), std::string::npos) << log[0];
  EXPECT_TRUE(Exists(swapped + "/old.tmp/keep"));
}

TEST(RemovalSafety, NamesAreRemovedExactly) {
  TTempDir dir;
  const std::string folder = dir / "target";
  MakeFolder(folder);
  const std::string bad = "bad\xff.tmp", newline = "two\nlines.tmp";
  MakeFile(folder + "/" + bad, 30);
  MakeFile(folder + "/" + newline, 30);
  // Look-alikes that are not due: the same text validly encoded, and the two halves.
  MakeFile(folder + "/bad\xc3\xbf.tmp", 1);
  MakeFile(folder + "/two", 30);
  MakeFile(folder + "/lines.tmp", 1);

  TMemoryHost host;
  host.AddRow({folder, "*.tmp", "", "M+7", "", ""});
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 2u);
  EXPECT_TRUE(AllLinesHave(host.Log, " RM 0x0000 "));
  EXPECT_FALSE(Exists(folder + "/" + bad));
  EXPECT_FALSE(Exists(folder + "/" + newline));
  for (const char* kept : {"bad\xc3\xbf.tmp", "two", "lines.tmp"}) EXPECT_TRUE(Exists(folder + "/" + kept)) << kept;
  // Each line is one line, and names its entry's bytes exactly, escaped.
  std::vector<std::string> named{host.Log[0].substr(host.Log[0].find(folder)), host.Log[1].substr(host.Log[1].find(folder))};
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, (std::vector<std::string>{folder + "/bad\\xff.tmp", folder + "/two\\nlines.tmp"}));
}

TEST(RemovalSafety, AFolderThatCannotBeFullyRemovedReportsAndKeepsTheRest) {
  TTempDir dir;
  const std::string folder = dir / "target";
  MakeFolder(folder);
  MakeFolder(folder + "/stuck.tmp");
  MakeFile(folder + "/stuck.tmp/pinned", 30);
  MakeFile(folder + "/stuck.tmp/loose", 30);
  if (!SetImmutable(folder + "/stuck.tmp/pinned", true)) GTEST_SKIP() << "no immutable files here";
  struct TUnpin {
    std::string Path;
    ~TUnpin() { SetImmutable(Path, false); }
  } unpin{folder + "/stuck.tmp/pinned"};
  SetAge(folder + "/stuck.tmp", 30);

  TMemoryHost host;
  host.AddRow({folder, "*.tmp", "", "M+7", "D", ""});
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 1u);
  EXPECT_EQ(host.Log[0].find(" RM 0x0000 "), std::string::npos) << host.Log[0];
  EXPECT_NE(host.Log[0].find(" RM 0x"), std::string::npos);
  EXPECT_TRUE(Exists(folder + "/stuck.tmp/pinned"));
  EXPECT_FALSE(Exists(folder + "/stuck.tmp/loose"));
}

TEST(RemovalSafety, OptionBChecksTheEntryBeforeTrashingIt) {
  TTempDir dir;
  const std::string data = dir / "data";
  MakeFolder(data);
  const TScopedEnv dataHome("XDG_DATA_HOME", data.c_str());
  const std::string target = dir / "target";
  MakeFolder(target);
  MakeFile(target + "/a.tmp", 30);
  MakeFolder(target + "/empty.tmp");
  SetAge(target + "/empty.tmp", 30);
  MakeFile(target + "/same.tmp", 30, "old");

  std::vector<std::string> log = RunChangedBetweenPasses({target, "*.tmp", "", "M+7", "", "TOB"}, [&] {
    ASSERT_EQ(unlink((target + "/a.tmp").c_str()), 0);
    MakeFolder(target + "/a.tmp");
    MakeFile(target + "/a.tmp/important", 0);
    MakeFile(target + "/empty.tmp/new", 0);
  });
  ASSERT_EQ(log.size(), 3u);
  std::sort(log.begin(), log.end(), [](const std::string& A, const std::string& B) {
    return A.substr(A.rfind('/')) < B.substr(B.rfind('/'));
  });
  EXPECT_NE(log[0].find(" RM 0x0015 "), std::string::npos) << log[0];  // EISDIR
  EXPECT_NE(log[1].find(" RM 0x0027 "), std::string::npos) << log[1];  // ENOTEMPTY
  EXPECT_NE(log[2].find(" RM 0x0000 "), std::string::npos) << log[2];
  EXPECT_TRUE(Exists(target + "/a.tmp/important"));
  EXPECT_TRUE(Exists(target + "/empty.tmp/new"));
  EXPECT_EQ(ReadFile(data + "/Trash/files/same.tmp"), "old");
  EXPECT_FALSE(Exists(data + "/Trash/files/a.tmp"));
  EXPECT_FALSE(Exists(data + "/Trash/files/empty.tmp"));
}

TEST(RemovalSafety, OptionBMovesIntoTheTrashInsteadOfDeleting) {
  TTempDir dir;
  const std::string data = dir / "data";
  MakeFolder(data);
  const TScopedEnv dataHome("XDG_DATA_HOME", data.c_str());
  MakeFolder(dir / "target");
  MakeFile(dir / "target/old.tmp", 30, "keep me");

  TMemoryHost host;
  host.AddRow({dir / "target", "*.tmp", "", "M+7", "", "B"});
  host.RunWorker(false);
  ASSERT_EQ(host.Log.size(), 1u);
  EXPECT_NE(host.Log[0].find(" RM 0x0000 "), std::string::npos) << host.Log[0];
  EXPECT_FALSE(Exists(dir / "target/old.tmp"));
  EXPECT_EQ(ReadFile(data + "/Trash/files/old.tmp"), "keep me");
}
