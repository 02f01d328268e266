#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "store/pst/ndb/allocation_map.h"
#include "store/pst/ndb/block.h"
#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"
#include "store/pst/ndb/header.h"
#include "store/pst/ndb/node_database.h"
#include "store/pst/faulty_io.h"
#include "support/test_support.h"

namespace store::pst {
namespace {

using testing_support::TempDir;

TEST(PstCrc, MatchesKnownValues) {
    // Reflected CRC-32 seeded with 0 and not inverted: "123456789" and a run of zero bytes.
    EXPECT_EQ(computeCrc("123456789"), 0x2DFD2D88u);
    EXPECT_EQ(computeCrc(""), 0u);
    EXPECT_EQ(computeCrc(std::string(4, '\0')), 0u);
}

TEST(PstCrc, AnySplitOfTheDataGivesTheSameValue) {
    // Eight bytes at a time with a byte-wise tail: every split, continued through the seed, must agree
    // with the byte-wise value.
    std::string data;
    for (int i = 0; i < 100; ++i) data.push_back(static_cast<char>(i * 37 + 11));
    std::uint32_t byteWise = 0;
    for (char c : data) byteWise = computeCrc(std::string_view(&c, 1), byteWise);
    for (std::size_t split : {0u, 1u, 7u, 8u, 9u, 63u, 64u, 99u, 100u})
        EXPECT_EQ(computeCrc(std::string_view(data).substr(split), computeCrc(std::string_view(data).substr(0, split))), byteWise)
            << split;
}

TEST(PstCrc, MatchesHeadersWrittenByOutlook) {
    const auto corpus = testing_support::sharedCorpus();
    if (!corpus || !std::filesystem::exists(*corpus / "pst")) GTEST_SKIP() << "no shared corpus";
    int checked = 0;
    for (const auto& file : testing_support::filesUnder(*corpus / "pst")) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes(Header::kSize, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_EQ(computeCrc(std::string_view(bytes).substr(8, 471)), loadU32(bytes.data() + 4)) << file;
        EXPECT_EQ(computeCrc(std::string_view(bytes).substr(8, 516)), loadU32(bytes.data() + 524)) << file;
        EXPECT_TRUE(Header::decode(bytes).has_value()) << file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(PstHeader, RoundTripsAndRejectsCorruption) {
    Header header;
    header.nextBlockBid = 0x1234;
    header.nextPageBid = 0x77;
    header.nextNidIndex[4] = 0x10012;
    header.root.fileEof = 0x42400;
    header.root.nodeBTree = {Bid(0xC07), 0x17C00};
    header.root.blockBTree = {Bid(0xC0A), 0xAC00};
    header.root.amapValid = kAMapValid;
    const std::string bytes = header.encode();
    ASSERT_EQ(bytes.size(), Header::kSize);
    const auto back = Header::decode(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->nextBlockBid, 0x1234u);
    EXPECT_EQ(back->nextPageBid, 0x77u);
    EXPECT_EQ(back->nextNidIndex[4], 0x10012u);
    EXPECT_EQ(back->root.nodeBTree, header.root.nodeBTree);
    EXPECT_EQ(back->root.blockBTree, header.root.blockBTree);
    std::string damaged = bytes;
    damaged[200] ^= 1;
    EXPECT_FALSE(Header::decode(damaged));
}

TEST(PstBlock, TrailerAndAlignment) {
    const std::string block = encodeBlock("hello", Bid(8), 0x4800);
    EXPECT_EQ(block.size(), 64u);
    EXPECT_EQ(loadU16(block.data() + 48), 5);
    EXPECT_EQ(loadU16(block.data() + 50), computeSig(0x4800, 8));
    EXPECT_EQ(loadU32(block.data() + 52), computeCrc("hello"));
    EXPECT_EQ(loadU64(block.data() + 56), 8u);
    EXPECT_TRUE(decodeBlock(block, 5, Bid(8)));
    EXPECT_FALSE(decodeBlock(block, 5, Bid(12)));
    EXPECT_EQ(blockFileSize(kMaxBlockData), kMaxBlockSize);
}

TEST(PstFileSpace, KeepsBlocksInsideRegionsAndSkipsMapPages) {
    FileSpace space;
    EXPECT_EQ(space.allocate(64, 64), kFirstAMapOffset + 1024);  // after the first AMap and PMap
    // Fill region 0, then the next block must start after region 1's AMap (no PMap there).
    Ib last = 0;
    for (int i = 0; i < 40; ++i) last = space.allocate(8192, 64);
    EXPECT_LE(last + 8192, kFirstAMapOffset + 2 * kRegionSize);
    for (Ib ib = space.end(); ib < kFirstAMapOffset + kRegionSize + 1;) ib = space.allocate(8192, 64) + 8192;
    const Ib next = space.allocate(8192, 64);
    EXPECT_GE(next, kFirstAMapOffset + kRegionSize + 512);
    EXPECT_EQ(regionLayout(8).pmap, true);
    EXPECT_EQ(regionLayout(128).fmap, true);
    EXPECT_EQ(regionLayout(129).fmap, false);
    EXPECT_EQ(regionLayout(8192).fpmap, true);
    EXPECT_EQ(regionLayout(8192).reservedBytes(), 2048u);
}

// Free extents that hold no 512-byte piece on a 512-byte boundary must not hide a longer one: map and
// B-tree pages go into freed space, not to the end of the file.
TEST(PstFileSpace, PagesReuseFreeSpaceBehindExtentsTheyDoNotFit) {
    FileSpace space;
    std::vector<Ib> blocks;
    for (int i = 0; i < 48; ++i) blocks.push_back(space.allocate(576, 64));
    const Ib end = space.end();
    for (std::size_t i = 3; i < 30; i += 2)  // apart from each other; none reaches a boundary 512 before its end
        if (blocks[i] % 512 != 0 && blocks[i] % 512 < 512 - 64) space.release(blocks[i], 576);
    for (std::size_t i = 40; i < 43; ++i) space.release(blocks[i], 576);  // one extent of 1728 bytes
    const std::uint64_t freeBefore = space.freeBytes();
    const Ib page = space.allocate(512, 512);
    EXPECT_EQ(page % 512, 0u);
    EXPECT_GE(page, blocks[40]);
    EXPECT_LT(page, blocks[43]);
    EXPECT_EQ(space.end(), end);
    EXPECT_EQ(space.freeBytes(), freeBefore - 512);
}

TEST(PstAllocationMap, MarksSlotsAndCountsFreeSpace) {
    AllocationMapBuilder maps(kFirstAMapOffset + kRegionSize);
    const std::uint64_t freeAtStart = maps.freeBytes();
    EXPECT_EQ(freeAtStart, kRegionSize - 1024);
    maps.markAllocated(kFirstAMapOffset + 1024, 8192);
    EXPECT_EQ(maps.freeBytes(), freeAtStart - 8192);
    const auto pages = maps.pages();
    ASSERT_EQ(pages.size(), 2u);  // AMap and PMap
    EXPECT_EQ(static_cast<unsigned char>(pages[0].bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(pages[0].bytes[2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(pages[0].bytes[18]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(pages[0].bytes[496]), 0x84);
    EXPECT_EQ(loadU64(pages[0].bytes.data() + 504), kFirstAMapOffset);
}

TEST(PstAllocationMap, MarksExactlyTheSlotsOfExtentsAtAnyAlignment) {
    // Extents that start and end inside a byte of the map, span whole bytes, and cross into the next
    // region; every slot they touch is marked and no other.
    struct Extent {
        std::uint64_t offset;  // from the first map
        std::uint64_t size;
    };
    for (const Extent e : {Extent{64 * 3, 64 * 2}, Extent{64 * 5, 64 * 20 + 1}, Extent{64 * 8, 64 * 16},
                           Extent{kRegionSize - 64 * 11, 64 * 30}, Extent{2048, 1}}) {
        SCOPED_TRACE(e.offset);
        AllocationMapBuilder maps(kFirstAMapOffset + 2 * kRegionSize);
        AllocationMapBuilder reference(kFirstAMapOffset + 2 * kRegionSize);
        maps.markAllocated(kFirstAMapOffset + e.offset, e.size);
        for (std::uint64_t at = e.offset / 64 * 64; at < e.offset + e.size; at += 64)
            reference.markAllocated(kFirstAMapOffset + at, 1);
        const auto pages = maps.pages();
        const auto expected = reference.pages();
        ASSERT_EQ(pages.size(), expected.size());
        for (std::size_t i = 0; i < pages.size(); ++i) EXPECT_EQ(pages[i].bytes, expected[i].bytes) << i;
        EXPECT_EQ(maps.freeBytes(), reference.freeBytes());
    }
    // The free map holds a region's longest run of free slots: here gaps of 13 and 100 slots, starting
    // inside a byte of the map, in an otherwise full region.
    AllocationMapBuilder maps(kFirstAMapOffset + kRegionSize);
    maps.markAllocated(kFirstAMapOffset, 64 * 37);
    maps.markAllocated(kFirstAMapOffset + 64 * 50, 64 * 900);
    maps.markAllocated(kFirstAMapOffset + 64 * 1050, kRegionSize - 64 * 1050);
    EXPECT_EQ(maps.firstFreeMap()[0], 100);
    EXPECT_EQ(maps.freeBytes(), 113u * 64);
}

TEST(PstNodeDatabase, ManyNodesAndBlocksSurviveReopen) {
    TempDir dir;
    const std::string path = (dir / "t.pst").string();
    std::vector<std::pair<Nid, Bid>> written;
    {
        auto db = NodeDatabase::create(path).value();
        ASSERT_TRUE(db);
        for (int i = 0; i < 5000; ++i) {  // several levels of NBT and BBT pages
            const Nid nid = db->allocateNid(NidType::NormalMessage);
            const Bid bid = db->writeData("node " + std::to_string(i));
            db->setNode({nid, bid, Bid(), Nid(0x8022)});
            written.emplace_back(nid, bid);
        }
        ASSERT_TRUE(db->close());
    }
    auto db = NodeDatabase::open(path).value();
    ASSERT_TRUE(db);
    ASSERT_EQ(db->nodes().size(), written.size());
    for (std::size_t i = 0; i < written.size(); i += 97) {
        const NbtEntry* e = db->findNode(written[i].first);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->parent, Nid(0x8022));
        EXPECT_EQ(db->readData(e->data), "node " + std::to_string(i));
    }
    // Appending after reopening keeps ids unique and the old nodes readable.
    const Nid added = db->allocateNid(NidType::NormalMessage);
    EXPECT_GT(added.index(), written.back().first.index());
    const Bid bid = db->writeData("appended");
    EXPECT_GT(bid.value(), written.back().second.value());
    db->setNode({added, bid, Bid(), Nid(0x8022)});
    ASSERT_TRUE(db->close());
    auto again = NodeDatabase::open(path).value();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->nodes().size(), written.size() + 1);
    EXPECT_EQ(again->readData(again->findNode(added)->data), "appended");
    EXPECT_EQ(again->readData(again->findNode(written[0].first)->data), "node 0");
}

TEST(PstNodeDatabase, LargeDataUsesXBlocksAndXXBlocks) {
    TempDir dir;
    auto db = NodeDatabase::create((dir / "x.pst").string()).value();
    ASSERT_TRUE(db);
    for (std::size_t size : {std::size_t{8176}, std::size_t{8177}, std::size_t{100000}, kXBlockEntries * kMaxBlockData + 1}) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + i / 8176);
        const Bid bid = db->writeData(data);
        EXPECT_EQ(bid.isInternal(), size > kMaxBlockData) << size;
        EXPECT_EQ(db->readData(bid), data) << size;
    }
}

TEST(PstNodeDatabase, SubnodeTreesSplitIntoSiBlocks) {
    TempDir dir;
    auto db = NodeDatabase::create((dir / "s.pst").string()).value();
    ASSERT_TRUE(db);
    std::vector<SubnodeEntry> entries;
    for (std::uint32_t i = 0; i < 1000; ++i) entries.push_back({Nid(NidType::Ltp, 1000 - i), db->writeData("x"), Bid()});
    const Bid root = db->writeSubnodes(entries);
    const auto back = db->readSubnodes(root);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 1000u);
    EXPECT_TRUE(std::is_sorted(back->begin(), back->end(),
                               [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; }));
}

TEST(PstNodeDatabase, RejectsFilesThatAreNotPst) {
    TempDir dir;
    testing_support::writeFile(dir / "bad.pst", std::string(1000, 'x'));
    const auto bad = NodeDatabase::open((dir / "bad.pst").string());
    EXPECT_FALSE(bad);
    EXPECT_FALSE(bad.failure().message.empty());
    const auto missing = NodeDatabase::open((dir / "missing.pst").string());
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.failure().code, ENOENT);
}

// What the format cannot hold is refused loudly, never cut to fit.
TEST(PstNodeDatabase, ValuesBeyondTheFormatsLimitsAreRefused) {
    TempDir dir;
    auto db = NodeDatabase::create((dir / "limits.pst").string()).value();
    const std::size_t blocksBefore = db->blockCount();
    EXPECT_THROW(db->writeLeaf(std::string(kMaxBlockData + 1, 'x')), LimitError);
    // Trees are checked before anything is written: a size beyond 32 bits, more leaves than two levels.
    EXPECT_THROW(db->writeTreeOver({Bid(4), Bid(8)}, {UINT32_MAX, 1}), LimitError);
    const std::vector<Bid> leaves(kXBlockEntries * kXBlockEntries + 1, Bid(4));
    EXPECT_THROW(db->writeTreeOver(leaves, std::vector<std::uint32_t>(leaves.size(), 1)), LimitError);
    std::vector<SubnodeEntry> subnodes(kSlBlockEntries * kSiBlockEntries + 1);
    for (std::uint32_t i = 0; i < subnodes.size(); ++i) subnodes[i].nid = Nid(NidType::Ltp, i + 1);
    EXPECT_THROW(db->writeSubnodes(subnodes), LimitError);
    EXPECT_EQ(db->blockCount(), blocksBefore);

    // Node ids: the last index is handed out once, then none is left (nor wraps to a used one).
    db->reserveNidIndex(NidType::NormalMessage, kMaxNidIndex - 1);
    EXPECT_EQ(db->allocateNid(NidType::NormalMessage).index(), kMaxNidIndex);
    EXPECT_THROW(db->allocateNid(NidType::NormalMessage), LimitError);
    db->reserveNidIndex(NidType::Attachment, UINT32_MAX);
    EXPECT_THROW(db->allocateNid(NidType::Attachment), LimitError);
    EXPECT_THROW(Nid(NidType::NormalMessage, kMaxNidIndex + 1), LimitError);
    EXPECT_EQ(db->allocateNid(NidType::NormalFolder).type(), NidType::NormalFolder);  // other types go on
}

}  // namespace
}  // namespace store::pst

