#pragma once
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scan {
namespace detail {

// Calls found(i) for every i with i + length <= size where data[i] is breakA or breakB, data[i + 1]
// is text[0] and the rest of text follows.
template <typename Found>
void findAfterBreak(const char* data, std::size_t size, char breakA, char breakB, std::string_view text,
                    Found&& found) {
    const std::size_t length = 1 + text.size();
    if (size < length) return;
    const std::size_t lastStart = size - length;
    auto restMatches = [&](std::size_t at) {
        return std::memcmp(data + at + 2, text.data() + 1, text.size() - 1) == 0;
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i a = _mm_set1_epi8(breakA), b = _mm_set1_epi8(breakB), first = _mm_set1_epi8(text[0]);
    while (i + 16 <= lastStart + 1) {  // positions i..i+15 are all testable; loads stay inside the data
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        __m128i hit = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(here, a), _mm_cmpeq_epi8(here, b)),
                                    _mm_cmpeq_epi8(next, first));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        while (mask != 0) {
            std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (restMatches(at)) found(at);
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    for (; i <= lastStart; ++i)
        if ((data[i] == breakA || data[i] == breakB) && data[i + 1] == text[0] && restMatches(i)) found(i);
}

}  // namespace detail

template <typename Found>
void findFromLines(const char* data, std::size_t size, Found&& found) {
    detail::findAfterBreak(data, size, '\n', '\r', kFromText, found);
}

template <typename Found>
void findMimeVersionLines(const char* data, std::size_t size, Found&& found) {
    detail::findAfterBreak(data, size, '\n', '\n', kMimeVersionText, found);
}

}  // namespace scan
