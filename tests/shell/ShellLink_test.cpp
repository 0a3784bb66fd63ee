#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "shell/ShellLink.h"
#include "shell/ShellUtils.h"
#include "support/TestSupport.h"

namespace {

// Shortcut files assembled byte by byte from the format's documentation, so that the
// reader is checked against the layout and not only against our own writer.
struct TBytes {
  std::string Data;
  TBytes& U16(uint16_t v) {
    Data += static_cast<char>(v & 0xFF);
    Data += static_cast<char>(v >> 8);
    return *this;
  }
  TBytes& U32(uint32_t v) {
    for (int s = 0; s < 32; s += 8) Data += static_cast<char>((v >> s) & 0xFF);
    return *this;
  }
  TBytes& Raw(const std::string& s) {
    Data += s;
    return *this;
  }
  TBytes& Z(const std::string& s) { return Raw(s + '\0'); }
  TBytes& WideZ(const std::u16string& s) {
    for (const char16_t c : s) U16(c);
    return U16(0);
  }
  size_t Size() const { return Data.size(); }
};

const std::string Clsid("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);

TBytes Header(uint32_t Flags, int32_t IconIndex = 0, uint32_t ShowCmd = 1, uint16_t Hotkey = 0) {
  TBytes b;
  b.U32(0x4C).Raw(Clsid).U32(Flags).U32(0x20);
  b.Raw(std::string(24, '\x11'));  // times, never read
  b.U32(1234).U32(static_cast<uint32_t>(IconIndex)).U32(ShowCmd).U16(Hotkey);
  b.U16(0).U32(0).U32(0);
  return b;
}

// "テスト", "データ", "説明" in code page 932.
const std::string SjisTest = "\x83\x65\x83\x58\x83\x67";
const std::string SjisData = "\x83\x66\x81\x5B\x83\x5E";

// ANSI strings, an item identifier list that no parser could walk, LinkInfo with a
// local path on a fixed volume, all five strings.
std::string AnsiLocalFixture() {
  TBytes b = Header(0x7F, -5, 3, 0x0241);
  b.U16(6).Raw(std::string("\xFF\xFF\x00\x01\xFE\xFE", 6));  // item claims 0xFFFF bytes: must be skipped by size
  TBytes info;
  info.U32(0).U32(0x1C).U32(1).U32(0x1C).U32(0x1C + 0x11).U32(0).U32(0);
  info.U32(0x11).U32(3).U32(0xCAFE).U32(0x10).Z("");  // VolumeID: fixed, empty label
  info.Z("C:\\" + SjisData + "\\");
  const size_t suffix = info.Size();
  info.Z("a.txt");
  info.Data.replace(24, 4, TBytes().U32(static_cast<uint32_t>(suffix)).Data);
  info.Data.replace(0, 4, TBytes().U32(static_cast<uint32_t>(info.Size())).Data);
  b.Raw(info.Data);
  for (const std::string& s : {SjisTest, std::string(".\\a.txt"), "C:\\" + SjisData, std::string("/q \"x y\""),
                               std::string("%SystemRoot%\\x.dll")})
    b.U16(static_cast<uint16_t>(s.size())).Raw(s);
  b.U32(0);
  return b.Data;
}

// Unicode strings, LinkInfo with a network path (both code-page and Unicode names, the
// Unicode ones preferred), an unknown extra block before the terminal one.
std::string UnicodeNetworkFixture(size_t* UnknownBlockAt = nullptr) {
  TBytes b = Header(0x02 | 0x04 | 0x80, 0, 5);  // show command 5 is no known one
  TBytes info;
  info.U32(0).U32(0x24).U32(2).U32(0).U32(0).U32(0x24).U32(0).U32(0).U32(0);
  TBytes link;
  link.U32(0).U32(0).U32(0x1C).U32(0).U32(0x00020000).U32(0).U32(0);
  link.Z("\\\\SERVER\\SHARE");
  const size_t netUnicode = link.Size();
  link.WideZ(u"\\\\server\\共有");
  link.Data.replace(0x14, 4, TBytes().U32(static_cast<uint32_t>(netUnicode)).Data);
  link.Data.replace(0, 4, TBytes().U32(static_cast<uint32_t>(link.Size())).Data);
  info.Raw(link.Data);
  info.Data.replace(24, 4, TBytes().U32(static_cast<uint32_t>(info.Size())).Data);
  info.Z("ansi\\suffix");
  info.Data.replace(32, 4, TBytes().U32(static_cast<uint32_t>(info.Size())).Data);
  info.WideZ(u"dir\\f.txt");
  info.Data.replace(0, 4, TBytes().U32(static_cast<uint32_t>(info.Size())).Data);
  b.Raw(info.Data);
  b.U16(2).U16(u'説').U16(u'明');
  if (UnknownBlockAt) *UnknownBlockAt = b.Size();
  b.U32(0x10).U32(0xA0000003).U32(0xDEAD).U32(0xBEEF);  // a tracker block: skipped
  b.U32(0);
  return b.Data;
}

// No LinkInfo worth reading (its header is nonsense, and the flags forbid its use): the
// target comes from the environment-variable block.
std::string EnvironmentFixture() {
  TBytes b = Header(0x02 | 0x80 | 0x100 | 0x200);
  b.U32(0x20).U32(0xFFFFFFFF).Raw(std::string(0x18, '\xEE'));
  TBytes block;
  block.U32(0x314).U32(0xA0000001);
  std::string ansi = "%USERPROFILE%\\ansi.txt";
  ansi.resize(260, '\0');
  block.Raw(ansi);
  TBytes wide;
  wide.WideZ(u"%USERPROFILE%\\デスク\\x.txt");
  wide.Data.resize(520, '\0');
  block.Raw(wide.Data);
  b.Raw(block.Data).U32(0);
  return b.Data;
}

TShellLink Loaded(const std::string& Bytes) {
  TShellLink link;
  EXPECT_TRUE(link.LoadFromBytes(Bytes, "/nowhere/x.lnk"));
  return link;
}

}  // namespace

TEST(ShellLinkReader, DecodesAnsiStringsAndLocalPath) {
  const TShellLink link = Loaded(AnsiLocalFixture());
  EXPECT_FALSE(link.IsUnicode());
  EXPECT_EQ(link.TargetPath(), "C:\\データ\\a.txt");
  EXPECT_EQ(link.VolumeDriveType(), DRIVE_FIXED);
  EXPECT_EQ(link.Description(), "テスト");
  EXPECT_EQ(link.RelativePath(), ".\\a.txt");
  EXPECT_EQ(link.WorkingDirectory(), "C:\\データ");
  EXPECT_EQ(link.Arguments(), "/q \"x y\"");
  EXPECT_EQ(link.IconPath(), "%SystemRoot%\\x.dll");
  EXPECT_EQ(link.IconIndex(), -5);
  EXPECT_EQ(link.ShowCmd(), SW_SHOWMAXIMIZED);
  EXPECT_EQ(link.Hotkey(), 0x0241);
}

TEST(ShellLinkReader, DecodesUnicodeStringsAndNetworkPath) {
  const TShellLink link = Loaded(UnicodeNetworkFixture());
  EXPECT_TRUE(link.IsUnicode());
  EXPECT_EQ(link.TargetPath(), "\\\\server\\共有\\dir\\f.txt");
  EXPECT_EQ(link.VolumeDriveType(), DRIVE_UNKNOWN);
  EXPECT_EQ(link.Description(), "説明");
  EXPECT_EQ(link.ShowCmd(), SW_SHOWNORMAL);
  EXPECT_EQ(link.Arguments(), "");
}

TEST(ShellLinkReader, EnvironmentBlockStandsInWhenLinkInfoMayNotBeUsed) {
  const TShellLink link = Loaded(EnvironmentFixture());
  EXPECT_EQ(link.TargetPath(), "%USERPROFILE%\\デスク\\x.txt");
  EXPECT_EQ(link.VolumeDriveType(), DRIVE_UNKNOWN);
}

TEST(ShellLinkReader, WriterRoundTripsEveryFieldInBothEncodings) {
  for (const bool unicode : {true, false}) {
    TShellLink out;
    out.SetUnicode(unicode);
    out.SetVolumeDriveType(DRIVE_REMOVABLE);
    out.SetTargetPath("E:\\写真\\2024\\a.jpg");
    out.SetDescription("旅行の写真");
    out.SetRelativePath("..\\写真\\2024\\a.jpg");
    out.SetWorkingDirectory("E:\\写真");
    out.SetArguments("--open \"a b\"");
    out.SetIconPath("E:\\icon.ico");
    out.SetIconIndex(-2);
    out.SetShowCmd(SW_SHOWMINNOACTIVE);
    out.SetHotkey(0x0658);
    const TShellLink in = Loaded(out.SaveToBytes());
    EXPECT_EQ(in.IsUnicode(), unicode);
    EXPECT_EQ(in.TargetPath(), "E:\\写真\\2024\\a.jpg");
    EXPECT_EQ(in.VolumeDriveType(), DRIVE_REMOVABLE);
    EXPECT_EQ(in.Description(), "旅行の写真");
    EXPECT_EQ(in.RelativePath(), "..\\写真\\2024\\a.jpg");
    EXPECT_EQ(in.WorkingDirectory(), "E:\\写真");
    EXPECT_EQ(in.Arguments(), "--open \"a b\"");
    EXPECT_EQ(in.IconPath(), "E:\\icon.ico");
    EXPECT_EQ(in.IconIndex(), -2);
    EXPECT_EQ(in.ShowCmd(), SW_SHOWMINNOACTIVE);
    EXPECT_EQ(in.Hotkey(), 0x0658);
  }
  TShellLink network;
  network.SetTargetPath("\\\\nas\\share\\docs\\a.txt");
  EXPECT_EQ(Loaded(network.SaveToBytes()).TargetPath(), "\\\\nas\\share\\docs\\a.txt");
  network.SetUnicode(false);
  EXPECT_EQ(Loaded(network.SaveToBytes()).TargetPath(), "\\\\nas\\share\\docs\\a.txt");
  TShellLink environment;
  environment.SetEnvironmentTargetPath("%HOMEDRIVE%\\x");
  EXPECT_EQ(Loaded(environment.SaveToBytes()).TargetPath(), "%HOMEDRIVE%\\x");
}

TEST(ShellLinkReader, NameRelativePathAndWorkingFolderAreCappedArgumentsAreNot) {
  const std::string longText(300, 'x');
  TShellLink out;
  out.SetDescription(longText);
  out.SetRelativePath(longText);
  out.SetWorkingDirectory(longText);
  out.SetArguments(longText);
  const TShellLink in = Loaded(out.SaveToBytes());
  EXPECT_EQ(in.Description(), std::string(MaxShortcutText, 'x'));
  EXPECT_EQ(in.RelativePath(), std::string(MaxShortcutText, 'x'));
  EXPECT_EQ(in.WorkingDirectory(), std::string(MaxShortcutText, 'x'));
  EXPECT_EQ(in.Arguments(), longText);
}

TEST(ShellLinkReader, EveryTruncationIsRefusedUnlessItEndsAtABlockBoundary) {
  size_t unknownBlock = 0;
  const std::string whole = UnicodeNetworkFixture(&unknownBlock);
  for (size_t length = 0; length < whole.size(); ++length) {
    TShellLink link;
    const bool boundary = length == unknownBlock || length == whole.size() - 4;
    EXPECT_EQ(link.LoadFromBytes(std::string_view(whole).substr(0, length), "/x.lnk"), boundary) << length;
  }
  const std::string ansi = AnsiLocalFixture();
  for (size_t length = 0; length < ansi.size() - 4; ++length) {
    TShellLink link;
    EXPECT_FALSE(link.LoadFromBytes(std::string_view(ansi).substr(0, length), "/x.lnk")) << length;
    EXPECT_EQ(link.TargetPath(), "");
  }
}

TEST(ShellLinkReader, InconsistentSizesAndOffsetsAreRefused) {
  const std::string good = AnsiLocalFixture();
  const size_t info = 0x4C + 2 + 6;  // after the header and the identifier list
  const auto patched = [&](size_t At, uint32_t Value) {
    std::string s = good;
    s.replace(At, 4, TBytes().U32(Value).Data);
    return s;
  };
  const auto refused = [](const std::string& Bytes) {
    TShellLink link;
    return !link.LoadFromBytes(Bytes, "/x.lnk");
  };
  EXPECT_TRUE(refused(patched(0, 0x4D)));                        // header size
  EXPECT_TRUE(refused(patched(4, 0x00021402)));                  // class identifier
  EXPECT_TRUE(refused(patched(0x4C, 0x00000100 | good[0x4C])));  // identifier list runs past the end
  EXPECT_TRUE(refused(patched(info, 0x7FFFFFFF)));               // LinkInfo larger than the file
  EXPECT_TRUE(refused(patched(info, 0x10)));                     // LinkInfo smaller than its header
  EXPECT_TRUE(refused(patched(info + 4, 0x400)));                // LinkInfo header beyond LinkInfo
  EXPECT_TRUE(refused(patched(info + 12, 0xFFFFFFF0)));          // VolumeID offset
  EXPECT_TRUE(refused(patched(info + 0x1C, 0x0F)));              // VolumeID smaller than its header
  EXPECT_TRUE(refused(patched(info + 0x1C, 0x1000)));            // VolumeID beyond LinkInfo
  EXPECT_TRUE(refused(patched(info + 16, 0x1000)));              // local path offset
  EXPECT_TRUE(refused(patched(info + 24, 0x1000)));              // suffix offset
  uint32_t infoSize = 0;
  for (int i = 3; i >= 0; --i) infoSize = infoSize << 8 | static_cast<unsigned char>(good[info + i]);
  {
    std::string s = good;  // the suffix loses its terminating zero: it would run past LinkInfo
    s[info + infoSize - 1] = 'x';
    EXPECT_TRUE(refused(s));
  }
  {
    std::string s = good;  // the first counted string claims more than the file holds
    s.replace(info + infoSize, 2, TBytes().U16(0xFFFF).Data);
    EXPECT_TRUE(refused(s));
  }
  EXPECT_TRUE(refused(patched(good.size() - 4, 6)));  // an extra block too small for its signature
  EXPECT_TRUE(refused(good.substr(0, good.size() - 4) + TBytes().U32(0x314).U32(0xA0000001).Data));
  EXPECT_FALSE(refused(good));
}

TEST(ShellLinkFile, OversizedIrregularAndMissingFilesCannotBeLoaded) {
  TTempDir dir;
  std::string big = AnsiLocalFixture();
  big.resize(big.size() - 4);
  big += TBytes().U32(0x10000).U32(0x12345678).Data + std::string(0x10000 - 8, '\0');
  while (big.size() <= MaxShortcutFileSize)
    big += TBytes().U32(0x10000).U32(0x12345678).Data + std::string(0x10000 - 8, '\0');
  big += TBytes().U32(0).Data;
  WriteFile(dir / "big.lnk", big);
  TShellLink link;
  EXPECT_FALSE(link.Load(dir / "big.lnk"));
  WriteFile(dir / "ok.lnk", AnsiLocalFixture());
  EXPECT_TRUE(link.Load(dir / "ok.lnk"));
  EXPECT_FALSE(link.Load(dir / "missing.lnk"));
  EXPECT_EQ(link.Description(), "");  // a failed load leaves nothing of the previous file
  ASSERT_EQ(mkfifo((dir / "pipe.lnk").c_str(), 0600), 0);
  EXPECT_FALSE(link.Load(dir / "pipe.lnk"));  // returns at once instead of waiting for a writer
  ASSERT_EQ(mkdir((dir / "folder.lnk").c_str(), 0700), 0);
  EXPECT_FALSE(link.Load(dir / "folder.lnk"));
}

namespace {

// Watches Path (not following a link) for being opened or read, until destroyed.
class TOpenWatch {
public:
  explicit TOpenWatch(const std::string& Path) : FFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    FOk = FFd >= 0 && inotify_add_watch(FFd, Path.c_str(), IN_OPEN | IN_ACCESS | IN_DONT_FOLLOW) >= 0;
  }
  ~TOpenWatch() {
    if (FFd >= 0) close(FFd);
  }
  bool Ok() const { return FOk; }
  bool Opened() const {
    char events[4096];
    return read(FFd, events, sizeof events) > 0;
  }

private:
  int FFd;
  bool FOk = false;
};

}  // namespace

