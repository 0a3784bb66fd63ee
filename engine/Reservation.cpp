#include "engine/Reservation.h"

#include <algorithm>
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
    FBytes = std::exchange(Other.FBytes, TByteBlocks());
    FRecords = std::move(Other.FRecords);
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

void TReservation::push_back(const TReservationEntry& Entry) {
  const std::string_view path = Entry.Path;
  const size_t slash = path.rfind('/');
  // A path ending in "/" is kept whole, so that its last name is never empty here.
  const bool split = slash != std::string_view::npos && slash + 1 < path.size();
  const std::string_view name = split ? path.substr(slash + 1) : path;
  std::string bytes;
  bytes.reserve(name.size() + Entry.InFolderName.size());
  (bytes += name) += Entry.InFolderName;
  FRecords.push_back({split ? FolderIndex(path.substr(0, slash + 1)) : 0, FBytes.Append(bytes), uint32_t(name.size()),
                      uint32_t(Entry.InFolderName.size()), Entry.Found, Entry.Size});
}

TReservationEntry TReservation::operator[](size_t Index) const {
  const TRecord& record = FRecords[Index];
  const char* bytes = FBytes.At(record.Place);
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
