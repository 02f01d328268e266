#include "store/pst/ndb/node_database.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"
#include "store/pst/ndb/page.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kFirstNidIndex = 0x400;
constexpr int kMaxTreeDepth = 4;
constexpr std::uint64_t kBidStep = 4;
// Outlook counts the B-tree's own reference besides the node's.
constexpr std::uint16_t kRefCount = 2;

}  // namespace

Result<std::unique_ptr<NodeDatabase>> NodeDatabase::create(const std::string& nativePath) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    if (Result<void> created = db->file_.create(nativePath); !created) return created.failure();
    db->header_.nextNidIndex.fill(kFirstNidIndex);
    return db;
}

Result<std::unique_ptr<NodeDatabase>> NodeDatabase::open(const std::string& nativePath) {
    std::unique_ptr<NodeDatabase> db(new NodeDatabase());
    if (Result<void> opened = db->file_.open(nativePath); !opened) return opened.failure();
    const auto header = Header::decode(db->file_.read(0, Header::kSize));
    if (!header) return Failure{0, nativePath + " is not a Unicode PST file"};
    if (header->cryptMethod != kCryptNone)
        return Failure{0, nativePath + " is encoded; only unencoded files can be appended to"};
    db->header_ = *header;
    const PageReader read = [&db](Ib ib, std::size_t n) { return db->file_.read(ib, n); };
    std::vector<NbtEntry> nodes;
    std::vector<BlockRef> pages;
    if (!readNodeBTree(read, header->root.nodeBTree, nodes, pages) ||
        !readBlockBTree(read, header->root.blockBTree, db->blocks_, pages)) {
        return Failure{0, nativePath + " has a damaged index"};
    }
    Ib highWater = kFirstAMapOffset;
    db->nodes_ = std::move(nodes);
    std::sort(db->nodes_.begin(), db->nodes_.end(), [](const NbtEntry& a, const NbtEntry& b) { return a.nid < b.nid; });
    std::sort(db->blocks_.begin(), db->blocks_.end(),
              [](const BbtEntry& a, const BbtEntry& b) { return a.ref.bid.key() < b.ref.bid.key(); });
    std::uint64_t maxBid = 0;
    for (const BbtEntry& b : db->blocks_) {
        highWater = std::max<Ib>(highWater, b.ref.ib + blockFileSize(b.size));
        maxBid = std::max(maxBid, b.ref.bid.key());
    }
    for (const BlockRef& p : pages) highWater = std::max<Ib>(highWater, p.ib + kPageSize);
    db->space_ = FileSpace(highWater);
    db->pages_ = std::move(pages);
    db->header_.nextBlockBid = std::max(db->header_.nextBlockBid, (maxBid & ~std::uint64_t{3}) + kBidStep);
    db->dirty_ = false;
    return db;
}

NodeDatabase::~NodeDatabase() { file_.close(); }

Bid NodeDatabase::nextBid(bool internal) {
    const Bid bid(header_.nextBlockBid | (internal ? 0x2 : 0x0));
    header_.nextBlockBid += kBidStep;
    return bid;
}

Bid NodeDatabase::writeBlock(std::string_view data, bool internal) {
    checkBlockSize(data.size());
    const Bid bid = nextBid(internal);
    const Ib ib = space_.allocate(blockFileSize(data.size()), 64);
    file_.write(ib, encodeBlock(data, bid, ib));
    blocks_.push_back({BlockRef{bid, ib}, static_cast<std::uint16_t>(data.size()), kRefCount});
    dirty_ = true;
    return bid;
}

