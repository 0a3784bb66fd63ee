#pragma once
// The user's trash, as the freedesktop.org Trash specification 1.0 lays it out, so
// that Brisko reads what the desktop's file manager and other trash tools write and
// writes what they read.
//
// A trash folder holds info/NAME.trashinfo (the record: original path, deletion
// date) and files/NAME (the stored entry). The user's trash folders are the home
// trash ($XDG_DATA_HOME/Trash) and, on every other mounted file system, the
// top-directory trashes $topdir/.Trash/$uid and $topdir/.Trash-$uid.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

// The content of one .trashinfo record.
struct TTrashInfo {
  std::string Path;  // the decoded Path value: bytes, absolute or relative as written
  std::optional<TDateTime> DeletionDate;  // local; none when missing or unreadable
};

// Reads a .trashinfo record leniently, as such files are written in the wild.
// Answers nothing when the first group is not "[Trash Info]" or no usable Path is
// there (then the record names no entry). The first Path and DeletionDate win.
std::optional<TTrashInfo> ParseTrashInfo(std::string_view Content);

// A DeletionDate value: "YYYY-MM-DDThh:mm:ss" in local time, also without dashes,
// with fractional seconds, and with a trailing "Z" or "+hh:mm" (converted to local).
std::optional<TDateTime> ParseTrashDate(std::string_view Text);

// Percent-encoding of a Path value: every byte but the unreserved ones and "/".
std::string EncodeTrashPath(std::string_view Bytes);
// Percent-decoding; a "%" not followed by two hex digits stays as it is.
std::string DecodeTrashPath(std::string_view Text);

// One trashed entry as the enumeration finds it.
struct TTrashRecord {
  std::string StoredPath;    // full path of files/NAME: the entry's parsing name
  std::string InFolderName;  // last component of the original path
  std::string OriginalPath;  // absolute when it could be made so
  std::optional<TDateTime> DeletionDate;
};

// The trash folders of the user, home trash first, each once (by device and inode).
// Only folders that exist are listed.
std::vector<std::string> UserTrashFolders();
// $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::string HomeTrashFolder();

// Walks the records of the user's trash folders one at a time, so that a caller can
// stop between two entries. Records whose stored entry is missing are skipped.
class TTrashEnumerator {
public:
  TTrashEnumerator();
  // Only the given trash folders (tests, benchmarks).
  explicit TTrashEnumerator(std::vector<std::string> TrashFolders);
  ~TTrashEnumerator();
  TTrashEnumerator(const TTrashEnumerator&) = delete;
  TTrashEnumerator& operator=(const TTrashEnumerator&) = delete;

  bool Next(TTrashRecord& Record);

private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// Moves Path into the trash of its own file system. Answers 0, or the errno that
// stopped it; the entry then stays where it was (EXDEV: no trash on its file
// system can take it).
int MoveToTrash(const std::string& Path);

// Purges a trashed entry for good, given its parsing name (.../files/NAME): the
// stored entry first, then its record, and the directorysizes line. A path that is
// not the stored entry of an existing record answers ENOENT and removes nothing.
int PurgeTrashEntry(const std::string& StoredPath);
