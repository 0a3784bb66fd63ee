#pragma once
// The user's trash, as the freedesktop.org Trash specification 1.0 lays it out, so
// that Brisko reads what the desktop's file manager and other trash tools write and
// writes what they read.
//
// A trash folder holds info/NAME.trashinfo (the record: original path, deletion
// date) and files/NAME (the stored entry). The user's trash folders are the home
// trash ($XDG_DATA_HOME/Trash) and, on every other mounted file system, the
// top-directory trashes $topdir/.Trash/$uid and $topdir/.Trash-$uid.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Removal.h"

// The content of one .trashinfo record.
struct TTrashInfo {
  std::string Path;  // the decoded Path value: bytes, absolute or relative as written;
                     // "" when missing or unusable (empty, or holding a NUL byte)
  std::optional<TDateTime> DeletionDate;  // local; none when missing or unreadable
};

// Reads a .trashinfo record leniently, as such files are written in the wild.
// Answers nothing when the first group is not "[Trash Info]": then the file is no
// record at all. The first Path and DeletionDate win.
std::optional<TTrashInfo> ParseTrashInfo(std::string_view Content);

// A DeletionDate value: "YYYY-MM-DDThh:mm:ss" in local time, also without dashes,
// with fractional seconds, and with a trailing "Z" or "+hh:mm" (converted to local).
std::optional<TDateTime> ParseTrashDate(std::string_view Text);
// The DeletionDate value that trashing writes: "YYYY-MM-DDThh:mm:ss", local time.
std::string FormatTrashDate(TDateTime Value);

// Percent-encoding of a Path value: every byte but the unreserved ones and "/".
std::string EncodeTrashPath(std::string_view Bytes);
// Percent-decoding; a "%" not followed by two hex digits stays as it is.
std::string DecodeTrashPath(std::string_view Text);

// One trashed entry as the enumeration finds it.
struct TTrashRecord {
  std::string InfoPath;      // full path of info/NAME.trashinfo
  std::string StoredPath;    // full path of files/NAME: the entry's parsing name
  std::string OriginalPath;  // decoded Path, made absolute where it was relative to a
                             // top directory; "" when the record could not be read
  std::optional<TDateTime> DeletionDate;  // none when the record could not be read
  // What was judged: the record file and the stored entry, each with its change
  // time, so that a purge can tell an entry restored and trashed again meanwhile.
  TFoundEntry Record;
  TFoundEntry Stored;
  struct statx StoredStatus {};  // the stored entry as identified: type, links, blocks
};

// The trash folders of the user, home trash first, each once (by device and inode).
// Only folders that exist are listed. Network file systems and automount points are
// not searched for top-directory trashes; the home trash is listed wherever it lies.
std::vector<std::string> UserTrashFolders();
// $XDG_DATA_HOME/Trash, or ~/.local/share/Trash.
std::string HomeTrashFolder();

// Walks the records of the user's trash folders one at a time, so that a caller can
// stop between two entries. Every regular info/NAME.trashinfo whose files/NAME
// exists is an entry, unless its content shows it is no record (first group not
// "[Trash Info]"); one that cannot be read is an entry without path and date.
// Stored entries without a record are never listed. Folders and records are opened
// with O_NOATIME where allowed: looking at the trash leaves its access times.
class TTrashEnumerator {
public:
  TTrashEnumerator();
  // Only the given trash folders (tests, benchmarks).
  explicit TTrashEnumerator(std::vector<std::string> TrashFolders);
  ~TTrashEnumerator();
  TTrashEnumerator(const TTrashEnumerator&) = delete;
  TTrashEnumerator& operator=(const TTrashEnumerator&) = delete;

