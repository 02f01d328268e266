#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KELVA_BASE64_AVX2 1
#endif

#include "mime/codec_primitives.h"
#include "mime/cpu_support.h"
#include "mime/mime_codec.h"

namespace mime {
namespace detail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> buildDecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& v : table) v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}
constexpr std::array<std::int8_t, 256> kDecode = buildDecodeTable();

// Writes characters with the line-break rule: after a character, a line longer than 75 characters
// is ended with CR LF when two bytes of room remain.
class Base64Writer {
public:
    Base64Writer(char* out, std::int64_t max, bool lineBreaks)
        : out_(out), max_(max), lineBreaks_(lineBreaks) {}

    bool put(char c) {
        if (written_ >= max_) return false;
        out_[written_++] = c;
        if (lineBreaks_ && ++line_ > 75 && max_ - written_ >= 2) endLine();
        return true;
    }
    void finish() {
        if (lineBreaks_ && line_ != 0 && max_ - written_ >= 2) endLine();
    }
    std::int64_t room() const { return max_ - written_; }
    std::int64_t written() const { return written_; }

private:
    void endLine() {
        out_[written_++] = '\r';
        out_[written_++] = '\n';
        line_ = 0;
    }

    char* out_;
    std::int64_t max_;
    bool lineBreaks_;
    std::int64_t written_ = 0;
    int line_ = 0;
};

#ifdef KELVA_BASE64_AVX2
// Decodes blocks of 32 characters into 24 bytes each, 32 bytes of output room at a time. A block
// holding anything outside the alphabet is decoded up to the last whole group of four before it;
// line ends right after a whole group are skipped, anything else (padding, another byte, a line
// end inside a group) ends the blocks and the caller goes on character by character. Returns the
// characters taken; `out` moves on.
__attribute__((target("avx2"))) std::size_t decodeBlocksAvx2(const unsigned char* in, std::size_t n,
                                                             char*& out, std::int64_t room) {
    // Which characters are in the alphabet, looked up by low and by high nibble: a character is
    // when the two entries share no bit.
    const __m256i validLow = _mm256_setr_epi8(
        0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A, 0x15,
        0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i validHigh = _mm256_setr_epi8(
        0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
        0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // What to add to a character to get its value, by high nibble ('/' one entry lower).
    const __m256i shift = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16,
                                           19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i packPairs = _mm256_set1_epi32(0x01400140);
    const __m256i packQuads = _mm256_set1_epi32(0x00011000);
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                           5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    std::size_t i = 0;
    while (i + 32 <= n && room >= 32) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
        const __m256i low = _mm256_and_si256(chars, nibble);
        const __m256i bad =
            _mm256_and_si256(_mm256_shuffle_epi8(validLow, low), _mm256_shuffle_epi8(validHigh, high));
        const auto outside =
            ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bad, _mm256_setzero_si256())));
        // Each group of four decodes on its own: the groups before the first outsider are right.
        const std::size_t stop = outside == 0 ? 32 : static_cast<std::size_t>(__builtin_ctz(outside));
        const std::size_t take = stop / 4 * 4;
        if (take > 0) {
            const __m256i roll =
                _mm256_shuffle_epi8(shift, _mm256_add_epi8(_mm256_cmpeq_epi8(chars, slash), high));
            const __m256i values = _mm256_add_epi8(chars, roll);
            const __m256i pairs = _mm256_maddubs_epi16(values, packPairs);
            const __m256i quads = _mm256_madd_epi16(pairs, packQuads);
            const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(quads, order), lanes);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
            out += take / 4 * 3;
            room -= static_cast<std::int64_t>(take / 4 * 3);
            i += take;
        }
        if (take == 32) continue;
        // Line ends between whole groups are skipped here, as the character-wise path skips them.
        if (take != stop || (in[i] != '\r' && in[i] != '\n')) break;
        while (i < n && (in[i] == '\r' || in[i] == '\n')) ++i;
    }
    return i;
}

#endif

}  // namespace

std::int64_t Base64EncodedSizeBound(std::int64_t n, bool lineBreaks) {
    const std::int64_t s = 4 * ((n + 2) / 3);
    return lineBreaks ? s + 2 * (s / 76) + 2 : s;
}

