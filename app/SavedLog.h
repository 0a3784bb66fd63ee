#pragma once
// Reads a saved log file back for the log view. A file with a UTF-16 mark is turned
// into UTF-8; other bytes are kept as they are.
#include <functional>
#include <string>
#include <string_view>

// The file's text; raises EBriskoError when the file cannot be read.
std::string ReadSavedLog(const std::string& FileName);
// Hands each line of Text to Line, as the log file breaks them: at CR LF, lone CR
// and lone LF.
void SplitLogLines(std::string_view Text, const std::function<void(std::string_view)>& Line);
