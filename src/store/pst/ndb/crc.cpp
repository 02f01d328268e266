#include "store/pst/ndb/crc.h"

#include <array>

namespace store::pst {
namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i;
        for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        table[i] = v;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

}  // namespace

std::uint32_t computeCrc(std::string_view bytes, std::uint32_t seed) {
    std::uint32_t crc = seed;
    for (unsigned char b : bytes) crc = kTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace store::pst