std::vector<Bid> NodeDatabase::writeRecorded(BlockRecorder& recorder) {
    std::vector<Bid> fileIds;
    fileIds.reserve(recorder.blocks().size());
    for (const BlockRecorder::Block& block : recorder.blocks()) fileIds.push_back(nextBid(block.internal));
    std::string& image = recorder.image();
    const std::size_t firstBlock = blocks_.size();
    for (std::size_t i = 0; i < fileIds.size(); ++i) {
        const BlockRecorder::Block& block = recorder.blocks()[i];
        const std::size_t fileSize = blockFileSize(block.size);
        char* at = image.data() + block.offset;
        char* trailer = at + fileSize - kBlockTrailerSize;
        // Blocks of trees refer to other blocks: their ids, and so their CRC, are known only now.
        if (block.internal) {
            remapBlockIds(at, block.size, fileIds);
            storeU32(trailer + 4, computeCrc(std::string_view(at, block.size)));
        }
        const Ib ib = space_.allocate(fileSize, 64);
        storeU16(trailer + 2, computeSig(ib, fileIds[i].value()));
        storeU64(trailer + 8, fileIds[i].value());
        blocks_.push_back({BlockRef{fileIds[i], ib}, block.size, kRefCount});
    }
    writeRecordedRuns(recorder, firstBlock);
    if (!fileIds.empty()) dirty_ = true;
    return fileIds;
}

// The recorded blocks (the last ones of blocks_ from firstBlock on) go to the file straight from the
// recorder's image, a run of blocks that lie one after another in both in one write.
void NodeDatabase::writeRecordedRuns(const BlockRecorder& recorder, std::size_t firstBlock) {
    const std::vector<BlockRecorder::Block>& recorded = recorder.blocks();
    std::size_t runStart = 0;
    std::uint64_t runBytes = 0;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const std::uint64_t fileSize = blockFileSize(recorded[i].size);
        const bool continues = i > runStart &&
                               recorded[i].offset == recorded[runStart].offset + runBytes &&
                               blocks_[firstBlock + i].ref.ib == blocks_[firstBlock + runStart].ref.ib + runBytes;
        if (i > runStart && !continues) {
            file_.writeUnbuffered(blocks_[firstBlock + runStart].ref.ib,
                                  std::string_view(recorder.image()).substr(recorded[runStart].offset, runBytes));
            runStart = i;
            runBytes = 0;
        }
        runBytes += fileSize;
    }
    if (!recorded.empty())
        file_.writeUnbuffered(blocks_[firstBlock + runStart].ref.ib,
                              std::string_view(recorder.image()).substr(recorded[runStart].offset, runBytes));
}

namespace {

std::vector<NbtEntry>::const_iterator findNid(const std::vector<NbtEntry>& nodes, Nid nid) {
    return std::lower_bound(nodes.begin(), nodes.end(), nid, [](const NbtEntry& e, Nid n) { return e.nid < n; });
}

}  // namespace

void NodeDatabase::setNode(const NbtEntry& entry) {
    const auto at = nodes_.begin() + (findNid(nodes_, entry.nid) - nodes_.cbegin());
    if (at != nodes_.end() && at->nid == entry.nid)
        *at = entry;
    else
        nodes_.insert(at, entry);
    dirty_ = true;
}

const NbtEntry* NodeDatabase::findNode(Nid nid) const {
    const auto it = findNid(nodes_, nid);
    return it == nodes_.end() || it->nid != nid ? nullptr : &*it;
}

void NodeDatabase::removeNode(Nid nid) {
    const NbtEntry* node = findNode(nid);
    if (!node) return;
    const NbtEntry entry = *node;
    releaseData(entry.data);
    releaseSubnodes(entry.subnodes);
    nodes_.erase(nodes_.begin() + (findNid(nodes_, nid) - nodes_.cbegin()));
    dirty_ = true;
}

Nid NodeDatabase::allocateNid(NidType type) {
    std::uint32_t& next = header_.nextNidIndex[static_cast<std::size_t>(type)];
    if (next > kMaxNidIndex) throw LimitError("no node id of this type is left");
    dirty_ = true;
    return Nid(type, next++);
}

void NodeDatabase::reserveNidIndex(NidType type, std::uint32_t index) {
    std::uint32_t& next = header_.nextNidIndex[static_cast<std::size_t>(type)];
    next = std::max(next, std::min(index, kMaxNidIndex) + 1);
}

