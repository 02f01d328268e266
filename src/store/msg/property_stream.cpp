#include "store/msg/property_stream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "store/little_endian.h"

namespace store::msg {

using mapi::PropTag;
using mapi::PropType;

namespace {

std::string headerBytes(const PropertyStreamHeader& header) {
    std::string out(8, '\0');
    if (header.kind == PropertyStreamHeader::Kind::RecipientOrAttachment) return out;
    putU32(out, header.recipientCount);   // next recipient id
    putU32(out, header.attachmentCount);  // next attachment id
    putU32(out, header.recipientCount);
    putU32(out, header.attachmentCount);
    if (header.kind == PropertyStreamHeader::Kind::TopMessage) out.append(8, '\0');
    return out;
}

// One 16-byte entry: tag, flags, then 8 bytes of value (or size) in one append.
void putEntry(std::string& out, PropTag tag, std::string_view value) {
    char entry[16] = {};
    storeU32(entry, tag.value());
    storeU32(entry + 4, kPropertyFlags);
    std::memcpy(entry + 8, value.data(), std::min<std::size_t>(value.size(), 8));
    out.append(entry, sizeof entry);
}

void putEntry(std::string& out, PropTag tag, std::uint32_t size) {
    char value[4];
    storeU32(value, size);
    putEntry(out, tag, std::string_view(value, sizeof value));
}

// A value stream's name built in place, without an allocation: "__substg1.0_" and the tag in hex, and
// for one value of a multi-valued property "-" and its index in hex.
class ValueStreamName {
public:
    explicit ValueStreamName(PropTag tag) {
        for (char16_t c : std::u16string_view(u"__substg1.0_")) units_[size_++] = c;
        appendHex(tag.value());
    }
    ValueStreamName(PropTag tag, std::uint32_t index) : ValueStreamName(tag) {
        units_[size_++] = u'-';
        appendHex(index);
    }
    operator std::u16string_view() const { return {units_.data(), size_}; }

private:
    void appendHex(std::uint32_t value) {
        static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
        for (int shift = 28; shift >= 0; shift -= 4) units_[size_++] = kDigits[(value >> shift) & 15];
    }
    std::array<char16_t, 32> units_{};
    std::size_t size_ = 0;
};

bool isVariableElement(PropType t) {
    return t == PropType::Unicode || t == PropType::String8 || t == PropType::Binary || t == PropType::ServerId;
}

// A single value kept in a stream of its own.
bool writeVariable(const mapi::Property& p, PropTag tag, const StreamSink& sink, std::string& out) {
    std::uint32_t size = static_cast<std::uint32_t>(p.data.size());
    if (p.type == PropType::Unicode) size += 2;       // the size counts the terminator the stream leaves out
    if (p.type == PropType::String8) size += 1;
    if (!sink(ValueStreamName(tag), p.data)) return false;
    putEntry(out, tag, size);
    return true;
}

// Multi-valued fixed-size values: one stream holding them one after another.
bool writeMultiFixed(const mapi::Property& p, PropTag tag, const StreamSink& sink, std::string& out) {
    const std::size_t width = mapi::fixedSize(mapi::elementType(p.type));
    std::string stream;
    for (const auto& v : p.values) {
        std::string value = v.substr(0, width);
        value.resize(width, '\0');
        stream += value;
    }
    if (!sink(ValueStreamName(tag), stream)) return false;
    putEntry(out, tag, static_cast<std::uint32_t>(stream.size()));
    return true;
}

// Multi-valued strings and binaries: a length stream, then one stream per value. String values are
// stored with their terminator and their lengths count it.
bool writeMultiVariable(const mapi::Property& p, PropTag tag, const StreamSink& sink, std::string& out) {
    const PropType element = mapi::elementType(p.type);
    std::string lengths;
    for (std::uint32_t i = 0; i < p.values.size(); ++i) {
        std::string value = p.values[i];
        if (element == PropType::Unicode) value.append(2, '\0');
        if (element == PropType::String8) value.push_back('\0');
        putU32(lengths, static_cast<std::uint32_t>(value.size()));
        if (element != PropType::Unicode && element != PropType::String8) putU32(lengths, 0);
        if (!sink(ValueStreamName(tag, i), value)) return false;
    }
    if (!sink(ValueStreamName(tag), lengths)) return false;
    putEntry(out, tag, static_cast<std::uint32_t>(lengths.size()));
    return true;
}

}  // namespace

void appendHex8(std::u16string& out, std::uint32_t value) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 15]);
}

std::u16string valueStreamName(PropTag tag) { return std::u16string(std::u16string_view(ValueStreamName(tag))); }

std::u16string valueStreamName(PropTag tag, std::uint32_t index) {
    return std::u16string(std::u16string_view(ValueStreamName(tag, index)));
}

std::string objectEntry(PropTag tag) {
    std::string out;
    putEntry(out, tag, 0xFFFFFFFF);
    return out;
}

std::string fixedEntry(PropTag tag, std::uint32_t value) {
    std::string out;
    putEntry(out, tag, value);
    return out;
}

bool encodeProperties(const mapi::PropertyBag& props, const PropertyStreamHeader& header,
                      mapi::NamedPropertyMap& names, const StreamSink& sink, std::string& propertyStream) {
    propertyStream = headerBytes(header);
    propertyStream.reserve(propertyStream.size() + 16 * props.properties().size() + 16);
    for (const auto& p : props.properties()) {
        if (p.type == PropType::Null || p.type == PropType::Unspecified || p.type == PropType::Object) continue;
        std::uint16_t id = p.key.id();
        if (p.key.isNamed()) {
            auto named = names.idOf(p.key.name());
            if (!named) continue;  // no ids left in this file
            id = *named;
        }
        const PropTag tag(id, p.type);
        bool ok = true;
        if (mapi::isFixedSize(p.type)) {
            putEntry(propertyStream, tag, std::string_view(p.data));
        } else if (!mapi::isMultiValued(p.type)) {
            ok = writeVariable(p, tag, sink, propertyStream);
        } else if (isVariableElement(mapi::elementType(p.type))) {
            ok = writeMultiVariable(p, tag, sink, propertyStream);
        } else {
            ok = writeMultiFixed(p, tag, sink, propertyStream);
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace store::msg
