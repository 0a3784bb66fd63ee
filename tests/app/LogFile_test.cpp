#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "app/LogFile.h"
#include "platform/BriskoError.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Numbered(const std::string& Prefix, int Count) {
  std::vector<std::string> lines;
  for (int i = 0; i < Count; ++i) lines.push_back(Prefix + std::to_string(i));
  return lines;
}

std::string Joined(const std::vector<std::string>& Lines, const std::string& Ending) {
  std::string out;
  for (const std::string& line : Lines) out += line + Ending;
  return out;
}
std::string CrLfJoined(const std::vector<std::string>& Lines) { return Joined(Lines, "\r\n"); }
std::string LfJoined(const std::vector<std::string>& Lines) { return Joined(Lines, "\n"); }

ino_t InodeOf(const std::string& Path) {
  struct stat info{};
  return stat(Path.c_str(), &info) == 0 ? info.st_ino : 0;
}

std::string Utf16(const std::u16string& Text, bool BigEndian) {
  std::string out = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : Text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += BigEndian ? high : low;
    out += BigEndian ? low : high;
  }
  return out;
}

// Settings tests get folders of their own for the roaming and the state folder.
class LogSettings : public ::testing::Test {
protected:
  TTempDir FConfig, FState;
  const TScopedEnv FConfigHome{"XDG_CONFIG_HOME", FConfig.Path().c_str()};
  const TScopedEnv FStateHome{"XDG_STATE_HOME", FState.Path().c_str()};
};

}  // namespace

TEST_F(LogSettings, FirstStartGivesTheDefaultsAndWritesNothing) {
  const TLogSettings settings = LoadSettings();
  EXPECT_FALSE(settings.SaveLog);
  EXPECT_EQ(settings.LogFile, FState / "Quillmoor/Brisko/Brisko.log");
  EXPECT_EQ(settings.LogLinage, 256);
  EXPECT_EQ(SettingsFileName(), FConfig / "Quillmoor/Brisko/Brisko.ini");
  EXPECT_TRUE(fs::is_directory(FConfig / "Quillmoor/Brisko"));
  EXPECT_FALSE(fs::exists(SettingsFileName()));
  EXPECT_FALSE(fs::exists(DefaultLogFileName()));
}

TEST_F(LogSettings, SavedSettingsComeBackAndOtherSectionsStay) {
  WriteFile(SettingsFileName(), "[Window]\r\nWidth=640\r\n");
  SaveSettings({true, "/var/log/ブリスコ.log", 1000});
  EXPECT_EQ(ReadFile(SettingsFileName()),
            "[Window]\r\nWidth=640\r\n[Log]\r\nSave=1\r\nFile=/var/log/ブリスコ.log\r\nLinage=1000\r\n");
  const TLogSettings back = LoadSettings();
  EXPECT_TRUE(back.SaveLog);
  EXPECT_EQ(back.LogFile, "/var/log/ブリスコ.log");
  EXPECT_EQ(back.LogLinage, 1000);

  // An empty name stays empty (saving then fails), a number that is none gives the default.
  WriteFile(SettingsFileName(), "[Log]\r\nSave=yes\r\nFile=\r\nLinage=many\r\n");
  const TLogSettings edited = LoadSettings();
  EXPECT_FALSE(edited.SaveLog);
  EXPECT_EQ(edited.LogFile, "");
  EXPECT_EQ(edited.LogLinage, 256);
}

// A limit of none would keep no record: it reads as the default, and says so.
TEST_F(LogSettings, LineLimitOfNoneReadsAsTheDefaultWithAWarning) {
  const struct {
    const char* Stored;
    int Read;
  } cases[] = {{"0", 256}, {"-5", 256}, {"0x80000000", 256}, {"1", 1}, {"32767", 32767}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Stored);
    WriteFile(SettingsFileName(), std::string("[Log]\r\nLinage=") + c.Stored + "\r\n");
    std::vector<EBriskoError> warnings;
    EXPECT_EQ(LoadSettings(&warnings).LogLinage, c.Read);
    ASSERT_EQ(warnings.size(), c.Read == 256 ? 1u : 0u);
    if (!warnings.empty()) {
      EXPECT_EQ(warnings[0].Id(), eiLinageDefault);
    }
  }
}

