#pragma once
// Pages: 512-byte units with a trailer; B-tree pages of the node and block trees, and the allocation
// map pages (AMap, PMap, FMap, FPMap).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/ids.h"

namespace store::pst {

inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageDataSize = 496;

enum class PageType : std::uint8_t {
    BlockBTree = 0x80,
    NodeBTree = 0x81,
    FreeMap = 0x82,
    PageMap = 0x83,
    AllocationMap = 0x84,
    FreePageMap = 0x85,
    DensityList = 0x86,
};

// B-tree page layout: entries, then cEnt, cEntMax, cbEnt, cLevel and padding.
inline constexpr std::size_t kBTreeEntryArea = 488;

struct BTreePage {
    PageType type = PageType::NodeBTree;
    std::uint8_t level = 0;
    std::uint8_t entrySize = 0;
    std::uint8_t count = 0;
    std::string entries;  // count * entrySize bytes
};

// The entry size and capacity of a B-tree page at a level.
std::uint8_t btreeEntrySize(PageType type, std::uint8_t level);
constexpr std::uint8_t btreeCapacity(std::uint8_t entrySize) {
    return static_cast<std::uint8_t>(kBTreeEntryArea / entrySize);
}

std::string encodeBTreePage(const BTreePage& page, BlockRef ref);
// Checks type, trailer id and CRC; empty when the page is damaged.
std::optional<BTreePage> decodeBTreePage(std::string_view bytes, BlockRef ref);

// A map page: 496 bytes of map data; its id is its own offset.
std::string encodeMapPage(PageType type, std::string_view bits, Ib ib);

// The density list: at a fixed offset, the AMap pages by descending free space, so that space is
// taken from the emptiest region first. At most 119 entries fit.
inline constexpr Ib kDensityListOffset = 0x4200;
inline constexpr std::size_t kDensityListCapacity = 119;
struct DensityEntry {
    std::uint32_t amapIndex = 0;  // the region whose AMap page it is
    std::uint32_t freeSlots = 0;  // free 64-byte slots of that region, at most 3968
};
std::string encodeDensityList(const std::vector<DensityEntry>& entries, std::uint32_t currentAMap, BlockRef ref);

}  // namespace store::pst
