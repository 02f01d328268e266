#pragma once
// Property bags of the message model as PST property lists: named properties get the store's ids,
// multi-valued properties their counted layout.
#include <functional>
#include <optional>

#include "store/mapi/named_property.h"
#include "store/mapi/property_bag.h"
#include "store/pst/ltp/property.h"

namespace store::pst {

// The id a named property is stored under, from the store's map; empty when no id is left.
using NamedIds = std::function<std::optional<std::uint16_t>(const mapi::NamedProperty&)>;

// Every property of the bag except PT_OBJECT values (embedded messages are written as subnodes) and
// named properties for which no id is left.
PropertyList toPstProperties(const mapi::PropertyBag& bag, const NamedIds& names);

// The tag a property is stored under: named properties get the store's id. Empty for PT_OBJECT and
// valueless types, and for a named property for which no id is left.
std::optional<std::uint32_t> storedTag(const mapi::Property& property, const NamedIds& names);

// The on-disk value of a multi-valued property from its elements.
std::string encodeMultiValue(mapi::PropType type, const std::vector<std::string>& values);

}  // namespace store::pst
