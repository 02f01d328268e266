#include <gtest/gtest.h>

#include <algorithm>

#include "store/pst/ltp/bth.h"
#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/ndb/bytes.h"
#include "support/test_support.h"

namespace store::pst {
namespace {

using testing_support::TempDir;

std::string le32(std::uint32_t v) {
    std::string s;
    putU32(s, v);
    return s;
}

TEST(PstHeap, AllocationsSpreadOverBlocksAndReadBack) {
    HeapBuilder heap(HeapClient::PropertyContext);
    std::vector<std::pair<Hid, std::string>> items;
    for (int i = 0; i < 400; ++i) {  // about 400 KB: blocks 0..50, including bitmap block 8
        std::string item(static_cast<std::size_t>(100 + (i * 37) % 3480), static_cast<char>('a' + i % 26));
        items.emplace_back(heap.allocate(item), item);
    }
    // An item over the limit is refused, not cut, and leaves the heap as it was.
    EXPECT_THROW(heap.allocate(std::string(kMaxHeapItem + 1, 'x')), LimitError);
    EXPECT_THROW(heap.reserve(kMaxHeapItem + 1), LimitError);
    heap.setUserRoot(items[5].first);
    const auto blocks = heap.takeBlocks();
    ASSERT_GT(blocks.size(), 9u);
    for (const auto& b : blocks) EXPECT_LE(b.size(), kMaxBlockData);
    EXPECT_EQ(static_cast<unsigned char>(blocks[0][2]), 0xEC);
    EXPECT_EQ(static_cast<unsigned char>(blocks[0][3]), 0xBC);
    const auto reader = HeapReader::parse(blocks);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->userRoot(), items[5].first);
    for (const auto& [hid, bytes] : items) {
        const auto got = reader->item(hid);
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, bytes);
    }
    EXPECT_FALSE(reader->item(Hid(200, 1)));
}

TEST(PstBth, ManyRecordsBuildIndexLevels) {
    HeapBuilder heap(HeapClient::BTree);
    std::string records;
    for (std::uint32_t i = 0; i < 20000; ++i) records += le32(i * 3) + le32(i);
    const Hid header = writeBth(heap, 4, 4, records);
    const auto reader = HeapReader::parse(heap.takeBlocks());
    ASSERT_TRUE(reader);
    const auto item = reader->item(header);
    ASSERT_TRUE(item);
    EXPECT_GE(static_cast<int>((*item)[3]), 1);  // index levels
    const auto bth = readBth(*reader, header);
    ASSERT_TRUE(bth);
    ASSERT_EQ(bth->records.size(), 20000u);
    EXPECT_EQ(bth->records[12345].key, le32(12345 * 3));
    EXPECT_EQ(bth->records[12345].data, le32(12345));
}

// Outlook's heap order, which readers such as pst-extractor depend on: a BTH header as the first
// item (HID 0x20); a table's TCINFO next (0x40, the user root), a property context's records next.
void expectOutlookHeapOrder(const NodeContent& content, HeapClient client) {
    const auto heap = HeapReader::parse(content.blocks);
    ASSERT_TRUE(heap);
    const auto first = heap->item(Hid(0x20));
    ASSERT_TRUE(first && first->size() == 8);
    EXPECT_EQ(static_cast<unsigned char>((*first)[0]), 0xB5);
    const std::uint32_t bthRoot = loadU32(first->data() + 4);
    if (client == HeapClient::PropertyContext) {
        EXPECT_EQ(heap->userRoot(), Hid(0x20));
        EXPECT_EQ(bthRoot, 0x40u);
    } else {
        EXPECT_EQ(heap->userRoot(), Hid(0x40));
        EXPECT_TRUE(bthRoot == 0 || bthRoot == 0x60 || (*first)[3] != 0) << std::hex << bthRoot;
    }
}

class PstLtp : public ::testing::Test {
protected:
    void SetUp() override {
        db = NodeDatabase::create((dir / "ltp.pst").string()).value();
        ASSERT_TRUE(db);
    }
    TempDir dir;
    std::unique_ptr<NodeDatabase> db;
    SubnodeIds ids;
};

TEST_F(PstLtp, PropertyContextKeepsEveryKindOfValue) {
    const std::string big(20000, 'B');
    PropertyList props = {
        {0x0037001F, std::string("S\0u\0b\0", 6)},
        {0x0E070003, le32(0x21)},
        {0x0E1B000B, std::string("\1", 1)},
        {0x00390040, std::string("\1\2\3\4\5\6\7\x08", 8)},
        {0x1000001F, std::string(8000, 'x')},  // larger than a heap item: a subnode
        {0x37010102, big},
        {0x3FDE0003, le32(65001)},
        {0x0E1D001F, std::string()},  // empty string
    };
    const NodeContent content = buildPropertyContext(*db, ids, props);
    EXPECT_EQ(content.subnodes.size(), 2u);
    expectOutlookHeapOrder(content, HeapClient::PropertyContext);
    const Bid data = db->writeBlocks(content.blocks);
    const auto back = readPropertyContext(*db, data, content.subnodes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), props.size());
    for (const Property& p : props) {
        const Property* got = findProperty(*back, p.tag);
        ASSERT_TRUE(got) << std::hex << p.tag;
        EXPECT_EQ(got->value, p.value) << std::hex << p.tag;
    }
}

