#include "shell/ShellTypes.h"

std::string GetSpecialFolderName(int Csidl) { return Csidl == CSIDL_BITBUCKET ? "trash:///" : ""; }
