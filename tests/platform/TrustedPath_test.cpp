#include "platform/TrustedPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestSupport.h"

// The walk resolves links, "." and ".." as the kernel does, and ends on the folder
// that holds the last name.
TEST(TrustedPath, ResolvesAsTheKernelDoes) {
  TTempDir dir;
  const std::string d = dir.Path();
  ASSERT_EQ(mkdir((d + "/real").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((d + "/real/sub").c_str(), 0755), 0);
  WriteFile(d + "/real/file", "x");
  ASSERT_EQ(symlink("real", (d + "/rel").c_str()), 0);
  ASSERT_EQ(symlink((d + "/rel/sub").c_str(), (d + "/abs").c_str()), 0);
  ASSERT_EQ(symlink("loop", (d + "/loop").c_str()), 0);
  char* real = realpath(d.c_str(), nullptr);
  const std::string r = real;
  free(real);
  struct TCase {
    std::string Path;
    int Error;
    std::string Resolved;  // when Error is 0
    std::string Name;
  };
  const TCase cases[] = {
      {"/", 0, "/", ""},
      {d + "/real/./sub/..//file", 0, r + "/real/file", "file"},
      {d + "/rel/sub", 0, r + "/real/sub", "sub"},
      {d + "/abs/..", 0, r + "/real", "real"},
      {d + "/abs/new", 0, r + "/real/sub/new", "new"},  // the last name may name nothing
      {d + "/loop", ELOOP, "", ""},
      {d + "/missing/x", ENOENT, "", ""},
      {d + "/real/file/x", ENOTDIR, "", ""},
  };
  for (const TCase& c : cases) {
    TResolvedPath out;
    EXPECT_EQ(ResolveTrustedPath(c.Path, out), c.Error) << c.Path;
    if (c.Error != 0) continue;
    EXPECT_EQ(out.Path, c.Resolved) << c.Path;
    EXPECT_EQ(out.Name, c.Name) << c.Path;
    // The folder handle is the one that holds the name.
    struct stat viaHandle, viaPath;
    ASSERT_EQ(fstat(out.Folder.Get(), &viaHandle), 0);
    ASSERT_EQ(stat(c.Name.empty() ? "/" : c.Resolved.substr(0, c.Resolved.rfind('/') + 1).c_str(), &viaPath), 0);
    EXPECT_EQ(viaHandle.st_ino, viaPath.st_ino) << c.Path;
  }
}
