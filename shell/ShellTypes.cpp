#include "shell/ShellTypes.h"

namespace {

// The last component of a path, ignoring trailing "/"; "" for "" and "/".
std::string LastComponent(const std::string& Path) {
  const size_t end = Path.find_last_not_of('/');
  if (end == std::string::npos) return {};
  const size_t slash = Path.rfind('/', end);
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  return Path.substr(start, end + 1 - start);
}

}  // namespace

std::string GetSpecialFolderName(int Csidl) { return Csidl == CSIDL_BITBUCKET ? "trash:///" : ""; }

std::string GetParsingName(const TTrashEntry& Entry) { return Entry.FilesPath; }

std::string GetInFolderName(const TTrashEntry& Entry) {
  const std::string name = LastComponent(Entry.OriginalPath);
  return name.empty() ? LastComponent(Entry.FilesPath) : name;
}
