#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <typeinfo>

#include "codec_test_util.h"
#include "mime/message_render.h"
#include "mime/mime_codec.h"

namespace {
// The dynamic type of an object; typeid on a call would evaluate the call inside typeid.
template <class T>
const std::type_info& dynamicType(const T& object) {
    return typeid(object);
}
}  // namespace

using namespace mime;
using mime_test::convert;
using mime_test::convertInto;

namespace {

std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

std::string randomBytes(std::mt19937& random, std::size_t size, std::string_view alphabet = {}) {
    std::string out(size, '\0');
    for (char& c : out)
        c = alphabet.empty() ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
    return out;
}

}  // namespace

TEST(Base64Codec, EncodesWithLineBreaksAndPadding) {
    struct Case {
        const char* name;
        std::string input;
        bool lineBreaks;
        std::string expected;
    } cases[] = {
        {"empty", "", true, ""},
        {"one byte left over", "A", true, "QQ==\r\n"},
        {"two bytes left over", "AB", true, "QUI=\r\n"},
        {"one group", "ABC", true, "QUJD\r\n"},
        {"57 bytes fill one line", std::string(57, 'a'), true, repeat("YWFh", 19) + "\r\n"},
        {"58 bytes", std::string(58, 'a'), true, repeat("YWFh", 19) + "\r\nYQ==\r\n"},
        {"two full lines", std::string(114, 'a'), true, repeat(repeat("YWFh", 19) + "\r\n", 2)},
        {"no line breaks", std::string(58, 'a'), false, repeat("YWFh", 19) + "YQ=="},
        {"high bytes", std::string("\xFF\xFE\x00", 3), false, "//4A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeCodeBase64 codec(c.lineBreaks);
        EXPECT_EQ(convert(codec, c.input, true), c.expected);
    }
}

TEST(Base64Codec, SizeBounds) {
    struct Case {
        std::int64_t length;
        bool lineBreaks;
        std::int64_t encoded;
    } cases[] = {{0, true, 2},   {0, false, 0},  {1, false, 4},  {3, true, 6},
                 {57, true, 80}, {58, true, 84}, {58, false, 80}};
    std::string input;
    for (const auto& c : cases) {
        CMimeCodeBase64 codec(c.lineBreaks);
        input.assign(static_cast<std::size_t>(c.length), 'x');
        codec.BindInput(input, true);
        EXPECT_EQ(codec.OutputSizeBound(), c.encoded) << c.length;
        codec.BindInput(input, false);
        EXPECT_EQ(codec.OutputSizeBound(), c.length * 3 / 4 + 2) << c.length;
    }
}

TEST(Base64Codec, EncodeStopsAtTheBufferEnd) {
    struct Case {
        std::string input;
        bool lineBreaks;
        std::int64_t max;
        std::string expected;
    } cases[] = {
        {"AB", false, 3, "QUI"},  // the padding does not fit
        {"AB", false, 4, "QUI="},
        {"A", false, 3, "QQ"},   // two '=' need two bytes
        {"A", true, 4, "QQ=="},  // no room for the final CR LF
        {"ABCDEF", false, 5, "QUJDR"},
        {std::string(57, 'a'), true, 77, repeat("YWFh", 19)},  // the line break needs two bytes
        {"ABC", true, 0, ""},
    };
    for (const auto& c : cases) {
        CMimeCodeBase64 codec(c.lineBreaks);
        EXPECT_EQ(convertInto(codec, c.input, true, c.max), c.expected) << c.input << " max " << c.max;
    }
}

// Bytes outside the alphabet are skipped (RFC 2045): a blank or stray character a mailer left in the
// data costs nothing after it; padding ends the data.
TEST(Base64Codec, SkipsBytesOutsideTheAlphabetAndEndsAtPadding) {
    struct Case {
        std::string input;
        std::string expected;
    } cases[] = {
        {"QUJD\r\nREVG", "ABCDEF"},
        {"QUI=", "AB"},
        {"QU I=", "AB"},  // the space is skipped
        {"QUJD \r\nREVG\t\r\n", "ABCDEF"},
        {"QUJD!RE*VG", "ABCDEF"},
        {"QUJ", "AB"},   // leftover bits dropped
        {"Q", ""},
        {"QUJD=REVG", "ABC"},
        {"Q\nU\rJ\r\nD", "ABC"},
        {"QUJD\x80REVG", "ABCDEF"},
        {"+/+/", "\xFB\xFF\xBF"},
        {"", ""},
    };
    for (const auto& c : cases) {
        CMimeCodeBase64 codec;
        EXPECT_EQ(convert(codec, c.input, false), c.expected) << c.input;
    }
    CMimeCodeBase64 codec;
    EXPECT_EQ(convertInto(codec, "QUJDREVG", false, 4), "ABCD");
}

namespace {

// Character by character: bytes outside the alphabet are skipped, padding ends the data.
std::string referenceBase64Decode(std::string_view text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') break;
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos) continue;
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

}  // namespace

// Long runs of the alphabet are decoded many characters at a time: a byte outside it anywhere in a
// run is skipped and padding stops decoding exactly as in a short input, and an output buffer ending
// anywhere stops it there.
TEST(Base64Codec, LongRunsDecodeAsShortOnesDo) {
    std::mt19937 random(11);
    const std::string original = randomBytes(random, 150);
    const std::string encoded = Base64Encode(original);  // 200 characters, no line breaks
    ASSERT_EQ(encoded.size(), 200u);
    CMimeCodeBase64 codec;
    EXPECT_EQ(convert(codec, encoded, false), original);
    for (const char stop : {'*', '=', ' ', '\x80', '\0', '@', '[', '`', '{', ':', '-'}) {
        for (std::size_t at = 0; at < encoded.size(); ++at) {
            std::string damaged = encoded;
            damaged[at] = stop;
            const std::string expected =
                stop == '=' ? original.substr(0, at * 3 / 4) : referenceBase64Decode(damaged);
            ASSERT_EQ(convert(codec, damaged, false), expected) << int(stop) << " at " << at;
        }
    }
    for (std::int64_t max = 0; max <= 150; ++max)
        ASSERT_EQ(convertInto(codec, encoded, false, max), original.substr(0, static_cast<std::size_t>(max)))
            << max;
    // Lines of 76 characters, and every alphabet character in every position of a run.
    std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int turn = 0; turn < 64; ++turn) {
        std::rotate(alphabet.begin(), alphabet.begin() + 1, alphabet.end());
        const std::string text = repeat(alphabet, 3) + "\r\n" + alphabet;
        std::string plain = text;
        std::erase(plain, '\r');
        std::erase(plain, '\n');
        const std::string decoded = convert(codec, plain, false);
        EXPECT_EQ(Base64Encode(decoded), plain);
        EXPECT_EQ(convert(codec, text, false), decoded);
        // Line ends anywhere, between groups or inside one, are skipped.
        for (const char* end : {"\r\n", "\n", "\r", "\r\n\r\n"}) {
            const std::size_t at = 30 + static_cast<std::size_t>(turn) * 3;
            ASSERT_EQ(convert(codec, plain.substr(0, at) + end + plain.substr(at), false), decoded) << at;
        }
    }
}

