#include "store/pst/ndb/page.h"

#include <algorithm>

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"

namespace store::pst {
namespace {

void appendTrailer(std::string& page, PageType type, std::uint16_t sig, std::uint64_t bid) {
    const std::uint32_t crc = computeCrc(std::string_view(page).substr(0, kPageDataSize));
    put8(page, static_cast<std::uint8_t>(type));
    put8(page, static_cast<std::uint8_t>(type));
    putU16(page, sig);
    putU32(page, crc);
    putU64(page, bid);
}

}  // namespace

std::uint8_t btreeEntrySize(PageType type, std::uint8_t level) {
    if (level > 0) return 24;                      // BTENTRY: key, BREF
    return type == PageType::NodeBTree ? 32 : 24;  // NBTENTRY : BBTENTRY
}

std::string encodeBTreePage(const BTreePage& page, BlockRef ref) {
    std::string out = page.entries;
    out.resize(kBTreeEntryArea, '\0');
    put8(out, page.count);
    put8(out, btreeCapacity(page.entrySize));
    put8(out, page.entrySize);
    put8(out, page.level);
    putU32(out, 0);
    appendTrailer(out, page.type, computeSig(ref.ib, ref.bid.value()), ref.bid.value());
    return out;
}

std::optional<BTreePage> decodeBTreePage(std::string_view bytes, BlockRef ref) {
    if (bytes.size() < kPageSize) return std::nullopt;
    const char* trailer = bytes.data() + kPageDataSize;
    const auto type = static_cast<PageType>(load8(trailer));
    if (load8(trailer + 1) != load8(trailer)) return std::nullopt;
    if (type != PageType::NodeBTree && type != PageType::BlockBTree) return std::nullopt;
    if (loadU32(trailer + 4) != computeCrc(bytes.substr(0, kPageDataSize))) return std::nullopt;
    if (Bid(loadU64(trailer + 8)).key() != ref.bid.key()) return std::nullopt;
    BTreePage page;
    page.type = type;
    page.count = load8(bytes.data() + kBTreeEntryArea);
    page.entrySize = load8(bytes.data() + kBTreeEntryArea + 2);
    page.level = load8(bytes.data() + kBTreeEntryArea + 3);
    if (page.entrySize == 0 || static_cast<std::size_t>(page.count) * page.entrySize > kBTreeEntryArea) return std::nullopt;
    page.entries.assign(bytes.substr(0, static_cast<std::size_t>(page.count) * page.entrySize));
    return page;
}

std::string encodeMapPage(PageType type, std::string_view bits, Ib ib) {
    std::string out(bits.substr(0, kPageDataSize));
    out.resize(kPageDataSize, '\0');
    appendTrailer(out, type, 0, ib);
    return out;
}

std::string encodeDensityList(const std::vector<DensityEntry>& entries, std::uint32_t currentAMap, BlockRef ref) {
    constexpr std::uint32_t kPageNumberMask = 0xFFFFF;
    constexpr std::uint32_t kFreeSlotsMask = 0xFFF;
    const std::size_t count = std::min(entries.size(), kDensityListCapacity);
    std::string out;
    put8(out, 0);  // flags: no backfill under way
    put8(out, static_cast<std::uint8_t>(count));
    putU16(out, 0);
    putU32(out, currentAMap);
    for (std::size_t i = 0; i < count; ++i)
        putU32(out, (entries[i].amapIndex & kPageNumberMask) | ((entries[i].freeSlots & kFreeSlotsMask) << 20));
    out.resize(kPageDataSize, '\0');
    appendTrailer(out, PageType::DensityList, computeSig(ref.ib, ref.bid.value()), ref.bid.value());
    return out;
}

}  // namespace store::pst
