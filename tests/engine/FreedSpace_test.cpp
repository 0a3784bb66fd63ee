#include <gtest/gtest.h>

#include <sys/stat.h>

#include "engine/FreedSpace.h"
#include "SweepHelpers.h"

// A purged trash entry frees its stored entry: a file's blocks, a folder with its
// content. A folder's "directorysizes" line serves only while it names the record's
// own mtime; a stale one (the entry trashed again under the same name) is measured.
TEST(FreedSpace, TrashEntryUsesTheSizeCacheOnlyWhileItHolds) {
  TTempDir dir;
  const std::string trash = dir / "Trash";
  for (const std::string& folder : {trash, trash + "/files", trash + "/info", trash + "/files/folder name"})
    MakeFolder(folder);
  const std::string bulk(30000, 'x');
  MakeFile(trash + "/files/file", 0, bulk);
  MakeFile(trash + "/files/folder name/inner", 0, bulk);
  for (const char* name : {"file", "folder name"})
    WriteFile(trash + "/info/" + name + ".trashinfo", "[Trash Info]\nPath=/x\nDeletionDate=2024-01-01T00:00:00\n");
  struct stat record, folder, inner, file;
  ASSERT_EQ(stat((trash + "/info/folder name.trashinfo").c_str(), &record), 0);
  ASSERT_EQ(stat((trash + "/files/folder name").c_str(), &folder), 0);
  ASSERT_EQ(stat((trash + "/files/folder name/inner").c_str(), &inner), 0);
  ASSERT_EQ(stat((trash + "/files/file").c_str(), &file), 0);
  const uint64_t measured = uint64_t(folder.st_blocks + inner.st_blocks) * 512;
  const uint64_t cached = measured + 123456;

  struct TCase {
    const char* Name;
    int64_t CacheMtime;  // 0: no cache line
    uint64_t Expected;
  } cases[] = {
      {"valid cache line", int64_t(record.st_mtime), cached},
      {"stale cache line", int64_t(record.st_mtime) - 5, measured},
      {"no cache line", 0, measured},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile(trash + "/directorysizes",
              c.CacheMtime ? std::to_string(cached) + " " + std::to_string(c.CacheMtime) + " folder%20name\n" : "");
    TFreedSpace space;
    EXPECT_EQ(space.OfTrashEntry(trash + "/files/folder name"), c.Expected);
    EXPECT_EQ(space.OfTrashEntry(trash + "/files/file"), uint64_t(file.st_blocks) * 512);
  }
}
