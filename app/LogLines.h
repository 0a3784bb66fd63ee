#pragma once
// The lines of the log view. A run can write millions of them: each line costs its
// bytes, kept in large blocks that never move once written, and where it starts in
// its block, rather than a string object of its own.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteBlocks.h"

class TLogLines {
public:
  void Append(std::string_view Line);
  void Clear();
  size_t Size() const { return FStarts.size(); }
  bool Empty() const { return FStarts.empty(); }
  std::string_view operator[](size_t Index) const;
  // The longest line so far, in bytes.
  size_t LongestLine() const { return FLongest; }
  // The last Count lines (all of them when there are fewer), oldest first.
  std::vector<std::string_view> Tail(size_t Count) const;

private:
  TByteBlocks FBytes;
  std::vector<size_t> FFirstLines;  // per block, the index of the first line it holds
  std::deque<uint32_t> FStarts;     // each line's start in its block
  size_t FLongest = 0;
};
