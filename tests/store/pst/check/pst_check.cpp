#include "pst_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_map>

namespace pst_check {
namespace {

constexpr std::uint64_t kPage = 512;
constexpr std::uint64_t kPageData = 496;
constexpr std::uint64_t kFirstAMap = 0x4400;
constexpr std::uint64_t kRegion = 496 * 8 * 64;
constexpr std::uint64_t kDensityList = 0x4200;
constexpr std::size_t kMaxBlock = 8176;
constexpr std::size_t kMaxHeapItem = 3580;
constexpr int kMaxDepth = 16;

// Decoding of blocks written with the "compressible" encoding.
constexpr std::array<std::uint8_t, 256> kPermuteDecode = {
    0x47, 0xF1, 0xB4, 0xE6, 0x0B, 0x6A, 0x72, 0x48, 0x85, 0x4E, 0x9E, 0xEB, 0xE2, 0xF8, 0x94, 0x53,
    0xE0, 0xBB, 0xA0, 0x02, 0xE8, 0x5A, 0x09, 0xAB, 0xDB, 0xE3, 0xBA, 0xC6, 0x7C, 0xC3, 0x10, 0xDD,
    0x39, 0x05, 0x96, 0x30, 0xF5, 0x37, 0x60, 0x82, 0x8C, 0xC9, 0x13, 0x4A, 0x6B, 0x1D, 0xF3, 0xFB,
    0x8F, 0x26, 0x97, 0xCA, 0x91, 0x17, 0x01, 0xC4, 0x32, 0x2D, 0x6E, 0x31, 0x95, 0xFF, 0xD9, 0x23,
    0xD1, 0x00, 0x5E, 0x79, 0xDC, 0x44, 0x3B, 0x1A, 0x28, 0xC5, 0x61, 0x57, 0x20, 0x90, 0x3D, 0x83,
    0xB9, 0x43, 0xBE, 0x67, 0xD2, 0x46, 0x42, 0x76, 0xC0, 0x6D, 0x5B, 0x7E, 0xB2, 0x0F, 0x16, 0x29,
    0x3C, 0xA9, 0x03, 0x54, 0x0D, 0xDA, 0x5D, 0xDF, 0xF6, 0xB7, 0xC7, 0x62, 0xCD, 0x8D, 0x06, 0xD3,
    0x69, 0x5C, 0x86, 0xD6, 0x14, 0xF7, 0xA5, 0x66, 0x75, 0xAC, 0xB1, 0xE9, 0x45, 0x21, 0x70, 0x0C,
    0x87, 0x9F, 0x74, 0xA4, 0x22, 0x4C, 0x6F, 0xBF, 0x1F, 0x56, 0xAA, 0x2E, 0xB3, 0x78, 0x33, 0x50,
    0xB0, 0xA3, 0x92, 0xBC, 0xCF, 0x19, 0x1C, 0xA7, 0x63, 0xCB, 0x1E, 0x4D, 0x3E, 0x4B, 0x1B, 0x9B,
    0x4F, 0xE7, 0xF0, 0xEE, 0xAD, 0x3A, 0xB5, 0x59, 0x04, 0xEA, 0x40, 0x55, 0x25, 0x51, 0xE5, 0x7A,
    0x89, 0x38, 0x68, 0x52, 0x7B, 0xFC, 0x27, 0xAE, 0xD7, 0xBD, 0xFA, 0x07, 0xF4, 0xCC, 0x8E, 0x5F,
    0xEF, 0x35, 0x9C, 0x84, 0x2B, 0x15, 0xD5, 0x77, 0x34, 0x49, 0xB6, 0x12, 0x0A, 0x7F, 0x71, 0x88,
    0xFD, 0x9D, 0x18, 0x41, 0x7D, 0x93, 0xD8, 0x58, 0x2C, 0xCE, 0xFE, 0x24, 0xAF, 0xDE, 0xB8, 0x36,
    0xC8, 0xA1, 0x80, 0xA6, 0x99, 0x98, 0xA8, 0x2F, 0x0E, 0x81, 0x65, 0x73, 0xE4, 0xC2, 0xA2, 0x8A,
    0xD4, 0xE1, 0x11, 0xD0, 0x08, 0x8B, 0x2A, 0xF2, 0xED, 0x9A, 0x64, 0x3F, 0xC1, 0x6C, 0xF9, 0xEC,
};

std::uint16_t u16(std::string_view s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) | (static_cast<std::uint8_t>(s[at + 1]) << 8));
}
std::uint32_t u32(std::string_view s, std::size_t at) { return u16(s, at) | (static_cast<std::uint32_t>(u16(s, at + 2)) << 16); }
std::uint64_t u64(std::string_view s, std::size_t at) { return u32(s, at) | (static_cast<std::uint64_t>(u32(s, at + 4)) << 32); }
std::uint8_t u8(std::string_view s, std::size_t at) { return static_cast<std::uint8_t>(s[at]); }

