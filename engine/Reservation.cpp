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
    FFolders = std::exchange(Other.FFolders, {});
    FBytes = std::exchange(Other.FBytes, TByteBlocks());
    FRecords = std::exchange(Other.FRecords, {});
    FRecordIdentities = std::exchange(Other.FRecordIdentities, {});
  }
  return *this;
}

void TReservation::clear() { *this = TReservation(); }

// The entries of a row lie in one folder (or a few): the last folder is tried first.
uint32_t TReservation::FolderIndex(std::string_view Folder) {
  if (Folder.empty()) return 0;
  if (!FFolders.empty() && FFolders.back() == Folder) return uint32_t(FFolders.size());
  const auto known = std::find(FFolders.begin(), FFolders.end(), Folder);
  if (known != FFolders.end()) return uint32_t(known - FFolders.begin() + 1);
  FFolders.emplace_back(Folder);
  return uint32_t(FFolders.size());
}

void TReservation::Add(uint32_t Folder, std::string_view Name, std::string_view InFolderName, const TFoundEntry& Found,
                       uint64_t Size, const TFoundEntry& Record) {
  std::string bytes;
  bytes.reserve(Name.size() + InFolderName.size());
  (bytes += Name) += InFolderName;
  FRecords.push_back({Folder, FBytes.Append(bytes), uint32_t(Name.size()), uint32_t(InFolderName.size()), Found, Size});
  if (Record != TFoundEntry()) {
    FRecordIdentities.resize(FRecords.size());
    FRecordIdentities.back() = Record;
  }
}

void TReservation::push_back(const TReservationEntry& Entry) {
  const std::string_view path = Entry.Path;
  const size_t slash = path.rfind('/');
  // A path ending in "/" is kept whole, so that its last name is never empty here.
  const bool split = slash != std::string_view::npos && slash + 1 < path.size();
  const std::string_view name = split ? path.substr(slash + 1) : path;
  Add(split ? FolderIndex(path.substr(0, slash + 1)) : 0, name, Entry.InFolderName, Entry.Found, Entry.Size,
      Entry.Record);
}

void TReservation::Append(std::string_view Folder, std::string_view Name, const TFoundEntry& Found, uint64_t Size) {
  Add(FolderIndex(Folder), Name, {}, Found, Size, {});
}

TEntryPlace TReservation::Place(size_t Index) const {
  const TRecord& record = FRecords[Index];
  const std::string_view folder = record.Folder ? std::string_view(FFolders[record.Folder - 1]) : std::string_view();
  return {record.Folder, folder, std::string_view(FBytes.At(record.Place), record.NameLength)};
}

TReservationEntry TReservation::operator[](size_t Index) const {
  const TRecord& record = FRecords[Index];
  const TEntryPlace place = Place(Index);
  TReservationEntry entry;
  entry.Path.reserve(place.Folder.size() + place.Name.size());
  (entry.Path += place.Folder) += place.Name;
  entry.InFolderName.assign(place.Name.data() + place.Name.size(), record.InFolderLength);
  entry.Found = record.Found;
  entry.Size = record.Size;
  if (Index < FRecordIdentities.size()) entry.Record = FRecordIdentities[Index];
  return entry;
}

bool TReservation::operator==(const TReservation& Other) const {
  if (size() != Other.size()) return false;
  for (size_t i = 0; i < size(); ++i)
    if (!((*this)[i] == Other[i])) return false;
  return true;
}
