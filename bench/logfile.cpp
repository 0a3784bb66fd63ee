// Trims a log file of a gigabyte to its newest 256 lines, and a file that is one
// line of 256 MB, and shows that memory follows the line limit, not the file.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/LogFile.h"
#include "support/TestSupport.h"

namespace {

long PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void WriteRepeated(const std::string& FileName, const std::string& Piece, size_t Bytes) {
  const int handle = open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string block;
  while (block.size() < (1u << 20)) block += Piece;
  for (size_t done = 0; done < Bytes; done += block.size())
    if (write(handle, block.data(), block.size()) < 0) break;
  close(handle);
}

void Trim(const char* Label, const std::string& FileName, int Linage) {
  const auto size = std::filesystem::file_size(FileName);
  const long before = PeakRssMb();
  const auto start = std::chrono::steady_clock::now();
  SaveLogFile(FileName, {"2024/05/10 15:30:00 RM 0x0000 /home/user/new"}, Linage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-28s %llu MB -> %llu bytes in %.2f s; peak memory %ld MB (before %ld MB)\n", Label,
              static_cast<unsigned long long>(size >> 20),
              static_cast<unsigned long long>(std::filesystem::file_size(FileName)), seconds, PeakRssMb(), before);
}

}  // namespace

int main() {
  TTempDir dir;
  WriteRepeated(dir / "lines.log", "2024/05/10 15:30:00 RM 0x0000 /home/user/tmp/file.tmp\r\n", size_t(1) << 30);
  Trim("1 GB of lines, limit 256", dir / "lines.log", 256);
  WriteRepeated(dir / "oneline.log", std::string(1024, 'x'), size_t(256) << 20);
  Trim("one 256 MB line, limit 256", dir / "oneline.log", 256);
  return 0;
}
