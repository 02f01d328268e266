#pragma once
// Byte searches for the HTML sanitiser's hot loops, eight bytes at a time.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace mime::html_bytes {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ull;

inline std::uint64_t load(const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The high bit set in the first zero byte of word (and maybe in later bytes; never in earlier ones).
inline std::uint64_t zeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighs; }

// The first position at or after from holding one of the bytes Cs, or npos.
template <char... Cs>
std::size_t findAny(std::string_view text, std::size_t from) {
    std::size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= text.size(); i += 8) {
            const std::uint64_t word = load(text.data() + i);
            const std::uint64_t hits = (zeroBytes(word ^ (kOnes * static_cast<unsigned char>(Cs))) | ...);
            if (hits) return i + static_cast<std::size_t>(std::countr_zero(hits) >> 3);
        }
    }
    for (; i < text.size(); ++i)
        if (((text[i] == Cs) || ...)) return i;
    return std::string_view::npos;
}

// The number of bytes c in text, eight bytes at a time: each byte equal to c leaves exactly its high
// bit in `equal`; the bits are summed per byte lane and the lanes added up before they can overflow.
inline std::size_t count(std::string_view text, char c) {
    constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    std::size_t total = 0;
    std::size_t i = 0;
    while (i + 8 <= text.size()) {
        std::uint64_t lanes = 0;
        for (int round = 0; round < 255 && i + 8 <= text.size(); ++round, i += 8) {
            const std::uint64_t x = load(text.data() + i) ^ pattern;
            const std::uint64_t equal = ~(((x & kLows) + kLows) | x | kLows);
            lanes += equal >> 7;
        }
        // Eight lanes of at most 255 into four of 16 bits, then their sum (at most 2040) from the top.
        const std::uint64_t pairs = (lanes & 0x00FF00FF00FF00FFull) + ((lanes >> 8) & 0x00FF00FF00FF00FFull);
        total += static_cast<std::size_t>((pairs * 0x0001000100010001ull) >> 48);
    }
    for (; i < text.size(); ++i) total += text[i] == c;
    return total;
}

// Whether all eight bytes at `at` are printable ASCII (0x20 to 0x7E).
inline bool printableAscii(const char* at) {
    const std::uint64_t word = load(at);
    const std::uint64_t below = (word - kOnes * 0x20) & ~word & kHighs;  // a byte under 0x20
    return ((word & kHighs) | below | zeroBytes(word ^ (kOnes * 0x7F))) == 0;
}

}  // namespace mime::html_bytes
