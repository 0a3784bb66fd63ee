#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "platform/TextCodec.h"

TEST(DateTime, EncodeDecodeRoundTripAcrossCalendarEdges) {
  for (const TDateFields f : {TDateFields{1601, 1, 1, 0, 0, 0, 0}, TDateFields{1969, 12, 31, 23, 59, 59, 999},
                              TDateFields{2000, 2, 29, 12, 0, 0, 0}, TDateFields{2024, 5, 10, 15, 30, 0, 1},
                              TDateFields{2100, 3, 1, 0, 0, 1, 0}}) {
    const TDateFields back = DecodeDateTime(EncodeDateTime(f));
    EXPECT_EQ(back.Year, f.Year);
    EXPECT_EQ(back.Month, f.Month);
    EXPECT_EQ(back.Day, f.Day);
    EXPECT_EQ(back.Hour, f.Hour);
    EXPECT_EQ(back.Minute, f.Minute);
    EXPECT_EQ(back.Second, f.Second);
    EXPECT_EQ(back.Millisecond, f.Millisecond);
  }
}

TEST(DateTime, IncDaysKeepsTimeOfDayAndResultTimeFormat) {
  const TDateTime t = EncodeDateTime({2024, 5, 10, 15, 30, 0, 0});
  EXPECT_EQ(FormatResultTime(IncDays(t, -7)), "2024/05/03 15:30:00");
  EXPECT_EQ(FormatResultTime(IncDays(t, 1)), "2024/05/11 15:30:00");
  EXPECT_EQ(FormatResultTime(EncodeDateTime({1999, 12, 31, 23, 59, 59, 999})), "1999/12/31 23:59:59");
}

TEST(DateTime, UtcMomentIsShiftedByTheOffsetInEffectNow) {
  const int64_t offset = CurrentUtcOffsetSeconds();
  EXPECT_EQ(UtcToLocalDateTime(0).Ms, offset * 1000);
  EXPECT_EQ(UtcToLocalDateTime(-1, 999'999'999).Ms, offset * 1000 - 1);
}

TEST(TextCodec, InvalidUtf8BytesSurviveTheRoundTrip) {
  const std::string name = "a\xff\xfe" "b\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80\xc3";
  EXPECT_FALSE(IsValidUtf8(name));
  const std::u16string wide = Utf8ToUtf16Lossy(name);
  EXPECT_EQ(wide[1], 0xDCFF);
  EXPECT_EQ(wide[2], 0xDCFE);
  EXPECT_EQ(wide[4], u'é');
  EXPECT_EQ(Utf16ToUtf8(wide), name);
  EXPECT_EQ(Utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
}

TEST(TextCodec, CodePage932BothWays) {
  const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト
  EXPECT_EQ(Cp932ToUtf8(sjis), "テスト");
  EXPECT_EQ(Utf8ToCp932("テスト"), sjis);
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80z"), "a?z");  // no emoji in the code page
  EXPECT_EQ(Cp932ToUtf8("a\x83"), "a\xEF\xBF\xBD");    // truncated lead byte
}
