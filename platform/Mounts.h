#pragma once
// The mount table and the drive class of a path. Option "U" of the folder sweep
// needs to know whether a path lies on a removable medium or a CD-ROM; the trash
// needs the mount that holds a file. Both come from /proc/self/mountinfo, and the
// removable flag of a block device from sysfs. The two locations can be moved for
// tests, which build their own mount tables and sysfs trees.
#include <cstdint>
#include <string>
#include <vector>

struct TMountEntry {
  uint64_t Device = 0;     // makedev(major, minor) of the mounted file system (st_dev of its files)
  std::string Root;        // the folder of the file system that is mounted (bind mounts: not "/")
  std::string MountPoint;  // where it is mounted, bytes as the kernel gives them (escapes decoded)
  std::string FsType;      // "ext4", "nfs4", "fuse.sshfs", ...
  std::string Source;      // "/dev/sdb1", "server:/export", ... (escapes decoded)
};

enum TDriveClass { dcNone, dcRemovable, dcFixed, dcNetwork, dcCdRom, dcRamDisk };

// The mount table, in mount order, read from the current mountinfo location.
// An unreadable table gives an empty list; malformed lines are skipped.
std::vector<TMountEntry> ReadMountTable();

// Parses mountinfo text (one mount a line). Exposed for tests and for callers that
// already hold the text.
std::vector<TMountEntry> ParseMountInfo(const std::string& Text);

// The mount that holds the absolute path AbsPath: the longest mount point that is
// AbsPath or one of its ancestors, matched by whole components; of several mounts on
// the same point the last mounted wins, as it hides the others. The path is taken
// lexically ("." and ".." and repeated "/" are folded, links are not followed).
// Null when no mount holds it (a relative path, an empty table).
const TMountEntry* FindMountFor(const std::vector<TMountEntry>& Mounts, const std::string& AbsPath);

// The drive class of an absolute path: the class of the mount that holds it, after
// the links among the path's existing ancestors have been resolved.
// - CD-ROM: iso9660 or udf, or mounted from an sr device;
// - network: nfs, cifs, smb3, sshfs and the other network file systems, FUSE ones included;
// - RAM disk: tmpfs, ramfs and RAM block devices;
// - removable: the block device (or the disk of a partition, or any device below a
//   device-mapper volume) has sysfs "removable" set or hangs off a USB bus;
//   also a path below /media, /run/media or /mnt that no medium is mounted on
//   (the mount holding it lies above that folder): the medium is not inserted;
// - fixed: every other mount.
// None for an empty or relative path and when no mount holds the path.
TDriveClass GetDriveClass(const std::string& Path);
// The same against a mount table the caller has already read.
TDriveClass GetDriveClass(const std::string& Path, const std::vector<TMountEntry>& Mounts);

// Whether a file system of this type (a TMountEntry's FsType) reaches over the
// network: nfs, cifs, sshfs, ... Judged by the type alone, so that a dead server is
// never asked.
bool IsNetworkFileSystem(const std::string& FsType);

// The path of mountinfo; default "/proc/self/mountinfo". For tests.
void SetMountInfoPathForTesting(std::string Path);
// The sysfs root; default "/sys". For tests.
void SetSysfsRootForTesting(std::string Path);
