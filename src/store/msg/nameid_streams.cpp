#include "store/msg/nameid_streams.h"

#include <algorithm>
#include <array>
#include <vector>

#include "store/little_endian.h"

namespace store::msg {

namespace {

constexpr std::uint32_t kHashBuckets = 0x1F;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

}  // namespace

std::uint32_t nameChecksum(std::u16string_view name) {
    std::uint32_t crc = 0;
    const std::string bytes = utf16le(name);
    for (char b : bytes) crc = kCrcTable[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    return crc;
}

NameIdStreams encodeNameIds(const mapi::NamedPropertyMap& names) {
    NameIdStreams out;
    std::vector<mapi::Guid> sets;
    for (std::size_t i = 0; i < names.entries().size(); ++i) {
        const mapi::NamedProperty& name = names.entries()[i];
        // GUID index: 1 for PS_MAPI, 2 for PS_PUBLIC_STRINGS, 3 and up for the GUID stream's entries.
        std::uint32_t guidIndex = 0;
        if (name.guid == mapi::PS_MAPI) {
            guidIndex = 1;
        } else if (name.guid == mapi::PS_PUBLIC_STRINGS) {
            guidIndex = 2;
        } else {
            auto it = std::find(sets.begin(), sets.end(), name.guid);
            if (it == sets.end()) {
                sets.push_back(name.guid);
                out.guids.append(reinterpret_cast<const char*>(name.guid.bytes.data()), 16);
                it = sets.end() - 1;
            }
            guidIndex = 3 + static_cast<std::uint32_t>(it - sets.begin());
        }
        const std::uint32_t kind = name.isString() ? 1 : 0;
        const std::uint32_t indexAndKind = (static_cast<std::uint32_t>(i) << 16) | (guidIndex << 1) | kind;
        std::uint32_t key = name.lid;
        std::uint32_t hashKey = name.lid;
        if (name.isString()) {
            key = static_cast<std::uint32_t>(out.strings.size());  // offset of the name in the string stream
            const std::string text = utf16le(name.name);
            putU32(out.strings, static_cast<std::uint32_t>(text.size()));
            out.strings += text;
            out.strings.resize((out.strings.size() + 3) / 4 * 4, '\0');
            hashKey = nameChecksum(name.name);
        }
        putU32(out.entries, key);
        putU32(out.entries, indexAndKind);
        const auto streamId = static_cast<std::uint16_t>(0x1000 + (hashKey ^ ((guidIndex << 1) | kind)) % kHashBuckets);
        std::string& bucket = out.hashed[streamId];
        putU32(bucket, hashKey);
        putU32(bucket, indexAndKind);
    }
    return out;
}

}  // namespace store::msg
