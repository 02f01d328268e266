#include "store/pst/ndb/header.h"

#include "store/pst/ndb/bytes.h"
#include "store/pst/ndb/crc.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kMagic = 0x4E444221;  // "!BDN"
constexpr std::uint16_t kMagicClient = 0x4D53;  // "SM"
constexpr std::uint16_t kClientVersion = 19;
constexpr std::size_t kPartialCrcLength = 471;
constexpr std::size_t kFullCrcLength = 516;
constexpr std::size_t kFullCrcOffset = 524;

}  // namespace

std::string Header::encode() const {
    std::string out;
    out.reserve(kSize);
    putU32(out, kMagic);
    putU32(out, 0);  // partial CRC, below
    putU16(out, kMagicClient);
    putU16(out, kUnicodeVersion);
    putU16(out, kClientVersion);
    put8(out, 0x01);  // platform create
    put8(out, 0x01);  // platform access
    putU32(out, 0);
    putU32(out, 0);
    putU64(out, 0);  // bidUnused
    putU64(out, nextPageBid);
    putU32(out, unique);
    for (std::uint32_t index : nextNidIndex) putU32(out, index);
    putU64(out, 0);  // qwUnused
    root.encode(out);
    putU32(out, 0);  // dwAlign
    for (std::uint8_t v : firstFreeMap) put8(out, v);
    out.append(128, static_cast<char>(0xFF));  // free page map: every page map is full
    put8(out, 0x80);  // sentinel
    put8(out, cryptMethod);
    putU16(out, 0);
    putU64(out, nextBlockBid);
    putU32(out, 0);  // full CRC, below
    out.append(3 + 1 + 32, '\0');
    storeU32(out.data() + 4, computeCrc(std::string_view(out).substr(8, kPartialCrcLength)));
    storeU32(out.data() + kFullCrcOffset, computeCrc(std::string_view(out).substr(8, kFullCrcLength)));
    return out;
}

std::optional<Header> Header::decode(std::string_view bytes) {
    if (bytes.size() < kSize) return std::nullopt;
    ByteReader in(bytes);
    if (in.u32() != kMagic) return std::nullopt;
    const std::uint32_t partialCrc = in.u32();
    if (in.u16() != kMagicClient || in.u16() != kUnicodeVersion) return std::nullopt;
    if (computeCrc(bytes.substr(8, kPartialCrcLength)) != partialCrc) return std::nullopt;
    if (computeCrc(bytes.substr(8, kFullCrcLength)) != loadU32(bytes.data() + kFullCrcOffset)) return std::nullopt;
    Header header;
    in = ByteReader(bytes, 32);
    header.nextPageBid = in.u64();
    header.unique = in.u32();
    for (std::uint32_t& index : header.nextNidIndex) index = in.u32();
    in.skip(8);
    header.root = Root::decode(in.bytes(Root::kSize));
    in.skip(4);
    for (std::uint8_t& v : header.firstFreeMap) v = in.u8();
    in.skip(128 + 1);
    header.cryptMethod = in.u8();
    in.skip(2);
    header.nextBlockBid = in.u64();
    return header;
}

}  // namespace store::pst
