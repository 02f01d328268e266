#include "store/pst/ndb/block.h"

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"

namespace store::pst {
namespace {

constexpr std::uint8_t kDataTreeType = 0x01;
constexpr std::uint8_t kSubnodeTreeType = 0x02;

}  // namespace

std::string encodeBlock(std::string_view data, Bid bid, Ib ib) {
    std::string out(data);
    out.resize(blockFileSize(data.size()) - kBlockTrailerSize, '\0');
    putU16(out, static_cast<std::uint16_t>(data.size()));
    putU16(out, computeSig(ib, bid.value()));
    putU32(out, computeCrc(data));
    putU64(out, bid.value());
    return out;
}

std::optional<DecodedBlock> decodeBlock(std::string_view fileBytes, std::size_t cb, Bid expected) {
    if (cb > kMaxBlockData || fileBytes.size() < blockFileSize(cb)) return std::nullopt;
    const char* trailer = fileBytes.data() + blockFileSize(cb) - kBlockTrailerSize;
    DecodedBlock block{fileBytes.substr(0, cb), Bid(loadU64(trailer + 8))};
    if (loadU16(trailer) != cb || block.bid.key() != expected.key()) return std::nullopt;
    if (loadU32(trailer + 4) != computeCrc(block.data)) return std::nullopt;
    return block;
}

std::string encodeDataTreeBlock(std::uint8_t level, std::uint32_t totalBytes, std::span<const Bid> children) {
    std::string out;
    out.reserve(8 + 8 * children.size());
    put8(out, kDataTreeType);
    put8(out, level);
    putU16(out, static_cast<std::uint16_t>(children.size()));
    putU32(out, totalBytes);
    for (Bid bid : children) putU64(out, bid.value());
    return out;
}

std::optional<DataTreeBlock> decodeDataTreeBlock(std::string_view data) {
    ByteReader in(data);
    if (in.u8() != kDataTreeType) return std::nullopt;
    DataTreeBlock block;
    block.level = in.u8();
    const std::uint16_t count = in.u16();
    block.totalBytes = in.u32();
    if (block.level < 1 || block.level > 2) return std::nullopt;
    block.children.reserve(count);
    for (std::uint16_t i = 0; i < count && in.ok(); ++i) block.children.emplace_back(in.u64());
    if (!in.ok()) return std::nullopt;
    return block;
}

std::string encodeSlBlock(std::span<const SubnodeEntry> entries) {
    std::string out;
    out.reserve(8 + 24 * entries.size());
    put8(out, kSubnodeTreeType);
    put8(out, 0);
    putU16(out, static_cast<std::uint16_t>(entries.size()));
    putU32(out, 0);
    for (const SubnodeEntry& e : entries) {
        putU64(out, e.nid.value());
        putU64(out, e.data.value());
        putU64(out, e.subnodes.value());
    }
    return out;
}

std::string encodeSiBlock(std::span<const std::pair<Nid, Bid>> entries) {
    std::string out;
    out.reserve(8 + 16 * entries.size());
    put8(out, kSubnodeTreeType);
    put8(out, 1);
    putU16(out, static_cast<std::uint16_t>(entries.size()));
    putU32(out, 0);
    for (const auto& [nid, bid] : entries) {
        putU64(out, nid.value());
        putU64(out, bid.value());
    }
    return out;
}

std::optional<SubnodeTreeBlock> decodeSubnodeTreeBlock(std::string_view data) {
    ByteReader in(data);
    if (in.u8() != kSubnodeTreeType) return std::nullopt;
    SubnodeTreeBlock block;
    block.level = in.u8();
    const std::uint16_t count = in.u16();
    in.skip(4);
    if (block.level > 1) return std::nullopt;
    for (std::uint16_t i = 0; i < count && in.ok(); ++i) {
        const Nid nid(static_cast<std::uint32_t>(in.u64()));
        if (block.level == 0) {
            const Bid dataBid(in.u64());
            const Bid subBid(in.u64());
            block.leaves.push_back({nid, dataBid, subBid});
        } else {
            block.branches.emplace_back(nid, Bid(in.u64()));
        }
    }
    if (!in.ok()) return std::nullopt;
    return block;
}

}  // namespace store::pst
