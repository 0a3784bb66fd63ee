#include "shell/FileUtils.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/BriskoError.h"
#include "support/TestSupport.h"

namespace {

// The message of the mask error that testing Name against Masks raises; "" when none.
std::string MaskError(const std::string& Name, const std::string& Masks) {
  return ErrorOf([&] { MatchesMaskList(Name, Masks); });
}

// Straightforward full backtracking over a mask made of "*", "?" and plain ASCII
// characters, with the "?" right after a "*" dropped: the answers the fast matcher must give.
bool ReferenceMatch(const std::string& Name, size_t i, const std::string& Mask, size_t j) {
  if (j == Mask.size()) return i == Name.size();
  if (Mask[j] == '*') {
    size_t k = j + 1;
    while (k < Mask.size() && (Mask[k] == '*' || Mask[k] == '?')) ++k;
    for (size_t take = i; take <= Name.size(); ++take)
      if (ReferenceMatch(Name, take, Mask, k)) return true;
    return false;
  }
  if (i == Name.size()) return false;
  if (Mask[j] != '?' && std::toupper(Mask[j]) != std::toupper(Name[i])) return false;
  return ReferenceMatch(Name, i + 1, Mask, j + 1);
}

}  // namespace

TEST(MaskList, SplitsAtSemicolonsWithoutTrimming) {
  EXPECT_TRUE(MatchesMaskList("REPORT.LOG", "*.txt;*.log"));
  EXPECT_FALSE(MatchesMaskList("a.log", "*.txt; *.log"));
  EXPECT_TRUE(MatchesMaskList(" a.log", "*.txt; *.log"));
  EXPECT_TRUE(MatchesMaskList("A", "a;;b"));
  EXPECT_TRUE(MatchesMaskList("b", "a;;b"));
  EXPECT_FALSE(MatchesMaskList("c", "a;;b"));
  EXPECT_FALSE(MatchesMaskList("x", ""));
  EXPECT_FALSE(MatchesMaskList("", ""));
  // An empty piece matches the empty name only.
  EXPECT_TRUE(MatchesMaskList("", "a;"));
  EXPECT_FALSE(MatchesMaskList("", "a"));
}

TEST(MaskList, IncludeThenExclude) {
  EXPECT_TRUE(MatchesMasks("a.tmp", "*.tmp;*.bak", "keep*"));
  EXPECT_TRUE(MatchesMasks("b.BAK", "*.tmp;*.bak", "keep*"));
  EXPECT_FALSE(MatchesMasks("keep.tmp", "*.tmp;*.bak", "keep*"));
  EXPECT_FALSE(MatchesMasks("a.tmp", "", ""));
  EXPECT_TRUE(MatchesMasks("a.tmp", "*", ""));
  // The exclude list is not looked at when the include list does not match.
  EXPECT_FALSE(MatchesMasks("a.txt", "*.tmp", "[")); 
  EXPECT_THROW(MatchesMasks("a.tmp", "*.tmp", "["), EBriskoError);
}

TEST(MaskMatch, StarsAndQuestionMarks) {
  for (const char* name : {"", "a", "abc.def"}) {
    EXPECT_TRUE(MatchesOneMask(name, "*")) << name;
    EXPECT_TRUE(MatchesOneMask(name, "*?")) << name;
    EXPECT_TRUE(MatchesOneMask(name, "*?*")) << name;
    EXPECT_TRUE(MatchesOneMask(name, "***")) << name;
  }
  EXPECT_TRUE(MatchesOneMask("ab", "a?"));
  EXPECT_FALSE(MatchesOneMask("a", "a?"));
  EXPECT_FALSE(MatchesOneMask("abc", "a?"));
  EXPECT_TRUE(MatchesOneMask("xabcab", "*ab"));
  EXPECT_TRUE(MatchesOneMask("aXbXc", "a*b*c"));
  EXPECT_FALSE(MatchesOneMask("aXbXcd", "a*b*c"));
  EXPECT_TRUE(MatchesOneMask("file.tar.gz", "*.gz"));
  EXPECT_FALSE(MatchesOneMask("x", ""));
  EXPECT_TRUE(MatchesOneMask("", ""));
  // "." and blanks are plain characters.
  EXPECT_FALSE(MatchesOneMask("ab", "a.b"));
  EXPECT_TRUE(MatchesOneMask("a b", "A B"));
}

