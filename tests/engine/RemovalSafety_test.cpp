// A run removes what the collect pass found and nothing else: links are removed as
// links, never followed, and names are passed back exactly as the folder gave them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cstdlib>

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
  EXPECT_EQ(host.Log.size(), 2u);
  EXPECT_TRUE(AllLinesHave(host.Log, " RM 0x0000 "));
  EXPECT_FALSE(Exists(dir / "target/file.tmp"));
  EXPECT_FALSE(Exists(dir / "target/folder.tmp"));
  EXPECT_TRUE(outside.Intact());
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
  // The line carries the name's own bytes.
  const bool named = host.Log[0].ends_with(folder + "/" + bad) || host.Log[1].ends_with(folder + "/" + bad);
  EXPECT_TRUE(named);
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

TEST(RemovalSafety, OptionBMovesIntoTheTrashInsteadOfDeleting) {
  TTempDir dir;
  const std::string data = dir / "data";
  MakeFolder(data);
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string savedValue = saved ? saved : "";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  MakeFolder(dir / "target");
  MakeFile(dir / "target/old.tmp", 30, "keep me");

  TMemoryHost host;
  host.AddRow({dir / "target", "*.tmp", "", "M+7", "", "B"});
  host.RunWorker(false);
  if (saved) setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
  else unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(host.Log.size(), 1u);
  EXPECT_NE(host.Log[0].find(" RM 0x0000 "), std::string::npos) << host.Log[0];
  EXPECT_FALSE(Exists(dir / "target/old.tmp"));
  EXPECT_EQ(ReadFile(data + "/Trash/files/old.tmp"), "keep me");
}
