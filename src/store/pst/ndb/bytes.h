#pragma once
// Little-endian integer encoding for the on-disk structures of a PST file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace store::pst {

inline void put8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }

inline void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

inline void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline void store16(char* at, std::uint16_t v) {
    at[0] = static_cast<char>(v & 0xFF);
    at[1] = static_cast<char>(v >> 8);
}

inline void store32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void store64(char* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::uint8_t load8(const char* at) { return static_cast<std::uint8_t>(at[0]); }

inline std::uint16_t load16(const char* at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(at[0]) |
                                      (static_cast<unsigned char>(at[1]) << 8));
}

inline std::uint32_t load32(const char* at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(at[i]);
    return v;
}

inline std::uint64_t load64(const char* at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(at[i]);
    return v;
}

// Bounds-checked reading of a structure; a read past the end yields 0 and marks the reader failed.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes, std::size_t pos = 0) : bytes_(bytes), pos_(pos) {}
    std::uint8_t u8() { return take(1) ? load8(at(1)) : 0; }
    std::uint16_t u16() { return take(2) ? load16(at(2)) : 0; }
    std::uint32_t u32() { return take(4) ? load32(at(4)) : 0; }
    std::uint64_t u64() { return take(8) ? load64(at(8)) : 0; }
    std::string_view bytes(std::size_t n) { return take(n) ? std::string_view(at(n), n) : std::string_view(); }
    void skip(std::size_t n) { take(n); }
    bool ok() const { return ok_; }
    std::size_t position() const { return pos_; }

private:
    bool take(std::size_t n) {
        if (!ok_ || n > bytes_.size() || pos_ > bytes_.size() - n) {
            ok_ = false;
            return false;
        }
        pos_ += n;
        return true;
    }
    const char* at(std::size_t n) const { return bytes_.data() + pos_ - n; }

    std::string_view bytes_;
    std::size_t pos_;
    bool ok_ = true;
};

}  // namespace store::pst
