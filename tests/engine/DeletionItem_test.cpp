#include "engine/DeletionItem.h"

#include <gtest/gtest.h>

#include "platform/BriskoError.h"

namespace {

const TDateTime Moment = EncodeDateTime({2024, 5, 10, 15, 30, 0, 0});

TRunSettings Parse(const std::string& Lapsed, const std::string& Attrib = "", const std::string& Option = "") {
  return ParseRunSettings({"/data/tmp", "*.tmp", "keep*", Lapsed, Attrib, Option}, Moment);
}

std::string ParseError(const std::string& Lapsed) {
  try {
    Parse(Lapsed);
  } catch (const EBriskoError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(DeletionItem, TextsAndCutoff) {
  const TRunSettings s = Parse("A+7");
  EXPECT_EQ(s.FLocation, "/data/tmp");
  EXPECT_EQ(s.FIncludes, "*.tmp");
  EXPECT_EQ(s.FExcludes, "keep*");
  EXPECT_EQ(s.FBaseDate, u'A');
  EXPECT_EQ(FormatResultTime(s.FLapsedTime), "2024/05/03 15:30:00");
  EXPECT_EQ(s.FLapsedTime, IncDays(Moment, -7));
  EXPECT_EQ(Parse("M+0").FLapsedTime, Moment);
  EXPECT_EQ(Parse("C+-1").FLapsedTime, IncDays(Moment, 1));
  EXPECT_EQ(Parse("C+30").FBaseDate, u'C');
  // The separator is not looked at, and may be any character, even a multi-byte one.
  EXPECT_EQ(Parse("Dx12").FLapsedTime, IncDays(Moment, -12));
  EXPECT_EQ(Parse("M\xE3\x80\x80" "3").FLapsedTime, IncDays(Moment, -3));
  EXPECT_EQ(Parse("\xE3\x81\x82+3").FBaseDate, u'\u3042');
  EXPECT_EQ(Parse("A+-0").FLapsedTime, Moment);
  EXPECT_EQ(Parse("A++5").FLapsedTime, IncDays(Moment, -5));
}

TEST(DeletionItem, DayCountThatIsNoWholeNumberRaises) {
  for (const char* text : {"", "A", "A+", "A+x", "A+7d", "A+ 7", "A+7 ", "A+1.5", "A+--1", "A+-", "A+++1",
                           "A+99999999999", "A+\xEF\xBC\x97"})
    EXPECT_THROW(Parse(text), EBriskoError) << text;
  EXPECT_EQ(ParseError("A+x"), "'A+x' は正しい経過日数ではありません");
  EXPECT_EQ(Parse("A+2147483647").FLapsedTime, IncDays(Moment, -2147483647LL));
}

TEST(DeletionItem, AttributeLettersAddTheirValuesPerOccurrence) {
  EXPECT_EQ(Parse("A+7", "RHSDA").FAttrib, 1 + 2 + 4 + 16 + 32);
  EXPECT_EQ(Parse("A+7", "HH").FAttrib, 4);
  EXPECT_EQ(Parse("A+7", "hs").FAttrib, 0);
  EXPECT_EQ(Parse("A+7", "D;X").FAttrib, 16);
}

TEST(DeletionItem, OptionFlagsAreIndexedByCodePoint) {
  const TRunSettings s = Parse("A+7", "", "TOB");
  EXPECT_TRUE(s.HasOption('T'));
  EXPECT_TRUE(s.HasOption('O'));
  EXPECT_TRUE(s.HasOption('B'));
  EXPECT_FALSE(s.HasOption('I'));
  EXPECT_EQ(s.FOption.count(), 3u);
  EXPECT_FALSE(Parse("A+7", "", "tob").HasOption('T'));
  // Latin-1 characters set the flag of their own code, never one of an ASCII letter.
  const TRunSettings latin = Parse("A+7", "", "\xC3\x94");  // U+00D4
  EXPECT_TRUE(latin.FOption.test(0xD4));
  EXPECT_EQ(latin.FOption.count(), 1u);
}

TEST(DeletionItem, WideCharactersSetNoOption) {
  // U+3054, U+304F, U+3042 and U+0154 share their low byte with "T", "O", "B" and "T".
  EXPECT_TRUE(Parse("A+7", "", "\xE3\x81\x94\xE3\x81\x8F\xE3\x81\x82\xC5\x94").FOption.none());
  // Invalid bytes (D4 alone, CF alone) do not stand for a letter either.
  EXPECT_TRUE(Parse("A+7", "", "\xD4\xCF").FOption.none());
  const TRunSettings mixed = Parse("A+7", "", "\xE3\x81\x94I");
  EXPECT_TRUE(mixed.HasOption('I'));
  EXPECT_FALSE(mixed.HasOption('T'));
  EXPECT_EQ(mixed.FOption.count(), 1u);
}

TEST(DeletionItem, ClearedSettingsAreEmpty) {
  const TRunSettings s;
  EXPECT_TRUE(s.FLocation.empty());
  EXPECT_EQ(s.FBaseDate, 0);
  EXPECT_EQ(s.FLapsedTime.Ms, 0);
  EXPECT_EQ(s.FAttrib, 0);
  EXPECT_TRUE(s.FOption.none());
}
