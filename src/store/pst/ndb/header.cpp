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
    put32(out, kMagic);
    put32(out, 0);  // partial CRC, below
    put16(out, kMagicClient);
    put16(out, kUnicodeVersion);
    put16(out, kClientVersion);
    put8(out, 0x01);  // platform create
    put8(out, 0x01);  // platform access
    put32(out, 0);
    put32(out, 0);
    put64(out, 0);  // bidUnused
    put64(out, nextPageBid);
    put32(out, unique);
    for (std::uint32_t index : nextNidIndex) put32(out, index);
    put64(out, 0);  // qwUnused
    root.encode(out);
    put32(out, 0);  // dwAlign
    for (std::uint8_t v : firstFreeMap) put8(out, v);
    out.append(128, static_cast<char>(0xFF));  // free page map: every page map is full
    put8(out, 0x80);  // sentinel
    put8(out, cryptMethod);
    put16(out, 0);
    put64(out, nextBlockBid);
    put32(out, 0);  // full CRC, below
    out.append(3 + 1 + 32, '\0');
    store32(out.data() + 4, computeCrc(std::string_view(out).substr(8, kPartialCrcLength)));
    store32(out.data() + kFullCrcOffset, computeCrc(std::string_view(out).substr(8, kFullCrcLength)));
    return out;
}

std::optional<Header> Header::decode(std::string_view bytes) {
    if (bytes.size() < kSize) return std::nullopt;
    ByteReader in(bytes);
    if (in.u32() != kMagic) return std::nullopt;
    const std::uint32_t partialCrc = in.u32();
    if (in.u16() != kMagicClient || in.u16() != kUnicodeVersion) return std::nullopt;
    if (computeCrc(bytes.substr(8, kPartialCrcLength)) != partialCrc) return std::nullopt;
    if (computeCrc(bytes.substr(8, kFullCrcLength)) != load32(bytes.data() + kFullCrcOffset)) return std::nullopt;
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
