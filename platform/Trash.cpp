#include "platform/Trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_set>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/Mounts.h"
#include "platform/Paths.h"
#include "platform/Removal.h"
#include "platform/TextCodec.h"

namespace {

constexpr std::string_view InfoSuffix = ".trashinfo";
// A record is a few lines; a path of PATH_MAX bytes, all encoded, is 12 KiB. What
// lies beyond this is not read.
constexpr size_t MaxRecordBytes = 64 * 1024;
// directorysizes holds a line per trashed folder, a few hundred bytes at most each;
// one larger than this is not read, and so never rewritten.
constexpr size_t MaxDirectorySizesBytes = 4 * 1024 * 1024;
// How many stored names are tried when the wanted one is taken.
constexpr int MaxNameAttempts = 1000;
// Room for ".trashinfo" and a ".NNNN" counter within NAME_MAX.
constexpr size_t MaxStoredBaseBytes = 255 - InfoSuffix.size() - 5;

// ---------------------------------------------------------------------------
// Texts of a record

std::string_view Trim(std::string_view Text) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!Text.empty() && isSpace(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && isSpace(Text.back())) Text.remove_suffix(1);
  return Text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

// Reads exactly Count digits at Pos; false when they are not all there.
bool ReadDigits(std::string_view Text, size_t& Pos, size_t Count, int& Value) {
  if (Pos + Count > Text.size()) return false;
  Value = 0;
  for (size_t i = 0; i < Count; ++i) {
    const char c = Text[Pos + i];
    if (c < '0' || c > '9') return false;
    Value = Value * 10 + (c - '0');
  }
  Pos += Count;
  return true;
}

bool Skip(std::string_view Text, size_t& Pos, char c) {
  if (Pos < Text.size() && Text[Pos] == c) {
    ++Pos;
    return true;
  }
  return false;
}

int DaysInMonth(int Year, int Month) {
  static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
  return Month == 2 && leap ? 29 : days[Month - 1];
}

bool FieldsInRange(const TDateFields& f) {
  return f.Month >= 1 && f.Month <= 12 && f.Day >= 1 && f.Day <= DaysInMonth(f.Year, f.Month) && f.Hour <= 23 &&
         f.Minute <= 59 && f.Second <= 60;
}

// "Z", "+hh:mm", "+hhmm" or "+hh" (or "-"); false on anything else.
bool ReadZone(std::string_view Text, size_t& Pos, int64_t& OffsetSeconds) {
  if (Skip(Text, Pos, 'Z') || Skip(Text, Pos, 'z')) {
    OffsetSeconds = 0;
    return true;
  }
  if (Pos >= Text.size() || (Text[Pos] != '+' && Text[Pos] != '-')) return false;
  const int sign = Text[Pos++] == '-' ? -1 : 1;
  int hours = 0, minutes = 0;
  if (!ReadDigits(Text, Pos, 2, hours)) return false;
  if (Pos < Text.size()) {
    Skip(Text, Pos, ':');
    if (!ReadDigits(Text, Pos, 2, minutes)) return false;
  }
  if (hours > 23 || minutes > 59) return false;
  OffsetSeconds = sign * (hours * 3600 + minutes * 60);
  return true;
}

}  // namespace

std::string FormatTrashDate(TDateTime Value) {
  const TDateFields f = DecodeDateTime(Value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", f.Year, f.Month, f.Day, f.Hour, f.Minute,
                f.Second);
  return text;
}

