#pragma once
// Heap-on-node (HN): small allocations (at most 3580 bytes) packed into the blocks of a node's data
// tree, each block ending in a page map; items are addressed by heap ids (HID).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/block_writer.h"
#include "store/result.h"

namespace store::pst {

inline constexpr std::size_t kMaxHeapItem = 3580;

// The client signature in the heap header: what the heap holds.
enum class HeapClient : std::uint8_t {
    TableContext = 0x7C,
    BTree = 0xB5,
    PropertyContext = 0xBC,
};

class Hid {
public:
    constexpr Hid() = default;
    constexpr explicit Hid(std::uint32_t value) : value_(value) {}
    constexpr Hid(std::uint16_t block, std::uint16_t index)
        : value_((static_cast<std::uint32_t>(block) << 16) | (static_cast<std::uint32_t>(index) << 5)) {}
    constexpr std::uint32_t value() const { return value_; }
    constexpr std::uint16_t block() const { return static_cast<std::uint16_t>(value_ >> 16); }
    constexpr std::uint16_t index() const { return static_cast<std::uint16_t>((value_ >> 5) & 0x7FF); }
    constexpr bool isNull() const { return value_ == 0; }
    friend constexpr bool operator==(Hid, Hid) = default;

private:
    std::uint32_t value_ = 0;
};

// True when a 32-bit HNID names a heap item rather than a subnode.
constexpr bool isHeapId(std::uint32_t hnid) { return (hnid & 0x1F) == 0; }

class HeapBuilder {
public:
    explicit HeapBuilder(HeapClient client) : client_(client) { blocks_.emplace_back(); }
    // A heap whose blocks go to `out` as soon as they are complete, so that a large heap is never
    // whole in memory; the first eight blocks, which hold the items reserved at the start, are kept
    // until writeData(). Only the first eight blocks may be filled later.
    HeapBuilder(HeapClient client, BlockWriter& out) : HeapBuilder(client) { out_ = &out; }
    // Throws LimitError when bytes.size() > kMaxHeapItem, or when the heap has no block number left.
    Hid allocate(std::string_view bytes);
    // A zeroed item whose bytes are set later with fill(): readers expect a heap's root structures
    // in its first items, before the values they refer to are known.
    Hid reserve(std::size_t size) { return allocate(std::string(size, '\0')); }
    // bytes.size() equals the size of the item.
    void fill(Hid hid, std::string_view bytes);
    void setUserRoot(Hid root) { userRoot_ = root; }
    // The blocks of the node's data tree, each at most 8176 bytes; the builder is left empty.
    std::vector<std::string> takeBlocks();
    // With an output: writes the blocks still kept and the data tree over all blocks of the heap
    // (the same blocks takeBlocks() hands back, in the same order); the builder is left empty.
    Bid writeData();

private:
    struct Block {
        std::string items;
        std::vector<std::uint16_t> ends;
    };
    static std::size_t headerSize(std::size_t blockIndex);
    static std::size_t serializedSize(std::size_t blockIndex, const Block& block, std::size_t extraBytes, std::size_t extraItems);
    // Block i as stored, its items given up; levels_ holds the fill level of every block its
    // header describes.
    std::string serialize(std::size_t i);
    void completed(std::size_t i);
    void writeBlock(std::size_t i);

    HeapClient client_;
    Hid userRoot_;
    std::vector<Block> blocks_;
    std::vector<std::uint8_t> levels_;  // of the blocks no longer growing
    BlockWriter* out_ = nullptr;
    std::vector<Bid> written_;  // by block; null while kept
    std::vector<std::uint32_t> writtenSizes_;
};

class HeapReader {
public:
    // Empty when the first block does not hold a heap header.
    static std::optional<HeapReader> parse(std::vector<std::string> blocks);
    std::uint8_t client() const { return client_; }
    Hid userRoot() const { return userRoot_; }
    // The bytes of an item; empty when the id is out of range.
    std::optional<std::string_view> item(Hid hid) const;

private:
    std::vector<std::string> blocks_;
    std::uint8_t client_ = 0;
    Hid userRoot_;
};

}  // namespace store::pst