std::uint32_t crc32(std::string_view data) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (unsigned char b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::uint16_t signature(std::uint64_t ib, std::uint64_t bid) {
    const std::uint64_t x = ib ^ bid;
    return static_cast<std::uint16_t>((x >> 16) ^ x);
}

std::string hex(std::uint64_t v) {
    std::ostringstream s;
    s << "0x" << std::hex << v;
    return s.str();
}

std::uint64_t blockDiskSize(std::uint64_t cb) { return (cb + 16 + 63) / 64 * 64; }

struct BlockInfo {
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
    std::uint16_t refs = 0;
    std::uint32_t used = 0;  // references found while walking
};

struct NodeInfo {
    std::uint32_t nid = 0;
    std::uint64_t data = 0;
    std::uint64_t sub = 0;
    std::uint32_t parent = 0;
};

struct Subnode {
    std::uint64_t data = 0;
    std::uint64_t sub = 0;
};
using Subnodes = std::map<std::uint32_t, Subnode>;

class Checker {
public:
    explicit Checker(const std::string& path) : path_(path) {}
    Report run();

private:
    template <typename... T>
    void error(const T&... parts) {
        if (report_.errors.size() >= 200) return;
        std::ostringstream s;
        (s << ... << parts);
        report_.errors.push_back(s.str());
    }
    std::string read(std::uint64_t ib, std::size_t n) const;
    void markUsed(std::uint64_t ib, std::uint64_t size, const char* what);

    bool checkHeader();
    void walkBTree(std::uint64_t bid, std::uint64_t ib, bool nodes, int level, std::uint64_t minKey, int depth);
    void checkBlocks();
    void checkMaps();
    void checkDensityList();

    std::optional<std::string> blockData(std::uint64_t bid);
    std::optional<std::vector<std::string>> dataBlocks(std::uint64_t bid, int depth = 0);
    std::optional<Subnodes> subnodes(std::uint64_t bid, int depth = 0);
    void checkNodes();
    void checkLtp(std::uint32_t nid, std::uint64_t data, std::uint64_t sub, std::uint32_t owner, int depth);

    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint8_t crypt_ = 0;
    std::uint64_t eof_ = 0, amapLast_ = 0, amapFree_ = 0, nbtBid_ = 0, nbtIb_ = 0, bbtBid_ = 0, bbtIb_ = 0;
    std::uint64_t nextPageBid_ = 0, nextBlockBid_ = 0;
    std::vector<std::uint8_t> used_;  // one per 64-byte slot from the first AMap
    std::unordered_map<std::uint64_t, BlockInfo> blocks_;
    std::vector<NodeInfo> nodes_;
    std::unordered_map<std::uint32_t, std::size_t> nodeIndex_;
    Report report_;
    friend struct LtpCheck;
};

std::string Checker::read(std::uint64_t ib, std::size_t n) const {
    std::string out(n, '\0');
    if (ib + n > size_) return {};
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out.data() + done, n - done, static_cast<off_t>(ib + done));
        if (got <= 0) return {};
        done += static_cast<std::size_t>(got);
    }
    return out;
}

void Checker::markUsed(std::uint64_t ib, std::uint64_t size, const char* what) {
    if (ib < kFirstAMap || ib + size > eof_) {
        error(what, " at ", hex(ib), " lies outside the allocated file");
        return;
    }
    for (std::uint64_t slot = (ib - kFirstAMap) / 64; slot < (ib - kFirstAMap + size + 63) / 64; ++slot) {
        if (used_[slot]) {
            error(what, " at ", hex(ib), " overlaps other data");
            return;
        }
        used_[slot] = 1;
    }
}

