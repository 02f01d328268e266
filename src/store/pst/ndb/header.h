#pragma once
// HEADER of a Unicode PST file: magic, version, id counters, the root and the two CRCs.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/pst/ndb/root.h"

namespace store::pst {

inline constexpr std::uint16_t kUnicodeVersion = 23;
inline constexpr std::uint8_t kCryptNone = 0x00;

struct Header {
    std::uint64_t nextPageBid = 1;
    std::uint64_t nextBlockBid = 4;
    std::uint32_t unique = 1;
    // Next free nid index for each of the 32 node types.
    std::array<std::uint32_t, 32> nextNidIndex{};
    Root root;
    // Longest free run (in 64-byte units, capped at 255) of the first 128 allocation maps.
    std::array<std::uint8_t, 128> firstFreeMap{};
    std::uint8_t cryptMethod = kCryptNone;

    static constexpr std::size_t kSize = 564;
    std::string encode() const;
    // Empty when the bytes are not a Unicode PST header with valid CRCs.
    static std::optional<Header> decode(std::string_view bytes);
};

}  // namespace store::pst
