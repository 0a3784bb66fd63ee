#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Mounts.h"
#include "support/TestSupport.h"

namespace {

// A machine with a SATA disk, a USB stick (plain and encrypted partitions), a card
// reader that reports removable media, an optical drive, a RAM disk and network mounts.
const char* const MountInfo =
    "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "22 21 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 21 0:25 / /run rw,nosuid shared:5 - tmpfs tmpfs rw,mode=755\n"
    "24 21 8:2 / /home rw,relatime shared:2 - ext4 /dev/sda2 rw\n"
    "30 21 8:17 / /media/user/MY\\040STICK rw,nosuid shared:9 - vfat /dev/sdb1 rw\n"
    "31 21 254:0 / /media/user/SECRET rw shared:10 - ext4 /dev/mapper/luks-1 rw\n"
    "32 23 8:33 / /run/media/user/CARD rw shared:11 - exfat /dev/sdc1 rw\n"
    "33 21 11:0 / /media/cdrom rw - iso9660 /dev/sr0 ro\n"
    "34 21 11:1 / /media/dvd rw - ext2 /dev/sr1 ro\n"
    "35 24 0:40 / /home/user/nfs rw - nfs4 server:/export rw\n"
    "36 24 0:41 / /home/user/ssh rw - fuse.sshfs user@host:/ rw\n"
    "37 24 0:42 / /home/user/share rw - cifs //server/share rw\n"
    "38 21 1:0 / /scratch rw - ext2 /dev/ram0 rw\n"
    "39 21 0:43 / /srv/data rw - btrfs /dev/sdd1 rw\n"
    "40 21 8:5 / /mnt rw - ext4 /dev/sda5 rw\n"
    "41 24 0:44 / /home/user/fuse rw - fuse.encfs encfs rw\n";

void MakeDir(const std::string& Path) { std::filesystem::create_directories(Path); }

void Link(const std::string& Target, const std::string& LinkPath) {
  MakeDir(std::filesystem::path(LinkPath).parent_path());
  ASSERT_EQ(symlink(Target.c_str(), LinkPath.c_str()), 0) << LinkPath;
}

// A disk with one partition: <Parent>/block/<Disk>/<Disk><Part>, linked from dev/block.
void AddDisk(const std::string& Sys, const std::string& Parent, const std::string& Disk, int Major, int Minor,
             const std::string& Removable) {
  const std::string disk = Parent + "/block/" + Disk;
  MakeDir(Sys + "/" + disk + "/" + Disk + "1");
  WriteFile(Sys + "/" + disk + "/removable", Removable);
  WriteFile(Sys + "/" + disk + "/" + Disk + "1/partition", "1\n");
  Link("../../" + disk + "/" + Disk + "1", Sys + "/dev/block/" + std::to_string(Major) + ":" + std::to_string(Minor + 1));
  Link("../../" + disk + "/" + Disk + "1", Sys + "/class/block/" + Disk + "1");
}

class DriveClassTest : public testing::Test {
protected:
  void SetUp() override {
    const std::string sys = Dir / "sys";
    AddDisk(sys, "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", 8, 0, "0\n");
    WriteFile(sys + "/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1/partition", "1");
    AddDisk(sys, "devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0", "sdb", 8, 16, "0\n");
    AddDisk(sys, "devices/pci0000:00/0000:00:1c.0/0000:02:00.0/host7/target7:0:0/7:0:0:0", "sdc", 8, 32, "1\n");
    AddDisk(sys, "devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", "sdd", 8, 48, "0\n");
    // An encrypted volume on the USB stick's second partition.
    const std::string usb = "devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host6/target6:0:0/6:0:0:0/block/sdb";
    MakeDir(sys + "/" + usb + "/sdb2");
    MakeDir(sys + "/devices/virtual/block/dm-0/slaves");
    Link("../../../../../" + usb + "/sdb2", sys + "/devices/virtual/block/dm-0/slaves/sdb2");
    Link("../../devices/virtual/block/dm-0", sys + "/dev/block/254:0");
    for (const int minor : {0, 1}) {
      const std::string sr = "devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sr" +
                             std::to_string(minor);
      MakeDir(sys + "/" + sr);
      WriteFile(sys + "/" + sr + "/removable", "1\n");
      Link("../../" + sr, sys + "/dev/block/11:" + std::to_string(minor));
    }
    MakeDir(sys + "/devices/virtual/block/ram0");
    Link("../../devices/virtual/block/ram0", sys + "/dev/block/1:0");
    WriteFile(Dir / "mountinfo", MountInfo);
    SetMountInfoPathForTesting(Dir / "mountinfo");
    SetSysfsRootForTesting(sys);
  }
  void TearDown() override {
    SetMountInfoPathForTesting("/proc/self/mountinfo");
    SetSysfsRootForTesting("/sys");
  }
  TTempDir Dir;
};

}  // namespace

