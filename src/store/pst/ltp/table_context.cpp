#include "store/pst/ltp/table_context.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "store/pst/ltp/bth.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint8_t kTcType = 0x7C;
constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kRowIndexRecordSize = 8;

struct Column {
    std::uint32_t tag = 0;
    std::uint16_t offset = 0;
    std::uint8_t size = 0;
    std::uint8_t bit = 0;
};

struct Layout {
    std::vector<Column> columns;  // in row order
    std::vector<std::pair<std::uint32_t, std::size_t>> byTag;  // tag, index in columns; sorted
    std::uint16_t end4 = 0, end2 = 0, end1 = 0, rowSize = 0;
    std::string descriptors;  // TCINFO's column descriptors, by tag
};

Layout layoutColumns(std::vector<std::uint32_t> tags) {
    std::erase(tags, kTagRowId);
    std::erase(tags, kTagRowVersion);
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    // The column count is one byte; two columns are the row id and version.
    if (tags.size() > kMaxColumns - 2) tags.resize(kMaxColumns - 2);
    Layout layout;
    layout.columns.push_back({kTagRowId, 0, 4, 0});
    layout.columns.push_back({kTagRowVersion, 4, 4, 1});
    std::uint16_t offset = 8;
    for (std::size_t want : {8u, 4u, 2u, 1u}) {
        for (std::uint32_t tag : tags) {
            const std::size_t size = cellSize(static_cast<std::uint16_t>(tag & 0xFFFF));
            if (size != want) continue;
            layout.columns.push_back({tag, offset, static_cast<std::uint8_t>(size),
                                      static_cast<std::uint8_t>(layout.columns.size())});
            offset = static_cast<std::uint16_t>(offset + size);
        }
        if (want == 4) layout.end4 = offset;
        if (want == 2) layout.end2 = offset;
        if (want == 1) layout.end1 = offset;
    }
    layout.rowSize = static_cast<std::uint16_t>(layout.end1 + (layout.columns.size() + 7) / 8);
    for (std::size_t k = 0; k < layout.columns.size(); ++k)
        layout.byTag.emplace_back(layout.columns[k].tag, k);
    std::sort(layout.byTag.begin(), layout.byTag.end());
    for (const auto& [tag, k] : layout.byTag) {
        const Column& c = layout.columns[k];
        putU32(layout.descriptors, c.tag);
        putU16(layout.descriptors, c.offset);
        put8(layout.descriptors, c.size);
        put8(layout.descriptors, c.bit);
    }
    return layout;
}

constexpr std::size_t kTcInfoHeaderSize = 22;
constexpr std::size_t kTcInfoColumnSize = 8;

std::size_t tcInfoSize(const Layout& layout) { return kTcInfoHeaderSize + kTcInfoColumnSize * layout.columns.size(); }

// The layout of these columns; tables are built with the same few column sets again and again, so
// the last few made on this thread are kept.
std::shared_ptr<const Layout> layoutOf(std::vector<std::uint32_t> tags) {
    constexpr std::size_t kKept = 4;
    thread_local std::vector<std::pair<std::vector<std::uint32_t>, std::shared_ptr<const Layout>>> kept;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].first != tags) continue;
        std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(i),
                    kept.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return kept.front().second;
    }
    auto layout = std::make_shared<const Layout>(layoutColumns(tags));
    if (kept.size() == kKept) kept.pop_back();
    kept.insert(kept.begin(), {std::move(tags), layout});
    return layout;
}

std::string encodeTcInfo(const Layout& layout, Hid rowIndex, std::uint32_t rowsHnid) {
    std::string out;
    out.reserve(tcInfoSize(layout));
    put8(out, kTcType);
    put8(out, static_cast<std::uint8_t>(layout.byTag.size()));
    putU16(out, layout.end4);
    putU16(out, layout.end2);
    putU16(out, layout.end1);
    putU16(out, layout.rowSize);
    putU32(out, rowIndex.value());
    putU32(out, rowsHnid);
    putU32(out, 0);  // deprecated index
    out += layout.descriptors;
    return out;
}

}  // namespace

