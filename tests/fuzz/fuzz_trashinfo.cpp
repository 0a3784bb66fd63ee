// Feeds arbitrary bytes to the .trashinfo reader, also as the values of a record and
// as an over-long line: any record, however malformed,
// must give a defined answer without a crash or undefined behaviour, and what it
// answers must be consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Trash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view input(reinterpret_cast<const char*>(Data), Size);
  const auto info = ParseTrashInfo(input);
  if (info && info->Path.find('\0') != std::string::npos) std::abort();

  // The date reader on its own, and the percent-coding round trip.
  const auto date = ParseTrashDate(input);
  if (date) {
    const TDateFields f = DecodeDateTime(*date);
    if (f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Day > 31 || f.Hour > 23) std::abort();
  }
  if (DecodeTrashPath(EncodeTrashPath(input)) != input) std::abort();
  (void)DecodeTrashPath(input);

  // The input as the values of a record, NUL bytes and control characters included,
  // and as a line longer than any record that is read (64 KiB).
  const std::string record = "[Trash Info]\nPath=" + std::string(input) + "\nDeletionDate=" + std::string(input) + "\n";
  const auto values = ParseTrashInfo(record);
  if (!values || values->Path.find('\0') != std::string::npos) std::abort();
  // A value without line breaks, "%" or NUL comes back as written, blanks trimmed.
  if (input.find_first_of(std::string_view("\n%\0", 3)) == std::string_view::npos) {
    std::string_view trimmed = input;
    while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t' || trimmed.front() == '\r'))
      trimmed.remove_prefix(1);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t' || trimmed.back() == '\r'))
      trimmed.remove_suffix(1);
    if (values->Path != trimmed) std::abort();
  }
  std::string longLine = "[Trash Info]\nPath=/";
  while (longLine.size() < 70 * 1024) longLine.append(input.empty() ? std::string_view("x") : input);
  const auto longValues = ParseTrashInfo(longLine);
  if (!longValues || longValues->Path.find('\0') != std::string::npos) std::abort();
  return 0;
}
