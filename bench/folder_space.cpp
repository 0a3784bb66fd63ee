// What counting the space of folders removed whole costs a Test: option "T" over
// Folders folders of Files files each, through the in-memory host, against the same
// Test without "T" (the folders listed all the same, through the attribute "D").
// The Test measures a folder due whole as itself only and says its figure is a floor.
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
  double best[2] = {1e9, 1e9};
  TMemoryHost::TOutcome outcomes[2];
  const char* const options[2] = {"T", ""};
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < 2; ++k) {
      TMemoryHost host;
      host.AddRow({root, "*", "", "M+7", "D", options[k]});
      const auto start = std::chrono::steady_clock::now();
      outcomes[k] = host.RunWorker(true);
      best[k] = std::min(best[k], std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  for (int k = 0; k < 2; ++k) {
    const TRunSummary& summary = outcomes[k].Summary;
    std::printf("test %-16s over %ld folders x %ld files: best of %d rounds %.3f s, %lld entries, %s%llu bytes%s\n",
                k == 0 ? "with option T" : "without option T", folders, files, rounds, best[k],
                static_cast<long long>(summary.Entries), summary.BytesLowerBound ? "at least " : "",
                static_cast<unsigned long long>(summary.Bytes), outcomes[k].ErrorMessage.c_str());
  }
  std::printf("with T / without T: %.2f\n", best[0] / best[1]);
}
