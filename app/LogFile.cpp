#include "app/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <memory>
#include <system_error>

#include "app/AppData.h"
#include "platform/AtomicFile.h"
#include "platform/BriskoError.h"
#include "platform/TextCodec.h"

std::string SettingsFileName() { return AppDataFileName("Quillmoor\\Brisko\\Brisko.ini"); }

std::string DefaultLogFileName() { return SpecialFolderFileName(CSIDL_LOCAL_STATE, "Quillmoor\\Brisko\\Brisko.log"); }

TLogSettings LoadSettings() {
  TAppIniFile ini(SettingsFileName());
  TLogSettings settings;
  settings.SaveLog = ini.ReadBool("Log", "Save", false);
  settings.LogFile = ini.ReadString("Log", "File", DefaultLogFileName());
  settings.LogLinage = ini.ReadInteger("Log", "Linage", 256);
  return settings;
}

void SaveSettings(const TLogSettings& Settings) {
  TAppIniFile ini(SettingsFileName());
  ini.BeginUpdate();
  ini.WriteBool("Log", "Save", Settings.SaveLog);
  ini.WriteString("Log", "File", Settings.LogFile);
  ini.WriteInteger("Log", "Linage", Settings.LogLinage);
  ini.UpdateFile();
}

namespace {

enum class TLogEncoding { Unmarked, Utf8Bom, Utf16LE, Utf16BE };

std::string ErrorText(int Error) { return std::system_category().message(Error); }

[[noreturn]] void RaiseCannotOpen(const std::string& FileName, int Error) {
  throw EBriskoError("ファイル " + FileName + " は開けません。 " + ErrorText(Error) + " ");
}

[[noreturn]] void RaiseCannotCreate(const std::string& FileName, int Error) {
  throw EBriskoError("ファイル \"" + FileName + "\" を作成できません。" + ErrorText(Error));
}

// Breaks a stream of bytes into lines at CR LF, lone CR and lone LF, in code
// units of one byte or of two (UTF-16, either byte order). The lines keep their
// bytes as found; only the newest Keep lines are held.
class TLineRing {
public:
  TLineRing(size_t Keep, size_t Width, bool BigEndian) : FKeep(Keep), FWidth(Width), FBigEndian(BigEndian) {}

  void Feed(std::string_view Bytes) {
    if (FWidth == 1) {
      FeedBytes(Bytes);
      return;
    }
    FPending.append(Bytes);
    size_t i = 0;
    for (; i + 1 < FPending.size(); i += 2) {
      const unsigned char a = FPending[i], b = FPending[i + 1];
      const unsigned unit = FBigEndian ? (a << 8 | b) : (b << 8 | a);
      Unit(unit, FPending.substr(i, 2));
    }
    FPending.erase(0, i);
  }

  void Finish() {
    FLine += FPending;  // half a UTF-16 character stays with its line
    FPending.clear();
    if (!FLine.empty()) EndLine();
  }

  bool AllValidUtf8() const { return FValidUtf8; }
  std::deque<std::string>& Lines() { return FLines; }

private:
  void FeedBytes(std::string_view Bytes) {
    while (!Bytes.empty()) {
      if (FAfterCR && Bytes.front() == '\n') Bytes.remove_prefix(1);
      FAfterCR = false;
      const auto it = std::find_if(Bytes.begin(), Bytes.end(), [](char c) { return c == '\r' || c == '\n'; });
      const size_t length = static_cast<size_t>(it - Bytes.begin());
      FLine.append(Bytes.substr(0, length));
      if (it == Bytes.end()) return;
      FAfterCR = *it == '\r';
      EndLine();
      Bytes.remove_prefix(length + 1);
    }
  }

  void Unit(unsigned Code, std::string_view Bytes) {
    if (FAfterCR && Code == '\n') {
      FAfterCR = false;
      return;
    }
    FAfterCR = false;
    if (Code == '\r' || Code == '\n') {
      FAfterCR = Code == '\r';
      EndLine();
      return;
    }
    FLine.append(Bytes);
  }

  void EndLine() {
    if (FValidUtf8 && FWidth == 1 && !IsValidUtf8(FLine)) FValidUtf8 = false;
    if (FKeep > 0) {
      if (FLines.size() == FKeep) FLines.pop_front();
      FLines.push_back(std::move(FLine));
    }
    FLine.clear();
  }