namespace store::pst {
namespace {

// Every block and page lies inside one region, after its map pages, and none overlaps another.
void expectSoundLayout(const NodeDatabase& db) {
    std::vector<std::pair<Ib, std::uint64_t>> extents;
    for (const BbtEntry& b : db.blocks()) extents.emplace_back(b.ref.ib, blockFileSize(b.size));
    for (const BlockRef& p : db.treePages()) {
        EXPECT_EQ(p.ib % kPageSize, 0u);
        extents.emplace_back(p.ib, kPageSize);
    }
    std::sort(extents.begin(), extents.end());
    for (std::size_t i = 0; i < extents.size(); ++i) {
        const auto [ib, size] = extents[i];
        const RegionLayout region = regionLayout(regionOf(ib));
        EXPECT_GE(ib, region.start + region.reservedBytes()) << ib;
        EXPECT_LE(ib + size, region.start + kRegionSize) << ib;
        EXPECT_EQ(ib % 64, 0u);
        if (i > 0) {
            EXPECT_LE(extents[i - 1].first + extents[i - 1].second, ib) << "overlap at " << ib;
        }
    }
}

TEST(PstNodeDatabase, ReusedSpaceNeverOverlaps) {
    TempDir dir;
    auto db = NodeDatabase::create((dir / "r.pst").string()).value();
    ASSERT_TRUE(db);
    std::vector<Nid> live;
    std::uint32_t seed = 1;
    for (int round = 0; round < 200; ++round) {
        for (int k = 0; k < 5; ++k) {
            seed = seed * 1103515245u + 12345u;
            const Nid nid = db->allocateNid(NidType::NormalMessage);
            db->setNode({nid, db->writeData(std::string(seed % 30000, 'd')), Bid(), Nid()});
            live.push_back(nid);
        }
        for (int k = 0; k < 3 && !live.empty(); ++k) {
            seed = seed * 1103515245u + 12345u;
            const std::size_t victim = seed % live.size();
            db->removeNode(live[victim]);
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(victim));
        }
        ASSERT_TRUE(db->commit());
        if (round % 50 == 49) expectSoundLayout(*db);
    }
    EXPECT_GT(db->reusableBytes() + db->allocatedBytes(), 0u);
    for (Nid nid : live) EXPECT_TRUE(db->readData(db->findNode(nid)->data)) << nid.value();
}

}  // namespace
}  // namespace store::pst

