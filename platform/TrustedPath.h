#pragma once
// Walking a path by a stricter rule than the kernel's protected symlinks, and whatever
// the machine's setting: a symbolic link on the way, in any folder, is followed only
// when it belongs to the running user or to root. Another user who can write a folder
// on the path could otherwise point it anywhere, and a run as root would follow.
#include <string>

#include "platform/FileHandle.h"

// A path walked to its end: the folder that holds its last name, opened as a path
// handle, and that name. The last name is followed too when it is a trusted link, so
// Name never names a link at the time of the walk; it may name nothing. For "/" the
// folder is the root and Name is empty.
struct TResolvedPath {
  TFd Folder;
  std::string Name;
  std::string Path;           // the same place as an absolute path without links
  std::string UntrustedLink;  // on EPERM: the link that was not followed
};

// 0, or the errno of the step that failed: EPERM for a link of another user (named
// in Out.UntrustedLink), ELOOP after 40 links, ENOENT or ENOTDIR for a missing
// folder on the way, EINVAL for a path holding a NUL byte (no name holds one). A
// relative Path is taken from the current folder.
int ResolveTrustedPath(const std::string& Path, TResolvedPath& Out);

// Opens what Path names, after ResolveTrustedPath, with Flags and O_NOFOLLOW (the
// root folder with Flags alone). 0 or the errno; Out.Path is the resolved path.
// With O_NOATIME in Flags, an EPERM (not the owner) opens again without it.
int OpenTrustedPath(const std::string& Path, int Flags, TFd& Fd, TResolvedPath& Out);
