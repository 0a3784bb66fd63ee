#include "app/PatternFile.h"

#include "app/AppData.h"

namespace {

// The keys of a pattern section, in the order of the item's texts and of writing.
constexpr const char* ItemKeys[6] = {"Location", "Mask", "Except", "LapsedDays", "Attribute", "Option"};

}  // namespace

void SavePattern(const std::string& FileName, const std::vector<TItemTexts>& Items) {
  // Every text is checked before anything is written: the file is either the whole
  // pattern, read back as it stands in the list, or untouched.
  for (size_t position = 0; position < Items.size(); ++position)
    for (int text = itLocation; text <= itOption; ++text)
      if (const TStoredTextFault fault = StoredTextFault(Items[position][text]); fault != sfNone)
        throw IniValueError(fault, FileName, "Schedule" + std::to_string(position), ItemKeys[text]);
  TAppIniFile ini(FileName);
  // One atomic replacement for the whole pattern: a failure leaves the old file whole.
  ini.BeginUpdate();
  ini.Clear();
  for (size_t position = 0; position < Items.size(); ++position) {
    const std::string section = "Schedule" + std::to_string(position);
    for (int text = itLocation; text <= itOption; ++text) ini.WriteString(section, ItemKeys[text], Items[position][text]);
  }
  ini.UpdateFile();
}

std::vector<TItemTexts> LoadPattern(const std::string& FileName) {
  TAppIniFile ini(FileName);
  std::vector<TItemTexts> items;
  // Each section is an item of its own, also when a hand-edited file repeats a name.
  for (std::vector<std::string>& values : ini.ReadEachSection({std::begin(ItemKeys), std::end(ItemKeys)}, "")) {
    TItemTexts& item = items.emplace_back();
    for (int text = itLocation; text <= itOption; ++text) item[text] = std::move(values[text]);
  }
  return items;
}
