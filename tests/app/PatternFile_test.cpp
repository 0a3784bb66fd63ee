#include <gtest/gtest.h>

#include <filesystem>

#include "app/AppData.h"
#include "app/PatternFile.h"
#include "platform/BriskoError.h"
#include "platform/TextCodec.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<TItemTexts> Items(size_t Count) {
  std::vector<TItemTexts> items;
  for (size_t i = 0; i < Count; ++i)
    items.push_back({"/data/" + std::to_string(i), "*.tmp", "", "M+" + std::to_string(i), "", "T"});
  return items;
}

const std::vector<TItemTexts> JapaneseItems = {
    {"C:\\作業\\ログ", "*.tmp;一時*.bak", "*.log", "A+7", "HS", "T"},
    {"D:\\テスト", "*.bak", "", "M+30", "", ""},
};

}  // namespace

TEST(PatternFile, SavesOneSectionPerItemInOrderAndLoadsThemBack) {
  TTempDir dir;
  const std::vector<TItemTexts> items = {{"/tmp/a", "*.tmp", "*.log", "A+7", "HS", "T"},
                                         {"/work", "*.bak", "", "M+30", "", ""}};
  SavePattern(dir / "p.rmp", items);
  EXPECT_EQ(ReadFile(dir / "p.rmp"),
            "[Schedule0]\r\nLocation=/tmp/a\r\nMask=*.tmp\r\nExcept=*.log\r\nLapsedDays=A+7\r\nAttribute=HS\r\n"
            "Option=T\r\n[Schedule1]\r\nLocation=/work\r\nMask=*.bak\r\nExcept=\r\nLapsedDays=M+30\r\n"
            "Attribute=\r\nOption=\r\n");
  EXPECT_EQ(LoadPattern(dir / "p.rmp"), items);

  SavePattern(dir / "jp.rmp", JapaneseItems);
  EXPECT_EQ(LoadPattern(dir / "jp.rmp"), JapaneseItems);
}

TEST(PatternFile, LoadsAndKeepsAPatternWrittenOnJapaneseWindows) {
  TTempDir dir;
  // Code page 932 with CR LF: 作業 = 8D EC 8B C6, ログ = 83 8D 83 4F, 一時 = 88 EA 8E 9E, テスト = 83 65 83 58 83 67.
  const std::string cp932 =
      "[Schedule0]\r\nLocation=C:\\\x8D\xEC\x8B\xC6\\\x83\x8D\x83\x4F\r\nMask=*.tmp;\x88\xEA\x8E\x9E*.bak\r\n"
      "Except=*.log\r\nLapsedDays=A+7\r\nAttribute=HS\r\nOption=T\r\n[Schedule1]\r\nLocation=D:\\\x83\x65\x83\x58\x83\x67\r\n"
      "Mask=*.bak\r\nExcept=\r\nLapsedDays=M+30\r\nAttribute=\r\nOption=\r\n";
  WriteFile(dir / "win.rmp", cp932);
  EXPECT_EQ(LoadPattern(dir / "win.rmp"), JapaneseItems);
  SavePattern(dir / "win.rmp", JapaneseItems);
  EXPECT_EQ(ReadFile(dir / "win.rmp"), cp932);  // still code page 932, byte for byte

  std::vector<TItemTexts> changed = JapaneseItems;
  changed[1][itLocation] = "D:\\テスト\\ログ";
  SavePattern(dir / "win.rmp", changed);
  EXPECT_NE(ReadFile(dir / "win.rmp").find("Location=D:\\\x83\x65\x83\x58\x83\x67\\\x83\x8D\x83\x4F\r\n"),
            std::string::npos);
  EXPECT_EQ(LoadPattern(dir / "win.rmp"), changed);
}

TEST(PatternFile, Utf16FileWithItsMarkStaysSo) {
  TTempDir dir;
  WriteFile(dir / "w.rmp", Utf16LE(u"[Schedule0]\r\nLocation=C:\\作業\r\nMask=*.tmp\r\n"));
  EXPECT_EQ(LoadPattern(dir / "w.rmp"), (std::vector<TItemTexts>{{"C:\\作業", "*.tmp", "", "", "", ""}}));
  SavePattern(dir / "w.rmp", JapaneseItems);
  const std::string bytes = ReadFile(dir / "w.rmp");
  EXPECT_EQ(bytes.substr(0, 14), Utf16LE(u"[Sched"));
  EXPECT_EQ(LoadPattern(dir / "w.rmp"), JapaneseItems);
}