namespace {

// ---------------------------------------------------------------------------
// Files and folders

// A name that stands for exactly one entry of its folder: "." and ".." name the
// folder itself or its parent, and a "/" would reach past the folder.
bool IsEntryName(std::string_view Name) {
  return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string_view::npos;
}

constexpr unsigned IdentityFields = STATX_TYPE | STATX_MODE | STATX_INO | STATX_BTIME | STATX_CTIME | STATX_SIZE;

// Up to Limit bytes of a regular file; false when it is not one or cannot be read.
// Regular, when given, tells the two apart: false when the entry is something else.
// Info, when given, receives the status of the file read (its identity).
bool ReadRegularFileAt(int FolderFd, const char* Name, size_t Limit, std::string& Content, bool* Regular = nullptr,
                       struct statx* Info = nullptr) {
  TFd fd(OpenLeavingAccessTime(FolderFd, Name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
  struct statx st;
  const bool isRegular = fd.Valid() ? statx(fd.Get(), "", AT_EMPTY_PATH, IdentityFields, &st) == 0 && S_ISREG(st.stx_mode)
                                    : errno != ELOOP && errno != ENOENT;
  if (Regular) *Regular = isRegular;
  if (!fd.Valid() || !isRegular) return false;
  if (Info) *Info = st;
  Content.clear();
  char buffer[16 * 1024];
  const size_t expected = static_cast<size_t>(st.stx_size);
  while (Content.size() < Limit) {
    const ssize_t n = read(fd.Get(), buffer, std::min(sizeof buffer, Limit - Content.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    Content.append(buffer, static_cast<size_t>(n));
    // A file that has not grown since fstat is read whole: spare the extra read.
    if (Content.size() == expected) break;
  }
  return true;
}

// A real folder (not a link) owned by the user.
bool IsOwnFolder(const struct stat& St) { return S_ISDIR(St.st_mode) && St.st_uid == geteuid(); }

// Makes Name a folder of Parent (mode 0700) unless it is there; then checks that it
// is a real folder owned by the user and opens it (a path handle, or with O_RDONLY one
// that can be flushed). Answers the errno on failure.
int OpenOrMakeOwnFolder(int ParentFd, const char* Name, TFd& Folder, int OpenMode = O_PATH) {
  if (mkdirat(ParentFd, Name, 0700) != 0 && errno != EEXIST) return errno;
  Folder = TFd(openat(ParentFd, Name, OpenMode | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!Folder.Valid()) return errno == ELOOP ? ENOTDIR : errno;
  struct stat st;
  if (fstat(Folder.Get(), &st) != 0) return errno;
  return IsOwnFolder(st) ? 0 : EACCES;
}

// Creates the missing folders of an absolute path with mode 0700, as the XDG base
// directories are created.
int MakeFoldersFor(const std::string& Path) {
  for (size_t slash = Path.find('/', 1);; slash = Path.find('/', slash + 1)) {
    const std::string prefix = slash == std::string::npos ? Path : Path.substr(0, slash);
    if (!prefix.empty() && mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) return 0;
  }
}

std::string RealPathOf(const std::string& Path) {
  char* real = realpath(Path.c_str(), nullptr);
  if (!real) return {};
  std::string result = real;
  std::free(real);
  return result;
}

// The real path of the nearest existing ancestor of Path (or of Path itself).
std::string RealPathOfNearestExisting(std::string Path) {
  while (true) {
    std::string real = RealPathOf(Path);
    if (!real.empty() || Path == "/" || Path == ".") return real;
    Path = FolderOf(Path);
  }
}

std::string UserIdText() { return std::to_string(geteuid()); }

// ---------------------------------------------------------------------------
// Mounts

bool StartsWithFolder(const std::string& Path, std::string_view Folder) {
  return Path.compare(0, Folder.size(), Folder) == 0 && (Path.size() == Folder.size() || Path[Folder.size()] == '/');
}

// Kernel and runtime file systems never hold a user's trash.
bool IsPseudoMount(const TMountEntry& Mount) {
  static const std::set<std::string, std::less<>> pseudoTypes{
      "proc",     "sysfs",  "cgroup",    "cgroup2",     "devpts",     "devtmpfs", "securityfs", "debugfs",
      "tracefs",  "pstore", "bpf",       "mqueue",      "hugetlbfs",  "configfs", "fusectl",    "binfmt_misc",
      "autofs",   "nsfs",   "efivarfs",  "rpc_pipefs",  "selinuxfs",  "ramfs",    "fuse.portal", "fuse.gvfsd-fuse"};
  if (pseudoTypes.count(Mount.FsType)) return true;
  const std::string& point = Mount.MountPoint;
  if (StartsWithFolder(point, "/run/media")) return false;
  return StartsWithFolder(point, "/proc") || StartsWithFolder(point, "/sys") || StartsWithFolder(point, "/dev") ||
         StartsWithFolder(point, "/run");
}

// Network file systems and automount points are never searched for a trash: a look
// there waits as long as a dead server or a failing automount does.
bool MayHangOnAccess(const TMountEntry& Mount) {
  return Mount.FsType == "autofs" || IsNetworkFileSystem(Mount.FsType);
}

std::string TopTrashFolderShared(const std::string& Top) { return JoinPath(Top, ".Trash"); }
std::string TopTrashFolderOwn(const std::string& Top) { return JoinPath(Top, ".Trash-" + UserIdText()); }

// $topdir/.Trash is only used when it is a real folder with the sticky bit: others
// could otherwise read or replace what the user trashes there.
bool IsUsableSharedTrash(const std::string& Folder) {
  struct stat st;
  return lstat(Folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
}

// The folder a relative Path of a record is taken from: the top directory of a
// top-directory trash, nothing for the home trash.
std::string TopDirOfTrashFolder(const std::string& Folder) {
  const std::string base = BaseNameOf(Folder);
  if (base.rfind(".Trash-", 0) == 0) return FolderOf(Folder);
  const std::string parent = FolderOf(Folder);
  if (BaseNameOf(parent) == ".Trash") return FolderOf(parent);
  return {};
}

// ---------------------------------------------------------------------------
// Trashing

struct TTrashTarget {
  TFd Files;
  TFd Info;            // readable: a batch flushes it
  dev_t Device = 0;    // its file system, flushed once per batch
  std::string TopDir;  // empty for the home trash: its Path values are absolute
  bool InMemory = false;  // tmpfs or ramfs: nothing there outlives a power loss, so nothing is flushed
};

int OpenTrashFolders(int TrashFd, TTrashTarget& Target) {
  if (int error = OpenOrMakeOwnFolder(TrashFd, "files", Target.Files)) return error;
  if (int error = OpenOrMakeOwnFolder(TrashFd, "info", Target.Info, O_RDONLY)) return error;
  struct stat st;
  struct statfs fs;
  if (fstat(Target.Info.Get(), &st) != 0 || fstatfs(Target.Info.Get(), &fs) != 0) return errno;
  Target.Device = st.st_dev;
  Target.InMemory = fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC;
  return 0;
}

int PrepareHomeTrash(TTrashTarget& Target) {
  const std::string folder = HomeTrashFolder();
  if (int error = MakeFoldersFor(folder)) return error;
  // The home trash may be a link the user made; what is inside is checked.
  TFd trash(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!trash.Valid()) return errno;
  return OpenTrashFolders(trash.Get(), Target);
}

int PrepareTopDirTrash(const std::string& Top, TTrashTarget& Target) {
  Target.TopDir = Top;
  TFd top(open(Top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!top.Valid()) return errno;
  // The checks are made on the opened folder, so that it cannot be swapped between
  // the check and its use.
  TFd shared(openat(top.Get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (shared.Valid() && fstat(shared.Get(), &st) == 0 && (st.st_mode & S_ISVTX)) {
    TFd own;
    if (OpenOrMakeOwnFolder(shared.Get(), UserIdText().c_str(), own) == 0 && OpenTrashFolders(own.Get(), Target) == 0)
      return 0;
  }
  TFd own;
  if (int error = OpenOrMakeOwnFolder(top.Get(), (".Trash-" + UserIdText()).c_str(), own)) return error;
  return OpenTrashFolders(own.Get(), Target);
}

// The stored name for Name: cut to fit with the record's suffix and a counter,
// at a character boundary when the name is valid UTF-8.
std::string StoredBaseName(const std::string& Name) {
  if (Name.size() <= MaxStoredBaseBytes) return Name;
  std::string base = Name.substr(0, MaxStoredBaseBytes);
  if (IsValidUtf8(Name))
    while (!base.empty() && !IsValidUtf8(base)) base.pop_back();
  return base;
}

int RenameNoReplace(int FromFd, const char* From, int ToFd, const char* To) {
  if (renameat2(FromFd, From, ToFd, To, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // File systems without RENAME_NOREPLACE: the record's exclusive creation already
  // reserved the name, so only a stray stored entry can be in the way.
  struct stat st;
  if (fstatat(ToFd, To, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return renameat(FromFd, From, ToFd, To) == 0 ? 0 : errno;
}

std::string RecordText(const std::string& PathValue) {
  return "[Trash Info]\nPath=" + EncodeTrashPath(PathValue) + "\nDeletionDate=" + FormatTrashDate(Now()) + "\n";
}

std::string RecordName(const std::string& Stored) { return Stored + std::string(InfoSuffix); }

// Creates info/STORED.trashinfo under the first free stored name for Name, trying
// from attempt Attempt on, and writes Content into it. The exclusive creation
// reserves the stored name against every other trashing program.
int CreateRecord(const TTrashTarget& Target, const std::string& Name, const std::string& Content, int& Attempt,
                 std::string& Stored) {
  const std::string base = StoredBaseName(Name);
  for (; Attempt <= MaxNameAttempts; ++Attempt) {
    Stored = Attempt == 1 ? base : base + "." + std::to_string(Attempt);
    const std::string info = RecordName(Stored);
    TFd fd(openat(Target.Info.Get(), info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid()) {
      if (errno == EEXIST) continue;
      return errno;
    }
    int error = WriteAll(fd.Get(), Content);
    if (close(fd.Release()) != 0 && error == 0) error = errno;
    if (error) unlinkat(Target.Info.Get(), info.c_str(), 0);
    return error;
  }
  return EEXIST;
}

// Waits until the records written so far, their content and their names in info/,
// are on the disk. One flush of the file system costs a batch what a flush of a
// single record costs: a flush per record would commit the file system's journal
// once for each, one after the other. What other programs left unwritten on that
// file system is written with them.
int FlushRecords(const TTrashTarget& Target) {
  return Target.InMemory || syncfs(Target.Info.Get()) == 0 ? 0 : errno;
}

TTrashFault TrashFault = nullptr;

void ReachStep(TTrashStep Step, size_t Moved) {
  if (TrashFault) TrashFault(Step, Moved);
}

// ---------------------------------------------------------------------------
// directorysizes: "size mtime percent-encoded-name" a line

bool LineNamesEntry(std::string_view Line, const std::string& Name) {
  const size_t first = Line.find(' ');
  if (first == std::string_view::npos) return false;
  const size_t second = Line.find(' ', first + 1);
  if (second == std::string_view::npos) return false;
  return DecodeTrashPath(Line.substr(second + 1)) == Name;
}

// Drops the line of Name from the directorysizes of the trash folder TrashFd (the
// handle that was checked, never the folder's path again); the file is replaced as a
// whole so that a reader sees the old content or the new, never a mix. A
// directorysizes that is a link, or too large to be read whole, is left alone: a
// stale line only makes a size look larger. The replacement is made and renamed
// inside TrashFd, so a link put there meanwhile is replaced, never followed.
void DropDirectorySize(int TrashFd, const std::string& Name) {
  std::string content;
  if (!ReadRegularFileAt(TrashFd, "directorysizes", MaxDirectorySizesBytes + 1, content)) return;
  if (content.size() > MaxDirectorySizesBytes) return;
  std::string kept;
  bool dropped = false;
  for (size_t pos = 0; pos < content.size();) {
    size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    const std::string_view line(content.data() + pos, end - pos);
    if (LineNamesEntry(line, Name)) {
      dropped = true;
    } else {
      kept.append(line);
      kept += '\n';
    }
    pos = end + 1;
  }
  if (!dropped) return;
  // A failure leaves the old cache: a stale line only makes a size look larger.
  ReplaceFileContentAt(TrashFd, "directorysizes", kept);
}

}  // namespace

// ---------------------------------------------------------------------------

std::optional<TDateTime> ParseTrashDate(std::string_view Text) {
  Text = Trim(Text);
  TDateFields f;
  size_t pos = 0;
  if (!ReadDigits(Text, pos, 4, f.Year)) return std::nullopt;
  const bool dashes = Skip(Text, pos, '-');
  if (!ReadDigits(Text, pos, 2, f.Month)) return std::nullopt;
  if (dashes && !Skip(Text, pos, '-')) return std::nullopt;
  if (!ReadDigits(Text, pos, 2, f.Day)) return std::nullopt;
  if (!Skip(Text, pos, 'T') && !Skip(Text, pos, ' ')) return std::nullopt;
  if (!ReadDigits(Text, pos, 2, f.Hour)) return std::nullopt;
  const bool colons = Skip(Text, pos, ':');
  if (!ReadDigits(Text, pos, 2, f.Minute)) return std::nullopt;
  if (colons && !Skip(Text, pos, ':')) return std::nullopt;
  if (!ReadDigits(Text, pos, 2, f.Second)) return std::nullopt;
  if (Skip(Text, pos, '.') || Skip(Text, pos, ',')) {
    int digits = 0;
    f.Millisecond = 0;
    while (pos < Text.size() && Text[pos] >= '0' && Text[pos] <= '9') {
      if (digits++ < 3) f.Millisecond = f.Millisecond * 10 + (Text[pos] - '0');
      ++pos;
    }
    if (digits == 0) return std::nullopt;
    for (; digits < 3; ++digits) f.Millisecond *= 10;
  }
  if (!FieldsInRange(f)) return std::nullopt;
  if (f.Second == 60) f.Second = 59;  // a leap second counts as the second before
  // Without a zone the value is the wall clock of its own date, daylight saving and all.
  if (pos == Text.size()) return WallClockToDateTime(f);
  int64_t offset = 0;
  if (!ReadZone(Text, pos, offset) || pos != Text.size()) return std::nullopt;
  // The fields are a moment at the given offset: take it to UTC, then to local.
  TDateFields wall = f;
  wall.Millisecond = 0;
  const int64_t utcSeconds = EncodeDateTime(wall).Ms / 1000 - offset;
  return UtcToLocalDateTime(utcSeconds, int64_t{f.Millisecond} * 1'000'000);
}

std::string EncodeTrashPath(std::string_view Bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(Bytes.size());
  for (const unsigned char c : Bytes) {
    if (IsUnreserved(c) || c == '/') {
      text += static_cast<char>(c);
    } else {
      text += '%';
      text += hex[c >> 4];
      text += hex[c & 15];
    }
  }
  return text;
}

std::string DecodeTrashPath(std::string_view Text) {
  std::string bytes;
  bytes.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '%' && i + 2 < Text.size() && HexValue(Text[i + 1]) >= 0 && HexValue(Text[i + 2]) >= 0) {
      bytes += static_cast<char>(HexValue(Text[i + 1]) * 16 + HexValue(Text[i + 2]));
      i += 2;
    } else {
      bytes += Text[i];
    }
  }
  return bytes;
}

std::optional<TTrashInfo> ParseTrashInfo(std::string_view Content) {
  bool inGroup = false, seenGroup = false;
  std::optional<std::string> path;
  std::optional<std::string_view> date;
  for (size_t pos = 0; pos < Content.size();) {
    size_t end = Content.find('\n', pos);
    if (end == std::string_view::npos) end = Content.size();
    const std::string_view line = Trim(Content.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      // Only the first group counts; a later one ends it.
      if (seenGroup) break;
      if (line != "[Trash Info]") return std::nullopt;
      inGroup = seenGroup = true;
      continue;
    }
    if (!inGroup) return std::nullopt;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "Path" && !path) path = DecodeTrashPath(value);
    else if (key == "DeletionDate" && !date) date = value;
  }
  if (!seenGroup) return std::nullopt;
  TTrashInfo info;
  // A name holds no NUL byte: such a path is unusable.
  if (path && path->find('\0') == std::string::npos) info.Path = std::move(*path);
  if (date) info.DeletionDate = ParseTrashDate(*date);
  return info;
}

std::string HomeTrashFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return JoinPath(dataHome, "Trash");
  const char* home = std::getenv("HOME");
  std::string homeFolder = home && home[0] == '/' ? home : "";
  if (homeFolder.empty())
    if (const passwd* pw = getpwuid(geteuid())) homeFolder = pw->pw_dir;
  return JoinPath(homeFolder.empty() ? "/" : homeFolder, ".local/share/Trash");
}

std::vector<std::string> UserTrashFolders() {
  std::vector<std::string> candidates{HomeTrashFolder()};
  const std::vector<TMountEntry> mounts = ReadMountTable();
  const TMountEntry* homeMount = FindMountFor(mounts, RealPathOfNearestExisting(candidates.front()));
  for (const TMountEntry& mount : mounts) {
    if (&mount == homeMount || IsPseudoMount(mount) || MayHangOnAccess(mount)) continue;
    const std::string shared = TopTrashFolderShared(mount.MountPoint);
    if (IsUsableSharedTrash(shared)) candidates.push_back(JoinPath(shared, UserIdText()));
    candidates.push_back(TopTrashFolderOwn(mount.MountPoint));
  }
  std::vector<std::string> folders;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const std::string& folder : candidates) {
    struct stat st;
    // The home trash may be a link; top-directory trashes must be real folders.
    const bool home = &folder == &candidates.front();
    if ((home ? stat(folder.c_str(), &st) : lstat(folder.c_str(), &st)) != 0) continue;
    if (!S_ISDIR(st.st_mode) || (!home && st.st_uid != geteuid())) continue;
    if (seen.insert({st.st_dev, st.st_ino}).second) folders.push_back(folder);
  }
  return folders;
}

// ---------------------------------------------------------------------------

struct TTrashEnumerator::TState {
  std::vector<std::string> Folders;
  size_t Index = 0;
  DIR* Info = nullptr;
  TFd Files;
  std::string TopDir;
  std::string FilesPrefix;  // ".../files/"
  std::string InfoPrefix;   // ".../info/"
  std::unordered_set<std::string> Stored;  // names in files/, read in one pass

  ~TState() { CloseFolder(); }

  void CloseFolder() {
    if (Info) closedir(Info);
    Info = nullptr;
    Files = TFd();
    Stored.clear();
  }

  // Opens the next trash folder that has both of its subfolders.
  bool OpenNextFolder() {
    CloseFolder();
    while (Index < Folders.size()) {
      const std::string& folder = Folders[Index++];
      TFd trash(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!trash.Valid()) continue;
      TFd files(openat(trash.Get(), "files", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      TFd info(OpenLeavingAccessTime(trash.Get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW));
      if (!files.Valid() || !info.Valid()) continue;
      Info = fdopendir(info.Get());
      if (!Info) continue;
      info.Release();
      Files = std::move(files);
      ReadStoredNames();
      TopDir = TopDirOfTrashFolder(folder);
      FilesPrefix = JoinPath(folder, "files/");
      InfoPrefix = JoinPath(folder, "info/");
      return true;
    }
    return false;
  }

  // The identity of Name of FolderFd, its change time included; false when it is gone
  // (or, with Regular, not a regular file).
  static bool IdentifyAt(int FolderFd, const char* Name, TFoundEntry& Found, bool Regular,
                         struct statx* Status = nullptr) {
    struct statx status;
    if (statx(FolderFd, Name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, IdentityFields | STATX_NLINK | STATX_BLOCKS,
              &status) != 0)
      return false;
    if (Regular && !S_ISREG(status.stx_mode)) return false;
    Found = FoundEntryOf(status, S_ISDIR(status.stx_mode) ? ekFolder : ekNonFolder, true);
    if (Status) *Status = status;
    return true;
  }

  bool IdentifyStored(TTrashRecord& Record) const {
    const std::string_view stored = std::string_view(Record.StoredPath).substr(FilesPrefix.size());
    return IdentifyAt(Files.Get(), std::string(stored).c_str(), Record.Stored, false, &Record.StoredStatus);
  }

  bool IdentifyStoredNow = true;  // every record's stored entry is identified as it is read

  // One listing of files/ costs far less than a lookup per record.
  void ReadStoredNames() {
    Stored.clear();
    TFd fd(OpenLeavingAccessTime(Files.Get(), ".", O_RDONLY | O_DIRECTORY));
    DIR* dir = fd.Valid() ? fdopendir(fd.Get()) : nullptr;
    if (!dir) return;
    fd.Release();
    while (const dirent* entry = readdir(dir))
      if (IsEntryName(entry->d_name)) Stored.insert(entry->d_name);
    closedir(dir);
  }

  bool ReadRecord(const char* InfoName, TTrashRecord& Record) {
    const std::string_view name(InfoName);
    if (name.size() <= InfoSuffix.size() || name.substr(name.size() - InfoSuffix.size()) != InfoSuffix) return false;
    const std::string stored(name.substr(0, name.size() - InfoSuffix.size()));
    if (!IsEntryName(stored) || !Stored.count(stored)) return false;
    Record.InfoPath = InfoPrefix + InfoName;
    Record.StoredPath = FilesPrefix + stored;
    Record.OriginalPath.clear();
    Record.DeletionDate.reset();
    Record.Stored = TFoundEntry();
    if (IdentifyStoredNow && !IdentifyStored(Record)) return false;
    std::string content;
    bool regular = true;
    struct statx status;
    if (!ReadRegularFileAt(dirfd(Info), InfoName, MaxRecordBytes, content, &regular, &status))
      return regular && IdentifyAt(dirfd(Info), InfoName, Record.Record, true);
    Record.Record = FoundEntryOf(status, ekNonFolder, true);
    std::optional<TTrashInfo> info = ParseTrashInfo(content);
    if (!info) return false;
    std::string& original = info->Path;
    if (!original.empty() && original.front() != '/' && !TopDir.empty()) original = JoinPath(TopDir, original);
    Record.OriginalPath = std::move(original);
    Record.DeletionDate = info->DeletionDate;
    return true;
  }
};

TTrashEnumerator::TTrashEnumerator() : TTrashEnumerator(UserTrashFolders()) {}

TTrashEnumerator::TTrashEnumerator(std::vector<std::string> TrashFolders) : FState(std::make_unique<TState>()) {
  FState->Folders = std::move(TrashFolders);
}

TTrashEnumerator::~TTrashEnumerator() = default;

bool TTrashEnumerator::IdentifyStored(TTrashRecord& Record) { return FState->Files.Valid() && FState->IdentifyStored(Record); }

bool TTrashEnumerator::Next(TTrashRecord& Record, bool IdentifyStored) {
  TState& s = *FState;
  s.IdentifyStoredNow = IdentifyStored;
  while (true) {
    if (!s.Info && !s.OpenNextFolder()) return false;
    const dirent* entry = readdir(s.Info);
    if (!entry) {
      s.CloseFolder();
      continue;
    }
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
    if (s.ReadRecord(entry->d_name, Record)) return true;
  }
}

// ---------------------------------------------------------------------------

int MoveToTrash(const std::string& Path) { return MoveToTrash(Path, TTrashCheck()); }

int MoveToTrash(const std::string& Path, const TTrashCheck& Check) {
  if (Path.empty()) return ENOENT;
  std::string folder, name;
  int error = 0;
  if (!SplitEntryPath(Path, folder, name, error)) return error;
  errno = 0;
  const std::string realFolder = RealPathOf(folder);
  if (realFolder.empty()) return errno ? errno : ENOENT;
  const TFd parent(open(realFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!parent.Valid()) return errno;
  return TTrashMover(parent.Get(), realFolder).Move(name, Check);
}

struct TTrashMover::TState {
  TFd Folder;  // the mover's own handle of the entries' folder
  int FolderError = 0;
  std::string FolderPath;
  std::optional<int> Prepared;  // 0 or why no trash takes the folder's entries
  TTrashTarget Target;

  // The trash of the mount that holds the folder.
  int Prepare() {
    const std::vector<TMountEntry> mounts = ReadMountTable();
    const TMountEntry* entryMount = FindMountFor(mounts, FolderPath);
    const TMountEntry* homeMount = FindMountFor(mounts, RealPathOfNearestExisting(HomeTrashFolder()));
    if (entryMount == homeMount) return PrepareHomeTrash(Target);
    if (!entryMount || IsPseudoMount(*entryMount)) return EXDEV;
    return PrepareTopDirTrash(entryMount->MountPoint, Target);
  }

  // The record's Path value: absolute for the home trash, else from the top directory.
  std::string PathValue(const std::string& Name) const {
    const std::string original = JoinPath(FolderPath, Name);
    const std::string& top = Target.TopDir;
    if (top.empty()) return original;
    return top == "/" ? original.substr(1) : original.substr(top.size() + 1);
  }

  // 0 when the entry Name may go and the trash is ready to take it.
  int CheckEntry(const std::string& Name, const TTrashCheck& Check) {
    if (!IsEntryName(Name)) return Name.empty() ? ENOENT : EINVAL;
    if (!Folder.Valid()) return FolderError;
    if (Check) {
      if (const int error = Check(Folder.Get(), Name)) return error;
    } else {
      struct stat st;
      if (fstatat(Folder.Get(), Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    }
    if (!Prepared) Prepared = Prepare();
    return *Prepared;
  }

  // An entry whose stored name a stray entry without record took: a record under the
  // next free name, flushed on its own, then the move.
  int MoveAlone(const std::string& Name, int Attempt) {
    const std::string content = RecordText(PathValue(Name));
    for (; Attempt <= MaxNameAttempts; ++Attempt) {
      std::string stored;
      if (const int error = CreateRecord(Target, Name, content, Attempt, stored)) return error;
      int error = FlushRecords(Target);
      if (error == 0) error = RenameNoReplace(Folder.Get(), Name.c_str(), Target.Files.Get(), stored.c_str());
      if (error == 0) return 0;
      unlinkat(Target.Info.Get(), RecordName(stored).c_str(), 0);
      if (error != EEXIST) return error;
    }
    return EEXIST;
  }
};

TTrashMover::TTrashMover(int FolderFd, std::string FolderPath) : FState(std::make_shared<TState>()) {
  FState->Folder = TFd(fcntl(FolderFd, F_DUPFD_CLOEXEC, 0));
  if (!FState->Folder.Valid()) FState->FolderError = errno;
  FState->FolderPath = std::move(FolderPath);
}

TTrashMover::~TTrashMover() = default;

int TTrashMover::Move(const std::string& Name, const TTrashCheck& Check) {
  TTrashBatch batch;
  int error = batch.Add(*this, Name, Check);
  if (error == 0) error = batch.Seal();
  return error ? error : batch.Move(0);
}

struct TTrashBatch::TStaged {
  std::shared_ptr<TTrashMover::TState> Mover;
  std::string Name;
  TTrashCheck Check;
  std::string Stored;  // its name in files/; the record is info/STORED.trashinfo
  int Attempt = 1;     // which of the names tried Stored is
  bool Settled = false;  // moved, or its record taken back
};

TTrashBatch::TTrashBatch() = default;

TTrashBatch::~TTrashBatch() { Clear(); }

size_t TTrashBatch::Size() const { return FStaged.size(); }

int TTrashBatch::Add(TTrashMover& Mover, const std::string& Name, const TTrashCheck& Check) {
  if (FSealed) return EINVAL;
  TTrashMover::TState& mover = *Mover.FState;
  if (const int error = mover.CheckEntry(Name, Check)) return error;
  TStaged staged;
  staged.Mover = Mover.FState;
  staged.Name = Name;
  staged.Check = Check;
  const std::string content = RecordText(mover.PathValue(Name));
  if (const int error = CreateRecord(mover.Target, Name, content, staged.Attempt, staged.Stored)) return error;
  FStaged.push_back(std::move(staged));
  return 0;
}

int TTrashBatch::Seal() {
  if (FSealed) return 0;
  ReachStep(TTrashStep::RecordsWritten, 0);
  // Each file system once, however many trash folders and movers the batch holds.
  std::vector<dev_t> flushed;
  for (const TStaged& staged : FStaged) {
    const TTrashTarget& target = staged.Mover->Target;
    if (std::find(flushed.begin(), flushed.end(), target.Device) != flushed.end()) continue;
    flushed.push_back(target.Device);
    if (const int error = FlushRecords(target)) return error;
  }
  FSealed = true;
  ReachStep(TTrashStep::RecordsSealed, 0);
  return 0;
}

// The Check is asked again right before the move: between the record's writing and
// the move the entry may have been replaced.
int TTrashBatch::Move(size_t Index) {
  if (!FSealed || Index >= FStaged.size() || FStaged[Index].Settled) return EINVAL;
  TStaged& staged = FStaged[Index];
  staged.Settled = true;
  TTrashMover::TState& mover = *staged.Mover;
  const int folder = mover.Folder.Get();
  int error = staged.Check ? staged.Check(folder, staged.Name) : 0;
  if (error == 0) error = RenameNoReplace(folder, staged.Name.c_str(), mover.Target.Files.Get(), staged.Stored.c_str());
  if (error) unlinkat(mover.Target.Info.Get(), RecordName(staged.Stored).c_str(), 0);
  if (error == EEXIST) error = mover.MoveAlone(staged.Name, staged.Attempt + 1);
  if (error == 0) ReachStep(TTrashStep::EntryMoved, ++FMoved);
  return error;
}

void TTrashBatch::Clear() {
  for (TStaged& staged : FStaged)
    if (!staged.Settled) unlinkat(staged.Mover->Target.Info.Get(), RecordName(staged.Stored).c_str(), 0);
  FStaged.clear();
  FSealed = false;
  FMoved = 0;
}

void SetTrashFaultForTesting(TTrashFault Fault) { TrashFault = Fault; }

struct TTrashPurger::TState {
  std::string FilesFolder;
  TFd Trash;
  TFd Files;
  TFd Info;
  // The user's trash folders by device and inode, found on the first purge.
  std::optional<std::set<std::pair<dev_t, ino_t>>> KnownTrashes;

  bool IsUserTrash(const struct stat& St) {
    if (!KnownTrashes) {
      KnownTrashes.emplace();
      for (const std::string& folder : UserTrashFolders()) {
        struct stat st;
        if (stat(folder.c_str(), &st) == 0) KnownTrashes->insert({st.st_dev, st.st_ino});
      }
    }
    return KnownTrashes->count({St.st_dev, St.st_ino}) != 0;
  }

  // Opens files/ and info/ of the trash folder that holds FilesFolderPath, once that
  // folder has proved to be one of the user's: a folder merely shaped like a trash
  // is not ours to empty. The subfolders are opened from the checked folder, so that
  // it cannot be swapped in between.
  int OpenFolders(const std::string& FilesFolderPath) {
    if (FilesFolderPath == FilesFolder && Files.Valid()) return 0;
    FilesFolder.clear();
    Trash = TFd();
    Files = TFd();
    Info = TFd();
    TFd trash(open(FolderOf(FilesFolderPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (!trash.Valid() || fstat(trash.Get(), &st) != 0) return ENOENT;
    if (!IsUserTrash(st)) return EPERM;
    Files = TFd(openat(trash.Get(), "files", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Info = TFd(openat(trash.Get(), "info", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!Files.Valid() || !Info.Valid()) return ENOENT;
    Trash = std::move(trash);
    FilesFolder = FilesFolderPath;
    return 0;
  }
};

namespace {

// 0 when info/NAME.trashinfo is a regular file and the record Record describes (when
// it describes one); ENOENT when there is no such record, ESTALE when another took
// its place.
int CheckRecord(int InfoFd, const std::string& InfoName, const TFoundEntry& Record) {
  struct statx status;
  if (statx(InfoFd, InfoName.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, IdentityFields, &status) != 0 ||
      !S_ISREG(status.stx_mode))
    return ENOENT;
  if (Record.Ino == 0) return 0;
  const TFoundEntry now = FoundEntryOf(status, ekNonFolder, true);
  return now.Dev == Record.Dev && now.Ino == Record.Ino && now.ChangeNs == Record.ChangeNs ? 0 : ESTALE;
}

}  // namespace

TTrashPurger::TTrashPurger() : FState(std::make_unique<TState>()) {}
TTrashPurger::~TTrashPurger() = default;

int TTrashPurger::Purge(const std::string& StoredPath) { return Purge(StoredPath, {}, {}); }

int TTrashPurger::Purge(const std::string& StoredPath, const TFoundEntry& Stored, const TFoundEntry& Record) {
  std::string filesFolder, name;
  int error = 0;
  if (!SplitEntryPath(StoredPath, filesFolder, name, error)) return error;
  if (BaseNameOf(filesFolder) != "files") return ENOENT;
  if (int opened = FState->OpenFolders(filesFolder)) return opened;
  const int files = FState->Files.Get(), info = FState->Info.Get();
  // Only an entry that has its record is purged: stored files without one are not ours
  // to judge.
  const std::string infoName = name + std::string(InfoSuffix);
  if (const int error = CheckRecord(info, infoName, Record)) return error;
  bool folder = false;
  if (Stored.Ino != 0) {
    // Restored and trashed again under the same name, it is not the entry judged.
    folder = Stored.Kind == ekFolder;
    if (const int removed = RemoveFoundEntryForGood(files, name, Stored, true)) return removed;
  } else if (unlinkat(files, name.c_str(), 0) != 0) {
    // Most trashed entries are files: unlink first, and empty a folder only when it is one.
    if (errno != EISDIR) return errno;
    folder = true;
    if (int removed = RemoveEntryForGood(files, name, true)) return removed;
  }
  // A record put in the judged one's place meanwhile names some other entry. Emptying
  // a folder takes long enough for that to happen; a file's unlink does not, and a
  // second look per entry would cost the purge a quarter of its calls.
  if (folder && CheckRecord(info, infoName, Record) != 0) return 0;
  if (unlinkat(info, infoName.c_str(), 0) != 0 && errno != ENOENT) return errno;
  // Only folders have a line in directorysizes.
  if (folder) DropDirectorySize(FState->Trash.Get(), name);
  return 0;
}

int PurgeTrashEntry(const std::string& StoredPath) { return TTrashPurger().Purge(StoredPath); }
