#include "store/pst/ndb/allocation_map.h"

#include <algorithm>
#include <bit>

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/page.h"

namespace store::pst {
namespace {

constexpr std::uint64_t kFirstFMapRegion = 128;
constexpr std::uint64_t kFMapInterval = 496;
constexpr std::uint64_t kFirstFPMapRegion = 128 * 64;
constexpr std::uint64_t kFPMapInterval = 496 * 64;

}  // namespace

std::uint64_t RegionLayout::reservedBytes() const {
    if (fpmap) return 4 * kPageSize;
    if (fmap) return 3 * kPageSize;
    if (pmap) return 2 * kPageSize;
    return kPageSize;
}

RegionLayout regionLayout(std::uint64_t region) {
    RegionLayout layout;
    layout.start = kFirstAMapOffset + region * kRegionSize;
    layout.pmap = region % 8 == 0;
    layout.fmap = region >= kFirstFMapRegion && (region - kFirstFMapRegion) % kFMapInterval == 0;
    layout.fpmap = region >= kFirstFPMapRegion && (region - kFirstFPMapRegion) % kFPMapInterval == 0;
    return layout;
}

std::uint64_t regionOf(Ib ib) { return ib < kFirstAMapOffset ? 0 : (ib - kFirstAMapOffset) / kRegionSize; }

void FileSpace::addExtent(Ib ib, std::uint64_t size) {
    bySize_.emplace(size, ib);
    byOffset_.emplace(ib, size);
    freeBytes_ += size;
}

void FileSpace::removeExtent(Ib ib, std::uint64_t size) {
    auto [first, last] = bySize_.equal_range(size);
    for (; first != last; ++first)
        if (first->second == ib) {
            bySize_.erase(first);
            break;
        }
    byOffset_.erase(ib);
    freeBytes_ -= size;
}

void FileSpace::release(Ib ib, std::uint64_t size) {
    if (size < 64) return;
    // Joins the neighbouring free extents (they never span a region start: map pages are never free).
    auto next = byOffset_.lower_bound(ib);
    if (next != byOffset_.end() && next->first == ib + size) {
        const auto [nextIb, nextSize] = *next;
        removeExtent(nextIb, nextSize);
        size += nextSize;
    }
    auto prev = byOffset_.lower_bound(ib);
    if (prev != byOffset_.begin()) {
        --prev;
        if (prev->first + prev->second == ib) {
            const auto [prevIb, prevSize] = *prev;
            removeExtent(prevIb, prevSize);
            ib = prevIb;
            size += prevSize;
        }
    }
    addExtent(ib, size);
}

std::optional<Ib> FileSpace::takeFree(std::uint64_t size, std::uint64_t align) {
    // Cuts the aligned piece out of the extent at it; the rest stays free.
    auto cut = [this, size, align](auto it) -> std::optional<Ib> {
        const auto [extentSize, extentIb] = *it;
        const Ib ib = (extentIb + align - 1) / align * align;
        if (ib + size > extentIb + extentSize) return std::nullopt;
        removeExtent(extentIb, extentSize);
        if (ib > extentIb) release(extentIb, ib - extentIb);
        if (extentIb + extentSize > ib + size) release(ib + size, extentIb + extentSize - ib - size);
        return ib;
    };
    constexpr int kCandidates = 8;
    auto it = bySize_.lower_bound(size);
    for (int tried = 0; it != bySize_.end() && tried < kCandidates; ++it, ++tried)
        if (const auto ib = cut(it)) return ib;
    // The smallest extents may all miss the alignment (pages need 512 bytes): an extent longer by the
    // alignment's slack always holds an aligned piece (extents start on 64-byte boundaries).
    if (align > 64)
        if (it = bySize_.lower_bound(size + align - 64); it != bySize_.end()) return cut(it);
    return std::nullopt;
}

Ib FileSpace::allocate(std::uint64_t size, std::uint64_t align) {
    allocated_ += size;
    if (const auto reused = takeFree(size, align)) return *reused;
    Ib ib = std::max<Ib>(end_, kFirstAMapOffset);
    ib = (ib + align - 1) / align * align;
    for (;;) {
        const RegionLayout layout = regionLayout(regionOf(ib));
        const Ib firstFree = layout.start + layout.reservedBytes();
        if (ib < firstFree) ib = firstFree;
        if (ib + size <= layout.start + kRegionSize) break;
        // The tail of the region stays usable for smaller pieces.
        release(ib, layout.start + kRegionSize - ib);
        ib = layout.start + kRegionSize;
    }
    end_ = ib + size;
    return ib;
}

Ib fileEndFor(Ib used) {
    if (used <= kFirstAMapOffset) return kFirstAMapOffset + kRegionSize;
    return kFirstAMapOffset + (regionOf(used - 1) + 1) * kRegionSize;
}

AllocationMapBuilder::AllocationMapBuilder(Ib fileEnd)
    : regions_(fileEnd <= kFirstAMapOffset ? 1 : (fileEnd - kFirstAMapOffset + kRegionSize - 1) / kRegionSize),
      bits_(regions_, std::string(kPageDataSize, '\0')) {
    for (std::uint64_t region = 0; region < regions_; ++region) {
        const RegionLayout layout = regionLayout(region);
        markAllocated(layout.start, layout.reservedBytes());
    }
}

void AllocationMapBuilder::markAllocated(Ib ib, std::uint64_t size) {
    if (ib < kFirstAMapOffset || size == 0) return;
    std::uint64_t slot = (ib - kFirstAMapOffset) / 64;
    const std::uint64_t endSlot = (ib - kFirstAMapOffset + size + 63) / 64;
    constexpr std::uint64_t kRegionSlots = kPageDataSize * 8;
    while (slot < endSlot) {
        const std::uint64_t region = slot / kRegionSlots;
        if (region >= regions_) return;
        const std::uint64_t bit = slot % kRegionSlots;
        // Whole bytes at once where the extent covers them.
        if (bit % 8 == 0 && endSlot - slot >= 8) {
            const std::uint64_t bytes = std::min((endSlot - slot) / 8, (kRegionSlots - bit) / 8);
            std::fill_n(bits_[region].begin() + static_cast<std::ptrdiff_t>(bit / 8), bytes, static_cast<char>(0xFF));
            slot += bytes * 8;
            continue;
        }
        bits_[region][bit / 8] = static_cast<char>(bits_[region][bit / 8] | (0x80 >> (bit % 8)));
        ++slot;
    }
}

std::uint8_t AllocationMapBuilder::longestFreeRun(std::uint64_t region) const {
    std::uint64_t longest = 0;
    std::uint64_t run = 0;
    for (unsigned char byte : bits_[region]) {
        // Full and empty bytes, most of a map, at once.
        if (byte == 0xFF) {
            run = 0;
            continue;
        }
        if (byte == 0) {
            run += 8;
            longest = std::max(longest, run);
            continue;
        }
        for (int bit = 0; bit < 8; ++bit) {
            run = (byte & (0x80 >> bit)) ? 0 : run + 1;
            longest = std::max(longest, run);
        }
    }
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(longest, 0xFF));
}

