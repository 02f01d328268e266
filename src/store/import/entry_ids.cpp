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
    std::size_t at = out.size();
    out.resize(at + 2 * text.size() + 2);
    for (char16_t c : text) {
        out[at++] = static_cast<char>(c & 0xFF);
        out[at++] = static_cast<char>(c >> 8);
    }
    out[at++] = '\0';
    out[at] = '\0';
}

bool isAscii(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

char16_t upperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

std::string oneOffEntryId(std::u16string_view displayName, std::u16string_view addressType, std::u16string_view address) {
    std::string out;
    out.reserve(28 + 2 * (displayName.size() + addressType.size() + address.size()) + 6);
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
    std::string out;
    if (isAscii(addressType) && isAscii(address)) {
        // ASCII is its own UTF-8: no conversion needed.
        out.reserve(addressType.size() + address.size() + 2);
        for (char16_t c : addressType) out.push_back(static_cast<char>(upperAscii(c)));
        out.push_back(':');
        for (char16_t c : address) out.push_back(static_cast<char>(upperAscii(c)));
        out.push_back('\0');
        return out;
    }
    std::u16string key(addressType);
    key += u':';
    key += address;
    for (char16_t& c : key) c = upperAscii(c);
    out = platform::utf16ToUtf8(key);
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
