#include "app/AppData.h"

#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <unordered_map>

#include "platform/AtomicFile.h"
#include "platform/BriskoError.h"
#include "platform/FileHandle.h"
#include "platform/TextCodec.h"
#include "platform/TrustedPath.h"

// ---------------------------------------------------------------------------
// Application-data paths

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

// An XDG variable counts only when it holds an absolute path.
std::string XdgFolder(const char* Variable, const char* DefaultUnderHome) {
  if (const char* value = std::getenv(Variable); value && value[0] == '/') return value;
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/" + DefaultUnderHome;
}

std::string SpecialFolderPath(int Folder) {
  switch (Folder) {
    case CSIDL_APPDATA: return XdgFolder("XDG_CONFIG_HOME", ".config");
    case CSIDL_LOCAL_STATE: return XdgFolder("XDG_STATE_HOME", ".local/state");
    default: return {};
  }
}

}  // namespace

std::string SpecialFolderFileName(int Folder, const std::string& RelativeName) {
  std::string name = RelativeName;
  std::replace(name.begin(), name.end(), '\\', '/');
  const size_t slash = name.rfind('/');
  if (slash == std::string::npos) return name;
  const std::string base = SpecialFolderPath(Folder);
  if (base.empty()) return {};
  const std::string folder = base + "/" + name.substr(0, slash);
  std::error_code ignored;  // a folder that cannot be made shows when the file is written
  std::filesystem::create_directories(folder, ignored);
  return folder + "/" + name.substr(slash + 1);
}

std::string AppDataFileName(const std::string& RelativeName) {
  return SpecialFolderFileName(CSIDL_APPDATA, RelativeName);
}

// ---------------------------------------------------------------------------
// INI text