TEST(PatternFile, SavingReplacesEverySectionAndKeepsTheLinesAboveThem) {
  TTempDir dir;
  WriteFile(dir / "p.rmp", "; my pattern\r\n[Other]\r\nX=1\r\n");
  SavePattern(dir / "p.rmp", Items(5));
  SavePattern(dir / "p.rmp", Items(3));
  TAppIniFile ini(dir / "p.rmp");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Schedule0", "Schedule1", "Schedule2"}));
  EXPECT_EQ(ReadFile(dir / "p.rmp").substr(0, 14), "; my pattern\r\n");

  SavePattern(dir / "p.rmp", Items(11));
  EXPECT_EQ(TAppIniFile(dir / "p.rmp").ReadSections().back(), "Schedule10");
  EXPECT_EQ(LoadPattern(dir / "p.rmp"), Items(11));

  SavePattern(dir / "p.rmp", {});
  EXPECT_EQ(ReadFile(dir / "p.rmp"), "; my pattern\r\n");
}

TEST(PatternFile, EmptyPatternWhereNoFileExistsCreatesNone) {
  TTempDir dir;
  SavePattern(dir / "none.rmp", {});
  EXPECT_FALSE(fs::exists(dir / "none.rmp"));
  EXPECT_TRUE(LoadPattern(dir / "none.rmp").empty());
}

TEST(PatternFile, LoadsEverySectionInFileOrderWhateverItsName) {
  TTempDir dir;
  // A repeated name (a hand-edited file) is an item of its own, with its own values.
  WriteFile(dir / "p.rmp", "[Schedule10]\nLocation=/ten\nUnknown=x\n[Schedule2]\nMask= ' *.a ' \n[Extra]\n"
                           "Option=\"TB\"\nLocation=/extra\n[schedule10]\nLocation=/again\n");
  EXPECT_EQ(LoadPattern(dir / "p.rmp"), (std::vector<TItemTexts>{{"/ten", "", "", "", "", ""},
                                                                 {"", " *.a ", "", "", "", ""},
                                                                 {"/extra", "", "", "", "", "TB"},
                                                                 {"/again", "", "", "", "", ""}}));
}

TEST(PatternFile, FailedSaveRaisesTheWriteError) {
  TTempDir dir;
  const std::string name = dir / "absent/p.rmp";
  try {
    SavePattern(name, Items(1));
    ADD_FAILURE() << "no error";
  } catch (const EBriskoError& e) {
    EXPECT_EQ(std::string(e.what()), name + " に書き込めません");
  }
}

// What is saved is what a scheduled run reads: a text that would come back otherwise
// is refused before the file is touched; every other text, up to the reader's limit
// and with bytes that are not UTF-8, comes back as it was.
TEST(PatternFile, SavesOnlyTextsThatReadBackAsTheyStand) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  std::string emojis;
  for (int i = 0; i < 1023; ++i) emojis += emoji;
  const struct {
    std::string Text;
    TErrorId Refusal;  // eiText: saved and read back
  } cases[] = {
      {std::string(2047, 'a'), eiText},
      {emojis + "a", eiText},
      {"a\xFF" "b;\xE3", eiText},
      {"'*.tmp\"", eiText},
      {std::string(2048, 'a'), eiValueTooLong},
      {emojis + emoji, eiValueTooLong},
      {"/x/cache ", eiValueBlankEnds},
      {"\t*.tmp", eiValueBlankEnds},
      {"'keep*'", eiValueQuoted},
      {"\"/x\"", eiValueQuoted},
      {"a\nb", eiValueLineBreak},
      {"a\rb", eiValueLineBreak},
      {std::string("/tmp/..\0", 8), eiValueHasNul},
  };
  TTempDir dir;
  const std::string name = dir / "p.rmp";
  for (const auto& c : cases) {
    SCOPED_TRACE(EscapeBytes(c.Text.substr(0, 40)));
    WriteFile(name, "[Schedule0]\r\nLocation=/old\r\n");
    const std::vector<TItemTexts> items = {{"/a", "*", "", "A+1", "", ""}, {"/b", "*.tmp", c.Text, "A+1", "", ""}};
    try {
      SavePattern(name, items);
      EXPECT_EQ(c.Refusal, eiText);
      EXPECT_EQ(LoadPattern(name), items);
    } catch (const EBriskoError& e) {
      EXPECT_EQ(e.Id(), c.Refusal);
      EXPECT_EQ(e.Args(), (std::vector<std::string>{name, "Schedule1", "Except"}));
      EXPECT_EQ(ReadFile(name), "[Schedule0]\r\nLocation=/old\r\n");
    }
  }
}
