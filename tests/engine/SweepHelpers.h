#pragma once
// Folders with entries of known ages, for the sweep and worker tests.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "support/TestSupport.h"

constexpr int64_t SecondsPerDay = 86400;

// Sets the last-access and last-write times of Path (a link itself, not its target)
// to Days days before now.
inline void SetAge(const std::string& Path, double Days) {
  const time_t when = time(nullptr) - static_cast<time_t>(Days * SecondsPerDay);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  if (utimensat(AT_FDCWD, Path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) std::abort();
}

inline void MakeFile(const std::string& Path, double Days, const std::string& Content = "x") {
  WriteFile(Path, Content);
  SetAge(Path, Days);
}

inline void MakeFolder(const std::string& Path) {
  if (mkdir(Path.c_str(), 0755) != 0) std::abort();
}

inline void MakeLink(const std::string& Target, const std::string& Path, double Days) {
  if (symlink(Target.c_str(), Path.c_str()) != 0) std::abort();
  SetAge(Path, Days);
}

