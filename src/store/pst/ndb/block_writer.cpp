#include "store/pst/ndb/block_writer.h"

#include <algorithm>
#include <span>

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"

namespace store::pst {
namespace {

constexpr std::uint8_t kDataTreeType = 0x01;
constexpr std::size_t kTreeHeaderSize = 8;

}  // namespace

void BlockWriter::checkBlockSize(std::size_t size) {
    if (size > kMaxBlockData)
        throw LimitError("a block of " + std::to_string(size) + " bytes (at most " + std::to_string(kMaxBlockData) +
                         ")");
}

Bid BlockWriter::writeTreeOver(const std::vector<Bid>& leaves, const std::vector<std::uint32_t>& sizes) {
    if (leaves.size() == 1) return leaves.front();
    std::uint64_t total = 0;
    for (std::uint32_t size : sizes) total += size;
    // A data tree records its size in 32 bits and has at most two levels of XBLOCKs.
    if (total > UINT32_MAX || leaves.size() > kXBlockEntries * kXBlockEntries)
        throw LimitError("a data tree of " + std::to_string(total) + " bytes in " + std::to_string(leaves.size()) +
                         " blocks");
    if (leaves.size() <= kXBlockEntries)
        return writeBlock(encodeDataTreeBlock(1, static_cast<std::uint32_t>(total), leaves), true);
    std::vector<Bid> middles;
    for (std::size_t i = 0; i < leaves.size(); i += kXBlockEntries) {
        const std::size_t n = std::min(kXBlockEntries, leaves.size() - i);
        std::uint64_t bytes = 0;
        for (std::size_t k = i; k < i + n; ++k) bytes += sizes[k];
        middles.push_back(writeBlock(
            encodeDataTreeBlock(1, static_cast<std::uint32_t>(bytes), std::span(leaves).subspan(i, n)), true));
    }
    return writeBlock(encodeDataTreeBlock(2, static_cast<std::uint32_t>(total), middles), true);
}

Bid BlockWriter::writeData(std::string_view data) {
    if (data.size() <= kMaxBlockData) return writeBlock(data, false);
    std::vector<Bid> leaves;
    std::vector<std::uint32_t> sizes;
    for (std::size_t pos = 0; pos < data.size(); pos += kMaxBlockData) {
        const std::string_view piece = data.substr(pos, kMaxBlockData);
        leaves.push_back(writeBlock(piece, false));
        sizes.push_back(static_cast<std::uint32_t>(piece.size()));
    }
    return writeTreeOver(leaves, sizes);
}

Bid BlockWriter::writeBlocks(const std::vector<std::string>& blocks) {
    std::vector<Bid> leaves;
    std::vector<std::uint32_t> sizes;
    leaves.reserve(blocks.size());
    sizes.reserve(blocks.size());
    for (const std::string& block : blocks) {
        leaves.push_back(writeBlock(block, false));
        sizes.push_back(static_cast<std::uint32_t>(block.size()));
    }
    return writeTreeOver(leaves, sizes);
}

Bid BlockWriter::writeSubnodes(std::vector<SubnodeEntry> entries) {
    if (entries.empty()) return Bid();
    std::sort(entries.begin(), entries.end(), [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
    if (entries.size() <= kSlBlockEntries) return writeBlock(encodeSlBlock(entries), true);
    // One SIBLOCK holds 510 SLBLOCKs (173,400 subnodes), far more than any message has.
    if (entries.size() > kSlBlockEntries * kSiBlockEntries)
        throw LimitError(std::to_string(entries.size()) + " subnodes in one node");
    std::vector<std::pair<Nid, Bid>> branches;
    for (std::size_t i = 0; i < entries.size(); i += kSlBlockEntries) {
        const std::size_t n = std::min(kSlBlockEntries, entries.size() - i);
        branches.emplace_back(entries[i].nid, writeBlock(encodeSlBlock(std::span(entries).subspan(i, n)), true));
    }
    return writeBlock(encodeSiBlock(branches), true);
}

Bid BlockRecorder::writeBlock(std::string_view data, bool internal) {
    checkBlockSize(data.size());
    const std::size_t offset = image_.size();
    const std::size_t fileSize = blockFileSize(data.size());
    if (fileSize > maxBytes_ - std::min(maxBytes_, offset)) throw RecordingLimit{};
    const Bid bid(4 * (blocks_.size() + 1) | (internal ? 0x2 : 0x0));
    if (image_.capacity() < offset + fileSize)
        image_.reserve(std::max({offset + fileSize, 2 * image_.capacity(), std::size_t{32} << 10}));
    image_.append(data);
    image_.append(fileSize - data.size(), '\0');  // padding and trailer, not the data again
    char* trailer = image_.data() + offset + fileSize - kBlockTrailerSize;
    storeU16(trailer, static_cast<std::uint16_t>(data.size()));
    if (!internal) storeU32(trailer + 4, computeCrc(data));
    storeU64(trailer + 8, bid.value());
    blocks_.push_back({offset, static_cast<std::uint16_t>(data.size()), internal});
    return bid;
}

void remapBlockIds(char* data, std::size_t size, const std::vector<Bid>& fileIds) {
    if (size < kTreeHeaderSize) return;
    const std::uint8_t type = load8(data);
    const std::uint8_t level = load8(data + 1);
    const std::size_t count = loadU16(data + 2);
    // XBLOCK/XXBLOCK: ids only; SLBLOCK: node, data and subnode ids; SIBLOCK: node and block ids.
    const std::size_t stride = type == kDataTreeType ? 8 : level == 0 ? 24 : 16;
    const std::size_t first = type == kDataTreeType ? 0 : 8;  // after the node id
    for (std::size_t i = 0; i < count && kTreeHeaderSize + (i + 1) * stride <= size; ++i) {
        char* entry = data + kTreeHeaderSize + i * stride;
        for (std::size_t at = first; at < stride; at += 8) {
            const Bid bid(loadU64(entry + at));
            if (!bid.isNull()) storeU64(entry + at, fileIds.at(BlockRecorder::indexOf(bid)).value());
        }
    }
}

}  // namespace store::pst
