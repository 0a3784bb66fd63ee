#pragma once
// An open file descriptor with one owner, closed when the owner goes: every return
// path of code that opens several handles then closes them all.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <utility>

class TFd {
public:
  explicit TFd(int Fd = -1) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) close(FFd);
  }
  TFd(TFd&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
  TFd& operator=(TFd&& Other) noexcept {
    std::swap(FFd, Other.FFd);
    return *this;
  }
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  // Hands the descriptor over to a new owner (fdopendir); this one then holds none.
  int Release() { return std::exchange(FFd, -1); }

private:
  int FFd;
};

// Opens Name of FolderFd leaving its access time, which a later row with the A basis
// may judge; as usual where only the owner may ask for that (EPERM).
inline int OpenLeavingAccessTime(int FolderFd, const char* Name, int Flags) {
  const int fd = openat(FolderFd, Name, Flags | O_NOATIME | O_CLOEXEC);
  return fd >= 0 || errno != EPERM ? fd : openat(FolderFd, Name, Flags | O_CLOEXEC);
}
