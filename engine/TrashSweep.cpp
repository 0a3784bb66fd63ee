#include "engine/TrashSweep.h"

#include "platform/Trash.h"
#include "shell/FileUtils.h"
#include "shell/ShellTypes.h"

namespace {

TTrashEntry EntryOf(TTrashRecord&& Record) {
  TTrashEntry entry;
  entry.InfoPath = std::move(Record.InfoPath);
  entry.FilesPath = std::move(Record.StoredPath);
  entry.OriginalPath = std::move(Record.OriginalPath);
  entry.HasDeletionDate = Record.DeletionDate.has_value();
  if (entry.HasDeletionDate) entry.DeletionDate = *Record.DeletionDate;
  return entry;
}

}  // namespace

void SweepTrash(const TRunSettings& Settings, TTrashEnumerator& Trash, const std::stop_token& Stop,
                const TTrashEntrySink& Due) {
  const TMaskFilter filter(Settings.FIncludes, Settings.FExcludes);
  TTrashRecord record;
  // Only a due record's stored entry is looked at: most records are judged by their
  // date alone.
  while (!Stop.stop_requested() && Trash.Next(record, false)) {
    const TFoundEntry judged = record.Record;
    const bool dated = record.DeletionDate.has_value();
    const TDateTime date = dated ? *record.DeletionDate : TDateTime{};
    const TTrashEntry entry = EntryOf(std::move(record));
    const std::string inFolderName = GetInFolderName(entry);
    if (!filter.Matches(std::string_view(inFolderName))) continue;
    // A record without a readable date counts as trashed just now: never due for a
    // positive day count, always for a negative one.
    if (Settings.FLapsedTime < (dated ? date : Now())) continue;
    record.StoredPath = entry.FilesPath;
    if (!Trash.IdentifyStored(record)) continue;
    Due({GetParsingName(entry), inFolderName, record.Stored, judged, &record.StoredStatus});
  }
}

std::string TrashEntryText(std::string_view ParsingName, std::string_view InFolderName) {
  const size_t slash = ParsingName.rfind('/');
  std::string text(slash == std::string_view::npos ? std::string_view() : ParsingName.substr(0, slash + 1));
  if (text.empty() || text.back() != '/') text += '/';
  text += InFolderName;
  return text;
}
