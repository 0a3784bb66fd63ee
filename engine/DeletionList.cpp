#include "engine/DeletionList.h"

void TDeletionList::Add(std::string_view Path, std::string_view InFolderName) {
  FStarts.push_back(FText.size());
  FText += Path;
  FStarts.push_back(FText.size());
  FText += InFolderName;
}

std::string_view TDeletionList::Path(size_t Index) const {
  const size_t slot = 2 * Index;
  return std::string_view(FText).substr(FStarts[slot], FStarts[slot + 1] - FStarts[slot]);
}

std::string_view TDeletionList::InFolderName(size_t Index) const {
  const size_t slot = 2 * Index + 1;
  return std::string_view(FText).substr(FStarts[slot], End(slot) - FStarts[slot]);
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
  for (const TReservationEntry& e : Entries) length += e.Path.size() + e.InFolderName.size();
  FText.reserve(length);
  FStarts.reserve(2 * Entries.size());
  for (const TReservationEntry& e : Entries) Add(e.Path, e.InFolderName);
}
