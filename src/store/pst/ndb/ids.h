#pragma once
// Identifiers of the node database: node ids (NID), block ids (BID), byte offsets (IB) and block
// references (BREF), each a small distinct type.
#include <compare>
#include <cstdint>
#include <string>

#include "store/result.h"

namespace store::pst {

// The low five bits of a node id.
enum class NidType : std::uint8_t {
    Hid = 0x00,
    Internal = 0x01,
    NormalFolder = 0x02,
    SearchFolder = 0x03,
    NormalMessage = 0x04,
    Attachment = 0x05,
    SearchUpdateQueue = 0x06,
    SearchCriteriaObject = 0x07,
    AssocMessage = 0x08,
    ContentsTableIndex = 0x0A,
    ReceiveFolderTable = 0x0B,
    OutgoingQueueTable = 0x0C,
    HierarchyTable = 0x0D,
    ContentsTable = 0x0E,
    AssocContentsTable = 0x0F,
    SearchContentsTable = 0x10,
    AttachmentTable = 0x11,
    RecipientTable = 0x12,
    SearchTableIndex = 0x13,
    Ltp = 0x1F,
};

// A node id keeps its index in 27 bits.
inline constexpr std::uint32_t kMaxNidIndex = (1u << 27) - 1;

class Nid {
public:
    constexpr Nid() = default;
    constexpr explicit Nid(std::uint32_t value) : value_(value) {}
    constexpr Nid(NidType type, std::uint32_t index)
        : value_((checked(index) << 5) | static_cast<std::uint32_t>(type)) {}

    constexpr std::uint32_t value() const { return value_; }
    constexpr NidType type() const { return static_cast<NidType>(value_ & 0x1F); }
    constexpr std::uint32_t index() const { return value_ >> 5; }
    constexpr Nid withType(NidType type) const { return Nid(type, index()); }
    constexpr bool isNull() const { return value_ == 0; }

    friend constexpr auto operator<=>(Nid, Nid) = default;

private:
    static constexpr std::uint32_t checked(std::uint32_t index) {
        if (index > kMaxNidIndex)
            throw LimitError("node id index " + std::to_string(index) + " (at most 2^27 - 1)");
        return index;
    }

    std::uint32_t value_ = 0;
};

// Block ids: bit 1 marks internal blocks (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK); data block ids step by 4.
class Bid {
public:
    constexpr Bid() = default;
    constexpr explicit Bid(std::uint64_t value) : value_(value) {}

    constexpr std::uint64_t value() const { return value_; }
    constexpr bool isInternal() const { return (value_ & 0x2) != 0; }
    constexpr bool isNull() const { return value_ == 0; }
    // The id as the block B-tree sorts and looks it up (the reserved low bit cleared).
    constexpr std::uint64_t key() const { return value_ & ~std::uint64_t{1}; }

    friend constexpr auto operator<=>(Bid, Bid) = default;

private:
    std::uint64_t value_ = 0;
};

// An absolute byte offset in the file.
using Ib = std::uint64_t;

struct BlockRef {
    Bid bid;
    Ib ib = 0;
    friend constexpr bool operator==(const BlockRef&, const BlockRef&) = default;
};

// The signature of blocks and B-tree pages, derived from their offset and id.
constexpr std::uint16_t computeSig(Ib ib, std::uint64_t bid) {
    ib ^= bid;
    return static_cast<std::uint16_t>(static_cast<std::uint16_t>(ib >> 16) ^ static_cast<std::uint16_t>(ib));
}

// Well-known node ids of the messaging layer.
namespace nids {
inline constexpr Nid MessageStore{0x21};
inline constexpr Nid NameToIdMap{0x61};
inline constexpr Nid NormalFolderTemplate{0xA1};
inline constexpr Nid SearchFolderTemplate{0xC1};
inline constexpr Nid RootFolder{0x122};
inline constexpr Nid SearchManagementQueue{0x1E1};
inline constexpr Nid SearchActivityList{0x201};
inline constexpr Nid SearchDomainObject{0x261};
inline constexpr Nid SearchGathererQueue{0x281};
inline constexpr Nid SearchGathererDescriptor{0x2A1};
inline constexpr Nid SearchGathererFolderQueue{0x321};
inline constexpr Nid HierarchyTableTemplate{0x60D};
inline constexpr Nid ContentsTableTemplate{0x60E};
inline constexpr Nid AssocContentsTableTemplate{0x60F};
inline constexpr Nid SearchContentsTableTemplate{0x610};
inline constexpr Nid AttachmentTable{0x671};
inline constexpr Nid RecipientTable{0x692};
}  // namespace nids

}  // namespace store::pst
