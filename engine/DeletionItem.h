#pragma once
// A deletion item is nothing but six texts; the same six stand in a row of the
// pattern list, in a section of a pattern file and in the item editor.
#include <array>
#include <string>

enum TItemText : int {
  itLocation = 0,    // target folder, or the trash location text
  itMask = 1,        // include mask list
  itExcept = 2,      // exclude mask list
  itLapsedDays = 3,  // base-date letter, separator, day count ("A+7")
  itAttribute = 4,   // attribute letters R H S D A
  itOption = 5,      // option letters T O I U B
};

using TItemTexts = std::array<std::string, 6>;