TEST(MaskMatch, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(MatchesOneMask("Read.ME", "read.me"));
  // Full-width A (U+FF21) and a (U+FF41), e-acute and E-acute compare exactly.
  EXPECT_FALSE(MatchesOneMask("\xEF\xBD\x81", "\xEF\xBC\xA1"));
  EXPECT_TRUE(MatchesOneMask("\xEF\xBC\xA1.txt", "\xEF\xBC\xA1.TXT"));
  EXPECT_FALSE(MatchesOneMask("\xC3\xA9", "\xC3\x89"));
}

TEST(MaskMatch, NamesAreMatchedOnUtf16CodeUnits) {
  // A character outside the basic plane is two code units: two "?".
  EXPECT_TRUE(MatchesOneMask("\xF0\x9F\x98\x80", "??"));
  EXPECT_FALSE(MatchesOneMask("\xF0\x9F\x98\x80", "?"));
  // A byte that is not UTF-8 is one unit of its own, matched by "?" and negated sets only.
  EXPECT_TRUE(MatchesOneMask("a\xFF.tmp", "a?.tmp"));
  EXPECT_TRUE(MatchesOneMask("a\xFF.tmp", "a[!x].tmp"));
  EXPECT_FALSE(MatchesOneMask("a\xFF.tmp", "a[\xC3\xBF].tmp"));
  EXPECT_TRUE(MatchesOneMask("a\xFF.tmp", "*.tmp"));
  EXPECT_FALSE(MatchesOneMask("a\xC3\xBF.tmp", "a\xFF.tmp"));
}

TEST(MaskMatch, Sets) {
  EXPECT_TRUE(MatchesOneMask("Bx", "[a-c]*"));
  EXPECT_FALSE(MatchesOneMask("dx", "[a-c]*"));
  EXPECT_TRUE(MatchesOneMask("dx", "[!a-c]*"));
  EXPECT_FALSE(MatchesOneMask("bx", "[!a-c]*"));
  EXPECT_FALSE(MatchesOneMask("a", "a[!b]"));
  EXPECT_FALSE(MatchesOneMask("a", "a[b]"));
  EXPECT_TRUE(MatchesOneMask("x3", "x[0-9ab]"));
  EXPECT_TRUE(MatchesOneMask("xB", "x[0-9ab]"));
  EXPECT_FALSE(MatchesOneMask("xc", "x[0-9ab]"));
  // Range ends fold before the range forms: "A-z" is A to Z.
  EXPECT_TRUE(MatchesOneMask("q", "[A-z]"));
  EXPECT_FALSE(MatchesOneMask("_", "[A-z]"));
  // A range running downwards adds nothing, but the set keeps its other members.
  EXPECT_TRUE(MatchesOneMask("x", "[z-ax]"));
  EXPECT_FALSE(MatchesOneMask("m", "[z-ax]"));
  // Sets hold nothing above U+00FF: a plain set never matches such a character,
  // a negated one always does.
  EXPECT_TRUE(MatchesOneMask("\xC3\xA9", "[\xC3\xA9]"));
  EXPECT_FALSE(MatchesOneMask("\xE3\x81\x82", "[a\xE3\x81\x82]"));
  EXPECT_TRUE(MatchesOneMask("\xE3\x81\x82", "[!a\xE3\x81\x82]"));
  EXPECT_TRUE(MatchesOneMask("\xE3\x81\x82", "[!a]"));
  // "*" before a set backtracks like before a literal.
  EXPECT_TRUE(MatchesOneMask("aa1b2", "*[0-9]"));
  EXPECT_FALSE(MatchesOneMask("aa1b", "*[0-9]"));
}