bool Checker::checkHeader() {
    const std::string h = read(0, 564);
    if (h.size() != 564 || h.compare(0, 4, "!BDN") != 0) {
        error("no PST header");
        return false;
    }
    if (u16(h, 10) < 23) {
        error("not a Unicode PST (version ", u16(h, 10), ")");
        return false;
    }
    if (crc32(std::string_view(h).substr(8, 471)) != u32(h, 4)) error("header partial CRC wrong");
    if (crc32(std::string_view(h).substr(8, 516)) != u32(h, 524)) error("header full CRC wrong");
    if (h.compare(8, 2, "SM") != 0) error("header client magic wrong");
    if (u8(h, 512) != 0x80) error("header sentinel wrong");
    crypt_ = u8(h, 513);
    if (crypt_ > 1) error("unsupported encoding ", int(crypt_));
    nextPageBid_ = u64(h, 32);
    nextBlockBid_ = u64(h, 516);
    eof_ = u64(h, 184);
    amapLast_ = u64(h, 192);
    amapFree_ = u64(h, 200);
    nbtBid_ = u64(h, 216);
    nbtIb_ = u64(h, 224);
    bbtBid_ = u64(h, 232);
    bbtIb_ = u64(h, 240);
    if (u8(h, 248) != 0x02 && u8(h, 248) != 0x01) error("allocation maps marked invalid");
    if (eof_ != size_) error("header file end ", hex(eof_), " differs from file size ", hex(size_));
    if (eof_ < kFirstAMap + kRegion || (eof_ - kFirstAMap) % kRegion != 0) error("file end ", hex(eof_), " is not a region end");
    if (eof_ > size_) return false;
    used_.assign((eof_ - kFirstAMap) / 64, 0);
    return true;
}

void Checker::walkBTree(std::uint64_t bid, std::uint64_t ib, bool nodes, int level, std::uint64_t minKey, int depth) {
    const char* name = nodes ? "node B-tree page" : "block B-tree page";
    if (depth > 8) {
        error(name, " at ", hex(ib), ": tree too deep");
        return;
    }
    if (ib % kPage != 0) error(name, " at ", hex(ib), " not page aligned");
    const std::string p = read(ib, kPage);
    if (p.size() != kPage) {
        error(name, " at ", hex(ib), " beyond the file end");
        return;
    }
    markUsed(ib, kPage, name);
    const std::uint8_t type = nodes ? 0x81 : 0x80;
    if (u8(p, 496) != type || u8(p, 497) != type) error(name, " at ", hex(ib), ": wrong page type");
    if (u32(p, 500) != crc32(std::string_view(p).substr(0, kPageData))) error(name, " at ", hex(ib), ": CRC wrong");
    if (u64(p, 504) != bid) error(name, " at ", hex(ib), ": trailer id ", hex(u64(p, 504)), " is not ", hex(bid));
    if (u16(p, 498) != signature(ib, bid)) error(name, " at ", hex(ib), ": signature wrong");
    if (bid >= nextPageBid_) error(name, " at ", hex(ib), ": id ", hex(bid), " not below the header's next page id");
    const std::uint8_t count = u8(p, 488), maxCount = u8(p, 489), entrySize = u8(p, 490), pageLevel = u8(p, 491);
    if (level >= 0 && pageLevel != level) error(name, " at ", hex(ib), ": level ", int(pageLevel), " expected ", level);
    const std::uint8_t wantSize = pageLevel > 0 ? 24 : (nodes ? 32 : 24);
    if (entrySize != wantSize || maxCount != 488 / wantSize || count > maxCount) {
        error(name, " at ", hex(ib), ": bad entry layout");
        return;
    }
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = i * entrySize;
        const std::uint64_t key = nodes && pageLevel == 0 ? u32(p, at) : u64(p, at);
        if (i > 0 && key <= previous) error(name, " at ", hex(ib), ": keys out of order");
        if (i == 0 && key < minKey) error(name, " at ", hex(ib), ": first key below its parent's key");
        previous = key;
        if (pageLevel > 0) {
            walkBTree(u64(p, at + 8), u64(p, at + 16), nodes, pageLevel - 1, key, depth + 1);
            if (i == 0 && key != minKey && depth > 0) error(name, " at ", hex(ib), ": key differs from the parent's");
        } else if (nodes) {
            NodeInfo n{static_cast<std::uint32_t>(u64(p, at)), u64(p, at + 8), u64(p, at + 16), u32(p, at + 24)};
            if (nodeIndex_.count(n.nid)) error("node ", hex(n.nid), " listed twice");
            nodeIndex_[n.nid] = nodes_.size();
            nodes_.push_back(n);
        } else {
            const std::uint64_t blockBid = u64(p, at);
            BlockInfo b{u64(p, at + 8), u16(p, at + 16), u16(p, at + 18), 0};
            if (blocks_.count(blockBid & ~std::uint64_t{1})) error("block ", hex(blockBid), " listed twice");
            if (b.refs == 0) error("block ", hex(blockBid), " has no references");
            blocks_[blockBid & ~std::uint64_t{1}] = b;
        }
    }
}

