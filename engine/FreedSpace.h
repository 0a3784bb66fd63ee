#pragma once
// The space a removal gives back to its file system, as the run's summary counts it:
// what the file system allocated (st_blocks), not the sizes the entries claim.
//   - a non-folder frees its blocks only when its last link goes with it: a file
//     that keeps another name frees nothing;
//   - a folder removed whole frees itself and everything in it, on its own file
//     system (a removal never crosses into another one), links never followed;
//   - a trashed entry purged frees its stored entry, a folder counted whole; the
//     trash folder's "directorysizes" cache serves where it is still valid.
// A hard-linked file whose every name goes in the same count frees its blocks once,
// with its last name. The figures are read while the entries are listed, so they
// forecast the removal; an entry that cannot be read counts nothing.
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

class TFreedSpace {
public:
  TFreedSpace();
  ~TFreedSpace();
  TFreedSpace(const TFreedSpace&) = delete;
  TFreedSpace& operator=(const TFreedSpace&) = delete;

  // The space the entry Name of DirFd frees, Info being its statx (with at least
  // STATX_TYPE, STATX_NLINK, STATX_INO and STATX_BLOCKS); Whole: a folder goes with
  // its content, else the folder counts alone (it goes only when empty).
  uint64_t OfEntry(int DirFd, const char* Name, const struct statx& Info, bool Whole);
  // The space a trash entry's purge frees, given its stored entry's path (files/NAME).
  // Stored: its statx as the sweep took it (type, links, blocks), when there is one:
  // a stored file is then counted without being looked at again.
  uint64_t OfTrashEntry(const std::string& StoredPath, const struct statx* Stored = nullptr);

private:
  uint64_t OfLinks(uint64_t Dev, uint64_t Ino, uint64_t Links, uint64_t Blocks);
  uint64_t OfFolderContent(int FolderFd, uint64_t Dev);
  uint64_t FromDirectorySizes(const std::string& TrashFolder, const std::string& Name);

  // Names seen so far of each file with several links.
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> FLinksSeen;
  // Per trash folder, its "directorysizes" lines: name -> (size, record's mtime).
  std::unordered_map<std::string, std::unordered_map<std::string, std::pair<uint64_t, int64_t>>> FDirectorySizes;
};
