#pragma once
// Entry ids of the objects of a PST: four flag bytes, the store's record key (its provider id) and
// the node id.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/pst/ndb/ids.h"

namespace store::pst {

using StoreUid = std::array<std::uint8_t, 16>;

std::string makeEntryId(const StoreUid& store, Nid nid);
// The node id of an entry id of this store; empty for other stores or malformed ids.
std::optional<Nid> nidOfEntryId(const StoreUid& store, std::string_view entryId);

// A one-off recipient entry id (an address not in any address book), for recipients without one.
std::string makeOneOffEntryId(std::u16string_view displayName, std::u16string_view addressType,
                              std::u16string_view address);

}  // namespace store::pst
