#pragma once
// Conversions between the encodings the program meets: UTF-8 (the core's texts),
// UTF-16 (masks are matched on its code units; UTF-16 files) and Japanese Windows
// text (code page 932, through iconv "CP932").
#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view Bytes);

// Bytes as one line of text that tells them exactly: control characters (C0, DEL
// and C1) and bytes that are not valid UTF-8 become \xNN, except \n, \r and \t,
// and the backslash becomes \\. Any other text is left as it is.
std::string EscapeBytes(std::string_view Bytes);
// The same, appended to Out: a run writes a line per entry, without a string apiece.
void AppendEscapedBytes(std::string& Out, std::string_view Bytes);

// UTF-8 to UTF-16 for matching and for UTF-16 files. Every byte that is not part of
// valid UTF-8 becomes U+DC80 plus the byte, so that no two names decode alike.
std::u16string Utf8ToUtf16Lossy(std::string_view Bytes);
// The same into Out, whose storage is kept: a sweep converts every name it lists.
void Utf8ToUtf16Lossy(std::string_view Bytes, std::u16string& Out);

// UTF-16 to UTF-8. U+DC80..U+DCFF left alone by Utf8ToUtf16Lossy turn back into
// their bytes; any other unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view Text);

// UTF-8 as the bytes of a UTF-16 file or record (Utf8ToUtf16Lossy's code units),
// little-endian unless BigEndian; no byte-order mark, no terminator.
std::string Utf8ToUtf16Bytes(std::string_view Text, bool BigEndian = false);

// Code page 932 bytes to UTF-8; a byte sequence the code page does not define
// becomes U+FFFD (one per offending byte), never an error.
std::string Cp932ToUtf8(std::string_view Bytes);
// UTF-8 to code page 932; a character the code page cannot hold becomes "?", as
// the Windows conversion functions write it. Invalid UTF-8 bytes become "?" too.
std::string Utf8ToCp932(std::string_view Text);
