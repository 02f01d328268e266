#pragma once
// Conversions between 8-bit text and UTF-16: UTF-8, and the process's "ANSI code page" (Windows-1252
// unless set otherwise), which stands in for the thread code page of the original platform.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 -> UTF-16; each maximal invalid subsequence becomes one U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);
// Appends one code point as UTF-8; surrogates and values above U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);
// UTF-16 -> UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// UTF-8 -> UTF-16 without loss, for names from the file system: each byte of an invalid sequence
// becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF), which utf16ToUtf8Lossless turns back
// into that byte.
inline constexpr char16_t kEscapedByteBase = 0xDC00;
std::u16string utf8ToUtf16Lossless(std::string_view bytes);
std::string utf16ToUtf8Lossless(std::u16string_view text);
// True when text[i] stands for an undecodable byte (a U+DC80..U+DCFF that is not half of a pair).
bool isEscapedByteAt(std::u16string_view text, std::size_t i);
// The text with every escaped byte written as "\xHH" (upper-case hex), for logs and lists.
std::u16string visibleText(std::u16string_view text);
// Number of UTF-16 units utf8ToUtf16 would produce (no terminator counted).
std::size_t utf16LengthOfUtf8(std::string_view bytes);
// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);
// Decodes one UTF-8 scalar at bytes[i]; returns the code point, or -1 for an invalid sequence, and sets
// len to the bytes used (the maximal subpart for invalid input, at least 1).
long decodeUtf8(std::string_view bytes, std::size_t i, std::size_t& len);

// Sets the ANSI code page by iconv name ("WINDOWS-1252", "CP1251", ...); false and unchanged when
// iconv does not know it. Windows-1252 is built in and needs no iconv.
bool setAnsiCodePage(const std::string& name);
std::string ansiCodePage();

// ANSI code page -> UTF-16 for a whole string, and for one byte on its own.
std::u16string ansiToUtf16(std::string_view bytes);
char16_t ansiByteToUtf16(unsigned char byte);
// Each byte converted on its own, as the mailbox marker and header-line readers do.
std::u16string ansiBytesToUtf16(std::string_view bytes);
// UTF-16 -> ANSI code page; characters the code page lacks become '?'.
std::string utf16ToAnsi(std::u16string_view text);

// Converts between any iconv charset and UTF-16 (used by layers that honour declared charsets).
// Returns false when the charset is unknown; invalid input is replaced, never fatal.
bool charsetToUtf16(const std::string& charset, std::string_view bytes, std::u16string& out);

}  // namespace platform
