#pragma once
// Removing entries from the file system, for good or into the trash.
//
// Safety rules kept by every function here: a symbolic link is removed as a link and
// never followed; a folder is emptied depth first without leaving the file system
// (mount) that holds the folder itself; names are bytes and are passed back to the
// kernel unchanged.
#include <sys/stat.h>

#include <cstdint>
#include <stop_token>
#include <string>

// The flags of a removal request. Only FOF_ALLOWUNDO changes what happens; the other
// three are kept because callers pass the same values everywhere (0x0414 for good,
// 0x0454 into the trash).
constexpr unsigned FOF_SILENT = 0x0004;
constexpr unsigned FOF_NOCONFIRMATION = 0x0010;
constexpr unsigned FOF_ALLOWUNDO = 0x0040;
constexpr unsigned FOF_NOERRORUI = 0x0400;
constexpr unsigned FOF_FOR_GOOD = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;  // 0x0414
constexpr unsigned FOF_TO_TRASH = FOF_FOR_GOOD | FOF_ALLOWUNDO;                    // 0x0454

// Removes the entry Name of the folder ParentFd for good. A folder is removed as far
// as it can be: what cannot be removed stays, and the first failure's code is
// answered. A folder inside it on which another file system (or a bind mount) is
// mounted is left alone and reported as EBUSY. Each level of nesting holds one open
// folder handle, so a tree deeper than the process's handle limit stops at that
// depth with EMFILE and keeps the rest. With
// MakeOwnedFoldersWritable, folders owned by the caller that lack the owner's
// read, write or search right get them first, so that they can be emptied (the
// trash keeps read-only folders as they were).
int RemoveEntryForGood(int ParentFd, const std::string& Name, bool MakeOwnedFoldersWritable);

// What was seen of an entry when it was found due, and so how far its removal may go
// once it is removed later, by name.
enum TEntryKind : uint8_t {
  ekNonFolder = 0,    // a file, link or other non-folder: removed itself, never as a tree
  ekFolder = 1,       // a folder due whole: removed with everything it holds
  ekEmptyFolder = 2,  // a folder due only while empty: removed only as an empty folder
};

// Its identity is its device and inode, and, since a file system hands a freed inode
// number to the next new entry at once, its type and its birth time too. Where the
// file system keeps no birth time (ext4 with small inodes, ext2/3, many NFS servers),
// the change time stands in for it: a new file that got the old inode back was
// changed after the entry was judged.
struct TFoundEntry {
  TEntryKind Kind = ekNonFolder;
  uint16_t Type = 0;     // the S_IFMT bits of its mode; 0: not compared
  uint64_t Dev = 0;
  uint64_t Ino = 0;      // 0: identity not recorded, so not compared
  int64_t BirthNs = 0;   // birth time in ns; 0 where the file system keeps none
  int64_t ChangeNs = 0;  // change time in ns; 0: not compared
  bool operator==(const TFoundEntry&) const = default;
};

// The identity of an entry from its statx (taken with STATX_TYPE, STATX_INO,
// STATX_BTIME and STATX_CTIME), with the given kind. The change time is kept where
// there is no birth time, or always with KeepChangeTime (an entry that must not have
// been touched at all since it was judged, as a trashed one).
TFoundEntry FoundEntryOf(const struct statx& Info, TEntryKind Kind, bool KeepChangeTime = false);

// 0 when the entry Name of ParentFd is still the entry Found describes and may go as
// its kind allows; otherwise, with nothing touched:
//   EISDIR     a folder now stands where a non-folder was found;
//   ESTALE     another entry now bears the name (its device or inode differ), or
//              the entry was changed since (its change time, where it is kept);
//   ENOTEMPTY  a folder found empty holds something now;
//   or the errno of the look-up (ENOENT: the entry is gone).
int CheckFoundEntry(int ParentFd, const std::string& Name, const TFoundEntry& Found);

// What the removal of a folder due whole is told and tells back besides its code.
struct TTreeRemoval {
  // Once a stop is requested, the walk ends before its next entry: what went is
  // gone, the rest stays, and the answer is ECANCELED (unless a failure came first).
  std::stop_token Stop;
  // Measure what the walk frees (a statx of each non-folder before it is unlinked):
  // the allocated blocks (st_blocks x 512) of each non-folder that had one link
  // left when it went, and of each folder removed. A file with another name
  // elsewhere frees nothing; one whose other names went before frees with its last.
  bool CountFreed = false;
  uint64_t Freed = 0;  // out, also when the removal failed part-way
};

// Removes the entry Name of ParentFd for good, as far as Found allows: after the
// checks of CheckFoundEntry, a non-folder is unlinked (a folder put in its place
// meanwhile answers EISDIR and stays), a folder found empty is removed only while
// empty (ENOTEMPTY otherwise, its content stays), a folder due whole is removed as
// RemoveEntryForGood does, its identity checked on the opened folder itself, and
// with Tree its walk heeds a stop and measures what it frees (only a folder due
// whole uses Tree). MakeOwnedFoldersWritable as for RemoveEntryForGood.
int RemoveFoundEntryForGood(int ParentFd, const std::string& Name, const TFoundEntry& Found,
                            bool MakeOwnedFoldersWritable = false, TTreeRemoval* Tree = nullptr);

// As RemoveFoundEntryForGood, for a non-folder whose status was already taken (Looked,
// with STATX_TYPE, STATX_MODE, STATX_INO, STATX_BTIME and STATX_CTIME) a moment before,
// relative to a handle of the same folder: the checks are made on it and the entry
// unlinked, without a look of its own.
int RemoveLookedEntryForGood(int ParentFd, const std::string& Name, const TFoundEntry& Found,
                             const struct statx& Looked);
