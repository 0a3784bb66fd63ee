// The program as people run it: the real brisko binary, started as a scheduler
// starts it, against the tools people would otherwise use and against the bare
// system calls the job needs, timed in the same run, interleaved round by round,
// each on a fresh identical folder. One table: the median of the rounds, the ratio
// to the bare system calls (or to gio trash, for moves to the trash), brisko's peak
// resident size, and the load average around it.
//
//   bench_program [files] [rounds] [trash-entries] [base-folder ...]
//   (defaults 100000, 3, 10000, then /var/tmp and /dev/shm: a disk and a tmpfs)
//
// Jobs, on each base folder:
//   - FILES files of which half are due (M+7), log saving on: `brisko -R` without a
//     display and in its window (offscreen), `find -delete`, `systemd-tmpfiles
//     --clean`, `tmpreaper`, and a bare loop (list, lstat, unlink);
//   - a trash of TRASH-ENTRIES records, half due: `brisko -R` with a trash item,
//     `trash-empty`, and a bare loop (read each record, unlink file and record);
//   - TRASH-ENTRIES / 2 files moved to the trash: `brisko -R` with option B against
//     `gio trash` and `trash-put`;
//   - FILES / 100 folders of 100 files due whole: `brisko -R` with option T against
//     `find -exec rm -rf {} +` and a bare single-thread loop.
// A tool that is not installed is left out; `scripts/setup.sh --bench` installs them.
// The bare loops run in a child process of this program, so they pay a process
// start as the tools do.
#include <dirent.h>
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
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

struct TTimed {
  double Seconds = 0;
  long MaxRssKiB = 0;
  int Status = -1;
};

std::string BriskoBinary() {
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "brisko").string();
}