TEST(LogFile, NewFileIsUtf8WithLfAndSplitsLinesAtEveryBreak) {
  TTempDir dir;
  SaveLogFile(dir / "new.log", {"2024/05/10 15:30:00 RM 0x0000 /tmp/ログ", "a\rb\nc\r\nd", ""}, 256);
  EXPECT_EQ(ReadFile(dir / "new.log"), "2024/05/10 15:30:00 RM 0x0000 /tmp/ログ\na\nb\nc\nd\n\n");
  // Old lines ending in CR LF or a lone CR come back with LF.
  WriteFile(dir / "mixed.log", "one\r\ntwo\rthree");
  SaveLogFile(dir / "mixed.log", {"four"}, 256);
  EXPECT_EQ(ReadFile(dir / "mixed.log"), "one\ntwo\nthree\nfour\n");
}

// Old lines count the same whether they end in LF, CR LF or a lone CR.
TEST(LogFile, KeepsTheNewestLinesUpToTheLimit) {
  for (const char* ending : {"\n", "\r\n", "\r"}) {
    TTempDir dir;
    WriteFile(dir / "a.log", Joined(Numbered("old", 250), ending));
    SaveLogFile(dir / "a.log", Numbered("new", 10), 256);
    std::vector<std::string> expected = Numbered("old", 250);
    expected.erase(expected.begin(), expected.begin() + 4);
    for (const std::string& line : Numbered("new", 10)) expected.push_back(line);
    EXPECT_EQ(ReadFile(dir / "a.log"), LfJoined(expected)) << ending;

    SaveLogFile(dir / "a.log", Numbered("more", 5), 3);
    EXPECT_EQ(ReadFile(dir / "a.log"), "more2\nmore3\nmore4\n");
    SaveLogFile(dir / "a.log", {"x"}, 3);
    EXPECT_EQ(ReadFile(dir / "a.log"), "more3\nmore4\nx\n");
  }
}

// A run appends its lines to the file as it is, however large; the file is rewritten
// only by a cut that has lines to drop (or line ends to make LF).
TEST(LogFile, AppendingKeepsTheFileAndOnlyACutPastTheLimitRewritesIt) {
  TTempDir dir;
  const std::string name = dir / "big.log";
  const std::string old = LfJoined(Numbered("old", 5000));
  WriteFile(name, old);
  const ino_t before = InodeOf(name);
  AppendLogFile(name, Numbered("new", 3));
  EXPECT_EQ(ReadFile(name), old + "new0\nnew1\nnew2\n");
  CutLogFile(name, 5003);
  EXPECT_EQ(InodeOf(name), before);
  CutLogFile(name, 2);
  EXPECT_EQ(ReadFile(name), "new1\nnew2\n");
  EXPECT_NE(InodeOf(name), before);
}

TEST(LogFile, LimitZeroEmptiesTheFileButKeepsAUtf8Mark) {
  TTempDir dir;
  WriteFile(dir / "bom.log", "\xEF\xBB\xBFold\r\n");
  SaveLogFile(dir / "bom.log", {"new"}, 0);
  EXPECT_EQ(ReadFile(dir / "bom.log"), "\xEF\xBB\xBF");
  WriteFile(dir / "wide.log", Utf16(u"old\r\n", false));
  SaveLogFile(dir / "wide.log", {"new"}, -5);  // a negative limit counts as 0
  EXPECT_EQ(ReadFile(dir / "wide.log"), "");   // UTF-8 now
  WriteFile(dir / "plain.log", "old\r\n");
  SaveLogFile(dir / "plain.log", {"new"}, 0);
  EXPECT_TRUE(fs::exists(dir / "plain.log"));
  EXPECT_EQ(ReadFile(dir / "plain.log"), "");
}

