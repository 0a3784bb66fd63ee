#pragma once
// A deletion item is nothing but six texts; the same six stand in a row of the
// pattern list, in a section of a pattern file and in the item editor.
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/BriskoError.h"
#include "platform/DateTime.h"

enum TItemText : int {
  itLocation = 0,    // target folder, or the trash location text
  itMask = 1,        // include mask list
  itExcept = 2,      // exclude mask list
  itLapsedDays = 3,  // base-date letter, separator, day count ("A+7")
  itAttribute = 4,   // attribute letters R H S D A
  itOption = 5,      // option letters T O I U B
};

using TItemTexts = std::array<std::string, 6>;

// Option flags indexed by a character's code point; characters above U+00FF set none.
using TOptionSet = std::bitset<256>;

// The run settings that a row's texts parse into.
struct TRunSettings {
  std::string FLocation;
  std::string FIncludes;
  std::string FExcludes;
  char16_t FBaseDate = 0;     // "C", "M", "A" or "D"; any other means no age limit
  TDateTime FLapsedTime{};    // cutoff: an entry whose time is not later is due
  int32_t FAttrib = 0;        // R 1, H 2, S 4, D 16, A 32, summed per letter
  TOptionSet FOption;

  bool HasOption(char Letter) const { return FOption.test(static_cast<unsigned char>(Letter)); }
};

// Why a Location text cannot be swept, judged from the text alone.
enum TLocationFault : int { lfNone = 0, lfRelative, lfWindowsPath, lfRoot };
TLocationFault LocationFault(const std::string& Location);

// The error that refuses a Location for Fault (not lfNone), as the run raises it.
EBriskoError LocationFaultError(const std::string& Location, TLocationFault Fault);

// The most UTF-16 code units of a text that a pattern file gives back; a longer one
// would come back cut (app/AppData reads values as the Windows profile functions do).
constexpr size_t MaxStoredTextUnits = 2047;

// Why a text, written to a pattern file, would not read back as itself: the reader
// stops a value at a NUL or a line break, drops the blanks around it and one pair of
// enclosing quotes, and gives back at most MaxStoredTextUnits. The item editor
// refuses such a text and saving refuses to write it, so that what a Test in the
// window uses is what a scheduled run reads.
enum TStoredTextFault : int { sfNone = 0, sfNul, sfLineBreak, sfBlankEnds, sfQuoted, sfTooLong };
TStoredTextFault StoredTextFault(std::string_view Text);

// The length of Text in UTF-16 code units as the pattern reader counts them: by
// each character's first byte, so that a byte that is not UTF-8 counts as one.
size_t StoredTextUnits(std::string_view Text);

// The run settings of a row's texts, the cutoff counted back from Moment (the local
// date-time of parsing). Raises EBriskoError when the day count is not a whole number.
TRunSettings ParseRunSettings(const TItemTexts& Texts, TDateTime Moment);
