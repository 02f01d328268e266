#pragma once
// The streams of the named property mapping storage ("__nameid_version1.0") of a .msg file: the GUID
// stream (property sets other than PS_MAPI and PS_PUBLIC_STRINGS), the entry stream (one 8-byte entry
// per named property, in id order from 0x8000), the string stream (the string names) and the hashed
// "__substg1.0_10XX0102" streams that map names back to ids.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "store/mapi/named_property.h"

namespace store::msg {

struct NameIdStreams {
    std::string guids;                             // __substg1.0_00020102
    std::string entries;                           // __substg1.0_00030102
    std::string strings;                           // __substg1.0_00040102
    std::map<std::uint16_t, std::string> hashed;   // stream id (0x1000..0x101E) -> entries
};

NameIdStreams encodeNameIds(const mapi::NamedPropertyMap& names);

// The checksum that files its string name in the hashed streams: CRC-32 of the UTF-16LE name,
// started at 0 and not inverted at the end.
std::uint32_t nameChecksum(std::u16string_view name);

}  // namespace store::msg
