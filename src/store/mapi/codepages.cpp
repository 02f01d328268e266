#include "store/mapi/codepages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

#include "platform/codepage.h"

namespace store::mapi {

namespace {

struct Entry {
    std::int32_t codepage;
    const char* charset;  // the name iconv is given; first entry of a code page wins both ways
};

constexpr Entry kTable[] = {
    {65001, "UTF-8"},        {65000, "UTF-7"},        {1200, "UTF-16LE"},      {1201, "UTF-16BE"},
    {20127, "US-ASCII"},     {20127, "ASCII"},        {28591, "ISO-8859-1"},   {28591, "LATIN1"},
    {28592, "ISO-8859-2"},   {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},   {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},   {28597, "ISO-8859-7"},   {28598, "ISO-8859-8"},   {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},  {28605, "ISO-8859-15"},  {20866, "KOI8-R"},       {21866, "KOI8-U"},
    {50220, "ISO-2022-JP"},  {50221, "ISO-2022-JP"},  {50222, "ISO-2022-JP"},  {51932, "EUC-JP"},
    {932, "SHIFT_JIS"},      {932, "SHIFT-JIS"},      {932, "SJIS"},           {932, "CP932"},
    {932, "WINDOWS-31J"},    {936, "GBK"},            {936, "CP936"},          {936, "GB2312"},
    {54936, "GB18030"},      {52936, "HZ-GB-2312"},   {949, "CP949"},          {949, "KS_C_5601-1987"},
    {51949, "EUC-KR"},       {50225, "ISO-2022-KR"},  {950, "BIG5"},           {950, "BIG-5"},
    {950, "CP950"},          {874, "CP874"},          {874, "TIS-620"},        {874, "WINDOWS-874"},
    {1250, "WINDOWS-1250"},  {1251, "WINDOWS-1251"},  {1252, "WINDOWS-1252"},  {1253, "WINDOWS-1253"},
    {1254, "WINDOWS-1254"},  {1255, "WINDOWS-1255"},  {1256, "WINDOWS-1256"},  {1257, "WINDOWS-1257"},
    {1258, "WINDOWS-1258"},  {437, "CP437"},          {850, "CP850"},          {852, "CP852"},
    {866, "CP866"},          {10000, "MACINTOSH"},    {1252, "CP1252"},        {1251, "CP1251"},
};

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

}  // namespace

std::string charsetOfCodepage(std::int32_t codepage) {
    for (const auto& e : kTable) {
        if (e.codepage == codepage) return e.charset;
    }
    return "CP" + std::to_string(codepage);
}

std::optional<std::int32_t> codepageOfCharset(std::string_view charset) {
    std::string name = upper(charset);
    for (const auto& e : kTable) {
        if (name == e.charset) return e.codepage;
    }
    // "windows-125x", "cp125x", "x-…" spellings; a number that does not fit is unknown.
    for (std::string_view prefix : {"WINDOWS-", "CP", "X-CP"}) {
        if (!name.starts_with(prefix)) continue;
        std::string_view digits = std::string_view(name).substr(prefix.size());
        std::int32_t codepage = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), codepage);
        if (!digits.empty() && std::isdigit(static_cast<unsigned char>(digits.front())) && error == std::errc() &&
            end == digits.data() + digits.size())
            return codepage;
    }
    return std::nullopt;
}

std::u16string decodeCodepage(std::int32_t codepage, std::string_view bytes) {
    if (codepage == 65001) return platform::utf8ToUtf16(bytes);
    std::u16string out;
    if (platform::charsetToUtf16(charsetOfCodepage(codepage), bytes, out)) return out;
    platform::charsetToUtf16("WINDOWS-1252", bytes, out);
    return out;
}

}  // namespace store::mapi
