#include "app/LogLines.h"

#include <algorithm>
#include <cstring>

void TLogLines::Append(std::string_view Line) {
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < Line.size()) {
    const size_t capacity = std::max(BlockSize, Line.size());
    FBlocks.push_back({std::make_unique<char[]>(capacity), capacity, 0, FStarts.size()});
  }
  TBlock& block = FBlocks.back();
  if (!Line.empty()) std::memcpy(block.Bytes.get() + block.Used, Line.data(), Line.size());
  FStarts.push_back(uint32_t(block.Used));
  block.Used += Line.size();
  FLongest = std::max(FLongest, Line.size());
}

std::string_view TLogLines::operator[](size_t Index) const {
  const auto after = std::upper_bound(FBlocks.begin(), FBlocks.end(), Index,
                                      [](size_t Line, const TBlock& Block) { return Line < Block.FirstLine; });
  const TBlock& block = *(after - 1);
  const bool lastInBlock = after == FBlocks.end() ? Index + 1 == FStarts.size() : Index + 1 == after->FirstLine;
  const size_t end = lastInBlock ? block.Used : FStarts[Index + 1];
  return std::string_view(block.Bytes.get() + FStarts[Index], end - FStarts[Index]);
}

void TLogLines::Clear() {
  FStarts.clear();
  FBlocks.clear();
  FLongest = 0;
}

std::vector<std::string_view> TLogLines::Tail(size_t Count) const {
  std::vector<std::string_view> lines;
  for (size_t i = FStarts.size() > Count ? FStarts.size() - Count : 0; i < FStarts.size(); ++i) lines.push_back((*this)[i]);
  return lines;
}