TEST(MountTable, ParsesFieldsDecodesEscapesAndSkipsBrokenLines) {
  const std::vector<TMountEntry> mounts = ParseMountInfo(
      "36 35 98:3 /sub\\134dir /mnt/a\\040b\\011c rw,noatime master:1 shared:2 - ext3 /dev/x\\040y rw\n"
      "garbage line\n"
      "37 35 x:1 / /bad rw - ext4 /dev/z rw\n"
      "38 35 1:2 / /no-dash rw ext4 /dev/z rw\n"
      "39 35 0:5 / /short rw -\n"
      "40 35 0:6 / /plain rw - tmpfs tmpfs rw");
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].Device, makedev(98, 3));
  EXPECT_EQ(mounts[0].Root, "/sub\\dir");
  EXPECT_EQ(mounts[0].MountPoint, "/mnt/a b\tc");
  EXPECT_EQ(mounts[0].FsType, "ext3");
  EXPECT_EQ(mounts[0].Source, "/dev/x y");
  EXPECT_EQ(mounts[1].MountPoint, "/plain");
  EXPECT_EQ(mounts[1].FsType, "tmpfs");
}

TEST(MountTable, FindsTheDeepestMountByWholeComponentsAndTheLastOnASharedPoint) {
  const std::vector<TMountEntry> mounts = ParseMountInfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
      "3 1 8:3 / /home/user/disk rw - ext4 /dev/sda3 rw\n"
      "4 1 8:4 / /home/user/disk rw - xfs /dev/sda4 rw\n");
  EXPECT_EQ(FindMountFor(mounts, "/home/user/disk/a")->FsType, "xfs");
  EXPECT_EQ(FindMountFor(mounts, "/home/user/disk")->FsType, "xfs");
  EXPECT_EQ(FindMountFor(mounts, "/home/user/diskette")->Source, "/dev/sda2");
  EXPECT_EQ(FindMountFor(mounts, "/homework")->Source, "/dev/sda1");
  EXPECT_EQ(FindMountFor(mounts, "//home/./x/../user/disk/")->FsType, "xfs");
  EXPECT_EQ(FindMountFor(mounts, "/home/user/disk/../../etc")->Source, "/dev/sda2");
  EXPECT_EQ(FindMountFor(mounts, "relative/path"), nullptr);
  EXPECT_EQ(FindMountFor({}, "/x"), nullptr);
}

TEST(MountTable, TheRealTableHoldsTheRoot) {
  const std::vector<TMountEntry> mounts = ReadMountTable();
  const TMountEntry* root = FindMountFor(mounts, "/");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->MountPoint, "/");
  EXPECT_NE(GetDriveClass("/"), dcNone);
}

TEST_F(DriveClassTest, BlockDevicesByBusAndRemovableFlag) {
  EXPECT_EQ(GetDriveClass("/etc/passwd"), dcFixed);
  EXPECT_EQ(GetDriveClass("/home/user/docs/a.txt"), dcFixed);
  EXPECT_EQ(GetDriveClass("/media/user/MY STICK/photos/a.jpg"), dcRemovable);  // on USB
  EXPECT_EQ(GetDriveClass("/media/user/SECRET/x"), dcRemovable);               // dm volume on USB
  EXPECT_EQ(GetDriveClass("/run/media/user/CARD/DCIM"), dcRemovable);          // removable flag of the disk
  EXPECT_EQ(GetDriveClass("/srv/data/x"), dcFixed);  // anonymous device: found by its source
}

