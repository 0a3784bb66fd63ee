#pragma once
// Names of shell items: the trash location text and the two names of a trash entry.
#include <string>

constexpr int CSIDL_BITBUCKET = 10;

// The location text of a special folder; for CSIDL_BITBUCKET "trash:///". Other
// folders have no text here and answer "".
std::string GetSpecialFolderName(int Csidl);
