#include "platform/Removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/Paths.h"

namespace {

// Identifies the mount a folder belongs to. The device alone does not tell a bind
// mount of the same file system apart, so the mount id is compared as well when the
// kernel gives it.
struct TMountKey {
  dev_t Dev = 0;
  uint64_t MntId = 0;
  bool HasMntId = false;
  bool operator==(const TMountKey&) const = default;
};

// Fd may be AT_FDCWD (the current folder) or a handle opened with O_PATH.
bool ReadMountKey(int Fd, TMountKey& Key, struct statx& Info) {
  const unsigned mask =
      STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_BTIME | STATX_CTIME | STATX_MNT_ID | STATX_BLOCKS;
  if (statx(Fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, mask, &Info) != 0)
    return false;
  Key.Dev = makedev(Info.stx_dev_major, Info.stx_dev_minor);
  Key.HasMntId = (Info.stx_mask & STATX_MNT_ID) != 0;
  Key.MntId = Key.HasMntId ? Info.stx_mnt_id : 0;
  return true;
}

bool IsDirectoryOpenFailureForNonFolder(int Error) { return Error == ENOTDIR || Error == ELOOP; }

uint64_t AllocatedBytes(const struct statx& Info) { return (Info.stx_mask & STATX_BLOCKS) ? Info.stx_blocks * 512 : 0; }

// 0, or why the entry seen now is not the one Found describes (EISDIR, ESTALE).
int MatchFoundEntry(const struct statx& Info, const TFoundEntry& Found);

// Folders deeper than this are emptied with their parents' listings closed and opened
// again afterwards, so that a deep tree neither runs the process (and its other
// threads) out of descriptors nor holds a listing buffer per level.
constexpr size_t MaxOpenListings = 64;

// One folder on the way down from the top of the removal.
struct TLevel {
  std::string Name;  // in its parent folder, as bytes
  dev_t Dev = 0;
  ino_t Ino = 0;
  uint64_t Allocated = 0;  // what removing the folder itself frees
  DIR* Dir = nullptr;  // null while closed to spare a descriptor
  // Entries that stayed, skipped when a closed listing is read again from the start
  // (kept only for folders whose listing may be closed).
  std::unordered_set<std::string> Kept;
  bool Failed = false;    // something in it stayed, so it cannot be removed
  bool Relisted = false;  // listed a second time after it would not go
};

class TTreeRemover {
public:
  explicit TTreeRemover(bool MakeOwnedFoldersWritable, TTreeRemoval* Tree = nullptr)
      : FMakeWritable(MakeOwnedFoldersWritable), FTree(Tree), FCount(Tree && Tree->CountFreed) {}

  // Removes Name of ParentFd, the top of the removal: its own mount is the one that
  // the removal must not leave. With Found, the folder is removed only when it is the
  // one found (checked on the opened folder, so it cannot be swapped afterwards).
  int RemoveTop(int ParentFd, const char* Name, const TFoundEntry* Found = nullptr) {
    // Files and links go at once; only a folder answers EISDIR.
    if (!Found) {
      if (unlinkat(ParentFd, Name, 0) == 0) return 0;
      if (errno != EISDIR) return errno;
    }
    TFd fd(OpenFolder(ParentFd, Name));
    if (!fd.Valid()) {
      if (!IsDirectoryOpenFailureForNonFolder(errno)) return errno;
      if (Found && Found->Ino != 0) return ESTALE;
      // Not a folder (or a link to anything): remove the entry itself.
      return UnlinkNonFolder(ParentFd, Name);
    }
    struct statx info;
    if (!ReadMountKey(fd.Get(), FTop, info)) return errno;
    if (Found && MatchFoundEntry(info, WithoutOwnChange(*Found)) != 0) return ESTALE;
    // A folder that is itself a mount point (a medium, a bind mount of some other
    // folder) is not the folder's own content: emptying it would reach into the
    // mounted file system.
    TMountKey parentKey;
    struct statx parentInfo;
    if (!ReadMountKey(ParentFd, parentKey, parentInfo)) return errno;
    if (!(parentKey == FTop)) return EBUSY;
    MakeWritableIfOwned(fd.Get(), info);
    RemoveTree(ParentFd, Name, std::move(fd), info);
    return FFirstError;
  }

private:
  using TLevels = std::vector<TLevel>;