// Only a regular file is opened: a FIFO or a device named like a shortcut is never
// opened for real (opening one has side effects), nor is a link to a shortcut file.
TEST(ShellLinkFile, LinksFifosAndDevicesAreNeverOpened) {
  TTempDir dir;
  WriteFile(dir / "real.lnk", AnsiLocalFixture());
  ASSERT_EQ(symlink((dir / "real.lnk").c_str(), (dir / "y.lnk").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "x.lnk").c_str(), 0600), 0);
  TShellLink link;
  {
    TOpenWatch watch(dir / "real.lnk");
    ASSERT_TRUE(watch.Ok());
    EXPECT_FALSE(link.Load(dir / "y.lnk"));
    EXPECT_FALSE(watch.Opened());
    EXPECT_EQ(link.Description(), "");
  }
  {
    TOpenWatch watch(dir / "x.lnk");
    ASSERT_TRUE(watch.Ok());
    EXPECT_FALSE(link.Load(dir / "x.lnk"));
    EXPECT_FALSE(watch.Opened());
  }
  // A character device like /dev/null (needs the right to make device nodes).
  if (mknod((dir / "dev.lnk").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
    TOpenWatch watch(dir / "dev.lnk");
    ASSERT_TRUE(watch.Ok());
    EXPECT_FALSE(link.Load(dir / "dev.lnk"));
    EXPECT_FALSE(watch.Opened());
  }
  // The watch does see a real load.
  TOpenWatch watch(dir / "real.lnk");
  ASSERT_TRUE(watch.Ok());
  EXPECT_TRUE(link.Load(dir / "real.lnk"));
  EXPECT_TRUE(watch.Opened());
}

