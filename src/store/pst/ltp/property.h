#pragma once
// Property values as the LTP layer stores them: a 32-bit tag (id << 16 | type) and the value's bytes
// in their on-disk form (little-endian numbers, UTF-16LE strings without terminator, the counted
// layout for multi-valued types; for PT_OBJECT the subnode id and size).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/pst/ndb/block.h"
#include "store/pst/ndb/ids.h"

namespace store::pst {

struct Property {
    std::uint32_t tag = 0;
    std::string value;
    std::uint16_t id() const { return static_cast<std::uint16_t>(tag >> 16); }
    std::uint16_t type() const { return static_cast<std::uint16_t>(tag & 0xFFFF); }
    friend bool operator==(const Property&, const Property&) = default;
};

using PropertyList = std::vector<Property>;

// A property whose value lies elsewhere, for writing values without copying them.
struct PropertyView {
    std::uint32_t tag = 0;
    std::string_view value;
    std::uint16_t id() const { return static_cast<std::uint16_t>(tag >> 16); }
    std::uint16_t type() const { return static_cast<std::uint16_t>(tag & 0xFFFF); }
};

namespace ptype {
inline constexpr std::uint16_t Short = 0x0002;
inline constexpr std::uint16_t Long = 0x0003;
inline constexpr std::uint16_t Float = 0x0004;
inline constexpr std::uint16_t Double = 0x0005;
inline constexpr std::uint16_t Currency = 0x0006;
inline constexpr std::uint16_t AppTime = 0x0007;
inline constexpr std::uint16_t Error = 0x000A;
inline constexpr std::uint16_t Boolean = 0x000B;
inline constexpr std::uint16_t Object = 0x000D;
inline constexpr std::uint16_t I8 = 0x0014;
inline constexpr std::uint16_t String8 = 0x001E;
inline constexpr std::uint16_t Unicode = 0x001F;
inline constexpr std::uint16_t SysTime = 0x0040;
inline constexpr std::uint16_t Clsid = 0x0048;
inline constexpr std::uint16_t Binary = 0x0102;
}  // namespace ptype

// Bytes of a value kept inside a property context record (at most 4) or a table row (at most 8);
// 0 for values that live in the heap or a subnode.
std::size_t inlineSizeInPc(std::uint16_t type);
std::size_t cellSize(std::uint16_t type);  // 1, 2, 4 or 8; 4 for values referenced by HNID
bool isCellInline(std::uint16_t type);

const Property* findProperty(const PropertyList& list, std::uint32_t tag);

// Hands out subnode ids, unique within one top-level node and all its nested subnodes.
class SubnodeIds {
public:
    Nid next(NidType type) { return Nid(type, next_++); }

private:
    std::uint32_t next_ = 0x20;
};

// What an LTP structure consists of before its node is written: the heap blocks of its data tree and
// the subnodes (already written) it refers to.
struct NodeContent {
    std::vector<std::string> blocks;
    std::vector<SubnodeEntry> subnodes;
};

}  // namespace store::pst
