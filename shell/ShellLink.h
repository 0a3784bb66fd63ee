#pragma once
// Shortcut files (".lnk", the published Shell Link binary format) and symbolic links,
// and the target of a shortcut as the folder sweep needs it.
//
// A shortcut file comes from another system and is treated as hostile: every size,
// offset and count is checked against the file, and a file that is truncated, larger
// than MaxShortcutFileSize or inconsistent cannot be loaded. The item identifier
// list is skipped by its size and never interpreted.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Mounts.h"

constexpr uint32_t STGM_READ = 0;
constexpr uint32_t SLR_NO_UI = 0x0001;
// Larger files are not read: real shortcuts are a few kilobytes.
constexpr size_t MaxShortcutFileSize = 1 << 20;
// Windows keeps the name, the relative path and the working folder of a shortcut
// to this many UTF-16 units.
constexpr size_t MaxShortcutText = 260;

// Volume drive types recorded in a shortcut's LinkInfo (as GetDriveTypeW answers them).
enum : uint32_t {
  DRIVE_UNKNOWN = 0, DRIVE_NO_ROOT_DIR = 1, DRIVE_REMOVABLE = 2, DRIVE_FIXED = 3,
  DRIVE_REMOTE = 4, DRIVE_CDROM = 5, DRIVE_RAMDISK = 6
};

// Show commands; any other recorded value reads as SW_SHOWNORMAL.
enum : int32_t { SW_SHOWNORMAL = 1, SW_SHOWMAXIMIZED = 3, SW_SHOWMINNOACTIVE = 7 };

// One shortcut file: loaded, resolved, read, and written. Lives for one task.
class TShellLink {
public:
  // Reads and decodes FileName (a regular file). False when it cannot be read or is
  // no well-formed shortcut, and for a symbolic link, a device or a FIFO, none of which
  // is ever opened; the object is then empty. Mode is accepted for the
  // callers' sake: the file is only ever read.
  bool Load(const std::string& FileName, uint32_t Mode = STGM_READ);
  // Decodes a shortcut held in memory, as if it had been read from FileName (whose
  // folder the relative path is taken from).
  bool LoadFromBytes(std::string_view Bytes, const std::string& FileName);
  // Finds the target: the recorded path when it exists here; else the relative path
  // taken from the shortcut's own folder when that exists; else, when the recorded
  // volume is removable or a CD-ROM, the recorded path unchecked (the medium may just
  // not be inserted); else false. Only paths of this system ("/...") are tested for
  // existence: a Windows path ("E:\docs\a.txt", "\\server\share") keeps its form and
  // never exists here. No search for moved targets is made, so no user interface and
  // no time-out: Flags is accepted for the callers' sake.
  bool Resolve(uint32_t Flags = SLR_NO_UI);
  // Load, then Resolve when the load succeeded.
  bool ResolvingLoad(const std::string& FileName, uint32_t Mode = STGM_READ, uint32_t Flags = SLR_NO_UI);
  // Writes the shortcut (strings as UTF-16 or, after SetUnicode(false), code page 932);
  // with Remember the file becomes the object's own file name.
  bool Save(const std::string& FileName, bool Remember = true);
  // Resolve, then Save when it succeeded.
  bool ResolvingSave(const std::string& FileName, bool Remember = true, uint32_t Flags = SLR_NO_UI);
  // The bytes Save writes.
  std::string SaveToBytes() const;

  const std::string& Arguments() const { return FArguments; }
  const std::string& Description() const { return FDescription; }
  uint16_t Hotkey() const { return FHotkey; }  // low byte the key, high byte the modifiers
  const std::string& IconPath() const { return FIconPath; }
  int32_t IconIndex() const { return FIconIndex; }
  // The resolved target after a successful Resolve, the recorded target before.
  const std::string& TargetPath() const { return FResolved ? FResolvedPath : FRecordedPath; }
  int32_t ShowCmd() const { return FShowCmd; }
  const std::string& WorkingDirectory() const { return FWorkingDirectory; }

