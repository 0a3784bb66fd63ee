#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>

#include "app/AppData.h"
#include "platform/BriskoError.h"
#include "platform/TextCodec.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string WriteError(const std::string& FileName) { return FileName + " に書き込めません"; }

// Runs Check in a child process without root's rights (as "nobody", owning Folder,
// with Base opened for it) when the tests run as root; Check's answer comes back.
bool RunAsOrdinaryUser(const TTempDir& Base, const std::string& Folder, const std::function<bool()>& Check) {
  if (geteuid() != 0) return Check();
  const uid_t nobody = 65534;
  fs::permissions(Base.Path(), fs::perms::others_exec, fs::perm_options::add);
  if (chown(Folder.c_str(), nobody, nobody) != 0) return false;
  const pid_t child = fork();
  if (child == 0) _exit(setgid(nobody) == 0 && setuid(nobody) == 0 && Check() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(AppIniFile, ReadingRulesTrimUnquoteCutAndConvertNumbers) {
  TTempDir dir;
  const std::string long3000(3000, 'v');
  std::string wide;
  for (int i = 0; i < 3000; ++i) wide += "あ";
  WriteFile(dir / "r.ini", "[Rules]\r\nPadded =  *.tmp \t\r\nQuoted=' a b '\r\nDouble=\"x\"\r\nMixed='x\"\r\n"
                           "Long=" + long3000 + "\r\nWide=" + wide + "\r\nPair=" + std::string(2046, 'p') +
                           "\xF0\x9F\x98\x80\r\nEmpty=\r\nHex=0x1F\r\nHexUpper=0X10\r\nBad=12abc\r\nTwo=2\r\n"
                           "Neg=-5\r\nBig=2147483648\r\nZeroX=0x\r\n");
  TAppIniFile ini(dir / "r.ini");
  EXPECT_EQ(ini.ReadString("Rules", "Padded", "d"), "*.tmp");
  EXPECT_EQ(ini.ReadString("Rules", "Quoted", "d"), " a b ");
  EXPECT_EQ(ini.ReadString("Rules", "Double", "d"), "x");
  EXPECT_EQ(ini.ReadString("Rules", "Mixed", "d"), "'x\"");
  EXPECT_EQ(ini.ReadString("Rules", "Long", "d"), std::string(2047, 'v'));
  EXPECT_EQ(ini.ReadString("Rules", "Wide", "d").size(), 2047u * 3);
  EXPECT_EQ(ini.ReadString("Rules", "Pair", "d"), std::string(2046, 'p'));  // no half of a surrogate pair
  EXPECT_EQ(ini.ReadString("Rules", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadString("Rules", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nowhere", "Padded", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("Rules", "Hex", 7), 31);
  EXPECT_EQ(ini.ReadInteger("Rules", "HexUpper", 7), 16);
  EXPECT_EQ(ini.ReadInteger("Rules", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Rules", "Neg", 7), -5);
  EXPECT_EQ(ini.ReadInteger("Rules", "Big", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Rules", "ZeroX", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Rules", "Empty", 7), 7);
  EXPECT_TRUE(ini.ReadBool("Rules", "Two", false));
  EXPECT_TRUE(ini.ReadBool("Rules", "Empty", true));
  EXPECT_FALSE(ini.ReadBool("Rules", "Empty", false));
  EXPECT_FALSE(ini.ReadBool("Rules", "Missing", false));
}

TEST(AppIniFile, WindowsProfileDetailsAndEveryLineEnd) {
  TTempDir dir;
  WriteFile(dir / "c.ini", "top=level\r\n[ Sec One ]  \n;Key=commented\r#Key=hash\r\n  Key = first\nKEY=second\r\n"
                           "plain line\r\n[sec one]\r\nKey=duplicate section\r\n[A]b]\rx=1\r\n[Empty]\r\n");
  TAppIniFile ini(dir / "c.ini");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Sec One", "sec one", "A", "Empty"}));
  EXPECT_EQ(ini.ReadString("SEC ONE", "key", "d"), "first");
  EXPECT_EQ(ini.ReadString("Sec One", "#Key", "d"), "hash");
  EXPECT_EQ(ini.ReadString("Sec One", ";Key", "d"), "d");
  EXPECT_EQ(ini.ReadString("Sec One", "plain line", "d"), "d");
  EXPECT_EQ(ini.ReadString("a", "X", "d"), "1");
  EXPECT_EQ(ini.ReadString("", "top", "d"), "d");  // keys above the first section belong to none
  EXPECT_TRUE(ini.SectionExists("a"));
  EXPECT_FALSE(ini.SectionExists("Empty"));
  EXPECT_FALSE(ini.SectionExists("Missing"));
}

TEST(AppIniFile, WritesInPlaceAfterTheLastKeyAndAtTheEnd) {
  TTempDir dir;
  WriteFile(dir / "w.ini", "[S]\nA = 1\n; closing comment\n\n[T]\rX=1");
  TAppIniFile ini(dir / "w.ini");
  ini.WriteString("s", "B", "2");
  ini.WriteString("S", "a", "new");
  ini.WriteString("U", "K", "");
  ini.WriteString("T", "Y", "line\r\n[Injected]\nZ=1");
  ini.WriteInteger("U", "N", -12);
  ini.WriteBool("U", "On", true);
  ini.WriteBool("U", "Off", false);
  EXPECT_EQ(ReadFile(dir / "w.ini"),
            "[S]\r\nA=new\r\nB=2\r\n; closing comment\r\n\r\n[T]\r\nX=1\r\nY=line  [Injected] Z=1\r\n"
            "[U]\r\nK=\r\nN=-12\r\nOn=1\r\nOff=0\r\n");
  TAppIniFile again(dir / "w.ini");
  EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"S", "T", "U"}));
  EXPECT_EQ(again.ReadInteger("U", "N", 0), -12);
}

TEST(AppIniFile, ClearKeepsLinesAboveTheFirstSection) {
  TTempDir dir;
  WriteFile(dir / "p.ini", "; made by hand\r\nloose=1\r\n\r\n[S]\r\nA=1\r\n[T]\r\n");
  TAppIniFile ini(dir / "p.ini");
  ini.Clear();
  EXPECT_EQ(ReadFile(dir / "p.ini"), "; made by hand\r\nloose=1\r\n\r\n");
  EXPECT_TRUE(TAppIniFile(dir / "p.ini").ReadSections().empty());

  TAppIniFile missing(dir / "missing.ini");
  missing.Clear();
  missing.EraseSection("S");
  EXPECT_FALSE(fs::exists(dir / "missing.ini"));
}

TEST(AppIniFile, DeleteSectionSparesAHeaderWithoutKeysAndQuotedStringsKeepBlanks) {
  TTempDir dir;
  WriteFile(dir / "d.ini", "[Bare]\r\n; note\r\n[Full]\r\nK=v\r\n[full]\r\nK=w\r\n");
  TAppIniFile ini(dir / "d.ini");
  ini.DeleteSection("Bare");
  ini.DeleteSection("FULL");
  EXPECT_EQ(ReadFile(dir / "d.ini"), "[Bare]\r\n; note\r\n");
  ini.WriteQuotedString("Q", "V", " a b ");
  EXPECT_EQ(TAppIniFile(dir / "d.ini").ReadString("Q", "V", ""), " a b ");
  EXPECT_NE(ReadFile(dir / "d.ini").find("V=' a b '\r\n"), std::string::npos);
}

TEST(AppIniFile, EncodingsStayAsFound) {
  TTempDir dir;
  // A new file is UTF-8 without a mark.
  TAppIniFile(dir / "new.ini").WriteString("フォルダ", "Location", "/home/ユーザー");
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[フォルダ]\r\nLocation=/home/ユーザー\r\n");

  WriteFile(dir / "bom.ini", "\xEF\xBB\xBF[S]\r\nA=1\r\n");
  TAppIniFile(dir / "bom.ini").WriteString("S", "B", "日本");
  EXPECT_EQ(ReadFile(dir / "bom.ini"), "\xEF\xBB\xBF[S]\r\nA=1\r\nB=日本\r\n");

  WriteFile(dir / "wide.ini", Utf16LE(u"[S]\r\nA=\xD800x\r\n"));  // a lone surrogate stays as found
  TAppIniFile(dir / "wide.ini").WriteString("S", "B", "日本");
  EXPECT_EQ(ReadFile(dir / "wide.ini"), Utf16LE(u"[S]\r\nA=\xD800x\r\nB=日本\r\n"));
  EXPECT_EQ(TAppIniFile(dir / "wide.ini").ReadString("S", "A", ""), "\xEF\xBF\xBDx");

  // Code page 932: "テスト" is 83 65 83 58 83 67; the stray bytes of the comment stay untouched.
  WriteFile(dir / "sjis.ini", "; \x83\xFF\r\n[\x83\x65\x83\x58\x83\x67]\r\nA=1\r\n");
  TAppIniFile sjis(dir / "sjis.ini");
  EXPECT_EQ(sjis.ReadSections(), std::vector<std::string>{"テスト"});
  EXPECT_EQ(sjis.Encoding(), TIniEncoding::Cp932);
  sjis.WriteString("テスト", "B", "ログ");
  EXPECT_EQ(ReadFile(dir / "sjis.ini"), "; \x83\xFF\r\n[\x83\x65\x83\x58\x83\x67]\r\nA=1\r\nB=\x83\x8D\x83\x4F\r\n");
}

TEST(AppIniFile, TextTheCodePageCannotHoldMovesTheFileToUtf16) {
  TTempDir dir;
  WriteFile(dir / "sjis.ini", "[\x83\x65\x83\x58\x83\x67]\r\nMask=*.\x83\x8D\x83\x4F\r\n");
  TAppIniFile sjis(dir / "sjis.ini");
  sjis.WriteString("テスト", "Except", "café*.txt");
  sjis.WriteString("テスト", "Option", "T");  // written again, after the move
  const std::string bytes = ReadFile(dir / "sjis.ini");
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  TAppIniFile again(dir / "sjis.ini");
  EXPECT_EQ(again.ReadString("テスト", "Except", ""), "café*.txt");
  EXPECT_EQ(again.ReadString("テスト", "Mask", ""), "*.ログ");
  EXPECT_EQ(again.ReadString("テスト", "Option", ""), "T");
}

TEST(AppIniFile, FailedWritesRaiseAndChangeNothing) {
  TTempDir dir;
  const std::string noFolder = dir / "absent/x.ini";
  EXPECT_EQ(ErrorOf([&] { TAppIniFile(noFolder).WriteString("S", "K", "v"); }), WriteError(noFolder));
  EXPECT_FALSE(fs::exists(dir / "absent"));

  WriteFile(dir / "file", "not a folder");
  const std::string underFile = dir / "file/x.ini";
  EXPECT_EQ(ErrorOf([&] { TAppIniFile(underFile).WriteString("S", "K", "v"); }), WriteError(underFile));
  EXPECT_EQ(ReadFile(dir / "file"), "not a folder");

  // A folder where the file should be is neither read nor replaced.
  fs::create_directory(dir / "folder.ini");
  WriteFile(dir / "folder.ini/inside", "kept");
  EXPECT_EQ(ErrorOf([&] { TAppIniFile(dir / "folder.ini").Clear(), TAppIniFile(dir / "folder.ini").WriteString("S", "K", "v"); }),
            WriteError(dir / "folder.ini"));
  EXPECT_EQ(ReadFile(dir / "folder.ini/inside"), "kept");

  WriteFile(dir / "ro.ini", "[S]\r\nK=old\r\n");
  fs::permissions(dir / "ro.ini", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(ErrorOf([&] { TAppIniFile(dir / "ro.ini").WriteString("S", "K", "new"); }), WriteError(dir / "ro.ini"));
  EXPECT_EQ(ReadFile(dir / "ro.ini"), "[S]\r\nK=old\r\n");
}

TEST(AppIniFile, ReadOnlyFolderKeepsTheOldFile) {
  TTempDir dir;
  const std::string name = dir / "ro/p.ini";
  fs::create_directory(dir / "ro");
  WriteFile(name, "[S]\r\nK=old\r\n");
  fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  // Root writes into any folder: the write is then made by an ordinary user who owns the folder.
  EXPECT_TRUE(RunAsOrdinaryUser(dir, dir / "ro", [&] {
    return ErrorOf([&] { TAppIniFile(name).WriteString("S", "K", "new"); }) == WriteError(name);
  }));
  EXPECT_EQ(ReadFile(name), "[S]\r\nK=old\r\n");
}

TEST(AppIniFile, FullDiskKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
  TTempDir dir;
  const std::string name = dir / "p.ini";
  const std::string old = "[S]\r\nK=old\r\n";
  WriteFile(name, old);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A file size limit makes the write fail part way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    TAppIniFile ini(name);
    ini.BeginUpdate();
    for (int i = 0; i < 1000; ++i) ini.WriteString("S" + std::to_string(i), "Key", std::string(40, 'x'));
    _exit(ErrorOf([&] { ini.UpdateFile(); }) == WriteError(name) ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(name), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(AppIniFile, UncommittedBatchIsDroppedAndPermissionsAndLinksSurviveAWrite) {
  TTempDir dir;
  WriteFile(dir / "p.ini", "[S]\r\nK=old\r\n");
  {
    TAppIniFile ini(dir / "p.ini");
    ini.BeginUpdate();
    ini.WriteString("S", "K", "new");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "new");
  }
  EXPECT_EQ(ReadFile(dir / "p.ini"), "[S]\r\nK=old\r\n");

  fs::permissions(dir / "p.ini", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("p.ini", dir / "link.ini");
  TAppIniFile(dir / "link.ini").WriteString("S", "K", "new");
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "p.ini"), "[S]\r\nK=new\r\n");
  EXPECT_EQ(fs::status(dir / "p.ini").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(AppIniFile, HostileFilesReadWithoutHarm) {
  TTempDir dir;
  std::mt19937 random(42);
  std::string garbage(1 << 16, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  WriteFile(dir / "garbage.ini", "[First]\r\nK=v\r\n" + garbage);
  TAppIniFile noise(dir / "garbage.ini");
  ASSERT_FALSE(noise.ReadSections().empty());
  EXPECT_EQ(noise.ReadSections().front(), "First");
  EXPECT_EQ(noise.ReadString("First", "K", ""), "v");

  WriteFile(dir / "longline.ini", "[S]\r\nK=" + std::string(1'000'000, 'x') + "\r\n" + std::string(1'000'000, '['));
  TAppIniFile longLine(dir / "longline.ini");
  EXPECT_EQ(longLine.ReadString("S", "K", "").size(), 2047u);
  EXPECT_EQ(longLine.ReadSections(), std::vector<std::string>{"S"});

  WriteFile(dir / "badcp.ini", "[S]\r\nK=\x81\x20\xFF\xA0\x82\r\n");
  EXPECT_EQ(TAppIniFile(dir / "badcp.ini").ReadString("S", "K", "").substr(0, 3), "\xEF\xBF\xBD");

  WriteFile(dir / "odd.ini", Utf16LE(u"[S]\r\nK=\xDC00v\r\n") + "\x41");  // lone surrogate, half a character
  EXPECT_EQ(TAppIniFile(dir / "odd.ini").ReadString("S", "K", ""), "\xEF\xBF\xBDv");

  // 100 MB (sparse): too large to be an INI file; no section, and never overwritten.
  { WriteFile(dir / "huge.ini", ""); }
  ASSERT_EQ(truncate((dir / "huge.ini").c_str(), 100 << 20), 0);
  TAppIniFile huge(dir / "huge.ini");
  EXPECT_TRUE(huge.ReadSections().empty());
  EXPECT_EQ(ErrorOf([&] { huge.WriteString("S", "K", "v"); }), WriteError(dir / "huge.ini"));
  EXPECT_EQ(fs::file_size(dir / "huge.ini"), 100u << 20);

  ASSERT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0600), 0);  // must not wait for a writer
  EXPECT_TRUE(TAppIniFile(dir / "fifo.ini").ReadSections().empty());
}

class AppDataPaths : public ::testing::Test {
protected:
  TTempDir FHome;
  const TScopedEnv FHomeVariable{"HOME", FHome.Path().c_str()};
  const TScopedEnv FConfigHome{"XDG_CONFIG_HOME", nullptr};
  const TScopedEnv FStateHome{"XDG_STATE_HOME", nullptr};
};

TEST_F(AppDataPaths, AppDataFileNameCreatesTheFoldersButNotTheFile) {
  TTempDir config;
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  EXPECT_EQ(AppDataFileName("Quillmoor\\Brisko\\Brisko.ini"), config / "Quillmoor/Brisko/Brisko.ini");
  EXPECT_TRUE(fs::is_directory(config / "Quillmoor/Brisko"));
  EXPECT_FALSE(fs::exists(config / "Quillmoor/Brisko/Brisko.ini"));
}

TEST_F(AppDataPaths, DefaultsUnderHomeAndTheStateFolder) {
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(AppDataFileName("Quillmoor\\Brisko\\Brisko.ini"), FHome / ".config/Quillmoor/Brisko/Brisko.ini");
  EXPECT_EQ(SpecialFolderFileName(CSIDL_LOCAL_STATE, "Quillmoor\\Brisko\\Brisko.log"),
            FHome / ".local/state/Quillmoor/Brisko/Brisko.log");
  EXPECT_TRUE(fs::is_directory(FHome / ".local/state/Quillmoor/Brisko"));
  TTempDir state;
  setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
  EXPECT_EQ(SpecialFolderFileName(CSIDL_LOCAL_STATE, "A\\b.log"), state / "A/b.log");
  // No folder part: the name stays relative to the current folder, and nothing is made.
  EXPECT_EQ(AppDataFileName("Brisko.ini"), "Brisko.ini");
  EXPECT_EQ(SpecialFolderFileName(0x7777, "A\\b.ini"), "");
}
