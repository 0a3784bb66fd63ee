#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <system_error>
#include <thread>

#include "app/AppData.h"
#include "platform/AtomicFile.h"
#include "platform/BriskoError.h"
#include "platform/FileHandle.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "platform/TrustedPath.h"

std::string SettingsFileName() { return AppDataFileName("Quillmoor\\Brisko\\Brisko.ini"); }

std::string DefaultLogFileName() { return SpecialFolderFileName(CSIDL_LOCAL_STATE, "Quillmoor\\Brisko\\Brisko.log"); }

TLogSettings LoadSettings(std::vector<EBriskoError>* Warnings) {
  TAppIniFile ini(SettingsFileName(), TIniTrust::RootsOwnForRoot);
  TLogSettings settings;
  settings.SaveLog = ini.ReadBool("Log", "Save", false);
  settings.LogFile = ini.ReadString("Log", "File", DefaultLogFileName());
  settings.LogLinage = ini.ReadInteger("Log", "Linage", 256);
  // A limit of none would empty the log at every save: no record, and no word of it.
  if (settings.LogLinage <= 0) {
    if (Warnings) Warnings->push_back(EBriskoError(eiLinageDefault, {std::to_string(settings.LogLinage), "256"}));
    settings.LogLinage = 256;
  }
  return settings;
}

void SaveSettings(const TLogSettings& Settings) {
  TAppIniFile ini(SettingsFileName(), TIniTrust::RootsOwnForRoot);
  ini.BeginUpdate();
  ini.WriteBool("Log", "Save", Settings.SaveLog);
  ini.WriteString("Log", "File", Settings.LogFile);
  ini.WriteInteger("Log", "Linage", Settings.LogLinage);
  ini.UpdateFile();
}

