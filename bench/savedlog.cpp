// View > Log File on a saved log as large as the line limit allows (32,767 lines)
// and on one of a million lines: the window's own command, on Qt's offscreen
// platform, from reading the file to the log view painted with its last lines.
//
//   bench_savedlog [lines ...] [--folder DIR]   (defaults 32767 1000000, /dev/shm)
//
// Prints, per file, its size, the wall and CPU time of the command and the wall time
// of the first paint after it, and the window's resident size before and after.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/BRISK_Main.h"
#include "app/LogView.h"

namespace {

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Result lines as a run writes them, each naming another entry.
std::string WriteLog(const std::string& Folder, long Lines) {
  const std::string name = Folder + "/bench_savedlog_" + std::to_string(Lines) + ".log";
  std::ofstream out(name, std::ios::binary);
  char line[160];
  for (long i = 0; i < Lines; ++i) {
    const int length = std::snprintf(line, sizeof line, "2026/12/09 03:%02ld:%02ld RM 0x%04lx /home/ann/.cache/thumbnails/large/f%07ld.png\r\n",
                                      i / 60 % 60, i % 60, i % 7 == 0 ? 13L : 0L, i);
    out.write(line, length);
  }
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  std::string folder = "/dev/shm";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) folder = argv[++i];
    else sizes.push_back(std::atol(argv[i]));
  }
  if (sizes.empty()) sizes = {32767, 1000000};
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Settings of its own: the user's log settings are neither read nor written.
  const std::string home = folder + "/bench_savedlog_home";
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
  QApplication app(argc, argv);
  TMainForm form({});
  form.resize(800, 600);
  form.show();
  app.processEvents();
  for (const long lines : sizes) {
    const std::string file = WriteLog(folder, lines);
    const long before = ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = CpuMs();
    form.ShowLogFile(file);
    const double command = clock.nsecsElapsed() / 1e6, cpu = CpuMs() - cpuStart;
    clock.restart();
    form.LogView->repaint();
    const double paint = clock.nsecsElapsed() / 1e6;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::printf("%ld lines (%.1f MiB): command %.1f ms (CPU %.1f ms), first paint %.1f ms; resident %.1f -> %.1f MiB; view holds %zu lines\n",
                lines, double(in.tellg()) / (1 << 20), command, cpu, paint, before / 1024.0, ResidentKiB() / 1024.0,
                form.LogView->Lines().Size());
    std::remove(file.c_str());
  }
  std::filesystem::remove_all(home);
  return 0;
}