void Checker::checkBlocks() {
    for (auto& [bid, b] : blocks_) {
        const std::uint64_t disk = blockDiskSize(b.cb);
        if (b.ib % 64 != 0) error("block ", hex(bid), " not 64-byte aligned");
        if (b.cb > kMaxBlock) error("block ", hex(bid), " larger than ", kMaxBlock);
        if (disk > 8192) continue;
        const std::string raw = read(b.ib, disk);
        if (raw.size() != disk) {
            error("block ", hex(bid), " beyond the file end");
            continue;
        }
        markUsed(b.ib, disk, "block");
        const std::size_t t = disk - 16;
        if (u16(raw, t) != b.cb) error("block ", hex(bid), ": trailer size ", u16(raw, t), " is not ", b.cb);
        if (u16(raw, t + 2) != signature(b.ib, bid)) error("block ", hex(bid), ": signature wrong");
        if (u32(raw, t + 4) != crc32(std::string_view(raw).substr(0, b.cb))) error("block ", hex(bid), ": CRC wrong");
        if ((u64(raw, t + 8) & ~std::uint64_t{1}) != bid) error("block ", hex(bid), ": trailer id wrong");
        if ((bid & ~std::uint64_t{3}) >= nextBlockBid_) error("block ", hex(bid), " not below the header's next block id");
    }
    report_.blocks = blocks_.size();
}

void Checker::checkMaps() {
    const std::uint64_t regions = (eof_ - kFirstAMap) / kRegion;
    std::uint64_t freeSlots = 0;
    for (std::uint64_t r = 0; r < regions; ++r) {
        const std::uint64_t start = kFirstAMap + r * kRegion;
        std::vector<std::pair<std::uint64_t, std::uint8_t>> maps = {{start, 0x84}};
        if (r % 8 == 0) maps.push_back({start + kPage, 0x83});
        if (r >= 128 && (r - 128) % 496 == 0) maps.push_back({start + 2 * kPage, 0x82});
        if (r >= 8192 && (r - 8192) % (496 * 64) == 0) {
            maps.push_back({start + 3 * kPage, 0x85});
            // The FMap's slot before it stays reserved in regions without an FMap.
            if (maps.size() == 3) markUsed(start + 2 * kPage, kPage, "reserved map slot");
        }
        std::string amap;
        for (const auto& [ib, type] : maps) {
            const std::string p = read(ib, kPage);
            if (u8(p, 496) != type || u8(p, 497) != type) error("map page at ", hex(ib), ": type ", int(u8(p, 496)), " expected ", int(type));
            if (u32(p, 500) != crc32(std::string_view(p).substr(0, kPageData))) error("map page at ", hex(ib), ": CRC wrong");
            if (u64(p, 504) != ib) error("map page at ", hex(ib), ": trailer id wrong");
            markUsed(ib, kPage, "map page");
            if (type == 0x84) amap = p;
        }
        if (amap.empty()) continue;
        const std::uint64_t firstSlot = r * (kRegion / 64);
        bool mismatch = false;
        for (std::uint64_t slot = 0; slot < kRegion / 64; ++slot) {
            const bool marked = u8(amap, slot / 8) & (0x80 >> (slot % 8));
            const bool inUse = used_[firstSlot + slot] != 0;
            if (!marked) ++freeSlots;
            if (inUse != marked && !mismatch) {
                mismatch = true;
                error("space at ", hex(kFirstAMap + (firstSlot + slot) * 64),
                      inUse ? " in use but free in its AMap" : " marked in its AMap but unused");
            }
        }
    }
    if (amapLast_ != kFirstAMap + (regions - 1) * kRegion) error("header's last AMap ", hex(amapLast_), " wrong");
    if (amapFree_ != freeSlots * 64) error("header's free space ", amapFree_, " differs from the AMaps' ", freeSlots * 64);
}

void Checker::checkDensityList() {
    const std::string p = read(kDensityList, kPage);
    if (u8(p, 496) != 0x86 || u8(p, 497) != 0x86) {
        error("no density list page at 0x4200");
        return;
    }
    if (u32(p, 500) != crc32(std::string_view(p).substr(0, kPageData))) error("density list: CRC wrong");
    if (u16(p, 498) != signature(kDensityList, u64(p, 504))) error("density list: signature wrong");
    const std::uint64_t regions = (eof_ - kFirstAMap) / kRegion;
    const std::size_t count = u8(p, 1);
    if (count > 119) error("density list: ", count, " entries");
    if (u32(p, 4) >= regions) error("density list: current page ", u32(p, 4), " beyond the last AMap");
    std::uint32_t previous = 0xFFFFFFFF;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < count && i < 119; ++i) {
        const std::uint32_t entry = u32(p, 8 + 4 * i);
        const std::uint32_t page = entry & 0xFFFFF, free = entry >> 20;
        if (page >= regions || !seen.insert(page).second) {
            error("density list: entry for AMap ", page, " out of range or repeated");
            continue;
        }
        const std::string amap = read(kFirstAMap + page * kRegion, kPageData);
        std::uint32_t actual = 0;
        for (unsigned char byte : amap) actual += 8 - static_cast<std::uint32_t>(__builtin_popcount(byte));
        if (free != actual) error("density list: AMap ", page, " has ", actual, " free slots, listed as ", free);
        if (free > previous) error("density list: not sorted by free space");
        previous = free;
    }
}

