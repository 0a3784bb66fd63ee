#include "engine/ByteBlocks.h"

#include <algorithm>
#include <cstring>

TByteBlocks::TPlace TByteBlocks::Append(std::string_view Bytes) {
  if (FBlocks.empty() || FBlocks.back().Capacity - FBlocks.back().Used < Bytes.size()) {
    const size_t capacity = std::max(BlockSize, Bytes.size());
    FBlocks.push_back({std::make_unique<char[]>(capacity), capacity, 0});
  }
  TBlock& block = FBlocks.back();
  const TPlace place{uint32_t(FBlocks.size() - 1), uint32_t(block.Used)};
  if (!Bytes.empty()) std::memcpy(block.Bytes.get() + block.Used, Bytes.data(), Bytes.size());
  block.Used += Bytes.size();
  return place;
}
