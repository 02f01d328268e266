#include <gtest/gtest.h>

#include <random>

#include "codec_test_util.h"
#include "mime/mime_codec.h"

using namespace mime;
using mime_test::convert;
using mime_test::convertInto;

namespace {
std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}
}  // namespace

TEST(EncodedWordDecode, DecodesWordsAndKeepsTheFirstCharset) {
    struct Case {
        const char* name;
        std::string input;
        std::string expected;
        std::string charset;
        char letter;
    } cases[] = {
        {"two Q words", "=?ISO-8859-1?Q?a_b?= =?ISO-8859-1?Q?c?=", "a bc", "ISO-8859-1", 'q'},
        {"B word between plain text", "x =?UTF-8?B?w6k=?= y", "x \xC3\xA9 y", "UTF-8", 'b'},
        {"folding between words disappears", "=?a?q?x?=\r\n =?b?Q?y?=", "xy", "a", 'q'},
        {"leading white space is kept", " =?a?q?x?=", " x", "a", 'q'},
        {"plain text after a word", "=?a?b?QUJD?=tail", "ABCtail", "a", 'b'},
        {"escaped underscore stays", "=?a?q?a=5Fb?=", "a_b", "a", 'q'},
        {"Q escape", "=?a?Q?=E9t=E9?=", "\xE9t\xE9", "a", 'q'},
        {"no closing ?= runs to the end", "=?a?q?x y", "x y", "a", 'q'},
        {"empty charset is filled by a later word", "=??q?x?==?c?q?y?=", "xy", "c", 'q'},
        {"no second ?", "=?abc", "=?abc", "", 'B'},
        {"letter other than B or Q", "=?x?z?abc?=", "=?x?z?abc?=", "", 'B'},
        {"text would start at the end", "=?a?q?", "=?a?q?", "", 'B'},
        {"zero byte before the ?", std::string("=?a\0?q?x?=", 10), std::string("=?a\0?q?x?=", 10), "", 'B'},
        {"=? in the last two bytes", "ab=?", "ab=?", "", 'B'},
        {"plain", "plain text", "plain text", "", 'B'},
        {"base64 padding ends the word text", "=?a?b?QQ==QUJD?=z", "Az", "a", 'b'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeEncodedWord codec;
        EXPECT_EQ(convert(codec, c.input, false), c.expected);
        EXPECT_EQ(codec.charset, c.charset);
        EXPECT_EQ(codec.encodingLetter, c.letter);
    }
}

TEST(EncodedWordDecode, StaysWithinTheRoom) {
    CMimeEncodedWord codec;
    EXPECT_EQ(convertInto(codec, "=?a?b?QUJD?=", false, 2), "=?");  // no room for a word: plain bytes
    EXPECT_EQ(convertInto(codec, "=?a?b?QUJDREVG?=", false, 4), "ABCD");
    EXPECT_EQ(convertInto(codec, "ab =?a?q?cd?=", false, 4), "ab =");  // room 1 left: plain byte
}

TEST(EncodedWordEncode, WritesBAndQWords) {
    struct Case {
        const char* name;
        std::string charset;
        char letter;
        std::string input;
        std::string expected;
    } cases[] = {
        {"empty charset copies", "", 'B', "a\xE9", "a\xE9"},
        {"empty input", "UTF-8", 'B', "", ""},
        {"one B word", "UTF-8", 'B', "\xC3\xA9", "=?UTF-8?B?w6k=?="},
        {"lower-case b", "UTF-8", 'b', "\xC3\xA9", "=?UTF-8?B?w6k=?="},
        {"B chunks of 45 bytes for a 5-byte charset", "UTF-8", 'B', std::string(50, 'a'),
         "=?UTF-8?B?" + repeat("YWFh", 15) + "?= =?UTF-8?B?YWFhYWE=?="},
        {"a charset of 66 bytes still carries three bytes a word", std::string(66, 'c'), 'B', "abcd",
         "=?" + std::string(66, 'c') + "?B?YWJj?= =?" + std::string(66, 'c') + "?B?ZA==?="},
        {"Q escapes space, =, ? and _", "ISO-8859-1", 'Q', "a b=?_\xE9",
         "=?ISO-8859-1?Q?a=20b=3D=3F=5F=E9?="},
        {"any other letter is Q", "x", 'z', "a b", "=?x?Q?a=20b?="},
        {"Q word split at 63 bytes of text", "UTF-8", 'Q', std::string(64, 'a'),
         "=?UTF-8?Q?" + std::string(63, 'a') + "?= =?UTF-8?Q?a?="},
        {"Q escape moves to the next word", "UTF-8", 'Q', std::string(62, 'a') + "\xE9",
         "=?UTF-8?Q?" + std::string(62, 'a') + "?= =?UTF-8?Q?=E9?="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeEncodedWord codec(c.charset, c.letter);
        EXPECT_EQ(convert(codec, c.input, true), c.expected);
    }
}

TEST(EncodedWordEncode, StopsAtTheFirstPieceThatDoesNotFit) {
    CMimeEncodedWord q("cs", 'Q');
    EXPECT_EQ(convertInto(q, "ab", true, 7), "=?cs?Q?");
    EXPECT_EQ(convertInto(q, "a\xE9", true, 10), "=?cs?Q?a");  // the escape does not fit
    EXPECT_EQ(convertInto(q, "ab", true, 10), "=?cs?Q?ab");    // no room for ?=
    CMimeEncodedWord b("cs", 'B');
    EXPECT_EQ(convertInto(b, "abc", true, 8), "");           // a word needs charset + 7 bytes
    EXPECT_EQ(convertInto(b, "abc", true, 9), "=?cs?B?YW");  // the text is cut, ?= does not fit
}

TEST(EncodedWordEncode, RoundTripsWithinItsBoundForAnyCharsetLength) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const std::size_t charsetLength = round < 100 ? random() % 10 + 1 : random() % 80 + 1;
        CMimeEncodedWord codec(std::string(charsetLength, 'c'), round % 2 ? 'B' : 'Q');
        std::string input(random() % 300, '\0');
        for (char& ch : input) ch = static_cast<char>(random() & 0xFF);
        codec.BindInput(input, true);
        const std::int64_t bound = codec.OutputSizeBound();
        const std::string encoded = convertInto(codec, input, true, bound + 64);
        ASSERT_LE(static_cast<std::int64_t>(encoded.size()), bound) << "charset " << charsetLength;
        CMimeEncodedWord decoder;
        EXPECT_EQ(convert(decoder, encoded, false), input)
            << "charset " << charsetLength << " round " << round;
    }
}
