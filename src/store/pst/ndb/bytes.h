#pragma once
// Byte access for the on-disk structures of a PST file: the store's little-endian encoding, single
// bytes, and a bounds-checked reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/little_endian.h"

namespace store::pst {

inline void put8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }
inline std::uint8_t load8(const char* at) { return static_cast<std::uint8_t>(at[0]); }

// A 32-bit value as the bytes of a property.
inline std::string le32(std::uint32_t v) {
    std::string s;
    putU32(s, v);
    return s;
}

// Bounds-checked reading of a structure; a read past the end yields 0 and marks the reader failed.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes, std::size_t pos = 0) : bytes_(bytes), pos_(pos) {}
    std::uint8_t u8() { return take(1) ? load8(at(1)) : 0; }
    std::uint16_t u16() { return take(2) ? loadU16(at(2)) : 0; }
    std::uint32_t u32() { return take(4) ? loadU32(at(4)) : 0; }
    std::uint64_t u64() { return take(8) ? loadU64(at(8)) : 0; }
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