class ShortcutTargetTest : public testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directories(Dir / "data/sub");
    std::filesystem::create_directories(Dir / "links");
    WriteFile(Dir / "data/a.txt", "a");
  }
  std::string SaveLink(TShellLink& Link, const std::string& Name) {
    const std::string path = Dir / Name;
    EXPECT_TRUE(Link.Save(path));
    return path;
  }
  TTempDir Dir;
};

TEST_F(ShortcutTargetTest, NonShortcutsComeBackUnchangedByTheExtensionRule) {
  EXPECT_TRUE(IsShortcutFileName("a.lnk"));
  EXPECT_TRUE(IsShortcutFileName("/x/a.LNK"));
  EXPECT_TRUE(IsShortcutFileName("a.Lnk"));
  EXPECT_TRUE(IsShortcutFileName("/x.y/.lnk"));
  EXPECT_FALSE(IsShortcutFileName("a.lnk.bak"));
  EXPECT_FALSE(IsShortcutFileName("dir.lnk\\file"));
  EXPECT_FALSE(IsShortcutFileName("dir.lnk/file"));
  EXPECT_FALSE(IsShortcutFileName("a.lnk:stream"));
  EXPECT_FALSE(IsShortcutFileName("a.lnkx"));
  EXPECT_FALSE(IsShortcutFileName("alnk"));

  WriteFile(Dir / "notes.txt", "not a shortcut");
  const TShortcutTarget notes = ReadShortcutTarget(Dir / "notes.txt");
  EXPECT_EQ(notes.Outcome, soNotShortcut);
  EXPECT_EQ(notes.Path, Dir / "notes.txt");
  EXPECT_EQ(GetShortcutTarget(Dir / "gone.txt"), Dir / "gone.txt");  // never opened
  EXPECT_EQ(GetShortcutTarget(Dir / "data"), Dir / "data");
}

