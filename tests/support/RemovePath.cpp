#include "support/RemovePath.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/FileHandle.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

int RemovePath(const std::string& Path, unsigned Flags) {
  if (Path.empty()) return ENOENT;
  if (Flags & FOF_ALLOWUNDO) return MoveToTrash(Path);
  std::string folder, name;
  int error = 0;
  if (!SplitEntryPath(Path, folder, name, error)) return error;
  const TFd parent(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!parent.Valid()) return errno;
  return RemoveEntryForGood(parent.Get(), name, false);
}
