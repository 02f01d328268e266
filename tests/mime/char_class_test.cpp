#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "mime/char_class.h"
#include "mime/text_util.h"

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

// Line breaks are checked 32 bytes at a time: texts of CR, LF and other bytes, long enough to span
// blocks, answer as a byte-by-byte reading does.
TEST(LineBreaks, OnlyCrLfWhereEveryBreakIsAPair) {
    EXPECT_TRUE(mime::OnlyCrLfLineBreaks(""));
    EXPECT_TRUE(mime::OnlyCrLfLineBreaks("a\r\nb\r\n"));
    EXPECT_FALSE(mime::OnlyCrLfLineBreaks("a\nb"));
    EXPECT_FALSE(mime::OnlyCrLfLineBreaks("a\rb"));
    EXPECT_FALSE(mime::OnlyCrLfLineBreaks("\n"));
    EXPECT_FALSE(mime::OnlyCrLfLineBreaks("a\r"));
    const auto byteByByte = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
            if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
        }
        return true;
    };
    std::mt19937 random(5);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const std::size_t size = random() % 140;
        while (text.size() < size) {
            const unsigned pick = random() % 40;
            text += pick == 0 ? "\r" : pick == 1 ? "\n" : pick < 6 ? "\r\n" : "x";
        }
        ASSERT_EQ(mime::OnlyCrLfLineBreaks(text), byteByByte(text)) << round;
    }
}

// LFs are counted 64 and 32 bytes at a time: the count and the stop at a CR answer as a byte-by-byte
// reading does, across block edges, past the 255 LFs a byte lane can count, and with bytes >= 0x80.
TEST(LineBreaks, LfCountStopsAtTheFirstCr) {
    const auto byteByByte = [](std::string_view text) -> std::optional<std::size_t> {
        std::size_t lfs = 0;
        for (char c : text) {
            if (c == '\r') return std::nullopt;
            lfs += c == '\n';
        }
        return lfs;
    };
    const std::string allLfs(255 * 32 * 3 + 7, '\n');
    std::string highBytes(300, '\xE9');
    for (std::size_t i = 0; i < highBytes.size(); i += 3) highBytes[i] = '\n';
    std::vector<std::string> cases = {"", "\n", "\r", "x", "a\nb", "a\nb\n", allLfs, highBytes, allLfs + "\r"};
    for (std::size_t at : {0, 1, 15, 16, 31, 32, 33, 63, 64, 65, 95, 96, 8127, 8128, 8159, 8160, 8161}) {
        std::string crAt(8200, 'x');
        for (std::size_t i = 5; i < crAt.size(); i += 7) crAt[i] = '\n';
        crAt[at] = '\r';
        cases.push_back(crAt);
        cases.push_back(crAt.substr(0, at));  // the same text cut before the CR
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 200, 'x');
        for (char& c : text) c = "\n\nab\x80"[random() % 5];
        if (round % 3 == 0 && !text.empty()) text[random() % text.size()] = '\r';
        cases.push_back(text);
    }
    for (const std::string& text : cases)
        ASSERT_EQ(mime::LfCountWithoutCr(text), byteByByte(text)) << text.size() << " bytes";
}

// Capitals are made small sixteen bytes at a time: every byte value, at every offset of texts that
// end inside and after a block, gives what LowerAscii gives byte by byte.
TEST(CharClass, LowerAsciiCopyMatchesByteByByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    for (std::size_t from = 0; from < 40; ++from) {
        for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{15}, std::size_t{16}, std::size_t{17}, all.size() - from}) {
            const std::string_view text = std::string_view(all).substr(from, length);
            std::string expected;
            for (char c : text) expected.push_back(static_cast<char>(LowerAscii(static_cast<unsigned char>(c))));
            ASSERT_EQ(LowerAsciiCopy(text), expected) << from << " " << length;
        }
    }
}
