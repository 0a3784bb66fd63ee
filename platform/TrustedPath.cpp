#include "platform/TrustedPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <vector>

#include "platform/Paths.h"

namespace {

// As many links as the kernel follows for one path.
constexpr int MaxLinks = 40;

void AppendNames(std::deque<std::string>& Names, const std::string& Path, bool Front) {
  std::deque<std::string> parts;
  for (size_t start = 0; start <= Path.size();) {
    size_t slash = Path.find('/', start);
    if (slash == std::string::npos) slash = Path.size();
    if (slash > start) parts.emplace_back(Path, start, slash - start);
    start = slash + 1;
  }
  if (Front) Names.insert(Names.begin(), parts.begin(), parts.end());
  else Names.insert(Names.end(), parts.begin(), parts.end());
}

bool IsTrustedOwner(uid_t Owner) { return Owner == geteuid() || Owner == 0; }

// The folders from the root down to where the walk stands, with their names.
class TWalk {
public:
  int Start() {
    FFolders.clear();
    FNames.clear();
    FFolders.emplace_back(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    return FFolders.back().Valid() ? 0 : errno;
  }
  int Current() const { return FFolders.back().Get(); }
  void Up() {
    if (FNames.empty()) return;
    FFolders.pop_back();
    FNames.pop_back();
  }
  void Down(std::string Name, TFd Folder) {
    FNames.push_back(std::move(Name));
    FFolders.push_back(std::move(Folder));
  }
  std::string PathOf(const std::string& Last) const {
    std::string path = "/";
    for (const std::string& name : FNames) path = JoinPath(path, name);
    return Last.empty() ? path : JoinPath(path, Last);
  }
  // Ends the walk on the entry Name of the folder reached. 0 or errno.
  int FinishOnName(const std::string& Name, TResolvedPath& Out) const {
    Out.Path = PathOf(Name);
    Out.Name = Name;
    Out.Folder = TFd(dup(Current()));
    return Out.Folder.Valid() ? 0 : errno;
  }
  // Ends the walk on the folder reached: its parent holds it under its name.
  void FinishOnFolder(TResolvedPath& Out) {
    Out.Path = PathOf("");
    if (FNames.empty()) {
      Out.Folder = std::move(FFolders.back());
      Out.Name.clear();
      return;
    }
    Out.Name = FNames.back();
    Out.Folder = std::move(FFolders[FFolders.size() - 2]);
  }

private:
  std::vector<TFd> FFolders;
  std::vector<std::string> FNames;
};

int ReadLinkAt(int Fd, std::string& Target) {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = readlinkat(Fd, "", buffer.data(), buffer.size());
  if (length < 0) return errno;
  if (static_cast<size_t>(length) >= buffer.size()) return ENAMETOOLONG;
  Target.assign(buffer.data(), static_cast<size_t>(length));
  return 0;
}

}  // namespace

int ResolveTrustedPath(const std::string& Path, TResolvedPath& Out) {
  Out = TResolvedPath();
  std::deque<std::string> names;
  if (Path.empty()) return ENOENT;
  // The kernel would read a name only up to a NUL byte: what is compared here and
  // what is opened would be two different names ("..\0" is not "..", yet opens as it).
  if (Path.find('\0') != std::string::npos) return EINVAL;
  if (Path[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return errno;
    AppendNames(names, cwd, false);
  }
  AppendNames(names, Path, false);
  TWalk walk;
  if (const int error = walk.Start()) return error;
  int links = 0;
  while (!names.empty()) {
    const std::string name = std::move(names.front());
    names.pop_front();
    const bool last = names.empty();
    if (name == ".") continue;
    if (name == "..") {
      walk.Up();
      continue;
    }
    TFd entry(openat(walk.Current(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!entry.Valid() || fstat(entry.Get(), &st) != 0) {
      // The last name may name nothing yet (a log file to be created).
      return last && errno == ENOENT ? walk.FinishOnName(name, Out) : errno;
    }
    if (S_ISLNK(st.st_mode)) {
      if (!IsTrustedOwner(st.st_uid)) {
        Out.UntrustedLink = walk.PathOf(name);
        return EPERM;
      }
      if (++links > MaxLinks) return ELOOP;
      std::string target;
      if (const int error = ReadLinkAt(entry.Get(), target)) return error;
      if (!target.empty() && target[0] == '/')
        if (const int error = walk.Start()) return error;
      AppendNames(names, target, true);
      continue;
    }
    if (last) return walk.FinishOnName(name, Out);
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    walk.Down(name, std::move(entry));
  }
  walk.FinishOnFolder(Out);
  return 0;
}

int OpenTrustedPath(const std::string& Path, int Flags, TFd& Fd, TResolvedPath& Out) {
  if (const int error = ResolveTrustedPath(Path, Out)) return error;
  const bool root = Out.Name.empty();
  const char* name = root ? "." : Out.Name.c_str();
  const int flags = Flags | O_CLOEXEC | (root ? 0 : O_NOFOLLOW);
  Fd = TFd(openat(Out.Folder.Get(), name, flags));
  // O_NOATIME is for the owner and root only; anyone else opens as usual.
  if (!Fd.Valid() && errno == EPERM && (Flags & O_NOATIME)) Fd = TFd(openat(Out.Folder.Get(), name, flags & ~O_NOATIME));
  return Fd.Valid() ? 0 : errno;
}
