#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>

#include "platform/FileHandle.h"
#include "platform/Mounts.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "support/RemovePath.h"
#include "support/TestSupport.h"

namespace {


void MakeFolder(const std::string& Path, mode_t Mode = 0755) {
  ASSERT_EQ(mkdir(Path.c_str(), Mode), 0) << Path;
  chmod(Path.c_str(), Mode);  // past the umask, for the sticky bit
}

std::string BaseName(const std::string& Path) { return Path.substr(Path.rfind('/') + 1); }

std::string Uid() { return std::to_string(geteuid()); }

TDateTime Local(int Y, int M, int D, int h, int m, int s, int ms = 0) {
  return WallClockToDateTime({Y, M, D, h, m, s, ms});
}

// TZ for one test; the C library reads it again when it is set and when it is restored.
class TScopedZone {
public:
  explicit TScopedZone(const char* Zone) : FEnv("TZ", Zone) { tzset(); }

private:
  struct TReread {
    ~TReread() { tzset(); }
  } FReread;  // destroyed after FEnv has restored TZ
  TScopedEnv FEnv;
};

// A home with its own data folder, and a mount table that the test writes: "/" plus
// the fake top directories that a test adds.
class TrashTest : public ::testing::Test {
protected:
  TTempDir FHome;
  std::string FMountInfo;
  std::string FMountLines = "20 1 8:1 / / rw,relatime shared:1 - ext4 /dev/vda rw\n";
  int FNextMountId = 30;

  void SetUp() override {
    setenv("XDG_DATA_HOME", (FHome / "data").c_str(), 1);
    FMountInfo = FHome / "mountinfo";
    WriteMounts();
    SetMountInfoPathForTesting(FMountInfo);
  }
  void TearDown() override {
    SetMountInfoPathForTesting("/proc/self/mountinfo");
    unsetenv("XDG_DATA_HOME");
  }
  void WriteMounts() { WriteFile(FMountInfo, FMountLines); }
  void AddMount(const std::string& Point, const std::string& Type = "ext4") {
    const int id = FNextMountId++;
    FMountLines += std::to_string(id) + " 20 8:" + std::to_string(id) + " / " + Point +
                   " rw,relatime - " + Type + " /dev/vdb rw\n";
    WriteMounts();
  }
  std::string HomeTrash() const { return FHome / "data/Trash"; }

  // A record as file managers write it, with its stored entry.
  static void PutTrashed(const std::string& Trash, const std::string& Stored, const std::string& Record,
                         bool WithStoredFile = true) {
    std::filesystem::create_directories(Trash + "/files");
    std::filesystem::create_directories(Trash + "/info");
    WriteFile(Trash + "/info/" + Stored + ".trashinfo", Record);
    if (WithStoredFile) WriteFile(Trash + "/files/" + Stored, "content");
  }

  static std::map<std::string, TTrashRecord> Enumerate(std::vector<std::string> Folders) {
    TTrashEnumerator e(std::move(Folders));
    std::map<std::string, TTrashRecord> found;
    TTrashRecord r;
    while (e.Next(r)) found[r.StoredPath] = r;
    return found;
  }
  static std::vector<TTrashRecord> EnumerateUser() {
    TTrashEnumerator e;
    std::vector<TTrashRecord> found;
    TTrashRecord r;
    while (e.Next(r)) found.push_back(r);
    return found;
  }
};

}  // namespace

