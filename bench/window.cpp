// A Test in the window, as the program builds it (the same main window, worker and
// log view as `brisko`), on Qt's offscreen platform, against `brisko --test` of the
// same pattern without a window.
//
//   bench_window [entries] [base-folder]   (defaults 100000, /dev/shm)
//
// Prints the wall time of both and their ratio; the longest gap between two turns of
// the window's event loop while the lines stream (a 5 ms timer that records its own
// lateness), with the processor time the window's thread had in it, and the longest
// run of the window's thread between two turns; the window's resident size idle and at its peak, against the bytes of
// the lines' text.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/BRISK_Main.h"
#include "app/LogView.h"

namespace {

int64_t ThreadCpuNs() {
  struct timespec ts {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

namespace fs = std::filesystem;

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double HeadlessTestSeconds(const std::string& Pattern, const std::string& Home) {
  const std::string program = (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "brisko").string();
  const std::string home = "HOME=" + Home;
  char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--test"), const_cast<char*>(Pattern.c_str()),
                  nullptr};
  char* envp[] = {const_cast<char*>("PATH=/usr/bin:/bin"), const_cast<char*>(home.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  QElapsedTimer clock;
  clock.start();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const long entries = argc > 1 ? std::atol(argv[1]) : 100000;
  const std::string base = std::string(argc > 2 ? argv[2] : "/dev/shm") + "/brisko-window-" + std::to_string(getpid());
  const std::string folder = base + "/f", home = base + "/home", pattern = base + "/test.rmp";
  fs::create_directories(folder);
  fs::create_directories(home);
  char name[32];
  for (long i = 0; i < entries; ++i) {
    std::snprintf(name, sizeof name, "/f%07ld.tmp", i);
    close(open((folder + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  }
  std::ofstream(pattern) << "[Schedule0]\r\nLocation=" << folder << "\r\nMask=*.tmp\r\nLapsedDays=M+0\r\n";
  setenv("HOME", home.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  const double headless = HeadlessTestSeconds(pattern, home);

  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  TMainForm form({pattern});
  form.show();
  QApplication::processEvents();
  const long idle = ResidentKiB();

  // The gap in wall time, and what the window's own thread ran in the longest one: on
  // a loaded machine a gap may be the scheduler's, not the window's work.
  qint64 longestGapNs = 0, longestGapCpuNs = 0, longestCpuNs = 0;
  QElapsedTimer sinceTurn;
  int64_t cpuAtTurn = ThreadCpuNs();
  QTimer lateness;
  lateness.setInterval(5);
  QObject::connect(&lateness, &QTimer::timeout, [&] {
    const qint64 gap = sinceTurn.nsecsElapsed();
    const int64_t cpu = ThreadCpuNs() - cpuAtTurn;
    if (gap > longestGapNs) longestGapNs = gap, longestGapCpuNs = cpu;
    longestCpuNs = std::max<qint64>(longestCpuNs, cpu);
    sinceTurn.restart();
    cpuAtTurn = ThreadCpuNs();
  });
  QElapsedTimer clock;
  QObject::connect(&form, &TMainForm::WorkerEnded, &app, [&] {
    const double window = clock.nsecsElapsed() / 1e9;
    lateness.stop();
    size_t bytes = 0;
    const TLogLines& lines = form.LogView->Lines();
    for (size_t i = 0; i < lines.Size(); ++i) bytes += lines[i].size();
    const long peak = PeakKiB();
    std::printf("Test of %zu entries in %s:\n", lines.Size(), base.c_str());
    std::printf("  window (offscreen)   %8.3f s\n", window);
    std::printf("  brisko --test        %8.3f s   window / headless %.2f\n", headless, window / headless);
    std::printf("  longest event-loop gap while streaming: %.1f ms (timer of 5 ms), the window's thread ran %.1f ms of it;\n"
                "  longest the window's thread ran between two turns: %.1f ms\n",
                longestGapNs / 1e6 - 5, longestGapCpuNs / 1e6, longestCpuNs / 1e6);
    std::printf("  resident: idle %.1f MiB, peak %.1f MiB; lines' text %.1f MiB; (peak - idle) / text %.2f\n",
                idle / 1024.0, peak / 1024.0, bytes / 1048576.0, double(peak - idle) * 1024 / double(bytes));
    app.quit();
  });
  QTimer::singleShot(0, &form, [&] {
    form.PatternView->selectAll();
    sinceTurn.start();
    lateness.start();
    clock.start();
    form.DeleteTestMnu->trigger();
  });
  app.exec();
  fs::remove_all(base);
}
