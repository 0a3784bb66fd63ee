#pragma once
// The three log settings and the execution log file.
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

// Appends Lines to the log file and keeps its newest Linage lines; raises EBriskoError.
void SaveLogFile(const std::string& FileName, const std::vector<std::string>& Lines, int Linage);
