// Saves and loads a pattern of 10,000 items in each encoding the store keeps, and
// reads a worst-case file (the largest the store accepts, one tiny section per
// line) to show the memory that costs.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/AppData.h"
#include "app/PatternFile.h"
#include "support/TestSupport.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

long PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

std::vector<TItemTexts> MakeItems(size_t Count) {
  std::vector<TItemTexts> items;
  for (size_t i = 0; i < Count; ++i)
    items.push_back({"/home/user/作業フォルダ/" + std::to_string(i), "*.tmp;*.bak;ログ*.txt", "*.keep",
                     "M+" + std::to_string(i % 365), "HS", "TB"});
  return items;
}

void Measure(const char* Label, const std::string& FileName, const std::string& Seed,
             const std::vector<TItemTexts>& Items) {
  if (!Seed.empty()) WriteFile(FileName, Seed);
  auto start = std::chrono::steady_clock::now();
  SavePattern(FileName, Items);
  const double save = Seconds(start);
  start = std::chrono::steady_clock::now();
  const std::vector<TItemTexts> loaded = LoadPattern(FileName);
  const double load = Seconds(start);
  start = std::chrono::steady_clock::now();
  SavePattern(FileName, Items);  // over a file of the same size: every section erased and rewritten
  const double resave = Seconds(start);
  std::printf("%-22s items %zu  save %.3f s  load %.3f s  save over it %.3f s  file %zu bytes  %s\n", Label,
              loaded.size(), save, load, resave, ReadFile(FileName).size(), loaded == Items ? "same" : "DIFFERENT");
}

}  // namespace

int main() {
  TTempDir dir;
  const std::vector<TItemTexts> items = MakeItems(10000);
  Measure("UTF-8 (new file)", dir / "utf8.rmp", "", items);
  Measure("UTF-16LE with mark", dir / "utf16.rmp", std::string("\xFF\xFE;\0\r\0\n\0", 8), items);
  Measure("code page 932", dir / "cp932.rmp", "; \x83\x65\x83\x58\x83\x67\r\n", items);

  std::string hostile;
  for (size_t i = 0; hostile.size() + 16 < (size_t(8) << 20); ++i) hostile += "[" + std::to_string(i) + "]\n";
  WriteFile(dir / "hostile.ini", hostile);
  const long before = PeakRssMb();
  const auto start = std::chrono::steady_clock::now();
  TAppIniFile ini(dir / "hostile.ini");
  const size_t sections = ini.ReadSections().size();
  std::printf("worst case %zu bytes: %zu sections read in %.3f s, peak memory %ld MB (before %ld MB)\n",
              hostile.size(), sections, Seconds(start), PeakRssMb(), before);
  return 0;
}
