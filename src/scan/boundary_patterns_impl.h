#pragma once
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scan {

template <typename Found>
void findFromLines(const char* data, std::size_t size, Found&& found) {
    if (size < kFromLineLength) return;
    const std::size_t lastStart = size - kFromLineLength;  // largest i tested
    std::size_t i = 0;
#if defined(__SSE2__)
    // Looks at 16 candidate positions at once: data[i] must be LF or CR and data[i+1] must be 'F'.
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), f = _mm_set1_epi8('F');
    while (i + 16 <= lastStart + 1 && i + 17 <= size) {
        __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 1));
        __m128i hit = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(prev, lf), _mm_cmpeq_epi8(prev, cr)),
                                    _mm_cmpeq_epi8(next, f));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        while (mask != 0) {
            std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (std::memcmp(data + at + 2, "rom ", 4) == 0) found(at);
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    for (; i <= lastStart; ++i)
        if (isFromLineAt(data + i)) found(i);
}

}  // namespace scan
