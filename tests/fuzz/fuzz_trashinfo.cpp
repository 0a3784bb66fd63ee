// Feeds arbitrary bytes to the .trashinfo reader: any record, however malformed,
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
  return 0;
}