// Escapes of either case decode; an '=' that starts no escape and no soft line break stands for
// itself, as RFC 2045 asks of a robust decoder (and as mail readers show it): no byte is lost or made up.
TEST(QuotedPrintableCodec, Decodes) {
    struct Case {
        std::string input;
        std::string expected;
    } cases[] = {
        // clang-format off
        {"a=3Db", "a=b"},
        {"a=3db", "a=b"},
        {"a=d3b", "a\xD3" "b"},  // lower-case digits decode too
        {"a=\r\nb", "ab"},  // soft line break
        {"a=  \t\r\nb", "ab"},  // blanks before the line end of a soft line break
        {"a=\nb", "ab"},
        {"xy=4", "xy=4"},   // too short for an escape: kept as written
        {"xy=", "xy"},      // a soft line break at the end
        {"a=\r", "a"},
        {"=41=42", "AB"},
        {"=E9t=E9", "\xE9t\xE9"},
        {"=4g", "=4g"},     // not hex: kept as written
        {"100=ZZ %", "100=ZZ %"},
        {"=4\r\nx", "=4\r\nx"},
        {"a = b", "a = b"},
        {"a_b c", "a_b c"},
        {"==41", "=A"},
        {"", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        CMimeCodeQP codec;
        EXPECT_EQ(convert(codec, c.input, false), c.expected) << c.input;
    }
    CMimeCodeQP codec;
    EXPECT_EQ(convertInto(codec, "=41=42=43", false, 2), "AB");
    EXPECT_EQ(convertInto(codec, "abcdef=41gh", false, 3), "abc");  // a run of plain bytes cut by the room
    EXPECT_EQ(convertInto(codec, "abcdef=41gh", false, 7), "abcdefA");
}

TEST(QuotedPrintableCodec, Encodes) {
    struct Case {
        const char* name;
        std::string input;
        std::string expected;
    } cases[] = {
        {"space before CR LF", "a \r\nb", "a=20\r\nb"},
        {"trailing tab", "a\t", "a=09"},
        {"inner space", "a b", "a b"},
        {"full stop alone on a line", "x\r\n.\r\nx", "x\r\n=2E\r\nx"},
        {"full stop alone, no text around", "\r\n.\r\n", "\r\n=2E\r\n"},
        {"full stop at the start", ".\r\n", ".\r\n"},
        {"full stop with text", "\r\n.x\r\n", "\r\n.x\r\n"},
        {"full stop before a bare CR", "\r\n.\r", "\r\n.\r"},
        {"equals sign", "a=b", "a=3Db"},
        {"high and control bytes", "\xE9t\x01~", "=E9t=01~"},
        {"bare line ends stay", "a\nb\rc", "a\nb\rc"},
        {"100 letters", std::string(100, 'a'), std::string(75, 'a') + "=\r\n" + std::string(25, 'a')},
        {"76 letters", std::string(76, 'a'), std::string(75, 'a') + "=\r\na"},
        {"75 letters and a line end", std::string(75, 'a') + "\r\nb", std::string(75, 'a') + "\r\nb"},
        {"break after the last space", std::string(70, 'a') + " " + std::string(10, 'b'),
         std::string(70, 'a') + " =\r\n" + std::string(10, 'b')},
        {"a leading space is no break candidate", " " + std::string(80, 'a'),
         " " + std::string(74, 'a') + "=\r\n" + std::string(6, 'a')},
        {"escape still too wide after the moved bytes", "a " + std::string(73, 'x') + "\xE9",
         "a =\r\n" + std::string(73, 'x') + "=\r\n=E9"},
        {"escape at the line end", std::string(74, 'a') + "=", std::string(74, 'a') + "=\r\n=3D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeCodeQP codec;
        EXPECT_EQ(convert(codec, c.input, true), c.expected);
    }
}

TEST(QuotedPrintableCodec, EncodeDropsEscapesThatDoNotFit) {
    CMimeCodeQP codec;
    EXPECT_EQ(convertInto(codec, "a=b", true, 3), "ab");
    EXPECT_EQ(convertInto(codec, "=", true, 2), "");
    // No room for a soft break: the line goes on while bytes fit.
    EXPECT_EQ(convertInto(codec, std::string(80, 'a'), true, 76), std::string(76, 'a'));
}

TEST(QuotedPrintableCodec, SizeBound) {
    struct Case {
        std::string input;
        std::int64_t bound;
    } cases[] = {{"", 0}, {"aaa", 3}, {"a a", 5}, {std::string(25, '.'), 81}, {std::string(100, 'a'), 106}};
    for (const auto& c : cases) {
        CMimeCodeQP codec;
        codec.BindInput(c.input, true);
        EXPECT_EQ(codec.OutputSizeBound(), c.bound) << c.input;
        codec.BindInput(c.input, false);
        EXPECT_EQ(codec.OutputSizeBound(), static_cast<std::int64_t>(c.input.size()));
    }
}

TEST(TransferCodecs, RoundTripWithinTheirBoundsAndLineLimits) {
    std::mt19937 random(7);
    const std::string texty = "ab c\t.=\r\n_?\xE9";
    for (int round = 0; round < 400; ++round) {
        const std::size_t size = random() % 600;
        const std::string input = round % 2 ? randomBytes(random, size) : randomBytes(random, size, texty);
        for (int kind = 0; kind < 3; ++kind) {
            std::unique_ptr<CMimeCodeBase> codec;
            if (kind == 0)
                codec = std::make_unique<CMimeCodeQP>();
            else
                codec = std::make_unique<CMimeCodeBase64>(kind == 1);
            codec->BindInput(input, true);
            const std::int64_t bound = codec->OutputSizeBound();
            const std::string encoded = convertInto(*codec, input, true, bound + 16);
            ASSERT_LE(static_cast<std::int64_t>(encoded.size()), bound) << kind << " round " << round;
            EXPECT_EQ(convert(*codec, encoded, false), input) << kind << " round " << round;
            if (kind == 2) continue;
            std::size_t line = 0, longest = 0;
            for (char c : encoded) {
                line = c == '\r' || c == '\n' ? 0 : line + 1;
                longest = std::max(longest, line);
            }
            EXPECT_LE(longest, 76u) << kind << " round " << round;
        }
    }
}

TEST(IdentityCodec, CopiesWithinTheRoom) {
    CMimeCodeBase codec;
    EXPECT_EQ(convert(codec, "abc\r\n", true), "abc\r\n");
    EXPECT_EQ(convertInto(codec, "abcdef", false, 3), "abc");
    EXPECT_EQ(convertInto(codec, "abc", false, 0), "");
    EXPECT_EQ(codec.Convert(nullptr, -5), 0);
    codec.BindInput("abc", -1, true);
    EXPECT_EQ(codec.OutputSizeBound(), 0);
}

TEST(TransferCodecRegistry, LooksNamesUpWithoutRegardToCase) {
    struct Case {
        const char* name;
        const std::type_info& type;
    } cases[] = {
        {"base64", typeid(CMimeCodeBase64)},
        {"BASE64", typeid(CMimeCodeBase64)},
        {"Quoted-Printable", typeid(CMimeCodeQP)},
        {"7bit", typeid(CMimeCodeBase)},
        {"8bit", typeid(CMimeCodeBase)},
        {"binary", typeid(CMimeCodeBase)},
        {"", typeid(CMimeCodeBase)},
        {"base64 ", typeid(CMimeCodeBase)},
        {"x-uuencode", typeid(CMimeCodeBase)},
    };
    for (const auto& c : cases) {
        auto codec = MakeTransferCodec(c.name);
        ASSERT_TRUE(codec);
        EXPECT_EQ(dynamicType(*codec), c.type) << c.name;
    }
    auto base64 = MakeTransferCodec("base64");
    EXPECT_TRUE(dynamic_cast<CMimeCodeBase64&>(*base64).addLineBreaks);
}

TEST(TransferCodecRegistry, AddingReplacesAndANullFactoryRemoves) {
    TransferCodecFactory identity = [] { return std::make_unique<CMimeCodeBase>(); };
    TransferCodecFactory qp = [] { return std::unique_ptr<CMimeCodeBase>(std::make_unique<CMimeCodeQP>()); };
    TransferCodecFactory base64 = [] {
        return std::unique_ptr<CMimeCodeBase>(std::make_unique<CMimeCodeBase64>(true));
    };

    AddTransferCodec("X-Test", qp);
    EXPECT_EQ(dynamicType(*MakeTransferCodec("x-test")), typeid(CMimeCodeQP));
    AddTransferCodec("x-TEST", nullptr);
    EXPECT_EQ(dynamicType(*MakeTransferCodec("X-Test")), typeid(CMimeCodeBase));

    AddTransferCodec("Base64", identity);
    EXPECT_EQ(dynamicType(*MakeTransferCodec("base64")), typeid(CMimeCodeBase));
    AddTransferCodec("base64", base64);
    EXPECT_EQ(dynamicType(*MakeTransferCodec("BASE64")), typeid(CMimeCodeBase64));
}
