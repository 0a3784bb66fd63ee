#pragma once
// The three log settings and the execution log file.
//
// The log is UTF-8 text, one line per LF; lines read back may also end in CR LF.
// Lines are appended under a lock beside the log (NAME.lock, a plain file of the
// running user), each batch in one write, and the file is cut to its newest lines
// when asked. Nothing is written without the lock.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/BriskoError.h"

struct TLogSettings {
  bool SaveLog = false;
  std::string LogFile;   // DefaultLogFileName() when the settings file has no such key
  int LogLinage = 256;
};

std::string SettingsFileName();     // "Quillmoor\Brisko\Brisko.ini" under the roaming folder
std::string DefaultLogFileName();   // "Quillmoor\Brisko\Brisko.log" under the state folder
// Root reads settings only that root alone can change (TIniTrust), or raises
// EBriskoError. A line limit of 0 or less comes back as 256, with a warning.
TLogSettings LoadSettings(std::vector<EBriskoError>* Warnings = nullptr);
void SaveSettings(const TLogSettings& Settings);  // raises EBriskoError on failure

// How long a write waits for another process's hold on the lock.
constexpr std::chrono::seconds LogLockWait{10};

// Raises EBriskoError when the log may not be written by this run at all: a relative
// name; as root, a log, lock or folder on their path that is not root's. What cannot
// be reached is left to the writes.
void CheckLogFile(const std::string& FileName);
// Appends Lines as one write under the lock; a line break inside a line starts a new
// line, and a line that is not UTF-8 is escaped. Stopped is asked while the lock is
// waited for: true gives up. Raises EBriskoError.
void AppendLogFile(const std::string& FileName, const std::vector<std::string>& Lines,
                   const std::function<bool()>& Stopped = {});
// Keeps the newest Linage lines of the log (none for Linage <= 0), under the lock.
void CutLogFile(const std::string& FileName, int Linage, const std::function<bool()>& Stopped = {});
// Both at once: appends Lines, then keeps the newest Linage lines.
void SaveLogFile(const std::string& FileName, const std::vector<std::string>& Lines, int Linage);