TEST_F(PstLtp, PropertyContextWithManyPropertiesSpansHeapBlocks) {
    PropertyList props;
    for (std::uint16_t id = 0x8000; id < 0x8000 + 600; ++id)
        props.push_back({(static_cast<std::uint32_t>(id) << 16) | 0x001F, std::string(60, static_cast<char>(id))});
    const NodeContent content = buildPropertyContext(*db, ids, props);
    EXPECT_GT(content.blocks.size(), 1u);
    const auto back = readPropertyContext(*db, db->writeBlocks(content.blocks), content.subnodes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, props);
}

TEST_F(PstLtp, TableContextInHeapAndInSubnode) {
    const std::vector<std::uint32_t> columns = {0x0037001F, 0x0E080003, 0x0E060040, 0x0E1B000B, 0x00170003};
    for (std::size_t count : {std::size_t{0}, std::size_t{3}, std::size_t{5000}}) {
        std::vector<TableRow> rows;
        for (std::uint32_t i = 0; i < count; ++i) {
            TableRow row;
            row.rowId = Nid(NidType::NormalMessage, 0x400 + i).value();
            const std::string subject = "Subject " + std::to_string(i) + (i % 100 == 0 ? std::string(5000, '!') : "");
            row.cells.push_back({0x0037001F, subject});
            row.cells.push_back({0x0E080003, le32(i * 10)});
            if (i % 2) row.cells.push_back({0x0E1B000B, std::string("\1", 1)});
            rows.push_back(row);
        }
        const NodeContent content = buildTableContext(*db, ids, columns, rows);
        EXPECT_EQ(content.subnodes.empty(), count == 0) << count;
        expectOutlookHeapOrder(content, HeapClient::TableContext);
        if (count == 5000) {  // the row matrix in a subnode: every block but the last full, padded
            const auto heap = HeapReader::parse(content.blocks);
            const std::uint32_t rowsHnid = loadU32(heap->item(heap->userRoot())->data() + 14);
            const auto matrix = std::find_if(content.subnodes.begin(), content.subnodes.end(),
                                             [&](const SubnodeEntry& e) { return e.nid.value() == rowsHnid; });
            ASSERT_NE(matrix, content.subnodes.end());
            const auto blocks = db->readBlocks(matrix->data);
            ASSERT_TRUE(blocks && blocks->size() > 1);
            for (std::size_t b = 0; b + 1 < blocks->size(); ++b) EXPECT_EQ((*blocks)[b].size(), kMaxBlockData);
        }
        const auto table = readTableContext(*db, db->writeBlocks(content.blocks), content.subnodes);
        ASSERT_TRUE(table) << count;
        EXPECT_EQ(table->columns.size(), columns.size() + 2);
        ASSERT_EQ(table->rows.size(), count);
        for (std::size_t i = 0; i < count; i += 7) {
            EXPECT_EQ(table->rows[i].rowId, rows[i].rowId);
            for (const Property& p : rows[i].cells) {
                const Property* got = findProperty(table->rows[i].cells, p.tag);
                ASSERT_TRUE(got);
                EXPECT_EQ(got->value, p.value);
            }
            EXPECT_EQ(findProperty(table->rows[i].cells, 0x0E1B000B) != nullptr, i % 2 == 1);
            EXPECT_FALSE(findProperty(table->rows[i].cells, 0x0E060040));
        }
    }
}

// A long table's heap spans several bitmap groups (blocks 8..135, 136..263, ...); written as it is
// built, its data tree holds the same blocks in the same order as the table built in memory.
TEST_F(PstLtp, TableContextWrittenAheadHoldsTheSameHeap) {
    const std::vector<std::uint32_t> columns = {0x0037001F, 0x0E080003, 0x0E04001F};
    std::vector<TableRow> rows;
    for (std::uint32_t i = 0; i < 7000; ++i) {
        TableRow row;
        row.rowId = Nid(NidType::NormalMessage, 0x400 + i).value();
        row.cells.push_back({0x0037001F, std::string(200 + i % 97, static_cast<char>('a' + i % 26))});
        row.cells.push_back({0x0E080003, le32(i)});
        if (i % 3) row.cells.push_back({0x0E04001F, std::string(40 + i % 11, 'r')});
        rows.push_back(row);
    }
    const auto rowAt = [&rows](std::size_t i) { return rows[i]; };
    SubnodeIds inMemoryIds;
    const NodeContent inMemory = buildTableContext(*db, inMemoryIds, columns, rows.size(), rowAt);
    ASSERT_GT(inMemory.blocks.size(), 200u);
    SubnodeIds writtenIds;
    const WrittenNode written = writeTableContext(*db, writtenIds, columns, rows.size(),
                                                  [&rows](std::size_t i, TableRow& row) { row = rows[i]; });
    const auto blocks = db->readBlocks(written.data);
    ASSERT_TRUE(blocks);
    EXPECT_TRUE(*blocks == inMemory.blocks);
    ASSERT_EQ(written.subnodes.size(), inMemory.subnodes.size());
    const auto table = readTableContext(*db, written.data, written.subnodes);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); i += 13) {
        EXPECT_EQ(table->rows[i].rowId, rows[i].rowId);
        for (const Property& p : rows[i].cells) {
            const Property* got = findProperty(table->rows[i].cells, p.tag);
            ASSERT_TRUE(got);
            EXPECT_EQ(got->value, p.value);
        }
    }
}

