#include "store/pst/ndb/crc.h"

#include <array>

namespace store::pst {
namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

// Table k gives the CRC of a byte followed by k zero bytes, so eight bytes are folded in per step
// (block data is most of what the writer hashes).
constexpr Tables makeTables() {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i;
        for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        t[0][i] = v;
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = makeTables();

std::uint32_t loadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::uint32_t computeCrc(std::string_view bytes, std::uint32_t seed) {
    std::uint32_t crc = seed;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t low = loadU32(p) ^ crc;
        const std::uint32_t high = loadU32(p + 4);
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
              kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
              kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
    }
    for (; n > 0; ++p, --n) crc = kTables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace store::pst