namespace {

// Appends the row's bytes: cells at their offsets, the cell-existence bitmap at the end. `found`
// is room for the row's value of each column (the first of its tag), looked up once per value.
// Cell is a Property or a PropertyView.
template <typename Cell>
void encodeRow(BlockWriter& db, SubnodeIds& ids, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes,
               const Layout& layout, std::uint32_t rowId, const std::vector<Cell>& cells,
               std::vector<const Cell*>& found, std::string& out) {
    found.assign(layout.columns.size(), nullptr);
    for (const Cell& p : cells) {
        const auto it =
            std::lower_bound(layout.byTag.begin(), layout.byTag.end(), std::make_pair(p.tag, std::size_t{0}));
        if (it != layout.byTag.end() && it->first == p.tag && !found[it->second]) found[it->second] = &p;
    }
    const std::size_t start = out.size();
    out.resize(start + layout.rowSize, '\0');
    char* bytes = out.data() + start;
    char* ceb = bytes + layout.end1;
    for (std::size_t k = 0; k < layout.columns.size(); ++k) {
        const Column& c = layout.columns[k];
        char* cell = bytes + c.offset;
        if (c.tag == kTagRowId) {
            storeU32(cell, rowId);
        } else if (c.tag == kTagRowVersion) {
            storeU32(cell, 0);
        } else if (const Cell* p = found[k]) {
            if (isCellInline(static_cast<std::uint16_t>(c.tag & 0xFFFF))) {
                std::copy_n(p->value.data(), std::min<std::size_t>(c.size, p->value.size()), cell);
            } else {
                storeU32(cell, storeValue(db, ids, heap, subnodes, p->value));
            }
        } else {
            continue;
        }
        ceb[c.bit / 8] = static_cast<char>(ceb[c.bit / 8] | (0x80 >> (c.bit % 8)));
    }
}

// Fills the heap with the table and collects the subnodes it refers to. Heap order as Outlook writes
// it, which some readers rely on: the row index header, TCINFO, the row index records, the row
// matrix (when small), then the values the rows refer to. Blocks of a large row matrix are padded
// to full size, rows never straddling them.
// appendRow(i, layout, out) appends the bytes of row i and returns its id.
using RowAppender = std::function<std::uint32_t(std::size_t, const Layout&, std::string&)>;

void buildTable(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns, std::size_t rowCount,
                const RowAppender& appendRow, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
    const std::shared_ptr<const Layout> shared = layoutOf(std::move(columns));
    const Layout& layout = *shared;
    BthSlots rowIndex{reserveBthHeader(heap), Hid()};
    const Hid tcInfo = heap.reserve(tcInfoSize(layout));
    heap.setUserRoot(tcInfo);
    rowIndex.leaf = reserveBthLeaf(heap, rowCount * kRowIndexRecordSize);
    const bool inHeap = rowCount * layout.rowSize <= kMaxHeapItem;
    const Hid matrixItem = inHeap && rowCount > 0 ? heap.reserve(rowCount * layout.rowSize) : Hid();
    const std::size_t perBlock = kMaxBlockData / layout.rowSize;

    std::string pending;  // the whole matrix when it goes to the heap, else the current block
    std::vector<Bid> leaves;
    std::vector<std::uint32_t> leafSizes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;  // row id, row number
    index.reserve(rowCount);
    if (inHeap)
        pending.reserve(rowCount * layout.rowSize);
    else
        pending.reserve(kMaxBlockData);
    for (std::size_t r = 0; r < rowCount; ++r) {
        const std::uint32_t rowId = appendRow(r, layout, pending);
        index.emplace_back(rowId, static_cast<std::uint32_t>(r));
        if (!inHeap && (r + 1) % perBlock == 0 && r + 1 < rowCount) {
            pending.resize(kMaxBlockData, '\0');
            leaves.push_back(db.writeLeaf(pending));
            leafSizes.push_back(static_cast<std::uint32_t>(pending.size()));
            pending.clear();
        }
    }
    std::uint32_t rowsHnid = 0;
    if (inHeap) {
        if (!matrixItem.isNull()) {
            heap.fill(matrixItem, pending);
            rowsHnid = matrixItem.value();
        }
    } else {
        leaves.push_back(db.writeLeaf(pending));
        leafSizes.push_back(static_cast<std::uint32_t>(pending.size()));
        const Nid nid = ids.next(NidType::Ltp);
        subnodes.push_back({nid, db.writeTreeOver(leaves, leafSizes), Bid()});
        rowsHnid = nid.value();
    }
    std::sort(index.begin(), index.end());
    std::string records;
    records.reserve(index.size() * kRowIndexRecordSize);
    for (const auto& [rowId, number] : index) {
        putU32(records, rowId);
        putU32(records, number);
    }
    fillBth(heap, rowIndex, 4, 4, records);
    heap.fill(tcInfo, encodeTcInfo(layout, rowIndex.header, rowsHnid));
}

}  // namespace