TEST_F(ShortcutTargetTest, LnkFileTargetIsTheExistingRecordedPathThenEmptyOnceItIsGone) {
  TShellLink link;
  link.SetTargetPath(Dir / "data/a.txt");
  const std::string file = SaveLink(link, "links/a.LNK");
  const TShortcutTarget target = ReadShortcutTarget(file);
  EXPECT_EQ(target.Outcome, soResolved);
  EXPECT_EQ(target.Path, Dir / "data/a.txt");
  EXPECT_TRUE(TargetExists(target));

  std::filesystem::remove(Dir / "data/a.txt");
  const TShortcutTarget dead = ReadShortcutTarget(file);
  EXPECT_EQ(dead.Outcome, soUnresolved);
  EXPECT_EQ(dead.Path, "");
  EXPECT_FALSE(TargetExists(dead));
}

TEST_F(ShortcutTargetTest, MovedTargetIsFoundByTheRelativePathFromTheShortcutsFolder) {
  TShellLink link;
  link.SetTargetPath("C:\\Users\\u\\data\\a.txt");  // a Windows path never exists here
  link.SetRelativePath("..\\data\\a.txt");
  const std::string file = SaveLink(link, "links/moved.lnk");
  EXPECT_EQ(GetShortcutTarget(file), Dir / "links/../data/a.txt");

  link.SetRelativePath("..\\data\\sub");  // a folder is a target as well
  SaveLink(link, "links/moved.lnk");
  EXPECT_EQ(GetShortcutTarget(file), Dir / "links/../data/sub");

  // In code page 932 the second byte of "表" is "\": it must not split the name.
  WriteFile(Dir / "data/表.txt", "x");
  link.SetUnicode(false);
  link.SetRelativePath("..\\data\\表.txt");
  SaveLink(link, "links/moved.lnk");
  EXPECT_EQ(GetShortcutTarget(file), Dir / "links/../data/表.txt");

  link.SetRelativePath("..\\data\\missing.txt");
  SaveLink(link, "links/moved.lnk");
  EXPECT_EQ(GetShortcutTarget(file), "");
}

