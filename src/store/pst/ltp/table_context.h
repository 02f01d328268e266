#pragma once
// Table context (TC): rows of property values with a fixed column set. TCINFO describes the columns;
// a BTH maps row ids to row numbers; the row matrix lies in the heap, or in a subnode when large
// (rows never straddle its blocks). Variable-size cells hold HNIDs.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property.h"
#include "store/pst/ndb/node_database.h"

namespace store::pst {

inline constexpr std::uint32_t kTagRowId = 0x67F20003;
inline constexpr std::uint32_t kTagRowVersion = 0x67F30003;

struct TableRow {
    std::uint32_t rowId = 0;
    PropertyList cells;  // values by tag; columns without a value are left empty
};

// Columns are property tags; the row id and row version columns are added when missing. Rows are
// asked for one at a time, so a large table never exists whole in memory; the row matrix of a large
// table goes to the file block by block.
NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const std::function<TableRow(std::size_t)>& rowAt);
NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              const std::vector<TableRow>& rows);
// Rows given as views (see RowViewFiller below), for values that are not copied.
using RowViewFiller = std::function<std::uint32_t(std::size_t, std::vector<PropertyView>&)>;
NodeContent buildTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowViewFiller& fillCells);

// The same table written at once: the heap's blocks go to the file as they are made, so that a
// table of any length takes little memory (a contents table of many messages). fillRow(i, row) sets
// row to row i, reusing what row holds from the row before.
struct WrittenNode {
    Bid data;
    std::vector<SubnodeEntry> subnodes;
};
using RowFiller = std::function<void(std::size_t, TableRow&)>;
WrittenNode writeTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowFiller& fillRow);
// The same with rows given as views: fillCells(i, cells) sets cells to those of row i (the vector is
// used again) and returns the row's id. The table is the one the same rows as TableRows give.
WrittenNode writeTableContext(BlockWriter& db, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                              std::size_t rowCount, const RowViewFiller& fillCells);

struct Table {
    std::vector<std::uint32_t> columns;
    std::vector<TableRow> rows;  // in row-matrix order; cells hold only the values present
};
std::optional<Table> readTableContext(NodeDatabase& db, Bid data, const std::vector<SubnodeEntry>& subnodes);

}  // namespace store::pst
