#include "mime/charset_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "platform/codepage.h"

namespace mime {
namespace {

struct Alias {
    std::string_view name;
    std::string_view canonical;
};

constexpr Alias kAliases[] = {
    {"UTF8", "UTF-8"},           {"UTF-8", "UTF-8"},          {"LATIN1", "ISO-8859-1"},
    {"LATIN-1", "ISO-8859-1"},   {"ISO8859-1", "ISO-8859-1"}, {"ISO_8859-1", "ISO-8859-1"},
    {"ISO-8859-1", "ISO-8859-1"}, {"ASCII", "US-ASCII"},      {"US-ASCII", "US-ASCII"},
    {"ANSI_X3.4-1968", "US-ASCII"}, {"X-SJIS", "SHIFT_JIS"},  {"SJIS", "SHIFT_JIS"},
    {"SHIFT-JIS", "SHIFT_JIS"},  {"X-EUC-JP", "EUC-JP"},      {"KS_C_5601-1987", "CP949"},
    {"GB2312", "GBK"},           {"X-GBK", "GBK"},            {"ISO-8859-8-I", "ISO-8859-8"},
    {"WINDOWS-874", "CP874"},    {"X-MAC-ROMAN", "MACINTOSH"}, {"UNICODE-1-1-UTF-7", "UTF-7"},
};

// iconv_open is costly compared with short header words: remember which names it accepts, on each
// thread (the export's workers ask for every text they decode).
bool iconvKnows(const std::string& name) {
    thread_local std::unordered_map<std::string, bool> known;
    auto it = known.find(name);
    if (it != known.end()) return it->second;
    std::u16string probe;
    const bool ok = platform::charsetToUtf16(name, "a", probe);
    known.emplace(name, ok);
    return ok;
}

// Windows-1252 is built into the platform's conversions; it needs no iconv.
std::u16string windows1252(std::string_view bytes) {
    std::u16string out;
    platform::charsetToUtf16("WINDOWS-1252", bytes, out);
    return out;
}

}  // namespace

std::string CanonicalCharset(std::string_view charset) {
    std::string name;
    name.reserve(charset.size());
    for (char c : charset) {
        if (c == '"' || c == '\'' || c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '*') break;  // RFC 2231 language suffix
        name.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    }
    for (const Alias& a : kAliases) {
        if (name == a.name) return std::string(a.canonical);
    }
    return name;
}

namespace {

// IsKnownCharset for a name CanonicalCharset gave (which it leaves as it is).
bool isKnownCanonical(const std::string& name) {
    if (name.empty()) return false;
    if (name == "UTF-8" || name == "WINDOWS-1252" || name == "CP1252") return true;
    return iconvKnows(name);
}

}  // namespace

bool IsKnownCharset(std::string_view charset) {
    return isKnownCanonical(CanonicalCharset(charset));
}

std::u16string WithoutNul(std::u16string text) {
    std::erase(text, u'\0');
    return text;
}

namespace {

// UTF-8 and Windows-1252 give U+0000 only for a zero byte: text without one needs no removal pass.
bool hasZeroByte(std::string_view bytes) { return !bytes.empty() && std::memchr(bytes.data(), 0, bytes.size()); }

std::u16string utf8WithoutNul(std::string_view bytes) {
    std::u16string text = platform::utf8ToUtf16(bytes);
    return hasZeroByte(bytes) ? WithoutNul(std::move(text)) : text;
}

std::u16string windows1252WithoutNul(std::string_view bytes) {
    std::u16string text = windows1252(bytes);
    return hasZeroByte(bytes) ? WithoutNul(std::move(text)) : text;
}

}  // namespace

std::u16string DecodeUnlabelled(std::string_view bytes) {
    if (platform::isValidUtf8(bytes)) return utf8WithoutNul(bytes);
    return windows1252WithoutNul(bytes);
}

namespace {

// Eight bytes are checked at a time.
bool isAscii(std::string_view bytes) {
    std::size_t i = 0;
    for (std::uint64_t word; i + 8 <= bytes.size(); i += 8) {
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ull) return false;
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    }
    return true;
}

// Each byte as the character of the same number, zero bytes left out: ISO-8859-1, and ASCII text in
// the charsets below.
std::u16string widened(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), out.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    if (!bytes.empty() && std::memchr(bytes.data(), 0, bytes.size())) std::erase(out, u'\0');
    return out;
}

// Charsets that read the ASCII bytes as ASCII whatever follows them (not UTF-7 or ISO-2022-*, where
// '+' or ESC change the meaning of later bytes); ASCII text in them needs no converter.
bool keepsAscii(const std::string& name) {
    return name == "US-ASCII" || name.starts_with("ISO-8859-") || name.starts_with("WINDOWS-125") ||
           name.starts_with("KOI8-");
}

}  // namespace

std::u16string DecodeText(std::string_view bytes, std::string_view charset) {
    const std::string name = CanonicalCharset(charset);
    if (!isKnownCanonical(name)) return DecodeUnlabelled(bytes);
    if (name == "UTF-8") return utf8WithoutNul(bytes);
    if (name == "ISO-8859-1" || (keepsAscii(name) && isAscii(bytes))) return widened(bytes);
    if (name == "WINDOWS-1252" || name == "CP1252") return windows1252WithoutNul(bytes);
    std::u16string out;
    if (platform::charsetToUtf16(name, bytes, out)) return WithoutNul(std::move(out));
    return DecodeUnlabelled(bytes);
}

}  // namespace mime