namespace store::pst {
namespace {

using testing_support::FaultyIo;

constexpr int kFirstNodes = 40;
constexpr int kLaterNodes = 40;

std::string nodeData(int i) { return std::string(4000 + i, static_cast<char>('a' + i % 26)); }

// Commits kFirstNodes nodes, arms the fault, adds kLaterNodes more (about 160 kB, so that the file
// grows) and commits again. Returns whether the second commit succeeded.
bool commitTwiceMeetingTheFault(const std::string& path, FaultyIo& io, std::optional<StoreFailure>& failure) {
    auto db = NodeDatabase::create(path).value();
    EXPECT_TRUE(db);
    if (!db) return false;
    for (int i = 0; i < kFirstNodes + kLaterNodes; ++i) {
        if (i == kFirstNodes) {
            EXPECT_TRUE(db->commit());
            io.arm();
        }
        db->setNode({db->allocateNid(NidType::NormalMessage), db->writeData(nodeData(i)), Bid(), Nid(0x8022)});
    }
    const bool ok = db->commit();
    failure = db->failure();
    // A failed database stays failed: later writes and the final commit change nothing on disk.
    db->setNode({db->allocateNid(NidType::NormalMessage), db->writeData(nodeData(kFirstNodes + kLaterNodes)), Bid(), Nid(0x8022)});
    EXPECT_EQ(db->close(), ok);
    return ok;
}

// The number of nodes of the file as a reader finds it, each checked against what was written.
int readableNodes(const std::string& path) {
    auto db = NodeDatabase::open(path).value();
    EXPECT_TRUE(db);
    if (!db) return -1;
    int i = 0;
    for (const NbtEntry& node : db->nodes()) EXPECT_EQ(db->readData(node.data), nodeData(i++)) << i;
    return i;
}

TEST(PstNodeDatabase, AFailedWriteSyncOrResizeLeavesTheFileAtItsLastCommit) {
    TempDir dir;
    // A clean run shows which of the second commit's writes is its header (the one at offset 0).
    int headerWrite = 0;
    {
        FaultyIo io(FaultyIo::Call::Write, 1 << 30, ENOSPC);
        std::optional<StoreFailure> failure;
        ASSERT_TRUE(commitTwiceMeetingTheFault((dir / "clean.pst").string(), io, failure));
        const auto& writes = io.armedWrites();
        headerWrite = static_cast<int>(std::find(writes.begin(), writes.end(), 0) - writes.begin()) + 1;
        ASSERT_LE(headerWrite, static_cast<int>(writes.size()));
        EXPECT_EQ(readableNodes((dir / "clean.pst").string()), kFirstNodes + kLaterNodes + 1);
    }

    struct Case {
        FaultyIo::Call call;
        int nth;
        int code;
        std::size_t shortBytes;
        int nodesAfter;  // what a reader finds afterwards
    };
    std::vector<Case> cases = {
        {FaultyIo::Call::Sync, 1, EIO, 0, kFirstNodes},  // before the header: the old header stays
        // After the header: the file is complete, though the commit is reported failed.
        {FaultyIo::Call::Sync, 2, EIO, 0, kFirstNodes + kLaterNodes},
        {FaultyIo::Call::Truncate, 1, ENOSPC, 0, kFirstNodes},
    };
    // Every write up to the header itself fails; every one before it also as a short write. (A short
    // write of the header would leave half a header; overwriting the first page of the file needs no
    // new space, so a full disk cannot cause it.)
    for (int nth = 1; nth <= headerWrite; ++nth) {
        cases.push_back({FaultyIo::Call::Write, nth, nth % 2 ? ENOSPC : EIO, 0, kFirstNodes});
        if (nth < headerWrite) cases.push_back({FaultyIo::Call::Write, nth, ENOSPC, 100, kFirstNodes});
    }
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "call " << static_cast<int>(c.call) << " #" << c.nth << " short "
                                        << c.shortBytes);
        const std::string path = (dir / ("f" + std::to_string(n++) + ".pst")).string();
        std::optional<StoreFailure> failure;
        {
            FaultyIo io(c.call, c.nth, c.code, c.shortBytes);
            EXPECT_FALSE(commitTwiceMeetingTheFault(path, io, failure));
            EXPECT_TRUE(io.fired());
        }
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code, c.code);
        EXPECT_FALSE(failure->message.empty());
        EXPECT_EQ(readableNodes(path), c.nodesAfter);
    }
}

}  // namespace
}  // namespace store::pst
