#include "store/pst/messaging/entry_id.h"

#include <algorithm>

#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

// The provider id of one-off entry ids.
constexpr std::array<std::uint8_t, 16> kOneOffProvider = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                          0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

void appendTerminated(std::string& out, std::u16string_view text) {
    for (char16_t c : text) putU16(out, static_cast<std::uint16_t>(c));
    putU16(out, 0);
}

}  // namespace

std::string makeEntryId(const StoreUid& store, Nid nid) {
    std::string out;
    putU32(out, 0);
    out.append(reinterpret_cast<const char*>(store.data()), store.size());
    putU32(out, nid.value());
    return out;
}

std::optional<Nid> nidOfEntryId(const StoreUid& store, std::string_view entryId) {
    if (entryId.size() != 24) return std::nullopt;
    if (!std::equal(store.begin(), store.end(), reinterpret_cast<const std::uint8_t*>(entryId.data() + 4)))
        return std::nullopt;
    return Nid(loadU32(entryId.data() + 20));
}

std::string makeOneOffEntryId(std::u16string_view displayName, std::u16string_view addressType,
                              std::u16string_view address) {
    std::string out;
    putU32(out, 0);
    out.append(reinterpret_cast<const char*>(kOneOffProvider.data()), kOneOffProvider.size());
    putU16(out, 0);                 // version
    put8(out, 0x01);               // no rich text
    put8(out, 0x90);               // Unicode strings, no lookup
    appendTerminated(out, displayName);
    appendTerminated(out, addressType);
    appendTerminated(out, address);
    return out;
}

}  // namespace store::pst
