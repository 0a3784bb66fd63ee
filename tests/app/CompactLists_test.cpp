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
    entries.push_back({folder + line, i % 2 ? "=" + line : "", {ekNonFolder, 0, i, i + 1, 0, 0}, i, {}});
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
