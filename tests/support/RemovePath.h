#pragma once
// Removes an entry named by a path, for the tests that drive platform/Removal and
// platform/Trash with paths. The program itself always removes through a folder
// handle it opened and checked; this opens the folder by its path text.
#include <string>

#include "platform/Removal.h"

// Removes Path: for good, or with FOF_ALLOWUNDO into the trash of its own file system.
// Answers 0 on success, otherwise the errno of the first step that failed (ENOENT,
// EACCES, EBUSY, EXDEV, ENOTEMPTY, ...). An empty path answers ENOENT; a path that
// names the root folder answers EBUSY and one that ends in "." or ".." EINVAL, and
// nothing is touched.
int RemovePath(const std::string& Path, unsigned Flags);
