#include "app/LogLines.h"

#include <algorithm>
#include <cstring>

void TLogLines::Append(std::string_view Line) {
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < Line.size()) {
    const size_t capacity = std::max(BlockSize, Line.size());
    FBlocks.push_back({std::make_unique<char[]>(capacity), capacity, 0});
  }
  TBlock& block = FBlocks.back();
  char* at = block.Bytes.get() + block.Used;
  if (!Line.empty()) std::memcpy(at, Line.data(), Line.size());
  block.Used += Line.size();
  FLines.emplace_back(at, Line.size());
  FLongest = std::max(FLongest, Line.size());
}

void TLogLines::Clear() {
  FLines.clear();
  FBlocks.clear();
  FLongest = 0;
}

std::vector<std::string_view> TLogLines::Tail(size_t Count) const {
  const size_t first = FLines.size() > Count ? FLines.size() - Count : 0;
  return std::vector<std::string_view>(FLines.begin() + static_cast<ptrdiff_t>(first), FLines.end());
}