TEST_F(DriveClassTest, AnonymousDeviceIsFoundThroughTheLinkItsSourceNames) {
  // "/dev/disk/by-label/STICK" -> "../../sdb1", as udev lays it out.
  const std::string dev = std::filesystem::canonical(Dir.Path()).string() + "/dev";
  MakeDir(dev + "/disk/by-label");
  WriteFile(dev + "/sdb1", "");
  Link("../../sdb1", dev + "/disk/by-label/STICK");
  WriteFile(Dir / "mountinfo", std::string(MountInfo) + "50 21 0:61 / /data/stick rw - fuseblk " + dev +
                                   "/disk/by-label/STICK rw\n" + "51 21 0:62 / /data/other rw - fuseblk " +
                                   dev + "/disk/by-label/NONE rw\n");
  EXPECT_EQ(GetDriveClass("/data/stick/a"), dcRemovable);
  EXPECT_EQ(GetDriveClass("/data/other/a"), dcFixed);
}

TEST_F(DriveClassTest, OpticalNetworkAndRamDisks) {
  EXPECT_EQ(GetDriveClass("/media/cdrom/setup.exe"), dcCdRom);  // iso9660
  EXPECT_EQ(GetDriveClass("/media/dvd/x"), dcCdRom);            // sr device, whatever the file system
  EXPECT_EQ(GetDriveClass("/home/user/nfs/a"), dcNetwork);
  EXPECT_EQ(GetDriveClass("/home/user/ssh/a"), dcNetwork);
  EXPECT_EQ(GetDriveClass("/home/user/share/a"), dcNetwork);
  EXPECT_EQ(GetDriveClass("/home/user/fuse/a"), dcFixed);  // a local FUSE file system
  EXPECT_EQ(GetDriveClass("/run/user/1000/x"), dcRamDisk);
  EXPECT_EQ(GetDriveClass("/scratch/x"), dcRamDisk);
}

TEST_F(DriveClassTest, MediaFoldersWithoutAMediumCountAsRemovable) {
  EXPECT_EQ(GetDriveClass("/media/user/GONE/file.txt"), dcRemovable);
  EXPECT_EQ(GetDriveClass("/run/media/user/GONE"), dcRemovable);  // not the RAM disk of /run
  EXPECT_EQ(GetDriveClass("/media"), dcFixed);                    // the folder itself is no medium
  EXPECT_EQ(GetDriveClass("/mediadir/x"), dcFixed);
  EXPECT_EQ(GetDriveClass("/mnt/data/x"), dcFixed);  // a disk is mounted on /mnt itself
}

TEST_F(DriveClassTest, NoClassWithoutAnAbsolutePathOrAMountTable) {
  EXPECT_EQ(GetDriveClass(""), dcNone);
  EXPECT_EQ(GetDriveClass("E:\\docs\\a.txt"), dcNone);
  SetMountInfoPathForTesting(Dir / "missing");
  EXPECT_EQ(GetDriveClass("/etc"), dcNone);
}

TEST_F(DriveClassTest, LinksInTheExistingPartOfThePathAreResolved) {
  // A folder on the fixed disk that links to an optical drive's mount point.
  const std::string base = std::filesystem::canonical(Dir.Path()).string();
  MakeDir(base + "/cd/docs");
  MakeDir(base + "/plain");
  ASSERT_EQ(symlink((base + "/cd/docs").c_str(), (base + "/plain/to-cd").c_str()), 0);
  WriteFile(Dir / "mountinfo", std::string(MountInfo) + "50 21 11:0 / " + base + "/cd rw - udf /dev/sr0 ro\n");
  EXPECT_EQ(GetDriveClass(base + "/plain/dead.txt"), dcFixed);
  EXPECT_EQ(GetDriveClass(base + "/plain/to-cd/gone/file.txt"), dcCdRom);
  EXPECT_EQ(GetDriveClass(base + "/plain/to-cd/../../cd"), dcCdRom);  // ".." folded before the links
}