std::optional<std::string> Checker::blockData(std::uint64_t bid) {
    const auto it = blocks_.find(bid & ~std::uint64_t{1});
    if (it == blocks_.end()) {
        error("block ", hex(bid), " referenced but missing");
        return std::nullopt;
    }
    ++it->second.used;
    std::string data = read(it->second.ib, it->second.cb);
    if (crypt_ == 1 && !(bid & 2))
        for (char& c : data) c = static_cast<char>(kPermuteDecode[static_cast<std::uint8_t>(c)]);
    return data;
}

std::optional<std::vector<std::string>> Checker::dataBlocks(std::uint64_t bid, int depth) {
    auto data = blockData(bid);
    if (!data) return std::nullopt;
    if (!(bid & 2)) return std::vector<std::string>{std::move(*data)};
    if (depth > 1 || data->size() < 8 || u8(*data, 0) != 0x01) {
        error("data tree block ", hex(bid), " damaged");
        return std::nullopt;
    }
    const std::uint8_t level = u8(*data, 1);
    const std::size_t count = u16(*data, 2);
    const std::uint32_t total = u32(*data, 4);
    if (8 + 8 * count > data->size() || level == 0 || level > 2 || count == 0) {
        error("data tree block ", hex(bid), " has a bad header");
        return std::nullopt;
    }
    std::vector<std::string> out;
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t child = u64(*data, 8 + 8 * i);
        if (level == 1 && (child & 2)) error("data tree block ", hex(bid), " lists an internal block as a leaf");
        if (level == 2 && !(child & 2)) error("data tree block ", hex(bid), " lists a leaf at level 2");
        auto part = dataBlocks(child, depth + 1);
        if (!part) return std::nullopt;
        for (auto& b : *part) {
            bytes += b.size();
            out.push_back(std::move(b));
        }
    }
    if (bytes != total) error("data tree block ", hex(bid), ": total ", total, " but leaves hold ", bytes);
    return out;
}

std::optional<Subnodes> Checker::subnodes(std::uint64_t bid, int depth) {
    Subnodes out;
    if (bid == 0) return out;
    const auto data = blockData(bid);
    if (!data) return std::nullopt;
    if (!(bid & 2) || depth > 1 || data->size() < 8 || u8(*data, 0) != 0x02) {
        error("subnode block ", hex(bid), " damaged");
        return std::nullopt;
    }
    const std::uint8_t level = u8(*data, 1);
    const std::size_t count = u16(*data, 2);
    const std::size_t entry = level == 0 ? 24 : 16;
    if (8 + entry * count > data->size()) {
        error("subnode block ", hex(bid), " has too many entries");
        return std::nullopt;
    }
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t nid = u32(*data, 8 + entry * i);  // the upper half is not part of the id
        if (i > 0 && nid <= previous) error("subnode block ", hex(bid), ": ids out of order");
        previous = nid;
        if (level == 0) {
            out[static_cast<std::uint32_t>(nid)] = {u64(*data, 16 + 24 * i), u64(*data, 24 + 24 * i)};
        } else {
            auto child = subnodes(u64(*data, 16 + 16 * i), depth + 1);
            if (!child) return std::nullopt;
            out.merge(*child);
        }
    }
    return out;
}

// One heap-on-node and what it holds.
struct LtpCheck {
    Checker& c;
    std::string where;
    std::vector<std::string> blocks;
    const Subnodes& subs;
    std::vector<std::vector<std::uint16_t>> offsets;  // per block, item bounds

