#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/Removal.h"
#include "support/RemovePath.h"
#include "support/TestSupport.h"

namespace {

// Folder listings of this program can be made to skip one name, as an NFS listing may
// when entries are removed while the folder is being listed. Every other listing
// passes through unchanged.
const char* GSkippedName = "";
int GSkipsLeft = 0;

}  // namespace

extern "C" struct dirent64* readdir64(DIR* Dir) {
  using TReadDir = struct dirent64* (*)(DIR*);
  static const auto next = reinterpret_cast<TReadDir>(dlsym(RTLD_NEXT, "readdir64"));
  struct dirent64* entry = next(Dir);
  if (entry && GSkipsLeft > 0 && strcmp(entry->d_name, GSkippedName) == 0) {
    --GSkipsLeft;
    entry = next(Dir);
  }
  return entry;
}

namespace {


void MakeFolder(const std::string& Path) { ASSERT_EQ(mkdir(Path.c_str(), 0755), 0) << Path; }

void MakeLink(const std::string& Target, const std::string& Path) {
  ASSERT_EQ(symlink(Target.c_str(), Path.c_str()), 0) << Path;
}

// An outside folder with content that no removal in these tests may touch.
struct TOutside {
  TTempDir Dir;
  TOutside() {
    MakeFolder(Dir / "keep");
    WriteFile(Dir / "keep/precious.txt", "x");
  }
  bool Intact() const { return ReadFile(Dir / "keep/precious.txt") == "x"; }
};

bool SetImmutable(const std::string& Path, bool On) {
  const int fd = open(Path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = On ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return ok;
}

// Builds a chain of folders "d" Depth deep under Path, each level also holding a file
// "f" and an empty folder "e", so that the walk meets entries both before and after
// the next level. Built by handles, as the full path outgrows PATH_MAX.
bool MakeDeepChain(const std::string& Path, int Depth) {
  int fd = open(Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; fd >= 0 && level < Depth; ++level) {
    const int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const bool made = file >= 0 && mkdirat(fd, "e", 0755) == 0 && mkdirat(fd, "d", 0755) == 0;
    if (file >= 0) close(file);
    const int next = made ? openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  close(fd);
  return true;
}

// Runs Body in a child process whose descriptors are limited to Limit; answers the
// child's exit status, or -1.
template <typename TBody>
int RunWithDescriptorLimit(rlim_t Limit, TBody Body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const struct rlimit limit = {Limit, Limit};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(99);
    _exit(Body());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

TEST(Removal, RefusesEmptyRootAndDotPathsWithoutTouchingAnything) {
  TTempDir dir;
  WriteFile(dir / "a", "1");
  EXPECT_EQ(RemovePath("", FOF_FOR_GOOD), ENOENT);
  EXPECT_EQ(RemovePath("/", FOF_FOR_GOOD), EBUSY);
  EXPECT_EQ(RemovePath("///", FOF_FOR_GOOD), EBUSY);
  EXPECT_EQ(RemovePath(dir.Path() + "/.", FOF_FOR_GOOD), EINVAL);
  EXPECT_EQ(RemovePath(dir.Path() + "/..", FOF_FOR_GOOD), EINVAL);
  EXPECT_TRUE(Exists(dir / "a"));
  EXPECT_EQ(RemovePath(dir / "missing", FOF_FOR_GOOD), ENOENT);
  EXPECT_EQ(RemoveEntryForGood(AT_FDCWD, "", false), ENOENT);
  EXPECT_EQ(RemoveEntryForGood(AT_FDCWD, "a/b", false), EINVAL);
}

TEST(Removal, FileAndFolderTreeAreRemovedForGood) {
  TTempDir dir;
  WriteFile(dir / "file", "1");
  EXPECT_EQ(RemovePath(dir / "file", FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / "file"));

  MakeFolder(dir / "tree");
  MakeFolder(dir / "tree/a");
  MakeFolder(dir / "tree/a/b");
  WriteFile(dir / "tree/a/b/deep", "1");
  WriteFile(dir / "tree/.hidden", "1");
  ASSERT_EQ(mkfifo((dir / "tree/a/fifo").c_str(), 0600), 0);
  EXPECT_EQ(RemovePath(dir / "tree", FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / "tree"));
}

// A folder's walk asked to stop ends before its next entry and says so; the same
// walk not asked goes through.
TEST(Removal, StopEndsAFolderWalkBeforeItsNextEntry) {
  TTempDir dir;
  MakeFolder(dir / "tree");
  MakeFolder(dir / "tree/a");
  WriteFile(dir / "tree/a/f", "1");
  WriteFile(dir / "tree/g", "1");
  struct statx info;
  ASSERT_EQ(statx(AT_FDCWD, (dir / "tree").c_str(), AT_SYMLINK_NOFOLLOW,
                  STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME, &info),
            0);
  const TFoundEntry found = FoundEntryOf(info, ekFolder);
  const int parent = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(parent, 0);
  std::stop_source stop;
  stop.request_stop();
  TTreeRemoval stopped{stop.get_token(), true, 0};
  EXPECT_EQ(RemoveFoundEntryForGood(parent, "tree", found, false, &stopped), ECANCELED);
  EXPECT_TRUE(Exists(dir / "tree/a/f"));
  EXPECT_TRUE(Exists(dir / "tree/g"));
  EXPECT_EQ(stopped.Freed, 0u);
  TTreeRemoval going{std::stop_source().get_token(), false, 0};
  EXPECT_EQ(RemoveFoundEntryForGood(parent, "tree", found, false, &going), 0);
  EXPECT_FALSE(Exists(dir / "tree"));
  close(parent);
}

TEST(Removal, LinksAreRemovedAsLinksAndNeverFollowed) {
  TOutside outside;
  TTempDir dir;
  // A link to a folder given as the path, with and without a trailing slash.
  MakeLink(outside.Dir / "keep", dir / "link");
  EXPECT_EQ(RemovePath(dir / "link", FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / "link"));
  MakeLink(outside.Dir / "keep", dir / "link2");
  EXPECT_EQ(RemovePath(dir.Path() + "/link2/", FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / "link2"));
  EXPECT_TRUE(outside.Intact());

  // A due folder holding links to a folder and to a file outside, at two depths.
  MakeFolder(dir / "due");
  MakeFolder(dir / "due/sub");
  MakeLink(outside.Dir / "keep", dir / "due/to-folder");
  MakeLink(outside.Dir / "keep/precious.txt", dir / "due/sub/to-file");
  MakeLink("dangling-target", dir / "due/sub/dangling");
  EXPECT_EQ(RemovePath(dir / "due", FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / "due"));
  EXPECT_TRUE(outside.Intact());
  EXPECT_TRUE(Exists(outside.Dir / "keep"));
}

TEST(Removal, NamesAreBytesNotText) {
  TTempDir dir;
  const std::string invalid = "bad\xff\xfe name";
  const std::string lookalike = "bad\xef\xbf\xbd\xef\xbf\xbd name";  // the same name decoded lossily
  const std::string newline = "two\nlines";
  WriteFile(dir / invalid, "1");
  WriteFile(dir / lookalike, "1");
  MakeFolder(dir / newline);
  WriteFile(dir / (newline + "/" + invalid), "1");
  WriteFile(dir / "two", "1");

  EXPECT_EQ(RemovePath(dir / invalid, FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / invalid));
  EXPECT_TRUE(Exists(dir / lookalike));
  EXPECT_EQ(RemovePath(dir / newline, FOF_FOR_GOOD), 0);
  EXPECT_FALSE(Exists(dir / newline));
  EXPECT_TRUE(Exists(dir / "two"));
}

TEST(Removal, PartlyRemovableFolderKeepsTheRestAndReportsTheFirstFailure) {
  TTempDir dir;
  MakeFolder(dir / "due");
  MakeFolder(dir / "due/stuck");
  WriteFile(dir / "due/stuck/locked", "1");
  WriteFile(dir / "due/stuck/free", "1");
  WriteFile(dir / "due/other", "1");
  // Root ignores permissions, so an immutable file stands for one that cannot go.
  if (!SetImmutable(dir / "due/stuck/locked", true)) GTEST_SKIP() << "no immutable attribute here";
  const int code = RemovePath(dir / "due", FOF_FOR_GOOD);
  SetImmutable(dir / "due/stuck/locked", false);
  EXPECT_EQ(code, EPERM);
  EXPECT_TRUE(Exists(dir / "due/stuck/locked"));
  EXPECT_FALSE(Exists(dir / "due/stuck/free"));
  EXPECT_FALSE(Exists(dir / "due/other"));
}

// A tree far deeper than the descriptors the process may hold goes completely, and the
// removal never holds more than a bounded number of them (other threads need theirs).
TEST(Removal, DeepTreeIsRemovedWithFewDescriptors) {
  TTempDir dir;
  MakeFolder(dir / "deep");
  ASSERT_TRUE(MakeDeepChain(dir / "deep", 3000));
  WriteFile(dir / "beside", "1");
  const int status = RunWithDescriptorLimit(256, [&] { return RemovePath(dir / "deep", FOF_FOR_GOOD); });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(Exists(dir / "deep"));
  EXPECT_TRUE(Exists(dir / "beside"));
}

// Deep down, where the walk closes and reopens listings, an entry that cannot go must
// neither be retried for ever nor stop the rest from going.
TEST(Removal, DeepTreeWithAnEntryThatCannotGoKeepsJustThatPath) {
  TTempDir dir;
  MakeFolder(dir / "deep");
  ASSERT_TRUE(MakeDeepChain(dir / "deep", 300));
  std::string stuck = dir / "deep";
  for (int level = 0; level < 150; ++level) stuck += "/d";
  WriteFile(stuck + "/locked", "1");
  WriteFile(stuck + "/zz-free", "1");
  MakeFolder(stuck + "/e/more");
  if (!SetImmutable(stuck + "/locked", true)) GTEST_SKIP() << "no immutable attribute here";
  const int status = RunWithDescriptorLimit(256, [&] { return RemovePath(dir / "deep", FOF_FOR_GOOD); });
  SetImmutable(stuck + "/locked", false);
  EXPECT_EQ(status, EPERM);
  EXPECT_TRUE(Exists(stuck + "/locked"));
  EXPECT_FALSE(Exists(stuck + "/zz-free"));
  EXPECT_FALSE(Exists(stuck + "/e"));
  EXPECT_FALSE(Exists(stuck + "/d"));  // everything below went
  EXPECT_FALSE(Exists(stuck + "/f"));
  EXPECT_FALSE(Exists(dir / "deep/e"));  // and everything beside the path to it
  EXPECT_FALSE(Exists(dir / "deep/f"));
}

// A listing that skips a name leaves a folder that will not go although every entry
// listed went: it is listed once more, near the top and deep down where the parent's
// listing is closed meanwhile. A name skipped in both passes stays and is reported.
TEST(Removal, FolderThatStillHoldsEntriesAfterACleanPassIsListedOnceMore) {
  TTempDir dir;
  MakeFolder(dir / "due");
  for (const std::string name : {"a", "b", "c", "skipped", "x", "y", "z"}) WriteFile(dir / "due/" + name, "1");
  GSkippedName = "skipped";
  GSkipsLeft = 1;
  EXPECT_EQ(RemovePath(dir / "due", FOF_FOR_GOOD), 0);
  EXPECT_EQ(GSkipsLeft, 0);
  EXPECT_FALSE(Exists(dir / "due"));

  MakeFolder(dir / "deep");
  ASSERT_TRUE(MakeDeepChain(dir / "deep", 100));
  std::string inner = dir / "deep";
  for (int level = 0; level < 90; ++level) inner += "/d";
  WriteFile(inner + "/skipped", "1");
  GSkipsLeft = 1;
  EXPECT_EQ(RemovePath(dir / "deep", FOF_FOR_GOOD), 0);
  EXPECT_EQ(GSkipsLeft, 0);
  EXPECT_FALSE(Exists(dir / "deep"));

  MakeFolder(dir / "due");
  WriteFile(dir / "due/a", "1");
  WriteFile(dir / "due/skipped", "1");
  GSkipsLeft = 2;
  EXPECT_EQ(RemovePath(dir / "due", FOF_FOR_GOOD), ENOTEMPTY);
  EXPECT_EQ(GSkipsLeft, 0);
  EXPECT_TRUE(Exists(dir / "due/skipped"));
  EXPECT_FALSE(Exists(dir / "due/a"));
}

// Mounts a tmpfs and a bind mount of an outside folder inside a due folder in a
// private mount namespace of a child process; the child's exit status tells the
// findings (bits) or 77 when mounting is not possible here.
TEST(Removal, NeverDescendsIntoAnotherMount) {
  TOutside outside;
  TTempDir dir;
  MakeFolder(dir / "due");
  MakeFolder(dir / "due/sub");
  MakeFolder(dir / "due/sub/tmpfs");
  MakeFolder(dir / "due/bind");
  WriteFile(dir / "due/sub/file", "1");

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("none", (dir / "due/sub/tmpfs").c_str(), "tmpfs", 0, nullptr) != 0 ||
        mount((outside.Dir / "keep").c_str(), (dir / "due/bind").c_str(), nullptr, MS_BIND, nullptr) != 0)
      _exit(77);
    WriteFile(dir / "due/sub/tmpfs/inside", "1");
    int bits = 0;
    if (RemovePath(dir / "due", FOF_FOR_GOOD) == EBUSY) bits |= 1;
    if (Exists(dir / "due/sub/tmpfs/inside")) bits |= 2;
    if (Exists(dir / "due/bind/precious.txt")) bits |= 4;
    if (!Exists(dir / "due/sub/file")) bits |= 8;
    _exit(bits);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount in a private namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 1 | 2 | 4 | 8);
  EXPECT_TRUE(outside.Intact());
  EXPECT_TRUE(Exists(dir / "due/sub/tmpfs"));  // the mount points stayed
  EXPECT_TRUE(Exists(dir / "due/bind"));
}

// A due folder that is itself a mount point: a tmpfs (a medium) and a bind mount of
// an outside folder. Neither may be emptied.
TEST(Removal, DueFolderThatIsItselfAMountPointIsLeftWhole) {
  TOutside outside;
  TTempDir dir;
  MakeFolder(dir / "target");
  MakeFolder(dir / "target/usb");
  MakeFolder(dir / "target/bind");

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("none", (dir / "target/usb").c_str(), "tmpfs", 0, nullptr) != 0 ||
        mount((outside.Dir / "keep").c_str(), (dir / "target/bind").c_str(), nullptr, MS_BIND, nullptr) != 0)
      _exit(77);
    mkdir((dir / "target/usb/photos").c_str(), 0755);
    WriteFile(dir / "target/usb/photos/a.jpg", "1");
    WriteFile(dir / "target/usb/top.txt", "1");
    int bits = 0;
    if (RemovePath(dir / "target/usb", FOF_FOR_GOOD) == EBUSY) bits |= 1;
    if (RemovePath(dir.Path() + "/target/usb/", FOF_FOR_GOOD) == EBUSY) bits |= 2;
    if (Exists(dir / "target/usb/photos/a.jpg") && Exists(dir / "target/usb/top.txt")) bits |= 4;
    if (RemovePath(dir / "target/bind", FOF_FOR_GOOD) == EBUSY) bits |= 8;
    const int parentFd = open((dir / "target").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (RemoveEntryForGood(parentFd, "bind", true) == EBUSY) bits |= 16;
    if (Exists(dir / "target/bind/precious.txt")) bits |= 32;
    _exit(bits);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount in a private namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 1 | 2 | 4 | 8 | 16 | 32);
  EXPECT_TRUE(outside.Intact());
  EXPECT_TRUE(Exists(dir / "target/usb"));
  EXPECT_TRUE(Exists(dir / "target/bind"));
}

TEST(Removal, UndoFlagMovesIntoTheTrashInsteadOfDeleting) {
  TTempDir dir, data;
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  WriteFile(dir / "file", "1");
  const int code = RemovePath(dir / "file", FOF_TO_TRASH);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(Exists(dir / "file"));
  EXPECT_EQ(ReadFile(data / "Trash/files/file"), "1");
  EXPECT_EQ(RemovePath("", FOF_TO_TRASH), ENOENT);
}
