// Feeds arbitrary bytes to the shortcut reader: it must refuse or decode them without
// reading out of bounds, and whatever it decodes must survive being read and resolved.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TShellLink link;
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  if (!link.LoadFromBytes(bytes, "/nonexistent-brisko-fuzz/x.lnk")) return 0;
  size_t total = link.Arguments().size() + link.Description().size() + link.IconPath().size() +
                 link.WorkingDirectory().size() + link.RelativePath().size() + link.TargetPath().size();
  total += link.Hotkey() + static_cast<size_t>(link.IconIndex()) + static_cast<size_t>(link.ShowCmd());
  link.Resolve();
  total += link.ResolvedPath().size() + link.VolumeDriveType();
  // What the reader decoded, the writer must turn into a file the reader accepts.
  TShellLink copy;
  if (!copy.LoadFromBytes(link.SaveToBytes(), "/nonexistent-brisko-fuzz/y.lnk")) __builtin_trap();
  return total == static_cast<size_t>(-1) ? 1 : 0;
}
