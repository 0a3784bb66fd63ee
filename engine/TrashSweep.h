#pragma once
// The trash sweep's collect step and its result-line text, apart from the worker so
// that they can be driven over trash folders of a test's own.
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/DeletionItem.h"
#include "platform/Removal.h"

class TTrashEnumerator;

// One due trash entry: its parsing name, its in-folder name, and what was judged of
// its stored entry and its record (identities with change times).
struct TDueTrashEntry {
  std::string_view ParsingName;
  std::string_view InFolderName;
  TFoundEntry Stored;
  TFoundEntry Record;
  const struct statx* StoredStatus = nullptr;  // the stored entry's type, links and blocks
};
using TTrashEntrySink = std::function<void(const TDueTrashEntry& Entry)>;

// Hands to Due the due entries of Trash, in enumeration order: the in-folder name
// matches an include mask and no exclude mask (no "." or ".." is added to the
// exclusions), and the deletion date is not later than the cutoff. An entry without a deletion date is dated now. The base-date,
// attribute and option letters play no part. Stop is checked before each entry.
// Raises EBriskoError for a malformed mask, before any entry is read.
void SweepTrash(const TRunSettings& Settings, TTrashEnumerator& Trash, const std::stop_token& Stop,
                const TTrashEntrySink& Due);

// The entry text of a trash entry's result line: the folder part of the parsing name
// (up to and including its last "/") joined with the in-folder name, "/" inserted
// unless the folder part ends in one. It is where the stored entry lies, under the
// name it had before it was trashed.
std::string TrashEntryText(std::string_view ParsingName, std::string_view InFolderName);
