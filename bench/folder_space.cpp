// What counting the space of folders removed whole costs a Test: option "T" over
// Folders folders of Files files each, through the in-memory host.
//
//   bench_folder_space [folders] [files] [rounds]   (defaults 1000, 100, 5)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "support/MemoryHost.h"
#include "support/TestSupport.h"

namespace {

// Folders "d<n>" dated ten days back, each holding Files small files.
void Populate(const std::string& Root, long Folders, long Files) {
  if (mkdir(Root.c_str(), 0755) != 0) std::abort();
  const time_t old = time(nullptr) - 10 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  for (long d = 0; d < Folders; ++d) {
    const std::string folder = Root + "/d" + std::to_string(d);
    if (mkdir(folder.c_str(), 0755) != 0) std::abort();
    for (long f = 0; f < Files; ++f) {
      const int fd = open((folder + "/f" + std::to_string(f)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0 || write(fd, "data", 4) != 4) std::abort();
      close(fd);
    }
    utimensat(AT_FDCWD, folder.c_str(), times, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long folders = argc > 1 ? std::atol(argv[1]) : 1000;
  const long files = argc > 2 ? std::atol(argv[2]) : 100;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  TTempDir dir;
  const std::string root = dir / "tree";
  Populate(root, folders, files);
  double best = 1e9;
  TMemoryHost::TOutcome outcome;
  for (int round = 0; round < rounds; ++round) {
    TMemoryHost host;
    host.AddRow({root, "*", "", "M+7", "D", "T"});
    const auto start = std::chrono::steady_clock::now();
    outcome = host.RunWorker(true);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::printf("test with option T over %ld folders x %ld files: best of %d rounds %.3f s, %lld entries, %llu bytes%s\n",
              folders, files, rounds, best, static_cast<long long>(outcome.Summary.Entries),
              static_cast<unsigned long long>(outcome.Summary.Bytes), outcome.ErrorMessage.c_str());
}
