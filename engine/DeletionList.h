#pragma once
// The worker's list of due entries. A row's list can hold a million paths, so the
// texts share one buffer instead of one allocation each.
#include <string>
#include <string_view>
#include <vector>

#include "engine/RemoveHost.h"

class TDeletionList {
public:
  // InFolderName is the trash entry's in-folder name; folder entries have none.
  void Add(std::string_view Path, std::string_view InFolderName = {});
  size_t Count() const { return FStarts.size(); }
  std::string_view Path(size_t Index) const;
  std::string_view InFolderName(size_t Index) const;
  // Empties the list and gives its memory back.
  void Clear();

  TReservation ToReservation() const;
  void Assign(const TReservation& Entries);

private:
  // Each entry is its path, a NUL, its in-folder name and a NUL: file names never
  // hold a NUL, and one offset per entry keeps a million entries small.
  std::string FText;
  std::vector<size_t> FStarts;
};
