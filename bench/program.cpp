// The program as people run it: the real brisko binary, started as a scheduler
// starts it, against the tools people would otherwise use, timed in the same run
// and interleaved round by round, each on a fresh identical folder.
//
//   bench_program [files] [rounds] [trash-entries] [base-folder ...]
//   (defaults 100000, 3, 10000, then /var/tmp and /dev/shm: a disk and a tmpfs)
//
// Folder: `brisko -R` (no display), `brisko -R` in its window (offscreen), `find
// -delete` and `systemd-tmpfiles --clean` over FILES files of which half are due
// (M+7), log saving on. Trash: `brisko -R` with a trash item against `trash-empty 7`
// over a trash of TRASH-ENTRIES entries, half due, rebuilt identically before each run.
// Prints medians, ratios and brisko's peak resident size.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct TTimed {
  double Seconds = 0;
  long MaxRssKiB = 0;
  int Status = -1;
};

std::string BriskoBinary() {
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "brisko").string();
}

// Runs Argv with Env added to a minimal environment, and times it to its end.
TTimed Spawn(const std::vector<std::string>& Argv, const std::vector<std::string>& Env) {
  std::vector<char*> argv, envp;
  for (const std::string& a : Argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
  env.insert(env.end(), Env.begin(), Env.end());
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  TTimed timed;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) return timed;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  timed.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timed.MaxRssKiB = usage.ru_maxrss;
  timed.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  posix_spawn_file_actions_destroy(&actions);
  return timed;
}

void WriteText(const std::string& Path, const std::string& Text) {
  fs::create_directories(fs::path(Path).parent_path());
  FILE* f = std::fopen(Path.c_str(), "w");
  if (!f) std::abort();
  std::fputs(Text.c_str(), f);
  std::fclose(f);
}

// Count files "f<n>.tmp", every other one dated ten days back.
void Populate(const std::string& Folder, long Count) {
  fs::remove_all(Folder);
  fs::create_directories(Folder);
  const time_t old = time(nullptr) - 10 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  char name[32];
  for (long i = 0; i < Count; ++i) {
    std::snprintf(name, sizeof name, "/f%07ld.tmp", i);
    const int fd = open((Folder + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 || ((i % 2 == 0) && futimens(fd, times) != 0)) std::abort();
    close(fd);
  }
}

long CountEntries(const std::string& Folder) {
  long count = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(Folder)) ++count;
  return count;
}

// A trash of Count entries, every other one deleted ten days ago.
void PopulateTrash(const std::string& Trash, long Count) {
  fs::remove_all(Trash);
  fs::create_directories(Trash + "/files");
  fs::create_directories(Trash + "/info");
  const time_t now = time(nullptr);
  char name[32], date[32];
  for (long i = 0; i < Count; ++i) {
    std::snprintf(name, sizeof name, "f%06ld.tmp", i);
    const time_t deleted = now - (i % 2 == 0 ? 10 : 1) * 86400;
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", std::localtime(&deleted));
    WriteText(Trash + "/files/" + name, "x");
    WriteText(Trash + "/info/" + name + ".trashinfo",
              std::string("[Trash Info]\nPath=/home/u/") + name + "\nDeletionDate=" + date + "\n");
  }
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values.empty() ? 0 : Values[Values.size() / 2];
}

struct TSeries {
  const char* Name;
  std::vector<double> Seconds;
  long MaxRssKiB = 0;
  bool Wrong = false;  // did not leave exactly the kept entries
};

void Report(const std::vector<TSeries>& Series, size_t Baseline) {
  for (const TSeries& s : Series) {
    std::printf("  %-28s median %8.3f s", s.Name, Median(s.Seconds));
    if (s.MaxRssKiB) std::printf("  peak %6.1f MiB", s.MaxRssKiB / 1024.0);
    if (&s != &Series[Baseline]) std::printf("  ratio to %s %.2f", Series[Baseline].Name, Median(s.Seconds) / Median(Series[Baseline].Seconds));
    std::printf("%s\n", s.Wrong ? "  WRONG RESULT" : "");
  }
}