  bool FMakeWritable;
  TTreeRemoval* FTree;
  bool FCount;
  bool FGranted = false;  // rights were given to the top folder to open it
  TMountKey FTop;

  // Rights given to open the folder moved its change time: the identity checked
  // right before then stands on the rest.
  TFoundEntry WithoutOwnChange(TFoundEntry Found) const {
    if (FGranted) Found.ChangeNs = 0;
    return Found;
  }
  int FFirstError = 0;

  // An entry that vanished meanwhile is gone, which is what was asked for.
  void Note(int Error) {
    if (FFirstError == 0 && Error != ENOENT) FFirstError = Error;
  }

  // The walk ends early for Error: what is left stays, so the outcome is a failure
  // even when the cause is a folder that vanished.
  void NoteStop(int Error) { Note(Error == ENOENT ? ENOTEMPTY : Error); }

  // The entry Name of Levels[Index] stayed for Error.
  void Keep(TLevels& Levels, size_t Index, const std::string& Name, int Error) {
    Note(Error);
    if (Error == ENOENT) return;
    Levels[Index].Failed = true;
    if (Index >= MaxOpenListings) Levels[Index].Kept.insert(Name);
  }

  bool StopRequested() const { return FTree && FTree->Stop.stop_requested(); }

  // Unlinks the non-folder Name of ParentFd; 0 or the errno. When counting, a file
  // frees its blocks only when this was its last link.
  int UnlinkNonFolder(int ParentFd, const char* Name) {
    struct statx info;
    const bool measured =
        FCount && statx(ParentFd, Name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_NLINK | STATX_BLOCKS, &info) == 0;
    if (unlinkat(ParentFd, Name, 0) != 0) return errno;
    if (measured && (info.stx_mask & STATX_NLINK) && info.stx_nlink == 1) FTree->Freed += AllocatedBytes(info);
    return 0;
  }

  void CountFolder(uint64_t Allocated) {
    if (FCount) FTree->Freed += Allocated;
  }

  int OpenFolder(int ParentFd, const char* Name) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(ParentFd, Name, flags);
    if (fd < 0 && errno == EACCES && FMakeWritable && GrantOwnerRightsByName(ParentFd, Name)) {
      FGranted = true;
      fd = openat(ParentFd, Name, flags);
    }
    return fd;
  }