namespace {

// Rows asked for as TableRows: rowAt(i, scratch) gives row i, in scratch or elsewhere.
using RowSource = std::function<const TableRow&(std::size_t, TableRow&)>;

RowAppender appendTableRows(BlockWriter& db, SubnodeIds& ids, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes,
                            const RowSource& rowAt) {
    // scratch holds one row's values at a time, its buffers used again.
    return [&db, &ids, &heap, &subnodes, &rowAt, scratch = TableRow(), found = std::vector<const Property*>()](
               std::size_t r, const Layout& layout, std::string& out) mutable {
        const TableRow& row = rowAt(r, scratch);
        encodeRow(db, ids, heap, subnodes, layout, row.rowId, row.cells, found, out);
        return row.rowId;
    };
}

}  // namespace

namespace {

// A table built whole in memory, its rows appended by what appenderFor makes for its heap and subnodes.
template <typename AppenderFor>
NodeContent tableInMemory(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns, std::size_t rowCount,
                          AppenderFor&& appenderFor) {
    NodeContent content;
    HeapBuilder heap(HeapClient::TableContext);
    buildTable(db, ids, std::move(columns), rowCount, appenderFor(heap, content.subnodes), heap, content.subnodes);
    content.blocks = heap.takeBlocks();
    return content;
}

// The same table with its heap blocks written as they fill.
template <typename AppenderFor>
WrittenNode tableWrittenAhead(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, AppenderFor&& appenderFor) {
    WrittenNode node;
    HeapBuilder heap(HeapClient::TableContext, db);
    buildTable(db, ids, std::move(columns), rowCount, appenderFor(heap, node.subnodes), heap, node.subnodes);
    node.data = heap.writeData();
    return node;
}

RowAppender appendRowViews(BlockWriter& db, SubnodeIds& ids, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes,
                           const RowViewFiller& fillCells) {
    // cells holds one row's views at a time.
    return [&db, &ids, &heap, &subnodes, &fillCells, cells = std::vector<PropertyView>(),
            found = std::vector<const PropertyView*>()](std::size_t r, const Layout& layout, std::string& out) mutable {
        const std::uint32_t rowId = fillCells(r, cells);
        encodeRow(db, ids, heap, subnodes, layout, rowId, cells, found, out);
        return rowId;
    };
}

}  // namespace

NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const std::function<TableRow(std::size_t)>& rowAt) {
    const RowSource source = [&rowAt](std::size_t i, TableRow& scratch) -> const TableRow& {
        return scratch = rowAt(i);
    };
    return tableInMemory(db, ids, std::move(columns), rowCount, [&](HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
        return appendTableRows(db, ids, heap, subnodes, source);
    });
}

WrittenNode writeTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowFiller& fillRow) {
    const RowSource source = [&fillRow](std::size_t i, TableRow& scratch) -> const TableRow& {
        fillRow(i, scratch);
        return scratch;
    };
    return tableWrittenAhead(db, ids, std::move(columns), rowCount, [&](HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
        return appendTableRows(db, ids, heap, subnodes, source);
    });
}

