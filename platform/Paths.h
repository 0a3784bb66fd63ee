#pragma once
// Path texts. Paths are bytes as the file system gives them: these functions only cut
// and join at "/", never decode, fold or look at the file system.
#include <string>
#include <string_view>

// Folder joined with Name by one "/" (none added when Folder already ends in one).
std::string JoinPath(const std::string& Folder, std::string_view Name);

// The folder part of a path: everything before its last "/" ("/" for a name in the
// root, "." for a bare name).
std::string FolderOf(const std::string& Path);

// Whether a listed name is "." or "..", which stand for the folder itself and its parent.
bool IsDotOrDotDot(const char* Name);

// The last name of a path: everything after its last "/" (the whole path when it has none).
std::string BaseNameOf(const std::string& Path);

// Splits Path into its folder ("." for a bare name) and last name, after dropping
// trailing slashes (a trailing slash would make the kernel follow a link named by
// the last component). False with Error EBUSY for the root folder and EINVAL for a
// last name "." or "..".
bool SplitEntryPath(const std::string& Path, std::string& Folder, std::string& Name, int& Error);
