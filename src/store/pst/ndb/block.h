#pragma once
// Blocks: data blocks with their trailer, the XBLOCK/XXBLOCK data trees for data larger than one
// block, and the SLBLOCK/SIBLOCK subnode trees.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/ids.h"

namespace store::pst {

inline constexpr std::size_t kMaxBlockSize = 8192;
inline constexpr std::size_t kBlockTrailerSize = 16;
inline constexpr std::size_t kMaxBlockData = kMaxBlockSize - kBlockTrailerSize;  // 8176
inline constexpr std::size_t kXBlockEntries = (kMaxBlockData - 8) / 8;            // 1021
inline constexpr std::size_t kSlBlockEntries = (kMaxBlockData - 8) / 24;          // 340
inline constexpr std::size_t kSiBlockEntries = (kMaxBlockData - 8) / 16;          // 510

// Bytes a block with cb bytes of data takes in the file (trailer included, 64-byte aligned).
constexpr std::size_t blockFileSize(std::size_t cb) { return (cb + kBlockTrailerSize + 63) / 64 * 64; }

// The block as written at ib: data, zero padding, trailer.
std::string encodeBlock(std::string_view data, Bid bid, Ib ib);

struct DecodedBlock {
    std::string_view data;
    Bid bid;
};
// Checks the trailer (size, id, CRC) of a block read from the file; empty when it does not match.
std::optional<DecodedBlock> decodeBlock(std::string_view fileBytes, std::size_t cb, Bid expected);

// XBLOCK (level 1) or XXBLOCK (level 2): the ids of the blocks below and the total byte count.
std::string encodeDataTreeBlock(std::uint8_t level, std::uint32_t totalBytes, std::span<const Bid> children);
struct DataTreeBlock {
    std::uint8_t level = 0;
    std::uint32_t totalBytes = 0;
    std::vector<Bid> children;
};
std::optional<DataTreeBlock> decodeDataTreeBlock(std::string_view data);

// One entry of a subnode tree: the subnode's id, data tree and own subnode tree.
struct SubnodeEntry {
    Nid nid;
    Bid data;
    Bid subnodes;
};
std::string encodeSlBlock(std::span<const SubnodeEntry> entries);
// SIBLOCK: the first nid of each SLBLOCK below and its block id.
std::string encodeSiBlock(std::span<const std::pair<Nid, Bid>> entries);

struct SubnodeTreeBlock {
    std::uint8_t level = 0;
    std::vector<SubnodeEntry> leaves;            // level 0
    std::vector<std::pair<Nid, Bid>> branches;   // level 1
};
std::optional<SubnodeTreeBlock> decodeSubnodeTreeBlock(std::string_view data);

}  // namespace store::pst
