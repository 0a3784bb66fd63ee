#include "shell/ShellLink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "shell/ShellUtils.h"

namespace {

constexpr uint32_t HeaderSize = 0x4C;
constexpr std::array<uint8_t, 16> LinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Link flags.
constexpr uint32_t HasLinkTargetIDList = 1u << 0;
constexpr uint32_t HasLinkInfo = 1u << 1;
constexpr uint32_t HasName = 1u << 2;
constexpr uint32_t HasRelativePath = 1u << 3;
constexpr uint32_t HasWorkingDir = 1u << 4;
constexpr uint32_t HasArguments = 1u << 5;
constexpr uint32_t HasIconLocation = 1u << 6;
constexpr uint32_t IsUnicodeFlag = 1u << 7;
constexpr uint32_t ForceNoLinkInfo = 1u << 8;
constexpr uint32_t HasExpString = 1u << 9;

// LinkInfo flags.
constexpr uint32_t VolumeIDAndLocalBasePath = 1u << 0;
constexpr uint32_t CommonNetworkRelativeLinkAndPathSuffix = 1u << 1;

constexpr uint32_t LinkInfoHeaderSizeAnsi = 0x1C;
constexpr uint32_t LinkInfoHeaderSizeUnicode = 0x24;
constexpr uint32_t VolumeIDHeaderSize = 0x10;
constexpr uint32_t NetworkLinkHeaderSize = 0x14;

constexpr uint32_t EnvironmentVariableBlockSignature = 0xA0000001;
constexpr uint32_t EnvironmentVariableBlockSize = 0x314;
constexpr size_t EnvironmentAnsiSize = 260;
constexpr size_t EnvironmentUnicodeSize = 520;

// A window on the file's bytes whose reads fail instead of running past its end.
class TByteView {
public:
  TByteView() = default;
  explicit TByteView(std::string_view Bytes) : FBytes(Bytes) {}
  size_t Size() const { return FBytes.size(); }
  bool Has(size_t Offset, size_t Length) const { return Offset <= FBytes.size() && Length <= FBytes.size() - Offset; }
  bool U16(size_t Offset, uint16_t& Value) const {
    if (!Has(Offset, 2)) return false;
    Value = static_cast<uint16_t>(Byte(Offset) | Byte(Offset + 1) << 8);
    return true;
  }
  bool U32(size_t Offset, uint32_t& Value) const {
    if (!Has(Offset, 4)) return false;
    Value = static_cast<uint32_t>(Byte(Offset)) | static_cast<uint32_t>(Byte(Offset + 1)) << 8 |
            static_cast<uint32_t>(Byte(Offset + 2)) << 16 | static_cast<uint32_t>(Byte(Offset + 3)) << 24;
    return true;
  }
  bool Sub(size_t Offset, size_t Length, TByteView& View) const {
    if (!Has(Offset, Length)) return false;
    View = TByteView(FBytes.substr(Offset, Length));
    return true;
  }
  // A zero-terminated code-page string starting at Offset, converted to UTF-8.
  bool AnsiZ(size_t Offset, std::string& Text) const {
    if (Offset >= FBytes.size()) return false;
    const size_t end = FBytes.find('\0', Offset);
    if (end == std::string_view::npos) return false;
    Text = Cp932ToUtf8(FBytes.substr(Offset, end - Offset));
    return true;
  }
  // A zero-terminated UTF-16LE string starting at Offset, converted to UTF-8.
  bool UnicodeZ(size_t Offset, std::string& Text) const {
    std::u16string wide;
    for (size_t at = Offset;; at += 2) {
      uint16_t unit;
      if (!U16(at, unit)) return false;
      if (unit == 0) break;
      wide += static_cast<char16_t>(unit);
    }
    Text = Utf16ToUtf8(wide);
    return true;
  }
  std::string_view Bytes() const { return FBytes; }

private:
  unsigned Byte(size_t Offset) const { return static_cast<unsigned char>(FBytes[Offset]); }
  std::string_view FBytes;
};

// Keeps the first Limit UTF-16 units of a text, as the platform's fixed buffers do.
std::string CapText(const std::string& Text, size_t Limit) {
  if (Text.size() <= Limit) return Text;  // fewer bytes than units is impossible
  const std::u16string wide = Utf8ToUtf16Lossy(Text);
  return wide.size() <= Limit ? Text : Utf16ToUtf8(std::u16string_view(wide).substr(0, Limit));
}

// The volume's drive type from a VolumeID structure at Offset within LinkInfo.
bool DecodeVolumeID(const TByteView& Info, uint32_t Offset, uint32_t& DriveType) {
  uint32_t size;
  TByteView volume;
  return Info.U32(Offset, size) && size >= VolumeIDHeaderSize && Info.Sub(Offset, size, volume) &&
         volume.U32(4, DriveType);
}

// A LinkInfo string: the Unicode one when its offset is given, else the code-page one.
bool DecodeInfoString(const TByteView& View, uint32_t AnsiOffset, uint32_t UnicodeOffset, std::string& Text) {
  if (UnicodeOffset != 0) return View.UnicodeZ(UnicodeOffset, Text);
  return AnsiOffset == 0 ? (Text.clear(), true) : View.AnsiZ(AnsiOffset, Text);
}

// The network name of a CommonNetworkRelativeLink at Offset within LinkInfo.
bool DecodeNetworkLink(const TByteView& Info, uint32_t Offset, std::string& NetName) {
  uint32_t size, netNameOffset, unicodeOffset = 0;
  TByteView link;
  if (!Info.U32(Offset, size) || size < NetworkLinkHeaderSize || !Info.Sub(Offset, size, link) ||
      !link.U32(8, netNameOffset))
    return false;
  // Offsets beyond the short header mean the header carries the Unicode offsets too.
  if (netNameOffset > NetworkLinkHeaderSize && !link.U32(0x14, unicodeOffset)) return false;
  return link.AnsiZ(netNameOffset, NetName) && (unicodeOffset == 0 || link.UnicodeZ(unicodeOffset, NetName));
}

struct TLinkInfoPaths {
  std::string LocalBasePath, NetName, CommonPathSuffix;
  uint32_t DriveType = DRIVE_UNKNOWN;
};

bool DecodeLinkInfo(const TByteView& Info, TLinkInfoPaths& Paths) {
  uint32_t headerSize, flags, volumeOffset, localOffset, networkOffset, suffixOffset;
  uint32_t localUnicode = 0, suffixUnicode = 0;
  if (!Info.U32(4, headerSize) || headerSize < LinkInfoHeaderSizeAnsi || headerSize > Info.Size() ||
      !Info.U32(8, flags) || !Info.U32(12, volumeOffset) || !Info.U32(16, localOffset) ||
      !Info.U32(20, networkOffset) || !Info.U32(24, suffixOffset))
    return false;
  if (headerSize >= LinkInfoHeaderSizeUnicode && (!Info.U32(28, localUnicode) || !Info.U32(32, suffixUnicode)))
    return false;
  if (flags & VolumeIDAndLocalBasePath) {
    if (!DecodeVolumeID(Info, volumeOffset, Paths.DriveType) ||
        !DecodeInfoString(Info, localOffset, localUnicode, Paths.LocalBasePath))
      return false;
  }
  if ((flags & CommonNetworkRelativeLinkAndPathSuffix) && !DecodeNetworkLink(Info, networkOffset, Paths.NetName))
    return false;
  return DecodeInfoString(Info, suffixOffset, suffixUnicode, Paths.CommonPathSuffix);
}

// The recorded path of LinkInfo: the local base path or the network name, each
// followed by the common path suffix.
std::string LinkInfoPath(const TLinkInfoPaths& Paths) {
  if (!Paths.LocalBasePath.empty()) return Paths.LocalBasePath + Paths.CommonPathSuffix;
  if (Paths.NetName.empty()) return {};
  if (Paths.CommonPathSuffix.empty() || Paths.NetName.back() == '\\') return Paths.NetName + Paths.CommonPathSuffix;
  return Paths.NetName + "\\" + Paths.CommonPathSuffix;
}

// One counted string of StringData at Offset; advances Offset past it.
bool DecodeCountedString(const TByteView& File, bool Unicode, size_t& Offset, std::string& Text) {
  uint16_t count;
  if (!File.U16(Offset, count)) return false;
  Offset += 2;
  const size_t length = Unicode ? size_t{count} * 2 : count;
  TByteView chars;
  if (!File.Sub(Offset, length, chars)) return false;
  Offset += length;
  if (Unicode) {
    std::u16string wide;
    for (size_t i = 0; i < count; ++i) {
      uint16_t unit = 0;
      chars.U16(i * 2, unit);
      if (unit == 0) break;
      wide += static_cast<char16_t>(unit);
    }
    Text = Utf16ToUtf8(wide);
  } else {
    const std::string_view bytes = chars.Bytes();
    Text = Cp932ToUtf8(bytes.substr(0, bytes.find('\0')));
  }
  return true;
}

// The target of an EnvironmentVariableDataBlock (Unicode preferred), unexpanded.
bool DecodeEnvironmentBlock(const TByteView& Block, std::string& Target) {
  if (Block.Size() < EnvironmentVariableBlockSize) return false;
  std::string ansi, unicode;
  TByteView ansiField, unicodeField;
  Block.Sub(8, EnvironmentAnsiSize, ansiField);
  Block.Sub(8 + EnvironmentAnsiSize, EnvironmentUnicodeSize, unicodeField);
  const std::string_view ansiBytes = ansiField.Bytes();
  ansi = Cp932ToUtf8(ansiBytes.substr(0, ansiBytes.find('\0')));
  if (!unicodeField.UnicodeZ(0, unicode)) unicode.clear();  // unterminated: take the code-page one
  Target = unicode.empty() ? ansi : unicode;
  return true;
}

// ExtraData: blocks of (size, signature, data) up to a terminal block whose size is
// below 4. A file that ends where the next block would begin is taken as complete.
bool DecodeExtraData(const TByteView& File, size_t Offset, std::string& EnvironmentPath) {
  while (Offset < File.Size()) {
    uint32_t size, signature;
    if (!File.U32(Offset, size)) return false;
    if (size < 4) return true;
    TByteView block;
    if (size < 8 || !File.Sub(Offset, size, block) || !block.U32(4, signature)) return false;
    if (signature == EnvironmentVariableBlockSignature && !DecodeEnvironmentBlock(block, EnvironmentPath))
      return false;
    Offset += size;
  }
  return true;
}

void PutU16(std::string& Out, uint16_t Value) {
  Out += static_cast<char>(Value & 0xFF);
  Out += static_cast<char>(Value >> 8);
}

void PutU32(std::string& Out, uint32_t Value) {
  for (int shift = 0; shift < 32; shift += 8) Out += static_cast<char>((Value >> shift) & 0xFF);
}

void SetU32(std::string& Out, size_t Offset, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Out[Offset + i] = static_cast<char>((Value >> (8 * i)) & 0xFF);
}

std::string Utf16Bytes(const std::string& Text, bool Terminated) {
  std::string out = Utf8ToUtf16Bytes(Text);
  if (Terminated) PutU16(out, 0);
  return out;
}

std::string LinkInfoBytes(const TLinkInfoPaths& Paths, bool Unicode) {
  const uint32_t headerSize = Unicode ? LinkInfoHeaderSizeUnicode : LinkInfoHeaderSizeAnsi;
  const bool local = Paths.NetName.empty();
  std::string info(headerSize, '\0');
  uint32_t flags = 0;
  if (local) {
    flags |= VolumeIDAndLocalBasePath;
    SetU32(info, 12, static_cast<uint32_t>(info.size()));
    PutU32(info, VolumeIDHeaderSize + 1);  // the header and an empty volume label
    PutU32(info, Paths.DriveType);
    PutU32(info, 0x1234ABCD);             // serial number
    PutU32(info, VolumeIDHeaderSize);     // label offset
    info += '\0';
    SetU32(info, 16, static_cast<uint32_t>(info.size()));
    info += Utf8ToCp932(Paths.LocalBasePath) + '\0';
  } else {
    flags |= CommonNetworkRelativeLinkAndPathSuffix;
    SetU32(info, 20, static_cast<uint32_t>(info.size()));
    const uint32_t linkHeader = Unicode ? NetworkLinkHeaderSize + 8 : NetworkLinkHeaderSize;
    std::string link;
    PutU32(link, 0);  // size, set below
    PutU32(link, 0);  // no device name, no provider type
    PutU32(link, linkHeader);
    PutU32(link, 0);
    PutU32(link, 0);
    if (Unicode) {
      PutU32(link, 0);  // NetNameOffsetUnicode, set below
      PutU32(link, 0);
    }
    link += Utf8ToCp932(Paths.NetName) + '\0';
    if (Unicode) {
      SetU32(link, 0x14, static_cast<uint32_t>(link.size()));
      link += Utf16Bytes(Paths.NetName, true);
    }
    SetU32(link, 0, static_cast<uint32_t>(link.size()));
    info += link;
  }
  SetU32(info, 24, static_cast<uint32_t>(info.size()));
  info += Utf8ToCp932(Paths.CommonPathSuffix) + '\0';
  if (Unicode) {
    if (local) {
      SetU32(info, 28, static_cast<uint32_t>(info.size()));
      info += Utf16Bytes(Paths.LocalBasePath, true);
    }
    SetU32(info, 32, static_cast<uint32_t>(info.size()));
    info += Utf16Bytes(Paths.CommonPathSuffix, true);
  }
  SetU32(info, 0, static_cast<uint32_t>(info.size()));
  SetU32(info, 4, headerSize);
  SetU32(info, 8, flags);
  return info;
}

std::string CountedStringBytes(const std::string& Text, bool Unicode) {
  std::string out;
  if (Unicode) {
    const std::string units = Utf16Bytes(Text, false);
    PutU16(out, static_cast<uint16_t>(units.size() / 2));
    return out + units;
  }
  const std::string bytes = Utf8ToCp932(Text);
  PutU16(out, static_cast<uint16_t>(bytes.size()));
  return out + bytes;
}

std::string EnvironmentBlockBytes(const std::string& Target) {
  std::string block;
  PutU32(block, EnvironmentVariableBlockSize);
  PutU32(block, EnvironmentVariableBlockSignature);
  std::string ansi = Utf8ToCp932(Target).substr(0, EnvironmentAnsiSize - 1);
  ansi.resize(EnvironmentAnsiSize, '\0');
  std::string unicode = Utf16Bytes(Target, false).substr(0, EnvironmentUnicodeSize - 2);
  unicode.resize(EnvironmentUnicodeSize, '\0');
  return block + ansi + unicode;
}

// Opens FileName for reading only when it is a regular file itself. The name is first
// opened as a bare path handle, which follows no link and does not open a device or a
// FIFO for real (opening one can stall, rewind a tape or arm a watchdog); the file
// checked through that handle is then opened through the same handle.
int OpenRegularFile(int FolderFd, const std::string& FileName, struct stat& Info) {
  const int pathFd = openat(FolderFd, FileName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (pathFd < 0) return -1;
  int fd = -1;
  struct stat pathInfo;
  if (fstat(pathFd, &pathInfo) == 0 && S_ISREG(pathInfo.st_mode)) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(pathFd);
    // Reading must leave the access time alone: a later row may judge it. Only the
    // owner (or root) may ask for that; anyone else reads as usual.
    fd = open(procPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOATIME | O_CLOEXEC);
    if (fd < 0 && errno == EPERM) fd = open(procPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  close(pathFd);
  if (fd >= 0 && (fstat(fd, &Info) != 0 || !S_ISREG(Info.st_mode) || Info.st_dev != pathInfo.st_dev ||
                  Info.st_ino != pathInfo.st_ino)) {
    close(fd);
    fd = -1;
  }
  return fd;
}

// Reads a regular file of at most MaxShortcutFileSize bytes; a link, even to a
// shortcut file, is not read.
bool ReadShortcutFile(int FolderFd, const std::string& FileName, std::string& Bytes) {
  struct stat st;
  const int fd = OpenRegularFile(FolderFd, FileName, st);
  if (fd < 0) return false;
  bool ok = st.st_size <= static_cast<off_t>(MaxShortcutFileSize);
  if (ok) {
    // One byte more than the file held shows a file that grew meanwhile; it is read
    // again only up to the limit.
    Bytes.resize(std::min<size_t>(static_cast<size_t>(st.st_size), MaxShortcutFileSize) + 1);
    size_t total = 0;
    while (total < Bytes.size()) {
      const ssize_t n = read(fd, Bytes.data() + total, Bytes.size() - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      total += static_cast<size_t>(n);
      if (total == Bytes.size() && Bytes.size() <= MaxShortcutFileSize)
        Bytes.resize(std::min(Bytes.size() * 2, MaxShortcutFileSize + 1));
    }
    Bytes.resize(total);
    ok = ok && total <= MaxShortcutFileSize;
  }
  close(fd);
  return ok;
}

TDriveClass DriveClassOfType(uint32_t DriveType) {
  switch (DriveType) {
    case DRIVE_REMOVABLE: return dcRemovable;
    case DRIVE_FIXED: return dcFixed;
    case DRIVE_REMOTE: return dcNetwork;
    case DRIVE_CDROM: return dcCdRom;
    case DRIVE_RAMDISK: return dcRamDisk;
    default: return dcNone;
  }
}

}  // namespace

void TShellLink::Clear() {
  const bool unicode = FUnicode;
  *this = TShellLink();
  FUnicode = unicode;
}

bool TShellLink::Load(const std::string& FileName, uint32_t /*Mode*/) {
  std::string bytes;
  if (!ReadShortcutFile(AT_FDCWD, FileName, bytes)) {
    Clear();
    return false;
  }
  return LoadFromBytes(bytes, FileName);
}

bool TShellLink::LoadFromBytes(std::string_view Bytes, const std::string& FileName) {
  Clear();
  if (Bytes.size() > MaxShortcutFileSize || !Decode(Bytes)) {
    Clear();
    return false;
  }
  FFileName = FileName;
  return true;
}

bool TShellLink::Decode(std::string_view Bytes) {
  const TByteView file(Bytes);
  uint32_t headerSize, flags, iconIndex, showCmd;
  uint16_t hotkey;
  if (!file.U32(0, headerSize) || headerSize != HeaderSize || !file.Has(0, HeaderSize) ||
      std::memcmp(Bytes.data() + 4, LinkClsid.data(), LinkClsid.size()) != 0 || !file.U32(0x14, flags) ||
      !file.U32(0x38, iconIndex) || !file.U32(0x3C, showCmd) || !file.U16(0x40, hotkey))
    return false;
  FIconIndex = static_cast<int32_t>(iconIndex);
  FShowCmd = showCmd == SW_SHOWMAXIMIZED || showCmd == SW_SHOWMINNOACTIVE ? static_cast<int32_t>(showCmd)
                                                                            : SW_SHOWNORMAL;
  FHotkey = hotkey;
  FUnicode = flags & IsUnicodeFlag;
  FForceNoLinkInfo = flags & ForceNoLinkInfo;
  size_t offset = HeaderSize;

  // The item identifier list is skipped, never interpreted.
  if (flags & HasLinkTargetIDList) {
    uint16_t size;
    if (!file.U16(offset, size) || !file.Has(offset + 2, size)) return false;
    offset += 2 + size_t{size};
  }

  TLinkInfoPaths paths;
  if (flags & HasLinkInfo) {
    uint32_t size;
    TByteView info;
    if (!file.U32(offset, size) || size < LinkInfoHeaderSizeAnsi || !file.Sub(offset, size, info)) return false;
    if (!FForceNoLinkInfo && !DecodeLinkInfo(info, paths)) return false;
    offset += size;
  }
  if (!FForceNoLinkInfo) {
    FLocalBasePath = paths.LocalBasePath;
    FNetName = paths.NetName;
    FCommonPathSuffix = paths.CommonPathSuffix;
    FDriveType = paths.DriveType;
  }

  const std::array<std::pair<uint32_t, std::string*>, 5> strings = {{{HasName, &FDescription},
                                                                      {HasRelativePath, &FRelativePath},
                                                                      {HasWorkingDir, &FWorkingDirectory},
                                                                      {HasArguments, &FArguments},
                                                                      {HasIconLocation, &FIconPath}}};
  for (const auto& [flag, text] : strings)
    if ((flags & flag) && !DecodeCountedString(file, FUnicode, offset, *text)) return false;
  FDescription = CapText(FDescription, MaxShortcutText);
  FRelativePath = CapText(FRelativePath, MaxShortcutText);
  FWorkingDirectory = CapText(FWorkingDirectory, MaxShortcutText);

  std::string environmentPath;
  if (!DecodeExtraData(file, offset, environmentPath)) return false;
  if (flags & HasExpString) FEnvironmentPath = environmentPath;

  FRecordedPath = LinkInfoPath(paths);
  if (FForceNoLinkInfo || FRecordedPath.empty()) FRecordedPath = FEnvironmentPath;
  return true;
}

bool TShellLink::Resolve(uint32_t /*Flags*/) {
  FResolved = FResolvedUnchecked = false;
  FResolvedPath.clear();
  if (PathExists(FRecordedPath)) {
    FResolvedPath = FRecordedPath;
  } else if (!FRelativePath.empty() && !FFileName.empty()) {
    std::string relative = FRelativePath;
    for (char& c : relative)
      if (c == '\\') c = '/';
    const std::string candidate = JoinPath(FolderOf(FFileName), relative);
    if (PathExists(candidate)) FResolvedPath = candidate;
  }
  if (FResolvedPath.empty() && !FRecordedPath.empty() &&
      (FDriveType == DRIVE_REMOVABLE || FDriveType == DRIVE_CDROM)) {
    FResolvedPath = FRecordedPath;
    FResolvedUnchecked = true;
  }
  FResolved = !FResolvedPath.empty();
  return FResolved;
}

bool TShellLink::ResolvingLoad(const std::string& FileName, uint32_t Mode, uint32_t Flags) {
  return Load(FileName, Mode) && Resolve(Flags);
}

bool TShellLink::Save(const std::string& FileName, bool Remember) {
  const std::string bytes = SaveToBytes();
  const int fd = open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ok = close(fd) == 0 && ok;
  if (ok && Remember) FFileName = FileName;
  return ok;
}

bool TShellLink::ResolvingSave(const std::string& FileName, bool Remember, uint32_t Flags) {
  return Resolve(Flags) && Save(FileName, Remember);
}

std::string TShellLink::SaveToBytes() const {
  const bool hasLinkInfo = !FLocalBasePath.empty() || !FNetName.empty();
  uint32_t flags = (FUnicode ? IsUnicodeFlag : 0) | (FForceNoLinkInfo ? ForceNoLinkInfo : 0) |
                   (hasLinkInfo ? HasLinkInfo : 0) | (FEnvironmentPath.empty() ? 0 : HasExpString);
  const std::array<std::pair<uint32_t, const std::string*>, 5> strings = {{{HasName, &FDescription},
                                                                            {HasRelativePath, &FRelativePath},
                                                                            {HasWorkingDir, &FWorkingDirectory},
                                                                            {HasArguments, &FArguments},
                                                                            {HasIconLocation, &FIconPath}}};
  for (const auto& [flag, text] : strings)
    if (!text->empty()) flags |= flag;

  std::string out;
  PutU32(out, HeaderSize);
  out.append(reinterpret_cast<const char*>(LinkClsid.data()), LinkClsid.size());
  PutU32(out, flags);
  PutU32(out, 0);                    // file attributes
  out.append(24, '\0');              // creation, access and write times
  PutU32(out, 0);                    // file size
  PutU32(out, static_cast<uint32_t>(FIconIndex));
  PutU32(out, static_cast<uint32_t>(FShowCmd));
  PutU16(out, FHotkey);
  out.append(10, '\0');              // reserved
  if (hasLinkInfo)
    out += LinkInfoBytes({FLocalBasePath, FNetName, FCommonPathSuffix, FDriveType}, FUnicode);
  for (const auto& [flag, text] : strings)
    if (flags & flag) out += CountedStringBytes(*text, FUnicode);
  if (!FEnvironmentPath.empty()) out += EnvironmentBlockBytes(FEnvironmentPath);
  PutU32(out, 0);                    // terminal block
  return out;
}

void TShellLink::SetTargetPath(const std::string& Value) {
  FLocalBasePath.clear();
  FNetName.clear();
  FCommonPathSuffix.clear();
  if (Value.rfind("\\\\", 0) == 0) {
    // "\\server\share\rest": the network name ends before the fourth "\".
    const size_t share = Value.find('\\', 2);
    const size_t rest = share == std::string::npos ? std::string::npos : Value.find('\\', share + 1);
    FNetName = Value.substr(0, rest);
    if (rest != std::string::npos) FCommonPathSuffix = Value.substr(rest + 1);
  } else {
    FLocalBasePath = Value;
    if (FDriveType == DRIVE_UNKNOWN) FDriveType = DRIVE_FIXED;
  }
  FRecordedPath = LinkInfoPath({FLocalBasePath, FNetName, FCommonPathSuffix, FDriveType});
  FResolved = FResolvedUnchecked = false;
  FResolvedPath.clear();
}

void TShellLink::SetEnvironmentTargetPath(const std::string& Value) {
  FEnvironmentPath = Value;
  if (FRecordedPath.empty()) FRecordedPath = Value;
}

namespace {

// Name is looked up in FolderFd; FileName is the shortcut's path, for the texts.
TShortcutTarget ReadShortcutTargetIn(int FolderFd, const std::string& Name, const std::string& FileName) {
  TShortcutTarget target;
  std::string linked;
  if (ReadSymbolicLinkTargetAt(FolderFd, FolderOf(FileName), Name, linked)) {
    target.Outcome = linked.empty() ? soUnresolved : soResolved;
    target.Path = linked;
    return target;
  }
  if (!IsShortcutFileName(FileName)) {
    target.Path = FileName;
    return target;
  }
  TShellLink link;
  std::string bytes;
  if (!ReadShortcutFile(FolderFd, Name, bytes) || !link.LoadFromBytes(bytes, FileName) || !link.Resolve(SLR_NO_UI)) {
    target.Outcome = soUnresolved;
    return target;
  }
  target.Outcome = soResolved;
  target.Path = link.ResolvedPath();
  if (!IsPathOfThisSystem(target.Path)) target.RecordedDrive = DriveClassOfType(link.VolumeDriveType());
  return target;
}

}  // namespace

TShortcutTarget ReadShortcutTarget(const std::string& FileName) {
  return ReadShortcutTargetIn(AT_FDCWD, FileName, FileName);
}

TShortcutTarget ReadShortcutTargetAt(int FolderFd, const std::string& Folder, const std::string& Name) {
  return ReadShortcutTargetIn(FolderFd, Name, JoinPath(Folder, Name));
}

std::string GetShortcutTarget(const std::string& FileName) { return ReadShortcutTarget(FileName).Path; }

bool TargetExists(const TShortcutTarget& Target) { return PathExists(Target.Path); }

TDriveClass GetTargetDriveClass(const TShortcutTarget& Target) {
  if (Target.Path.empty()) return GetDriveClass("/");
  if (!IsPathOfThisSystem(Target.Path)) return Target.RecordedDrive;
  return GetDriveClass(Target.Path);
}
