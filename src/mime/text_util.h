#pragma once
// Small byte-string helpers used inside the MIME library: ASCII case folding and bounded searches.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mime {

constexpr unsigned char LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// The text with its ASCII capital letters made small (other bytes kept); sixteen bytes at a time.
std::string LowerAsciiCopy(std::string_view text);

// The text begins with the prefix, compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Equal for the whole length of both, ASCII letters compared without regard to case. Inline: header
// lookups compare many names of other lengths.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Position of the first CR LF pair at or after from, or npos.
std::size_t FindCrLf(std::string_view text, std::size_t from);
// Position of the first occurrence of needle at or after from, or npos (linear time).
std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t from);
// True when every line break of the text is CR LF: each LF follows a CR and each CR comes before
// an LF.
bool OnlyCrLfLineBreaks(std::string_view text);
// The number of LFs in a text that holds no CR; nothing when it holds one (the reading stops at the
// first CR).
std::optional<std::size_t> LfCountWithoutCr(std::string_view text);

}  // namespace mime