    bool parse() {
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            const std::string& d = blocks[b];
            if (d.size() < 12) return fail("heap block ", b, " too short");
            const std::size_t map = u16(d, 0);
            if (map + 4 > d.size()) return fail("heap block ", b, ": page map outside the block");
            const std::size_t count = u16(d, map);
            if (map + 4 + 2 * (count + 1) > d.size()) return fail("heap block ", b, ": page map beyond the block");
            const std::size_t header = b == 0 ? 12 : (b >= 8 && (b - 8) % 128 == 0 ? 66 : 2);
            std::vector<std::uint16_t> bounds;
            for (std::size_t i = 0; i <= count; ++i) bounds.push_back(u16(d, map + 4 + 2 * i));
            if (bounds.front() != header) return fail("heap block ", b, ": first item not after the header");
            if (!std::is_sorted(bounds.begin(), bounds.end()) || bounds.back() > map)
                return fail("heap block ", b, ": item bounds out of order");
            offsets.push_back(std::move(bounds));
        }
        if (u8(blocks[0], 2) != 0xEC) return fail("no heap signature");
        return true;
    }
    template <typename... T>
    bool fail(const T&... parts) {
        c.error(where, ": ", parts...);
        return false;
    }
    std::optional<std::string_view> item(std::uint32_t hid) {
        const std::size_t block = hid >> 16, index = (hid >> 5) & 0x7FF;
        if ((hid & 0x1F) != 0 || block >= offsets.size() || index == 0 || index >= offsets[block].size()) return std::nullopt;
        const auto& bounds = offsets[block];
        if (static_cast<std::size_t>(bounds[index] - bounds[index - 1]) > kMaxHeapItem) fail("item ", hex(hid), " larger than a heap item may be");
        return std::string_view(blocks[block]).substr(bounds[index - 1], bounds[index] - bounds[index - 1]);
    }
    std::optional<std::string> value(std::uint32_t hnid) {
        if (hnid == 0) return std::string();
        if ((hnid & 0x1F) == 0) {
            const auto got = item(hnid);
            if (!got) return std::nullopt;
            return std::string(*got);
        }
        const auto it = subs.find(hnid);
        if (it == subs.end()) return std::nullopt;
        const auto data = c.dataBlocks(it->second.data);
        if (!data) return std::nullopt;
        std::string out;
        for (const auto& b : *data) out += b;
        return out;
    }
    // Records of a BTH, in key order; empty on damage.
    std::optional<std::vector<std::pair<std::string, std::string>>> bth(std::uint32_t hid, std::uint8_t key, std::uint8_t data) {
        const auto header = item(hid);
        if (!header || header->size() != 8 || u8(*header, 0) != 0xB5) {
            fail("no BTH header at ", hex(hid));
            return std::nullopt;
        }
        if (u8(*header, 1) != key || u8(*header, 2) != data) {
            fail("BTH at ", hex(hid), " has key/data sizes ", int(u8(*header, 1)), "/", int(u8(*header, 2)));
            return std::nullopt;
        }
        std::vector<std::pair<std::string, std::string>> out;
        if (u32(*header, 4) == 0) return out;
        if (!level(u32(*header, 4), u8(*header, 3), key, data, out)) return std::nullopt;
        for (std::size_t i = 1; i < out.size(); ++i)
            if (key == 2 ? u16(out[i - 1].first, 0) >= u16(out[i].first, 0) : u32(out[i - 1].first, 0) >= u32(out[i].first, 0)) {
                fail("BTH at ", hex(hid), ": keys out of order");
                return std::nullopt;
            }
        return out;
    }
    bool level(std::uint32_t hid, int depth, std::uint8_t key, std::uint8_t data,
               std::vector<std::pair<std::string, std::string>>& out) {
        const auto node = item(hid);
        const std::size_t size = key + (depth == 0 ? data : 4);
        if (!node || node->empty() || node->size() % size != 0 || depth > 8) return fail("BTH node ", hex(hid), " damaged");
        for (std::size_t at = 0; at < node->size(); at += size) {
            if (depth == 0)
                out.emplace_back(std::string(node->substr(at, key)), std::string(node->substr(at + key, data)));
            else if (!level(u32(*node, at + key), depth - 1, key, data, out))
                return false;
        }
        return true;
    }
};

std::size_t inlineSize(std::uint16_t type) {
    switch (type) {
        case 0x0002: return 2;
        case 0x0003: case 0x0004: case 0x000A: return 4;
        case 0x000B: return 1;
        default: return 0;
    }
}
std::size_t cellSize(std::uint16_t type) {
    switch (type) {
        case 0x0002: return 2;
        case 0x000B: return 1;
        case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
        default: return 4;
    }
}
bool cellInline(std::uint16_t type) { return cellSize(type) != 4 || inlineSize(type) == 4; }

// Hierarchy tables list subfolders (search folders too), contents tables messages.
bool isChild(std::uint32_t nid, std::uint32_t tableKind) {
    const std::uint32_t kind = nid & 0x1F;
    return tableKind == 0x0D ? kind == 0x02 || kind == 0x03 : kind == 0x04;
}