WrittenNode writeTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowViewFiller& fillCells) {
    return tableWrittenAhead(db, ids, std::move(columns), rowCount, [&](HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
        return appendRowViews(db, ids, heap, subnodes, fillCells);
    });
}

NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowViewFiller& fillCells) {
    return tableInMemory(db, ids, std::move(columns), rowCount, [&](HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
        return appendRowViews(db, ids, heap, subnodes, fillCells);
    });
}

NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              const std::vector<TableRow>& rows) {
    const RowSource source = [&rows](std::size_t i, TableRow&) -> const TableRow& { return rows[i]; };
    return tableInMemory(db, ids, std::move(columns), rows.size(), [&](HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes) {
        return appendTableRows(db, ids, heap, subnodes, source);
    });
}

std::optional<Table> readTableContext(NodeDatabase& db, Bid data, const std::vector<SubnodeEntry>& subnodes) {
    auto blocks = db.readBlocks(data);
    if (!blocks) return std::nullopt;
    const auto heap = HeapReader::parse(std::move(*blocks));
    if (!heap || heap->client() != static_cast<std::uint8_t>(HeapClient::TableContext)) return std::nullopt;
    const auto info = heap->item(heap->userRoot());
    if (!info || info->size() < 22 || static_cast<std::uint8_t>((*info)[0]) != kTcType) return std::nullopt;
    const std::size_t count = static_cast<std::uint8_t>((*info)[1]);
    if (info->size() < 22 + 8 * count) return std::nullopt;
    const std::uint16_t rowSize = loadU16(info->data() + 8);
    const std::uint32_t rowsHnid = loadU32(info->data() + 14);
    std::vector<Column> columns;
    Table table;
    for (std::size_t i = 0; i < count; ++i) {
        const char* p = info->data() + 22 + 8 * i;
        columns.push_back({loadU32(p), loadU16(p + 4), load8(p + 6), load8(p + 7)});
        table.columns.push_back(columns.back().tag);
    }
    std::vector<std::string> matrixBlocks;
    if (rowsHnid != 0 && isHeapId(rowsHnid)) {
        const auto item = heap->item(Hid(rowsHnid));
        if (!item) return std::nullopt;
        matrixBlocks.emplace_back(*item);
    } else if (rowsHnid != 0) {
        const auto it = std::find_if(subnodes.begin(), subnodes.end(),
                                     [rowsHnid](const SubnodeEntry& e) { return e.nid.value() == rowsHnid; });
        if (it == subnodes.end()) return std::nullopt;
        auto read = db.readBlocks(it->data);
        if (!read) return std::nullopt;
        matrixBlocks = std::move(*read);
    }
    if (rowSize == 0) return table;
    const std::size_t cebOffset = loadU16(info->data() + 6);
    for (const std::string& block : matrixBlocks) {
        for (std::size_t pos = 0; pos + rowSize <= block.size(); pos += rowSize) {
            const std::string_view row = std::string_view(block).substr(pos, rowSize);
            TableRow out;
            for (const Column& c : columns) {
                if (cebOffset + c.bit / 8 >= row.size() || c.offset + c.size > row.size()) return std::nullopt;
                if (!(static_cast<unsigned char>(row[cebOffset + c.bit / 8]) & (0x80 >> (c.bit % 8)))) continue;
                const std::string_view cell = row.substr(c.offset, c.size);
                if (c.tag == kTagRowId) out.rowId = loadU32(cell.data());
                if (c.tag == kTagRowId || c.tag == kTagRowVersion) continue;
                Property p{c.tag, std::string(cell)};
                if (!isCellInline(static_cast<std::uint16_t>(c.tag & 0xFFFF))) {
                    auto value = resolveHnid(db, *heap, subnodes, loadU32(cell.data()));
                    if (!value) return std::nullopt;
                    p.value = std::move(*value);
                }
                out.cells.push_back(std::move(p));
            }
            table.rows.push_back(std::move(out));
        }
    }
    return table;
}

}  // namespace store::pst