TEST_F(ShortcutTargetTest, RecordedPathOnRemovableOrOpticalVolumeIsKeptUnchecked) {
  for (const auto& [type, drive] : {std::pair{DRIVE_REMOVABLE, dcRemovable}, std::pair{DRIVE_CDROM, dcCdRom}}) {
    TShellLink link;
    link.SetVolumeDriveType(type);
    link.SetTargetPath("E:\\photos\\a.jpg");
    const TShortcutTarget target = ReadShortcutTarget(SaveLink(link, "links/usb.lnk"));
    EXPECT_EQ(target.Outcome, soResolved);
    EXPECT_EQ(target.Path, "E:\\photos\\a.jpg");
    EXPECT_FALSE(TargetExists(target));
    EXPECT_EQ(GetTargetDriveClass(target), drive);
  }
  for (const uint32_t type : {DRIVE_FIXED, DRIVE_REMOTE, DRIVE_RAMDISK, DRIVE_UNKNOWN}) {
    TShellLink link;
    link.SetVolumeDriveType(type);
    link.SetTargetPath("E:\\photos\\a.jpg");
    EXPECT_EQ(GetShortcutTarget(SaveLink(link, "links/fixed.lnk")), "") << type;
  }
}

TEST_F(ShortcutTargetTest, UnreadableShortcutIsEmptyAndTakesTheRootFoldersClass) {
  WriteFile(Dir / "links/bad.lnk", "this is no shortcut");
  const TShortcutTarget bad = ReadShortcutTarget(Dir / "links/bad.lnk");
  EXPECT_EQ(bad.Outcome, soUnresolved);
  EXPECT_EQ(bad.Path, "");
  EXPECT_EQ(GetShortcutTarget(Dir / "links/missing.lnk"), "");

  WriteFile(Dir / "mountinfo", "1 0 0:30 / / rw - tmpfs rootfs rw\n");
  SetMountInfoPathForTesting(Dir / "mountinfo");
  EXPECT_EQ(GetTargetDriveClass(bad), dcRamDisk);
  WriteFile(Dir / "mountinfo", "1 0 0:31 / / rw - nfs4 server:/ rw\n");
  EXPECT_EQ(GetTargetDriveClass(bad), dcNetwork);
  EXPECT_EQ(GetTargetDriveClass({soResolved, Dir / "data/a.txt", dcNone}), dcNetwork);
  SetMountInfoPathForTesting("/proc/self/mountinfo");
}

