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
    FDevices = std::exchange(Other.FDevices, {});
    FBytes = std::exchange(Other.FBytes, TByteBlocks());
    FChunks = std::exchange(Other.FChunks, {});
    FCount = std::exchange(Other.FCount, 0);
    FExtras = std::exchange(Other.FExtras, {});
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

uint32_t TReservation::DeviceIndex(uint64_t Dev) {
  if (!FDevices.empty() && FDevices.back() == Dev) return uint32_t(FDevices.size() - 1);
  const auto known = std::find(FDevices.begin(), FDevices.end(), Dev);
  if (known != FDevices.end()) return uint32_t(known - FDevices.begin());
  FDevices.push_back(Dev);
  return uint32_t(FDevices.size() - 1);
}

void TReservation::Add(uint32_t Folder, std::string_view Name, std::string_view InFolderName, const TFoundEntry& Found,
                       uint64_t Size, const TFoundEntry& Record) {
  const bool changeOnly = Found.BirthNs == 0;
  const bool extra = !InFolderName.empty() || Record != TFoundEntry() || (!changeOnly && Found.ChangeNs != 0);
  TRecord record{Found.Ino,
                 changeOnly ? Found.ChangeNs : Found.BirthNs,
                 Size,
                 FBytes.Append(Name, InFolderName),
                 Folder,
                 uint32_t(Name.size()),
                 DeviceIndex(Found.Dev),
                 uint8_t(Found.Kind),
                 uint8_t((Found.Type >> 12) | (changeOnly ? StampIsChange : 0) | (extra ? HasExtra : 0))};
  if (FChunks.empty() || FChunks.back().size() == ChunkRecords) {
    FChunks.emplace_back();
    if (FChunks.size() > 1) FChunks.back().reserve(ChunkRecords);
  }
  FChunks.back().push_back(record);
  ++FCount;
  if (extra) {
    FExtras.resize(FCount);
    FExtras.back() = {changeOnly ? 0 : Found.ChangeNs, uint32_t(InFolderName.size()), Record};
  }
}

TFoundEntry TReservation::Found(size_t Index) const {
  const TRecord& record = RecordAt(Index);
  TFoundEntry found;
  found.Kind = TEntryKind(record.Kind);
  found.Type = uint16_t((record.Shape & 0x0F) << 12);
  found.Dev = FDevices[record.Device];
  found.Ino = record.Ino;
  if (record.Shape & StampIsChange)
    found.ChangeNs = record.Stamp;
  else
    found.BirthNs = record.Stamp;
  if (record.Shape & HasExtra && !(record.Shape & StampIsChange)) found.ChangeNs = FExtras[Index].ChangeNs;
  return found;
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
  const TRecord& record = RecordAt(Index);
  const std::string_view folder = record.Folder ? std::string_view(FFolders[record.Folder - 1]) : std::string_view();
  return {record.Folder, folder, std::string_view(FBytes.At(record.Place), record.NameLength)};
}

TReservationEntry TReservation::operator[](size_t Index) const {
  const TRecord& record = RecordAt(Index);
  const TEntryPlace place = Place(Index);
  TReservationEntry entry;
  entry.Path.reserve(place.Folder.size() + place.Name.size());
  (entry.Path += place.Folder) += place.Name;
  entry.Found = Found(Index);
  entry.Size = record.Size;
  if (record.Shape & HasExtra) {
    const TExtra& extra = FExtras[Index];
    entry.InFolderName.assign(place.Name.data() + place.Name.size(), extra.InFolderLength);
    entry.Record = extra.Record;
  }
  return entry;
}

bool TReservation::operator==(const TReservation& Other) const {
  if (size() != Other.size()) return false;
  for (size_t i = 0; i < size(); ++i)
    if (!((*this)[i] == Other[i])) return false;
  return true;
}