std::int64_t Base64Encode(std::string_view in, char* out, std::int64_t max, bool lineBreaks) {
    Base64Writer writer(out, max, lineBreaks);
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        if (!writer.put(kAlphabet[group >> 18]) || !writer.put(kAlphabet[(group >> 12) & 63]) ||
            !writer.put(kAlphabet[(group >> 6) & 63]) || !writer.put(kAlphabet[group & 63]))
            return writer.written();
    }
    const std::size_t left = n - i;
    if (left > 0) {
        const unsigned group = (bytes[i] << 16) | (left == 2 ? bytes[i + 1] << 8 : 0);
        if (!writer.put(kAlphabet[group >> 18]) || !writer.put(kAlphabet[(group >> 12) & 63]))
            return writer.written();
        if (left == 2 && !writer.put(kAlphabet[(group >> 6) & 63])) return writer.written();
        const std::int64_t padding = left == 1 ? 2 : 1;
        if (writer.room() >= padding)
            for (std::int64_t p = 0; p < padding; ++p) writer.put('=');
    }
    writer.finish();
    return writer.written();
}

std::int64_t Base64Decode(std::string_view in, char* out, std::int64_t max) {
    std::int64_t written = 0;
    int index = 0;  // position of the value within its group of four
    int previous = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
#ifdef KELVA_BASE64_AVX2
    const bool avx2 = detail::hasAvx2();
#endif
    for (std::size_t i = 0; i < n; ++i) {
#ifdef KELVA_BASE64_AVX2
        if (avx2 && index == 0 && i + 32 <= n && kDecode[bytes[i]] >= 0) {
            char* end = out + written;
            i += decodeBlocksAvx2(bytes + i, n - i, end, max - written);
            written = end - out;
        }
#endif
        // Whole groups of four valid characters at a group start, three bytes at a time; anything else
        // (line ends, padding, invalid characters, a full output) takes the character-wise path below.
        while (index == 0 && i + 4 <= n && max - written >= 3) {
            const int a = kDecode[bytes[i]], b = kDecode[bytes[i + 1]], c = kDecode[bytes[i + 2]],
                      d = kDecode[bytes[i + 3]];
            if ((a | b | c | d) < 0) break;
            const unsigned group = (static_cast<unsigned>(a) << 18) | (static_cast<unsigned>(b) << 12) |
                                   (static_cast<unsigned>(c) << 6) | static_cast<unsigned>(d);
            out[written] = static_cast<char>(group >> 16);
            out[written + 1] = static_cast<char>(group >> 8);
            out[written + 2] = static_cast<char>(group);
            written += 3;
            i += 4;
        }
        if (i >= n) break;
        const unsigned char c = bytes[i];
        const int value = kDecode[c];
        // Padding ends the data; any other byte outside the alphabet (a line end, a blank a mailer
        // added, a stray character) is skipped, as RFC 2045 asks, so that it costs no data after it.
        if (c == '=') break;
        if (value < 0) continue;
        if (index > 0) {
            if (written >= max) break;
            if (index == 1)
                out[written++] = static_cast<char>((previous << 2) | (value >> 4));
            else if (index == 2)
                out[written++] = static_cast<char>(((previous & 15) << 4) | (value >> 2));
            else
                out[written++] = static_cast<char>(((previous & 3) << 6) | value);
        }
        previous = value;
        index = (index + 1) & 3;
    }
    return written;
}

}  // namespace detail

std::int64_t CMimeCodeBase64::EncodedSizeBound() const {
    return detail::Base64EncodedSizeBound(inputLength, addLineBreaks);
}
std::int64_t CMimeCodeBase64::DecodedSizeBound() const { return inputLength * 3 / 4 + 2; }

std::int64_t CMimeCodeBase64::Encode(char* out, std::int64_t max) {
    return detail::Base64Encode(Input(), out, max, addLineBreaks);
}
std::int64_t CMimeCodeBase64::Decode(char* out, std::int64_t max) {
    return detail::Base64Decode(Input(), out, max);
}

}  // namespace mime