TEST_F(ShortcutTargetTest, SymbolicLinksAreShortcutsWhoseTargetIsWhatTheyPointTo) {
  ASSERT_EQ(symlink((Dir / "data/a.txt").c_str(), (Dir / "links/live").c_str()), 0);
  ASSERT_EQ(symlink((Dir / "data/gone.txt").c_str(), (Dir / "links/dead.txt").c_str()), 0);
  ASSERT_EQ(symlink("../data/a.txt", (Dir / "links/relative").c_str()), 0);
  ASSERT_EQ(symlink("../data/sub", (Dir / "links/folder.lnk").c_str()), 0);
  ASSERT_EQ(symlink("../data/sub", (Dir / "links/dangling-relative").c_str()), 0);
  std::filesystem::remove(Dir / "data/sub");

  const TShortcutTarget live = ReadShortcutTarget(Dir / "links/live");
  EXPECT_EQ(live.Outcome, soResolved);
  EXPECT_EQ(live.Path, Dir / "data/a.txt");
  EXPECT_TRUE(TargetExists(live));

  const TShortcutTarget dead = ReadShortcutTarget(Dir / "links/dead.txt");
  EXPECT_EQ(dead.Outcome, soResolved);
  EXPECT_EQ(dead.Path, Dir / "data/gone.txt");
  EXPECT_FALSE(TargetExists(dead));

  const TShortcutTarget relative = ReadShortcutTarget(Dir / "links/relative");
  EXPECT_EQ(relative.Path, Dir / "links/../data/a.txt");
  EXPECT_TRUE(TargetExists(relative));

  std::filesystem::create_directory(Dir / "data/sub");
  const TShortcutTarget folder = ReadShortcutTarget(Dir / "links/folder.lnk");  // read as a link, not a file
  EXPECT_EQ(folder.Path, Dir / "links/../data/sub");
  EXPECT_TRUE(TargetExists(folder));
}

TEST_F(ShortcutTargetTest, ALinkToAShortcutFileIsNotFollowedFurther) {
  TShellLink link;
  link.SetTargetPath(Dir / "data/a.txt");
  const std::string file = SaveLink(link, "data/real.lnk");
  ASSERT_EQ(symlink(file.c_str(), (Dir / "links/alias.lnk").c_str()), 0);
  EXPECT_EQ(GetShortcutTarget(Dir / "links/alias.lnk"), file);
  EXPECT_EQ(GetShortcutTarget(file), Dir / "data/a.txt");
}

TEST(ShellUtils, PathsOfOtherSystemsNeverExist) {
  TTempDir dir;
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  WriteFile("E:\\x", "a file whose name looks like a Windows path");
  EXPECT_FALSE(PathExists("E:\\x"));
  EXPECT_TRUE(PathExists(dir / "E:\\x"));
  EXPECT_FALSE(PathExists(""));
  std::filesystem::current_path(cwd);
  EXPECT_EQ(FolderOf("/a/b"), "/a");
  EXPECT_EQ(FolderOf("/b"), "/");
  EXPECT_EQ(FolderOf("b"), ".");
}
