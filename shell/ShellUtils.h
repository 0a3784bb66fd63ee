#pragma once
// File-name and link helpers of the shortcut routines.
#include <string>

// Whether FileName names a shortcut file by its extension: the text from its last "."
// on is ".lnk" in any letter case, with no "\", "/" or ":" after that ".".
bool IsShortcutFileName(const std::string& FileName);

// True when Path is a symbolic link itself (not followed); Target is then what it
// points to, made absolute against the link's folder: a relative target is joined to
// the folder as the kernel would, without folding "..". Bytes are kept as they are.
// Target is "" for a link that cannot be read (it vanished meanwhile).
bool ReadSymbolicLinkTarget(const std::string& Path, std::string& Target);
// The same for the entry Name of the open folder FolderFd, whose path is Folder (the
// folder a relative target is joined to).
bool ReadSymbolicLinkTargetAt(int FolderFd, const std::string& Folder, const std::string& Name, std::string& Target);

// Whether Path can name something on this system: an absolute path ("/..."). Paths
// recorded by Windows ("E:\docs", "\\server\share") cannot.
bool IsPathOfThisSystem(const std::string& Path);

// Whether Path names an existing file or folder, links followed. False only when the
// file system answers that there is no such entry (ENOENT, ENOTDIR): a path that
// cannot be looked at (access denied, an I/O error) may well exist, and a shortcut
// to it is not dead. False for any path that is not of this system, so that "E:\x"
// never matches a file so named in the current folder.
bool PathExists(const std::string& Path);
