#pragma once
// Helpers shared by the tests and the benchmarks.
#include <optional>
#include <string>

#include "platform/BriskoError.h"

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }
  // Path joined with a relative name.
  std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

private:
  std::string FPath;
};

// Sets an environment variable (Value null: unsets it) for as long as it lives, then
// puts back what the variable held before, or unsets it again.
class TScopedEnv {
public:
  TScopedEnv(const char* Name, const char* Value);
  ~TScopedEnv();
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  std::string FName;
  std::optional<std::string> FSaved;
};

// Writes Content to a file (created or truncated); aborts the test program on failure.
void WriteFile(const std::string& Path, const std::string& Content);
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& Path);

// Whether Path names an entry; a link counts as itself, whatever it points to.
bool Exists(const std::string& Path);

// Text as a UTF-16LE file holds it, byte-order mark first.
std::string Utf16LE(const std::u16string& Text);

// The message of the EBriskoError that Action raises, or "" when it raises none.
template <class F>
std::string ErrorOf(F Action) {
  try {
    Action();
  } catch (const EBriskoError& e) {
    return e.what();
  }
  return {};
}
