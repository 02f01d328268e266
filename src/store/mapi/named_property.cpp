#include "store/mapi/named_property.h"

#include <algorithm>
#include <cstdio>

namespace store::mapi {

std::string Guid::toString() const {
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  bytes[3], bytes[2], bytes[1], bytes[0], bytes[5], bytes[4], bytes[7], bytes[6], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

std::optional<std::uint16_t> NamedPropertyMap::find(const NamedProperty& name) const {
    auto it = std::find(names_.begin(), names_.end(), name);
    if (it == names_.end()) return std::nullopt;
    return static_cast<std::uint16_t>(kFirstNamedId + (it - names_.begin()));
}

std::optional<std::uint16_t> NamedPropertyMap::idOf(const NamedProperty& name) {
    if (auto id = find(name)) return id;
    if (names_.size() >= 0x7FFF) return std::nullopt;
    names_.push_back(name);
    return static_cast<std::uint16_t>(kFirstNamedId + names_.size() - 1);
}

}  // namespace store::mapi
