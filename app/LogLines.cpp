#include "app/LogLines.h"

#include <algorithm>

void TLogLines::Append(std::string_view Line) {
  const TByteBlocks::TPlace place = FBytes.Append(Line);
  if (place.Block == FFirstLines.size()) FFirstLines.push_back(FStarts.size());
  FStarts.push_back(place.Offset);
  FLongest = std::max(FLongest, Line.size());
}

std::string_view TLogLines::operator[](size_t Index) const {
  const auto after = std::upper_bound(FFirstLines.begin(), FFirstLines.end(), Index);
  const auto block = uint32_t(after - FFirstLines.begin() - 1);
  const bool lastInBlock = after == FFirstLines.end() ? Index + 1 == FStarts.size() : Index + 1 == *after;
  const size_t end = lastInBlock ? FBytes.Used(block) : FStarts[Index + 1];
  return std::string_view(FBytes.At({block, FStarts[Index]}), end - FStarts[Index]);
}

void TLogLines::Clear() {
  FStarts.clear();
  FFirstLines.clear();
  FBytes.Clear();
  FLongest = 0;
}

std::vector<std::string_view> TLogLines::Tail(size_t Count) const {
  std::vector<std::string_view> lines;
  for (size_t i = FStarts.size() > Count ? FStarts.size() - Count : 0; i < FStarts.size(); ++i) lines.push_back((*this)[i]);
  return lines;
}
