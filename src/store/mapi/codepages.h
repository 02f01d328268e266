#pragma once
// Windows code page numbers, as PidTagInternetCodepage and PidTagMessageCodepage hold them, and the
// charset names iconv and MIME use for them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store::mapi {

// The iconv name of a code page ("UTF-8" for 65001, "WINDOWS-1252" for 1252, "CP<n>" when not listed).
std::string charsetOfCodepage(std::int32_t codepage);
// The code page of a MIME charset name (case-insensitive, aliases included); nothing when unknown.
std::optional<std::int32_t> codepageOfCharset(std::string_view charset);

// Bytes in a code page as UTF-16: through iconv, with Windows-1252 when the code page is unknown.
std::u16string decodeCodepage(std::int32_t codepage, std::string_view bytes);

}  // namespace store::mapi
