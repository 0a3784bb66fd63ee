#include "platform/Removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/Trash.h"

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
  if (statx(Fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MODE | STATX_UID | STATX_MNT_ID,
            &Info) != 0)
    return false;
  Key.Dev = makedev(Info.stx_dev_major, Info.stx_dev_minor);
  Key.HasMntId = (Info.stx_mask & STATX_MNT_ID) != 0;
  Key.MntId = Key.HasMntId ? Info.stx_mnt_id : 0;
  return true;
}

bool IsDirectoryOpenFailureForNonFolder(int Error) { return Error == ENOTDIR || Error == ELOOP; }

class TTreeRemover {
public:
  explicit TTreeRemover(bool MakeOwnedFoldersWritable) : FMakeWritable(MakeOwnedFoldersWritable) {}

  // Removes Name of ParentFd, the top of the removal: its own mount is the one that
  // the removal must not leave.
  int RemoveTop(int ParentFd, const char* Name) {
    // Files and links go at once; only a folder answers EISDIR.
    if (unlinkat(ParentFd, Name, 0) == 0) return 0;
    if (errno != EISDIR) return errno;
    const int fd = OpenFolder(ParentFd, Name);
    if (fd < 0) {
      if (!IsDirectoryOpenFailureForNonFolder(errno)) return errno;
      // Not a folder (or a link to anything): remove the entry itself.
      return unlinkat(ParentFd, Name, 0) == 0 ? 0 : errno;
    }
    struct statx info;
    if (!ReadMountKey(fd, FTop, info)) {
      const int error = errno;
      close(fd);
      return error;
    }
    // A folder that is itself a mount point (a medium, a bind mount of some other
    // folder) is not the folder's own content: emptying it would reach into the
    // mounted file system.
    TMountKey parentKey;
    struct statx parentInfo;
    if (!ReadMountKey(ParentFd, parentKey, parentInfo)) {
      const int error = errno;
      close(fd);
      return error;
    }
    if (!(parentKey == FTop)) {
      close(fd);
      return EBUSY;
    }
    MakeWritableIfOwned(fd, info);
    EmptyFolder(fd);
    if (unlinkat(ParentFd, Name, AT_REMOVEDIR) != 0) Note(errno);
    return FFirstError;
  }

private:
  bool FMakeWritable;
  TMountKey FTop;
  int FFirstError = 0;

  // An entry that vanished meanwhile is gone, which is what was asked for.
  void Note(int Error) {
    if (FFirstError == 0 && Error != ENOENT) FFirstError = Error;
  }

  int OpenFolder(int ParentFd, const char* Name) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(ParentFd, Name, flags);
    if (fd < 0 && errno == EACCES && FMakeWritable && GrantOwnerRightsByName(ParentFd, Name))
      fd = openat(ParentFd, Name, flags);
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

  // Removes every entry of the folder Fd (which it takes over) as far as it can.
  void EmptyFolder(int Fd) {
    DIR* dir = fdopendir(Fd);
    if (!dir) {
      Note(errno);
      close(Fd);
      return;
    }
    while (true) {
      errno = 0;
      const dirent* entry = readdir(dir);
      if (!entry) {
        if (errno != 0) Note(errno);
        break;
      }
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      RemoveEntry(dirfd(dir), name, entry->d_type);
    }
    closedir(dir);
  }

  void RemoveEntry(int ParentFd, const char* Name, unsigned char Type) {
    if (Type != DT_DIR && Type != DT_UNKNOWN) {
      if (unlinkat(ParentFd, Name, 0) == 0) return;
      // Replaced by a folder since the listing: handle it as one.
      if (errno != EISDIR) return Note(errno);
    }
    const int fd = OpenFolder(ParentFd, Name);
    if (fd < 0) {
      if (!IsDirectoryOpenFailureForNonFolder(errno)) return Note(errno);
      if (unlinkat(ParentFd, Name, 0) != 0) Note(errno);
      return;
    }
    TMountKey key;
    struct statx info;
    if (!ReadMountKey(fd, key, info)) {
      Note(errno);
      close(fd);
      return;
    }
    if (!(key == FTop)) {
      // Another file system (or a bind mount) is mounted here: it stays untouched.
      close(fd);
      return Note(EBUSY);
    }
    MakeWritableIfOwned(fd, info);
    EmptyFolder(fd);
    if (unlinkat(ParentFd, Name, AT_REMOVEDIR) != 0) Note(errno);
  }
};

int RemoveForGood(const std::string& Path) {
  std::string folder, name;
  int error = 0;
  if (!SplitEntryPath(Path, folder, name, error)) return error;
  const int parentFd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) return errno;
  const int result = TTreeRemover(false).RemoveTop(parentFd, name.c_str());
  close(parentFd);
  return result;
}

}  // namespace

bool SplitEntryPath(const std::string& Path, std::string& Folder, std::string& Name, int& Error) {
  std::string trimmed = Path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed == "/") {
    Error = EBUSY;
    return false;
  }
  const size_t slash = trimmed.rfind('/');
  Name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  Folder = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);
  if (Name == "." || Name == "..") {
    Error = EINVAL;
    return false;
  }
  return true;
}

int RemoveEntryForGood(int ParentFd, const std::string& Name, bool MakeOwnedFoldersWritable) {
  if (Name.empty()) return ENOENT;
  if (Name == "." || Name == ".." || Name.find('/') != std::string::npos) return EINVAL;
  return TTreeRemover(MakeOwnedFoldersWritable).RemoveTop(ParentFd, Name.c_str());
}

int RemoveFile(const std::string& Path, unsigned Flags) {
  if (Path.empty()) return ENOENT;
  if (Flags & FOF_ALLOWUNDO) return MoveToTrash(Path);
  return RemoveForGood(Path);
}
