// Purging the trash by age: a run of one trash item through the worker and the
// in-memory host against trash-empty of trash-cli, each over an identical trash of
// 10,000 entries of which half are due.
//
//   bench_trash [entries] [days]
//
// Prints the wall times and the ratio. trash-empty runs with XDG_DATA_HOME pointing
// at its copy, so neither program sees the user's own trash.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Trash.h"
#include "shell/ShellTypes.h"
#include "support/MemoryHost.h"
#include "support/TestSupport.h"

namespace {

using TClock = std::chrono::steady_clock;

// A home trash of Count entries: every other one deleted 30 days ago, the rest today.
void BuildTrash(const std::string& DataHome, int Count) {
  const std::string trash = DataHome + "/Trash";
  for (const std::string& folder : {DataHome, trash, trash + "/files", trash + "/info"}) mkdir(folder.c_str(), 0700);
  const std::string old = FormatTrashDate(IncDays(Now(), -30));
  const std::string recent = FormatTrashDate(Now());
  for (int i = 0; i < Count; ++i) {
    const std::string name = "entry " + std::to_string(i) + ".txt";
    WriteFile(trash + "/files/" + name, "x");
    WriteFile(trash + "/info/" + name + ".trashinfo", "[Trash Info]\nPath=/home/user/entry%20" + std::to_string(i) +
                                                          ".txt\nDeletionDate=" + (i % 2 ? recent : old) + "\n");
  }
}

int CountEntries(const std::string& Folder) {
  const std::string command = "ls -A '" + Folder + "' | wc -l";
  FILE* pipe = popen(command.c_str(), "r");
  int count = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%d", &count) != 1) count = -1;
    pclose(pipe);
  }
  return count;
}

double CpuSeconds(const timeval& User, const timeval& System) {
  return User.tv_sec + System.tv_sec + (User.tv_usec + System.tv_usec) / 1e6;
}

double OwnCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage.ru_utime, usage.ru_stime);
}

struct TTimes {
  double Wall = -1;
  double Cpu = -1;
};

// The trash store alone, without the worker: enumerate, pick the due entries, purge.
TTimes PurgeWithStore(const std::string& DataHome, int Days, int& Purged) {
  // Only the user's trash folders are purged: this one must be the home trash.
  setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
  const double cpuStart = OwnCpuSeconds();
  const auto start = TClock::now();
  const TDateTime cutoff = IncDays(Now(), -Days);
  TTrashEnumerator enumerator({DataHome + "/Trash"});
  TTrashRecord record;
  std::vector<std::string> due;
  while (enumerator.Next(record))
    if (cutoff >= record.DeletionDate.value_or(Now())) due.push_back(record.StoredPath);
  TTrashPurger purger;
  Purged = 0;
  for (const std::string& path : due) Purged += purger.Purge(path) == 0;
  const TTimes times{std::chrono::duration<double>(TClock::now() - start).count(), OwnCpuSeconds() - cpuStart};
  unsetenv("XDG_DATA_HOME");
  return times;
}

// One trash item run through the worker and the in-memory host, the home trash
// being DataHome's.
TTimes PurgeWithWorker(const std::string& DataHome, int Days, int64_t& Lines) {
  setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
  const double cpuStart = OwnCpuSeconds();
  const auto start = TClock::now();
  TMemoryHost host;
  host.KeepLog = false;
  host.AddRow({GetSpecialFolderName(CSIDL_BITBUCKET), "*", "", "D+" + std::to_string(Days), "", ""});
  host.RunWorker(false);
  Lines = host.LogLines;
  const TTimes times{std::chrono::duration<double>(TClock::now() - start).count(), OwnCpuSeconds() - cpuStart};
  unsetenv("XDG_DATA_HOME");
  return times;
}

TTimes PurgeWithTrashEmpty(const std::string& DataHome, int Days) {
  const auto start = TClock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
    const std::string days = std::to_string(Days);
    execl("/usr/bin/trash-empty", "trash-empty", days.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  return {seconds, CpuSeconds(usage.ru_utime, usage.ru_stime)};
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 10'000;
  const int days = argc > 2 ? std::atoi(argv[2]) : 7;
  TTempDir ours, storeOnly, theirs;
  BuildTrash(ours / "data", count);
  BuildTrash(storeOnly / "data", count);
  BuildTrash(theirs / "data", count);
  // Let the new files reach the disk first, so that neither program pays for it.
  sync();

  int64_t lines = 0;
  const TTimes store = PurgeWithWorker(ours / "data", days, lines);
  std::printf("trash of %d entries, %d due (older than %d days), under %s\n", count, count / 2, days,
              ours.Path().c_str());
  std::printf("brisko run, trash item: wall %.3f s, cpu %.3f s, %lld result lines, %d records left\n", store.Wall,
              store.Cpu, static_cast<long long>(lines), CountEntries(ours / "data/Trash/info"));

  int purged = 0;
  const TTimes alone = PurgeWithStore(storeOnly / "data", days, purged);
  std::printf("brisko trash store alone: wall %.3f s, cpu %.3f s, %d purged, %d records left\n", alone.Wall,
              alone.Cpu, purged, CountEntries(storeOnly / "data/Trash/info"));

  if (access("/usr/bin/trash-empty", X_OK) != 0) {
    std::printf("trash-empty: not installed, no comparison\n");
    return 0;
  }
  const TTimes their = PurgeWithTrashEmpty(theirs / "data", days);
  if (their.Wall < 0) {
    std::printf("trash-empty: failed, no comparison\n");
    return 0;
  }
  std::printf("trash-empty %d:          wall %.3f s, cpu %.3f s, %d records left\n", days, their.Wall, their.Cpu,
              CountEntries(theirs / "data/Trash/info"));
  std::printf("ratio, run: brisko is %.1f times as fast by wall time, %.1f by cpu time (target: at least 5)\n",
              their.Wall / store.Wall, their.Cpu / store.Cpu);
  std::printf("ratio, store alone: %.1f by wall time, %.1f by cpu time\n", their.Wall / alone.Wall,
              their.Cpu / alone.Cpu);
  return 0;
}
