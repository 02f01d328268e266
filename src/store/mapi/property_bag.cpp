#include "store/mapi/property_bag.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/codepage.h"
#include "store/little_endian.h"

namespace store::mapi {

namespace {

// The value's little-endian bytes, made in one piece.
template <class Unsigned>
std::string encodeLittleEndian(Unsigned v) {
    char bytes[sizeof v];
    for (std::size_t i = 0; i < sizeof v; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return std::string(bytes, sizeof v);
}

std::string encodeU16(std::uint16_t v) { return encodeLittleEndian(v); }
std::string encodeU32(std::uint32_t v) { return encodeLittleEndian(v); }
std::string encodeU64(std::uint64_t v) { return encodeLittleEndian(v); }

}  // namespace

void PropertyBag::set(Property property) {
    if (mayHold(property.key)) {
        auto it = std::find_if(props_.begin(), props_.end(), [&](const Property& p) { return p.key == property.key; });
        if (it != props_.end()) {
            *it = std::move(property);
            return;
        }
    }
    markHeld(property.key);
    props_.push_back(std::move(property));
}

void PropertyBag::setEncoded(const PropKey& key, PropType type, std::string data) {
    if (mayHold(key)) {
        set(Property{key, type, std::move(data), {}});
        return;
    }
    markHeld(key);  // surely new: made in place
    props_.push_back(Property{key, type, std::move(data), {}});
}

void PropertyBag::setShort(const PropKey& key, std::int16_t value) {
    setEncoded(key, PropType::Short, encodeU16(static_cast<std::uint16_t>(value)));
}

void PropertyBag::setLong(const PropKey& key, std::int32_t value) {
    setEncoded(key, PropType::Long, encodeU32(static_cast<std::uint32_t>(value)));
}

void PropertyBag::setBool(const PropKey& key, bool value) {
    setEncoded(key, PropType::Boolean, std::string(1, value ? '\1' : '\0'));
}

void PropertyBag::setI8(const PropKey& key, std::int64_t value) {
    setEncoded(key, PropType::I8, encodeU64(static_cast<std::uint64_t>(value)));
}

void PropertyBag::setDouble(const PropKey& key, double value) {
    setEncoded(key, PropType::Double, encodeU64(std::bit_cast<std::uint64_t>(value)));
}

void PropertyBag::setTime(const PropKey& key, FileTime value) {
    setEncoded(key, PropType::SysTime, encodeU64(value.ticks));
}

void PropertyBag::setGuid(const PropKey& key, const Guid& value) {
    setEncoded(key, PropType::Clsid, std::string(reinterpret_cast<const char*>(value.bytes.data()), 16));
}

void PropertyBag::setString(const PropKey& key, std::u16string_view value) {
    setEncoded(key, PropType::Unicode, utf16le(value));
}

void PropertyBag::setString8(const PropKey& key, std::string_view value) {
    setEncoded(key, PropType::String8, std::string(value));
}

void PropertyBag::setBinary(const PropKey& key, std::string bytes) {
    setEncoded(key, PropType::Binary, std::move(bytes));
}

void PropertyBag::setMultiLong(const PropKey& key, const std::vector<std::int32_t>& values) {
    Property p{key, PropType::MultiLong, {}, {}};
    for (std::int32_t v : values) p.values.push_back(encodeU32(static_cast<std::uint32_t>(v)));
    set(std::move(p));
}

void PropertyBag::setMultiString(const PropKey& key, const std::vector<std::u16string>& values) {
    Property p{key, PropType::MultiUnicode, {}, {}};
    for (const auto& v : values) p.values.push_back(utf16le(v));
    set(std::move(p));
}

void PropertyBag::setMultiBinary(const PropKey& key, std::vector<std::string> values) {
    set(Property{key, PropType::MultiBinary, {}, std::move(values)});
}

const Property* PropertyBag::find(const PropKey& key) const {
    if (!mayHold(key)) return nullptr;
    auto it = std::find_if(props_.begin(), props_.end(), [&](const Property& p) { return p.key == key; });
    return it == props_.end() ? nullptr : &*it;
}

const Property* PropertyBag::findTyped(const PropKey& key, PropType type) const {
    const Property* p = find(key);
    if (!p || p->type != type) return nullptr;
    if (!isMultiValued(type) && fixedSize(type) > 0 && p->data.size() < fixedSize(type)) return nullptr;
    return p;
}

bool PropertyBag::remove(const PropKey& key) {
    auto it = std::find_if(props_.begin(), props_.end(), [&](const Property& p) { return p.key == key; });
    if (it == props_.end()) return false;
    props_.erase(it);
    return true;
}

std::optional<std::int16_t> PropertyBag::getShort(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Short);
    if (!p) return std::nullopt;
    return static_cast<std::int16_t>(loadU16(p->data.data()));
}

std::optional<std::int32_t> PropertyBag::getLong(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Long);
    if (!p) return std::nullopt;
    return static_cast<std::int32_t>(loadU32(p->data.data()));
}

std::optional<bool> PropertyBag::getBool(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Boolean);
    if (!p) return std::nullopt;
    return p->data[0] != 0;
}

std::optional<std::int64_t> PropertyBag::getI8(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::I8);
    if (!p) return std::nullopt;
    return static_cast<std::int64_t>(loadU64(p->data.data()));
}

std::optional<double> PropertyBag::getDouble(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Double);
    if (!p) return std::nullopt;
    return std::bit_cast<double>(loadU64(p->data.data()));
}

std::optional<FileTime> PropertyBag::getTime(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::SysTime);
    if (!p) return std::nullopt;
    return FileTime{loadU64(p->data.data())};
}

std::optional<Guid> PropertyBag::getGuid(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Clsid);
    if (!p) return std::nullopt;
    Guid g;
    std::memcpy(g.bytes.data(), p->data.data(), 16);
    return g;
}

std::optional<std::u16string> PropertyBag::getString(const PropKey& key) const {
    if (const Property* p = findTyped(key, PropType::Unicode)) return fromUtf16le(p->data);
    if (const Property* p = findTyped(key, PropType::String8)) return platform::ansiToUtf16(p->data);
    return std::nullopt;
}

std::optional<std::string_view> PropertyBag::getBinary(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::Binary);
    if (!p) return std::nullopt;
    return std::string_view(p->data);
}

std::optional<std::vector<std::int32_t>> PropertyBag::getMultiLong(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::MultiLong);
    if (!p) return std::nullopt;
    std::vector<std::int32_t> out;
    for (const auto& v : p->values) {
        if (v.size() >= 4) out.push_back(static_cast<std::int32_t>(loadU32(v.data())));
    }
    return out;
}

std::optional<std::vector<std::u16string>> PropertyBag::getMultiString(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::MultiUnicode);
    if (!p) return std::nullopt;
    std::vector<std::u16string> out;
    for (const auto& v : p->values) out.push_back(fromUtf16le(v));
    return out;
}

std::optional<std::vector<std::string>> PropertyBag::getMultiBinary(const PropKey& key) const {
    const Property* p = findTyped(key, PropType::MultiBinary);
    if (!p) return std::nullopt;
    return p->values;
}

}  // namespace store::mapi
