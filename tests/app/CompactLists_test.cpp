#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/LogLines.h"
#include "engine/Reservation.h"

// Lines of every length, across block boundaries and past a block's size, come
// back byte for byte; so do entries of a reservation list, across folders.
TEST(CompactLists, ComeBackAsTheyWentInAcrossBlocks) {
  TLogLines lines;
  TReservation list;
  std::vector<std::string> expected;
  std::vector<TReservationEntry> entries;
  for (size_t i = 0; i < 40000; ++i) {
    std::string line(i % 97, char('a' + i % 26));
    if (i == 20000) line.assign((size_t(1) << 20) + 5, 'x');  // larger than a block
    line += std::to_string(i);
    lines.Append(line);
    expected.push_back(line);
    const std::string folder = i % 3 == 0 ? "/a/" : i % 3 == 1 ? "/b/c/" : "";
    // Every shape of identity a sweep or a trash record gives: either time stamp,
    // both, none; trash records now and then.
    const TFoundEntry found{TEntryKind(i % 3), uint16_t((i % 16) << 12), i % 5, i + 1, i % 4 ? int64_t(i) : 0,
                            i % 3 ? int64_t(i * 7) : 0};
    const TFoundEntry record = i % 5 ? TFoundEntry{} : TFoundEntry{ekNonFolder, 0x8000, 1, i, int64_t(i), int64_t(i)};
    entries.push_back({folder + line, i % 2 ? "=" + line : "", found, i, record});
    list.push_back(entries.back());
  }
  ASSERT_EQ(lines.Size(), expected.size());
  ASSERT_EQ(list.size(), entries.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(lines[i], expected[i]) << i;
    ASSERT_EQ(list[i], entries[i]) << i;
  }
  const std::vector<std::string_view> tail = lines.Tail(3);
  EXPECT_EQ(std::vector<std::string>(tail.begin(), tail.end()),
            std::vector<std::string>(expected.end() - 3, expected.end()));
  EXPECT_EQ(lines.LongestLine(), expected[20000].size());
  TReservation moved = std::move(list);
  EXPECT_TRUE(list.empty());
  list.push_back(entries[1]);
  EXPECT_EQ(list.front(), entries[1]);
  EXPECT_EQ(moved.size(), entries.size());
}
