// Feeds arbitrary bytes to the INI reader as a file's content, then checks that
// what it writes reads back the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/AppData.h"
#include "engine/DeletionItem.h"
#include "platform/BriskoError.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

constexpr const char* Keys[] = {"Location", "Mask", "Except", "LapsedDays", "Attribute", "Option", "Save", "Linage"};

// A pattern's values come back whole or are refused: none holds a NUL or passes the limit.
void CheckWholeValues(TAppIniFile& Ini) {
  try {
    for (const auto& values : Ini.ReadEachSection({std::begin(Keys), std::end(Keys)}, ""))
      for (const std::string& value : values)
        Check(value.find('\0') == std::string::npos && StoredTextUnits(value) <= MaxStoredTextUnits);
  } catch (const EBriskoError& e) {
    Check(e.Id() == eiValueHasNul || e.Id() == eiValueTooLong);
  }
}

// Value written alone into a new store and read back: a value without a fault comes
// back exactly, one that a reader would not give back whole is refused, never cut.
void CheckValueRoundTrip(const std::string& Value) {
  TAppIniFile ini("");
  ini.LoadBytes("");
  ini.BeginUpdate();
  ini.WriteString("Schedule0", "Location", Value);
  TAppIniFile again("");
  again.LoadBytes(ini.FileBytes());
  again.BeginUpdate();
  try {
    const auto sections = again.ReadEachSection({"Location"}, "");
    Check(sections.size() == 1);
    if (StoredTextFault(Value) == sfNone) Check(sections[0][0] == Value);
  } catch (const EBriskoError&) {
    Check(StoredTextFault(Value) != sfNone);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
  TAppIniFile ini("");
  ini.LoadBytes(bytes);
  ini.BeginUpdate();  // the store stays in memory: it has no file to write
  const auto sections = ini.ReadSections();
  for (const std::string& section : sections) {
    ini.SectionExists(section);
    for (const char* key : Keys) {
      const std::string value = ini.ReadString(section, key, "\x01");
      Check(value.size() <= 2047 * 3);
      ini.ReadInteger(section, key, -1);
    }
  }
  CheckWholeValues(ini);
  // The input as a value: NUL bytes and control characters as they come, and repeated
  // into a line longer than the reader's limit.
  const std::string raw(bytes.substr(0, 4096));
  CheckValueRoundTrip(raw);
  CheckValueRoundTrip(raw + std::string(1, '\0') + "\x1b\x7f");
  if (!raw.empty()) {
    std::string longLine;
    while (longLine.size() < 3 * MaxStoredTextUnits) longLine += raw;
    CheckValueRoundTrip(longLine.substr(0, 2 * MaxStoredTextUnits + raw.size() % 7));
  }

  const TIniEncoding encoding = ini.Encoding();
  const std::string value = sections.empty() ? "x" : sections.front() + " =\xE3\x81\x82'";
  ini.WriteString("Schedule0", "Mask", value);
  ini.WriteString("New", "Key", "v");
  Check(ini.ReadString("Schedule0", "Mask", "") == ini.ReadString("schedule0", "MASK", "?"));
  ini.FileBytes();  // a first save may move the file to another encoding; the next must follow it
  ini.WriteString("New", "Second", "\xF0\x9F\x98\x80 \xFF");
  const std::string written = ini.FileBytes();

  // Encodings that cannot be mistaken for another when read back must give the same store.
  if (encoding == TIniEncoding::Cp932) return 0;
  TAppIniFile again("");
  again.LoadBytes(written);
  again.BeginUpdate();
  const auto sectionsAgain = again.ReadSections();
  Check(sectionsAgain == ini.ReadSections());
  Check(again.ReadString("Schedule0", "Mask", "?") == ini.ReadString("Schedule0", "Mask", "!"));
  Check(again.ReadString("New", "Key", "") == "v");
  Check(again.ReadString("New", "Second", "") == ini.ReadString("New", "Second", "!"));
  for (const std::string& section : sectionsAgain)
    for (const char* key : Keys) Check(again.ReadString(section, key, "\x01") == ini.ReadString(section, key, "\x01"));
  return 0;
}