const BbtEntry* NodeDatabase::findBlock(Bid bid) const {
    const auto it = std::lower_bound(blocks_.begin(), blocks_.end(), bid.key(),
                                     [](const BbtEntry& e, std::uint64_t key) { return e.ref.bid.key() < key; });
    if (it == blocks_.end() || it->ref.bid.key() != bid.key()) return nullptr;
    return &*it;
}

std::optional<std::string> NodeDatabase::readBlock(Bid bid) {
    const BbtEntry* entry = findBlock(bid);
    if (!entry) return std::nullopt;
    const std::string bytes = file_.read(entry->ref.ib, blockFileSize(entry->size));
    const auto block = decodeBlock(bytes, entry->size, bid);
    if (!block) return std::nullopt;
    return std::string(block->data);
}

bool NodeDatabase::readLeafBlocks(Bid bid, int depth, std::vector<std::string>& out) {
    auto data = readBlock(bid);
    if (!data) return false;
    if (!bid.isInternal()) {
        out.push_back(std::move(*data));
        return true;
    }
    const auto tree = decodeDataTreeBlock(*data);
    if (!tree || depth >= kMaxTreeDepth) return false;
    for (Bid child : tree->children)
        if (!readLeafBlocks(child, depth + 1, out)) return false;
    return true;
}

std::optional<std::vector<std::string>> NodeDatabase::readBlocks(Bid bid) {
    std::vector<std::string> out;
    if (!readLeafBlocks(bid, 0, out)) return std::nullopt;
    return out;
}

std::optional<std::string> NodeDatabase::readData(Bid bid) {
    const auto blocks = readBlocks(bid);
    if (!blocks) return std::nullopt;
    std::string out;
    for (const std::string& b : *blocks) out += b;
    return out;
}

bool NodeDatabase::collectSubnodes(Bid bid, int depth, std::vector<SubnodeEntry>& out) {
    const auto data = readBlock(bid);
    if (!data || depth >= kMaxTreeDepth) return false;
    const auto tree = decodeSubnodeTreeBlock(*data);
    if (!tree) return false;
    out.insert(out.end(), tree->leaves.begin(), tree->leaves.end());
    for (const auto& branch : tree->branches)
        if (!collectSubnodes(branch.second, depth + 1, out)) return false;
    return true;
}

std::optional<std::vector<SubnodeEntry>> NodeDatabase::readSubnodes(Bid bid) {
    std::vector<SubnodeEntry> out;
    if (bid.isNull()) return out;
    if (!collectSubnodes(bid, 0, out)) return std::nullopt;
    return out;
}

void NodeDatabase::releaseBlock(Bid bid) {
    if (const BbtEntry* block = findBlock(bid)) {
        released_.push_back(bid.key());
        freedAfterCommit_.emplace_back(block->ref.ib, blockFileSize(block->size));
    }
    dirty_ = true;
}

void NodeDatabase::releaseData(Bid bid) {
    if (bid.isNull()) return;
    if (bid.isInternal()) {
        const auto data = readBlock(bid);
        const auto tree = data ? decodeDataTreeBlock(*data) : std::nullopt;
        if (tree)
            for (Bid child : tree->children) releaseData(child);
    }
    releaseBlock(bid);
}

void NodeDatabase::releaseSubnodes(Bid bid) {
    if (bid.isNull()) return;
    const auto data = readBlock(bid);
    const auto tree = data ? decodeSubnodeTreeBlock(*data) : std::nullopt;
    if (tree) {
        for (const SubnodeEntry& e : tree->leaves) {
            releaseData(e.data);
            releaseSubnodes(e.subnodes);
        }
        for (const auto& branch : tree->branches) releaseSubnodes(branch.second);
    }
    releaseBlock(bid);
}

void NodeDatabase::compactBlocks() {
    if (released_.empty()) return;
    std::sort(released_.begin(), released_.end());
    std::erase_if(blocks_, [this](const BbtEntry& e) {
        return std::binary_search(released_.begin(), released_.end(), e.ref.bid.key());
    });
    released_.clear();
}

