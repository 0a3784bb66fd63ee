#pragma once
// Names of shell items: the trash location text and the two names of a trash entry.
#include <string>

#include "platform/DateTime.h"

constexpr int CSIDL_BITBUCKET = 10;

// The location text of a special folder; for CSIDL_BITBUCKET "trash:///", the same
// text every time, naming no folder. Other folders have no text here and answer "".
std::string GetSpecialFolderName(int Csidl);

// One entry of a trash (freedesktop.org layout): the record info/NAME.trashinfo and
// the stored file files/NAME. The trash enumeration fills it; paths are bytes as
// the file system gives them.
struct TTrashEntry {
  std::string InfoPath;      // full path of info/NAME.trashinfo
  std::string FilesPath;     // full path of files/NAME, the stored file or folder
  std::string OriginalPath;  // the record's Path, percent-decoded to bytes; "" when unreadable
  bool HasDeletionDate = false;
  TDateTime DeletionDate;    // local time; meaningful only with HasDeletionDate
};

// The parsing name of a trash entry: the full path of its stored file, by which the
// entry is removed for good.
std::string GetParsingName(const TTrashEntry& Entry);
// The in-folder name of a trash entry: the name it had before it was trashed, the last
// component of its original path. A record without a readable path falls back to the
// stored file's name, which is the original name unless the trash had to rename it.
std::string GetInFolderName(const TTrashEntry& Entry);
