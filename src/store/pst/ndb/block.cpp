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
    put16(out, static_cast<std::uint16_t>(data.size()));
    put16(out, computeSig(ib, bid.value()));
    put32(out, computeCrc(data));
    put64(out, bid.value());
    return out;
}

std::optional<DecodedBlock> decodeBlock(std::string_view fileBytes, std::size_t cb, Bid expected) {
    if (cb > kMaxBlockData || fileBytes.size() < blockFileSize(cb)) return std::nullopt;
    const char* trailer = fileBytes.data() + blockFileSize(cb) - kBlockTrailerSize;
    DecodedBlock block{fileBytes.substr(0, cb), Bid(load64(trailer + 8))};
    if (load16(trailer) != cb || block.bid.key() != expected.key()) return std::nullopt;
    if (load32(trailer + 4) != computeCrc(block.data)) return std::nullopt;
    return block;
}

std::string encodeDataTreeBlock(std::uint8_t level, std::uint32_t totalBytes, std::span<const Bid> children) {
    std::string out;
    out.reserve(8 + 8 * children.size());
    put8(out, kDataTreeType);
    put8(out, level);
    put16(out, static_cast<std::uint16_t>(children.size()));
    put32(out, totalBytes);
    for (Bid bid : children) put64(out, bid.value());
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
    put16(out, static_cast<std::uint16_t>(entries.size()));
    put32(out, 0);
    for (const SubnodeEntry& e : entries) {
        put64(out, e.nid.value());
        put64(out, e.data.value());
        put64(out, e.subnodes.value());
    }
    return out;
}

std::string encodeSiBlock(std::span<const std::pair<Nid, Bid>> entries) {
    std::string out;
    out.reserve(8 + 16 * entries.size());
    put8(out, kSubnodeTreeType);
    put8(out, 1);
    put16(out, static_cast<std::uint16_t>(entries.size()));
    put32(out, 0);
    for (const auto& [nid, bid] : entries) {
        put64(out, nid.value());
        put64(out, bid.value());
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
