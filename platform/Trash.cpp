#include "platform/Trash.h"

#include <cerrno>

// Trashing is not there yet: nothing meant for the trash is deleted for good.
int MoveToTrash(const std::string&) { return ENOSYS; }
