#pragma once
// Text in a declared charset to UTF-16: bytes in a MIME charset through iconv, and bytes without a
// usable charset as UTF-8 when they are valid UTF-8, else Windows-1252. Every decoding drops U+0000:
// the strings end at it downstream, so a stray NUL would hide the rest of a text.
#include <string>
#include <string_view>

namespace mime {

// The charset name as iconv knows it: quotes, blanks and an RFC 2231 language suffix ("utf-8*en")
// removed, upper case, common aliases resolved ("utf8" -> "UTF-8", "latin1" -> "ISO-8859-1").
std::string CanonicalCharset(std::string_view charset);

// True when the charset can be decoded (iconv knows it, or it is built in).
bool IsKnownCharset(std::string_view charset);

// The text without its U+0000 characters.
std::u16string WithoutNul(std::u16string text);

// Bytes with no declared charset: UTF-8 when valid, else Windows-1252.
std::u16string DecodeUnlabelled(std::string_view bytes);

// Bytes in the charset they are declared in; an empty or unknown charset decodes like unlabelled
// bytes. Bytes the charset does not allow (8-bit bytes under US-ASCII, say) become U+FFFD; nothing
// fails.
std::u16string DecodeText(std::string_view bytes, std::string_view charset);

}  // namespace mime
