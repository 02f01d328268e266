#pragma once
// Where the structures of a node go block by block: the data trees and subnode trees are made here
// over one call that stores a single block and hands back its id. The node database writes blocks
// into the file; a BlockRecorder keeps them in memory, so that a message can be encoded away from
// the file and written later in one piece.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/block.h"

namespace store::pst {

class BlockWriter {
public:
    virtual ~BlockWriter() = default;

    // A data tree of any size: one block, or blocks under an XBLOCK (or XXBLOCKs).
    Bid writeData(std::string_view data);
    // A data tree whose leaf blocks are exactly these (each at most 8176 bytes), as heaps need.
    Bid writeBlocks(const std::vector<std::string>& blocks);
    // The same, for leaf blocks written one at a time: each leaf first, then the tree over them.
    Bid writeLeaf(std::string_view data) { return writeBlock(data, false); }
    Bid writeTreeOver(const std::vector<Bid>& leaves, const std::vector<std::uint32_t>& sizes);
    // A subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs); a null id when there are no entries.
    Bid writeSubnodes(std::vector<SubnodeEntry> entries);

protected:
    // Stores one block (internal: an XBLOCK, XXBLOCK, SLBLOCK or SIBLOCK); throws LimitError when the
    // data is larger than a block holds.
    virtual Bid writeBlock(std::string_view data, bool internal) = 0;
    static void checkBlockSize(std::size_t size);
};

// Blocks kept in memory, laid out as in the file (data, padding, trailer) with ids counted from the
// first block of the recorder: block i has the id 4 * (i + 1), with the internal bit where it is
// one. The trailers' signature is left 0; the CRC is set, except for internal blocks, whose data
// holds ids that change when the blocks get their ids in the file.
class BlockRecorder : public BlockWriter {
public:
    struct Block {
        std::size_t offset = 0;  // in image()
        std::uint16_t size = 0;  // bytes of data
        bool internal = false;
    };
    // Recording fails with RecordingLimit once the image would grow past this many bytes. Room for
    // expectedBytes is taken at once, so that the image is not copied as it grows.
    explicit BlockRecorder(std::size_t maxBytes = SIZE_MAX, std::size_t expectedBytes = 0) : maxBytes_(maxBytes) {
        image_.reserve(std::min(maxBytes, expectedBytes));
    }

    const std::vector<Block>& blocks() const { return blocks_; }
    std::string& image() { return image_; }
    const std::string& image() const { return image_; }
    // The index of the block a recorded id names (ids of the recorder only).
    static std::size_t indexOf(Bid bid) { return static_cast<std::size_t>(bid.key() / 4 - 1); }

    struct RecordingLimit {};

protected:
    Bid writeBlock(std::string_view data, bool internal) override;

private:
    std::size_t maxBytes_;
    std::string image_;
    std::vector<Block> blocks_;
};

// Replaces the recorder's ids in an internal block's data (XBLOCK and XXBLOCK children, SLBLOCK data
// and subnode trees, SIBLOCK children) by fileIds[indexOf(id)]; null ids stay null.
void remapBlockIds(char* data, std::size_t size, const std::vector<Bid>& fileIds);

}  // namespace store::pst
