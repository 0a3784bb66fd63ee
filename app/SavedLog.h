#pragma once
// Reads a saved log file back for the log view: one entry per line, as the log file
// keeps them (breaks at CR LF, lone CR and lone LF). A file with a UTF-16 mark is
// turned into UTF-8; other bytes are kept as they are. Raises EBriskoError when the
// file cannot be read.
#include <string>
#include <vector>

std::vector<std::string> ReadSavedLog(const std::string& FileName);
