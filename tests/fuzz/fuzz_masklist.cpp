// Feeds arbitrary bytes to the mask-list parser and matcher as "MASKS\0NAME", then as one
// list holding its NUL bytes, then as a list repeated past 64 KiB. Any list must give a
// defined answer or a mask error, never a crash or undefined behaviour. For
// short inputs the answer is compared with a plain backtracking matcher that tries every
// split of every "*", so the single-star-memory matcher cannot drift from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BriskoError.h"
#include "platform/TextCodec.h"
#include "shell/FileUtils.h"

namespace {

void Check(bool Condition) {
  if (!Condition) std::abort();
}

char16_t Upper(char16_t C) { return C >= u'a' && C <= u'z' ? static_cast<char16_t>(C - 32) : C; }

// One element of a reference mask: a star, any one character, a literal, or a set of
// inclusive ranges of upper-cased Latin-1 characters.
struct TRefElement {
  enum { Star, Any, Literal, Set } Kind = Set;
  bool Negate = false;
  std::vector<std::pair<char16_t, char16_t>> Ranges;
  char16_t Char = 0;
};

// The mask as elements, or nothing when it is malformed: a "[" without its "]", a set
// that takes nothing, a "-" with no character before it, or more than 30 elements after
// a "*". A "?" right after a "*" adds nothing and is dropped.
std::optional<std::vector<TRefElement>> ParseReference(const std::u16string& M) {
  std::vector<TRefElement> out;
  int afterStar = 0;
  bool star = false;
  for (size_t p = 0; p < M.size(); ++p) {
    TRefElement e;
    if (M[p] == u'*') {
      if (!star) out.emplace_back().Kind = TRefElement::Star;
      star = true;
      continue;
    }
    if (M[p] == u'?') {
      if (star) continue;
      e.Kind = TRefElement::Any;
    } else if (M[p] == u'[') {
      ++p;
      if (p < M.size() && M[p] == u'!') e.Negate = true, ++p;
      std::optional<char16_t> last;
      bool any = false;
      for (; p < M.size() && M[p] != u']'; ++p) {
        if (M[p] == u'-') {
          if (!last) return std::nullopt;
          if (++p == M.size()) return std::nullopt;
          const char16_t hi = std::min<char16_t>(Upper(M[p]), 0xFF);
          if (*last <= hi) e.Ranges.push_back({*last, hi}), any = true;
        } else {
          last = Upper(M[p]);
          if (*last <= 0xFF) e.Ranges.push_back({*last, *last}), any = true;
        }
      }
      if (p >= M.size() || !any) return std::nullopt;
    } else {
      e.Kind = TRefElement::Literal;
      e.Char = M[p];
    }
    if (star && ++afterStar > 30) return std::nullopt;
    star = false;
    out.push_back(std::move(e));
  }
  if (star && ++afterStar > 30) return std::nullopt;  // the end counts as an element too
  return out;
}

bool ElementTakes(const TRefElement& E, char16_t C) {
  const char16_t f = Upper(C);
  if (E.Kind == TRefElement::Any) return true;
  if (E.Kind == TRefElement::Literal) return f == Upper(E.Char);
  if (f > 0xFF) return E.Negate;
  bool in = false;
  for (const auto& [lo, hi] : E.Ranges) in = in || (lo <= f && f <= hi);
  return in != E.Negate;
}

bool ReferenceMatch(const std::vector<TRefElement>& M, size_t j, std::u16string_view N, size_t i) {
  if (j == M.size()) return i == N.size();
  if (M[j].Kind == TRefElement::Star) {
    for (size_t take = i; take <= N.size(); ++take)
      if (ReferenceMatch(M, j + 1, N, take)) return true;
    return false;
  }
  return i < N.size() && ElementTakes(M[j], N[i]) && ReferenceMatch(M, j + 1, N, i + 1);
}

// The list's answer: true, false, or nothing when a malformed mask is reached first.
std::optional<bool> ReferenceList(std::string_view Masks, std::u16string_view Name) {
  if (Masks.empty()) return false;
  for (;;) {
    const size_t semi = Masks.find(';');
    const auto mask = ParseReference(Utf8ToUtf16Lossy(Masks.substr(0, semi)));
    if (!mask) return std::nullopt;
    if (ReferenceMatch(*mask, 0, Name, 0)) return true;
    if (semi == std::string_view::npos) return false;
    Masks.remove_prefix(semi + 1);
  }
}

std::optional<bool> Answer(const TMaskList& List, std::u16string_view Name) {
  try {
    return List.Matches(Name);
  } catch (const EBriskoError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view input(reinterpret_cast<const char*>(Data), Size);
  const size_t nul = input.find('\0');
  const std::string_view masks = input.substr(0, nul);
  const std::string_view name = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const std::u16string name16 = Utf8ToUtf16Lossy(name);

  const TMaskList list(masks);
  const std::optional<bool> got = Answer(list, name16);
  // The same list as an include list with nothing excluded answers the same.
  std::optional<bool> filtered;
  try {
    filtered = TMaskFilter(masks, "").Matches(name16);
  } catch (const EBriskoError&) {
  }
  Check(filtered == got);
  // Backtracking is exponential in the stars; keep it to inputs it answers quickly.
  if (Size <= 40) Check(ReferenceList(masks, name16) == got);

  // The whole input as one list: NUL bytes and control characters are characters of
  // a mask like any other, never an end of the text.
  const std::optional<bool> whole = Answer(TMaskList(input), name16);
  if (Size <= 40) Check(ReferenceList(input, name16) == whole);
  // An over-long list (the list repeated past 64 KiB) answers as its first copy did.
  if (!masks.empty()) {
    std::string longList(masks);
    while (longList.size() < 64 * 1024) (longList += ';') += masks;
    Check(Answer(TMaskList(longList), name16) == got);
  }
  return 0;
}
