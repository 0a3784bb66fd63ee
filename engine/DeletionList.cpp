#include "engine/DeletionList.h"

// A text is taken up to its first NUL, which no name of the file system holds.
void TDeletionList::Add(std::string_view Path, std::string_view InFolderName) {
  Path = Path.substr(0, Path.find('\0'));
  InFolderName = InFolderName.substr(0, InFolderName.find('\0'));
  FStarts.push_back(FText.size());
  FText += Path;
  FText += '\0';
  FText += InFolderName;
  FText += '\0';
}

std::string_view TDeletionList::Path(size_t Index) const { return FText.c_str() + FStarts[Index]; }

std::string_view TDeletionList::InFolderName(size_t Index) const {
  return FText.c_str() + FStarts[Index] + Path(Index).size() + 1;
}

void TDeletionList::Clear() {
  FText = std::string();
  FStarts = std::vector<size_t>();
}

TReservation TDeletionList::ToReservation() const {
  TReservation entries;
  entries.reserve(Count());
  for (size_t i = 0; i < Count(); ++i) entries.push_back({std::string(Path(i)), std::string(InFolderName(i))});
  return entries;
}

void TDeletionList::Assign(const TReservation& Entries) {
  Clear();
  size_t length = 0;
  for (const TReservationEntry& e : Entries) length += e.Path.size() + e.InFolderName.size() + 2;
  FText.reserve(length);
  FStarts.reserve(Entries.size());
  for (const TReservationEntry& e : Entries) Add(e.Path, e.InFolderName);
}
