#pragma once
// The node database (NDB layer) of one PST file: blocks are written to the file as soon as they are
// made; the node and block B-trees live in memory and are written, with the allocation maps and the
// header, by commit(). Opening a file reads both trees back, so more can be appended to it.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/block.h"
#include "store/pst/ndb/block_writer.h"
#include "store/pst/ndb/btree.h"
#include "store/pst/ndb/header.h"
#include "store/pst/ndb/allocation_map.h"
#include "store/pst/ndb/pst_file.h"

namespace store::pst {

class NodeDatabase : public BlockWriter {
public:
    // A new, empty file (truncated if it exists); the failure says why it cannot be created.
    static Result<std::unique_ptr<NodeDatabase>> create(const std::string& nativePath);
    // An existing Unicode PST file, trees read into memory; the failure says why it is not one.
    static Result<std::unique_ptr<NodeDatabase>> open(const std::string& nativePath);

    ~NodeDatabase() override;
    NodeDatabase(const NodeDatabase&) = delete;
    NodeDatabase& operator=(const NodeDatabase&) = delete;

    // --- blocks, written at once (writeData, writeBlocks, ... of BlockWriter) -----------------
    // Writes recorded blocks in their order with the next block ids, as if they had been written one
    // by one; returns the file's id of each recorded block. The recorder's image is changed.
    std::vector<Bid> writeRecorded(BlockRecorder& recorder);

    // --- nodes ---------------------------------------------------------------------------------
    void setNode(const NbtEntry& entry);
    const NbtEntry* findNode(Nid nid) const;
    // Removes the node and frees its data and subnode trees.
    void removeNode(Nid nid);
    // Frees a data tree or subnode tree that no node refers to any more.
    void releaseData(Bid bid);
    void releaseSubnodes(Bid bid);
    // Every node, sorted by id.
    const std::vector<NbtEntry>& nodes() const { return nodes_; }
    Nid allocateNid(NidType type);
    // Makes sure later allocations of this type come after index.
    void reserveNidIndex(NidType type, std::uint32_t index);

    // --- reading back --------------------------------------------------------------------------
    std::optional<std::string> readData(Bid bid);
    std::optional<std::vector<std::string>> readBlocks(Bid bid);
    std::optional<std::vector<SubnodeEntry>> readSubnodes(Bid bid);

    // Hands the blocks written so far to the system; false (and failed()) when that fails.
    bool flushWrites() { return file_.flush(); }
    // Where the blocks written from now on start, for dropBlocksSince().
    std::size_t blockMark() const { return blocks_.size(); }
    // After the disk ran full: forgets the blocks written since the mark, gives their space back to
    // the file system and lets writing go on, so that one more commit may complete the file with what
    // was written before. endRetry() fails the database again with the first failure, whatever that
    // commit did. False (and nothing changed) unless the failure was a full disk.
    bool dropBlocksSince(std::size_t mark);
    void endRetry();
    // Frees the blocks written since the mark (a message that could not be completed); their space is
    // reused after the next commit.
    void releaseBlocksSince(std::size_t mark);
    // Writes the trees and allocation maps, waits until they and every block are on the disk, and
    // only then writes the header and waits again: the header on disk only ever describes complete
    // structures. When any step fails the header is left as it was (the file stays at its last
    // commit) and the database is failed for good.
    bool commit();
    bool close();
    bool failed() const { return file_.failed(); }
    // Why the file failed; empty while it works.
    const std::optional<StoreFailure>& failure() const { return file_.failure(); }
    std::uint64_t dataBytesWritten() const { return space_.end(); }
    // Bytes handed out since the file was opened, and free bytes waiting to be used again.
    std::uint64_t allocatedBytes() const { return space_.allocatedBytes(); }
    std::uint64_t reusableBytes() const { return space_.freeBytes(); }
    std::size_t blockCount() const { return blocks_.size(); }
    // The block B-tree and the pages of both trees as last committed (for checks of the layout).
    const std::vector<BbtEntry>& blocks() const { return blocks_; }
    const std::vector<BlockRef>& treePages() const { return pages_; }

private:
    NodeDatabase() = default;
    Bid writeBlock(std::string_view data, bool internal) override;
    Bid nextBid(bool internal);
    void writeRecordedRuns(const BlockRecorder& recorder, std::size_t firstBlock);
    const BbtEntry* findBlock(Bid bid) const;
    std::optional<std::string> readBlock(Bid bid);
    bool readLeafBlocks(Bid bid, int depth, std::vector<std::string>& out);
    bool collectSubnodes(Bid bid, int depth, std::vector<SubnodeEntry>& out);
    void releaseBlock(Bid bid);
    void compactBlocks();
    bool writeHeader(const BlockRef& nbt, const BlockRef& bbt, Ib fileEnd, const AllocationMapBuilder& maps);

    PstFile file_;
    Header header_;
    FileSpace space_;
    std::vector<NbtEntry> nodes_;  // sorted by id
    std::vector<BbtEntry> blocks_;  // sorted by id; new ids only grow
    std::vector<std::uint64_t> released_;
    // Extents the committed state on disk still refers to; reusable once the next commit is done.
    std::vector<std::pair<Ib, std::uint64_t>> freedAfterCommit_;
    std::vector<BlockRef> pages_;  // pages of the trees the header points to
    std::optional<StoreFailure> firstFailure_;  // while a commit is retried after a full disk
    bool dirty_ = true;
};

}  // namespace store::pst
