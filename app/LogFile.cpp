#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <system_error>

#include "app/AppData.h"
#include "platform/AtomicFile.h"
#include "platform/BriskoError.h"
#include "platform/FileHandle.h"
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

// Whether a stream of chunks is valid UTF-8; a sequence may straddle two chunks.
class TUtf8Check {
public:
  void Feed(std::string_view Bytes) {
    if (!FValid) return;
    std::string joined;
    if (!FCarry.empty()) {
      joined = FCarry + std::string(Bytes);
      Bytes = joined;
    }
    // Hold back the start of a sequence that the next chunk may complete.
    size_t cut = Bytes.size();
    for (size_t back = 1; back <= 3 && back <= Bytes.size(); ++back) {
      const unsigned char c = static_cast<unsigned char>(Bytes[Bytes.size() - back]);
      if (c < 0x80) break;
      if (c >= 0xC0) {
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (length > back) cut = Bytes.size() - back;
        break;
      }
    }
    FValid = IsValidUtf8(Bytes.substr(0, cut));
    FCarry = std::string(Bytes.substr(cut));
  }
  bool Valid() const { return FValid && FCarry.empty(); }

private:
  bool FValid = true;
  std::string FCarry;
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
      EndLine(at);
      FAfterCR = unit == '\r';
      FLineStart = at + FWidth;
    }
  }

  void Finish(uint64_t End) {
    if (FLineStart < End) EndLine(End);
  }

  std::deque<std::pair<uint64_t, uint64_t>>& Lines() { return FLines; }

private:
  void EndLine(uint64_t End) {
    if (FKeep == 0) return;
    if (FLines.size() == FKeep) FLines.pop_front();
    FLines.emplace_back(FLineStart, End);
  }

  size_t FKeep, FWidth;
  bool FBigEndian;
  bool FAfterCR = false;
  uint64_t FLineStart;
  std::deque<std::pair<uint64_t, uint64_t>> FLines;
};

// The existing log: its encoding and where its newest lines stand.
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

    char head[3];
    const ssize_t headSize = ReadAt(FHandle.Get(), head, sizeof head, 0);
    if (headSize < 0) RaiseCannotOpen(FileName, errno);
    const std::string_view mark(head, static_cast<size_t>(headSize));
    uint64_t start = 0;
    if (mark.starts_with("\xEF\xBB\xBF")) Encoding = TLogEncoding::Utf8Bom, start = 3;
    else if (mark.starts_with("\xFF\xFE")) Encoding = TLogEncoding::Utf16LE, start = 2;
    else if (mark.starts_with("\xFE\xFF")) Encoding = TLogEncoding::Utf16BE, start = 2;
    const size_t width = Encoding == TLogEncoding::Utf16LE || Encoding == TLogEncoding::Utf16BE ? 2 : 1;

    TLineScanner scanner(Keep, width, Encoding == TLogEncoding::Utf16BE, start);
    TUtf8Check utf8;
    std::string buffer(ChunkSize, '\0');
    uint64_t offset = start;
    while (true) {
      const ssize_t n = ReadAt(FHandle.Get(), buffer.data(), buffer.size(), offset);
      if (n < 0) RaiseCannotOpen(FileName, errno);
      if (n == 0) break;
      const std::string_view chunk(buffer.data(), static_cast<size_t>(n));
      scanner.Feed(chunk, offset);
      if (Encoding == TLogEncoding::Unmarked) utf8.Feed(chunk);
      offset += static_cast<uint64_t>(n);
    }
    // Half a UTF-16 character at the very end is no text.
    scanner.Finish(offset - (offset - start) % width);
    Cp932 = Encoding == TLogEncoding::Unmarked && !utf8.Valid();
    Lines = std::move(scanner.Lines());
    return true;
  }

  // Copies the bytes of the kept lines, each followed by NewLine; 0 or errno.
  int CopyLines(TAtomicFile& File, std::string_view NewLine) const {
    std::string buffer(ChunkSize, '\0');
    for (const auto& [begin, end] : Lines) {
      for (uint64_t at = begin; at < end;) {
        const ssize_t n = ReadAt(FHandle.Get(), buffer.data(), std::min<uint64_t>(buffer.size(), end - at), at);
        if (n <= 0) return n < 0 ? errno : EIO;  // the file shrank under us
        if (const int error = File.Write(std::string_view(buffer.data(), static_cast<size_t>(n)))) return error;
        at += static_cast<uint64_t>(n);
      }
      if (const int error = File.Write(NewLine)) return error;
    }
    return 0;
  }

  TLogEncoding Encoding = TLogEncoding::Unmarked;
  bool Cp932 = false;  // an unmarked file that is not UTF-8
  std::deque<std::pair<uint64_t, uint64_t>> Lines;

