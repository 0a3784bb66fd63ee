#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

#include "platform/Paths.h"
#include "platform/TrustedPath.h"

namespace {

constexpr size_t BufferLimit = 1 << 16;

// The file a link at FileName leads to; "" with Error EPERM for a link that another
// user could have planted.
std::string ResolveLink(const std::string& FileName, int& Error) {
  struct stat st;
  if (lstat(FileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return FileName;
  TResolvedPath resolved;
  Error = ResolveTrustedPath(FileName, resolved);
  if (Error == EPERM) return {};
  // A dangling link has no file to replace; the link itself is then replaced.
  Error = 0;
  return resolved.Path.empty() ? FileName : resolved.Path;
}

std::string TempNameFor(const std::string& Target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  const size_t slash = Target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : Target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? Target : Target.substr(slash + 1);
  return folder + "." + base + "." + std::to_string(getpid()) + "-" +
         std::to_string(seed ^ (counter.fetch_add(1) * 2654435761u)) + ".tmp";
}

}  // namespace

TAtomicFile::TAtomicFile(const std::string& FileName) { FTarget = ResolveLink(FileName, FError); }

TAtomicFile::TAtomicFile(int FolderFd, const std::string& Name) : FFolder(FolderFd), FTarget(Name) {}

TAtomicFile::~TAtomicFile() { Discard(); }

void TAtomicFile::Discard() {
  if (FHandle >= 0) close(FHandle);
  FHandle = -1;
  if (!FCommitted && !FTempName.empty()) unlinkat(FFolder, FTempName.c_str(), 0);
  FTempName.clear();
}

int TAtomicFile::Open() {
  if (FError != 0) return FError;
  if (FTarget.empty()) return FError = ENOENT;
  // A rename would replace a read-only file as easily as any other; such a file is
  // one its owner protected, and stays as it is (root included, as on Windows).
  struct stat old;
  if (fstatat(FFolder, FTarget.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode) &&
      ((old.st_mode & 0222) == 0 || faccessat(FFolder, FTarget.c_str(), W_OK, 0) != 0))
    return FError = EACCES;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TempNameFor(FTarget);
    // 0666 lets the umask decide, as for any new file of the user.
    FHandle = openat(FFolder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (FHandle >= 0) {
      FTempName = name;
      return FError = 0;
    }
    if (errno != EEXIST) return FError = errno;
  }
  return FError = EEXIST;
}

int TAtomicFile::Flush() {
  if (FError == 0 && !FBuffer.empty()) FError = WriteAll(FHandle, FBuffer);
  FBuffer.clear();
  return FError;
}

int TAtomicFile::Write(std::string_view Data) {
  if (FError != 0) return FError;
  if (FHandle < 0) return FError = EBADF;
  if (FBuffer.size() + Data.size() > BufferLimit) {
    if (Flush() != 0) return FError;
    if (Data.size() > BufferLimit) return FError = WriteAll(FHandle, Data);
  }
  FBuffer.append(Data);
  return 0;
}

int TAtomicFile::Commit() {
  if (FHandle < 0 && FError == 0) FError = EBADF;
  if (Flush() == 0) {
    // Only a regular file hands on its rights: a link's own mode is 0777.
    struct stat old;
    if (fstatat(FFolder, FTarget.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
      if (fchmod(FHandle, old.st_mode & 07777) != 0) FError = errno;
      // Only root can give the file away; a user's own file keeps its owner anyway.
      if (FError == 0 && fchown(FHandle, old.st_uid, old.st_gid) != 0 && errno != EPERM) FError = errno;
    }
  }
  if (FError == 0 && fsync(FHandle) != 0) FError = errno;
  if (FHandle >= 0 && close(FHandle) != 0 && FError == 0) FError = errno;
  FHandle = -1;
  if (FError == 0 && renameat(FFolder, FTempName.c_str(), FFolder, FTarget.c_str()) != 0) FError = errno;
  if (FError != 0) {
    Discard();
    return FError;
  }
  FCommitted = true;
  FTempName.clear();
  // Make the rename itself durable; a folder that refuses fsync changes nothing.
  const int folder = openat(FFolder, FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return 0;
}

int WriteAll(int Handle, std::string_view Data) {
  while (!Data.empty()) {
    const ssize_t n = write(Handle, Data.data(), Data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    Data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

int ReplaceFileContent(const std::string& FileName, std::string_view Content) {
  TAtomicFile file(FileName);
  if (const int error = file.Open()) return error;
  if (const int error = file.Write(Content)) return error;
  return file.Commit();
}

int ReplaceFileContentAt(int FolderFd, const std::string& Name, std::string_view Content) {
  TAtomicFile file(FolderFd, Name);
  if (const int error = file.Open()) return error;
  if (const int error = file.Write(Content)) return error;
  return file.Commit();
}