namespace {

constexpr size_t MaxValueUnits = MaxStoredTextUnits;  // UTF-16 code units, as the Windows buffer
// Far beyond any pattern or settings file (10,000 items take 1.5 MB, 2.6 MB in UTF-16); a larger
// file reads as one without sections and is never overwritten, so that a stray
// huge file cannot take the memory of the machine.
constexpr off_t MaxFileSize = off_t(8) << 20;
const std::string_view Utf8Bom = "\xEF\xBB\xBF";
const std::string_view Utf16LEBom = "\xFF\xFE";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

locale_t FoldLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

// The form in which names are compared: lower case, for every script that has case.
std::string Fold(std::string_view Name) {
  if (std::all_of(Name.begin(), Name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string out(Name);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  std::u16string wide = Utf8ToUtf16Lossy(Name);
  if (const locale_t locale = FoldLocale()) {
    for (char16_t& c : wide)
      if (c < 0xD800 || c > 0xDFFF) c = static_cast<char16_t>(towlower_l(c, locale));
  }
  return Utf16ToUtf8(wide);
}

// Name against a name already folded, without a copy for the usual ASCII names.
bool SameName(std::string_view Name, std::string_view Folded) {
  if (Name.size() == Folded.size()) {
    size_t i = 0;
    for (; i < Name.size(); ++i) {
      char c = Name[i];
      if (static_cast<unsigned char>(c) >= 0x80) break;
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != Folded[i]) return false;
    }
    if (i == Name.size()) return true;
  }
  return Fold(Name) == Folded;
}

// The value as the Windows profile functions hand it back; Cut tells whether it was
// longer than they give back. Units are counted as StoredTextUnits counts them.
std::string ValueAsRead(std::string_view Raw, bool* Cut = nullptr) {
  std::string_view value = Trim(Raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  size_t units = 0, end = 0;
  while (end < value.size()) {
    const unsigned char c = static_cast<unsigned char>(value[end]);
    const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    const size_t width = length == 4 ? 2 : 1;
    if (units + width > MaxValueUnits) break;
    units += width;
    end = std::min(end + length, value.size());
  }
  if (Cut) *Cut = end < value.size();
  return std::string(value.substr(0, end));
}

// A text fit for one line of the file: a line break in it would open a new line,
// or even a new section, on the next reading.
std::string OneLine(std::string_view Text) {
  std::string out(Text);
  std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return out;
}

bool ParseHex(std::string_view Digits, int32_t& Result) {
  if (Digits.empty()) return false;
  uint64_t value = 0;
  for (char c : Digits) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return false;
  }
  Result = static_cast<int32_t>(static_cast<uint32_t>(value));
  return true;
}

bool ParseInteger(std::string_view Text, int32_t& Result) {
  if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) return ParseHex(Text.substr(2), Result);
  if (!Text.empty() && Text[0] == '$') return ParseHex(Text.substr(1), Result);
  bool negative = false;
  if (!Text.empty() && (Text[0] == '+' || Text[0] == '-')) {
    negative = Text[0] == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty()) return false;
  int64_t value = 0;
  for (char c : Text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > int64_t(INT32_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return false;
  Result = static_cast<int32_t>(value);
  return true;
}

// Splits Bytes at CR LF, lone CR and lone LF, in units of Width bytes (2 for UTF-16LE).
std::vector<std::string_view> SplitLines(std::string_view Bytes, size_t Width) {
  std::vector<std::string_view> lines;
  const auto unitAt = [&](size_t i) -> unsigned {
    return Width == 1 ? static_cast<unsigned char>(Bytes[i])
                      : static_cast<unsigned char>(Bytes[i]) | (static_cast<unsigned char>(Bytes[i + 1]) << 8);
  };
  const size_t end = Bytes.size() - Bytes.size() % Width;
  size_t start = 0, i = 0;
  while (i < end) {
    const unsigned unit = unitAt(i);
    if (unit != '\r' && unit != '\n') {
      i += Width;
      continue;
    }
    lines.push_back(Bytes.substr(start, i - start));
    i += Width;
    if (unit == '\r' && i < end && unitAt(i) == '\n') i += Width;
    start = i;
  }
  if (start < end) lines.push_back(Bytes.substr(start));
  return lines;
}

std::string Utf16LEText(std::string_view Bytes) {
  std::u16string wide;
  wide.reserve(Bytes.size() / 2);
  for (size_t i = 0; i + 1 < Bytes.size(); i += 2)
    wide += static_cast<char16_t>(static_cast<unsigned char>(Bytes[i]) | (static_cast<unsigned char>(Bytes[i + 1]) << 8));
  return Utf16ToUtf8(wide);
}

}  // namespace

struct TAppIniFile::TDocument {
  struct TLine {
    std::string Text;   // UTF-8
    uint32_t RawStart = 0, RawLength = 0;  // the line's bytes as found, in RawBytes
    uint32_t ValueStart = 0;               // just after the "=" of a key line
    bool Modified = false;
    bool IsKey = false;
    std::string_view KeyName() const { return Trim(std::string_view(Text).substr(0, ValueStart - 1)); }
  };
  struct TSection {
    TLine Header;
    uint32_t NameStart = 0, NameLength = 0;  // in the header's text
    bool Erased = false;
    std::vector<TLine> Lines;
    std::string_view Name() const { return std::string_view(Header.Text).substr(NameStart, NameLength); }
  };

  TIniEncoding Encoding = TIniEncoding::Utf8;
  int LoadError = 0;  // a file that exists but cannot be read is never overwritten
  bool Dirty = false;
  std::string RawBytes;  // the file as found, kept when its encoding is not UTF-8
  bool RawUsable = true;  // false once the file moved to another encoding
  std::vector<TLine> Preamble;
  std::deque<TSection> Sections;
  std::unordered_map<std::string, uint32_t> Index;  // folded name -> its first live section

  void Parse(std::string_view Bytes);
  void AddLine(std::string Text, std::string_view Raw);
  std::string_view RawOf(const TLine& Line) const { return std::string_view(RawBytes).substr(Line.RawStart, Line.RawLength); }
  TSection* Find(std::string_view Section);
  TSection& FindOrAdd(std::string_view Section);
  static TLine* FindKey(TSection& Section, std::string_view Key);
  bool Erase(std::string_view Section);
  bool EraseAll();
  std::string Serialize();
  bool SerializeIn(TIniEncoding Encoding, bool UseRaw, std::string& Out) const;
};

void TAppIniFile::TDocument::Parse(std::string_view Bytes) {
  *this = TDocument();
  size_t width = 1;
  if (Bytes.starts_with(Utf16LEBom)) {
    Encoding = TIniEncoding::Utf16LE;
    Bytes.remove_prefix(2);
    Bytes.remove_suffix(Bytes.size() % 2);  // half a character at the end is no text
    width = 2;
  } else if (Bytes.starts_with(Utf8Bom)) {
    Encoding = TIniEncoding::Utf8Bom;
    Bytes.remove_prefix(3);
  } else {
    Encoding = IsValidUtf8(Bytes) ? TIniEncoding::Utf8 : TIniEncoding::Cp932;
  }
  if (Encoding == TIniEncoding::Utf16LE || Encoding == TIniEncoding::Cp932) {
    RawBytes = Bytes;
    Bytes = RawBytes;
  }
  const std::vector<std::string_view> raw = SplitLines(Bytes, width);
  if (Encoding == TIniEncoding::Utf8 || Encoding == TIniEncoding::Utf8Bom) {
    for (std::string_view line : raw) AddLine(std::string(line), {});
  } else if (Encoding == TIniEncoding::Utf16LE) {
    for (std::string_view line : raw) AddLine(Utf16LEText(line), line);
  } else {
    // One conversion for the whole file: code page 932 never uses CR or LF inside
    // a character, so the converted text breaks into the same lines.
    const std::string text = Cp932ToUtf8(Bytes);
    const std::vector<std::string_view> decoded = SplitLines(text, 1);
    const bool aligned = decoded.size() == raw.size();
    for (size_t i = 0; i < raw.size(); ++i)
      AddLine(aligned ? std::string(decoded[i]) : Cp932ToUtf8(raw[i]), raw[i]);
  }
}

void TAppIniFile::TDocument::AddLine(std::string Text, std::string_view Raw) {
  TLine line;
  if (!Raw.empty()) {
    line.RawStart = static_cast<uint32_t>(Raw.data() - RawBytes.data());
    line.RawLength = static_cast<uint32_t>(Raw.size());
  }
  const std::string_view body = Trim(Text);
  if (body.starts_with('[')) {
    const size_t close = body.find(']');
    if (close != std::string_view::npos) {
      TSection section;
      const std::string_view name = Trim(body.substr(1, close - 1));
      section.NameStart = static_cast<uint32_t>(name.data() - Text.data());
      section.NameLength = static_cast<uint32_t>(name.size());
      Index.try_emplace(Fold(name), static_cast<uint32_t>(Sections.size()));  // before Text moves away
      line.Text = std::move(Text);
      section.Header = std::move(line);
      Sections.push_back(std::move(section));
      return;
    }
  }
  if (!body.starts_with(';')) {
    const size_t equals = Text.find('=');
    if (equals != std::string::npos) {
      line.IsKey = true;
      line.ValueStart = static_cast<uint32_t>(equals + 1);
    }
  }
  line.Text = std::move(Text);
  (Sections.empty() ? Preamble : Sections.back().Lines).push_back(std::move(line));
}

TAppIniFile::TDocument::TSection* TAppIniFile::TDocument::Find(std::string_view Section) {
  const auto it = Index.find(Fold(Trim(Section)));
  return it == Index.end() ? nullptr : &Sections[it->second];
}

TAppIniFile::TDocument::TSection& TAppIniFile::TDocument::FindOrAdd(std::string_view Section) {
  if (TSection* found = Find(Section)) return *found;
  TSection section;
  const std::string name = OneLine(Trim(Section));
  section.Header.Text = "[" + name + "]";
  section.Header.Modified = true;
  section.NameStart = 1;
  section.NameLength = static_cast<uint32_t>(name.size());
  Index.try_emplace(Fold(name), static_cast<uint32_t>(Sections.size()));
  Sections.push_back(std::move(section));
  return Sections.back();
}

TAppIniFile::TDocument::TLine* TAppIniFile::TDocument::FindKey(TSection& Section, std::string_view Key) {
  const std::string folded = Fold(Trim(Key));
  for (TLine& line : Section.Lines)
    if (line.IsKey && SameName(line.KeyName(), folded)) return &line;
  return nullptr;
}

bool TAppIniFile::TDocument::Erase(std::string_view Section) {
  const std::string folded = Fold(Trim(Section));
  const auto it = Index.find(folded);
  if (it == Index.end()) return false;
  // Duplicates go too: a section is gone when no reading can find it any more.
  for (size_t i = it->second; i < Sections.size(); ++i) {
    TSection& section = Sections[i];
    if (!section.Erased && SameName(section.Name(), folded)) {
      section.Erased = true;
      section.Lines = {};
    }
  }
  Index.erase(it);
  return true;
}

bool TAppIniFile::TDocument::EraseAll() {
  if (Index.empty()) return false;
  Sections.clear();
  Index.clear();
  return true;
}

bool TAppIniFile::TDocument::SerializeIn(TIniEncoding Target, bool UseRaw, std::string& Out) const {
  Out.clear();
  std::string run;  // changed lines waiting for one conversion to the code page
  bool exact = true;
  const auto flushRun = [&] {
    if (run.empty()) return;
    std::string bytes = Utf8ToCp932(run);
    if (Cp932ToUtf8(bytes) != run) exact = false;
    Out += bytes;
    run.clear();
  };
  const auto put = [&](const TLine& line) {
    switch (Target) {
      case TIniEncoding::Utf8:
      case TIniEncoding::Utf8Bom:
        if (line.Modified && !IsValidUtf8(line.Text)) exact = false;
        Out += line.Text;
        Out += "\r\n";
        break;
      case TIniEncoding::Utf16LE:
        Out += UseRaw && !line.Modified ? std::string(RawOf(line)) : Utf8ToUtf16Bytes(line.Text);
        Out.append("\r\0\n\0", 4);
        break;
      case TIniEncoding::Cp932:
        if (UseRaw && !line.Modified) {
          flushRun();
          Out += RawOf(line);
          Out += "\r\n";
        } else {
          run += line.Text;
          run += "\r\n";
        }
        break;
    }
  };
  if (Target == TIniEncoding::Utf8Bom) Out += Utf8Bom;
  if (Target == TIniEncoding::Utf16LE) Out += Utf16LEBom;
  for (const TLine& line : Preamble) put(line);
  for (const TSection& section : Sections) {
    if (section.Erased) continue;
    put(section.Header);
    for (const TLine& line : section.Lines) put(line);
  }
  flushRun();
  return exact;
}

std::string TAppIniFile::TDocument::Serialize() {
  std::string out;
  if (SerializeIn(Encoding, RawUsable, out)) return out;
  // The file's own encoding cannot hold a text written to it (a character outside
  // code page 932, or bytes that are not UTF-8). A "?" in its place could turn a
  // mask into a wildcard, so the file moves to UTF-16LE with its mark, which both
  // this program and Windows read back exactly.
  Encoding = TIniEncoding::Utf16LE;
  RawUsable = false;
  SerializeIn(Encoding, false, out);
  return out;
}

// ---------------------------------------------------------------------------
// TAppIniFile

namespace {

// The bytes of the open file Handle (closed here); 0, or the errno that keeps the
// file from being read.
int ReadOpenFile(int Handle, std::string& Bytes) {
  struct stat st;
  int error = 0;
  if (fstat(Handle, &st) != 0) error = errno;
  else if (S_ISDIR(st.st_mode)) error = EISDIR;
  else if (!S_ISREG(st.st_mode)) error = EINVAL;
  else if (st.st_size > MaxFileSize) error = EFBIG;
  if (error == 0) {
    Bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (true) {
      if (done == Bytes.size()) Bytes.resize(done + 65536);  // the file may have grown
      const ssize_t n = read(Handle, Bytes.data() + done, Bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) { error = errno; break; }
      if (n == 0) break;
      done += static_cast<size_t>(n);
      if (done > static_cast<size_t>(MaxFileSize)) { error = EFBIG; break; }
    }
    Bytes.resize(done);
  }
  close(Handle);
  if (error) Bytes.clear();
  return error;
}

// The file's bytes; 0, or the errno that keeps the file from being read.
int ReadWholeFile(const std::string& FileName, std::string& Bytes) {
  Bytes.clear();
  if (FileName.empty()) return ENOENT;
  // O_NONBLOCK: a FIFO in place of the file must not hang the program.
  const int handle = open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (handle < 0) return errno;
  return ReadOpenFile(handle, Bytes);
}

// Whether root alone can change the entry: root owns it and no one else may write to
// it, except to a sticky folder, whose entries stay their owners'.
bool OnlyRootCanChange(const struct stat& St) {
  if (St.st_uid != 0) return false;
  return (St.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (S_ISDIR(St.st_mode) && (St.st_mode & S_ISVTX));
}

std::string ParentPath(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : Path.substr(0, slash);
}

// Folder and each folder above it, up to the root, by their handles rather than by
// the text of their path (which only names the culprit). False with Offender named
// when one of them can be changed by another user.
bool FoldersOnlyRootCanChange(int Folder, std::string Path, std::string& Offender) {
  TFd current(dup(Folder));
  for (int depth = 0; current.Valid() && depth < 4096; ++depth) {
    struct stat st, parentSt;
    if (fstat(current.Get(), &st) != 0 || !OnlyRootCanChange(st)) break;
    TFd parent(openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.Valid() || fstat(parent.Get(), &parentSt) != 0) break;
    if (parentSt.st_dev == st.st_dev && parentSt.st_ino == st.st_ino) return true;  // the root
    current = std::move(parent);
    Path = ParentPath(Path);
  }
  Offender = Path;
  return false;
}

// As ReadWholeFile, for root: the file is reached the trusted way (links only when
// root's own) and read only when it and every folder above it can be changed by root
// alone. EPERM with Offender named when not.
int ReadRootsOwnFile(const std::string& FileName, std::string& Bytes, std::string& Offender) {
  Bytes.clear();
  TResolvedPath resolved;
  const int error = ResolveTrustedPath(FileName, resolved);
  if (error == EPERM) Offender = resolved.UntrustedLink;
  if (error != 0) return error;
  if (resolved.Name.empty()) return EISDIR;
  if (!FoldersOnlyRootCanChange(resolved.Folder.Get(), ParentPath(resolved.Path), Offender)) return EPERM;
  // The folders named on the way as written count too, with all above them: the one
  // that holds a link followed on the way can put another in its place.
  char cwd[PATH_MAX];
  std::string prefix = FileName[0] == '/' ? FileName : std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + FileName;
  do {
    prefix = ParentPath(prefix);
    TResolvedPath folder;
    if (const int stepError = ResolveTrustedPath(prefix, folder)) {
      if (stepError == EPERM) Offender = folder.UntrustedLink;
      return stepError;
    }
    const TFd handle(folder.Name.empty()
                         ? dup(folder.Folder.Get())
                         : openat(folder.Folder.Get(), folder.Name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!handle.Valid()) return errno;
    if (!FoldersOnlyRootCanChange(handle.Get(), folder.Path, Offender)) return EPERM;
  } while (prefix != "/");
  const int handle =
      openat(resolved.Folder.Get(), resolved.Name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (handle < 0) return errno;
  struct stat st;
  if (fstat(handle, &st) != 0 || !OnlyRootCanChange(st)) {
    close(handle);
    Offender = resolved.Path;
    return EPERM;
  }
  return ReadOpenFile(handle, Bytes);
}

[[noreturn]] void RaiseCannotWrite(const std::string& FileName) {
  throw EBriskoError(eiCannotWrite, {FileName});
}

}  // namespace

EBriskoError IniValueError(TStoredTextFault Fault, const std::string& FileName, std::string_view Section,
                           std::string_view Key) {
  TErrorId id = eiValueTooLong;
  switch (Fault) {
    case sfNul: id = eiValueHasNul; break;
    case sfLineBreak: id = eiValueLineBreak; break;
    case sfBlankEnds: id = eiValueBlankEnds; break;
    case sfQuoted: id = eiValueQuoted; break;
    case sfTooLong:
    case sfNone: break;
  }
  return EBriskoError(id, {EscapeBytes(FileName), EscapeBytes(Section), EscapeBytes(Key)});
}

TAppIniFile::TAppIniFile(std::string FileName, TIniTrust Trust) : FFileName(std::move(FileName)), FTrust(Trust) {}

TAppIniFile::~TAppIniFile() = default;

TAppIniFile::TDocument& TAppIniFile::Document() {
  if (!FDocument) {
    std::string bytes, offender;
    const bool rootsOwn = FTrust == TIniTrust::RootsOwnForRoot && geteuid() == 0;
    const int error = rootsOwn ? ReadRootsOwnFile(FFileName, bytes, offender) : ReadWholeFile(FFileName, bytes);
    // Neither read nor written: what another user wrote there must not decide for root,
    // and what root writes there would not stay root's.
    if (!offender.empty()) throw EBriskoError(eiUntrustedSettings, {EscapeBytes(FFileName), EscapeBytes(offender)});
    FDocument = std::make_unique<TDocument>();
    if (error == 0) FDocument->Parse(bytes);
    // A missing file (or folder) reads as empty and may be created; anything else
    // reads as empty too but is never replaced by what little we know of it.
    else if (error != ENOENT && error != ENOTDIR) FDocument->LoadError = error;
  }
  return *FDocument;
}

void TAppIniFile::Changed() {
  Document().Dirty = true;
  if (FUpdateCount == 0) UpdateFile();
}

void TAppIniFile::BeginUpdate() { ++FUpdateCount; }

void TAppIniFile::UpdateFile() {
  FUpdateCount = 0;
  TDocument& document = Document();
  if (!document.Dirty) return;
  if (document.LoadError != 0 || ReplaceFileContent(FFileName, document.Serialize()) != 0)
    RaiseCannotWrite(FFileName);
  document.Dirty = false;
}

void TAppIniFile::LoadBytes(std::string_view Bytes) {
  FDocument = std::make_unique<TDocument>();
  FDocument->Parse(Bytes);
}

std::string TAppIniFile::FileBytes() { return Document().Serialize(); }

TIniEncoding TAppIniFile::Encoding() { return Document().Encoding; }

std::string TAppIniFile::ReadString(std::string_view Section, std::string_view Key, std::string_view Default) {
  TDocument& document = Document();
  TDocument::TSection* section = document.Find(Section);
  const TDocument::TLine* line = section ? TDocument::FindKey(*section, Key) : nullptr;
  if (!line) return std::string(Default);
  return ValueAsRead(std::string_view(line->Text).substr(line->ValueStart));
}

int32_t TAppIniFile::ReadInteger(std::string_view Section, std::string_view Key, int32_t Default) {
  int32_t value;
  return ParseInteger(ReadString(Section, Key, ""), value) ? value : Default;
}

bool TAppIniFile::ReadBool(std::string_view Section, std::string_view Key, bool Default) {
  return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

std::vector<std::string> TAppIniFile::ReadSections() {
  std::vector<std::string> names;
  for (const TDocument::TSection& section : Document().Sections)
    if (!section.Erased) names.emplace_back(section.Name());
  return names;
}

std::vector<std::vector<std::string>> TAppIniFile::ReadEachSection(const std::vector<std::string_view>& Keys,
                                                                    std::string_view Default) {
  std::vector<std::vector<std::string>> sections;
  for (TDocument::TSection& section : Document().Sections) {
    if (section.Erased) continue;
    std::vector<std::string>& values = sections.emplace_back();
    for (std::string_view key : Keys) {
      const TDocument::TLine* line = TDocument::FindKey(section, key);
      if (!line) {
        values.emplace_back(Default);
        continue;
      }
      bool cut = false;
      std::string value = ValueAsRead(std::string_view(line->Text).substr(line->ValueStart), &cut);
      // A path cut short, or cut at a NUL by the system, names another folder.
      if (cut) throw IniValueError(sfTooLong, FFileName, section.Name(), key);
      if (value.find('\0') != std::string::npos) throw IniValueError(sfNul, FFileName, section.Name(), key);
      values.push_back(std::move(value));
    }
  }
  return sections;
}

bool TAppIniFile::SectionExists(std::string_view Section) {
  const TDocument::TSection* section = Document().Find(Section);
  return section && std::any_of(section->Lines.begin(), section->Lines.end(),
                                [](const TDocument::TLine& line) { return line.IsKey; });
}

void TAppIniFile::WriteString(std::string_view Section, std::string_view Key, std::string_view Value) {
  TDocument::TSection& section = Document().FindOrAdd(Section);
  std::string value = OneLine(Value);
  if (TDocument::TLine* line = TDocument::FindKey(section, Key)) {
    const std::string name(line->KeyName());
    line->Text = name + "=" + value;
    line->ValueStart = static_cast<uint32_t>(name.size() + 1);
    line->Modified = true;
  } else {
    TDocument::TLine added;
    const std::string name = OneLine(Trim(Key));
    added.Text = name + "=" + value;
    added.ValueStart = static_cast<uint32_t>(name.size() + 1);
    added.IsKey = true;
    added.Modified = true;
    // Right after the section's last key, before the comments and blank lines that close it.
    auto lastKey = std::find_if(section.Lines.rbegin(), section.Lines.rend(),
                                [](const TDocument::TLine& line) { return line.IsKey; });
    section.Lines.insert(lastKey.base(), std::move(added));
  }
  Changed();
}

void TAppIniFile::WriteInteger(std::string_view Section, std::string_view Key, int32_t Value) {
  WriteString(Section, Key, std::to_string(Value));
}

void TAppIniFile::WriteBool(std::string_view Section, std::string_view Key, bool Value) {
  WriteString(Section, Key, Value ? "1" : "0");
}

void TAppIniFile::WriteQuotedString(std::string_view Section, std::string_view Key, std::string_view Value) {
  WriteString(Section, Key, "'" + std::string(Value) + "'");
}

void TAppIniFile::EraseSection(std::string_view Section) {
  if (Document().Erase(Section)) Changed();
}

void TAppIniFile::DeleteSection(std::string_view Section) {
  if (SectionExists(Section)) EraseSection(Section);
}

void TAppIniFile::Clear() {
  if (Document().EraseAll()) Changed();
}
