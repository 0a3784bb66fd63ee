#include "engine/ByteBlocks.h"

#include <algorithm>
#include <cstring>

TByteBlocks::TPlace TByteBlocks::Append(std::string_view Bytes) {
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < Bytes.size()) {
    const size_t grown = FBlocks.empty() ? FirstBlockSize : std::min(BlockSize, FBlocks.back().Capacity * 2);
    const size_t capacity = std::max(grown, Bytes.size());
    // Left unfilled: only what is written is ever read.
    FBlocks.push_back({std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
  }
  TBlock& block = FBlocks.back();
  const TPlace place{uint32_t(FBlocks.size() - 1), uint32_t(block.Used)};
  if (!Bytes.empty()) std::memcpy(block.Bytes.get() + block.Used, Bytes.data(), Bytes.size());
  block.Used += Bytes.size();
  return place;
}
