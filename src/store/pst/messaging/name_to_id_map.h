#pragma once
// The name-to-id map (node 0x61): the named properties of the store with their ids, as a property
// context holding the GUID, entry and string streams and the hash buckets.
#include "store/mapi/named_property.h"
#include "store/pst/ltp/property.h"

namespace store::pst {

PropertyList encodeNameToIdMap(const mapi::NamedPropertyMap& names);

// Rebuilds the map of a store read back; ids the file leaves unused are filled with placeholders so
// that every name keeps its id. False when the streams are malformed.
bool decodeNameToIdMap(const PropertyList& properties, mapi::NamedPropertyMap& names);

}  // namespace store::pst
