#include "platform/codepage.h"

#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value, as the
// original platform's conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct AnsiState {
    std::mutex lock;
    std::string name = "WINDOWS-1252";
    bool builtin = true;
    std::array<char16_t, 256> table{};  // byte -> UTF-16 for single-byte code pages
    bool singleByte = true;
};

AnsiState& ansiState() {
    static AnsiState state;
    return state;
}

char16_t cp1252ToUtf16(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b; }

void appendUtf16(std::u16string& out, unsigned long cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Converters to UTF-16 opened by this thread, by charset: opening one loads and unloads the charset's
// module each time, which costs more than converting a message.
class ConverterCache {
public:
    ~ConverterCache() {
        for (auto& [name, cd] : converters_) iconv_close(cd);
    }
    // The converter in its initial state, or kNone when iconv does not know the charset (names iconv
    // refuses are not kept, so the cache stays as small as iconv's list of charsets).
    iconv_t get(const std::string& charset) {
        auto it = converters_.find(charset);
        if (it == converters_.end()) {
            iconv_t cd = iconv_open("UTF-16LE", charset.c_str());
            if (cd == kNone) return kNone;
            it = converters_.emplace(charset, cd).first;
        }
        iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    std::map<std::string, iconv_t> converters_;
};

// Runs iconv over the whole input; invalid or incomplete sequences are replaced by U+FFFD.
bool iconvToUtf16(const std::string& charset, std::string_view bytes, std::u16string& out) {
    thread_local ConverterCache converters;
    iconv_t cd = converters.get(charset);
    if (cd == ConverterCache::kNone) return false;
    out.clear();
    // iconv writes UTF-16LE bytes into the units: on a little-endian machine they are the units.
    char16_t units[2048];
    char* const buffer = reinterpret_cast<char*>(units);
    constexpr std::size_t kBufferBytes = sizeof units;
    auto* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    auto flush = [&](std::size_t produced) {
        if constexpr (std::endian::native == std::endian::little) {
            out.append(units, produced / 2);
        } else {
            for (std::size_t k = 0; k + 1 < produced; k += 2)
                out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer[k]) |
                                                    (static_cast<unsigned char>(buffer[k + 1]) << 8)));
        }
    };
    while (inLeft > 0) {
        char* o = buffer;
        std::size_t oLeft = kBufferBytes;
        std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        flush(kBufferBytes - oLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            out.push_back(kReplacement);  // EILSEQ or EINVAL: skip one byte
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* o = buffer;
    std::size_t oLeft = kBufferBytes;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    flush(kBufferBytes - oLeft);
    return true;
}

// Where the run of ASCII bytes starting at i ends (i when bytes[i] is not ASCII); sixteen (or eight)
// bytes are checked at a time.
std::size_t asciiRunEnd(std::string_view bytes, std::size_t i) {
    const std::size_t n = bytes.size();
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (_mm_movemask_epi8(block) != 0) break;  // a byte with its top bit set
    }
#endif
    for (std::uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
    return i;
}

// Appends ASCII bytes as UTF-16 units, a buffer at a time (no zero-filled growth of the text).
void appendAscii(std::u16string& out, std::string_view ascii) {
    char16_t buffer[256];
    while (!ascii.empty()) {
        const std::size_t n = std::min<std::size_t>(ascii.size(), std::size(buffer));
        std::size_t k = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; k + 16 <= n; k += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ascii.data() + k));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + k), _mm_unpacklo_epi8(block, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + k + 8), _mm_unpackhi_epi8(block, zero));
        }
#endif
        for (; k < n; ++k) buffer[k] = static_cast<unsigned char>(ascii[k]);
        out.append(buffer, n);
        ascii.remove_prefix(n);
    }
}