bool isHeapNode(std::uint32_t nid) {
    switch (nid & 0x1F) {
        case 0x02: case 0x03: case 0x04: case 0x05: case 0x0D: case 0x0E: case 0x0F: case 0x11: case 0x12:
            return true;
        default:
            return nid == 0x21 || nid == 0x61;
    }
}

void Checker::checkLtp(std::uint32_t nid, std::uint64_t data, std::uint64_t sub, std::uint32_t owner, int depth) {
    const std::string where = (owner ? "subnode " + hex(nid) + " of node " + hex(owner) : "node " + hex(nid));
    if (depth > kMaxDepth) {
        error(where, ": subnodes nested too deeply");
        return;
    }
    auto blocks = dataBlocks(data);
    auto subs = subnodes(sub);
    if (!blocks || !subs) return;
    for (const auto& [child, s] : *subs)
        if (isHeapNode(child) && (child & 0x1F) != 0x1F) checkLtp(child, s.data, s.sub, owner ? owner : nid, depth + 1);
        else {
            dataBlocks(s.data);
            subnodes(s.sub);
        }
    if (!isHeapNode(nid)) return;
    LtpCheck h{*this, where, std::move(*blocks), *subs, {}};
    if (!h.parse()) return;
    ++report_.heaps;
    const std::uint8_t client = u8(h.blocks[0], 3);
    const std::uint32_t root = u32(h.blocks[0], 4);
    const bool table = (nid & 0x1F) >= 0x0D && (nid & 0x1F) <= 0x12 && (nid & 0x1F) != 0x05;
    if (client != (table ? 0x7C : 0xBC)) {
        h.fail("heap client ", hex(client));
        return;
    }
    const auto first = h.item(0x20);
    if (!first || first->size() != 8 || u8(*first, 0) != 0xB5) h.fail("the first heap item is not a BTH header");
    if (!table) {
        if (root != 0x20) h.fail("property context root at ", hex(root), ", not the first item");
        const auto records = h.bth(root, 2, 6);
        if (!records) return;
        for (const auto& [key, value] : *records) {
            const std::uint16_t type = u16(value, 0);
            if (inlineSize(type)) continue;
            if (!h.value(u32(value, 2))) h.fail("property ", hex(u16(key, 0)), " refers to a missing value ", hex(u32(value, 2)));
        }
        return;
    }
    ++report_.tables;
    const auto info = h.item(root);
    if (root != 0x40) h.fail("TCINFO at ", hex(root), ", not the second item");
    if (!info || info->size() < 22 || u8(*info, 0) != 0x7C || info->size() != 22 + 8u * u8(*info, 1)) {
        h.fail("TCINFO damaged");
        return;
    }
    const std::size_t columns = u8(*info, 1);
    const std::uint16_t end4 = u16(*info, 2), end2 = u16(*info, 4), end1 = u16(*info, 6), rowSize = u16(*info, 8);
    const std::uint32_t rowIndex = u32(*info, 10), rowsHnid = u32(*info, 14);
    if (!(end4 <= end2 && end2 <= end1 && end1 < rowSize) || rowSize != end1 + (columns + 7) / 8) h.fail("TCINFO row layout wrong");
    if (rowIndex != 0x20) h.fail("row index at ", hex(rowIndex), ", not the first item");
    struct Col { std::uint32_t tag; std::uint16_t offset; std::uint8_t size, bit; };
    std::vector<Col> cols;
    std::set<std::uint8_t> bits;
    for (std::size_t i = 0; i < columns; ++i) {
        const Col col{u32(*info, 22 + 8 * i), u16(*info, 26 + 8 * i), u8(*info, 28 + 8 * i), u8(*info, 29 + 8 * i)};
        if (i > 0 && col.tag <= cols.back().tag) h.fail("columns not sorted by tag");
        if (col.size != cellSize(static_cast<std::uint16_t>(col.tag)) || col.offset + col.size > end1 || col.bit >= columns ||
            !bits.insert(col.bit).second)
            h.fail("column ", hex(col.tag), " badly placed");
        cols.push_back(col);
    }
    const auto index = h.bth(rowIndex, 4, 4);
    if (!index) return;
    std::vector<std::string> matrix;
    if ((rowsHnid & 0x1F) == 0 && rowsHnid != 0) {
        const auto m = h.item(rowsHnid);
        if (!m) {
            h.fail("row matrix missing");
            return;
        }
        matrix.emplace_back(*m);
    } else if (rowsHnid != 0) {
        const auto it = h.subs.find(rowsHnid);
        if (it == h.subs.end()) {
            h.fail("row matrix subnode missing");
            return;
        }
        auto m = dataBlocks(it->second.data);
        if (!m) return;
        matrix = std::move(*m);
    }
    std::vector<std::string_view> rows;
    for (std::size_t b = 0; b < matrix.size(); ++b) {
        if (b + 1 < matrix.size() && matrix[b].size() != kMaxBlock) h.fail("row matrix block ", b, " not full size");
        for (std::size_t at = 0; at + rowSize <= matrix[b].size(); at += rowSize) rows.push_back(std::string_view(matrix[b]).substr(at, rowSize));
        if (b + 1 == matrix.size() && matrix[b].size() % rowSize) h.fail("row matrix ends in a partial row");
    }
    if (rows.size() != index->size()) h.fail(rows.size(), " rows but ", index->size(), " row index entries");
    std::set<std::uint32_t> numbers;
    for (const auto& [key, value] : *index) {
        const std::uint32_t number = u32(value, 0);
        if (number >= rows.size() || !numbers.insert(number).second) {
            h.fail("row index entry ", hex(u32(key, 0)), " points to row ", number);
            continue;
        }
        if (u32(rows[number], 0) != u32(key, 0)) h.fail("row ", number, " has id ", hex(u32(rows[number], 0)), ", its index ", hex(u32(key, 0)));
    }
    report_.rows += rows.size();
    std::set<std::uint32_t> rowIds;
    for (std::string_view row : rows) {
        rowIds.insert(u32(row, 0));
        for (const Col& col : cols) {
            if (!(u8(row, end1 + col.bit / 8) & (0x80 >> (col.bit % 8)))) continue;
            if (cellInline(static_cast<std::uint16_t>(col.tag))) continue;
            if (!h.value(u32(row, col.offset))) h.fail("cell ", hex(col.tag), " refers to a missing value");
        }
    }
    // Folder tables list exactly the folder's children.
    const std::uint32_t kind = nid & 0x1F;
    if (owner == 0 && (kind == 0x0D || kind == 0x0E) && nodeIndex_.count((nid & ~0x1Fu) | 0x02)) {
        const std::uint32_t folder = (nid & ~0x1Fu) | 0x02;
        std::set<std::uint32_t> children;
        for (const NodeInfo& n : nodes_)
            if (n.parent == folder && n.nid != folder && isChild(n.nid, kind)) children.insert(n.nid);
        if (children != rowIds) h.fail("lists ", rowIds.size(), " rows for ", children.size(), " children of its folder");
    }
}

