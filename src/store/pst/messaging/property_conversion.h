#pragma once
// Property bags of the message model as PST property lists: named properties get the store's ids,
// multi-valued properties their counted layout.
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
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

// A bag's properties as toPstProperties gives them, as views of the bag's values (which are not
// copied, and must outlive this); values made here (multi-valued layouts, values set later) are kept
// here. Moving keeps the views valid; copying is not possible.
class PstProperties {
public:
    PstProperties() = default;
    PstProperties(PstProperties&&) = default;
    PstProperties& operator=(PstProperties&&) = default;
    PstProperties(const PstProperties&) = delete;
    PstProperties& operator=(const PstProperties&) = delete;

    const std::vector<PropertyView>& views() const { return views_; }
    const PropertyView* find(std::uint32_t tag) const;
    void addView(std::uint32_t tag, std::string_view value) { views_.push_back({tag, value}); }
    void add(std::uint32_t tag, std::string value);
    // Replaces the value of the property with the tag's id where it is, or adds it at the end.
    void set(std::uint32_t tag, std::string value);
    // Replaces the value of a property of views().
    void replace(const PropertyView& property, std::string value);

private:
    std::string_view keep(std::string value);

    std::vector<PropertyView> views_;
    std::deque<std::string> owned_;  // element addresses stay put as it grows and when it moves
};
PstProperties viewPstProperties(const mapi::PropertyBag& bag, const NamedIds& names);

// The tag a property is stored under: named properties get the store's id. Empty for PT_OBJECT and
// valueless types, and for a named property for which no id is left.
std::optional<std::uint32_t> storedTag(const mapi::Property& property, const NamedIds& names);

// The on-disk value of a multi-valued property from its elements.
std::string encodeMultiValue(mapi::PropType type, const std::vector<std::string>& values);

}  // namespace store::pst