  size_t FKeep, FWidth;
  bool FBigEndian;
  bool FAfterCR = false;
  bool FValidUtf8 = true;
  std::string FLine, FPending;
  std::deque<std::string> FLines;
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

std::string Utf16Bytes(std::string_view Utf8, bool BigEndian) {
  std::string out;
  for (char16_t c : Utf8ToUtf16Lossy(Utf8)) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += BigEndian ? high : low;
    out += BigEndian ? low : high;
  }
  return out;
}

struct TOldLog {
  TLogEncoding Encoding = TLogEncoding::Unmarked;
  bool Cp932 = false;  // an unmarked file that is not UTF-8
  std::deque<std::string> Lines;
};

// Reads the existing log, keeping no more than its newest Keep lines in memory.
bool ReadOldLog(const std::string& FileName, size_t Keep, TOldLog& Log) {
  const int handle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (handle < 0) {
    if (errno == ENOENT) return false;
    RaiseCannotOpen(FileName, errno);
  }
  struct stat st;
  int statError = fstat(handle, &st) != 0 ? errno : 0;
  if (statError == 0 && !S_ISREG(st.st_mode)) statError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  if (statError != 0) {
    close(handle);
    const int error = statError;
    RaiseCannotOpen(FileName, error);
  }
  std::string buffer(1 << 16, '\0');
  std::unique_ptr<TLineRing> ring;
  std::string head;  // the first bytes, until the mark is known
  while (true) {
    const ssize_t n = read(handle, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(handle);
      RaiseCannotOpen(FileName, error);
    }
    std::string_view chunk(buffer.data(), static_cast<size_t>(n));
    if (!ring) {
      head.append(chunk);
      if (n > 0 && head.size() < 3) continue;
      std::string_view body = head;
      if (body.starts_with("\xEF\xBB\xBF")) Log.Encoding = TLogEncoding::Utf8Bom, body.remove_prefix(3);
      else if (body.starts_with("\xFF\xFE")) Log.Encoding = TLogEncoding::Utf16LE, body.remove_prefix(2);
      else if (body.starts_with("\xFE\xFF")) Log.Encoding = TLogEncoding::Utf16BE, body.remove_prefix(2);
      const bool wide = Log.Encoding == TLogEncoding::Utf16LE || Log.Encoding == TLogEncoding::Utf16BE;
      ring = std::make_unique<TLineRing>(Keep, wide ? 2 : 1, Log.Encoding == TLogEncoding::Utf16BE);
      chunk = body;
    }
    ring->Feed(chunk);
    if (n == 0) break;
  }
  close(handle);
  ring->Finish();
  Log.Cp932 = Log.Encoding == TLogEncoding::Unmarked && !ring->AllValidUtf8();
  Log.Lines = std::move(ring->Lines());
  return true;
}

// A file lock beside the log, held while the log is read and replaced, so that two
// processes saving at once do not both append to the same old content.
class TLogLock {
public:
  explicit TLogLock(const std::string& FileName) {
    FHandle = open((FileName + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // Without a lock file (a read-only folder) the replacement fails anyway and says why.
    if (FHandle >= 0)
      while (flock(FHandle, LOCK_EX) != 0 && errno == EINTR) {}
  }
  ~TLogLock() {
    if (FHandle >= 0) close(FHandle);
  }
  TLogLock(const TLogLock&) = delete;
  TLogLock& operator=(const TLogLock&) = delete;

private:
  int FHandle = -1;
};

}  // namespace

void SaveLogFile(const std::string& FileName, const std::vector<std::string>& Lines, int Linage) {
  const size_t limit = static_cast<size_t>(std::max(Linage, 0));
  std::vector<std::string> added = SplitNewLines(Lines);
  if (added.size() > limit) added.erase(added.begin(), added.end() - static_cast<ptrdiff_t>(limit));
  if (FileName.empty()) RaiseCannotCreate(FileName, ENOENT);

  TLogLock lock(FileName);
  TOldLog old;
  ReadOldLog(FileName, limit - added.size(), old);

  TAtomicFile file(FileName);
  std::string newline = "\r\n";
  if (old.Encoding == TLogEncoding::Utf16LE) newline.assign("\r\0\n\0", 4);
  if (old.Encoding == TLogEncoding::Utf16BE) newline.assign("\0\r\0\n", 4);
  int error = file.Open();
  if (old.Encoding == TLogEncoding::Utf8Bom) error = error ? error : file.Write("\xEF\xBB\xBF");
  if (old.Encoding == TLogEncoding::Utf16LE) error = error ? error : file.Write("\xFF\xFE");
  if (old.Encoding == TLogEncoding::Utf16BE) error = error ? error : file.Write("\xFE\xFF");
  for (const std::string& line : old.Lines) {
    if (error) break;
    file.Write(line);
    error = file.Write(newline);
  }
  for (const std::string& line : added) {
    if (error) break;
    switch (old.Encoding) {
      case TLogEncoding::Utf16LE: file.Write(Utf16Bytes(line, false)); break;
      case TLogEncoding::Utf16BE: file.Write(Utf16Bytes(line, true)); break;
      default: file.Write(old.Cp932 ? Utf8ToCp932(line) : ValidUtf8(line)); break;
    }
    error = file.Write(newline);
  }
  if (!error) error = file.Commit();
  if (error) RaiseCannotCreate(FileName, error);
}
