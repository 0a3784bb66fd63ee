// Purging the trash by age: a run of one trash item through the worker and the
// in-memory host against trash-empty of trash-cli, each over an identical trash of
// 10,000 entries of which half are due.
//
//   bench_trash [entries] [days]
//
// Prints the wall times and the ratio. trash-empty runs with XDG_DATA_HOME pointing
// at its copy, so neither program sees the user's own trash.
//
// Moving into the trash: a run of one folder item with option "B" through the worker
// against `gio trash` given the same files, in turns, each round on fresh files.
//
//   bench_trash move [entries] [base folder] [rounds]
//
// The files and the home trash (HOME) both lie in a new folder under the
// base folder (default /var/tmp; /dev/shm for a memory file system), so the entries
// go to the home trash on that file system. Prints each round and the medians.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "shell/ShellTypes.h"
#include "support/MemoryHost.h"
#include "support/RemovePath.h"
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

// Count files of a few bytes in Folder, modified 30 days ago, and their paths.
std::vector<std::string> MakeDueFiles(const std::string& Folder, int Count) {
  std::filesystem::create_directories(Folder);
  const timespec old[2] = {{time(nullptr) - 30 * 86400, 0}, {time(nullptr) - 30 * 86400, 0}};
  std::vector<std::string> paths;
  for (int i = 0; i < Count; ++i) {
    paths.push_back(Folder + "/file-" + std::to_string(i) + ".dat");
    WriteFile(paths.back(), "x");
    utimensat(AT_FDCWD, paths.back().c_str(), old, 0);
  }
  return paths;
}

// Both programs find the home trash through HOME: gio trash takes the home trash only
// for files on the file system of HOME.
double MoveWithWorker(const std::string& Folder, const std::string& Home) {
  const TScopedEnv home("HOME", Home.c_str()), dataHome("XDG_DATA_HOME", nullptr);
  const auto start = TClock::now();
  TMemoryHost host;
  host.KeepLog = false;
  host.AddRow({Folder, "*", "", "M+7", "", "B"});
  host.RunWorker(false);
  return std::chrono::duration<double>(TClock::now() - start).count();
}

double MoveWithGio(const std::vector<std::string>& Paths, const std::string& Home) {
  std::vector<char*> args{const_cast<char*>("gio"), const_cast<char*>("trash"), const_cast<char*>("--")};
  for (const std::string& path : Paths) args.push_back(const_cast<char*>(path.c_str()));
  args.push_back(nullptr);
  const auto start = TClock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", Home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    // One complaint per file would bury the figures; a failure shows in the exit code.
    freopen("/dev/null", "w", stderr);
    execv("/usr/bin/gio", args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values.empty() ? -1 : Values[Values.size() / 2];
}

double LoadAverage() {
  double load = -1;
  if (FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = -1;
    std::fclose(file);
  }
  return load;
}

int BenchMove(int Count, const std::string& Base, int Rounds) {
  std::string pattern = Base + "/bench-trash-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::printf("cannot make a folder under %s\n", Base.c_str());
    return 1;
  }
  const std::string root = pattern;
  const bool withGio = access("/usr/bin/gio", X_OK) == 0;
  std::vector<double> ours, theirs;
  std::printf("moving %d files into the trash under %s, %d rounds\n", Count, root.c_str(), Rounds);
  for (int round = 1; round <= Rounds; ++round) {
    const std::string mine = root + "/ours-" + std::to_string(round), other = root + "/gio-" + std::to_string(round);
    std::filesystem::create_directories(mine + "/home");
    std::filesystem::create_directories(other + "/home");
    MakeDueFiles(mine + "/work", Count);
    const std::vector<std::string> paths = MakeDueFiles(other + "/work", withGio ? Count : 0);
    // What the making left unwritten should not weigh on either run.
    sync();
    ours.push_back(MoveWithWorker(mine + "/work", mine + "/home"));
    if (withGio) theirs.push_back(MoveWithGio(paths, other + "/home"));
    std::printf("round %d: brisko %.3f s, gio trash %.3f s, %d and %d left, load average %.2f\n", round,
                ours.back(), withGio ? theirs.back() : -1.0, CountEntries(mine + "/work"),
                withGio ? CountEntries(other + "/work") : 0, LoadAverage());
    RemovePath(mine, FOF_FOR_GOOD);
    RemovePath(other, FOF_FOR_GOOD);
  }
  RemovePath(root, FOF_FOR_GOOD);
  std::printf("median: brisko %.3f s", Median(ours));
  if (withGio && Median(theirs) > 0)
    std::printf(", gio trash %.3f s, brisko is %.2f times as fast (target: at least 1)", Median(theirs),
                Median(theirs) / Median(ours));
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "move") == 0)
    return BenchMove(argc > 2 ? std::atoi(argv[2]) : 5'000, argc > 3 ? argv[3] : "/var/tmp",
                     argc > 4 ? std::atoi(argv[4]) : 5);
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