// UTF-8 to UTF-16; onInvalid(out, sequence) writes what stands for an invalid byte sequence.
template <class OnInvalid>
std::u16string decodeUtf8To16(std::string_view bytes, OnInvalid onInvalid) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t end = asciiRunEnd(bytes, i); end > i) {
            appendAscii(out, bytes.substr(i, end - i));
            i = end;
            continue;
        }
        std::size_t len;
        long cp = decodeUtf8(bytes, i, len);
        if (cp < 0)
            onInvalid(out, bytes.substr(i, len));
        else
            appendUtf16(out, static_cast<unsigned long>(cp));
        i += len;
    }
    return out;
}

}  // namespace

long decodeUtf8(std::string_view bytes, std::size_t i, std::size_t& len) {
    auto b0 = static_cast<unsigned char>(bytes[i]);
    len = 1;
    if (b0 < 0x80) return b0;
    int need;
    unsigned long cp;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return -1;
    }
    for (int k = 0; k < need; ++k) {
        if (i + len >= bytes.size()) return -1;
        auto b = static_cast<unsigned char>(bytes[i + len]);
        if (b < lo || b > hi) return -1;
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
        ++len;
    }
    return static_cast<long>(cp);
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    return decodeUtf8To16(bytes, [](std::u16string& out, std::string_view) { out.push_back(kReplacement); });
}

std::size_t utf16LengthOfUtf8(std::string_view bytes) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len;
        long cp = decodeUtf8(bytes, i, len);
        units += (cp >= 0x10000) ? 2 : 1;
        i += len;
    }
    return units;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        i = asciiRunEnd(bytes, i);
        if (i == bytes.size()) break;
        std::size_t len;
        if (decodeUtf8(bytes, i, len) < 0) return false;
        i += len;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string utf8ToUtf16Lossless(std::string_view bytes) {
    return decodeUtf8To16(bytes, [](std::u16string& out, std::string_view sequence) {
        for (unsigned char byte : sequence) out.push_back(static_cast<char16_t>(kEscapedByteBase + byte));
    });
}

bool isEscapedByteAt(std::u16string_view text, std::size_t i) {
    const char16_t unit = text[i];
    if (unit < kEscapedByteBase + 0x80 || unit > kEscapedByteBase + 0xFF) return false;
    return i == 0 || text[i - 1] < 0xD800 || text[i - 1] > 0xDBFF;  // not the second half of a pair
}

namespace {

// UTF-16 -> UTF-8 in which each escaped byte (a lone U+DC80..U+DCFF) is handed to onEscaped.
template <typename OnEscaped>
std::string utf16ToUtf8With(std::u16string_view text, OnEscaped&& onEscaped) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isEscapedByteAt(text, i)) {
            onEscaped(out, static_cast<unsigned char>(text[i] - kEscapedByteBase));
            continue;
        }
        appendUtf8(out, cp);
    }
    return out;
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
    // An escaped byte is an ordinary lone surrogate here, encoded as such.
    return utf16ToUtf8With(text, [](std::string& out, unsigned char byte) { appendUtf8(out, static_cast<char32_t>(kEscapedByteBase + byte)); });
}

std::string utf16ToUtf8Lossless(std::u16string_view text) {
    return utf16ToUtf8With(text, [](std::string& out, unsigned char byte) { out.push_back(static_cast<char>(byte)); });
}

std::u16string visibleText(std::u16string_view text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isEscapedByteAt(text, i)) {
            out.push_back(text[i]);
            continue;
        }
        const unsigned byte = static_cast<unsigned>(text[i] - kEscapedByteBase);
        out += u"\\x";
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0xF]);
    }
    return out;
}

bool setAnsiCodePage(const std::string& name) {
    AnsiState& st = ansiState();
    std::string upper;
    for (char c : name) upper.push_back(static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c));
    if (upper == "WINDOWS-1252" || upper == "CP1252") {
        std::lock_guard guard(st.lock);
        st.name = "WINDOWS-1252";
        st.builtin = true;
        st.singleByte = true;
        return true;
    }
    std::array<char16_t, 256> table{};
    bool singleByte = true;
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        std::u16string one;
        if (!iconvToUtf16(upper, std::string_view(&byte, 1), one)) return false;
        if (one.size() != 1) singleByte = false;
        table[static_cast<std::size_t>(b)] = one.empty() ? kReplacement : one[0];
    }
    std::lock_guard guard(st.lock);
    st.name = upper;
    st.builtin = false;
    st.table = table;
    st.singleByte = singleByte;
    return true;
}

