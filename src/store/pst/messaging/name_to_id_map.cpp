#include "store/pst/messaging/name_to_id_map.h"

#include <algorithm>
#include <map>

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kBucketCount = 251;
constexpr std::uint32_t kTagBucketCount = 0x00010003;
constexpr std::uint32_t kTagGuidStream = 0x00020102;
constexpr std::uint32_t kTagEntryStream = 0x00030102;
constexpr std::uint32_t kTagStringStream = 0x00040102;
constexpr std::uint16_t kFirstBucketId = 0x1000;
constexpr std::uint16_t kGuidMapi = 1;
constexpr std::uint16_t kGuidPublicStrings = 2;
constexpr std::uint16_t kFirstStreamGuid = 3;

std::string guidBytes(const mapi::Guid& g) { return std::string(reinterpret_cast<const char*>(g.bytes.data()), 16); }

std::string utf16(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) putU16(out, static_cast<std::uint16_t>(c));
    return out;
}

}  // namespace

PropertyList encodeNameToIdMap(const mapi::NamedPropertyMap& names) {
    std::string guids, entries, strings;
    std::map<mapi::Guid, std::uint16_t> guidIndex;
    std::vector<std::string> buckets(kBucketCount);
    std::uint16_t propIndex = 0;
    for (const mapi::NamedProperty& name : names.entries()) {
        std::uint16_t guid = 0;
        if (name.guid == mapi::PS_MAPI) {
            guid = kGuidMapi;
        } else if (name.guid == mapi::PS_PUBLIC_STRINGS) {
            guid = kGuidPublicStrings;
        } else {
            auto [it, added] = guidIndex.try_emplace(name.guid, static_cast<std::uint16_t>(kFirstStreamGuid + guidIndex.size()));
            if (added) guids += guidBytes(name.guid);
            guid = it->second;
        }
        const std::uint16_t kind = name.isString() ? 1 : 0;
        const std::uint16_t guidAndKind = static_cast<std::uint16_t>((guid << 1) | kind);
        std::uint32_t key = name.lid;
        std::uint32_t hashKey = name.lid;
        if (name.isString()) {
            const std::string text = utf16(name.name);
            key = static_cast<std::uint32_t>(strings.size());
            putU32(strings, static_cast<std::uint32_t>(text.size()));
            strings += text;
            while (strings.size() % 4) strings.push_back('\0');
            hashKey = computeCrc(text);
        }
        putU32(entries, key);
        putU16(entries, guidAndKind);
        putU16(entries, propIndex);
        std::string& bucket = buckets[(hashKey ^ guidAndKind) % kBucketCount];
        putU32(bucket, hashKey);
        putU16(bucket, guidAndKind);
        putU16(bucket, propIndex);
        ++propIndex;
    }
    PropertyList props;
    std::string count;
    putU32(count, kBucketCount);
    props.push_back({kTagBucketCount, count});
    props.push_back({kTagGuidStream, guids});
    props.push_back({kTagEntryStream, entries});
    props.push_back({kTagStringStream, strings});
    for (std::uint32_t i = 0; i < kBucketCount; ++i)
        if (!buckets[i].empty())
            props.push_back({(static_cast<std::uint32_t>(kFirstBucketId + i) << 16) | 0x0102, buckets[i]});
    return props;
}

bool decodeNameToIdMap(const PropertyList& properties, mapi::NamedPropertyMap& names) {
    const Property* guids = findProperty(properties, kTagGuidStream);
    const Property* entries = findProperty(properties, kTagEntryStream);
    const Property* strings = findProperty(properties, kTagStringStream);
    if (!entries) return true;
    if (entries->value.size() % 8) return false;
    std::map<std::uint16_t, mapi::NamedProperty> byIndex;
    for (std::size_t pos = 0; pos < entries->value.size(); pos += 8) {
        const char* e = entries->value.data() + pos;
        const std::uint32_t key = loadU32(e);
        const std::uint16_t guidAndKind = loadU16(e + 4);
        const std::uint16_t index = loadU16(e + 6);
        const std::uint16_t guid = guidAndKind >> 1;
        mapi::NamedProperty name;
        if (guid == kGuidMapi) {
            name.guid = mapi::PS_MAPI;
        } else if (guid == kGuidPublicStrings) {
            name.guid = mapi::PS_PUBLIC_STRINGS;
        } else {
            const std::size_t at = static_cast<std::size_t>(guid - kFirstStreamGuid) * 16;
            if (guid < kFirstStreamGuid || !guids || at + 16 > guids->value.size()) return false;
            std::copy_n(guids->value.data() + at, 16, reinterpret_cast<char*>(name.guid.bytes.data()));
        }
        if (guidAndKind & 1) {
            if (!strings || static_cast<std::size_t>(key) + 4 > strings->value.size()) return false;
            const std::uint32_t length = loadU32(strings->value.data() + key);
            if (length > strings->value.size() - key - 4) return false;
            name.kind = mapi::NameKind::String;
            for (std::uint32_t i = 0; i + 1 < length; i += 2)
                name.name.push_back(static_cast<char16_t>(loadU16(strings->value.data() + key + 4 + i)));
        } else {
            name.lid = key;
        }
        byIndex[index] = name;
    }
    std::uint16_t next = 0;
    for (const auto& [index, name] : byIndex) {
        // A name no file uses (the null property set) holds each id the file leaves out.
        for (; next < index; ++next)
            names.idOf(mapi::NamedProperty::byId(mapi::Guid{}, next));
        names.idOf(name);
        next = static_cast<std::uint16_t>(index + 1);
    }
    return true;
}

}  // namespace store::pst
