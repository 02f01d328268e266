#pragma once
// Little-endian encoding of integers into byte buffers, as every on-disk structure of the store uses.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace store {

inline void putU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

inline void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void putU64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Writes into an existing buffer at pos (the buffer must be long enough).
inline void storeU16(char* at, std::uint16_t v) {
    at[0] = static_cast<char>(v & 0xFF);
    at[1] = static_cast<char>(v >> 8);
}

inline void storeU32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void storeU64(char* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::uint16_t loadU16(const char* at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(at[0]) |
                                      (static_cast<unsigned char>(at[1]) << 8));
}

inline std::uint32_t loadU32(const char* at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(at[i]);
    return v;
}

inline std::uint64_t loadU64(const char* at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(at[i]);
    return v;
}

// UTF-16 text as UTF-16LE bytes (no terminator), and back (an odd last byte is dropped). On a
// little-endian machine both are plain copies.
inline std::string utf16le(std::u16string_view text) {
    std::string out;
    if constexpr (std::endian::native == std::endian::little) {
        out.resize(text.size() * 2);
        if (!text.empty()) std::memcpy(out.data(), text.data(), out.size());
    } else {
        out.reserve(text.size() * 2);
        for (char16_t c : text) putU16(out, static_cast<std::uint16_t>(c));
    }
    return out;
}

inline std::u16string fromUtf16le(std::string_view bytes) {
    std::u16string out;
    if constexpr (std::endian::native == std::endian::little) {
        out.resize(bytes.size() / 2);
        if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 2);
    } else {
        out.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(static_cast<char16_t>(loadU16(bytes.data() + i)));
    }
    return out;
}

}  // namespace store
