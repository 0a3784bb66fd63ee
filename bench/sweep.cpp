// Speed and memory of a deletion run through the in-memory host, against find(1)
// deleting the same entries of an identical folder.
//
//   bench_sweep [files] [memory-entries] [rounds] [kept-folder]
//   (defaults 100000, 1000000, 3, none)
#include <fcntl.h>
#include <sys/resource.h>
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

constexpr int LapsedDays = 7;

double Seconds(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

long MaxRssKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Count files named "f<n>.tmp"; every other one (or all) dated ten days back.
void Populate(const std::string& Folder, long Count, bool AllDue) {
  if (mkdir(Folder.c_str(), 0755) != 0) std::abort();
  const time_t old = time(nullptr) - 10 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  char name[64];
  for (long i = 0; i < Count; ++i) {
    std::snprintf(name, sizeof name, "/f%07ld.tmp", i);
    const std::string path = Folder + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    if ((AllDue || i % 2 == 0) && futimens(fd, times) != 0) std::abort();
    close(fd);
  }
}

long CountEntries(const std::string& Folder) {
  std::string command = "find '" + Folder + "' -mindepth 1 -maxdepth 1 | wc -l";
  FILE* pipe = popen(command.c_str(), "r");
  long count = -1;
  if (pipe && std::fscanf(pipe, "%ld", &count) != 1) count = -1;
  if (pipe) pclose(pipe);
  return count;
}

TMemoryHost::TOutcome RunItem(TMemoryHost& Host, const std::string& Folder, bool TestRun) {
  Host.AddRow({Folder, "*.tmp", "", "M+" + std::to_string(LapsedDays), "", ""});
  return Host.RunWorker(TestRun);
}

// Keep names Folder when given (a test removes nothing, so the folder can serve
// again); otherwise a temporary folder is built and removed.
void MeasureMemory(long Entries, const std::string& Keep) {
  TTempDir dir;
  const std::string folder = Keep.empty() ? dir / "million" : Keep;
  if (Keep.empty() || access(folder.c_str(), F_OK) != 0) {
    std::printf("building %ld due files...\n", Entries);
    std::fflush(stdout);
    Populate(folder, Entries, true);
  }
  TMemoryHost host;
  host.KeepLog = false;  // the window's log is not the worker's memory
  const long before = MaxRssKiB();
  const auto start = std::chrono::steady_clock::now();
  const auto outcome = RunItem(host, folder, true);
  const double seconds = Seconds(start);
  const long after = MaxRssKiB();
  std::printf("test over %ld due entries: %.2f s, %lld lines, peak RSS +%ld KiB = %.1f bytes/entry%s\n", Entries,
              seconds, static_cast<long long>(host.LogLines), after - before,
              (after - before) * 1024.0 / static_cast<double>(Entries), outcome.ErrorMessage.c_str());
}

struct TTimes {
  double Wall = 1e9, Cpu = 1e9;
  void Keep(double W, double C) {
    Wall = std::min(Wall, W);
    Cpu = std::min(Cpu, C);
  }
};

double CpuSeconds(int Who) {
  struct rusage usage {};
  getrusage(Who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One round on fresh folders; the best of several rounds is reported, as the
// machine is shared and a single round may lose its processor at any time.
void MeasureRound(long Files, TTimes& Find, TTimes& Test, TTimes& Run, TTimes& Collect, bool Report) {
  TTempDir dir;
  const std::string ours = dir / "ours", theirs = dir / "theirs";
  Populate(ours, Files, false);
  Populate(theirs, Files, false);
  sync();

  auto start = std::chrono::steady_clock::now();
  double cpu = CpuSeconds(RUSAGE_CHILDREN);
  const std::string command =
      "find '" + theirs + "' -maxdepth 1 -name '*.tmp' -mmin +" + std::to_string(LapsedDays * 24 * 60) + " -delete";
  if (std::system(command.c_str()) != 0) std::abort();
  Find.Keep(Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu);

  TMemoryHost testHost;
  start = std::chrono::steady_clock::now();
  cpu = CpuSeconds(RUSAGE_SELF);
  RunItem(testHost, ours, true);
  Test.Keep(Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu);

  TMemoryHost runHost;
  double collectSeconds = 0;
  runHost.Hook = [&](std::string_view Call, TRemoveHost::TRow) {
    if (Call == "SetProgressState" && runHost.States.back() == psNormal) collectSeconds = Seconds(start);
  };
  start = std::chrono::steady_clock::now();
  cpu = CpuSeconds(RUSAGE_SELF);
  RunItem(runHost, ours, false);
  Run.Keep(Seconds(start), CpuSeconds(RUSAGE_SELF) - cpu);
  Collect.Keep(collectSeconds, 0);

  if (Report)
    std::printf("  round: %zu test lines, %zu run lines; left: ours %ld, find's %ld\n", testHost.Log.size(),
                runHost.Log.size(), CountEntries(ours), CountEntries(theirs));
}

void MeasureSpeed(long Files, int Rounds) {
  TTimes find, test, run, collect;
  std::printf("%ld files, half due by age, best of %d rounds\n", Files, Rounds);
  for (int round = 0; round < Rounds; ++round) MeasureRound(Files, find, test, run, collect, round == 0);
  std::printf("  find -delete : wall %.3f s  cpu %.3f s\n", find.Wall, find.Cpu);
  std::printf("  test         : wall %.3f s  cpu %.3f s\n", test.Wall, test.Cpu);
  std::printf("  run          : wall %.3f s  cpu %.3f s (collect pass %.3f s)\n", run.Wall, run.Cpu, collect.Wall);
  std::printf("  run/find     : wall %.2f  cpu %.2f\n", run.Wall / find.Wall, run.Cpu / find.Cpu);
}

}  // namespace

int main(int argc, char** argv) {
  const long files = argc > 1 ? std::atol(argv[1]) : 100000;
  const long entries = argc > 2 ? std::atol(argv[2]) : 1000000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  // Memory first: the peak of later phases would hide this one's.
  if (entries > 0) MeasureMemory(entries, argc > 4 ? argv[4] : "");
  if (files > 0) MeasureSpeed(files, rounds);
}