  // The next record. With IdentifyStored false, its stored entry is only known to be
  // listed in files/ (Stored stays empty) until IdentifyStored is asked: a sweep
  // judges most records by their date alone.
  bool Next(TTrashRecord& Record, bool IdentifyStored = true);
  // Fills Record.Stored and Record.StoredStatus for the record Next gave last;
  // false when its stored entry is gone.
  bool IdentifyStored(TTrashRecord& Record);

private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// Moves Path into the trash of its own file system. Answers 0, or the errno that
// stopped it; the entry then stays where it was (EXDEV: no trash on its file
// system can take it).
int MoveToTrash(const std::string& Path);
// As above; Check is asked, with the opened folder of the entry and its name, before
// the trash is prepared and the record written, and again right before the entry is
// moved; a non-zero answer stops the move with that code, nothing left behind.
using TTrashCheck = std::function<int(int ParentFd, const std::string& Name)>;
int MoveToTrash(const std::string& Path, const TTrashCheck& Check);

// Moves entries of one folder into the trash of that folder's file system. The
// folder's mount and its trash are found, and the trash folders made, once, on the
// first move: a row's entries cost no look at the mount table each.
class TTrashMover {
public:
  // FolderFd: the open folder of the entries (a path handle will do); the mover keeps
  // a handle of its own, so that a batch may still move entries once the caller has
  // closed it. FolderPath: its absolute path without links, which the records name
  // as the entries' former folder.
  TTrashMover(int FolderFd, std::string FolderPath);
  ~TTrashMover();
  TTrashMover(const TTrashMover&) = delete;
  TTrashMover& operator=(const TTrashMover&) = delete;
  // As MoveToTrash, for the entry Name of the folder: a batch of one.
  int Move(const std::string& Name, const TTrashCheck& Check = {});

  struct TState;

private:
  friend class TTrashBatch;
  std::shared_ptr<TState> FState;
};

// Moves entries into the trash a batch at a time: the records of the whole batch are
// written first, then made durable together (one flush of their file system per
// batch, instead of one per entry), and only then are the entries
// moved, each right after its Check has been asked again. A crash at any moment thus
// leaves no stored entry without its complete record; it may leave records whose
// entries were never moved, which name nothing and which readers pass over.
class TTrashBatch {
public:
  TTrashBatch();
  ~TTrashBatch();  // takes back the records of entries not moved
  TTrashBatch(const TTrashBatch&) = delete;
  TTrashBatch& operator=(const TTrashBatch&) = delete;

  // Asks Check, then writes the record of the entry Name of Mover's folder. Answers
  // 0 when the entry joined the batch, else the code with which it stays where it is,
  // nothing left behind. The batch keeps Check (and what it refers to) until Clear.
  int Add(TTrashMover& Mover, const std::string& Name, const TTrashCheck& Check = {});
  size_t Size() const;
  // Makes the records of the batch durable. Answers 0, or the errno that stopped it:
  // then no entry of the batch may be moved.
  int Seal();
  // Moves the Index-th entry added, once the batch is sealed. Answers 0 or the code
  // with which the entry stays where it is; its record is then taken back.
  int Move(size_t Index);
  // Takes back the records of the entries not moved, and empties the batch.
  void Clear();

private:
  struct TStaged;
  std::vector<TStaged> FStaged;
  bool FSealed = false;
  size_t FMoved = 0;
};

// The steps of a batch after which a test may end the process, as a crash would.
enum class TTrashStep { RecordsWritten, RecordsSealed, EntryMoved };
// Called after each step with the count of entries moved so far; nullptr: none.
using TTrashFault = void (*)(TTrashStep Step, size_t Moved);
void SetTrashFaultForTesting(TTrashFault Fault);

// Purges a trashed entry for good, given its parsing name (.../files/NAME): the
// stored entry first (folders that the user owns are made writable so that they can
// be emptied), then its record, then its directorysizes line. A path that is not the
// stored entry of an existing record answers ENOENT, one in a folder that is not one
// of the user's trash folders (UserTrashFolders) EPERM; both remove nothing. Answers 0
// or the errno that stopped it; when the stored entry cannot be removed completely,
// its record stays.
int PurgeTrashEntry(const std::string& StoredPath);

// Purges several entries, keeping the last trash folder open between them: one
// purger serves one pass over a list of entries.
class TTrashPurger {
public:
  TTrashPurger();
  ~TTrashPurger();
  TTrashPurger(const TTrashPurger&) = delete;
  TTrashPurger& operator=(const TTrashPurger&) = delete;
  int Purge(const std::string& StoredPath);
  // As above, but only while the stored entry and its record are still what the
  // enumeration saw (TTrashRecord's Stored and Record; an identity without inode is
  // not compared): ESTALE otherwise, nothing touched.
  int Purge(const std::string& StoredPath, const TFoundEntry& Stored, const TFoundEntry& Record);

private:
  struct TState;
  std::unique_ptr<TState> FState;
};