bool Installed(const std::string& Tool) {
  for (const char* dir : {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/"})
    if (access((dir + Tool).c_str(), X_OK) == 0) return true;
  return false;
}

TTimed Wait(pid_t Pid, TClock::time_point Start) {
  TTimed timed;
  int status = 0;
  struct rusage usage {};
  wait4(Pid, &status, 0, &usage);
  timed.Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
  timed.MaxRssKiB = usage.ru_maxrss;
  timed.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return timed;
}

// Runs Argv with Env added to a minimal environment, and times it to its end.
TTimed Spawn(const std::vector<std::string>& Argv, const std::vector<std::string>& Env) {
  std::vector<char*> argv, envp;
  for (const std::string& a : Argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env = {"PATH=/usr/bin:/bin:/usr/sbin:/sbin", "LANG=C.UTF-8"};
  env.insert(env.end(), Env.begin(), Env.end());
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = TClock::now();
  pid_t pid = 0;
  TTimed timed;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) timed = Wait(pid, start);
  posix_spawn_file_actions_destroy(&actions);
  return timed;
}

// Runs Loop in a child process and times it, as a tool of its own would be.
TTimed Fork(const std::function<bool()>& Loop) {
  const auto start = TClock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(Loop() ? 0 : 1);
  return pid > 0 ? Wait(pid, start) : TTimed{};
}

void WriteText(const std::string& Path, const std::string& Text) {
  fs::create_directories(fs::path(Path).parent_path());
  FILE* f = std::fopen(Path.c_str(), "w");
  if (!f) std::abort();
  std::fputs(Text.c_str(), f);
  std::fclose(f);
}

const time_t TenDaysAgo = time(nullptr) - 10 * 86400;

void MakeFile(const std::string& Path, bool Old) {
  const struct timespec times[2] = {{TenDaysAgo, 0}, {TenDaysAgo, 0}};
  const int fd = open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0 || (Old && futimens(fd, times) != 0)) std::abort();
  close(fd);
}

// Count files "f<n>.tmp"; every other one, or all with AllOld, ten days old.
void Populate(const std::string& Folder, long Count, bool AllOld = false) {
  fs::remove_all(Folder);
  fs::create_directories(Folder);
  char name[32];
  for (long i = 0; i < Count; ++i) {
    std::snprintf(name, sizeof name, "/f%07ld.tmp", i);
    MakeFile(Folder + name, AllOld || i % 2 == 0);
  }
}

// Folders "d<n>" of Files files each, the folders ten days old.
void PopulateFolders(const std::string& Folder, long Folders, long Files) {
  fs::remove_all(Folder);
  fs::create_directories(Folder);
  const struct timespec times[2] = {{TenDaysAgo, 0}, {TenDaysAgo, 0}};
  char name[32];
  for (long d = 0; d < Folders; ++d) {
    std::snprintf(name, sizeof name, "/d%05ld", d);
    const std::string sub = Folder + name;
    fs::create_directory(sub);
    for (long f = 0; f < Files; ++f) MakeFile(sub + "/f" + std::to_string(f), false);
    if (utimensat(AT_FDCWD, sub.c_str(), times, 0) != 0) std::abort();
  }
}

long CountEntries(const std::string& Folder) {
  std::error_code error;
  long count = 0;
  for (fs::directory_iterator it(Folder, error), end; !error && it != end; it.increment(error)) ++count;
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

// The bare loops: only the system calls each job cannot do without.

bool BareFolderLoop(const std::string& Folder) {
  const int fd = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fdopendir(fd);
  if (!dir) return false;
  const time_t cutoff = time(nullptr) - 7 * 86400;
  while (const dirent* e = readdir(dir)) {
    const size_t length = std::strlen(e->d_name);
    if (length < 4 || std::strcmp(e->d_name + length - 4, ".tmp") != 0) continue;
    struct stat st;
    if (fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_mtime < cutoff) unlinkat(fd, e->d_name, 0);
  }
  closedir(dir);
  return true;
}

bool BareTrashLoop(const std::string& Trash) {
  const int info = open((Trash + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int files = open((Trash + "/files").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fdopendir(info);
  if (!dir || files < 0) return false;
  const time_t cutoff = time(nullptr) - 7 * 86400;
  char text[4096];
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() <= 10 || name.compare(name.size() - 10, 10, ".trashinfo") != 0) continue;
    const int record = openat(info, e->d_name, O_RDONLY | O_CLOEXEC);
    if (record < 0) continue;
    const ssize_t n = read(record, text, sizeof text - 1);
    close(record);
    if (n <= 0) continue;
    text[n] = '\0';
    const char* date = std::strstr(text, "DeletionDate=");
    struct tm fields {};
    if (!date || !strptime(date + 13, "%Y-%m-%dT%H:%M:%S", &fields)) continue;
    fields.tm_isdst = -1;
    if (mktime(&fields) >= cutoff) continue;
    if (unlinkat(files, name.substr(0, name.size() - 10).c_str(), 0) == 0) unlinkat(info, e->d_name, 0);
  }
  closedir(dir);
  close(files);
  return true;
}

// Empties and removes the folder Name of Parent, depth first, trusting d_type.
void RemoveTree(int Parent, const char* Name) {
  const int fd = openat(Parent, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr) {
    while (const dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
      if (e->d_type == DT_DIR)
        RemoveTree(fd, e->d_name);
      else
        unlinkat(fd, e->d_name, 0);
    }
    closedir(dir);
  }
  unlinkat(Parent, Name, AT_REMOVEDIR);
}

bool BareFoldersLoop(const std::string& Folder) {
  const int fd = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fdopendir(fd);
  if (!dir) return false;
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir))
    if (e->d_type == DT_DIR && e->d_name[0] != '.') names.push_back(e->d_name);
  for (const std::string& name : names) RemoveTree(fd, name.c_str());
  closedir(dir);
  return true;
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values.empty() ? 0 : Values[Values.size() / 2];
}

// One tool in one job: how to set its folder up, run it, and check what it left.
struct TContender {
  TContender(std::string ToolName, std::function<TTimed()> ToRun, bool IsBrisko = false)
      : Name(std::move(ToolName)), Run(std::move(ToRun)), Brisko(IsBrisko) {}
  std::string Name;
  std::function<TTimed()> Run;
  bool Brisko = false;
  std::vector<double> Seconds;
  long MaxRssKiB = 0;
  bool Wrong = false;
};

struct TJob {
  std::string Title;
  std::function<void()> Prepare;
  std::function<bool()> LeftRight;  // the folder holds exactly what must stay
  std::vector<TContender> Contenders;  // the first is what the others are compared with
};

void RunJob(TJob& Job, int Rounds) {
  std::erase_if(Job.Contenders, [](const TContender& c) { return !c.Run; });
  for (int round = 0; round < Rounds; ++round)
    for (TContender& c : Job.Contenders) {
      Job.Prepare();
      sync();
      const TTimed t = c.Run();
      c.Seconds.push_back(t.Seconds);
      if (c.Brisko) c.MaxRssKiB = std::max(c.MaxRssKiB, t.MaxRssKiB);
      c.Wrong |= t.Status != 0 || !Job.LeftRight();
    }
}

void PrintJob(const TJob& Job) {
  std::printf("%s\n", Job.Title.c_str());
  for (const TContender& c : Job.Contenders) {
    std::printf("    %-36s %8.3f s", c.Name.c_str(), Median(c.Seconds));
    std::printf("  %5.2fx", Median(c.Seconds) / Median(Job.Contenders[0].Seconds));
    if (c.MaxRssKiB) std::printf("  peak %6.1f MiB", c.MaxRssKiB / 1024.0);
    std::printf("%s\n", c.Wrong ? "  WRONG RESULT" : "");
  }
}

std::function<TTimed()> IfInstalled(const std::string& Tool, std::function<TTimed()> Run) {
  return Installed(Tool) ? std::move(Run) : nullptr;
}

std::string LoadAverage() {
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

std::vector<TJob> Jobs(const std::string& Base, long Files, long TrashEntries) {
  const std::string home = Base + "/home", data = Base + "/data", folder = Base + "/f", trash = data + "/Trash";
  const std::string brisko = BriskoBinary();
  WriteText(home + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\n");
  const auto pattern = [&](const std::string& Name, const std::string& Location, const std::string& Mask,
                           const std::string& Days, const std::string& Option) {
    const std::string path = Base + "/" + Name + ".rmp";
    WriteText(path, "[Schedule0]\r\nLocation=" + Location + "\r\nMask=" + Mask + "\r\nLapsedDays=" + Days +
                        "\r\nOption=" + Option + "\r\n");
    return path;
  };
  const std::vector<std::string> env = {"HOME=" + home, "XDG_DATA_HOME=" + data};
  std::vector<std::string> window = env;
  window.push_back("QT_QPA_PLATFORM=offscreen");
  const auto runBrisko = [=](const std::string& Pattern, bool Window) {
    return TContender{Window ? "brisko -R (window, offscreen)" : "brisko -R (no display)",
                      [=] { return Spawn({brisko, "-R", Pattern}, Window ? window : env); }, true};
  };
  std::vector<TJob> jobs;

  const std::string plain = pattern("plain", folder, "*.tmp", "M+7", "");
  WriteText(Base + "/tmpfiles.conf", "e " + folder + " - - - m:7d\n");
  jobs.push_back({std::to_string(Files) + " files, half due, log saving on",
                  [=] { Populate(folder, Files); }, [=] { return CountEntries(folder) == Files / 2; },
                  {{"bare system calls (C loop)", [=] { return Fork([=] { return BareFolderLoop(folder); }); }},
                   runBrisko(plain, false), runBrisko(plain, true),
                   {"find -delete", [=] {
                      return Spawn({"find", folder, "-maxdepth", "1", "-name", "*.tmp", "-mtime", "+7", "-delete"}, {});
                    }},
                   {"systemd-tmpfiles --clean", IfInstalled("systemd-tmpfiles", [=] {
                      return Spawn({"systemd-tmpfiles", "--clean", Base + "/tmpfiles.conf"}, {});
                    })},
                   {"tmpreaper --mtime 7d", IfInstalled("tmpreaper", [=] {
                      return Spawn({"tmpreaper", "--mtime", "7d", folder}, {});
                    })}}});

  const std::string purge = pattern("purge", "trash:///", "*", "D+7", "");
  jobs.push_back({"trash of " + std::to_string(TrashEntries) + " entries, half due",
                  [=] { PopulateTrash(trash, TrashEntries); },
                  [=] {
                    return CountEntries(trash + "/files") == TrashEntries / 2 &&
                           CountEntries(trash + "/info") == TrashEntries / 2;
                  },
                  {{"bare system calls (C loop)", [=] { return Fork([=] { return BareTrashLoop(trash); }); }},
                   runBrisko(purge, false),
                   {"trash-empty 7", IfInstalled("trash-empty", [=] { return Spawn({"trash-empty", "7"}, env); })}}});

  const long moved = TrashEntries / 2;
  const std::string toTrash = pattern("move", folder, "*.tmp", "M+7", "B");
  const auto trashedAll = [=] {
    // The trash a move lands in: the home trash on the home's file system, else
    // the top folder's own.
    std::string files = trash + "/files";
    if (!fs::exists(files)) {
      for (const auto& e : fs::directory_iterator(Base))
        if (e.path().filename().string().starts_with(".Trash")) files = e.path().string() + "/files";
    }
    return CountEntries(folder) == 0 && CountEntries(files) == moved;
  };
  const auto prepareMove = [=] {
    fs::remove_all(trash);
    for (const auto& e : fs::directory_iterator(Base))
      if (e.path().filename().string().starts_with(".Trash")) fs::remove_all(e.path());
    Populate(folder, moved, true);
  };
  const auto allFiles = [=] {
    std::vector<std::string> argv;
    for (const auto& e : fs::directory_iterator(folder)) argv.push_back(e.path().string());
    std::sort(argv.begin(), argv.end());
    return argv;
  };
  jobs.push_back({std::to_string(moved) + " files moved to the trash", prepareMove, trashedAll,
                  {{"gio trash", IfInstalled("gio", [=] {
                      std::vector<std::string> argv = {"gio", "trash"};
                      for (std::string& f : allFiles()) argv.push_back(std::move(f));
                      return Spawn(argv, env);
                    })},
                   runBrisko(toTrash, false),
                   {"trash-put", IfInstalled("trash-put", [=] {
                      std::vector<std::string> argv = {"trash-put"};
                      for (std::string& f : allFiles()) argv.push_back(std::move(f));
                      return Spawn(argv, env);
                    })}}});

  const std::string whole = pattern("whole", folder, "*", "M+7", "T");
  const long folders = std::max(Files / 100, 1L);
  jobs.push_back({std::to_string(folders) + " folders of 100 files, due whole", [=] { PopulateFolders(folder, folders, 100); },
                  [=] { return CountEntries(folder) == 0; },
                  {{"bare system calls (C loop)", [=] { return Fork([=] { return BareFoldersLoop(folder); }); }},
                   runBrisko(whole, false),
                   {"find -exec rm -rf {} +", [=] {
                      return Spawn({"find", folder, "-mindepth", "1", "-maxdepth", "1", "-exec", "rm", "-rf", "{}", "+"},
                                   {});
                    }}}});
  return jobs;
}

}  // namespace

int main(int argc, char** argv) {
  const long files = argc > 1 ? std::atol(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const long trash = argc > 3 ? std::atol(argv[3]) : 10000;
  std::vector<std::string> bases;
  for (int i = 4; i < argc; ++i) bases.push_back(argv[i]);
  if (bases.empty()) bases = {"/var/tmp", "/dev/shm"};
  std::printf("medians of %d interleaved rounds; ratios to each job's first line (the bare system calls, or gio trash)\n", rounds);
  for (const std::string& where : bases) {
    const std::string base = where + "/brisko-bench-" + std::to_string(getpid());
    const std::string before = LoadAverage();
    std::vector<TJob> jobs = Jobs(base, files, trash);
    for (TJob& job : jobs) RunJob(job, rounds);
    std::printf("in %s (load average before %s, after %s)\n", where.c_str(), before.c_str(), LoadAverage().c_str());
    for (const TJob& job : jobs) PrintJob(job);
    fs::remove_all(base);
  }
}