TEST(TrashDate, ReadsTheFormsWrittenInTheWild) {
  const TDateTime expected = Local(2024, 5, 10, 15, 30, 7);
  EXPECT_EQ(ParseTrashDate("2024-05-10T15:30:07"), expected);
  EXPECT_EQ(ParseTrashDate("20240510T15:30:07"), expected);
  EXPECT_EQ(ParseTrashDate("  2024-05-10T15:30:07\r"), expected);
  EXPECT_EQ(ParseTrashDate("2024-05-10T15:30:07.25"), Local(2024, 5, 10, 15, 30, 7, 250));
  EXPECT_EQ(ParseTrashDate("2024-05-10T15:30:07.123456"), Local(2024, 5, 10, 15, 30, 7, 123));

  // With a zone the value is a moment: taken to UTC, then to local time now.
  const int64_t utc = EncodeDateTime({2024, 5, 10, 15, 30, 7, 0}).Ms / 1000;
  EXPECT_EQ(ParseTrashDate("2024-05-10T15:30:07Z"), UtcToLocalDateTime(utc));
  EXPECT_EQ(ParseTrashDate("2024-05-10T17:30:07+02:00"), UtcToLocalDateTime(utc));
  EXPECT_EQ(ParseTrashDate("2024-05-10T10:00:07-0530"), UtcToLocalDateTime(utc));
  EXPECT_EQ(ParseTrashDate("2024-05-10T15:30:07.5Z"), UtcToLocalDateTime(utc, 500'000'000));

  for (const char* bad : {"", "garbage", "2024-05-10", "2024-05-10T15:30", "2024-13-01T00:00:00",
                          "2023-02-29T00:00:00", "2024-05-10T24:00:00", "2024-05-10T15:30:07 junk",
                          "2024-05-10T15:30:07+25:00", "2024-0510T15:30:07", "2024-05-10T15:30:07."})
    EXPECT_FALSE(ParseTrashDate(bad).has_value()) << bad;
  EXPECT_TRUE(ParseTrashDate("2024-02-29T00:00:00").has_value());
}

// A DeletionDate is the wall clock of its own date. Read with the offset of today,
// a summer date would be an hour off in winter and the other way round.
TEST(TrashDate, TakesTheOffsetOfItsOwnDate) {
  const TScopedZone berlin("Europe/Berlin");
  const struct {
    const char* Text;
    TDateFields Utc;
  } cases[] = {
      {"2024-07-10T12:00:00", {2024, 7, 10, 10, 0, 0, 0}},      // summer time, UTC+2
      {"2024-12-10T12:00:00", {2024, 12, 10, 11, 0, 0, 0}},     // winter time, UTC+1
      {"2024-03-31T03:30:00.5", {2024, 3, 31, 1, 30, 0, 500}},  // just after the change
      {"2024-10-27T01:59:59", {2024, 10, 26, 23, 59, 59, 0}},   // before the change back
      {"2024-03-31T01:59:59", {2024, 3, 31, 0, 59, 59, 0}},     // the last second before the change
      {"2024-03-31T03:00:00", {2024, 3, 31, 1, 0, 0, 0}},       // its first second
  };
  // Twice over: offsets remembered from the first pass must give the same answers.
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& c : cases) {
      const int64_t utcMs = EncodeDateTime(c.Utc).Ms;
      EXPECT_EQ(ParseTrashDate(c.Text), UtcToLocalDateTime(utcMs / 1000, utcMs % 1000 * 1'000'000)) << c.Text;
    }
}

TEST(TrashPath, EncodingKeepsUnreservedBytesAndSlashAndRoundTripsEveryByte) {
  EXPECT_EQ(EncodeTrashPath("/home/u/a b=c%.txt"), "/home/u/a%20b%3Dc%25.txt");
  EXPECT_EQ(EncodeTrashPath("\xe6\x97\xa5\n~"), "%E6%97%A5%0A~");
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(DecodeTrashPath(EncodeTrashPath(all)), all);
  // Lower-case hex decodes too; a stray "%" stays.
  EXPECT_EQ(DecodeTrashPath("a%e6%97%a5%zz%4"), "a\xe6\x97\xa5%zz%4");
}

TEST(TrashInfo, ReadsRecordsAsFileManagersWriteThem) {
  auto info = ParseTrashInfo("[Trash Info]\nPath=/home/u/My%20Docs/a%3Db%E6%97%A5.txt\nDeletionDate=2024-05-10T15:30:07\n");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Path, "/home/u/My Docs/a=b\xe6\x97\xa5.txt");
  EXPECT_EQ(info->DeletionDate, Local(2024, 5, 10, 15, 30, 7));

  // CRLF, comments, blanks, spaces around "=", an unencoded "=" in the value, first keys win.
  info = ParseTrashInfo(
      "# written by hand\r\n\r\n[Trash Info]\r\nDeletionDate = 20240510T15:30:07\r\nPath = rel/x=y\r\n"
      "Path=/other\r\nDeletionDate=2000-01-01T00:00:00\r\n[Other]\r\nPath=/third\r\n");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Path, "rel/x=y");
  EXPECT_EQ(info->DeletionDate, Local(2024, 5, 10, 15, 30, 7));

  // No date or a bad date: still a record, without a deletion time.
  info = ParseTrashInfo("[Trash Info]\nPath=/a\n");
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->DeletionDate);
  info = ParseTrashInfo("[Trash Info]\nPath=/a\nDeletionDate=yesterday\n");
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->DeletionDate);
}