// New lines are UTF-8 whatever the log held: old lines in another encoding stay as
// their bytes (UTF-16 becomes UTF-8), and no character becomes "?".
TEST(LogFile, NewLinesAreUtf8WhateverTheLogHeld) {
  const struct {
    const char* Name;
    std::string Old;
    std::vector<std::string> Added;
    std::string Expected;
  } cases[] = {
      {"utf16le", Utf16(u"古い\r\n", false), {"新しい"}, "古い\n新しい\n"},
      {"utf16be", Utf16(u"古い\n", true), {"新しい"}, "古い\n新しい\n"},
      {"utf8 mark", "\xEF\xBB\xBF古い\r\n", {"新"}, "\xEF\xBB\xBF古い\n新\n"},
      // A line that is not UTF-8 is escaped as the result lines are.
      {"utf8", "古い\n", {"ログ\xFF"}, "古い\nログ\\xff\n"},
      // Code page 932 (テスト) and a stray byte: kept byte for byte; emoji stay apart.
      {"cp932", "\x83\x65\x83\x58\x83\x67\xFF\r\n", {"x😀.tmp", "x😁.tmp"},
       "\x83\x65\x83\x58\x83\x67\xFF\nx😀.tmp\nx😁.tmp\n"},
  };
  for (const auto& c : cases) {
    TTempDir dir;
    WriteFile(dir / "a.log", c.Old);
    SaveLogFile(dir / "a.log", c.Added, 256);
    EXPECT_EQ(ReadFile(dir / "a.log"), c.Expected) << c.Name;
    // A run's own appends: the same, without the cut.
    WriteFile(dir / "b.log", c.Old);
    AppendLogFile(dir / "b.log", c.Added);
    CutLogFile(dir / "b.log", 256);
    EXPECT_EQ(ReadFile(dir / "b.log"), c.Expected) << c.Name;
  }
}

TEST(LogFile, LinesAndCharactersAcrossReadChunksStayWhole) {
  TTempDir dir;
  // The file is read in pieces of 64 KiB: a CR LF and a UTF-8 character straddle the first border.
  const std::string first = std::string(65535, 'x') + "\r\n";
  const std::string second = std::string(65534, 'y') + "あ\n" + std::string(100000, 'z') + "\n";
  WriteFile(dir / "big.log", first + second + "end");
  SaveLogFile(dir / "big.log", {"ログ"}, 5);
  EXPECT_EQ(ReadFile(dir / "big.log"), std::string(65535, 'x') + "\n" + std::string(65534, 'y') + "あ\n" +
                                           std::string(100000, 'z') + "\nend\nログ\n");
}

TEST(LogFile, ErrorsNameTheFileAndTheReason) {
  TTempDir dir;
  fs::create_directory(dir / "folder.log");
  EXPECT_EQ(ErrorOf([&] { SaveLogFile(dir / "folder.log", {"x"}, 256); }),
            "ファイル " + (dir / "folder.log") + " は開けません。 Is a directory ");
  EXPECT_EQ(ErrorOf([&] { SaveLogFile(dir / "absent/a.log", {"x"}, 256); }),
            "ファイル \"" + (dir / "absent/a.log") + "\" を作成できません。No such file or directory");
  EXPECT_EQ(ErrorOf([&] { SaveLogFile("", {"x"}, 256); }), "ファイル \"\" を作成できません。No such file or directory");
}

TEST(LogFile, FullDiskLeavesTheOldLogWhole) {
  TTempDir dir;
  const std::string name = dir / "a.log";
  WriteFile(name, CrLfJoined(Numbered("old", 100)));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};  // the old log alone takes 690 bytes, the new one twice that
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::string error = ErrorOf([&] { SaveLogFile(name, Numbered("new", 100), 1000); });
    _exit(error.starts_with("ファイル \"" + name + "\" を作成できません。") ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFile(name), CrLfJoined(Numbered("old", 100)));
}

TEST(LogFile, TwoProcessesSavingAtOnceLoseNoLine) {
  TTempDir dir;
  const std::string name = dir / "shared.log";
  constexpr int Rounds = 40;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      for (int i = 0; i < Rounds; ++i) SaveLogFile(name, {"p" + std::to_string(p) + "-" + std::to_string(i)}, 1000);
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string content = ReadFile(name);
  std::set<std::string> lines;
  for (size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
    lines.insert(content.substr(start, end - start));
  EXPECT_EQ(lines.size(), 2u * Rounds);
  EXPECT_TRUE(lines.count("p0-0") && lines.count("p1-39"));
}
