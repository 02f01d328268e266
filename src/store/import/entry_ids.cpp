#include "store/import/entry_ids.h"

#include "platform/codepage.h"
#include "store/little_endian.h"

namespace store::import {
namespace {

// MAPI_ONE_OFF_UID.
constexpr unsigned char kOneOffProvider[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                               0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
// Unicode strings (0x8000), plain text format (0x1000), no rich information (0x0001).
constexpr std::uint16_t kOneOffFlags = 0x9001;

void putUtf16z(std::string& out, std::u16string_view text) {
    for (char16_t c : text) putU16(out, static_cast<std::uint16_t>(c));
    putU16(out, 0);
}

}  // namespace

std::string oneOffEntryId(std::u16string_view displayName, std::u16string_view addressType, std::u16string_view address) {
    std::string out;
    putU32(out, 0);
    out.append(reinterpret_cast<const char*>(kOneOffProvider), sizeof kOneOffProvider);
    putU16(out, 0);  // version
    putU16(out, kOneOffFlags);
    putUtf16z(out, displayName);
    putUtf16z(out, addressType);
    putUtf16z(out, address);
    return out;
}

std::string searchKey(std::u16string_view addressType, std::u16string_view address) {
    std::u16string key(addressType);
    key += u':';
    key += address;
    for (char16_t& c : key) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
    std::string out = platform::utf16ToUtf8(key);
    out.push_back('\0');
    return out;
}

std::string flatEntryList(const std::vector<std::string>& entryIds) {
    std::string entries;
    for (const std::string& id : entryIds) {
        putU32(entries, static_cast<std::uint32_t>(id.size()));
        entries += id;
        while (entries.size() % 4 != 0) entries.push_back('\0');
    }
    std::string out;
    putU32(out, static_cast<std::uint32_t>(entryIds.size()));
    putU32(out, static_cast<std::uint32_t>(entries.size()));
    return out + entries;
}

}  // namespace store::import
