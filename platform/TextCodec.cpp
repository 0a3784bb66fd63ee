#include "platform/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// Length of the valid UTF-8 sequence at Bytes[i], or 0 when it is not one.
size_t Utf8SequenceAt(std::string_view s, size_t i, char32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) { cp = c; return 1; }
  size_t len;
  char32_t min;
  if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Runs iconv over the whole input; an input byte it refuses becomes Replacement
// and conversion goes on after it.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view Replacement) {
  const bool fromUtf8 = std::string_view(from) == "UTF-8";
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buffer[4096];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, dst - buffer);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a truncated sequence at the end): skip the offending
      // character (a whole UTF-8 sequence when the input is UTF-8), or one byte.
      size_t skip = 1;
      if (fromUtf8) {
        char32_t cp;
        const std::string_view rest(src, left);
        skip = std::max<size_t>(1, Utf8SequenceAt(rest, 0, cp));
      }
      out.append(Replacement);
      src += skip;
      left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* dst = buffer;
  size_t room = sizeof buffer;
  iconv(cd, nullptr, nullptr, &dst, &room);
  out.append(buffer, dst - buffer);
  iconv_close(cd);
  return out;
}

// The length of the plain ASCII run that starts Bytes, eight bytes at a time.
size_t AsciiPrefix(std::string_view s) {
  size_t i = 0;
  for (uint64_t word; i + 8 <= s.size(); i += 8) {
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  char32_t cp;
  for (size_t i = AsciiPrefix(s); i < s.size();) {
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

namespace {

void AppendByteEscape(std::string& Out, unsigned char Byte) {
  switch (Byte) {
    case '\n': Out += "\\n"; return;
    case '\r': Out += "\\r"; return;
    case '\t': Out += "\\t"; return;
    case '\\': Out += "\\\\"; return;
    default: break;
  }
  Out += "\\x";
  Out += "0123456789abcdef"[Byte >> 4];
  Out += "0123456789abcdef"[Byte & 15];
}

bool NeedsEscape(char32_t CodePoint) {
  return CodePoint < 0x20 || CodePoint == '\\' || (CodePoint >= 0x7F && CodePoint <= 0x9F);
}

}  // namespace

std::string EscapeBytes(std::string_view s) {
  std::string out;
  AppendEscapedBytes(out, s);
  return out;
}

void AppendEscapedBytes(std::string& out, std::string_view s) {
  // Most names are plain ASCII: leave them without a copy of each character.
  size_t plain = 0;
  while (plain < s.size() && s[plain] >= 0x20 && s[plain] < 0x7F && s[plain] != '\\') ++plain;
  out.append(s.substr(0, plain));
  if (plain == s.size()) return;
  char32_t cp;
  for (size_t i = plain; i < s.size();) {
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0 || NeedsEscape(cp)) {
      for (size_t k = 0; k < std::max<size_t>(n, 1); ++k) AppendByteEscape(out, static_cast<unsigned char>(s[i + k]));
      i += std::max<size_t>(n, 1);
      continue;
    }
    out.append(s.substr(i, n));
    i += n;
  }
}

std::u16string Utf8ToUtf16Lossy(std::string_view s) {
  std::u16string out;
  Utf8ToUtf16Lossy(s, out);
  return out;
}

// No byte yields more than one code unit (four bytes yield two), so the text's own
// size is room enough.
void Utf8ToUtf16Lossy(std::string_view s, std::u16string& out) {
  out.resize(s.size());
  char16_t* to = out.data();
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      *to++ = c;
      ++i;
      continue;
    }
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0) {
      *to++ = static_cast<char16_t>(0xDC00 + c);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *to++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *to++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *to++ = static_cast<char16_t>(cp);
    }
    i += n;
  }
  out.resize(static_cast<size_t>(to - out.data()));
}

std::string Utf16ToUtf8(std::u16string_view t) {
  std::string out;
  out.reserve(t.size() * 3);
  for (size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (t[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string Utf8ToUtf16Bytes(std::string_view Text, bool BigEndian) {
  const std::u16string units = Utf8ToUtf16Lossy(Text);
  std::string out;
  out.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += BigEndian ? high : low;
    out += BigEndian ? low : high;
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view Bytes) { return Convert("UTF-8", "CP932", Bytes, "\xEF\xBF\xBD"); }

std::string Utf8ToCp932(std::string_view Text) {
  return Convert("CP932", "UTF-8", Text, "?");
}
