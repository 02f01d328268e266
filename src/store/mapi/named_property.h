#pragma once
// Named properties: a property set GUID plus a numeric id (LID) or a string name. They get property ids
// from 0x8000 up only when a file is written; NamedPropertyMap hands those ids out, one map per file
// (the MSG writer one per .msg file, the PST writer one per store).
#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mapi/property_types.h"

namespace store::mapi {

// A GUID in its on-disk byte order (Data1, Data2, Data3 little-endian, then the 8 bytes of Data4).
struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    // Parses "00020329-0000-0000-C000-000000000046" (braces allowed); all zero when malformed.
    static constexpr Guid parse(std::string_view text);
    std::string toString() const;  // "{00020329-0000-0000-C000-000000000046}"

    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

namespace detail {
constexpr int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace detail

constexpr Guid Guid::parse(std::string_view text) {
    if (!text.empty() && text.front() == '{') text.remove_prefix(1);
    if (!text.empty() && text.back() == '}') text.remove_suffix(1);
    // Groups 1..3 are stored little-endian, the rest in order.
    std::array<std::uint8_t, 16> digits{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '-') continue;
        if (i + 1 >= text.size() || n >= 16) return {};
        int hi = detail::hexDigit(text[i]);
        int lo = detail::hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return {};
        digits[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        ++i;
    }
    if (n != 16) return {};
    Guid g;
    constexpr std::array<int, 16> order{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = digits[static_cast<std::size_t>(order[i])];
    return g;
}

// Property sets of MS-OXPROPS.
inline constexpr Guid PS_MAPI = Guid::parse("00020328-0000-0000-C000-000000000046");
inline constexpr Guid PS_PUBLIC_STRINGS = Guid::parse("00020329-0000-0000-C000-000000000046");
inline constexpr Guid PS_INTERNET_HEADERS = Guid::parse("00020386-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Common = Guid::parse("00062008-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Address = Guid::parse("00062004-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Appointment = Guid::parse("00062002-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Task = Guid::parse("00062003-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Log = Guid::parse("0006200A-0000-0000-C000-000000000046");
inline constexpr Guid PSETID_Note = Guid::parse("0006200E-0000-0000-C000-000000000046");

enum class NameKind : std::uint8_t { Id = 0, String = 1 };

struct NamedProperty {
    Guid guid;
    NameKind kind = NameKind::Id;
    std::uint32_t lid = 0;     // the numeric name when kind is Id
    std::u16string name;       // the string name when kind is String

    static NamedProperty byId(const Guid& set, std::uint32_t id) { return {set, NameKind::Id, id, {}}; }
    static NamedProperty byName(const Guid& set, std::u16string_view text) {
        return {set, NameKind::String, 0, std::u16string(text)};
    }
    bool isString() const { return kind == NameKind::String; }

    friend auto operator<=>(const NamedProperty&, const NamedProperty&) = default;
    friend bool operator==(const NamedProperty&, const NamedProperty&) = default;
};

// A few named properties of MS-OXPROPS (the type each takes is in the comment).
inline const NamedProperty PidLidSmartNoAttach = NamedProperty::byId(PSETID_Common, 0x8514);        // PT_BOOLEAN
inline const NamedProperty PidLidInternetAccountName = NamedProperty::byId(PSETID_Common, 0x8580);  // PT_UNICODE
inline const NamedProperty PidNameKeywords = NamedProperty::byName(PS_PUBLIC_STRINGS, u"Keywords");  // PT_MV_UNICODE

// Property ids of the named properties of one file: the first name asked for gets 0x8000, the next
// 0x8001 and so on; a name asked for again gets its id again.
class NamedPropertyMap {
public:
    // The id of the name, assigned on first use; nothing when all 0x7FFF ids are taken.
    std::optional<std::uint16_t> idOf(const NamedProperty& name);
    // The id already assigned to the name, if any.
    std::optional<std::uint16_t> find(const NamedProperty& name) const;
    // Names in id order: entries()[i] has the id 0x8000 + i.
    const std::vector<NamedProperty>& entries() const { return names_; }
    bool empty() const { return names_.empty(); }

private:
    std::vector<NamedProperty> names_;
};

}  // namespace store::mapi
