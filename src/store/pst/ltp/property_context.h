#pragma once
// Property context (PC): a node's properties in a BTH keyed by property id. Values of up to four
// bytes sit in the record, others in the heap, values larger than a heap item in subnodes, which are
// written at once.
#include <optional>
#include <vector>

#include "store/pst/ltp/heap.h"
#include "store/pst/ltp/property.h"
#include "store/pst/ndb/node_database.h"

namespace store::pst {

NodeContent buildPropertyContext(BlockWriter& db, SubnodeIds& ids, const PropertyList& properties);
// The same from views: the values are not copied.
NodeContent buildPropertyContext(BlockWriter& db, SubnodeIds& ids, const std::vector<PropertyView>& properties);

// Reads a node's properties (and the subnodes they refer to); empty when the node is damaged.
std::optional<PropertyList> readPropertyContext(NodeDatabase& db, Bid data, const std::vector<SubnodeEntry>& subnodes);

// The value an HNID names: a heap item, or the data of a subnode.
std::optional<std::string> resolveHnid(NodeDatabase& db, const HeapReader& heap,
                                       const std::vector<SubnodeEntry>& subnodes, std::uint32_t hnid);

// Stores a variable-size value as an HNID: empty -> 0, small -> heap item, large -> new subnode.
std::uint32_t storeValue(BlockWriter& db, SubnodeIds& ids, HeapBuilder& heap, std::vector<SubnodeEntry>& subnodes,
                         std::string_view value);

}  // namespace store::pst