bool NodeDatabase::commit() {
    if (file_.failed()) return false;
    if (!dirty_) return file_.sync();
    compactBlocks();
    std::vector<BlockRef> pages;
    const PageSink sink{
        [this, &pages] {
            const BlockRef ref{Bid(header_.nextPageBid++), space_.allocate(kPageSize, kPageSize)};
            pages.push_back(ref);
            return ref;
        },
        [this](BlockRef ref, const std::string& bytes) { file_.write(ref.ib, bytes); }};
    const BlockRef nbt = writeNodeBTree(nodes_, sink);
    const BlockRef bbt = writeBlockBTree(blocks_, sink);

    const Ib fileEnd = fileEndFor(space_.end());
    AllocationMapBuilder maps(fileEnd);
    for (const BbtEntry& b : blocks_) maps.markAllocated(b.ref.ib, blockFileSize(b.size));
    for (const BlockRef& p : pages) maps.markAllocated(p.ib, kPageSize);
    for (const MapPage& page : maps.pages()) file_.write(page.ib, page.bytes);
    const MapPage densityList = maps.densityList(Bid(header_.nextPageBid++));
    file_.write(densityList.ib, densityList.bytes);
    // Everything the header will point to reaches the disk before the header changes.
    if (!file_.flush() || (file_.size() < fileEnd && !file_.setSize(fileEnd)) || !file_.sync()) return false;
    if (!writeHeader(nbt, bbt, fileEnd, maps)) return false;
    dirty_ = false;

    // The old tree pages become free space; they are wiped so that tools which look for lost items
    // in free space do not take them for live index pages. In file order, neighbours go in one write.
    std::vector<Ib> oldPages;
    for (const BlockRef& old : pages_) {
        oldPages.push_back(old.ib);
        freedAfterCommit_.emplace_back(old.ib, kPageSize);
    }
    std::sort(oldPages.begin(), oldPages.end());
    const std::string wiped(kPageSize, '\0');
    for (Ib ib : oldPages) file_.write(ib, wiped);
    file_.flush();
    pages_ = std::move(pages);
    // Nothing on disk refers to these any more.
    for (const auto& [ib, size] : freedAfterCommit_) space_.release(ib, size);
    freedAfterCommit_.clear();
    return true;
}

bool NodeDatabase::writeHeader(const BlockRef& nbt, const BlockRef& bbt, Ib fileEnd, const AllocationMapBuilder& maps) {
    Header next = header_;
    next.root.fileEof = fileEnd;
    next.root.amapLast = maps.lastAMap();
    next.root.amapFree = maps.freeBytes();
    next.root.pmapFree = 0;
    next.root.nodeBTree = nbt;
    next.root.blockBTree = bbt;
    next.root.amapValid = kAMapValid;
    next.firstFreeMap = maps.firstFreeMap();
    ++next.unique;
    if (!file_.write(0, next.encode()) || !file_.sync()) return false;
    header_ = next;
    return true;
}

bool NodeDatabase::dropBlocksSince(std::size_t mark) {
    const auto& failure = file_.failure();
    if (!failure || (failure->code != ENOSPC && failure->code != EDQUOT) || mark > blocks_.size()) return false;
    // Blocks written since the last commit are the newest, so they follow the mark; nothing refers to them.
    for (std::size_t i = mark; i < blocks_.size(); ++i) {
        const std::uint64_t size = blockFileSize(blocks_[i].size);
        file_.discard(blocks_[i].ref.ib, size);
        space_.release(blocks_[i].ref.ib, size);
    }
    blocks_.resize(mark);
    firstFailure_ = file_.resume();
    return true;
}

void NodeDatabase::releaseBlocksSince(std::size_t mark) {
    std::vector<Bid> written;
    for (std::size_t i = mark; i < blocks_.size(); ++i) written.push_back(blocks_[i].ref.bid);
    for (Bid bid : written) releaseBlock(bid);
}

void NodeDatabase::endRetry() {
    if (firstFailure_) file_.failWith(*std::exchange(firstFailure_, std::nullopt));
}

bool NodeDatabase::close() {
    if (!file_.isOpen()) return !file_.failed();
    const bool committed = commit();
    return file_.close() && committed;
}

}  // namespace store::pst
