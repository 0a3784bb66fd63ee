#include "engine/Reservation.h"

#include <algorithm>
#include <cstring>
#include <utility>

TReservation::TReservation(std::initializer_list<TReservationEntry> Entries) {
  for (const TReservationEntry& entry : Entries) push_back(entry);
}

TReservation::TReservation(const TReservation& Other) {
  for (const TReservationEntry& entry : Other) push_back(entry);
}

TReservation& TReservation::operator=(const TReservation& Other) {
  if (this != &Other) {
    TReservation copy(Other);
    *this = std::move(copy);
  }
  return *this;
}

TReservation::TReservation(TReservation&& Other) { *this = std::move(Other); }

TReservation& TReservation::operator=(TReservation&& Other) {
  if (this != &Other) {
    FFolders = std::exchange(Other.FFolders, {std::string()});
    FBlocks = std::move(Other.FBlocks);
    FBlockUsed = std::exchange(Other.FBlockUsed, BlockSize);
    FRecords = std::move(Other.FRecords);
    Other.FBlocks.clear();
    Other.FRecords.clear();
  }
  return *this;
}

void TReservation::clear() { *this = TReservation(); }

// The entries of a row lie in one folder (or a few): the last folder is tried first.
uint32_t TReservation::FolderIndex(std::string_view Folder) {
  if (FFolders.back() == Folder) return uint32_t(FFolders.size() - 1);
  const auto known = std::find(FFolders.begin(), FFolders.end(), Folder);
  if (known != FFolders.end()) return uint32_t(known - FFolders.begin());
  FFolders.emplace_back(Folder);
  return uint32_t(FFolders.size() - 1);
}

void TReservation::StoreBytes(std::string_view Bytes, TRecord& Record) {
  if (BlockSize - FBlockUsed < Bytes.size() || FBlocks.empty()) {
    FBlocks.push_back(std::make_unique<char[]>(std::max(BlockSize, Bytes.size())));
    FBlockUsed = 0;
  }
  Record.Block = uint32_t(FBlocks.size() - 1);
  Record.Offset = uint32_t(FBlockUsed);
  if (!Bytes.empty()) std::memcpy(FBlocks.back().get() + FBlockUsed, Bytes.data(), Bytes.size());
  // A block is never smaller than what it holds: an oversized name gets one of its own.
  FBlockUsed = Bytes.size() > BlockSize ? BlockSize : FBlockUsed + Bytes.size();
}

void TReservation::push_back(const TReservationEntry& Entry) {
  const std::string_view path = Entry.Path;
  const size_t slash = path.rfind('/');
  // A path ending in "/" is kept whole, so that its last name is never empty here.
  const bool split = slash != std::string_view::npos && slash + 1 < path.size();
  const std::string_view name = split ? path.substr(slash + 1) : path;
  TRecord record{split ? FolderIndex(path.substr(0, slash + 1)) : 0, 0, 0, uint32_t(name.size()),
                 uint32_t(Entry.InFolderName.size()), Entry.Found, Entry.Size};
  std::string bytes;
  bytes.reserve(name.size() + Entry.InFolderName.size());
  (bytes += name) += Entry.InFolderName;
  StoreBytes(bytes, record);
  FRecords.push_back(record);
}

TReservationEntry TReservation::operator[](size_t Index) const {
  const TRecord& record = FRecords[Index];
  const char* bytes = FBlocks[record.Block].get() + record.Offset;
  TReservationEntry entry;
  entry.Path.reserve(FFolders[record.Folder].size() + record.NameLength);
  (entry.Path += FFolders[record.Folder]).append(bytes, record.NameLength);
  entry.InFolderName.assign(bytes + record.NameLength, record.InFolderLength);
  entry.Found = record.Found;
  entry.Size = record.Size;
  return entry;
}

bool TReservation::operator==(const TReservation& Other) const {
  if (size() != Other.size()) return false;
  for (size_t i = 0; i < size(); ++i)
    if (!((*this)[i] == Other[i])) return false;
  return true;
}
