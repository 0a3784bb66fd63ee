#pragma once
// What the code of a result line means, in the user's language. A code is the errno
// value that stopped the entry's removal (0: done); the common ones are worded here,
// any other by the C library.
#include <QString>
#include <optional>
#include <string_view>

// The reason for Code; empty for 0.
QString ResultCodeText(int Code);

// The code of a result line ("yyyy/mm/dd hh:nn:ss MARK 0xCODE ENTRY"); none when
// the line is not one.
std::optional<int> ResultLineCode(std::string_view Line);

// Whether a line with this code tells of an entry that could not be removed: an
// entry already gone (ENOENT) is none, as the run's summary counts.
bool IsFailureCode(int Code);
