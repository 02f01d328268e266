#pragma once
// Message text to UTF-16: bytes in a declared MIME charset through iconv, and bytes without a usable
// charset as UTF-8 when they are valid UTF-8, else Windows-1252.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store::import {

// The charset name as iconv knows it: quotes, blanks and an RFC 2231 language suffix ("utf-8*en")
// removed, upper case, common aliases resolved ("utf8" -> "UTF-8", "latin1" -> "ISO-8859-1").
std::string canonicalCharset(std::string_view charset);

// True when the charset can be decoded (iconv knows it, or it is built in).
bool isKnownCharset(std::string_view charset);

// Every decoding drops U+0000: MAPI strings end at it, so a stray NUL would hide the rest of a text.

// Bytes with no declared charset: UTF-8 when valid, else Windows-1252.
std::u16string decodeUnlabelled(std::string_view bytes);

std::u16string withoutNul(std::u16string text);

// Bytes in the charset they are declared in; an empty or unknown charset decodes like unlabelled
// bytes. Bytes the charset does not allow (8-bit bytes under US-ASCII, say) become U+FFFD; nothing
// fails.
std::u16string decodeText(std::string_view bytes, std::string_view charset);

// The Windows code page of a charset (PidTagInternetCodepage); nothing when it has none.
std::optional<std::int32_t> codepageOf(std::string_view charset);

}  // namespace store::import
