#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

size_t EntriesIn(const std::string& Folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()));
}

}  // namespace

TEST(AtomicFile, ReplacesContentAndKeepsPermissions) {
  TTempDir dir;
  WriteFile(dir / "f", "old");
  ASSERT_EQ(chmod((dir / "f").c_str(), 0604), 0);
  const std::string big(200'000, 'b');  // larger than the write buffer
  TAtomicFile file(dir / "f");
  ASSERT_EQ(file.Open(), 0);
  EXPECT_EQ(file.Write("new "), 0);
  EXPECT_EQ(file.Write(big), 0);
  EXPECT_EQ(ReadFile(dir / "f"), "old");  // nothing shows before the commit
  ASSERT_EQ(file.Commit(), 0);
  EXPECT_EQ(ReadFile(dir / "f"), "new " + big);
  struct stat st;
  ASSERT_EQ(stat((dir / "f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(AtomicFile, NewFileTakesTheUmaskAndALinkKeepsPointingAtItsTarget) {
  TTempDir dir;
  const mode_t old = umask(022);
  EXPECT_EQ(ReplaceFileContent(dir / "new", "x"), 0);
  umask(old);
  EXPECT_EQ(fs::status(dir / "new").permissions(), fs::perms(0644));

  fs::create_symlink("new", dir / "link");
  EXPECT_EQ(ReplaceFileContent(dir / "link", "y"), 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(ReadFile(dir / "new"), "y");
}

// A link that another user could have planted is not followed: through a path it is
// refused, inside a folder handle it is replaced as a name. Either way its target stays.
TEST(AtomicFile, NoOtherUsersLinkIsFollowed) {
  TTempDir dir;
  WriteFile(dir / "target", "kept");
  fs::create_symlink(dir / "target", dir / "link");
  const int folder = open(dir.Path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  EXPECT_EQ(ReplaceFileContentAt(folder, "link", "new"), 0);
  close(folder);
  EXPECT_FALSE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(ReadFile(dir / "link"), "new");
  EXPECT_EQ(ReadFile(dir / "target"), "kept");

  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  fs::remove(dir / "link");
  fs::create_symlink(dir / "target", dir / "link");
  ASSERT_EQ(lchown((dir / "link").c_str(), 65534, 65534), 0);
  EXPECT_EQ(ReplaceFileContent(dir / "link", "new"), EPERM);
  EXPECT_EQ(ReadFile(dir / "target"), "kept");
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
}

TEST(AtomicFile, FailureLeavesTheOldFileAndNoTemporaryFile) {
  TTempDir dir;
  EXPECT_EQ(ReplaceFileContent(dir / "absent/f", "x"), ENOENT);
  EXPECT_EQ(ReplaceFileContent("", "x"), ENOENT);

  // The target is a folder: the rename is refused and the temporary file goes.
  fs::create_directory(dir / "folder");
  EXPECT_NE(ReplaceFileContent(dir / "folder", "x"), 0);
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);

  // A read-only file is protected, even from root.
  WriteFile(dir / "ro", "kept");
  fs::permissions(dir / "ro", fs::perms::owner_read);
  EXPECT_EQ(ReplaceFileContent(dir / "ro", "x"), EACCES);
  EXPECT_EQ(ReadFile(dir / "ro"), "kept");
  fs::remove(dir / "ro");

  // Abandoned without a commit.
  WriteFile(dir / "f", "old");
  {
    TAtomicFile file(dir / "f");
    ASSERT_EQ(file.Open(), 0);
    file.Write("half");
    EXPECT_EQ(EntriesIn(dir.Path()), 3u);
  }
  EXPECT_EQ(ReadFile(dir / "f"), "old");
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);

  TAtomicFile unopened(dir / "f");
  EXPECT_EQ(unopened.Write("x"), EBADF);
  EXPECT_NE(unopened.Commit(), 0);
  EXPECT_EQ(ReadFile(dir / "f"), "old");
}
