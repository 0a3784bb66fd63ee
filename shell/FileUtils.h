#pragma once
// File masks and file times: which names a deletion item takes and spares, and the
// local date-time of a file time for the age test.
#include <sys/stat.h>

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

// Attribute bits of a listed entry.
enum : uint32_t { faReadOnly = 1, faHidden = 2, faSysFile = 4, faDirectory = 16, faArchive = 32 };

// One entry of a folder listing: its name as the file system gives it, and its bits.
struct TSearchRec {
  std::string Name;
  uint32_t Attr = 0;
};

bool IsDirectoryEntry(const TSearchRec& Entry);

// A UTC file time (seconds and nanoseconds since the Unix epoch) as a local
// date-time, shifted by the offset in effect now; the part below a millisecond is dropped.
TDateTime FileTimeToLocalDateTime(int64_t Seconds, int64_t Nanoseconds);
TDateTime FileTimeToLocalDateTime(const struct statx_timestamp& Time);

// One mask, parsed once. A mask that does not parse keeps its fault and raises it
// (EBriskoError) when it is first tested, so that a faulty mask after a matching
// one in a list goes unnoticed.
class TMask {
public:
  explicit TMask(std::string_view Mask);
  // Name in UTF-16 code units (Utf8ToUtf16Lossy).
  bool Matches(std::u16string_view Name) const;

private:
  enum TKind : uint8_t { mkLiteral, mkAny, mkSet, mkEnd };
  struct TElement {
    TKind Kind;
    bool SkipTo;     // a "*" stands before this element
    bool Negate;     // a set opened with "!"
    char16_t Literal;
    uint16_t SetIndex;
  };
  bool ElementMatches(const TElement& Element, char16_t C) const;
  void Fail(size_t Position);

  std::string FText;
  std::vector<TElement> FElements;  // ends with one mkEnd
  bool FLiteralTail = false;         // "*" and then literal characters only
  std::vector<std::bitset<256>> FSets;
  size_t FFaultPosition = 0;        // 1-based; 0 when the mask is sound
};

// A ";"-separated mask list, parsed once.
class TMaskList {
public:
  explicit TMaskList(std::string_view Masks);
  bool Matches(std::u16string_view Name) const;

private:
  std::vector<TMask> FMasks;
};

// An include list and an exclude list, parsed once: the sweep tests every entry of
// a folder against the same pair.
class TMaskFilter {
public:
  TMaskFilter(std::string_view Includes, std::string_view Excludes);
  bool Matches(std::u16string_view Name) const;
  bool Matches(std::string_view Utf8Name) const;

private:
  TMaskList FIncludes;
  TMaskList FExcludes;
};

bool MatchesOneMask(std::string_view FileName, std::string_view Mask);
bool MatchesMaskList(std::string_view FileName, std::string_view Masks);
bool MatchesMasks(std::string_view FileName, std::string_view Includes, std::string_view Excludes);
