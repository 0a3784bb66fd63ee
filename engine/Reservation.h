#pragma once
// A row's due entries: what the collect pass found and the remove pass works through.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteBlocks.h"
#include "platform/Removal.h"

// One due entry of a row. A folder item's entry is its full path (Path); a trash
// item's entry keeps its parsing name (Path) and its in-folder name apart, since
// file names may contain "=".
//
// A folder item's entry also keeps what the collect pass saw of it (Found): its
// kind, device and inode. The remove pass acts only within that, however the entry
// has changed since:
//   - a non-folder is only unlinked, never removed as a tree; a folder now in its
//     place answers EISDIR and stays;
//   - a folder listed under option "O" is removed as an empty folder only; one that
//     holds something now answers ENOTEMPTY and keeps its content;
//   - any other folder (listed through "T" or "D") is removed with all it holds;
//   - an entry whose device or inode differ from those seen (the name now belongs
//     to another file, folder or link) answers ESTALE and is not touched.
// With option "B" the same checks come before the entry is moved to the trash. An
// entry whose inode was not recorded (Ino 0) is checked by kind only. A trash item's
// entry keeps the identity of its stored entry (Found) and of its record (Record),
// change times included: the purge takes it only while both are still those.
struct TReservationEntry {
  std::string Path;
  std::string InFolderName;
  TFoundEntry Found;
  uint64_t Size = 0;  // the space its removal frees, as the collect pass saw it (FreedSpace.h)
  TFoundEntry Record;
  bool operator==(const TReservationEntry&) const = default;
};

// Where an entry lies, without joining: the folder's number in its list (the same
// number for every entry of that folder, 0 for an entry kept as a whole path), the
// folder text (ending in "/", or empty) and the name. Valid while the list is.
struct TEntryPlace {
  uint32_t FolderId;
  std::string_view Folder;
  std::string_view Name;
};

// The list itself, in the order the sweep found the entries. A list can hold a
// million entries and stays with its row between runs, so it is kept compact: the
// entries' folders are stored once each, their names in large blocks of bytes, and
// each entry costs one fixed record besides its name. Entries come back as values.
class TReservation {
public:
  TReservation() = default;
  TReservation(std::initializer_list<TReservationEntry> Entries);
  TReservation(const TReservation& Other);
  TReservation& operator=(const TReservation& Other);
  // A list moved from is empty and usable.
  TReservation(TReservation&& Other);
  TReservation& operator=(TReservation&& Other);

  void push_back(const TReservationEntry& Entry);
  // An entry Name of Folder (a folder text ending in "/"), handed over as found:
  // no path is joined to be split again.
  void Append(std::string_view Folder, std::string_view Name, const TFoundEntry& Found, uint64_t Size);
  TEntryPlace Place(size_t Index) const;
  TFoundEntry Found(size_t Index) const;
  size_t size() const { return FCount; }
  bool empty() const { return FCount == 0; }
  void clear();
  TReservationEntry operator[](size_t Index) const;
  TReservationEntry front() const { return (*this)[0]; }
  bool operator==(const TReservation& Other) const;

  class const_iterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = TReservationEntry;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TReservationEntry;
    const_iterator(const TReservation* List, size_t Index) : FList(List), FIndex(Index) {}
    TReservationEntry operator*() const { return (*FList)[FIndex]; }
    const_iterator& operator++() {
      ++FIndex;
      return *this;
    }
    bool operator==(const const_iterator& Other) const { return FIndex == Other.FIndex; }

  private:
    const TReservation* FList;
    size_t FIndex;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

private:
  // 48 bytes an entry. The device is kept once per list (a row's entries nearly all
  // share one); of the two time stamps only the one that identifies the entry
  // (the birth time, or the change time where there is none); what only trash
  // entries carry (both stamps, the in-folder name, the record) lies beside.
  struct TRecord {
    uint64_t Ino;
    int64_t Stamp;
    uint64_t Size;
    TByteBlocks::TPlace Place;  // where the name and the in-folder name lie, one after the other
    uint32_t Folder;            // index into FFolders; 0 is "", for a path kept whole
    uint32_t NameLength;
    uint32_t Device;            // index into FDevices
    uint8_t Kind;
    uint8_t Shape;              // the S_IFMT bits >> 12, and the flags below
  };
  static_assert(sizeof(TRecord) == 48);
  static constexpr uint8_t StampIsChange = 0x10, HasExtra = 0x20;
  struct TExtra {
    int64_t ChangeNs = 0;
    uint32_t InFolderLength = 0;
    TFoundEntry Record;
  };
  // Records lie in chunks of ChunkRecords that never move: a list of a million
  // entries is never copied to grow, nor holds twice the room it needs. The first
  // chunk grows as a vector does, so a list of one entry costs one record.
  static constexpr size_t ChunkRecords = 4096;

  const TRecord& RecordAt(size_t Index) const { return FChunks[Index / ChunkRecords][Index % ChunkRecords]; }
  uint32_t FolderIndex(std::string_view Folder);
  uint32_t DeviceIndex(uint64_t Dev);
  void Add(uint32_t Folder, std::string_view Name, std::string_view InFolderName, const TFoundEntry& Found,
           uint64_t Size, const TFoundEntry& Record);

  // Nothing is allocated before the first entry: a pattern may have many thousand
  // rows that hold none.
  std::vector<std::string> FFolders;  // folder n is FFolders[n - 1]; folder 0 is ""
  std::vector<uint64_t> FDevices;
  TByteBlocks FBytes;
  std::vector<std::vector<TRecord>> FChunks;
  size_t FCount = 0;
  // By entry; only as long as the last entry that has one.
  std::vector<TExtra> FExtras;
};
