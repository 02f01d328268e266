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

std::string_view PstProperties::keep(std::string value) { return owned_.emplace_back(std::move(value)); }

const PropertyView* PstProperties::find(std::uint32_t tag) const {
    for (const PropertyView& p : views_)
        if (p.tag == tag) return &p;
    return nullptr;
}

void PstProperties::add(std::uint32_t tag, std::string value) { views_.push_back({tag, keep(std::move(value))}); }

void PstProperties::set(std::uint32_t tag, std::string value) {
    for (PropertyView& p : views_)
        if (p.id() == (tag >> 16)) {
            p = {tag, keep(std::move(value))};
            return;
        }
    add(tag, std::move(value));
}

void PstProperties::replace(const PropertyView& property, std::string value) {
    views_.at(static_cast<std::size_t>(&property - views_.data())).value = keep(std::move(value));
}

PstProperties viewPstProperties(const mapi::PropertyBag& bag, const NamedIds& names) {
    PstProperties out;
    for (const mapi::Property& p : bag.properties()) {
        const auto tag = storedTag(p, names);
        if (!tag) continue;
        if (mapi::isMultiValued(p.type))
            out.add(*tag, encodeMultiValue(p.type, p.values));
        else
            out.addView(*tag, p.data);
    }
    return out;
}

}  // namespace store::pst
