#pragma once
// A folder of the store as the writer keeps it in memory: its name and place in the hierarchy, and
// one compact row per message for its contents table. Its nodes (property context, hierarchy,
// contents and associated contents tables) are rewritten when the store is committed.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ltp/property.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/ndb/ids.h"

namespace store::pst {

// A contents-table row packed into one string: for each value its column (a byte, the index in
// contentsTableColumns()), its length (seven bits a byte, low bits first) and its bytes.
struct ContentsRow {
    Nid message;
    std::string cells;
    bool read = false;

    static ContentsRow pack(Nid message, const PropertyList& cells);
    static ContentsRow pack(Nid message, const std::vector<PropertyView>& cells);
    TableRow unpack() const;
    // The same into a row whose buffers are used again.
    void unpackInto(TableRow& row) const;
    // The cells as views of this row's bytes, without copying them; returns the row id.
    std::uint32_t viewInto(std::vector<PropertyView>& cells) const;
};

struct FolderRecord {
    Nid nid;
    Nid parent;
    std::u16string name;
    std::u16string containerClass;
    std::vector<Nid> children;
    std::vector<ContentsRow> contents;
    bool dirty = true;

    std::uint32_t unreadCount() const;
    // The folder's own properties and its row in its parent's hierarchy table.
    PropertyList properties() const;
};

}  // namespace store::pst