void Checker::checkNodes() {
    for (const NodeInfo& n : nodes_) {
        if (n.data == 0) continue;
        if ((n.nid & 0x1F) == 0x04 || (n.nid & 0x1F) == 0x02) {
            const auto parent = nodeIndex_.find(n.parent);
            if (parent == nodeIndex_.end() || (n.parent & 0x1F) != 0x02) error("node ", hex(n.nid), " has no parent folder ", hex(n.parent));
        }
        if ((n.nid & 0x1F) == 0x02)
            for (std::uint32_t kind : {0x0Du, 0x0Eu, 0x0Fu})
                if (!nodeIndex_.count((n.nid & ~0x1Fu) | kind)) error("folder ", hex(n.nid), " lacks its table ", hex((n.nid & ~0x1Fu) | kind));
        checkLtp(n.nid, n.data, n.sub, 0, 0);
    }
    report_.nodes = nodes_.size();
    for (const auto& [bid, b] : blocks_)
        if (b.used == 0) error("block ", hex(bid), " is not used by any node");
        else if (b.used > b.refs) error("block ", hex(bid), " used ", b.used, " times, counted ", b.refs);
}

Report Checker::run() {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error("cannot open ", path_, ": ", std::strerror(errno));
        return report_;
    }
    size_ = static_cast<std::uint64_t>(::lseek(fd_, 0, SEEK_END));
    if (checkHeader()) {
        walkBTree(nbtBid_, nbtIb_, true, -1, 0, 0);
        walkBTree(bbtBid_, bbtIb_, false, -1, 0, 0);
        checkBlocks();
        checkMaps();
        checkDensityList();
        checkNodes();
    }
    ::close(fd_);
    return report_;
}

}  // namespace

std::string Report::summary(std::size_t max) const {
    std::string out;
    for (std::size_t i = 0; i < errors.size() && i < max; ++i) out += errors[i] + "\n";
    if (errors.size() > max) out += "... " + std::to_string(errors.size() - max) + " more\n";
    return out;
}

Report checkFile(const std::string& path) { return Checker(path).run(); }

}  // namespace pst_check
