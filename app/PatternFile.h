#pragma once
// Pattern files (.rmp): one INI section per deletion item, in list order.
#include <string>
#include <vector>

#include "engine/DeletionItem.h"

// Replaces the file's content with the items; raises EBriskoError when it cannot be written.
void SavePattern(const std::string& FileName, const std::vector<TItemTexts>& Items);
// Every section in file order, whatever its name, each its own item (also sections
// of the same name); missing keys give empty texts.
std::vector<TItemTexts> LoadPattern(const std::string& FileName);
