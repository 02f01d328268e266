#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Codepage, Utf8DecodesAndReplacesEachMaximalInvalidSubpart) {
    struct Case {
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"plain", u"plain"},
        {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"a\xE9z", u"a\uFFFDz"},                 // a lone Latin-1 byte
        {"\xE2\x82", u"\uFFFD"},                 // truncated three-byte sequence: one replacement
        {"\xC0\x80", u"\uFFFD\uFFFD"},           // overlong form: each byte on its own
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8ToUtf16(c.bytes), c.expected) << c.bytes;
        EXPECT_EQ(utf16LengthOfUtf8(c.bytes), c.expected.size()) << c.bytes;
    }
    EXPECT_TRUE(isValidUtf8("\xC3\xA9"));
    EXPECT_FALSE(isValidUtf8("\xE9"));
}

// Runs of ASCII are checked sixteen and eight bytes at a time and widened 256 at a time: a sequence
// anywhere in or after a run, valid or not, decodes as it does alone.
TEST(Codepage, Utf8SequencesDecodeTheSameAtEveryPositionInAsciiText) {
    const struct {
        std::string bytes;
        std::u16string expected;
    } sequences[] = {{"\xC3\xA9", u"\u00E9"},
                     {"\xF0\x9F\x98\x80", u"\U0001F600"},
                     {"\xE9", u"\uFFFD"},
                     {"\xE2\x82", u"\uFFFD"}};
    for (const auto& sequence : sequences) {
        std::string ascii;
        for (std::size_t i = 0; i < 600; ++i) ascii += static_cast<char>(0x20 + i % 95);
        for (std::size_t at = 0; at <= 600; at += at < 40 || (at > 240 && at < 280) ? 1 : 37) {
            const std::string bytes = ascii.substr(0, at) + sequence.bytes + ascii.substr(at);
            std::u16string expected(ascii.begin(), ascii.begin() + static_cast<std::ptrdiff_t>(at));
            expected += sequence.expected;
            expected.append(ascii.begin() + static_cast<std::ptrdiff_t>(at), ascii.end());
            EXPECT_EQ(utf8ToUtf16(bytes), expected) << at;
            EXPECT_EQ(isValidUtf8(bytes), sequence.expected != u"\uFFFD") << at;
        }
    }
}

TEST(Codepage, Utf16ToUtf8RoundTripsAndReplacesLoneSurrogates) {
    std::u16string text = u"K\u00F6ln \u20AC \U0001F600";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Codepage, Windows1252IsTheDefaultAnsiCodePage) {
    ASSERT_EQ(ansiCodePage(), "WINDOWS-1252");
    EXPECT_EQ(ansiByteToUtf16(0x80), u'\u20AC');
    EXPECT_EQ(ansiByteToUtf16(0x81), u'\u0081');  // unassigned: the C1 control of the same value
    EXPECT_EQ(ansiByteToUtf16(0xE9), u'\u00E9');
    EXPECT_EQ(ansiToUtf16("caf\xE9 \x93q\x94"), u"caf\u00E9 \u201Cq\u201D");
    EXPECT_EQ(ansiBytesToUtf16("\x9F"), u"\u0178");
    EXPECT_EQ(utf16ToAnsi(u"caf\u00E9 \u20AC \u4E2D"), "caf\xE9 \x80 ?");
}

TEST(Codepage, AnotherAnsiCodePageCanBeSetAndUnknownOnesAreRefused) {
    ASSERT_TRUE(setAnsiCodePage("CP1251"));
    EXPECT_EQ(ansiToUtf16("\xC0"), u"\u0410");
    EXPECT_EQ(utf16ToAnsi(u"\u0410"), "\xC0");
    EXPECT_FALSE(setAnsiCodePage("NO-SUCH-CHARSET"));
    EXPECT_EQ(ansiCodePage(), "CP1251");
    ASSERT_TRUE(setAnsiCodePage("windows-1252"));
    EXPECT_EQ(ansiToUtf16("\xC0"), u"\u00C0");
}

TEST(Codepage, DeclaredCharsetsConvertThroughIconv) {
    std::u16string out;
    ASSERT_TRUE(charsetToUtf16("koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", out));
    EXPECT_EQ(out, u"\u041F\u0440\u0438\u0432\u0435\u0442");
    ASSERT_TRUE(charsetToUtf16("ISO-2022-JP", "\x1B$B$3$s\x1B(B", out));
    EXPECT_EQ(out, u"\u3053\u3093");
    ASSERT_TRUE(charsetToUtf16("utf-8", "a\xFF", out));
    EXPECT_EQ(out, u"a\uFFFD");
    EXPECT_FALSE(charsetToUtf16("x-unknown", "abc", out));
}

// Latin-1, US-ASCII and ASCII text in ISO 8859 parts are converted without iconv: the result is what
// iconv gives under another name for the same charset, bytes outside it and all.
TEST(Codepage, LatinAndAsciiShortcutsMatchIconv) {
    const std::string all = [] {
        std::string bytes;
        for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
        return bytes;
    }();
    struct Case {
        const char* shortcut;
        const char* iconvName;
        std::string bytes;
    } cases[] = {
        {"iso-8859-1", "ISO_8859-1", all},
        {"latin1", "ISO_8859-1", all},
        {"us-ascii", "ANSI_X3.4-1968", "Plain text\r\n\t~"},
        {"us-ascii", "ANSI_X3.4-1968", "caf\xE9"},  // a byte outside ASCII: iconv's replacement
        {"us-ascii", "ANSI_X3.4-1968", all},
        {"iso-8859-2", "ISO_8859-2", "plain"},
        {"iso-8859-2", "ISO_8859-2", "\xB1\xE6"},
        {"iso-8859-15", "ISO_8859-15", "\xA4 5"},
        // Longer than iconv's output buffer; Windows-1252 without the five bytes it leaves unassigned.
        {"iso-8859-1", "ISO_8859-1", [&] {
             std::string bytes;
             for (int i = 0; i < 40; ++i) bytes += all;
             return bytes;
         }()},
        {"windows-1252", "MS-ANSI", [&] {
             std::string bytes;
             for (int i = 0; i < 40; ++i) bytes += std::string(i, 'a') + all;
             std::erase_if(bytes, [](char c) {
                 const auto b = static_cast<unsigned char>(c);
                 return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
             });
             return bytes;
         }()},
    };
    for (const Case& c : cases) {
        std::u16string fast, slow;
        ASSERT_TRUE(charsetToUtf16(c.shortcut, c.bytes, fast)) << c.shortcut;
        ASSERT_TRUE(charsetToUtf16(c.iconvName, c.bytes, slow)) << c.iconvName;
        EXPECT_EQ(fast, slow) << c.shortcut << " " << c.bytes;
    }
    std::u16string out;
    ASSERT_TRUE(charsetToUtf16("iso-8859-1", "\xE9\x80", out));
    EXPECT_EQ(out, u"\u00E9\u0080");
}
