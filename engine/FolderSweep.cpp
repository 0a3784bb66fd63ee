#include "engine/FolderSweep.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "engine/FreedSpace.h"
#include "platform/BriskoError.h"
#include "platform/FileHandle.h"
#include "platform/Paths.h"
#include "platform/Removal.h"
#include "platform/TextCodec.h"
#include "platform/TrustedPath.h"
#include "shell/FileUtils.h"
#include "shell/ShellLink.h"

namespace {

constexpr uint32_t ListingBits = faHidden | faSysFile | faDirectory;

struct TDirCloser {
  void operator()(DIR* Dir) const { closedir(Dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

// The attribute bits that decide the listing, from the entry's type and name.
uint32_t ListingAttributes(unsigned char Type, const char* Name) {
  uint32_t attr = 0;
  if (Type == DT_DIR) attr |= faDirectory;
  if (Type == DT_REG) attr |= faArchive;
  if (Type != DT_DIR && Type != DT_REG && Type != DT_LNK) attr |= faSysFile;
  if (Name[0] == '.' && !IsDotOrDotDot(Name)) attr |= faHidden;
  return attr;
}

enum TFolderState { fsEmpty, fsNotEmpty, fsUnknown };

// Whether the folder Name inside DirFd holds anything besides "." and "..". A link
// is never followed; a folder that vanished or cannot be read is unknown.
TFolderState FolderState(int DirFd, const char* Name) {
  // Reading the folder would set its access time, which a later row may judge.
  const int fd = OpenLeavingAccessTime(DirFd, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) return fsUnknown;
  const TDirHandle dir(fdopendir(fd));
  if (!dir) {
    close(fd);
    return fsUnknown;
  }
  errno = 0;
  while (const dirent* e = readdir(dir.get()))
    if (!IsDotOrDotDot(e->d_name)) return fsNotEmpty;
  return errno == 0 ? fsEmpty : fsUnknown;
}

// One listed entry, examined (statx on the entry itself) at most once and only when asked,
// or looked at ahead of its judging, as a batch of entries is.
class TEntry {
public:
  // TimeFields: the statx time fields the age test needs.
  TEntry(int DirFd, const char* Name, unsigned char Type, unsigned TimeFields)
      : FDirFd(DirFd), FName(Name), FType(Type), FTimeFields(TimeFields) {}
  int DirFd() const { return FDirFd; }
  const char* Name() const { return FName; }
  bool TypeKnown() const { return FType != DT_UNKNOWN; }
  unsigned char Type() const { return FType; }

  // The look itself; it touches nothing but this entry, so entries of a batch may be
  // looked at on several threads at once.
  void Look() {
    FLooked = true;
    FFound = statx(FDirFd, FName, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                   STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME | STATX_SIZE | STATX_NLINK |
                       STATX_BLOCKS | FTimeFields,
                   &FStat) == 0;
  }

  // False when the entry cannot be examined (it vanished since the listing) or is no
  // longer of the type the listing gave: the listing rule was applied to that type,
  // and a file swapped for a folder in between must not be taken as a folder.
  bool Examine() {
    if (FExamined) return FSameType;
    if (!FLooked) Look();
    if (!FFound) return false;
    FExamined = true;
    const unsigned char type = IFTODT(FStat.stx_mode);
    FSameType = FType == DT_UNKNOWN || FType == type;
    if (FType == DT_UNKNOWN) FType = type;
    return FSameType;
  }
  // The creation time where the file system records one, else the change time:
  // never earlier than creation, so an entry never becomes due too early.
  const statx_timestamp& CreationTime() const {
    return (FStat.stx_mask & STATX_BTIME) ? FStat.stx_btime : FStat.stx_ctime;
  }
  const statx_timestamp& AccessTime() const { return FStat.stx_atime; }
  const struct statx& Stat() const { return FStat; }
  const statx_timestamp& WriteTime() const { return FStat.stx_mtime; }

private:
  int FDirFd;
  const char* FName;
  unsigned char FType;
  unsigned FTimeFields;
  bool FLooked = false;
  bool FFound = false;
  bool FExamined = false;
  bool FSameType = false;
  struct statx FStat {};
};

// Entries are listed and their names judged a batch at a time; the entries whose names
// pass are then looked at on two threads where the machine has two processors, since
// the look (a system call per entry) is most of a sweep's time.
constexpr size_t SweepBatch = 4096;
constexpr size_t ParallelLookFrom = 128;

void LookAt(std::vector<TEntry>& Entries) {
  if (Entries.size() < ParallelLookFrom || std::thread::hardware_concurrency() < 2) {
    for (TEntry& entry : Entries) entry.Look();
    return;
  }
  const size_t half = Entries.size() / 2;
  std::thread second([&] {
    for (size_t i = half; i < Entries.size(); ++i) Entries[i].Look();
  });
  for (size_t i = 0; i < half; ++i) Entries[i].Look();
  second.join();
}

// Whether Fd is the root folder under any name: a bind mount of "/" or a link to it
// has the root's device and inode, whatever its path text says.
bool IsRootFolder(int Fd) {
  struct stat folder, root;
  if (fstat(Fd, &folder) != 0 || stat("/", &root) != 0) return true;
  return folder.st_dev == root.st_dev && folder.st_ino == root.st_ino;
}

// The Location opened for listing; an invalid handle when it cannot be listed.
// Raises EBriskoError for a Location that must not be swept at all.
TFd OpenLocation(const std::string& Location) {
  // No text names no folder; the worker skips such rows before they get here.
  if (Location.empty()) return TFd();
  if (const TLocationFault fault = LocationFault(Location); fault != lfNone)
    throw LocationFaultError(Location, fault);
  TFd fd;
  TResolvedPath resolved;
  // Listing a folder sets its access time, which a row over its parent may judge.
  const int error = OpenTrustedPath(Location, O_RDONLY | O_DIRECTORY | O_NOATIME, fd, resolved);
  if (error == EPERM && !resolved.UntrustedLink.empty())
    throw EBriskoError(eiUntrustedLink, {EscapeBytes(Location), EscapeBytes(resolved.UntrustedLink)});
  if (error == 0 && IsRootFolder(fd.Get())) throw LocationFaultError(Location, lfRoot);
  return fd;
}

class TFolderSweep {
public:
  TFolderSweep(const TRunSettings& Settings, TReservation& List)
      : FSettings(Settings),
        FList(List),
        FFilter(Settings.FIncludes, Settings.FExcludes.empty() ? std::string(".;..") : ".;..;" + Settings.FExcludes),
        FSearchAttr(static_cast<uint32_t>(Settings.FAttrib) | (Settings.HasOption('T') ? uint32_t{faDirectory} : 0u)),
        FTimeFields(Settings.FBaseDate == u'A'   ? STATX_ATIME
                    : Settings.FBaseDate == u'C' ? STATX_BTIME | STATX_CTIME
                    : Settings.FBaseDate == u'M' ? STATX_MTIME
                                                 : 0) {}

  TSweptFolder Run(const std::stop_token& Stop, const TListedHook& Listed) {
    TFd location = OpenLocation(FSettings.FLocation);
    if (!location.Valid()) return {};
    struct stat st;
    if (fstat(location.Get(), &st) != 0) return {};
    const int fd = location.Get();
    const TDirHandle dir(fdopendir(fd));
    if (!dir) return {};
    location.Release();
    std::string names;
    std::vector<std::pair<size_t, unsigned char>> listed;  // where each name lies in names, its type
    std::vector<TEntry> batch;
    for (bool more = true; more && !Stop.stop_requested();) {
      names.clear();
      listed.clear();
      while (listed.size() < SweepBatch && !Stop.stop_requested()) {
        const dirent* e = readdir(dir.get());
        if (!e) {
          more = false;
          break;
        }
        if (Listed) Listed(fd, e->d_name);
        if (!NamePasses(e->d_name, e->d_type)) continue;
        listed.emplace_back(names.size(), e->d_type);
        names.append(e->d_name, std::strlen(e->d_name) + 1);
      }
      batch.clear();
      for (const auto& [at, type] : listed) batch.emplace_back(fd, names.data() + at, type, FTimeFields);
      // A due entry is examined in any case (the remove pass needs what it was), and
      // nearly every entry whose name passes is looked at to be judged.
      LookAt(batch);
      for (TEntry& entry : batch) {
        if (Stop.stop_requested()) break;
        if (IsDue(entry) && entry.Examine()) FList.Append(FFolderText, entry.Name(), FoundEntry(entry), SpaceOf(entry));
      }
    }
    return {st.st_dev, st.st_ino};
  }

private:
  // A folder listed under "O" was due because it was empty, and may go only as such.
  TFoundEntry FoundEntry(const TEntry& Entry) const {
    TEntryKind kind = ekNonFolder;
    if (Entry.Type() == DT_DIR) kind = FSettings.HasOption('O') ? ekEmptyFolder : ekFolder;
    return FoundEntryOf(Entry.Stat(), kind);
  }

  // What removing the entry frees, as far as its own status tells: a folder counts as
  // itself only. Walking each folder due whole here made a Test with "T" over many
  // folders tens of times slower; a Run counts their content as it removes it.
  uint64_t SpaceOf(const TEntry& Entry) { return FSpace.OfEntry(Entry.DirFd(), Entry.Name(), Entry.Stat(), false); }

  bool Listed(unsigned char Type, const char* Name) const {
    return (ListingAttributes(Type, Name) & ListingBits & ~FSearchAttr) == 0;
  }

  // The listing rule needs the entry's type; a file system that does not give it in
  // the listing makes us examine the entry, but only once its name has passed.
  bool NamePasses(const char* Name, unsigned char Type) {
    if (Type != DT_UNKNOWN && !Listed(Type, Name)) return false;
    Utf8ToUtf16Lossy(Name, FMatchName);
    return FFilter.Matches(FMatchName);
  }

  // Of an entry whose name passed.
  bool IsDue(TEntry& Entry) {
    if (!Entry.TypeKnown() && (!Entry.Examine() || !Listed(Entry.Type(), Entry.Name()))) return false;

    TDateTime date = FSettings.FLapsedTime;
    switch (FSettings.FBaseDate) {
      case u'A':
      case u'C':
      case u'M':
        if (!Entry.Examine()) return false;
        date = FileTimeToLocalDateTime(FSettings.FBaseDate == u'A'   ? Entry.AccessTime()
                                       : FSettings.FBaseDate == u'C' ? Entry.CreationTime()
                                                                     : Entry.WriteTime());
        break;
      default:
        break;
    }
    if (FSettings.HasOption('O') && Entry.Type() == DT_DIR) {
      switch (FolderState(Entry.DirFd(), Entry.Name())) {
        case fsEmpty:
          break;
        case fsNotEmpty:
          date = Now();
          break;
        case fsUnknown:
          return false;
      }
    }
    // Without "I" a shortcut's target changes nothing, so the shortcut is not read.
    // Only a file or a link can be a shortcut: a folder named "*.lnk" is judged as a
    // folder, so that "O" keeps one with content.
    if (FSettings.HasOption('I') && (Entry.Type() == DT_LNK || (Entry.Type() == DT_REG && IsShortcutName(Entry.Name()))))
      ApplyShortcutRule(Entry, date);
    return FSettings.FLapsedTime >= date;
  }

  bool IsShortcutName(const char* Name) {
    Utf8ToUtf16Lossy(Name, FMatchName);
    return FShortcutMask.Matches(FMatchName);
  }

  // A dead shortcut is due at once with "I"; with "U" too, not when its target lies
  // on a removable medium or a CD-ROM, which may simply not be inserted.
  void ApplyShortcutRule(const TEntry& Entry, TDateTime& Date) const {
    const TShortcutTarget target = ReadShortcutTargetAt(Entry.DirFd(), FSettings.FLocation, Entry.Name());
    if (TargetExists(target)) return;
    const TDriveClass drive = GetTargetDriveClass(target);
    if ((drive != dcRemovable && drive != dcCdRom) || !FSettings.HasOption('U')) Date = FSettings.FLapsedTime;
  }

  const TRunSettings& FSettings;
  const std::string FFolderText = JoinPath(FSettings.FLocation, "");
  TReservation& FList;
  const TMaskFilter FFilter;
  std::u16string FMatchName;  // the entry's name for matching, its storage kept from name to name
  const TMask FShortcutMask{"*.lnk"};
  const uint32_t FSearchAttr;
  const unsigned FTimeFields;
  TFreedSpace FSpace;
};

}  // namespace

TSweptFolder SweepFolder(const TRunSettings& Settings, TReservation& List, const std::stop_token& Stop,
                         const TListedHook& Listed) {
  return TFolderSweep(Settings, List).Run(Stop, Listed);
}

int CheckSweptFolder(int Fd, const TSweptFolder& Swept) {
  if (Swept.Ino == 0) return 0;
  struct stat st;
  if (fstat(Fd, &st) != 0) return errno;
  return st.st_dev == Swept.Dev && st.st_ino == Swept.Ino ? 0 : ESTALE;
}

int OpenSweptFolder(const std::string& Folder, const TSweptFolder& Swept, TFd& Fd, std::string& ResolvedPath) {
  TResolvedPath resolved;
  if (const int error = OpenTrustedPath(Folder, O_PATH | O_DIRECTORY, Fd, resolved)) return error;
  ResolvedPath = std::move(resolved.Path);
  return CheckSweptFolder(Fd.Get(), Swept);
}

int OpenSweptFolder(const std::string& Folder, const TSweptFolder& Swept, TFd& Fd) {
  std::string resolved;
  return OpenSweptFolder(Folder, Swept, Fd, resolved);
}
