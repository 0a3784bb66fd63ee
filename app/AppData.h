#pragma once
// File names under the user's application-data folders.
#include <string>

// Folder numbers of SpecialFolderFileName.
constexpr int CSIDL_APPDATA = 0x001a;     // roaming application data: $XDG_CONFIG_HOME
constexpr int CSIDL_LOCAL_STATE = 0x8001; // logs and other state: $XDG_STATE_HOME

// The folder's path joined with RelativeName ("\" becomes "/"); the folders on the
// way are created, the file itself is neither created nor opened.
std::string SpecialFolderFileName(int Folder, const std::string& RelativeName);
std::string AppDataFileName(const std::string& RelativeName);
