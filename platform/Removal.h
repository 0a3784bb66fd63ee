#pragma once
// Removing entries from the file system, for good or into the trash.
//
// Safety rules kept by every function here: a symbolic link is removed as a link and
// never followed; a folder is emptied depth first without leaving the file system
// (mount) that holds the folder itself; names are bytes and are passed back to the
// kernel unchanged.
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

// Removes Path: for good, or with FOF_ALLOWUNDO into the trash of its own file system.
// Answers 0 on success, otherwise the errno of the first step that failed (ENOENT,
// EACCES, EBUSY, EXDEV, ENOTEMPTY, ...). An empty path answers ENOENT; a path that
// names the root folder answers EBUSY and one that ends in "." or ".." EINVAL, and
// nothing is touched.
//
// A folder is removed as far as it can be: what cannot be removed stays, and the
// first failure's code is answered. A folder inside it on which another file system
// (or a bind mount) is mounted is left alone and reported as EBUSY. Each level of
// nesting holds one open folder handle, so a tree deeper than the process's handle
// limit stops at that depth with EMFILE and keeps the rest.
int RemoveFile(const std::string& Path, unsigned Flags);

// Splits Path into its folder ("." for a bare name) and last name, after dropping
// trailing slashes (a trailing slash would make the kernel follow a link named by
// the last component). False with Error EBUSY for the root folder and EINVAL for a
// last name "." or "..".
bool SplitEntryPath(const std::string& Path, std::string& Folder, std::string& Name, int& Error);

// Removes the entry Name of the folder ParentFd for good, as RemoveFile does. With
// MakeOwnedFoldersWritable, folders owned by the caller that lack the owner's
// read, write or search right get them first, so that they can be emptied (the
// trash keeps read-only folders as they were).
int RemoveEntryForGood(int ParentFd, const std::string& Name, bool MakeOwnedFoldersWritable);
