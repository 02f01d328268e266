#include "store/pst/messaging/property_conversion.h"

#include "store/pst/ndb/bytes.h"

namespace store::pst {

std::string encodeMultiValue(mapi::PropType type, const std::vector<std::string>& values) {
    std::string out;
    if (mapi::fixedSize(mapi::elementType(type)) > 0) {
        for (const std::string& v : values) out += v;
        return out;
    }
    putU32(out, static_cast<std::uint32_t>(values.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(4 + 4 * values.size());
    for (const std::string& v : values) {
        putU32(out, offset);
        offset += static_cast<std::uint32_t>(v.size());
    }
    for (const std::string& v : values) out += v;
    return out;
}

std::optional<std::uint32_t> storedTag(const mapi::Property& p, const NamedIds& names) {
    if (p.type == mapi::PropType::Object || p.type == mapi::PropType::Unspecified ||
        p.type == mapi::PropType::Null)
        return std::nullopt;
    std::uint16_t id = p.key.id();
    if (p.key.isNamed()) {
        const auto named = names(p.key.name());
        if (!named) return std::nullopt;
        id = *named;
    }
    return (static_cast<std::uint32_t>(id) << 16) | static_cast<std::uint16_t>(p.type);
}

PropertyList toPstProperties(const mapi::PropertyBag& bag, const NamedIds& names) {
    PropertyList out;
    out.reserve(bag.size());
    for (const mapi::Property& p : bag.properties()) {
        const auto tag = storedTag(p, names);
        if (!tag) continue;
        out.push_back({*tag, mapi::isMultiValued(p.type) ? encodeMultiValue(p.type, p.values) : p.data});
    }
    return out;
}

}  // namespace store::pst