// Rows given as views make the table that the same rows given as TableRows make, byte for byte:
// inline cells of each size (one value shorter than its cell), variable values empty, in the heap and
// in a subnode, a tag given twice (the first counts), a tag that is no column, cells in any order,
// and a row matrix of several blocks.
TEST_F(PstLtp, TableContextFromPropertyViewsIsTheSameAsFromRows) {
    const std::vector<std::uint32_t> columns = {0x0037001F, 0x0E080003, 0x0E04001F,
                                                0x0E060040, 0x0057000B, 0x00710102};
    std::vector<TableRow> rows;
    for (std::uint32_t i = 0; i < 400; ++i) {
        TableRow row;
        row.rowId = Nid(NidType::NormalMessage, 0x400 + i).value();
        if (i % 3) row.cells.push_back({0x0E04001F, std::string(10 + i % 13, 't')});
        row.cells.push_back({0x0E080003, le32(i)});
        if (i % 4 == 0) row.cells.push_back({0x0E080003, le32(999)});
        const std::size_t subject = i % 5 == 0 ? 0 : i % 7 == 0 ? 5000 : 30 + i % 50;
        row.cells.push_back({0x0037001F, std::string(subject, static_cast<char>('a' + i % 26))});
        row.cells.push_back({0x0E060040, i % 6 == 0 ? std::string("\1\2", 2) : std::string(8, '\7')});
        row.cells.push_back({0x3001001F, "no column"});
        if (i % 2) row.cells.push_back({0x0057000B, std::string(1, '\1')});
        rows.push_back(row);
    }
    BlockRecorder fromRows, fromViews;
    SubnodeIds rowIds, viewIds;
    const WrittenNode a = writeTableContext(fromRows, rowIds, columns, rows.size(),
                                            [&rows](std::size_t i, TableRow& row) { row = rows[i]; });
    const WrittenNode b =
        writeTableContext(fromViews, viewIds, columns, rows.size(), [&rows](std::size_t i, std::vector<PropertyView>& cells) {
            cells.clear();
            for (const Property& p : rows[i].cells) cells.push_back({p.tag, p.value});
            return rows[i].rowId;
        });
    EXPECT_GT(fromRows.blocks().size(), 10u);
    EXPECT_TRUE(fromRows.image() == fromViews.image());
    EXPECT_EQ(a.data, b.data);
    ASSERT_EQ(a.subnodes.size(), b.subnodes.size());
    for (std::size_t i = 0; i < a.subnodes.size(); ++i) {
        EXPECT_EQ(a.subnodes[i].nid, b.subnodes[i].nid);
        EXPECT_EQ(a.subnodes[i].data, b.subnodes[i].data);
    }

    SubnodeIds ids;
    const WrittenNode written = writeTableContext(*db, ids, columns, rows.size(), [&rows](std::size_t i, std::vector<PropertyView>& cells) {
        cells.clear();
        for (const Property& p : rows[i].cells) cells.push_back({p.tag, p.value});
        return rows[i].rowId;
    });
    const auto table = readTableContext(*db, written.data, written.subnodes);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rows.size(), rows.size());
    for (std::uint32_t i : {0u, 7u, 12u, 399u}) {
        EXPECT_EQ(table->rows[i].rowId, rows[i].rowId);
        EXPECT_EQ(findProperty(table->rows[i].cells, 0x0E080003)->value, le32(i));
        EXPECT_EQ(findProperty(table->rows[i].cells, 0x0037001F)->value, findProperty(rows[i].cells, 0x0037001F)->value);
    }
}

TEST_F(PstLtp, TableContextKeepsAtMost255Columns) {
    std::vector<std::uint32_t> columns;
    TableRow row;
    row.rowId = 7;
    for (std::uint32_t id = 0x8000; id < 0x8000 + 400; ++id) {
        columns.push_back((id << 16) | 0x0014);  // 8-byte cells: far more than a row block holds
        row.cells.push_back({(id << 16) | 0x0014, std::string(8, 'c')});
    }
    const NodeContent content = buildTableContext(*db, ids, columns, std::vector<TableRow>(30, row));
    const auto table = readTableContext(*db, db->writeBlocks(content.blocks), content.subnodes);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->columns.size(), 255u);
    ASSERT_EQ(table->rows.size(), 30u);
    EXPECT_EQ(table->rows[29].cells.size(), 253u);
}

}  // namespace
}  // namespace store::pst