namespace {

enum class TLogEncoding { Unmarked, Utf8Bom, Utf16LE, Utf16BE };

constexpr size_t ChunkSize = 1 << 16;  // even, so UTF-16 units never straddle two chunks
constexpr auto LockPoll = std::chrono::milliseconds(20);

std::string ErrorText(int Error) { return std::system_category().message(Error); }

[[noreturn]] void RaiseCannotOpen(const std::string& FileName, int Error) {
  throw EBriskoError(eiCannotOpenFile, {FileName, ErrorText(Error)});
}

[[noreturn]] void RaiseCannotCreate(const std::string& FileName, int Error) {
  throw EBriskoError(eiCannotCreateFile, {FileName, ErrorText(Error)});
}

// pread that goes on after a signal; -1 with errno on failure.
ssize_t ReadAt(int Handle, char* Buffer, size_t Size, uint64_t Offset) {
  while (true) {
    const ssize_t n = pread(Handle, Buffer, Size, static_cast<off_t>(Offset));
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool RunAsRoot() { return geteuid() == 0; }

// As root, Path must be root's: another user who owns it, or a folder on the way to
// it, could swap it for a link to any file between the check and the write.
void RequireRootOwned(const struct stat& Info, const std::string& Path) {
  if (RunAsRoot() && Info.st_uid != 0) throw EBriskoError(eiNotRootOwned, {EscapeBytes(Path)});
}

// Every folder from the root to Folder, walked without following links, must be
// root's; the last one must be the folder the trusted walk opened.
void RequireRootOwnedFolders(const std::string& FolderPath, int FolderFd) {
  TFd folder(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::string walked = "/";
  size_t start = 1;
  while (folder.Valid()) {
    struct stat info;
    if (fstat(folder.Get(), &info) != 0) break;
    RequireRootOwned(info, walked);
    if (start >= FolderPath.size()) {
      struct stat opened;
      if (fstat(FolderFd, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino) return;
      break;
    }
    size_t end = FolderPath.find('/', start);
    if (end == std::string::npos) end = FolderPath.size();
    const std::string name = FolderPath.substr(start, end - start);
    walked = JoinPath(walked, name);
    folder = TFd(openat(folder.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    start = end + 1;
  }
  // The folder changed under the walk: nothing is trusted.
  throw EBriskoError(eiNotRootOwned, {EscapeBytes(FolderPath)});
}

// The log's name resolved the trusted way, and checked as far as the name allows.
TResolvedPath ResolveLog(const std::string& FileName) {
  if (FileName.empty()) RaiseCannotCreate(FileName, ENOENT);
  // Relative to the working folder, which is "/" under a scheduler: never meant.
  if (FileName.front() != '/') throw EBriskoError(eiRelativeLogFile, {EscapeBytes(FileName)});
  // The log and its lock are reached without following another user's link, as
  // what they lead to would be rewritten with the running user's rights.
  TResolvedPath log;
  if (const int error = ResolveTrustedPath(FileName, log)) RaiseCannotCreate(FileName, error);
  if (log.Name.empty()) RaiseCannotCreate(FileName, EISDIR);
  if (RunAsRoot()) {
    RequireRootOwnedFolders(FolderOf(log.Path), log.Folder.Get());
    for (const std::string& name : {log.Name, log.Name + ".lock"}) {
      struct stat info;
      if (fstatat(log.Folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        RequireRootOwned(info, JoinPath(FolderOf(log.Path), name));
    }
  }
  return log;
}

// The lock beside the log, NAME.lock, held while the log is written, so that two
// processes never write it at once. It is named after the resolved log file, so every
// name of one log shares it. It is a plain file of the running user: one that another
// user made, a folder or a link in its place could be held against us for ever, so
// none of them is used, and nothing is written without the lock.
class TLogLock {
public:
  TLogLock(const TResolvedPath& Log, const std::function<bool()>& Stopped) {
    const std::string name = Log.Name + ".lock";
    const std::string path = JoinPath(FolderOf(Log.Path), name);
    FHandle = TFd(openat(Log.Folder.Get(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!FHandle.Valid() && errno == EEXIST)
      FHandle = TFd(openat(Log.Folder.Get(), name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!FHandle.Valid()) throw EBriskoError(eiLogLockRefused, {EscapeBytes(path), ErrorText(errno)});
    struct stat info;
    if (fstat(FHandle.Get(), &info) != 0) throw EBriskoError(eiLogLockRefused, {EscapeBytes(path), ErrorText(errno)});
    if (!S_ISREG(info.st_mode) || info.st_uid != geteuid())
      throw EBriskoError(eiLogLockRefused, {EscapeBytes(path), ErrorText(EPERM)});
    // Waiting is bounded, and a stop signal ends it: a run must end when asked.
    const auto until = std::chrono::steady_clock::now() + LogLockWait;
    while (flock(FHandle.Get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR)
        throw EBriskoError(eiLogLockRefused, {EscapeBytes(path), ErrorText(errno)});
      if (Stopped && Stopped()) throw EBriskoError(eiLogLockStopped, {EscapeBytes(path)});
      if (std::chrono::steady_clock::now() >= until)
        throw EBriskoError(eiLogLockTimeout,
                           {EscapeBytes(path), std::to_string(std::chrono::seconds(LogLockWait).count())});
      std::this_thread::sleep_for(LockPoll);
    }
  }

private:
  TFd FHandle;
};

// Finds the lines of the file, breaking at CR LF, lone CR and lone LF in code
// units of one byte or two (UTF-16), and keeps the place of the newest Keep of
// them: memory follows the line limit, neither the file size nor the line length.
class TLineScanner {
public:
  TLineScanner(size_t Keep, size_t Width, bool BigEndian, uint64_t Start)
      : FKeep(Keep), FWidth(Width), FBigEndian(BigEndian), FLineStart(Start) {}

  void Feed(std::string_view Chunk, uint64_t Offset) {
    for (size_t i = 0; i + FWidth <= Chunk.size(); i += FWidth) {
      const unsigned char a = Chunk[i];
      unsigned unit = a;
      if (FWidth == 2) {
        const unsigned char b = Chunk[i + 1];
        unit = FBigEndian ? (a << 8 | b) : (b << 8 | a);
      }
      if (unit != '\r' && unit != '\n') continue;
      const uint64_t at = Offset + i;
      if (unit == '\n' && FAfterCR && at == FLineStart) {
        FLineStart = at + FWidth;  // the LF of a CR LF
        FAfterCR = false;
        continue;
      }
      if (unit == '\r') FAllBareLf = false;
      EndLine(at);
      FAfterCR = unit == '\r';
      FLineStart = at + FWidth;
    }
  }

  void Finish(uint64_t End) {
    if (FLineStart < End) {
      FAllBareLf = false;
      EndLine(End);
    }
  }

  std::deque<std::pair<uint64_t, uint64_t>>& Lines() { return FLines; }
  uint64_t Count() const { return FCount; }
  // Whether every line ends in a lone LF (none in CR LF or CR, none unended).
  bool AllBareLf() const { return FAllBareLf; }

private:
  void EndLine(uint64_t End) {
    ++FCount;
    if (FKeep == 0) return;
    if (FLines.size() == FKeep) FLines.pop_front();
    FLines.emplace_back(FLineStart, End);
  }

  size_t FKeep, FWidth;
  bool FBigEndian;
  bool FAfterCR = false;
  bool FAllBareLf = true;
  uint64_t FLineStart;
  uint64_t FCount = 0;
  std::deque<std::pair<uint64_t, uint64_t>> FLines;
};

// The existing log: its mark and where its newest lines stand.
class TOldLog {
public:
  // False when the file does not exist; raises the open error when it cannot be read.
  // The file is Name of FolderFd, never a link; FileName names it in messages.
  bool Read(int FolderFd, const std::string& Name, const std::string& FileName, size_t Keep) {
    FHandle = TFd(openat(FolderFd, Name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!FHandle.Valid()) {
      if (errno == ENOENT) return false;
      RaiseCannotOpen(FileName, errno);
    }
    struct stat st;
    int error = fstat(FHandle.Get(), &st) != 0 ? errno : 0;
    if (error == 0 && !S_ISREG(st.st_mode)) error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (error != 0) RaiseCannotOpen(FileName, error);
    RequireRootOwned(st, FileName);

    char head[3];
    const ssize_t headSize = ReadAt(FHandle.Get(), head, sizeof head, 0);
    if (headSize < 0) RaiseCannotOpen(FileName, errno);
    const std::string_view mark(head, static_cast<size_t>(headSize));
    uint64_t start = 0;
    if (mark.starts_with("\xEF\xBB\xBF")) Encoding = TLogEncoding::Utf8Bom, start = 3;
    else if (mark.starts_with("\xFF\xFE")) Encoding = TLogEncoding::Utf16LE, start = 2;
    else if (mark.starts_with("\xFE\xFF")) Encoding = TLogEncoding::Utf16BE, start = 2;
    const size_t width = Wide() ? 2 : 1;

    // A byte log is read from where its newest Keep lines can begin: the cut at the
    // end of a run reads what it keeps, not the whole file.
    const uint64_t from = Wide() ? start : NewestLinesStart(start, static_cast<uint64_t>(st.st_size), Keep, FileName);
    TLineScanner scanner(Keep, width, Encoding == TLogEncoding::Utf16BE, from);
    std::string buffer(ChunkSize, '\0');
    uint64_t offset = from;
    while (true) {
      const ssize_t n = ReadAt(FHandle.Get(), buffer.data(), buffer.size(), offset);
      if (n < 0) RaiseCannotOpen(FileName, errno);
      if (n == 0) break;
      scanner.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)), offset);
      offset += static_cast<uint64_t>(n);
    }
    // Half a UTF-16 character at the very end is no text.
    scanner.Finish(offset - (offset - start) % width);
    // Lines before the ones read are more than Keep allows: the cut is due.
    Count = scanner.Count() + (from > start ? 1 : 0);
    AllBareLf = scanner.AllBareLf();
    Lines = std::move(scanner.Lines());
    return true;
  }

  bool Wide() const { return Encoding == TLogEncoding::Utf16LE || Encoding == TLogEncoding::Utf16BE; }

  // Just after the line feed that ends the line before the newest Keep ones, or
  // Start when the log holds no more. A line ended by a lone CR is not counted here,
  // so the place found may lie earlier than it need: the scanner keeps Keep lines.
  uint64_t NewestLinesStart(uint64_t Start, uint64_t End, size_t Keep, const std::string& FileName) const {
    if (Keep == SIZE_MAX) return Start;
    std::string buffer(ChunkSize, '\0');
    size_t feeds = 0;
    bool lastByte = true;  // a line feed that ends the file begins no line after it
    for (uint64_t chunkEnd = End; chunkEnd > Start;) {
      const uint64_t chunkStart = chunkEnd - std::min<uint64_t>(ChunkSize, chunkEnd - Start);
      const size_t size = static_cast<size_t>(chunkEnd - chunkStart);
      if (ReadAt(FHandle.Get(), buffer.data(), size, chunkStart) != static_cast<ssize_t>(size)) RaiseCannotOpen(FileName, errno ? errno : EIO);
      for (size_t at = size; at > 0;) {
        const void* found = memrchr(buffer.data(), '\n', at);
        if (!found) break;
        at = static_cast<size_t>(static_cast<const char*>(found) - buffer.data());
        const uint64_t position = chunkStart + at;
        if (lastByte && position == End - 1) continue;
        if (++feeds > Keep) return position + 1;
      }
      lastByte = false;
      chunkEnd = chunkStart;
    }
    return Start;
  }

  // Copies the kept lines, each followed by LF: bytes as they are, UTF-16 as UTF-8
  // (the log is UTF-8 from now on). 0 or errno.
  int CopyLines(TAtomicFile& File) const {
    std::string buffer(ChunkSize, '\0');
    for (const auto& [begin, end] : Lines) {
      std::string wide;
      for (uint64_t at = begin; at < end;) {
        const ssize_t n = ReadAt(FHandle.Get(), buffer.data(), std::min<uint64_t>(buffer.size(), end - at), at);
        if (n <= 0) return n < 0 ? errno : EIO;  // the file shrank under us
        const std::string_view piece(buffer.data(), static_cast<size_t>(n));
        if (Wide())
          wide += piece;
        else if (const int error = File.Write(piece))
          return error;
        at += static_cast<uint64_t>(n);
      }
      if (Wide())
        if (const int error = File.Write(Utf16BytesToUtf8(wide))) return error;
      if (const int error = File.Write("\n")) return error;
    }
    return 0;
  }

  TLogEncoding Encoding = TLogEncoding::Unmarked;
  uint64_t Count = 0;
  bool AllBareLf = true;
  std::deque<std::pair<uint64_t, uint64_t>> Lines;

private:
  std::string Utf16BytesToUtf8(const std::string& Bytes) const {
    std::u16string text(Bytes.size() / 2, u'\0');
    const bool big = Encoding == TLogEncoding::Utf16BE;
    for (size_t i = 0; i < text.size(); ++i) {
      const unsigned char a = Bytes[2 * i], b = Bytes[2 * i + 1];
      text[i] = static_cast<char16_t>(big ? (a << 8 | b) : (b << 8 | a));
    }
    return Utf16ToUtf8(text);
  }

  TFd FHandle;
};

// The lines as the log holds them: one per line break of the text, in UTF-8, each
// ended by LF. A line that is not UTF-8 is escaped as the result lines are, so that
// no byte of it is lost and the file stays UTF-8.
std::string LogText(const std::vector<std::string>& Lines) {
  size_t size = 0;
  for (const std::string& line : Lines) size += line.size() + 1;
  std::string text;
  text.reserve(size);
  for (const std::string& line : Lines) {
    // The result lines of a run, nearly all of them.
    if (line.find('\n') == std::string::npos && line.find('\r') == std::string::npos && IsValidUtf8(line)) {
      (text += line) += '\n';
      continue;
    }
    size_t start = 0;
    while (true) {
      const size_t end = line.find_first_of("\r\n", start);
      const std::string_view part = std::string_view(line).substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (IsValidUtf8(part))
        text += part;
      else
        AppendEscapedBytes(text, part);
      text += '\n';
      if (end == std::string::npos) break;
      start = end + 1;
      if (line[end] == '\r' && start < line.size() && line[start] == '\n') ++start;
      if (start == line.size()) break;
    }
  }
  return text;
}

// The log opened for appending; a log with a UTF-16 mark is first rewritten as UTF-8,
// so that UTF-8 lines never follow UTF-16 ones.
TFd OpenForAppend(const TResolvedPath& Log, const std::string& FileName, struct stat& Info);

// Appends Text to the log as one write. A log that does not end in a line break
// gets one first, so that the new lines start lines of their own. A write that
// fails half-way is taken back: the log stays as it was.
void AppendText(const TResolvedPath& Log, const std::string& FileName, std::string Text) {
  struct stat info;
  const TFd file = OpenForAppend(Log, FileName, info);
  if (info.st_size > 0) {
    char last = '\n';
    if (ReadAt(file.Get(), &last, 1, static_cast<uint64_t>(info.st_size - 1)) != 1) RaiseCannotOpen(FileName, errno);
    if (last != '\n' && last != '\r') Text.insert(0, 1, '\n');
  }
  if (const int error = WriteAll(file.Get(), Text)) {
    if (ftruncate(file.Get(), info.st_size) != 0) {}  // nothing more can be done
    RaiseCannotCreate(FileName, error);
  }
}

// Rewrites the log with its newest Keep lines, as UTF-8 ending in LF; a log that
// holds no more than Keep lines, all ending in LF, in UTF-8, is left as it is.
void CutLog(const TResolvedPath& Log, const std::string& FileName, size_t Keep) {
  TOldLog old;
  if (!old.Read(Log.Folder.Get(), Log.Name, FileName, Keep)) return;
  if (old.Count <= Keep && !old.Wide() && old.AllBareLf) return;
  TAtomicFile file(Log.Folder.Get(), Log.Name);
  int error = file.Open();
  if (!error && old.Encoding == TLogEncoding::Utf8Bom) error = file.Write("\xEF\xBB\xBF");
  if (!error) error = old.CopyLines(file);
  if (!error) error = file.Commit();
  if (error) RaiseCannotCreate(FileName, error);
}

size_t LineLimit(int Linage) { return static_cast<size_t>(std::max(Linage, 0)); }

TFd OpenFile(const TResolvedPath& Log, const std::string& FileName, struct stat& Info) {
  TFd file(openat(Log.Folder.Get(), Log.Name.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0666));
  if (!file.Valid() && errno == EISDIR) RaiseCannotOpen(FileName, EISDIR);
  if (!file.Valid()) RaiseCannotCreate(FileName, errno);
  if (fstat(file.Get(), &Info) != 0) RaiseCannotCreate(FileName, errno);
  if (!S_ISREG(Info.st_mode)) RaiseCannotOpen(FileName, S_ISDIR(Info.st_mode) ? EISDIR : EINVAL);
  RequireRootOwned(Info, FileName);
  return file;
}

TFd OpenForAppend(const TResolvedPath& Log, const std::string& FileName, struct stat& Info) {
  TFd file = OpenFile(Log, FileName, Info);
  char mark[2];
  if (Info.st_size >= 2 && ReadAt(file.Get(), mark, 2, 0) == 2 &&
      (std::string_view(mark, 2) == "\xFF\xFE" || std::string_view(mark, 2) == "\xFE\xFF")) {
    CutLog(Log, FileName, SIZE_MAX);
    file = OpenFile(Log, FileName, Info);
  }
  return file;
}

}  // namespace

void CheckLogFile(const std::string& FileName) {
  if (!FileName.empty() && FileName.front() != '/') throw EBriskoError(eiRelativeLogFile, {EscapeBytes(FileName)});
  if (!RunAsRoot()) return;
  // A log that cannot be reached at all is told of when it is written.
  TResolvedPath log;
  if (FileName.empty() || ResolveTrustedPath(FileName, log) != 0 || log.Name.empty()) return;
  ResolveLog(FileName);
}

void AppendLogFile(const std::string& FileName, const std::vector<std::string>& Lines,
                   const std::function<bool()>& Stopped) {
  if (Lines.empty()) return;
  const TResolvedPath log = ResolveLog(FileName);
  const TLogLock lock(log, Stopped);
  AppendText(log, FileName, LogText(Lines));
}

void CutLogFile(const std::string& FileName, int Linage, const std::function<bool()>& Stopped) {
  const TResolvedPath log = ResolveLog(FileName);
  const TLogLock lock(log, Stopped);
  CutLog(log, FileName, LineLimit(Linage));
}

void SaveLogFile(const std::string& FileName, const std::vector<std::string>& Lines, int Linage) {
  const TResolvedPath log = ResolveLog(FileName);
  const TLogLock lock(log, {});
  if (!Lines.empty()) AppendText(log, FileName, LogText(Lines));
  CutLog(log, FileName, LineLimit(Linage));
}
