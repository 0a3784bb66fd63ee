#pragma once
// The lines of the log view. A run can write millions of them: each line costs its
// bytes and one view of them, kept in large blocks that never move once written,
// rather than a string object of its own.
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TLogLines {
public:
  void Append(std::string_view Line);
  void Clear();
  size_t Size() const { return FLines.size(); }
  bool Empty() const { return FLines.empty(); }
  std::string_view operator[](size_t Index) const { return FLines[Index]; }
  // The longest line so far, in bytes.
  size_t LongestLine() const { return FLongest; }
  // The last Count lines (all of them when there are fewer), oldest first.
  std::vector<std::string_view> Tail(size_t Count) const;

private:
  static constexpr size_t BlockSize = size_t(1) << 20;
  struct TBlock {
    std::unique_ptr<char[]> Bytes;
    size_t Capacity = 0;
    size_t Used = 0;
  };
  std::vector<TBlock> FBlocks;
  std::deque<std::string_view> FLines;
  size_t FLongest = 0;
};
