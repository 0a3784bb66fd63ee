#include "engine/FreedSpace.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

#include "platform/FileHandle.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

namespace {

constexpr unsigned SpaceFields = STATX_TYPE | STATX_NLINK | STATX_INO | STATX_BLOCKS;
// A cache larger than this is not read: the folders are measured instead.
constexpr off_t MaxDirectorySizesBytes = 4 * 1024 * 1024;

uint64_t Allocated(const struct statx& Info) { return (Info.stx_mask & STATX_BLOCKS) ? Info.stx_blocks * 512 : 0; }

uint64_t DevOf(const struct statx& Info) { return (uint64_t(Info.stx_dev_major) << 32) | Info.stx_dev_minor; }

bool StatAt(int DirFd, const char* Name, struct statx& Info) {
  return statx(DirFd, Name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, SpaceFields, &Info) == 0;
}

// The whole content of a small regular file, read without following a link.
bool ReadSmallFile(const std::string& Path, std::string& Content) {
  const int fd = OpenLeavingAccessTime(AT_FDCWD, Path.c_str(), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxDirectorySizesBytes;
  if (ok) {
    Content.resize(size_t(st.st_size));
    ok = read(fd, Content.data(), Content.size()) == ssize_t(Content.size());
  }
  close(fd);
  return ok;
}

template <typename T>
bool ParseNumber(std::string_view Text, T& Value) {
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return error == std::errc() && end == Text.data() + Text.size();
}

}  // namespace

TFreedSpace::TFreedSpace() = default;
TFreedSpace::~TFreedSpace() = default;

// A file with several names frees its blocks when the last of them is counted.
uint64_t TFreedSpace::OfLinks(uint64_t Dev, uint64_t Ino, uint64_t Links, uint64_t Blocks) {
  if (Links <= 1) return Blocks;
  return ++FLinksSeen[{Dev, Ino}] == Links ? Blocks : 0;
}

uint64_t TFreedSpace::OfEntry(int DirFd, const char* Name, const struct statx& Info, bool Whole) {
  if (!(Info.stx_mask & STATX_TYPE)) return 0;
  if (!S_ISDIR(Info.stx_mode))
    return (Info.stx_mask & STATX_NLINK) ? OfLinks(DevOf(Info), Info.stx_ino, Info.stx_nlink, Allocated(Info)) : 0;
  uint64_t space = Allocated(Info);
  if (!Whole) return space;
  // Measuring reads the folder: its access time stays for a later row to judge.
  const int fd = OpenLeavingAccessTime(DirFd, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) return space;
  return space + OfFolderContent(fd, DevOf(Info));
}

// Depth first, one handle per level, as the removal itself goes; a folder on
// another file system is left out, as the removal leaves it.
uint64_t TFreedSpace::OfFolderContent(int FolderFd, uint64_t Dev) {
  DIR* dir = fdopendir(FolderFd);
  if (!dir) {
    close(FolderFd);
    return 0;
  }
  uint64_t space = 0;
  while (const dirent* e = readdir(dir)) {
    if (IsDotOrDotDot(e->d_name)) continue;
    struct statx info;
    if (!StatAt(FolderFd, e->d_name, info) || DevOf(info) != Dev) continue;
    space += OfEntry(FolderFd, e->d_name, info, true);
  }
  closedir(dir);
  return space;
}

uint64_t TFreedSpace::OfTrashEntry(const std::string& StoredPath, const struct statx* Stored) {
  if (Stored && (Stored->stx_mask & STATX_TYPE) && !S_ISDIR(Stored->stx_mode)) return OfEntry(AT_FDCWD, "", *Stored, false);
  const size_t slash = StoredPath.rfind('/');
  if (slash == std::string::npos || slash == 0) return 0;
  const std::string filesFolder = StoredPath.substr(0, slash), name = StoredPath.substr(slash + 1);
  const int fd = open(filesFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint64_t space = 0;
  struct statx info;
  if (StatAt(fd, name.c_str(), info)) {
    const size_t parent = filesFolder.rfind('/');
    const uint64_t cached =
        S_ISDIR(info.stx_mode) && parent != std::string::npos ? FromDirectorySizes(filesFolder.substr(0, parent), name) : 0;
    space = cached ? cached : OfEntry(fd, name.c_str(), info, true);
  }
  close(fd);
  return space;
}

// The cached size of the trashed folder Name, or 0 when there is none or it is
// stale: a line holds good only while the record's mtime is the one it names.
uint64_t TFreedSpace::FromDirectorySizes(const std::string& TrashFolder, const std::string& Name) {
  auto [sizes, added] = FDirectorySizes.try_emplace(TrashFolder);
  if (added) {
    std::string content;
    if (ReadSmallFile(TrashFolder + "/directorysizes", content)) {
      for (size_t pos = 0; pos < content.size();) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        const std::string_view line(content.data() + pos, end - pos);
        pos = end + 1;
        const size_t first = line.find(' '), second = line.find(' ', first + 1);
        if (first == std::string_view::npos || second == std::string_view::npos) continue;
        uint64_t size = 0;
        int64_t mtime = 0;
        if (ParseNumber(line.substr(0, first), size) && ParseNumber(line.substr(first + 1, second - first - 1), mtime))
          sizes->second[DecodeTrashPath(line.substr(second + 1))] = {size, mtime};
      }
    }
  }
  const auto found = sizes->second.find(Name);
  if (found == sizes->second.end()) return 0;
  struct stat record;
  const std::string info = TrashFolder + "/info/" + Name + ".trashinfo";
  if (fstatat(AT_FDCWD, info.c_str(), &record, AT_SYMLINK_NOFOLLOW) != 0) return 0;
  return record.st_mtime == found->second.second ? found->second.first : 0;
}