std::vector<MapPage> AllocationMapBuilder::pages() const {
    std::vector<MapPage> out;
    const std::string full(kPageDataSize, static_cast<char>(0xFF));
    for (std::uint64_t region = 0; region < regions_; ++region) {
        const RegionLayout layout = regionLayout(region);
        out.push_back({layout.start, encodeMapPage(PageType::AllocationMap, bits_[region], layout.start)});
        if (layout.pmap) {
            const Ib ib = layout.start + kPageSize;
            out.push_back({ib, encodeMapPage(PageType::PageMap, full, ib)});
        }
        if (layout.fmap) {
            std::string runs(kPageDataSize, '\0');
            for (std::uint64_t i = 0; i < kPageDataSize && region + i < regions_; ++i)
                runs[i] = static_cast<char>(longestFreeRun(region + i));
            const Ib ib = layout.start + 2 * kPageSize;
            out.push_back({ib, encodeMapPage(PageType::FreeMap, runs, ib)});
        }
        if (layout.fpmap) {
            const Ib ib = layout.start + 3 * kPageSize;
            out.push_back({ib, encodeMapPage(PageType::FreePageMap, full, ib)});
        }
    }
    return out;
}

std::uint32_t AllocationMapBuilder::freeSlots(std::uint64_t region) const {
    const std::string& bits = bits_[region];
    std::uint32_t used = 0;
    std::size_t i = 0;
    for (; i + 8 <= bits.size(); i += 8) used += static_cast<std::uint32_t>(std::popcount(loadU64(bits.data() + i)));
    for (; i < bits.size(); ++i) used += static_cast<std::uint32_t>(std::popcount(static_cast<unsigned char>(bits[i])));
    return static_cast<std::uint32_t>(8 * bits.size()) - used;
}

std::uint64_t AllocationMapBuilder::freeBytes() const {
    std::uint64_t free = 0;
    for (std::uint64_t region = 0; region < regions_; ++region) free += freeSlots(region);
    return free * 64;
}

MapPage AllocationMapBuilder::densityList(Bid bid) const {
    std::vector<DensityEntry> entries;
    for (std::uint64_t region = 0; region < regions_; ++region)
        if (const std::uint32_t free = freeSlots(region))
            entries.push_back({static_cast<std::uint32_t>(region), free});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const DensityEntry& a, const DensityEntry& b) { return a.freeSlots > b.freeSlots; });
    if (entries.size() > kDensityListCapacity) entries.resize(kDensityListCapacity);
    const auto current = static_cast<std::uint32_t>(regions_ - 1);  // new space is taken at the end
    return {kDensityListOffset, encodeDensityList(entries, current, {bid, kDensityListOffset})};
}

std::array<std::uint8_t, 128> AllocationMapBuilder::firstFreeMap() const {
    std::array<std::uint8_t, 128> out{};
    for (std::uint64_t region = 0; region < regions_ && region < out.size(); ++region)
        out[region] = longestFreeRun(region);
    return out;
}

Ib AllocationMapBuilder::lastAMap() const { return regionLayout(regions_ - 1).start; }

}  // namespace store::pst
