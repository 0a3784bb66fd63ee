#pragma once
// The INI store behind pattern files and the settings file, and file names under
// the user's application-data folders.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DeletionItem.h"
#include "platform/BriskoError.h"

// Folder numbers of SpecialFolderFileName.
constexpr int CSIDL_APPDATA = 0x001a;     // roaming application data: $XDG_CONFIG_HOME
constexpr int CSIDL_LOCAL_STATE = 0x8001; // logs and other state: $XDG_STATE_HOME

// The folder's path joined with RelativeName ("\" becomes "/"); the folders on the
// way are created, the file itself is neither created nor opened. A name without
// a folder part comes back as it is (relative to the current folder); an unknown
// folder number, or no home folder at all, gives an empty name.
std::string SpecialFolderFileName(int Folder, const std::string& RelativeName);
std::string AppDataFileName(const std::string& RelativeName);

// Text encodings of an INI file; the file keeps the one it was found in.
enum class TIniEncoding { Utf8, Utf8Bom, Utf16LE, Cp932 };

// Whose files a store believes. A file that another user can change decides nothing
// for root: with RootsOwnForRoot, when the effective user is root, the file, every
// folder its path names and every folder above them must be root's and writable by no
// one else (a sticky folder may be writable by all), and a link on the way must be
// root's own; otherwise every read
// and write raises EBriskoError naming the file and what another user can change.
enum class TIniTrust { Anyone, RootsOwnForRoot };

// The error that refuses Key of Section in FileName for Fault (not sfNone).
EBriskoError IniValueError(TStoredTextFault Fault, const std::string& FileName, std::string_view Section,
                           std::string_view Key);

// An INI file with the rules of the Windows profile functions: names match without
// regard to case, values come back trimmed, with one pair of matching quotes
// removed and at most 2047 characters; the first of duplicate sections or keys
// wins; ";" starts a comment line; other lines without "=" are kept untouched.
//
// The file is read once, at the first operation. Every change replaces the file
// atomically, at once, or at UpdateFile after BeginUpdate; a batch that is never
// committed is dropped and leaves the old file whole.
class TAppIniFile {
public:
  explicit TAppIniFile(std::string FileName, TIniTrust Trust = TIniTrust::Anyone);
  ~TAppIniFile();
  TAppIniFile(const TAppIniFile&) = delete;
  TAppIniFile& operator=(const TAppIniFile&) = delete;

  const std::string& FileName() const { return FFileName; }

  std::string ReadString(std::string_view Section, std::string_view Key, std::string_view Default);
  int32_t ReadInteger(std::string_view Section, std::string_view Key, int32_t Default);
  bool ReadBool(std::string_view Section, std::string_view Key, bool Default);
  std::vector<std::string> ReadSections();
  bool SectionExists(std::string_view Section);
  // The values of Keys (Default where a key is missing) in each section, in file
  // order. A section named like an earlier one is read on its own here, where
  // ReadString finds only the first of them. Values come back whole or not at all: one
  // that holds a NUL, or that is longer than ReadString gives back, raises
  // EBriskoError naming the file, the section and the key.
  std::vector<std::vector<std::string>> ReadEachSection(const std::vector<std::string_view>& Keys,
                                                        std::string_view Default);

  // Writes raise EBriskoError("<file> に書き込めません") when the file cannot be replaced.
  void WriteString(std::string_view Section, std::string_view Key, std::string_view Value);
  void WriteInteger(std::string_view Section, std::string_view Key, int32_t Value);
  void WriteBool(std::string_view Section, std::string_view Key, bool Value);
  void WriteQuotedString(std::string_view Section, std::string_view Key, std::string_view Value);
  void EraseSection(std::string_view Section);
  void DeleteSection(std::string_view Section);  // only a section that holds a key
  void Clear();  // every section; lines above the first section stay

  // Holds back the writing of the file until UpdateFile.
  void BeginUpdate();
  // Writes what changed since the file was read or last written; raises EBriskoError.
  void UpdateFile();

  // The file's content as bytes, without touching the file (tests and fuzzing).
  void LoadBytes(std::string_view Bytes);
  std::string FileBytes();
  TIniEncoding Encoding();

private:
  struct TDocument;
  TDocument& Document();
  void Changed();

  std::string FFileName;
  TIniTrust FTrust;
  std::unique_ptr<TDocument> FDocument;
  int FUpdateCount = 0;
};
