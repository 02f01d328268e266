#include "mime/text_util.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <string.h>
#include <algorithm>
#include <cstring>

#include "mime/cpu_support.h"

namespace mime {

std::string LowerAsciiCopy(std::string_view text) {
    std::string out(text);
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i beforeA = _mm_set1_epi8('A' - 1);
    const __m128i afterZ = _mm_set1_epi8('Z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; i + 16 <= out.size(); i += 16) {
        auto* at = reinterpret_cast<__m128i*>(out.data() + i);
        const __m128i bytes = _mm_loadu_si128(at);
        // Signed comparisons: bytes from 0x80 up are negative and never capitals.
        const __m128i capital = _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeA), _mm_cmplt_epi8(bytes, afterZ));
        _mm_storeu_si128(at, _mm_or_si128(bytes, _mm_and_si128(capital, caseBit)));
    }
#endif
    for (; i < out.size(); ++i) out[i] = static_cast<char>(LowerAscii(static_cast<unsigned char>(out[i])));
    return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(static_cast<unsigned char>(text[i])) !=
            LowerAscii(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::size_t FindCrLf(std::string_view text, std::size_t from) {
    while (from + 1 < text.size()) {
        const void* cr = std::memchr(text.data() + from, '\r', text.size() - from - 1);
        if (!cr) return std::string_view::npos;
        const std::size_t at = static_cast<const char*>(cr) - text.data();
        if (text[at + 1] == '\n') return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    // glibc's memmem is linear in the worst case (two-way matching), unlike a naive search.
    const void* hit = ::memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
}

namespace {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The CRs and LFs of 32 bytes at a time as bit masks: each LF's bit is the bit after a CR's. A CR
// in the last byte of a block carries into the next. Returns the bytes checked, fewer when a block
// breaks the rule (the caller looks at it byte by byte).
__attribute__((target("avx2"))) std::size_t pairedBlocksAvx2(const char* text, std::size_t n, bool& carry) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        const auto crs = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, cr)));
        const auto lfs = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, lf)));
        if (lfs != ((crs << 1) | (carry ? 1u : 0u))) break;
        carry = (crs >> 31) != 0;
    }
    return i;
}

// Counts the LFs of 64 (then 32) bytes at a time into `lfs` until a block holds a CR. Each byte
// lane of the counter takes up to 255 LFs before the lanes are added up. Returns the bytes counted;
// the caller reads the rest (and the block with the CR) byte by byte.
__attribute__((target("avx2"))) std::size_t lfBlocksAvx2(const char* text, std::size_t n, std::size_t& lfs) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    std::size_t i = 0;
    for (bool sawCr = false; !sawCr && i + 32 <= n;) {
        __m256i counts = _mm256_setzero_si256();
        std::size_t pairs = 0;
        for (; pairs < 127 && i + 64 <= n; ++pairs, i += 64) {  // two LFs a lane at most
            const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
            const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 32));
            if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(first, cr), _mm256_cmpeq_epi8(second, cr))) != 0) {
                sawCr = true;
                break;
            }
            counts = _mm256_sub_epi8(counts, _mm256_cmpeq_epi8(first, lf));  // a match is -1
            counts = _mm256_sub_epi8(counts, _mm256_cmpeq_epi8(second, lf));
        }
        if (!sawCr && pairs < 127 && i + 32 <= n) {  // fewer than 64 bytes left: one more block
            const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(last, cr)) != 0) {
                sawCr = true;
            } else {
                counts = _mm256_sub_epi8(counts, _mm256_cmpeq_epi8(last, lf));
                i += 32;
            }
        }
        const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
        lfs += static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                        _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
    return i;
}

#endif

}  // namespace

std::optional<std::size_t> LfCountWithoutCr(std::string_view text) {
    std::size_t lfs = 0;
    std::size_t i = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (detail::hasAvx2()) i = lfBlocksAvx2(text.data(), text.size(), lfs);
#endif
    for (; i < text.size(); ++i) {
        if (text[i] == '\r') return std::nullopt;
        lfs += text[i] == '\n' ? 1 : 0;
    }
    return lfs;
}

bool OnlyCrLfLineBreaks(std::string_view text) {
    bool afterCr = false;
    std::size_t i = 0;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (detail::hasAvx2()) i = pairedBlocksAvx2(text.data(), text.size(), afterCr);
#endif
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '\n') != afterCr) return false;
        afterCr = c == '\r';
    }
    return !afterCr;
}

}  // namespace mime
