#include <gtest/gtest.h>

#include "mime/char_class.h"

using namespace mime;

TEST(CharClass, FlagsOfRepresentativeBytes) {
    struct Case {
        unsigned char byte;
        std::uint8_t flags;
    } cases[] = {
        {0x00, kCharControl},
        {0x09, kCharControl | kCharSpace},
        {0x0D, kCharControl | kCharSpace},
        {0x0E, kCharControl},
        {' ', kCharSpace},
        {0x7F, kCharControl},
        {'0', kCharAlnum | kCharHexDigit},
        {'F', kCharAlnum | kCharHexDigit},
        {'G', kCharAlnum},
        {'a', kCharAlnum},  // lower-case hex letters are not hex digits
        {'f', kCharAlnum},
        {'"', kCharPunct | kCharSpecial},
        {'@', kCharPunct | kCharSpecial},
        {'.', kCharPunct | kCharSpecial},
        {'=', kCharPunct | kCharSpecial},
        {'\\', kCharPunct | kCharSpecial},
        {'/', kCharPunct},
        {'?', kCharPunct},
        {'_', kCharPunct},
        {'~', kCharPunct},
    };
    for (const auto& c : cases) EXPECT_EQ(CharClass[c.byte], c.flags) << "byte " << int(c.byte);
    for (int high = 0x80; high < 0x100; ++high)
        EXPECT_FALSE(HasCharClass(static_cast<unsigned char>(high), 0xFF));
    EXPECT_STREQ(kHexAlphabet, "0123456789ABCDEF");
}
