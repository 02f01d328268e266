#pragma once
// ROOT: the part of the header that locates the two B-trees and describes the allocation maps.
#include <cstdint>
#include <string>
#include <string_view>

#include "store/pst/ndb/ids.h"

namespace store::pst {

inline constexpr std::uint8_t kAMapValid = 0x02;

struct Root {
    Ib fileEof = 0;
    Ib amapLast = 0;
    std::uint64_t amapFree = 0;
    std::uint64_t pmapFree = 0;
    BlockRef nodeBTree;
    BlockRef blockBTree;
    std::uint8_t amapValid = 0;

    static constexpr std::size_t kSize = 72;
    void encode(std::string& out) const;
    static Root decode(std::string_view bytes);
};

}  // namespace store::pst
