#pragma once
// The collect step of a folder item: which entries directly inside the target folder
// are due. One level only; nothing is removed here.
#include <cstdint>
#include <functional>
#include <stop_token>

#include "engine/DeletionItem.h"
#include "engine/RemoveHost.h"
#include "platform/FileHandle.h"

// The Location folder a sweep listed, by device and inode (both 0: none was listed).
struct TSweptFolder {
  uint64_t Dev = 0;
  uint64_t Ino = 0;
  bool operator==(const TSweptFolder&) const = default;
};

// Called with the listed folder and an entry's name right after the listing gave it
// and before the entry is examined (tests use it to change the entry in between).
using TListedHook = std::function<void(int FolderFd, const char* Name)>;

// Appends the full path of every due entry of Settings.FLocation to List, with what
// it was (kind, identity: see TReservationEntry), in the order the file system lists
// them, and answers the folder it listed. The Location is opened once, its links
// followed only when they belong to the running user or root (TrustedPath.h). A folder
// that does not exist or cannot be listed adds nothing. A Location that is not
// absolute, a Windows path, the root folder (also once resolved), or one reached
// through another user's link raises EBriskoError, nothing listed. The stop request is
// tested before each entry. A malformed mask raises EBriskoError (with what was found
// so far left in List).
TSweptFolder SweepFolder(const TRunSettings& Settings, TReservation& List, const std::stop_token& Stop,
                         const TListedHook& Listed = {});

// Opens Folder for the remove pass as the sweep did, as a path handle; ESTALE when it
// is no longer the folder Swept describes, else 0 or the errno of the opening. A list
// that no sweep of this run made (Swept all 0) is not compared, as an entry without
// a recorded inode is not.
int OpenSweptFolder(const std::string& Folder, const TSweptFolder& Swept, TFd& Fd);
// The same, also giving the folder's absolute path without links.
int OpenSweptFolder(const std::string& Folder, const TSweptFolder& Swept, TFd& Fd, std::string& ResolvedPath);
// 0 when Fd is the folder Swept describes (or Swept is all 0), else ESTALE.
int CheckSweptFolder(int Fd, const TSweptFolder& Swept);
