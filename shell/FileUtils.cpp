#include "shell/FileUtils.h"

#include <algorithm>

#include "platform/BriskoError.h"
#include "platform/TextCodec.h"

namespace {

// Elements that may follow a "*" in one mask; more make the mask malformed.
constexpr int MaxCards = 30;

// Only the ASCII letters fold; full-width and accented letters compare exactly.
char16_t Fold(char16_t C) { return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - (u'a' - u'A')) : C; }

}  // namespace

bool IsDirectoryEntry(const TSearchRec& Entry) { return (Entry.Attr & faDirectory) != 0; }

TDateTime FileTimeToLocalDateTime(int64_t Seconds, int64_t Nanoseconds) {
  return UtcToLocalDateTime(Seconds, Nanoseconds);
}

TDateTime FileTimeToLocalDateTime(const struct statx_timestamp& Time) {
  return UtcToLocalDateTime(Time.tv_sec, Time.tv_nsec);
}

TMask::TMask(std::string_view Mask) : FText(Mask) {
  const std::u16string m = Utf8ToUtf16Lossy(Mask);
  const size_t n = m.size();
  bool skipTo = false;
  int cards = 0;
  size_t p = 0;
  // Appends one element; false once the mask has proved malformed.
  const auto write = [&](TElement e) {
    e.SkipTo = skipTo;
    if (skipTo && ++cards > MaxCards) {
      Fail(p + 1);
      return false;
    }
    FElements.push_back(e);
    skipTo = false;
    return true;
  };
  for (; p < n; ++p) {
    const char16_t c = m[p];
    if (c == u'*') {
      skipTo = true;
    } else if (c == u'?') {
      // A "?" right after a "*" adds nothing the "*" does not already take.
      if (!skipTo && !write({mkAny, false, false, 0, 0})) return;
    } else if (c == u'[') {
      std::bitset<256> set;
      bool negate = false;
      bool haveLast = false;
      char16_t last = 0;
      ++p;
      if (p < n && m[p] == u'!') {
        negate = true;
        ++p;
      }
      for (; p < n && m[p] != u']'; ++p) {
        if (m[p] == u'-') {
          if (!haveLast) {
            Fail(p + 1);
            return;
          }
          if (++p == n) break;
          const char16_t end = std::min<char16_t>(Fold(m[p]), 0xFF);
          for (unsigned x = last; x <= end; ++x) set.set(x);
        } else {
          last = Fold(m[p]);
          haveLast = true;
          if (last <= 0xFF) set.set(last);
        }
      }
      if (p >= n || set.none()) {
        Fail(p + 1);
        return;
      }
      FSets.push_back(set);
      if (!write({mkSet, false, negate, 0, static_cast<uint16_t>(FSets.size() - 1)})) return;
    } else {
      if (!write({mkLiteral, false, false, Fold(c), 0})) return;
    }
  }
  if (!write({mkEnd, false, false, 0, 0})) return;
  FLiteralTail = FElements.size() >= 2 && !FElements.back().SkipTo &&
                 std::all_of(FElements.begin(), FElements.end() - 1, [&](const TElement& e) {
                   return e.Kind == mkLiteral && e.SkipTo == (&e == &FElements.front());
                 });
}

void TMask::Fail(size_t Position) {
  FFaultPosition = Position;
  FElements.clear();
  FSets.clear();
}

bool TMask::ElementMatches(const TElement& Element, char16_t C) const {
  switch (Element.Kind) {
    case mkLiteral:
      return Fold(C) == Element.Literal;
    case mkAny:
      return true;
    case mkSet: {
      const char16_t f = Fold(C);
      if (f > 0xFF) return Element.Negate;
      return FSets[Element.SetIndex].test(f) != Element.Negate;
    }
    case mkEnd:
      break;
  }
  return false;
}

// Every element but the end takes exactly one character, so remembering only the
// latest "*" gives the same answers as trying every split of every "*", in time
// proportional to the name's length times the mask's.
bool TMask::Matches(std::u16string_view Name) const {
  if (FFaultPosition != 0)
    throw EBriskoError(eiBadMaskChar, {std::to_string(FFaultPosition), EscapeBytes(FText)});
  const size_t n = Name.size();
  // "*.tmp" and its like, the masks nearly every item has: the name's end is compared.
  if (FLiteralTail) {
    const size_t tail = FElements.size() - 1;
    if (n < tail) return false;
    for (size_t k = 0; k < tail; ++k)
      if (Fold(Name[n - tail + k]) != FElements[k].Literal) return false;
    return true;
  }
  constexpr size_t None = static_cast<size_t>(-1);
  size_t i = 0, j = 0;
  size_t starJ = None, starI = 0;
  for (;;) {
    const TElement& e = FElements[j];
    if (e.SkipTo && j != starJ) {
      starJ = j;
      starI = i;
    }
    if (e.Kind == mkEnd) {
      if (i == n || e.SkipTo) return true;
    } else if (i < n && ElementMatches(e, Name[i])) {
      ++i;
      ++j;
      continue;
    }
    if (starJ == None || starI >= n) return false;
    i = ++starI;
    j = starJ;
  }
}

TMaskList::TMaskList(std::string_view Masks) {
  if (Masks.empty()) return;
  for (;;) {
    const size_t semi = Masks.find(';');
    FMasks.emplace_back(Masks.substr(0, semi));
    if (semi == std::string_view::npos) break;
    Masks.remove_prefix(semi + 1);
  }
}

bool TMaskList::Matches(std::u16string_view Name) const {
  return std::any_of(FMasks.begin(), FMasks.end(), [&](const TMask& m) { return m.Matches(Name); });
}

TMaskFilter::TMaskFilter(std::string_view Includes, std::string_view Excludes)
    : FIncludes(Includes), FExcludes(Excludes) {}

bool TMaskFilter::Matches(std::u16string_view Name) const {
  return FIncludes.Matches(Name) && !FExcludes.Matches(Name);
}

bool TMaskFilter::Matches(std::string_view Utf8Name) const { return Matches(Utf8ToUtf16Lossy(Utf8Name)); }

bool MatchesOneMask(std::string_view FileName, std::string_view Mask) {
  return TMask(Mask).Matches(Utf8ToUtf16Lossy(FileName));
}

bool MatchesMaskList(std::string_view FileName, std::string_view Masks) {
  return TMaskList(Masks).Matches(Utf8ToUtf16Lossy(FileName));
}

bool MatchesMasks(std::string_view FileName, std::string_view Includes, std::string_view Excludes) {
  return TMaskFilter(Includes, Excludes).Matches(FileName);
}