private:
  TFd FHandle;
};

// A file lock beside the log, held while the log is read and replaced, so that two
// processes saving at once do not both append to the same old content. It is named
// after the resolved log file, so every name of one log shares it.
class TLogLock {
public:
  TLogLock(const TResolvedPath& Log)
      : FHandle(openat(Log.Folder.Get(), (Log.Name + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                       0666)) {
    // A link in its place was planted there: it is not followed, and the log is not written.
    if (!FHandle.Valid() && errno == ELOOP) RaiseCannotOpen(Log.Path + ".lock", ELOOP);
    // Without a lock file (a read-only folder) the replacement fails anyway and says why.
    if (FHandle.Valid())
      while (flock(FHandle.Get(), LOCK_EX) != 0 && errno == EINTR) {}
  }

private:
  TFd FHandle;
};

std::vector<std::string> SplitNewLines(const std::vector<std::string>& Lines) {
  std::vector<std::string> out;
  for (const std::string& text : Lines) {
    size_t start = 0;
    while (true) {
      const size_t end = text.find_first_of("\r\n", start);
      out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
      if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
      if (start == text.size()) break;
    }
  }
  return out;
}

// UTF-8 text in which every byte that is not part of valid UTF-8 became U+FFFD,
// so that a UTF-8 log file stays readable as UTF-8.
std::string ValidUtf8(const std::string& Text) {
  if (IsValidUtf8(Text)) return Text;
  std::u16string wide = Utf8ToUtf16Lossy(Text);
  for (char16_t& c : wide)
    if (c >= 0xDC80 && c <= 0xDCFF) c = u'\xFFFD';
  return Utf16ToUtf8(wide);
}

std::string Encoded(const std::string& Line, const TOldLog& Old) {
  switch (Old.Encoding) {
    case TLogEncoding::Utf16LE: return Utf8ToUtf16Bytes(Line, false);
    case TLogEncoding::Utf16BE: return Utf8ToUtf16Bytes(Line, true);
    default: return Old.Cp932 ? Utf8ToCp932(Line) : ValidUtf8(Line);
  }
}

int WriteLog(TAtomicFile& File, const TOldLog& Old, const std::vector<std::string>& Added) {
  std::string newline = "\r\n", mark;
  switch (Old.Encoding) {
    case TLogEncoding::Unmarked: break;
    case TLogEncoding::Utf8Bom: mark = "\xEF\xBB\xBF"; break;
    case TLogEncoding::Utf16LE: mark = "\xFF\xFE", newline.assign("\r\0\n\0", 4); break;
    case TLogEncoding::Utf16BE: mark = "\xFE\xFF", newline.assign("\0\r\0\n", 4); break;
  }
  int error = File.Open();
  if (!error) error = File.Write(mark);
  if (!error) error = Old.CopyLines(File, newline);
  for (const std::string& line : Added) {
    if (!error) error = File.Write(Encoded(line, Old));
    if (!error) error = File.Write(newline);
  }
  return error ? error : File.Commit();
}

}  // namespace

void SaveLogFile(const std::string& FileName, const std::vector<std::string>& Lines, int Linage) {
  const size_t limit = static_cast<size_t>(std::max(Linage, 0));
  std::vector<std::string> added = SplitNewLines(Lines);
  if (added.size() > limit) added.erase(added.begin(), added.end() - static_cast<ptrdiff_t>(limit));
  if (FileName.empty()) RaiseCannotCreate(FileName, ENOENT);

  // The log and its lock are reached without following another user's link, as
  // what they lead to would be rewritten with the running user's rights.
  TResolvedPath log;
  if (const int error = ResolveTrustedPath(FileName, log)) RaiseCannotCreate(FileName, error);
  if (log.Name.empty()) RaiseCannotCreate(FileName, EISDIR);
  TLogLock lock(log);
  TOldLog old;
  old.Read(log.Folder.Get(), log.Name, FileName, limit - added.size());
  TAtomicFile file(log.Folder.Get(), log.Name);
  if (const int error = WriteLog(file, old, added)) RaiseCannotCreate(FileName, error);
}