std::string ansiCodePage() {
    std::lock_guard guard(ansiState().lock);
    return ansiState().name;
}

char16_t ansiByteToUtf16(unsigned char byte) {
    AnsiState& st = ansiState();
    if (st.builtin) return cp1252ToUtf16(byte);
    return st.table[byte];
}

std::u16string ansiBytesToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(ansiByteToUtf16(static_cast<unsigned char>(c)));
    return out;
}

std::u16string ansiToUtf16(std::string_view bytes) {
    AnsiState& st = ansiState();
    if (st.builtin || st.singleByte) return ansiBytesToUtf16(bytes);
    std::u16string out;
    if (!iconvToUtf16(ansiCodePage(), bytes, out)) return ansiBytesToUtf16(bytes);
    return out;
}

std::string utf16ToAnsi(std::u16string_view text) {
    AnsiState& st = ansiState();
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (st.builtin) {
            if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
                out.push_back(static_cast<char>(c));
                continue;
            }
        }
        int found = -1;
        for (int b = 0; b < 256 && found < 0; ++b)
            if (ansiByteToUtf16(static_cast<unsigned char>(b)) == c) found = b;
        out.push_back(found >= 0 ? static_cast<char>(found) : '?');
    }
    return out;
}

// Charset names used in mail that iconv knows under another name.
std::string iconvName(std::string upper) {
    static const std::pair<const char*, const char*> aliases[] = {
        {"KS_C_5601-1987", "CP949"}, {"KS_C_5601", "CP949"}, {"X-SJIS", "SHIFT_JIS"}, {"X-EUC-JP", "EUC-JP"},
        {"X-MAC-ROMAN", "MACINTOSH"}, {"UNICODE-1-1-UTF-7", "UTF-7"}, {"X-UNKNOWN", ""}, {"UNKNOWN-8BIT", ""},
    };
    for (const auto& [alias, name] : aliases)
        if (upper == alias) return name;
    return upper;
}

bool charsetToUtf16(const std::string& charset, std::string_view bytes, std::u16string& out) {
    std::string upper;
    for (char c : charset) upper.push_back(static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c));
    upper = iconvName(upper);
    if (upper.empty()) return false;
    if (upper == "UTF-8" || upper == "UTF8") {
        out = utf8ToUtf16(bytes);
        return true;
    }
    if (upper == "WINDOWS-1252" || upper == "CP1252") {
        out.clear();
        out.reserve(bytes.size());
        for (std::size_t i = 0; i < bytes.size();) {
            const std::size_t end = asciiRunEnd(bytes, i);
            appendAscii(out, bytes.substr(i, end - i));
            i = end;
            if (i < bytes.size()) out.push_back(cp1252ToUtf16(static_cast<unsigned char>(bytes[i++])));
        }
        return true;
    }
    // Latin-1 bytes are the first 256 code points; US-ASCII has the first 128, any other byte is
    // replaced as iconv does; ASCII text reads the same in every ISO 8859 part. No converter is
    // needed for them.
    const bool latin1 = upper == "ISO-8859-1" || upper == "ISO8859-1" || upper == "LATIN1";
    const bool ascii = upper == "US-ASCII" || upper == "ASCII";
    if (latin1 || ascii ||
        (upper.starts_with("ISO-8859-") && std::all_of(bytes.begin(), bytes.end(), [](char c) {
             return static_cast<unsigned char>(c) < 0x80;
         }))) {
        out.assign(bytes.size(), u'\0');
        std::transform(bytes.begin(), bytes.end(), out.begin(), [latin1](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x80 || latin1 ? char16_t{byte} : kReplacement;
        });
        return true;
    }
    return iconvToUtf16(upper, bytes, out);
}

}  // namespace platform
