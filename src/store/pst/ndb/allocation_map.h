#pragma once
// File space: where blocks and pages may go, and the allocation map pages that describe it. The file
// is divided into regions of 253,952 bytes from offset 0x4400; each region starts with its AMap page,
// every 8th also with a PMap, from the 128th every 496th with an FMap and from the 8192nd every
// 31,744th with an FPMap. New space is taken at the end of the file, never across a region start.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/pst/ndb/ids.h"

namespace store::pst {

inline constexpr Ib kFirstAMapOffset = 0x4400;
inline constexpr std::uint64_t kRegionSize = 496 * 8 * 64;  // 253,952

struct RegionLayout {
    Ib start = 0;
    bool pmap = false;
    bool fmap = false;
    bool fpmap = false;
    // Bytes at the region start taken by its map pages.
    std::uint64_t reservedBytes() const;
};

RegionLayout regionLayout(std::uint64_t region);
std::uint64_t regionOf(Ib ib);

// Hands out space: extents given back (that no committed state refers to any more) first, then
// new space at the end of the file.
class FileSpace {
public:
    explicit FileSpace(Ib highWater = 0) : end_(highWater) {}
    // size <= one region's free part; align is 64 for blocks, 512 for pages.
    Ib allocate(std::uint64_t size, std::uint64_t align);
    // Makes an extent (inside one region, 64-byte aligned) available again.
    void release(Ib ib, std::uint64_t size);
    Ib end() const { return end_; }
    std::uint64_t allocatedBytes() const { return allocated_; }
    std::uint64_t freeBytes() const { return freeBytes_; }

private:
    std::optional<Ib> takeFree(std::uint64_t size, std::uint64_t align);
    void addExtent(Ib ib, std::uint64_t size);
    void removeExtent(Ib ib, std::uint64_t size);

    Ib end_;
    std::uint64_t allocated_ = 0;
    std::uint64_t freeBytes_ = 0;
    std::multimap<std::uint64_t, Ib> bySize_;
    std::map<Ib, std::uint64_t> byOffset_;
};

struct MapPage {
    Ib ib = 0;
    std::string bytes;  // 512 bytes
};

// Builds the map pages of a file of `fileEnd` bytes (a region boundary) from its allocated extents.
class AllocationMapBuilder {
public:
    explicit AllocationMapBuilder(Ib fileEnd);
    void markAllocated(Ib ib, std::uint64_t size);
    std::vector<MapPage> pages() const;
    std::uint64_t freeBytes() const;
    std::array<std::uint8_t, 128> firstFreeMap() const;
    Ib lastAMap() const;
    // The density list page for the current maps.
    MapPage densityList(Bid bid) const;

private:
    std::uint8_t longestFreeRun(std::uint64_t region) const;
    std::uint32_t freeSlots(std::uint64_t region) const;

    std::uint64_t regions_;
    std::vector<std::string> bits_;  // 496 bytes per region
};

// The file end that covers `used` bytes: the end of the region holding the last used byte.
Ib fileEndFor(Ib used);

}  // namespace store::pst
