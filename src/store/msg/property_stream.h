#pragma once
// The property stream ("__properties_version1.0") of one object of a .msg file, and the value streams
// that go beside it: fixed-size values sit in their 16-byte entries; strings, binaries, GUIDs and
// multi-valued properties go to "__substg1.0_TTTTTTTT" streams (a multi-valued string or binary gets a
// length stream plus one "__substg1.0_TTTTTTTT-NNNNNNNN" stream per value).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/mapi/named_property.h"
#include "store/mapi/property_bag.h"

namespace store::msg {

// The header that starts the property stream differs by object.
struct PropertyStreamHeader {
    enum class Kind { TopMessage, EmbeddedMessage, RecipientOrAttachment };
    Kind kind = Kind::RecipientOrAttachment;
    std::uint32_t recipientCount = 0;   // messages only (also the next recipient id)
    std::uint32_t attachmentCount = 0;  // messages only (also the next attachment id)
};

// Receives each value stream (name, bytes); returns false to stop.
using StreamSink = std::function<bool(std::u16string_view name, std::string_view bytes)>;

// Property entry flags: readable and writable.
inline constexpr std::uint32_t kPropertyFlags = 0x00000006;

// Encodes the property stream of `props`, handing each value stream to `sink`; named properties get
// their ids from `names`. Properties of types a .msg file cannot hold (PT_NULL, PT_UNSPECIFIED,
// PT_OBJECT) are left out; PT_OBJECT entries are written by the caller with objectEntry().
// Returns false when the sink refused a stream.
bool encodeProperties(const mapi::PropertyBag& props, const PropertyStreamHeader& header,
                      mapi::NamedPropertyMap& names, const StreamSink& sink, std::string& propertyStream);

// The entry of an embedded message or custom storage (PidTagAttachDataObject): size 0xFFFFFFFF.
std::string objectEntry(mapi::PropTag tag);
// The entry of a 32-bit value.
std::string fixedEntry(mapi::PropTag tag, std::uint32_t value);

// "__substg1.0_0037001F", and with an index "__substg1.0_101F8000-00000002".
std::u16string valueStreamName(mapi::PropTag tag);
std::u16string valueStreamName(mapi::PropTag tag, std::uint32_t index);
// Appends `value` as eight upper-case hexadecimal digits.
void appendHex8(std::u16string& out, std::uint32_t value);

}  // namespace store::msg
