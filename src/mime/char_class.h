#pragma once
// The character class table the whole MIME library consults, and the upper-case hex alphabet that
// every encoder writing "=XX" escapes uses. Bytes of 0x80 and above belong to no class.
#include <array>
#include <cstdint>
#include <string_view>

namespace mime {

enum CharClassFlag : std::uint8_t {
    kCharControl = 0x01,   // 0x00-0x1F and 0x7F
    kCharSpace = 0x02,     // 0x09-0x0D and 0x20
    kCharAlnum = 0x04,     // 0-9, A-Z, a-z
    kCharPunct = 0x08,     // printable 0x21-0x7E that is not alnum
    kCharSpecial = 0x10,   // " ( ) , . : ; < = > @ [ \ ]
    kCharHexDigit = 0x20,  // 0-9 and upper-case A-F only; a-f are not hex digits here
};

namespace detail {
constexpr std::array<std::uint8_t, 128> buildCharClass() {
    std::array<std::uint8_t, 128> table{};
    constexpr std::string_view specials = "\"(),.:;<=>@[\\]";
    for (int c = 0; c < 128; ++c) {
        std::uint8_t flags = 0;
        if (c < 0x20 || c == 0x7F) flags |= kCharControl;
        if ((c >= 0x09 && c <= 0x0D) || c == 0x20) flags |= kCharSpace;
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (alnum) flags |= kCharAlnum;
        if (!alnum && c >= 0x21 && c <= 0x7E) flags |= kCharPunct;
        if (specials.find(static_cast<char>(c)) != std::string_view::npos) flags |= kCharSpecial;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) flags |= kCharHexDigit;
        table[c] = flags;
    }
    return table;
}
}  // namespace detail

inline constexpr std::array<std::uint8_t, 128> CharClass = detail::buildCharClass();

inline constexpr char kHexAlphabet[] = "0123456789ABCDEF";

// True when the byte carries any of the given class flags.
constexpr bool HasCharClass(unsigned char byte, std::uint8_t flags) {
    return byte < 128 && (CharClass[byte] & flags) != 0;
}
constexpr bool IsSpaceByte(unsigned char byte) { return HasCharClass(byte, kCharSpace); }

}  // namespace mime
