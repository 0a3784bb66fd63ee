#include <gtest/gtest.h>

#include "platform/BriskoError.h"

// A file name may hold "%2" or "%": it must come out as it went in, never filled itself.
TEST(BriskoError, ArgumentsAreFilledInOnePass) {
  struct TCase {
    const char* Wording;
    std::vector<std::string> Args;
    const char* Expected;
  };
  const TCase cases[] = {
      {"ファイル \"%1\" を作成できません。%2", {"/tmp/a%2b", "No space"}, "ファイル \"/tmp/a%2b\" を作成できません。No space"},
      {"%2 then %1", {"%2", "B"}, "B then %2"},
      {"100% of %1%", {"x"}, "100% of x%"},
      {"%1 and %3", {"a"}, "a and %3"},
  };
  for (const TCase& c : cases) EXPECT_EQ(FillArguments(c.Wording, c.Args), c.Expected) << c.Wording;
}

TEST(BriskoError, KeepsIdentifierArgumentsAndJapaneseText) {
  const EBriskoError error(eiBadMaskChar, {"3", "x["});
  EXPECT_EQ(error.Id(), eiBadMaskChar);
  EXPECT_EQ(error.Args(), (std::vector<std::string>{"3", "x["}));
  EXPECT_STREQ(error.what(), "3 番目の文字（'x['）は正しくないマスク文字です");
}