TEST(TrashInfo, MalformedRecords) {
  // Not a record at all.
  EXPECT_FALSE(ParseTrashInfo(""));
  EXPECT_FALSE(ParseTrashInfo("Path=/a\nDeletionDate=2024-05-10T15:30:07\n"));             // no group
  EXPECT_FALSE(ParseTrashInfo("[Desktop Entry]\n[Trash Info]\nPath=/a\n"));                // other group first
  EXPECT_FALSE(ParseTrashInfo(std::string("\x7f" "ELF\0\0\x01\x02[Trash Info]\nPath=/a\n", 24)));  // binary
  // A record whose path is missing or unusable: no original path, the date still read.
  for (const char* text : {"[Trash Info]\nDeletionDate=2024-05-10T15:30:07\n", "[Trash Info]\nPath=\n",
                           "[Trash Info]\nPath=/a%00b\nDeletionDate=2024-05-10T15:30:07\n"}) {
    const auto info = ParseTrashInfo(text);
    ASSERT_TRUE(info) << text;
    EXPECT_EQ(info->Path, "") << text;
  }
  EXPECT_EQ(ParseTrashInfo("[Trash Info]\nPath=/a%00b\nDeletionDate=2024-05-10T15:30:07\n")->DeletionDate,
            Local(2024, 5, 10, 15, 30, 7));
}

TEST_F(TrashTest, EnumerationReadsRecordsLenientlyAndSkipsWhatNamesNothing) {
  const std::string t = HomeTrash();
  PutTrashed(t, "report.txt", "[Trash Info]\nPath=/home/u/a%20b%3Dc%E6%97%A5.txt\nDeletionDate=2024-05-10T15:30:07\n");
  PutTrashed(t, "nodate", "[Trash Info]\nPath=/home/u/nodate\n");
  PutTrashed(t, "baddate", "[Trash Info]\nPath=/home/u/baddate\nDeletionDate=2024-99-99T00:00:00\n");
  PutTrashed(t, "nogroup", "Path=/home/u/nogroup\n");
  PutTrashed(t, "nopath", "[Trash Info]\nDeletionDate=2024-05-10T15:30:07\n");
  PutTrashed(t, "binary", std::string("\0\1\2\3\xff\xfe", 6));
  PutTrashed(t, "missing", "[Trash Info]\nPath=/home/u/missing\n", false);
  // A huge record: the lines within the read limit still count, the rest is ignored.
  PutTrashed(t, "huge", "[Trash Info]\nPath=/home/u/huge\nDeletionDate=2024-01-02T03:04:05\n#" +
                            std::string(1 << 20, 'x') + "\n");
  PutTrashed(t, "hugegarbage", std::string(1 << 20, 'x'));
  WriteFile(t + "/files/orphan", "no record");
  WriteFile(t + "/info/notarecord.txt", "[Trash Info]\nPath=/x\n");
  // Records whose names would give files/. and files/..: the trash folder itself and
  // its parent are never entries.
  WriteFile(t + "/info/..trashinfo", "[Trash Info]\nPath=/dot\n");
  WriteFile(t + "/info/...trashinfo", "[Trash Info]\nPath=/dotdot\n");
  MakeFolder(t + "/info/folder.trashinfo");

  const auto found = Enumerate({t});
  for (const auto& entry : found)
    EXPECT_NE(BaseName(entry.first).find_first_not_of('.'), std::string::npos) << entry.first;
  ASSERT_EQ(found.size(), 5u);
  const TTrashRecord& r = found.at(t + "/files/report.txt");
  EXPECT_EQ(r.InfoPath, t + "/info/report.txt.trashinfo");
  EXPECT_EQ(r.OriginalPath, "/home/u/a b=c\xe6\x97\xa5.txt");
  EXPECT_EQ(r.DeletionDate, Local(2024, 5, 10, 15, 30, 7));
  EXPECT_FALSE(found.at(t + "/files/nodate").DeletionDate);
  EXPECT_FALSE(found.at(t + "/files/baddate").DeletionDate);
  EXPECT_EQ(found.at(t + "/files/nopath").OriginalPath, "");
  EXPECT_EQ(found.at(t + "/files/nopath").DeletionDate, Local(2024, 5, 10, 15, 30, 7));
  EXPECT_EQ(found.at(t + "/files/huge").DeletionDate, Local(2024, 1, 2, 3, 4, 5));
}

