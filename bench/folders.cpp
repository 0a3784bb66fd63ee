// Folders due whole (option "T") removed for good: the real brisko binary against
// the tools people would otherwise use, timed in the same run and interleaved round
// by round, each on a fresh identical tree.
//
//   bench_folders [folders] [files] [rounds] [base-folder ...]
//   (defaults 1000, 100, 5, then /var/tmp and /dev/shm: a disk and a tmpfs)
//
// Series: `brisko -R` (no display) over a pattern with option "T";
// `find DIR -mindepth 1 -maxdepth 1 -exec rm -rf {} +`; a single-thread loop of
// openat/getdents64/unlinkat without a stat, built in; and, built in as well, the
// removal's own tree walk on one thread with and without measuring what it frees,
// which is what counting the space costs the removal. Prints medians, ratios and
// the load average.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
#include <thread>
#include <vector>

#include "engine/FolderRemovals.h"
#include "platform/Removal.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string BriskoBinary() {
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "brisko").string();
}

// Runs Argv with Env added to a minimal environment, to its end; its exit status.
int Spawn(const std::vector<std::string>& Argv, const std::vector<std::string>& Env) {
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
  pid_t pid = 0;
  int status = 0;
  const bool spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!spawned || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteText(const std::string& Path, const std::string& Text) {
  fs::create_directories(fs::path(Path).parent_path());
  FILE* f = std::fopen(Path.c_str(), "w");
  if (!f) std::abort();
  std::fputs(Text.c_str(), f);
  std::fclose(f);
}

// Folders "d<n>" dated ten days back, each holding Files files of a few bytes.
void Populate(const std::string& Root, long Folders, long Files) {
  fs::remove_all(Root);
  fs::create_directories(Root);
  const time_t old = time(nullptr) - 10 * 86400;
  const struct timespec times[2] = {{old, 0}, {old, 0}};
  for (long d = 0; d < Folders; ++d) {
    const std::string folder = Root + "/d" + std::to_string(d);
    if (mkdir(folder.c_str(), 0755) != 0) std::abort();
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (long f = 0; f < Files; ++f) {
      const int fd = openat(folderFd, ("f" + std::to_string(f)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0 || write(fd, "data", 4) != 4) std::abort();
      close(fd);
    }
    close(folderFd);
    utimensat(AT_FDCWD, folder.c_str(), times, 0);
  }
}

bool IsEmptyFolder(const std::string& Folder) { return fs::exists(Folder) && fs::is_empty(Folder); }

// The plainest removal: one thread, getdents64 and unlinkat, no stat, no checks.
void RemoveTreeAt(int ParentFd, const char* Name) {
  const int fd = openat(ParentFd, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  alignas(8) char buffer[32768];
  while (true) {
    const long bytes = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (bytes <= 0) break;
    for (long at = 0; at < bytes;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      if (entry->d_type == DT_DIR)
        RemoveTreeAt(fd, name);
      else
        unlinkat(fd, name, 0);
    }
  }
  close(fd);
  unlinkat(ParentFd, Name, AT_REMOVEDIR);
}

// Each entry of Root removed by Remove(RootFd, Name).
void ForEachEntry(const std::string& Root, const std::function<void(int, const char*)>& Remove) {
  const int rootFd = open(Root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fdopendir(rootFd);
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  for (const std::string& name : names) Remove(rootFd, name.c_str());
  closedir(dir);
}

// The removal's own walk, on this thread, as a Run removes a folder due whole.
uint64_t RemoveWithTreeRemover(const std::string& Root, bool Count) {
  uint64_t freed = 0;
  ForEachEntry(Root, [&](int RootFd, const char* Name) {
    struct statx info;
    statx(RootFd, Name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME, &info);
    TTreeRemoval tree;
    tree.CountFreed = Count;
    RemoveFoundEntryForGood(RootFd, Name, FoundEntryOf(info, ekFolder), false, &tree);
    freed += tree.Freed;
  });
  return freed;
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values.empty() ? 0 : Values[Values.size() / 2];
}

struct TSeries {
  const char* Name;
  std::function<bool()> Run;  // false: it failed
  std::vector<double> Seconds = {};
  bool Wrong = false;         // failed, or left something in the tree
};

void PrintLoad(const char* When) {
  double load[3] = {};
  if (getloadavg(load, 3) == 3) std::printf("  load average %s: %.2f %.2f %.2f\n", When, load[0], load[1], load[2]);
}

void BenchFolders(const std::string& Base, long Folders, long Files, int Rounds) {
  const std::string home = Base + "/home", tree = Base + "/tree", pattern = Base + "/folders.rmp";
  WriteText(home + "/.config/Quillmoor/Brisko/Brisko.ini", "[Log]\r\nSave=1\r\n");
  WriteText(pattern, "[Schedule0]\r\nLocation=" + tree + "\r\nMask=*\r\nLapsedDays=M+7\r\nAttribute=D\r\nOption=T\r\n");
  const std::vector<std::string> env = {"HOME=" + home};
  uint64_t counted = 0;
  std::vector<TSeries> series = {
      {"C loop, 1 thread, no stat", [&] { return ForEachEntry(tree, RemoveTreeAt), true; }},
      {"find -exec rm -rf {} +",
       [&] { return Spawn({"find", tree, "-mindepth", "1", "-maxdepth", "1", "-exec", "rm", "-rf", "{}", "+"}, {}) == 0; }},
      {"brisko -R (no display)", [&] { return Spawn({BriskoBinary(), "-R", pattern}, env) == 0; }},
      {"tree walk, 1 thread", [&] { return RemoveWithTreeRemover(tree, false), true; }},
      {"tree walk, 1 thread, counting", [&] { return (counted = RemoveWithTreeRemover(tree, true)) > 0; }},
  };
  std::printf("%ld folders x %ld files in %s (%d rounds):\n", Folders, Files, Base.c_str(), Rounds);
  PrintLoad("before");
  for (int round = 0; round < Rounds; ++round) {
    for (TSeries& s : series) {
      Populate(tree, Folders, Files);
      sync();
      const auto start = std::chrono::steady_clock::now();
      const bool ok = s.Run();
      s.Seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      s.Wrong |= !ok || !IsEmptyFolder(tree);
    }
  }
  PrintLoad("after");
  fs::remove_all(tree);
  const double loop = Median(series[0].Seconds);
  for (const TSeries& s : series)
    std::printf("  %-32s median %7.3f s  ratio to the C loop %.2f%s\n", s.Name, Median(s.Seconds),
                Median(s.Seconds) / loop, s.Wrong ? "  WRONG RESULT" : "");
  std::printf("  counting costs the tree walk %+.1f %%; it counted %llu bytes\n",
              100.0 * (Median(series[4].Seconds) / Median(series[3].Seconds) - 1),
              static_cast<unsigned long long>(counted));
}

}  // namespace

int main(int argc, char** argv) {
  const long folders = argc > 1 ? std::atol(argv[1]) : 1000;
  const long files = argc > 2 ? std::atol(argv[2]) : 100;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  std::vector<std::string> bases;
  for (int i = 4; i < argc; ++i) bases.push_back(argv[i]);
  if (bases.empty()) bases = {"/var/tmp", "/dev/shm"};
  std::printf("brisko removes up to %u folders at once on this machine (%u hardware threads)\n",
              TFolderRemovals::DefaultThreads(), std::thread::hardware_concurrency());
  for (const std::string& where : bases) {
    const std::string base = where + "/brisko-folders-" + std::to_string(getpid());
    BenchFolders(base, folders, files, rounds);
    fs::remove_all(base);
  }
}