  // What the shortcut records about its target, for callers that need the detail.
  // The recorded path: from LinkInfo (unless the file forbids its use), else from
  // the environment-variable block; "" when neither holds one.
  const std::string& RecordedPath() const { return FRecordedPath; }
  const std::string& RelativePath() const { return FRelativePath; }
  // The drive type of the volume recorded in LinkInfo; DRIVE_UNKNOWN without one.
  uint32_t VolumeDriveType() const { return FDriveType; }
  // The target found by the last successful Resolve; "" before.
  const std::string& ResolvedPath() const { return FResolvedPath; }
  // Whether the resolved target is the recorded path that Resolve took unchecked
  // on a removable or CD-ROM volume.
  bool ResolvedUnchecked() const { return FResolvedUnchecked; }
  bool IsUnicode() const { return FUnicode; }

  void SetArguments(const std::string& Value) { FArguments = Value; }
  void SetDescription(const std::string& Value) { FDescription = Value; }
  void SetHotkey(uint16_t Value) { FHotkey = Value; }
  void SetIconPath(const std::string& Value) { FIconPath = Value; }
  void SetIconIndex(int32_t Value) { FIconIndex = Value; }
  // A path beginning with "\\" is written as a network path (its server and share
  // as the network name, the rest as the common path suffix); any other as the local
  // base path on a volume of type VolumeDriveType.
  void SetTargetPath(const std::string& Value);
  void SetShowCmd(int32_t Value) { FShowCmd = Value; }
  void SetWorkingDirectory(const std::string& Value) { FWorkingDirectory = Value; }
  void SetRelativePath(const std::string& Value) { FRelativePath = Value; }
  void SetVolumeDriveType(uint32_t Value) { FDriveType = Value; }
  // A target given only by the environment-variable block (no LinkInfo).
  void SetEnvironmentTargetPath(const std::string& Value);
  // Keep LinkInfo in the file but mark it as not to be used.
  void SetForceNoLinkInfo(bool Value) { FForceNoLinkInfo = Value; }
  void SetUnicode(bool Value) { FUnicode = Value; }

private:
  bool Decode(std::string_view Bytes);
  void Clear();

  std::string FFileName;
  std::string FArguments, FDescription, FIconPath, FWorkingDirectory, FRelativePath;
  int32_t FIconIndex = 0;
  int32_t FShowCmd = SW_SHOWNORMAL;
  uint16_t FHotkey = 0;
  // LinkInfo: a local base path or a network name, each with the common path suffix.
  std::string FLocalBasePath, FNetName, FCommonPathSuffix;
  std::string FEnvironmentPath;
  std::string FRecordedPath;
  uint32_t FDriveType = DRIVE_UNKNOWN;
  bool FForceNoLinkInfo = false;
  bool FUnicode = true;
  bool FResolved = false, FResolvedUnchecked = false;
  std::string FResolvedPath;
};

// The three outcomes of asking for a shortcut's target.
enum TShortcutOutcome {
  soNotShortcut,  // neither a symbolic link nor a ".lnk" file: Path is the file name itself
  soResolved,     // Path is the target
  soUnresolved    // a shortcut that cannot be read or resolved: Path is ""
};

struct TShortcutTarget {
  TShortcutOutcome Outcome = soNotShortcut;
  std::string Path;
  // For a target that is no path of this system ("E:\docs\a.txt"), the class of the
  // volume the shortcut records; dcNone otherwise.
  TDriveClass RecordedDrive = dcNone;
};

// The target of a shortcut. A symbolic link is a shortcut: its target is what it
// points to, made absolute against the link's folder (never followed further). A
// file named "*.lnk" (see IsShortcutFileName) is read with TShellLink and resolved.
// Any other file comes back unchanged, without being opened.
TShortcutTarget ReadShortcutTarget(const std::string& FileName);
// The same for the entry Name of the open folder FolderFd, whose path is Folder: the
// entry is looked at through the handle, so a folder put in Folder's place since it
// was opened is never read; Folder only makes a relative link target absolute and
// names the shortcut in the texts.
TShortcutTarget ReadShortcutTargetAt(int FolderFd, const std::string& Folder, const std::string& Name);
// ReadShortcutTarget's path alone: FileName, the target, or "".
std::string GetShortcutTarget(const std::string& FileName);
// Whether a shortcut's target names an existing file or folder (links followed):
// false only when the answer is "no such entry" (PathExists). Only absolute paths of
// this system can exist; "" and Windows paths cannot.
bool TargetExists(const TShortcutTarget& Target);
// The drive class that decides option "U" for a dead shortcut: the recorded volume's
// class for a Windows path, the class of the root folder "/" for an empty target,
// else the class of the mount that holds the target.
TDriveClass GetTargetDriveClass(const TShortcutTarget& Target);
