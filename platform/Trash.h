#pragma once
// The user's trash after the freedesktop.org Trash specification 1.0.
#include <string>

// Moves Path into the trash of its own file system. Answers 0, or the errno that
// stopped it; the entry then stays where it was.
int MoveToTrash(const std::string& Path);
