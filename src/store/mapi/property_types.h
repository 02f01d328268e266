#pragma once
// MAPI property types and tags. A tag is the 16-bit property id in the high half and the 16-bit type in
// the low half (PidTagSubject = 0x0037001F: id 0x0037, type PT_UNICODE). Ids from 0x8000 up belong to
// named properties and are assigned per file by the writers (see named_property.h).
#include <cstddef>
#include <cstdint>

namespace store::mapi {

enum class PropType : std::uint16_t {
    Unspecified = 0x0000,
    Null = 0x0001,
    Short = 0x0002,      // PT_SHORT, PT_I2
    Long = 0x0003,       // PT_LONG, PT_I4
    Float = 0x0004,      // PT_FLOAT, PT_R4
    Double = 0x0005,     // PT_DOUBLE
    Currency = 0x0006,   // PT_CURRENCY, 64-bit scaled integer
    AppTime = 0x0007,    // PT_APPTIME, a double
    Error = 0x000A,      // PT_ERROR, 32-bit code
    Boolean = 0x000B,    // PT_BOOLEAN
    Object = 0x000D,     // PT_OBJECT: embedded message or storage, held by the model, not as a value
    I8 = 0x0014,         // PT_I8, PT_LONGLONG
    String8 = 0x001E,    // PT_STRING8, 8-bit text of the message code page
    Unicode = 0x001F,    // PT_UNICODE, UTF-16LE
    SysTime = 0x0040,    // PT_SYSTIME, FILETIME
    Clsid = 0x0048,      // PT_CLSID, a GUID
    ServerId = 0x00FB,   // PT_SVREID
    Binary = 0x0102,     // PT_BINARY
    MultiShort = 0x1002,
    MultiLong = 0x1003,
    MultiFloat = 0x1004,
    MultiDouble = 0x1005,
    MultiCurrency = 0x1006,
    MultiAppTime = 0x1007,
    MultiI8 = 0x1014,
    MultiString8 = 0x101E,
    MultiUnicode = 0x101F,
    MultiSysTime = 0x1040,
    MultiClsid = 0x1048,
    MultiBinary = 0x1102,
};

// Usual MAPI spellings of the type names.
inline constexpr PropType PT_SHORT = PropType::Short;
inline constexpr PropType PT_LONG = PropType::Long;
inline constexpr PropType PT_FLOAT = PropType::Float;
inline constexpr PropType PT_DOUBLE = PropType::Double;
inline constexpr PropType PT_CURRENCY = PropType::Currency;
inline constexpr PropType PT_APPTIME = PropType::AppTime;
inline constexpr PropType PT_ERROR = PropType::Error;
inline constexpr PropType PT_BOOLEAN = PropType::Boolean;
inline constexpr PropType PT_OBJECT = PropType::Object;
inline constexpr PropType PT_I8 = PropType::I8;
inline constexpr PropType PT_STRING8 = PropType::String8;
inline constexpr PropType PT_UNICODE = PropType::Unicode;
inline constexpr PropType PT_SYSTIME = PropType::SysTime;
inline constexpr PropType PT_CLSID = PropType::Clsid;
inline constexpr PropType PT_BINARY = PropType::Binary;
inline constexpr PropType PT_MV_LONG = PropType::MultiLong;
inline constexpr PropType PT_MV_UNICODE = PropType::MultiUnicode;
inline constexpr PropType PT_MV_STRING8 = PropType::MultiString8;
inline constexpr PropType PT_MV_BINARY = PropType::MultiBinary;

inline constexpr std::uint16_t kMultiValuedFlag = 0x1000;
inline constexpr std::uint16_t kFirstNamedId = 0x8000;

constexpr bool isMultiValued(PropType t) { return (static_cast<std::uint16_t>(t) & kMultiValuedFlag) != 0; }

// The type of one element of a multi-valued type; a single-valued type is returned unchanged.
constexpr PropType elementType(PropType t) {
    return static_cast<PropType>(static_cast<std::uint16_t>(t) & ~kMultiValuedFlag);
}

constexpr PropType multiValuedOf(PropType t) {
    return static_cast<PropType>(static_cast<std::uint16_t>(t) | kMultiValuedFlag);
}

// Byte size of one value of a fixed-size (single) type; 0 for the variable-size types (strings, binary,
// object, server id) and for multi-valued types.
constexpr std::size_t fixedSize(PropType t) {
    switch (t) {
    case PropType::Null: return 0;
    case PropType::Short: return 2;
    case PropType::Long: case PropType::Float: case PropType::Error: return 4;
    case PropType::Boolean: return 1;
    case PropType::Double: case PropType::Currency: case PropType::AppTime: case PropType::I8:
    case PropType::SysTime: return 8;
    case PropType::Clsid: return 16;
    default: return 0;
    }
}

// True for the single-valued types whose values fit the 8-byte value slot of a property entry.
constexpr bool isFixedSize(PropType t) {
    return !isMultiValued(t) && t != PropType::Clsid && fixedSize(t) > 0;
}

class PropTag {
public:
    constexpr PropTag() = default;
    constexpr explicit PropTag(std::uint32_t value) : value_(value) {}
    constexpr PropTag(std::uint16_t id, PropType type)
        : value_((static_cast<std::uint32_t>(id) << 16) | static_cast<std::uint16_t>(type)) {}

    constexpr std::uint32_t value() const { return value_; }
    constexpr std::uint16_t id() const { return static_cast<std::uint16_t>(value_ >> 16); }
    constexpr PropType type() const { return static_cast<PropType>(value_ & 0xFFFF); }
    constexpr PropTag withType(PropType t) const { return PropTag(id(), t); }
    constexpr bool isNamedRange() const { return id() >= kFirstNamedId; }

    friend constexpr bool operator==(PropTag, PropTag) = default;

private:
    std::uint32_t value_ = 0;
};

}  // namespace store::mapi