void BenchFolder(const std::string& Base, long Files, int Rounds) {
  const std::string home = Base + "/home", folder = Base + "/f", pattern = Base + "/run.rmp";
  WriteText(home + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\n");
  WriteText(pattern, "[Schedule0]\r\nLocation=" + folder + "\r\nMask=*.tmp\r\nLapsedDays=M+7\r\n");
  WriteText(Base + "/tmpfiles.conf", "e " + folder + " - - - m:7d\n");
  const std::vector<std::string> brisko = {"HOME=" + home};
  std::vector<std::string> window = brisko;
  window.push_back("QT_QPA_PLATFORM=offscreen");
  std::vector<TSeries> series = {{"find -delete", {}}, {"brisko -R (no display)", {}},
                                 {"brisko -R (window, offscreen)", {}}, {"systemd-tmpfiles --clean", {}}};
  for (int round = 0; round < Rounds; ++round) {
    for (size_t k = 0; k < series.size(); ++k) {
      Populate(folder, Files);
      sync();
      TTimed t;
      if (k == 0) t = Spawn({"find", folder, "-maxdepth", "1", "-name", "*.tmp", "-mtime", "+7", "-delete"}, {});
      if (k == 1) t = Spawn({BriskoBinary(), "-R", pattern}, brisko);
      if (k == 2) t = Spawn({BriskoBinary(), "-R", pattern}, window);
      if (k == 3) t = Spawn({"systemd-tmpfiles", "--clean", Base + "/tmpfiles.conf"}, {});
      series[k].Seconds.push_back(t.Seconds);
      if (k == 1 || k == 2) series[k].MaxRssKiB = std::max(series[k].MaxRssKiB, t.MaxRssKiB);
      series[k].Wrong |= t.Status != 0 || CountEntries(folder) != Files / 2;
    }
  }
  fs::remove_all(folder);
  std::printf("%ld files, half due, in %s (%d rounds):\n", Files, Base.c_str(), Rounds);
  Report(series, 0);
}

void BenchTrash(const std::string& Base, long Entries, int Rounds) {
  const std::string home = Base + "/home", data = Base + "/data", pattern = Base + "/trash.rmp";
  WriteText(home + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\n");
  WriteText(pattern, "[Schedule0]\r\nLocation=trash:///\r\nMask=*\r\nLapsedDays=D+7\r\n");
  const std::vector<std::string> env = {"HOME=" + home, "XDG_DATA_HOME=" + data};
  std::vector<TSeries> series = {{"trash-empty 7", {}}, {"brisko -R (trash item)", {}}};
  for (int round = 0; round < Rounds; ++round) {
    for (size_t k = 0; k < series.size(); ++k) {
      PopulateTrash(data + "/Trash", Entries);
      sync();
      TTimed t = k == 0 ? Spawn({"trash-empty", "7"}, env) : Spawn({BriskoBinary(), "-R", pattern}, env);
      series[k].Seconds.push_back(t.Seconds);
      if (k == 1) series[k].MaxRssKiB = std::max(series[k].MaxRssKiB, t.MaxRssKiB);
      series[k].Wrong |= t.Status != 0 || CountEntries(data + "/Trash/files") != Entries / 2 ||
                         CountEntries(data + "/Trash/info") != Entries / 2;
    }
  }
  fs::remove_all(data);
  std::printf("trash of %ld entries, half due, in %s (%d rounds):\n", Entries, Base.c_str(), Rounds);
  Report(series, 0);
  std::printf("  trash-empty / brisko: %.2f\n", Median(series[0].Seconds) / Median(series[1].Seconds));
}

}  // namespace

int main(int argc, char** argv) {
  const long files = argc > 1 ? std::atol(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const long trash = argc > 3 ? std::atol(argv[3]) : 10000;
  std::vector<std::string> bases;
  for (int i = 4; i < argc; ++i) bases.push_back(argv[i]);
  if (bases.empty()) bases = {"/var/tmp", "/dev/shm"};
  for (const std::string& where : bases) {
    const std::string base = where + "/brisko-bench-" + std::to_string(getpid());
    if (files > 0) BenchFolder(base, files, rounds);
    if (trash > 0) BenchTrash(base, trash, rounds);
    fs::remove_all(base);
  }
}
