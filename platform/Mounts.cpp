#include "platform/Mounts.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/Paths.h"

namespace {

std::string& MountInfoPath() {
  static std::string path = "/proc/self/mountinfo";
  return path;
}

std::string& SysfsRoot() {
  static std::string root = "/sys";
  return root;
}

std::string ReadWholeFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// mountinfo writes space, tab, newline and backslash in names as "\ooo".
std::string DecodeOctalEscapes(std::string_view Field) {
  std::string out;
  out.reserve(Field.size());
  for (size_t i = 0; i < Field.size(); ++i) {
    if (Field[i] == '\\' && i + 3 < Field.size() && IsOctal(Field[i + 1]) && IsOctal(Field[i + 2]) &&
        IsOctal(Field[i + 3])) {
      const int value = (Field[i + 1] - '0') * 64 + (Field[i + 2] - '0') * 8 + (Field[i + 3] - '0');
      if (value <= 0xFF) {
        out += static_cast<char>(value);
        i += 3;
        continue;
      }
    }
    out += Field[i];
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view Line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < Line.size()) {
    while (i < Line.size() && Line[i] == ' ') ++i;
    const size_t start = i;
    while (i < Line.size() && Line[i] != ' ') ++i;
    if (i > start) fields.push_back(Line.substr(start, i - start));
  }
  return fields;
}

bool ParseUnsigned(std::string_view Text, unsigned long& Value) {
  if (Text.empty() || Text.size() > 10) return false;
  Value = 0;
  for (const char c : Text) {
    if (c < '0' || c > '9') return false;
    Value = Value * 10 + static_cast<unsigned long>(c - '0');
  }
  return true;
}

bool ParseDevice(std::string_view Text, uint64_t& Device) {
  const size_t colon = Text.find(':');
  unsigned long major = 0, minor = 0;
  if (colon == std::string_view::npos || !ParseUnsigned(Text.substr(0, colon), major) ||
      !ParseUnsigned(Text.substr(colon + 1), minor))
    return false;
  Device = makedev(major, minor);
  return true;
}

// "36 35 98:0 /root /mnt/point rw,noatime master:1 - ext3 /dev/sda1 rw"
bool ParseMountLine(std::string_view Line, TMountEntry& Entry) {
  const std::vector<std::string_view> f = SplitFields(Line);
  if (f.size() < 7 || !ParseDevice(f[2], Entry.Device)) return false;
  size_t dash = 6;
  while (dash < f.size() && f[dash] != "-") ++dash;
  if (dash + 2 >= f.size()) return false;
  Entry.Root = DecodeOctalEscapes(f[3]);
  Entry.MountPoint = DecodeOctalEscapes(f[4]);
  Entry.FsType = DecodeOctalEscapes(f[dash + 1]);
  Entry.Source = DecodeOctalEscapes(f[dash + 2]);
  return !Entry.MountPoint.empty() && Entry.MountPoint[0] == '/';
}

// Folds "//", "/./" and "/../" without touching the file system; "" for a relative path.
std::string NormalizeLexically(const std::string& Path) {
  if (Path.empty() || Path[0] != '/') return {};
  std::vector<std::string_view> parts;
  std::string_view rest(Path);
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (const std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out.empty() ? "/" : out;
}

// True when Ancestor is Path or one of its ancestors (both normalized).
bool IsAncestorOrSelf(const std::string& Ancestor, const std::string& Path) {
  if (Ancestor == "/") return true;
  return Path.compare(0, Ancestor.size(), Ancestor) == 0 &&
         (Path.size() == Ancestor.size() || Path[Ancestor.size()] == '/');
}

std::string RealPathOrEmpty(const std::string& Path) {
  char buffer[PATH_MAX];
  return realpath(Path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// Resolves the links of the longest existing ancestor of Path and keeps the rest
// of the path as it is: a dead target still lies on the mount of its folder.
std::string ResolveExistingPart(const std::string& Normalized) {
  std::string head = Normalized, tail;
  while (true) {
    std::string real = RealPathOrEmpty(head);
    if (!real.empty()) return NormalizeLexically(real + tail);
    if (head == "/") return Normalized;
    const size_t slash = head.rfind('/');
    tail = head.substr(slash) + tail;
    head = slash == 0 ? "/" : head.substr(0, slash);
  }
}

bool IsNetworkFsType(const std::string& FsType) {
  static const std::array<std::string_view, 16> kernel = {
      "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "coda", "9p", "ceph", "glusterfs", "lustre",
      "davfs", "sshfs", "gfs2", "ocfs2"};
  // FUSE file systems show up as "fuse.<program>"; these programs reach over the network.
  static const std::array<std::string_view, 16> fuse = {
      "sshfs", "rclone", "s3fs", "gvfsd-fuse", "davfs2", "curlftpfs", "glusterfs", "ceph-fuse",
      "smbnetfs", "goofys", "gcsfuse", "blobfuse", "blobfuse2", "httpdirfs", "afpfs", "mountpoint-s3"};
  for (const std::string_view name : kernel)
    if (FsType == name) return true;
  if (FsType.rfind("fuse.", 0) == 0) {
    const std::string_view program = std::string_view(FsType).substr(5);
    for (const std::string_view name : fuse)
      if (program == name) return true;
  }
  return false;
}

bool StartsWith(std::string_view Text, std::string_view Prefix) { return Text.substr(0, Prefix.size()) == Prefix; }

// The sysfs folder of the mount's block device, resolved; "" when it has none.
std::string BlockDeviceFolder(const TMountEntry& Mount) {
  const std::string& sys = SysfsRoot();
  std::string folder = RealPathOrEmpty(sys + "/dev/block/" + std::to_string(major(Mount.Device)) + ":" +
                                       std::to_string(minor(Mount.Device)));
  if (!folder.empty() || !StartsWith(Mount.Source, "/")) return folder;
  // File systems on anonymous devices (btrfs, fuseblk) are found by their source,
  // whose name may itself be a link ("/dev/mapper/x", "/dev/disk/by-uuid/...").
  folder = RealPathOrEmpty(sys + "/class/block/" + BaseNameOf(Mount.Source));
  if (folder.empty()) {
    const std::string device = RealPathOrEmpty(Mount.Source);
    if (!device.empty()) folder = RealPathOrEmpty(sys + "/class/block/" + BaseNameOf(device));
  }
  return folder;
}

bool FileSaysOne(const std::string& Path) {
  const std::string text = ReadWholeFile(Path);
  return !text.empty() && text[0] == '1';
}

// A device is removable when it, or the disk holding the partition, says so or hangs
// off a USB bus; a device-mapper volume (an encrypted stick) is removable when one of
// the devices below it is.
bool IsRemovableDevice(const std::string& Folder, int Depth) {
  const std::string root = RealPathOrEmpty(SysfsRoot());
  const std::string relative = StartsWith(Folder, root) ? Folder.substr(root.size()) : Folder;
  if (relative.find("/usb") != std::string::npos) return true;
  if (FileSaysOne(Folder + "/removable")) return true;
  struct stat st;
  if (stat((Folder + "/partition").c_str(), &st) == 0) {
    const size_t slash = Folder.rfind('/');
    if (slash != std::string::npos && FileSaysOne(Folder.substr(0, slash) + "/removable")) return true;
  }
  if (Depth >= 4) return false;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(Folder + "/slaves", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string slave = RealPathOrEmpty(it->path().string());
    if (!slave.empty() && IsRemovableDevice(slave, Depth + 1)) return true;
  }
  return false;
}

// "sr0", "sr1", ...: SCSI CD-ROM drives, the name every optical drive gets.
bool IsOpticalDeviceName(const std::string& Name) {
  return Name.size() > 2 && StartsWith(Name, "sr") && Name.find_first_not_of("0123456789", 2) == std::string::npos;
}

bool IsRamBlockDevice(const std::string& Name) { return StartsWith(Name, "ram") || StartsWith(Name, "zram"); }

TDriveClass ClassOfMount(const TMountEntry& Mount) {
  const std::string& fs = Mount.FsType;
  if (fs == "iso9660" || fs == "udf") return dcCdRom;
  if (IsNetworkFsType(fs)) return dcNetwork;
  if (fs == "tmpfs" || fs == "ramfs") return dcRamDisk;
  const std::string folder = BlockDeviceFolder(Mount);
  const std::string name = folder.empty() ? BaseNameOf(Mount.Source) : BaseNameOf(folder);
  if (IsOpticalDeviceName(name)) return dcCdRom;
  if (folder.empty()) return dcFixed;
  if (IsRamBlockDevice(name)) return dcRamDisk;
  if (IsRemovableDevice(folder, 0)) return dcRemovable;
  return dcFixed;
}

// Below /media, /run/media or /mnt, a folder on which nothing is mounted is where a
// medium would appear: it is not inserted.
bool IsEmptyMediaFolder(const std::string& Path, const TMountEntry& Mount) {
  for (const std::string base : {"/media", "/run/media", "/mnt"}) {
    if (Path.size() > base.size() && IsAncestorOrSelf(base, Path) && Mount.MountPoint.size() < base.size())
      return true;
  }
  return false;
}

}  // namespace

std::vector<TMountEntry> ParseMountInfo(const std::string& Text) {
  std::vector<TMountEntry> mounts;
  std::string_view rest(Text);
  while (!rest.empty()) {
    const size_t newline = rest.find('\n');
    const std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
    TMountEntry entry;
    if (ParseMountLine(line, entry)) mounts.push_back(std::move(entry));
  }
  return mounts;
}

std::vector<TMountEntry> ReadMountTable() { return ParseMountInfo(ReadWholeFile(MountInfoPath())); }

const TMountEntry* FindMountFor(const std::vector<TMountEntry>& Mounts, const std::string& AbsPath) {
  const std::string path = NormalizeLexically(AbsPath);
  if (path.empty()) return nullptr;
  const TMountEntry* best = nullptr;
  for (const TMountEntry& mount : Mounts) {
    const std::string point = NormalizeLexically(mount.MountPoint);
    if (!IsAncestorOrSelf(point, path)) continue;
    if (!best || point.size() >= NormalizeLexically(best->MountPoint).size()) best = &mount;
  }
  return best;
}

TDriveClass GetDriveClass(const std::string& Path, const std::vector<TMountEntry>& Mounts) {
  const std::string normalized = NormalizeLexically(Path);
  if (normalized.empty()) return dcNone;
  const std::string resolved = ResolveExistingPart(normalized);
  const TMountEntry* mount = FindMountFor(Mounts, resolved);
  if (!mount) return dcNone;
  if (IsEmptyMediaFolder(resolved, *mount)) return dcRemovable;
  return ClassOfMount(*mount);
}

bool IsNetworkFileSystem(const std::string& FsType) { return IsNetworkFsType(FsType); }

TDriveClass GetDriveClass(const std::string& Path) { return GetDriveClass(Path, ReadMountTable()); }

void SetMountInfoPathForTesting(std::string Path) { MountInfoPath() = std::move(Path); }

void SetSysfsRootForTesting(std::string Path) { SysfsRoot() = std::move(Path); }
