#pragma once
// Bytes appended into blocks that never move once written: a million short texts
// cost their bytes and where they lie, not a string object each. A text never
// straddles two blocks; one larger than a block gets a block of its own. The first
// block is small and each next one twice the last, up to 1 MiB: a store that holds
// a name or two (a row with one due entry, of many thousand rows) costs about that.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class TByteBlocks {
public:
  struct TPlace {
    uint32_t Block;
    uint32_t Offset;
  };

  TPlace Append(std::string_view Bytes);
  // Both texts one after the other, as one.
  TPlace Append(std::string_view First, std::string_view Second);
  const char* At(TPlace Place) const { return FBlocks[Place.Block].Bytes.get() + Place.Offset; }
  size_t BlockCount() const { return FBlocks.size(); }
  // Bytes written into Block so far.
  size_t Used(size_t Block) const { return FBlocks[Block].Used; }
  void Clear() { FBlocks.clear(); }

private:
  static constexpr size_t FirstBlockSize = 256;
  static constexpr size_t BlockSize = size_t(1) << 20;
  struct TBlock {
    std::unique_ptr<char[]> Bytes;
    size_t Capacity = 0;
    size_t Used = 0;
  };
  std::vector<TBlock> FBlocks;
};
