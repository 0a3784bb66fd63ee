#include "platform/Paths.h"

#include <cerrno>

std::string JoinPath(const std::string& Folder, std::string_view Name) {
  std::string path;
  path.reserve(Folder.size() + 1 + Name.size());
  path = Folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += Name;
  return path;
}

std::string FolderOf(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Path.substr(0, slash);
}

bool IsDotOrDotDot(const char* Name) { return Name[0] == '.' && (Name[1] == 0 || (Name[1] == '.' && Name[2] == 0)); }

std::string BaseNameOf(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

bool SplitEntryPath(const std::string& Path, std::string& Folder, std::string& Name, int& Error) {
  std::string trimmed = Path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed == "/") {
    Error = EBUSY;
    return false;
  }
  const size_t slash = trimmed.rfind('/');
  Name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  Folder = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);
  if (Name == "." || Name == "..") {
    Error = EINVAL;
    return false;
  }
  return true;
}
