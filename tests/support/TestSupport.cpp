#include "support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

TTempDir::TTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/brisko-test-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  // Tests make folders read-only; give the owner back its rights before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(
           FPath, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(FPath, ec);
}

TScopedEnv::TScopedEnv(const char* Name, const char* Value) : FName(Name) {
  if (const char* saved = std::getenv(Name)) FSaved = saved;
  if (Value)
    setenv(Name, Value, 1);
  else
    unsetenv(Name);
}

TScopedEnv::~TScopedEnv() {
  if (FSaved)
    setenv(FName.c_str(), FSaved->c_str(), 1);
  else
    unsetenv(FName.c_str());
}

void WriteFile(const std::string& Path, const std::string& Content) {
  std::ofstream out(Path, std::ios::binary | std::ios::trunc);
  out << Content;
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", Path.c_str());
    std::abort();
  }
}

std::string ReadFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Utf16LE(const std::u16string& Text) {
  std::string out("\xFF\xFE", 2);
  for (char16_t c : Text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

bool Exists(const std::string& Path) {
  struct stat st;
  return lstat(Path.c_str(), &st) == 0;
}