  // A folder that its owner cannot read cannot be opened to be emptied: give the
  // owner its rights through a handle that cannot follow a link.
  bool GrantOwnerRightsByName(int ParentFd, const char* Name) {
    const int pathFd = openat(ParentFd, Name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (pathFd < 0) return false;
    struct stat st;
    bool granted = false;
    if (fstat(pathFd, &st) == 0 && st.st_uid == geteuid()) {
      const std::string procPath = "/proc/self/fd/" + std::to_string(pathFd);
      granted = chmod(procPath.c_str(), (st.st_mode & 07777) | S_IRWXU) == 0;
    }
    close(pathFd);
    errno = EACCES;
    return granted;
  }

  void MakeWritableIfOwned(int Fd, const struct statx& Info) {
    if (!FMakeWritable || Info.stx_uid != geteuid()) return;
    if ((Info.stx_mode & S_IRWXU) != S_IRWXU) fchmod(Fd, (Info.stx_mode & 07777) | S_IRWXU);
  }

  // Empties the folder Fd depth first, without recursion, and removes it as Name of
  // TopParentFd, as far as it can.
  void RemoveTree(int TopParentFd, const char* Name, TFd Fd, const struct statx& Info) {
    TLevels levels;
    if (const int error = PushLevel(levels, Name, std::move(Fd), Info)) {
      Note(error);
      if (unlinkat(TopParentFd, Name, AT_REMOVEDIR) != 0)
        Note(errno);
      else
        CountFolder(AllocatedBytes(Info));
      return;
    }
    while (!levels.empty()) {
      if (StopRequested()) {
        Note(ECANCELED);
        break;
      }
      std::string entryName;
      unsigned char entryType = DT_UNKNOWN;
      if (NextEntry(levels, entryName, entryType))
        RemoveEntry(levels, entryName, entryType);
      else if (!FinishLevel(levels, TopParentFd))
        break;
    }
    for (TLevel& level : levels)
      if (level.Dir) closedir(level.Dir);
  }

  // Starts listing the folder Fd; answers the errno on failure.
  int PushLevel(TLevels& Levels, const std::string& Name, TFd Fd, const struct statx& Info) {
    DIR* dir = fdopendir(Fd.Get());
    if (!dir) return errno;
    Fd.Release();
    TLevel& level = Levels.emplace_back();
    level.Name = Name;
    level.Dev = makedev(Info.stx_dev_major, Info.stx_dev_minor);
    level.Ino = Info.stx_ino;
    level.Allocated = AllocatedBytes(Info);
    level.Dir = dir;
    return 0;
  }

  // The next entry of the deepest folder still to be handled; false at its end. The
  // name is copied, as the listing may be closed before the entry is dealt with.
  bool NextEntry(TLevels& Levels, std::string& Name, unsigned char& Type) {
    const size_t index = Levels.size() - 1;
    TLevel& level = Levels[index];
    while (true) {
      errno = 0;
      const dirent* entry = readdir(level.Dir);
      if (!entry) {
        if (errno != 0) Keep(Levels, index, "", errno);
        return false;
      }
      if (IsDotOrDotDot(entry->d_name)) continue;
      Name = entry->d_name;
      if (level.Kept.count(Name)) continue;
      Type = entry->d_type;
      return true;
    }
  }

  // Removes the entry Name of the deepest folder; a folder is only opened and
  // entered, to be emptied and removed by the walk.
  void RemoveEntry(TLevels& Levels, const std::string& Name, unsigned char Type) {
    const size_t index = Levels.size() - 1;
    const int parentFd = dirfd(Levels[index].Dir);
    if (Type != DT_DIR && Type != DT_UNKNOWN) {
      const int error = UnlinkNonFolder(parentFd, Name.c_str());
      if (error == 0) return;
      // Replaced by a folder since the listing: handle it as one.
      if (error != EISDIR) return Keep(Levels, index, Name, error);
    }
    TFd fd(OpenFolder(parentFd, Name.c_str()));
    if (!fd.Valid()) {
      if (!IsDirectoryOpenFailureForNonFolder(errno)) return Keep(Levels, index, Name, errno);
      if (const int error = UnlinkNonFolder(parentFd, Name.c_str())) Keep(Levels, index, Name, error);
      return;
    }
    TMountKey key;
    struct statx info;
    if (!ReadMountKey(fd.Get(), key, info)) return Keep(Levels, index, Name, errno);
    // Another file system (or a bind mount) is mounted here: it stays untouched.
    if (!(key == FTop)) return Keep(Levels, index, Name, EBUSY);
    MakeWritableIfOwned(fd.Get(), info);
    if (const int error = PushLevel(Levels, Name, std::move(fd), info)) return Keep(Levels, index, Name, error);
    if (index >= MaxOpenListings) CloseListing(Levels[index]);
  }

  static void CloseListing(TLevel& Level) {
    closedir(Level.Dir);
    Level.Dir = nullptr;
  }

  // The deepest folder has been listed to its end: removes it from its parent (whose
  // listing is opened again when it was closed). False when the walk cannot go on.
  bool FinishLevel(TLevels& Levels, int TopParentFd) {
    const size_t index = Levels.size() - 1;
    if (index > 0 && !Levels[index - 1].Dir && !ReopenParent(Levels, index)) return false;
    TLevel& level = Levels[index];
    const int parentFd = index > 0 ? dirfd(Levels[index - 1].Dir) : TopParentFd;
    if (unlinkat(parentFd, level.Name.c_str(), AT_REMOVEDIR) != 0) {
      const int error = errno;
      if (error == ENOTEMPTY && !level.Failed && !level.Relisted) {
        // Every entry went, yet the folder is not empty: some file systems (NFS) skip
        // names when entries are removed while the folder is being listed. One more
        // pass catches them.
        level.Relisted = true;
        rewinddir(level.Dir);
        if (index > 0 && index - 1 >= MaxOpenListings) CloseListing(Levels[index - 1]);
        return true;
      }
      if (index > 0)
        Keep(Levels, index - 1, level.Name, error);
      else
        Note(error);
    } else {
      CountFolder(level.Allocated);
    }
    closedir(level.Dir);
    Levels.pop_back();
    return true;
  }

  // Opens the closed listing of the parent of Levels[Index] through "..", which
  // never leaves the file system and never follows a link, and checks that it is
  // still the folder that was entered (it may have been moved meanwhile).
  bool ReopenParent(TLevels& Levels, size_t Index) {
    TLevel& parent = Levels[Index - 1];
    TFd fd(openat(dirfd(Levels[Index].Dir), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
      NoteStop(errno);
      return false;
    }
    struct stat st;
    DIR* dir = nullptr;
    if (fstat(fd.Get(), &st) == 0 && st.st_dev == parent.Dev && st.st_ino == parent.Ino) dir = fdopendir(fd.Get());
    if (!dir) {
      // Moved elsewhere: what is left of the tree stays, reported as not emptied.
      NoteStop(ENOTEMPTY);
      return false;
    }
    fd.Release();
    parent.Dir = dir;
    return true;
  }
};

constexpr unsigned IdentityFields = STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME;

int64_t Nanoseconds(const statx_timestamp& Time) { return Time.tv_sec * int64_t{1000000000} + Time.tv_nsec; }

int64_t BirthNsOf(const struct statx& Info) { return Info.stx_mask & STATX_BTIME ? Nanoseconds(Info.stx_btime) : 0; }

int64_t ChangeNsOf(const struct statx& Info) { return Info.stx_mask & STATX_CTIME ? Nanoseconds(Info.stx_ctime) : 0; }

// The checks that need only the entry's own status.
int MatchFoundEntry(const struct statx& Info, const TFoundEntry& Found) {
  if (Found.Kind == ekNonFolder && S_ISDIR(Info.stx_mode)) return EISDIR;
  if (Found.Ino == 0) return 0;
  const TFoundEntry now = FoundEntryOf(Info, Found.Kind);
  if (now.Dev != Found.Dev || now.Ino != Found.Ino) return ESTALE;
  if (Found.Type != 0 && now.Type != Found.Type) return ESTALE;
  if (Found.BirthNs != 0 && now.BirthNs != 0 && now.BirthNs != Found.BirthNs) return ESTALE;
  if (Found.ChangeNs != 0 && ChangeNsOf(Info) != Found.ChangeNs) return ESTALE;
  return 0;
}

// The status of the entry Name of ParentFd itself (a link is not followed).
int StatEntry(int ParentFd, const char* Name, struct statx& Info) {
  return statx(ParentFd, Name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, IdentityFields, &Info) == 0 ? 0 : errno;
}

// ENOTEMPTY unless the folder Name of ParentFd (the one Found describes) is empty.
int CheckStillEmpty(int ParentFd, const std::string& Name, const TFoundEntry& Found) {
  // A folder that stays keeps its access time, which a later row may judge.
  TFd fd(OpenLeavingAccessTime(ParentFd, Name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
  if (!fd.Valid()) return IsDirectoryOpenFailureForNonFolder(errno) ? ESTALE : errno;
  struct statx info;
  if (statx(fd.Get(), "", AT_EMPTY_PATH, IdentityFields, &info) != 0) return errno;
  if (const int error = MatchFoundEntry(info, Found)) return error;
  DIR* dir = fdopendir(fd.Get());
  if (!dir) return errno;
  fd.Release();
  int result = 0;
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    if (!IsDotOrDotDot(e->d_name)) {
      result = ENOTEMPTY;
      break;
    }
  }
  if (result == 0 && errno != 0) result = errno;
  closedir(dir);
  return result;
}

bool IsValidEntryName(const std::string& Name, int& Error) {
  if (Name.empty()) Error = ENOENT;
  else if (Name == "." || Name == ".." || Name.find('/') != std::string::npos) Error = EINVAL;
  else return true;
  return false;
}

}  // namespace

TFoundEntry FoundEntryOf(const struct statx& Info, TEntryKind Kind, bool KeepChangeTime) {
  TFoundEntry found;
  found.Kind = Kind;
  if (Info.stx_mask & STATX_TYPE) found.Type = static_cast<uint16_t>(Info.stx_mode & S_IFMT);
  found.Dev = makedev(Info.stx_dev_major, Info.stx_dev_minor);
  if (Info.stx_mask & STATX_INO) found.Ino = Info.stx_ino;
  found.BirthNs = BirthNsOf(Info);
  if (KeepChangeTime || found.BirthNs == 0) found.ChangeNs = ChangeNsOf(Info);
  return found;
}

namespace {

// The status of the entry Name of ParentFd, when it is still what Found describes.
int StatFoundEntry(int ParentFd, const std::string& Name, const TFoundEntry& Found, struct statx& Info) {
  int error = 0;
  if (!IsValidEntryName(Name, error)) return error;
  if ((error = StatEntry(ParentFd, Name.c_str(), Info))) return error;
  return MatchFoundEntry(Info, Found);
}

}  // namespace

int CheckFoundEntry(int ParentFd, const std::string& Name, const TFoundEntry& Found) {
  struct statx info;
  if (int error = StatFoundEntry(ParentFd, Name, Found, info)) return error;
  if (Found.Kind == ekEmptyFolder && S_ISDIR(info.stx_mode)) return CheckStillEmpty(ParentFd, Name, Found);
  return 0;
}

int RemoveFoundEntryForGood(int ParentFd, const std::string& Name, const TFoundEntry& Found,
                            bool MakeOwnedFoldersWritable, TTreeRemoval* Tree) {
  struct statx info;
  if (int error = StatFoundEntry(ParentFd, Name, Found, info)) return error;
  // Unlinking never takes a folder: one put here meanwhile answers EISDIR and stays.
  if (!S_ISDIR(info.stx_mode)) return unlinkat(ParentFd, Name.c_str(), 0) == 0 ? 0 : errno;
  // Removing a folder as a folder never takes its content: ENOTEMPTY once filled.
  if (Found.Kind == ekEmptyFolder) return unlinkat(ParentFd, Name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
  return TTreeRemover(MakeOwnedFoldersWritable, Tree).RemoveTop(ParentFd, Name.c_str(), &Found);
}

int RemoveEntryForGood(int ParentFd, const std::string& Name, bool MakeOwnedFoldersWritable) {
  int error = 0;
  if (!IsValidEntryName(Name, error)) return error;
  return TTreeRemover(MakeOwnedFoldersWritable).RemoveTop(ParentFd, Name.c_str());
}

int RemoveLookedEntryForGood(int ParentFd, const std::string& Name, const TFoundEntry& Found,
                             const struct statx& Looked) {
  int error = 0;
  if (!IsValidEntryName(Name, error)) return error;
  if ((error = MatchFoundEntry(Looked, Found))) return error;
  // Only a non-folder comes here; unlinking never takes a folder put in its place.
  if (Found.Kind != ekNonFolder || S_ISDIR(Looked.stx_mode)) return RemoveFoundEntryForGood(ParentFd, Name, Found);
  return unlinkat(ParentFd, Name.c_str(), 0) == 0 ? 0 : errno;
}
