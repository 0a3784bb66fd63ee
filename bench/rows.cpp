// Memory of a pattern of many rows that each find one due entry: a test run through
// the in-memory host, which keeps every row's list to the end as the window does.
// Each size runs in a process of its own, so that its peak resident size is its own.
//
//   bench_rows [rows ...]   (default 2000 60000)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/MemoryHost.h"
#include "support/TestSupport.h"

namespace {

long MaxRssKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Rows rows over one folder that holds one due file: every row's list holds one entry.
void Measure(long Rows) {
  TTempDir dir;
  WriteFile(dir / "due.tmp", "x");
  const time_t old = time(nullptr) - 30 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  if (utimensat(AT_FDCWD, (dir / "due.tmp").c_str(), times, 0) != 0) std::abort();
  const long before = MaxRssKiB();
  TMemoryHost host;
  host.KeepLog = false;
  for (long i = 0; i < Rows; ++i) host.AddRow({dir.Path(), "*.tmp", "", "M+7", "", ""});
  const auto start = std::chrono::steady_clock::now();
  const TMemoryHost::TOutcome outcome = host.RunWorker(true);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!outcome.ErrorMessage.empty() || host.LogLines != Rows) std::abort();
  const long peak = MaxRssKiB();
  std::printf("%7ld rows: peak RSS %8.1f MiB (%6.1f MiB before the pattern), %.0f bytes a row, test run %.2f s\n",
              Rows, peak / 1024.0, before / 1024.0, (peak - before) * 1024.0 / Rows, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {2000, 60000};
  for (const long rows : sizes) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
      Measure(rows);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::printf("%7ld rows: the run failed\n", rows);
      return 1;
    }
  }
  return 0;
}
