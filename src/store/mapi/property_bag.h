#pragma once
// The properties of one MAPI object. Each property is keyed by its id (or, for a named property, by its
// name) and holds one type; setting a property replaces any earlier value of the same key. Values are
// kept in their little-endian on-disk encoding so that the file writers copy them as they are:
//   PT_SHORT 2 bytes, PT_LONG/PT_FLOAT/PT_ERROR 4, PT_BOOLEAN 1 (0 or 1), PT_DOUBLE/PT_CURRENCY/
//   PT_APPTIME/PT_I8/PT_SYSTIME 8, PT_CLSID 16 (Guid::bytes), PT_UNICODE UTF-16LE and PT_STRING8 bytes
//   (both without terminator), PT_BINARY the bytes themselves.
// A multi-valued property keeps each element, encoded as its element type, in `values`.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mapi/filetime.h"
#include "store/mapi/named_property.h"
#include "store/mapi/property_types.h"

namespace store::mapi {

// Which property: an ordinary id (taken from a tag, whose type is ignored) or a named property. The
// name is shared between copies, so that an ordinary key stays small (a message with many recipients
// holds many of them).
class PropKey {
public:
    PropKey(PropTag tag) : id_(tag.id()) {}                          // NOLINT: implicit on purpose
    PropKey(const NamedProperty& name) : name_(std::make_shared<const NamedProperty>(name)) {}  // NOLINT: implicit on purpose

    bool isNamed() const { return name_ != nullptr; }
    std::uint16_t id() const { return id_; }                   // 0 for a named property
    const NamedProperty& name() const { return *name_; }       // only when isNamed()

    friend bool operator==(const PropKey& a, const PropKey& b) {
        if (a.id_ != b.id_ || a.isNamed() != b.isNamed()) return false;
        return !a.isNamed() || a.name_ == b.name_ || *a.name_ == *b.name_;
    }

private:
    std::uint16_t id_ = 0;
    std::shared_ptr<const NamedProperty> name_;
};

struct Property {
    PropKey key;
    PropType type = PropType::Unspecified;
    std::string data;                 // the encoded value of a single-valued property
    std::vector<std::string> values;  // the encoded elements of a multi-valued property

    // The tag of an ordinary property; a named property's tag needs its file's NamedPropertyMap.
    PropTag tag() const { return PropTag(key.id(), type); }
};

class PropertyBag {
public:
    void setShort(const PropKey& key, std::int16_t value);
    void setLong(const PropKey& key, std::int32_t value);
    void setBool(const PropKey& key, bool value);
    void setI8(const PropKey& key, std::int64_t value);
    void setDouble(const PropKey& key, double value);
    void setTime(const PropKey& key, FileTime value);
    void setGuid(const PropKey& key, const Guid& value);
    void setString(const PropKey& key, std::u16string_view value);   // PT_UNICODE
    void setString8(const PropKey& key, std::string_view value);     // PT_STRING8
    void setBinary(const PropKey& key, std::string bytes);           // PT_BINARY
    void setMultiLong(const PropKey& key, const std::vector<std::int32_t>& values);
    void setMultiString(const PropKey& key, const std::vector<std::u16string>& values);
    void setMultiBinary(const PropKey& key, std::vector<std::string> values);
    // Any type, already encoded as described above.
    void set(Property property);
    // Room for this many properties, for a caller that knows about how many it sets.
    void reserve(std::size_t count) { props_.reserve(count); }

    // Each getter answers only for a property of its own type (getString also reads PT_STRING8 as
    // Windows-1252/the ANSI code page); nothing when the property is absent or of another type.
    std::optional<std::int16_t> getShort(const PropKey& key) const;
    std::optional<std::int32_t> getLong(const PropKey& key) const;
    std::optional<bool> getBool(const PropKey& key) const;
    std::optional<std::int64_t> getI8(const PropKey& key) const;
    std::optional<double> getDouble(const PropKey& key) const;
    std::optional<FileTime> getTime(const PropKey& key) const;
    std::optional<Guid> getGuid(const PropKey& key) const;
    std::optional<std::u16string> getString(const PropKey& key) const;
    std::optional<std::string_view> getBinary(const PropKey& key) const;   // valid until the bag changes
    std::optional<std::vector<std::int32_t>> getMultiLong(const PropKey& key) const;
    std::optional<std::vector<std::u16string>> getMultiString(const PropKey& key) const;
    std::optional<std::vector<std::string>> getMultiBinary(const PropKey& key) const;

    const Property* find(const PropKey& key) const;
    bool has(const PropKey& key) const { return find(key) != nullptr; }
    bool remove(const PropKey& key);

    // Properties in the order they were first set.
    const std::vector<Property>& properties() const { return props_; }
    std::size_t size() const { return props_.size(); }
    bool empty() const { return props_.empty(); }

private:
    const Property* findTyped(const PropKey& key, PropType type) const;
    void setEncoded(const PropKey& key, PropType type, std::string data);
    // A bit per key (shared by keys that hash alike): a key whose bit is clear is not in the bag, so
    // setting a new property or asking for an absent one needs no search.
    static std::size_t keyBit(const PropKey& key) { return (key.id() ^ (key.id() >> 8)) & 0xFF; }
    bool mayHold(const PropKey& key) const {
        const std::size_t bit = keyBit(key);
        return ((keyBits_[bit / 64] >> (bit % 64)) & 1) != 0;
    }
    void markHeld(const PropKey& key) {
        const std::size_t bit = keyBit(key);
        keyBits_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }

    std::vector<Property> props_;
    std::array<std::uint64_t, 4> keyBits_{};  // set for each key ever added; removal leaves it set
};

}  // namespace store::mapi
