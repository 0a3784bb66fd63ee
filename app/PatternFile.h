#pragma once
// Pattern files (.rmp): one INI section per deletion item, in list order.
#include <string>
#include <vector>

#include "engine/DeletionItem.h"

// Replaces the file's content with the items; raises EBriskoError when it cannot be
// written, or, leaving the file untouched, when a text would not read back as itself
// (StoredTextFault).
void SavePattern(const std::string& FileName, const std::vector<TItemTexts>& Items);
// Every section in file order, whatever its name, each its own item (also sections
// of the same name); missing keys give empty texts. A value holding a NUL or longer
// than the reader gives back raises EBriskoError naming its item, before any item is
// used.
std::vector<TItemTexts> LoadPattern(const std::string& FileName);
