#include "shell/ShellUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/Paths.h"

bool IsShortcutFileName(const std::string& FileName) {
  const size_t dot = FileName.rfind('.');
  if (dot == std::string::npos || FileName.find_first_of("\\/:", dot) != std::string::npos) return false;
  if (FileName.size() - dot != 4) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
  return lower(FileName[dot + 1]) == 'l' && lower(FileName[dot + 2]) == 'n' && lower(FileName[dot + 3]) == 'k';
}

namespace {

// Name is looked up in FolderFd; a relative target is joined to Folder.
bool ReadLinkIn(int FolderFd, const std::string& Folder, const std::string& Name, std::string& Target) {
  Target.clear();
  struct stat st;
  if (fstatat(FolderFd, Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return false;
  // st_size is the target's length for most file systems, 0 for some (procfs):
  // grow the buffer until the answer fits.
  std::vector<char> buffer(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 256);
  while (true) {
    const ssize_t length = readlinkat(FolderFd, Name.c_str(), buffer.data(), buffer.size());
    if (length < 0) return true;
    if (static_cast<size_t>(length) < buffer.size()) {
      Target.assign(buffer.data(), static_cast<size_t>(length));
      break;
    }
    if (buffer.size() >= 1 << 20) return true;
    buffer.resize(buffer.size() * 2);
  }
  if (!Target.empty() && Target[0] != '/') Target = JoinPath(Folder, Target);
  return true;
}

}  // namespace

bool ReadSymbolicLinkTarget(const std::string& Path, std::string& Target) {
  return ReadLinkIn(AT_FDCWD, FolderOf(Path), Path, Target);
}

bool ReadSymbolicLinkTargetAt(int FolderFd, const std::string& Folder, const std::string& Name, std::string& Target) {
  return ReadLinkIn(FolderFd, Folder, Name, Target);
}

bool IsPathOfThisSystem(const std::string& Path) { return !Path.empty() && Path[0] == '/'; }

bool PathExists(const std::string& Path) {
  struct stat st;
  if (!IsPathOfThisSystem(Path)) return false;
  return stat(Path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}
