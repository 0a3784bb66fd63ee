#include "engine/DeletionItem.h"

#include <charconv>

#include "platform/BriskoError.h"
#include "platform/TextCodec.h"
#include "shell/ShellTypes.h"

namespace {

// The code points of a text; a byte that is not valid UTF-8 counts as one character.
std::u32string CodePoints(const std::string& Text) {
  const std::u16string units = Utf8ToUtf16Lossy(Text);
  std::u32string points;
  points.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      points += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      points += u;
    }
  }
  return points;
}

// The day count: the text from its third character on, a signed decimal whole number.
int32_t ParseLapsedDays(const std::string& Text) {
  const std::u32string points = CodePoints(Text);
  std::string digits;
  bool plain = points.size() >= 3;
  for (size_t i = 2; plain && i < points.size(); ++i) {
    if (points[i] > 0x7F) plain = false;
    else digits += static_cast<char>(points[i]);
  }
  const size_t sign = !digits.empty() && (digits[0] == '+' || digits[0] == '-') ? 1 : 0;
  plain = plain && digits.size() > sign &&
          digits.find_first_not_of("0123456789", sign) == std::string::npos;
  int32_t days = 0;
  if (plain) {
    const char* first = digits.data() + (digits[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, digits.data() + digits.size(), days);
    if (ec == std::errc()) return days;
  }
  throw EBriskoError(eiBadLapsedDays, {EscapeBytes(Text)});
}

int32_t ParseAttributes(const std::string& Text) {
  int32_t mask = 0;
  for (const char c : Text) {
    switch (c) {
      case 'R': mask += 1; break;
      case 'H': mask += 2; break;
      case 'S': mask += 4; break;
      case 'D': mask += 16; break;
      case 'A': mask += 32; break;
      default: break;
    }
  }
  return mask;
}

// Only characters up to U+00FF have a flag of their own: a wider character (a
// Japanese letter, or an invalid byte read as U+DC80 and up) would otherwise set the
// flag of whatever letter shares its low byte.
TOptionSet ParseOptions(const std::string& Text) {
  TOptionSet options;
  for (const char32_t c : CodePoints(Text))
    if (c < options.size()) options.set(c);
  return options;
}

}  // namespace

TLocationFault LocationFault(const std::string& Location) {
  if (Location == GetSpecialFolderName(CSIDL_BITBUCKET)) return lfNone;
  const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  // "C:\Temp" and "\\server\share" name nothing on this system but a relative name.
  if (Location.size() >= 2 && isLetter(Location[0]) && Location[1] == ':' &&
      (Location.size() == 2 || Location[2] == '\\' || Location[2] == '/'))
    return lfWindowsPath;
  if (Location.starts_with("\\\\")) return lfWindowsPath;
  if (!Location.starts_with('/')) return lfRelative;
  // "/", "//", "/./" and the like all name the root folder.
  size_t start = 0;
  while (start < Location.size()) {
    size_t slash = Location.find('/', start);
    if (slash == std::string::npos) slash = Location.size();
    const std::string_view name(Location.data() + start, slash - start);
    if (!name.empty() && name != ".") return lfNone;
    start = slash + 1;
  }
  return lfRoot;
}

EBriskoError LocationFaultError(const std::string& Location, TLocationFault Fault) {
  switch (Fault) {
    case lfRelative: return EBriskoError(eiRelativeLocation, {EscapeBytes(Location)});
    case lfWindowsPath: return EBriskoError(eiWindowsLocation, {EscapeBytes(Location)});
    case lfRoot:
    case lfNone: break;
  }
  return EBriskoError(eiRootLocation, {EscapeBytes(Location)});
}

size_t StoredTextUnits(std::string_view Text) {
  size_t units = 0;
  for (size_t i = 0; i < Text.size();) {
    const unsigned char c = static_cast<unsigned char>(Text[i]);
    const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

TStoredTextFault StoredTextFault(std::string_view Text) {
  if (Text.find('\0') != std::string_view::npos) return sfNul;
  if (Text.find_first_of("\r\n") != std::string_view::npos) return sfLineBreak;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  if (!Text.empty() && (isBlank(Text.front()) || isBlank(Text.back()))) return sfBlankEnds;
  if (Text.size() >= 2 && (Text.front() == '"' || Text.front() == '\'') && Text.back() == Text.front()) return sfQuoted;
  if (StoredTextUnits(Text) > MaxStoredTextUnits) return sfTooLong;
  return sfNone;
}

TRunSettings ParseRunSettings(const TItemTexts& Texts, TDateTime Moment) {
  TRunSettings s;
  s.FLocation = Texts[itLocation];
  s.FIncludes = Texts[itMask];
  s.FExcludes = Texts[itExcept];
  const std::u16string lapsed = Utf8ToUtf16Lossy(Texts[itLapsedDays]);
  s.FBaseDate = lapsed.empty() ? u'\0' : lapsed[0];
  s.FLapsedTime = IncDays(Moment, -static_cast<int64_t>(ParseLapsedDays(Texts[itLapsedDays])));
  s.FAttrib = ParseAttributes(Texts[itAttribute]);
  s.FOption = ParseOptions(Texts[itOption]);
  return s;
}
