#include "engine/ByteBlocks.h"

#include <algorithm>
#include <cstring>

TByteBlocks::TPlace TByteBlocks::Append(std::string_view Bytes) { return Append(Bytes, {}); }

TByteBlocks::TPlace TByteBlocks::Append(std::string_view First, std::string_view Second) {
  const size_t size = First.size() + Second.size();
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < size) {
    const size_t grown = FBlocks.empty() ? FirstBlockSize : std::min(BlockSize, FBlocks.back().Capacity * 2);
    const size_t capacity = std::max(grown, size);
    // Left unfilled: only what is written is ever read.
    FBlocks.push_back({std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
  }
  TBlock& block = FBlocks.back();
  const TPlace place{uint32_t(FBlocks.size() - 1), uint32_t(block.Used)};
  char* to = block.Bytes.get() + block.Used;
  if (!First.empty()) std::memcpy(to, First.data(), First.size());
  if (!Second.empty()) std::memcpy(to + First.size(), Second.data(), Second.size());
  block.Used += size;
  return place;
}