TEST_F(TrashTest, UserTrashFoldersTakeTopDirectoriesWithTheirChecksAndReadEachOnce) {
  TTempDir top1, top2, top3, top4, proc;
  PutTrashed(HomeTrash(), "h", "[Trash Info]\nPath=/h\n");
  // top1: own trash, also reached through a second mount (a bind mount).
  PutTrashed(top1 / (".Trash-" + Uid()), "t1", "[Trash Info]\nPath=sub/t1\n");
  ASSERT_EQ(symlink(top1.Path().c_str(), (top4 / "bind").c_str()), 0);
  // top2: shared trash with the sticky bit.
  MakeFolder(top2 / ".Trash", 01777);
  PutTrashed(top2 / (".Trash/" + Uid()), "t2", "[Trash Info]\nPath=t2\n");
  // top3: a shared trash without the sticky bit is not used.
  MakeFolder(top3 / ".Trash", 0777);
  PutTrashed(top3 / (".Trash/" + Uid()), "t3", "[Trash Info]\nPath=t3\n");
  // A pseudo file system is never looked at.
  PutTrashed(proc / (".Trash-" + Uid()), "p", "[Trash Info]\nPath=p\n");
  AddMount(top1.Path());
  AddMount(top2.Path());
  AddMount(top3.Path());
  AddMount(top4 / "bind");
  AddMount(proc.Path(), "proc");

  const std::vector<std::string> folders = UserTrashFolders();
  EXPECT_EQ(folders, (std::vector<std::string>{HomeTrash(), top1 / (".Trash-" + Uid()),
                                               top2 / (".Trash/" + Uid())}));
  std::vector<std::string> originals;
  for (const TTrashRecord& r : EnumerateUser()) originals.push_back(r.OriginalPath);
  std::vector<std::string> expected{"/h", top1 / "sub/t1", top2 / "t2"};
  std::sort(originals.begin(), originals.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(originals, expected);
}

// A dead file server or automount would hang a look at its trash: such mounts are
// passed over, by their type alone.
TEST_F(TrashTest, UserTrashFoldersPassOverNetworkAndAutomountedFileSystems) {
  TTempDir nfs, autofs, sshfs, local;
  PutTrashed(HomeTrash(), "h", "[Trash Info]\nPath=/h\n");
  for (const TTempDir* top : {&nfs, &autofs, &sshfs, &local})
    PutTrashed(*top / (".Trash-" + Uid()), "t", "[Trash Info]\nPath=t\n");
  AddMount(nfs.Path(), "nfs4");
  AddMount(autofs.Path(), "autofs");
  AddMount(sshfs.Path(), "fuse.sshfs");
  AddMount(local.Path());
  EXPECT_EQ(UserTrashFolders(), (std::vector<std::string>{HomeTrash(), local / (".Trash-" + Uid())}));

  // The home trash counts even when the home lies on a network file system.
  FMountLines = "20 1 0:50 / / rw - nfs4 server:/export rw\n";
  WriteMounts();
  EXPECT_EQ(UserTrashFolders(), std::vector<std::string>{HomeTrash()});
}

TEST_F(TrashTest, TrashingIntoTheHomeTrashKeepsNameBytesAndDate) {
  TTempDir work;
  const std::string names[] = {"plain.txt", "a b=c.txt", "bad\xff name", "two\nlines", "\xe6\x97\xa5\xe6\x9c\xac"};
  const TDateTime before = IncDays(Now(), 0);
  for (const std::string& name : names) {
    WriteFile(work / name, name);
    ASSERT_EQ(RemovePath(work / name, FOF_TO_TRASH), 0) << name;
    EXPECT_FALSE(Exists(work / name));
  }
  const auto found = EnumerateUser();
  ASSERT_EQ(found.size(), std::size(names));
  for (const std::string& name : names) {
    auto it = std::find_if(found.begin(), found.end(), [&](const TTrashRecord& r) { return BaseName(r.OriginalPath) == name; });
    ASSERT_NE(it, found.end()) << name;
    EXPECT_EQ(it->OriginalPath, work / name);
    EXPECT_EQ(ReadFile(it->StoredPath), name);
    ASSERT_TRUE(it->DeletionDate);
    EXPECT_GE(it->DeletionDate->Ms, before.Ms - 1000);
    EXPECT_LE(it->DeletionDate->Ms, Now().Ms + 1000);
  }
  // The record is absolute and percent-encoded, the date in the common local form.
  const std::string record = ReadFile(HomeTrash() + "/info/a b=c.txt.trashinfo");
  EXPECT_EQ(record.rfind("[Trash Info]\nPath=" + EncodeTrashPath(work / "a b=c.txt") + "\nDeletionDate=", 0), 0u);
  EXPECT_NE(record.find("a%20b%3Dc.txt"), std::string::npos);
  EXPECT_EQ(record.size(), std::string("[Trash Info]\nPath=\nDeletionDate=2024-05-10T15:30:07\n").size() +
                               EncodeTrashPath(work / "a b=c.txt").size());
}

TEST_F(TrashTest, TrashingFindsFreeNamesShortensLongOnesAndKeepsLinksAsLinks) {
  TTempDir work, outside;
  WriteFile(outside / "target", "keep");
  // The same name twice, and a stray stored entry without a record in the way.
  PutTrashed(HomeTrash(), "x", "[Trash Info]\nPath=/old/x\n");
  WriteFile(HomeTrash() + "/files/y", "stray");
  for (const char* name : {"x", "y"}) {
    WriteFile(work / name, name);
    ASSERT_EQ(RemovePath(work / name, FOF_TO_TRASH), 0);
  }
  EXPECT_EQ(ReadFile(HomeTrash() + "/files/x.2"), "x");
  EXPECT_EQ(ReadFile(HomeTrash() + "/files/y.2"), "y");
  EXPECT_EQ(ReadFile(HomeTrash() + "/files/y"), "stray");
  EXPECT_FALSE(Exists(HomeTrash() + "/info/y.trashinfo"));  // the failed attempt left no record

  const std::string longName = std::string(200, 'a') + std::string(20, '\xe6') + "\xe6\x97\xa5\xe6\x97\xa5.txt";
  WriteFile(work / longName.substr(0, 255), "long");
  ASSERT_EQ(RemovePath(work / longName.substr(0, 255), FOF_TO_TRASH), 0);

  ASSERT_EQ(symlink((outside / "target").c_str(), (work / "link").c_str()), 0);
  MakeFolder(work / "folder");
  ASSERT_EQ(symlink(outside.Path().c_str(), (work / "folder/out").c_str()), 0);
  ASSERT_EQ(RemovePath(work / "link", FOF_TO_TRASH), 0);
  ASSERT_EQ(RemovePath(work.Path() + "/folder/", FOF_TO_TRASH), 0);
  struct stat st;
  ASSERT_EQ(lstat((HomeTrash() + "/files/link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_TRUE(Exists(HomeTrash() + "/files/folder/out"));
  EXPECT_EQ(ReadFile(outside / "target"), "keep");

  bool sawLong = false;
  for (const TTrashRecord& r : EnumerateUser()) {
    EXPECT_LE(BaseName(r.StoredPath).size() + 10, 255u);
    if (BaseName(r.OriginalPath) == longName.substr(0, 255)) sawLong = true;
  }
  EXPECT_TRUE(sawLong);
}

TEST_F(TrashTest, TrashingOnAnotherMountUsesItsTopDirectoryTrashWithRelativePath) {
  TTempDir top, sharedTop;
  AddMount(top.Path());
  AddMount(sharedTop.Path());
  MakeFolder(top / "sub");
  WriteFile(top / "sub/f.txt", "1");
  ASSERT_EQ(RemovePath(top / "sub/f.txt", FOF_TO_TRASH), 0);
  const std::string own = top / (".Trash-" + Uid());
  EXPECT_EQ(ReadFile(own + "/files/f.txt"), "1");
  EXPECT_EQ(ReadFile(own + "/info/f.txt.trashinfo").substr(0, 30), "[Trash Info]\nPath=sub/f.txt\nDe");
  struct stat st;
  ASSERT_EQ(stat(own.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  MakeFolder(sharedTop / ".Trash", 01777);
  WriteFile(sharedTop / "g", "1");
  ASSERT_EQ(RemovePath(sharedTop / "g", FOF_TO_TRASH), 0);
  EXPECT_TRUE(Exists(sharedTop / (".Trash/" + Uid() + "/files/g")));

  // A shared trash whose user folder is a link is passed over for the user's own one.
  TTempDir linkedTop, outside;
  AddMount(linkedTop.Path());
  MakeFolder(linkedTop / ".Trash", 01777);
  ASSERT_EQ(symlink(outside.Path().c_str(), (linkedTop / (".Trash/" + Uid())).c_str()), 0);
  WriteFile(linkedTop / "h", "1");
  ASSERT_EQ(RemovePath(linkedTop / "h", FOF_TO_TRASH), 0);
  EXPECT_TRUE(Exists(linkedTop / (".Trash-" + Uid() + "/files/h")));
  EXPECT_FALSE(Exists(outside / "files"));

  // A shared trash without the sticky bit is not used at all.
  TTempDir openTop;
  AddMount(openTop.Path());
  MakeFolder(openTop / ".Trash", 0777);
  WriteFile(openTop / "i", "1");
  ASSERT_EQ(RemovePath(openTop / "i", FOF_TO_TRASH), 0);
  EXPECT_TRUE(Exists(openTop / (".Trash-" + Uid() + "/files/i")));
  EXPECT_FALSE(Exists(openTop / (".Trash/" + Uid())));

  const auto found = EnumerateUser();
  ASSERT_EQ(found.size(), 4u);
  EXPECT_FALSE(Exists(HomeTrash() + "/files"));
}

TEST_F(TrashTest, EntryStaysWhenNoTrashOnItsFileSystemCanTakeIt) {
  TTempDir top, outside, pseudo;
  AddMount(top.Path());
  AddMount(pseudo.Path(), "sysfs");
  // A top-directory trash that is a link to elsewhere is never used.
  ASSERT_EQ(symlink(outside.Path().c_str(), (top / (".Trash-" + Uid())).c_str()), 0);
  WriteFile(top / "f", "1");
  EXPECT_NE(RemovePath(top / "f", FOF_TO_TRASH), 0);
  EXPECT_TRUE(Exists(top / "f"));
  EXPECT_FALSE(Exists(outside / "files"));

  WriteFile(pseudo / "f", "1");
  EXPECT_EQ(RemovePath(pseudo / "f", FOF_TO_TRASH), EXDEV);
  EXPECT_TRUE(Exists(pseudo / "f"));

  // The table claims one file system, the kernel knows better: the move is refused,
  // nothing is copied and the record written for it is taken back.
  const std::string shm = "/dev/shm/brisko-trash-test-" + std::to_string(getpid());
  SetMountInfoPathForTesting(FMountInfo + ".root-only");
  WriteFile(FMountInfo + ".root-only", "20 1 8:1 / / rw - ext4 /dev/vda rw\n");
  if (Exists("/dev/shm") && mkdir(shm.c_str(), 0700) == 0) {
    WriteFile(shm + "/f", "1");
    EXPECT_EQ(RemovePath(shm + "/f", FOF_TO_TRASH), EXDEV);
    EXPECT_TRUE(Exists(shm + "/f"));
    EXPECT_TRUE(EnumerateUser().empty());
    EXPECT_FALSE(Exists(HomeTrash() + "/info/f.trashinfo"));
    RemovePath(shm, FOF_FOR_GOOD);
  }
}

TEST_F(TrashTest, PurgeRemovesStoredEntryThenRecordAndKeepsDirectorySizesTrue) {
  const std::string t = HomeTrash();
  PutTrashed(t, "keep.txt", "[Trash Info]\nPath=/keep.txt\n");
  PutTrashed(t, "dir name", "[Trash Info]\nPath=/dir name\n", false);
  MakeFolder(t + "/files/dir name");
  MakeFolder(t + "/files/dir name/sub");
  WriteFile(t + "/files/dir name/sub/f", "1");
  WriteFile(t + "/directorysizes", "4096 1700000000 dir%20name\n8192 1700000001 other\n");
  chmod((t + "/directorysizes").c_str(), 0640);

  EXPECT_EQ(PurgeTrashEntry(t + "/files/dir name"), 0);
  EXPECT_FALSE(Exists(t + "/files/dir name"));
  EXPECT_FALSE(Exists(t + "/info/dir name.trashinfo"));
  EXPECT_EQ(ReadFile(t + "/directorysizes"), "8192 1700000001 other\n");
  struct stat st;
  ASSERT_EQ(stat((t + "/directorysizes").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(Exists(t + "/files/keep.txt"));

  // Nothing without a record, nothing outside files/.
  WriteFile(t + "/files/orphan", "1");
  EXPECT_EQ(PurgeTrashEntry(t + "/files/orphan"), ENOENT);
  EXPECT_TRUE(Exists(t + "/files/orphan"));
  EXPECT_EQ(PurgeTrashEntry(t + "/info/keep.txt.trashinfo"), ENOENT);
  EXPECT_TRUE(Exists(t + "/info/keep.txt.trashinfo"));
}

// A directorysizes beyond any real one (a line per trashed folder) is not read; were
// it read in part and rewritten, everything past the part would be lost.
TEST_F(TrashTest, PurgeLeavesAnOversizedDirectorySizesAsItIs) {
  const std::string t = HomeTrash();
  PutTrashed(t, "dir", "[Trash Info]\nPath=/dir\n", false);
  MakeFolder(t + "/files/dir");
  std::string sizes = "4096 1700000000 dir\n";
  const std::string filler = "8192 1700000001 " + std::string(100, 'f') + "\n";
  while (sizes.size() < 6 * 1024 * 1024) sizes += filler;
  sizes += "4096 1700000002 last\n";
  WriteFile(t + "/directorysizes", sizes);

  EXPECT_EQ(PurgeTrashEntry(t + "/files/dir"), 0);
  EXPECT_FALSE(Exists(t + "/files/dir"));
  EXPECT_FALSE(Exists(t + "/info/dir.trashinfo"));
  EXPECT_TRUE(ReadFile(t + "/directorysizes") == sizes);
}

TEST_F(TrashTest, PurgeTakesOnlyEntriesOfTheUsersTrashFolders) {
  // Shaped like a trash, with record and stored entry, but no trash of the user: a
  // plain folder, and a top-directory trash name in a folder that is no mount.
  TTempDir plain, notMounted, top;
  const std::string fakes[] = {plain.Path(), notMounted / (".Trash-" + Uid())};
  for (const std::string& fake : fakes) {
    PutTrashed(fake, "precious", "[Trash Info]\nPath=/precious\n");
    EXPECT_EQ(PurgeTrashEntry(fake + "/files/precious"), EPERM) << fake;
    EXPECT_EQ(ReadFile(fake + "/files/precious"), "content");
    EXPECT_TRUE(Exists(fake + "/info/precious.trashinfo"));
  }
  // The same shapes in the home trash and in a top directory's trash are purged, by
  // one purger that also met a refused one first.
  AddMount(top.Path());
  const std::string topTrash = top / (".Trash-" + Uid());
  PutTrashed(topTrash, "old", "[Trash Info]\nPath=old\n");
  PutTrashed(HomeTrash(), "old", "[Trash Info]\nPath=/old\n");
  TTrashPurger purger;
  EXPECT_EQ(purger.Purge(plain / "files/precious"), EPERM);
  EXPECT_EQ(purger.Purge(topTrash + "/files/old"), 0);
  EXPECT_EQ(purger.Purge(HomeTrash() + "/files/old"), 0);
  EXPECT_EQ(purger.Purge(plain / "files/precious"), EPERM);
  EXPECT_FALSE(Exists(topTrash + "/files/old"));
  EXPECT_FALSE(Exists(HomeTrash() + "/info/old.trashinfo"));
  EXPECT_TRUE(Exists(plain / "files/precious"));
}

// Read-only folders keep what is in them from their owner; a purge makes the owner's
// own folders writable first. Root is not held back by rights, so the purge runs as
// another user in a child process.
TEST_F(TrashTest, PurgeEmptiesReadOnlyFoldersOfTheUser) {
  const uid_t nobody = 65534;
  const std::string t = HomeTrash();
  PutTrashed(t, "ro", "[Trash Info]\nPath=/ro\n", false);
  MakeFolder(t + "/files/ro");
  MakeFolder(t + "/files/ro/inner");
  WriteFile(t + "/files/ro/inner/f", "1");
  chmod((t + "/files/ro/inner").c_str(), 0500);
  chmod((t + "/files/ro").c_str(), 0000);
  for (const char* p : {"", "/files", "/info", "/files/ro", "/files/ro/inner", "/files/ro/inner/f",
                        "/info/ro.trashinfo"})
    ASSERT_EQ(lchown((t + p).c_str(), nobody, nobody), 0);
  chmod(FHome.Path().c_str(), 0755);
  chmod((FHome / "data").c_str(), 0755);

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setresgid(nobody, nobody, nobody) != 0 || setresuid(nobody, nobody, nobody) != 0) _exit(77);
    _exit(PurgeTrashEntry(t + "/files/ro"));
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot switch user here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(Exists(t + "/files/ro"));
  EXPECT_FALSE(Exists(t + "/info/ro.trashinfo"));
}

namespace {
struct TCrashPoint {
  TTrashStep Step;
  size_t Moved;
};
TCrashPoint CrashPoint;
}  // namespace

// A process that ends at any step of a batch loses nothing: every entry is still in
// its place or stored with its complete record, and no stored entry lacks one.
TEST_F(TrashTest, ACrashAtAnyStepOfABatchLeavesNoStoredEntryWithoutItsRecord) {
  const TCrashPoint points[] = {
      {TTrashStep::RecordsWritten, 0}, {TTrashStep::RecordsSealed, 0}, {TTrashStep::EntryMoved, 1},
      {TTrashStep::EntryMoved, 4}};
  const std::vector<std::string> names{"a", "b c", "d\xff", "e", "f"};
  for (const TCrashPoint& point : points) {
    SCOPED_TRACE(static_cast<int>(point.Step) * 10 + point.Moved);
    std::filesystem::remove_all(HomeTrash());
    TTempDir work;
    for (const std::string& name : names) WriteFile(work / name, name);
    CrashPoint = point;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SetTrashFaultForTesting([](TTrashStep Step, size_t Moved) {
        if (Step == CrashPoint.Step && Moved == CrashPoint.Moved) _exit(0);
      });
      const TFd folder(open(work.Path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      TTrashMover mover(folder.Get(), work.Path());
      TTrashBatch batch;
      for (const std::string& name : names)
        if (batch.Add(mover, name) != 0) _exit(2);
      if (batch.Seal() != 0) _exit(3);
      for (size_t i = 0; i < names.size(); ++i)
        if (batch.Move(i) != 0) _exit(4);
      _exit(1);  // the crash point was never reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    size_t stored = 0;
    for (const std::string& name : names) {
      const bool inPlace = Exists(work / name), inTrash = Exists(HomeTrash() + "/files/" + name);
      EXPECT_NE(inPlace, inTrash) << name;
      if (!inTrash) continue;
      ++stored;
      EXPECT_EQ(ReadFile(HomeTrash() + "/files/" + name), name);
      const auto record = ParseTrashInfo(ReadFile(HomeTrash() + "/info/" + name + ".trashinfo"));
      ASSERT_TRUE(record) << name;
      EXPECT_EQ(record->Path, work / name);
      EXPECT_TRUE(record->DeletionDate);
    }
    EXPECT_EQ(stored, point.Moved);
    const size_t listed = Exists(HomeTrash() + "/files")
                              ? std::distance(std::filesystem::directory_iterator(HomeTrash() + "/files"), {})
                              : 0;
    EXPECT_EQ(listed, stored);
  }
}