TEST(MaskMatch, MalformedMasksNameThePositionAndTheMask) {
  EXPECT_EQ(MaskError("x", "x["), "3 番目の文字（'x['）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "[]"), "2 番目の文字（'[]'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "[!]"), "3 番目の文字（'[!]'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "a[-b]"), "3 番目の文字（'a[-b]'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "[!-b]"), "3 番目の文字（'[!-b]'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "[a-"), "4 番目の文字（'[a-'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", "*.txt;[ab"), "4 番目の文字（'[ab'）は正しくないマスク文字です");
  // Positions count UTF-16 code units of the mask.
  EXPECT_EQ(MaskError("x", "\xE3\x81\x82["), "3 番目の文字（'\xE3\x81\x82['）は正しくないマスク文字です");
}

TEST(MaskMatch, AtMostThirtyElementsFollowAStar) {
  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty += "*a";
  EXPECT_TRUE(MatchesOneMask(std::string(30, 'a'), thirty));
  EXPECT_TRUE(MatchesOneMask(std::string(29, 'a'), thirty.substr(2) + "*"));  // the end counts: 29 + 1
  // The 31st: a character (its own position) or the end (one past the mask).
  EXPECT_EQ(MaskError("x", thirty + "*a"), "62 番目の文字（'" + thirty + "*a'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", thirty + "*"), "62 番目の文字（'" + thirty + "*'）は正しくないマスク文字です");
  EXPECT_EQ(MaskError("x", thirty + "*[ab]"), "65 番目の文字（'" + thirty + "*[ab]'）は正しくないマスク文字です");
  // A "?" dropped after a "*" is no element; consecutive stars count once.
  std::string stars;
  for (int i = 0; i < 30; ++i) stars += "**?a";
  EXPECT_NO_THROW(MatchesOneMask("a", stars));
}

TEST(MaskMatch, FaultsAreRaisedOnlyWhenTheMaskIsReached) {
  EXPECT_TRUE(MatchesMaskList("a.txt", "*.txt;x["));
  EXPECT_THROW(MatchesMaskList("a.log", "*.txt;x["), EBriskoError);
  EXPECT_THROW(MatchesMaskList("a.txt", "x[;*.txt"), EBriskoError);
  // A parsed list keeps its fault for later tests as well.
  const TMaskList list("*.txt;[]");
  EXPECT_TRUE(list.Matches(u"b.txt"));
  EXPECT_THROW(list.Matches(u"b.log"), EBriskoError);
}

TEST(MaskMatch, GivesTheAnswersOfFullBacktracking) {
  std::mt19937 random(20240510);
  const std::string maskAlphabet = "ab*?";
  for (int round = 0; round < 20000; ++round) {
    std::string mask, name;
    const int maskLength = random() % 9, nameLength = random() % 10;
    for (int i = 0; i < maskLength; ++i) mask += maskAlphabet[random() % maskAlphabet.size()];
    for (int i = 0; i < nameLength; ++i) name += "abAB"[random() % 4];
    ASSERT_EQ(MatchesOneMask(name, mask), ReferenceMatch(name, 0, mask, 0)) << name << " / " << mask;
  }
}

TEST(MaskMatch, ManyStarsAgainstALongNameAnswerAtOnce) {
  // Exponential in a naive matcher; the answer must simply be right here (the
  // time is measured by the mask benchmark).
  EXPECT_FALSE(MatchesOneMask(std::string(255, 'a'), "*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(MatchesOneMask(std::string(254, 'a') + "b", "*a*a*a*a*a*a*a*a*b"));
}

TEST(FileUtils, DirectoryBitAndFileTimes) {
  EXPECT_TRUE(IsDirectoryEntry({"x", faDirectory | faHidden}));
  EXPECT_FALSE(IsDirectoryEntry({"x", faArchive | faReadOnly | faHidden | faSysFile}));
  const int64_t offset = CurrentUtcOffsetSeconds() * 1000;
  EXPECT_EQ(FileTimeToLocalDateTime(1'715'355'000, 999'999).Ms, 1'715'355'000'000 + offset);
  struct statx_timestamp ts {};
  ts.tv_sec = 86400;
  ts.tv_nsec = 1'500'000;
  EXPECT_EQ(FileTimeToLocalDateTime(ts).Ms, 86'400'001 + offset);
}
