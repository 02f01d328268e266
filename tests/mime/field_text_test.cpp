// Header values and texts to UTF-16: declared charsets, unlabelled bytes, encoded words in their charsets.
#include <gtest/gtest.h>

#include "mime/charset_text.h"
#include "mime/field_text.h"
#include "mime/mime_codec.h"
#include "platform/codepage.h"

using namespace mime;

namespace {

std::string u8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

}  // namespace

TEST(CharsetText, DecodingRules) {
    struct Case {
        std::string bytes;
        const char* charset;
        const char* text;
    };
    const Case cases[] = {
        {"caf\xC3\xA9", "", "café"},                  // unlabelled UTF-8
        {"caf\xE9", "", "café"},                      // unlabelled, not UTF-8: Windows-1252
        {"caf\xE9", "x-unknown-charset", "café"},     // unknown charset: as unlabelled
        {"caf\xE9", "\"ISO-8859-1\"", "café"},         // quoted name
        {"a\xE9z", "us-ascii", "a\xEF\xBF\xBDz"},      // 8-bit under ASCII: U+FFFD
        {"\x82", "iso-8859-1", "\xC2\x82"},            // declared charset taken as it is
        {"\xC3\x28", "utf-8", "\xEF\xBF\xBD("},        // invalid UTF-8
    };
    for (const Case& c : cases)
        EXPECT_EQ(u8(DecodeText(c.bytes, c.charset)), c.text) << c.bytes << " " << c.charset;
}

TEST(FieldText, UnfoldingDropsEveryLineBreakCharacter) {
    const struct {
        std::string_view in, out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a\r\n b", "a b"},
        {"a\n\tb", "a\tb"},
        {"a\r b", "a b"},
        {"\r\n", ""},
        {"a\r\n\r\nb", "ab"},
        {"x\ny\rz\r\n", "xyz"},
        {"\n\r", ""},
        {"lone\rcr and\nlf", "lonecr andlf"},
    };
    for (const auto& c : cases) EXPECT_EQ(Unfold(c.in), c.out) << c.in;
}

TEST(FieldText, EncodedWordsInTheirOwnCharsets) {
    struct Case {
        const char* raw;
        const char* text;
    };
    const Case cases[] = {
        {"=?utf-8?q?a?= =?utf-8?q?b?=", "ab"},                         // blank between words dropped
        {"=?utf-8?q?a?= plain =?utf-8?q?b?=", "a plain b"},
        {"=?UTF-8?B?5pel?= =?UTF-8?B?5pys?=", "日本"},
        {"=?UTF-8?B?5pc=?= =?UTF-8?B?pQ==?=", "日"},                        // a character split between words
        {"=?utf-8*en?q?lang?=", "lang"},                                // RFC 2231 language suffix
        {"Re: =?iso-8859-1?q?=E9t=E9?=\r\n =?koi8-r?b?8NLJ18XU?=", "Re: étéПривет"},
        {"=?bogus", "=?bogus"},                                         // not a word
        {"=?utf-8?x?abc?=", "=?utf-8?x?abc?="},                         // unknown encoding letter
        {"raw \xC3\xA9t\xC3\xA9", "raw été"},                           // raw 8-bit UTF-8
        {"folded\r\n\tline", "folded\tline"},
    };
    for (const Case& c : cases) EXPECT_EQ(u8(DecodeFieldText(c.raw)), c.text) << c.raw;
}

TEST(FieldText, MalformedWordsAreTextInUtf16ButWordsInTheLibrarysDecoding) {
    // One reader of encoded words with two rules: the library's decoder (the shown bytes) takes any
    // charset name and an unclosed word; the UTF-16 text keeps such words as they stand.
    struct Case {
        const char* raw;
        const char* shown;
        const char* text;
    };
    const Case cases[] = {
        {"=?utf-8?q?unclosed", "unclosed", "=?utf-8?q?unclosed"},
        {"=?utf 8?q?x?=", "x", "=?utf 8?q?x?="},
        {"=??q?x?=", "x", "=??q?x?="},
        {"=?utf-8?q?a?= =?bad", "a=?bad", "a =?bad"},
        {"=?utf-8?q?a?=\r\n =?utf-8?q?b?= c", "ab c", "ab c"},
    };
    for (const Case& c : cases) {
        CMimeEncodedWord library;
        library.BindInput(c.raw, false);
        std::string shown(std::char_traits<char>::length(c.raw), '\0');
        shown.resize(
            static_cast<std::size_t>(library.Convert(shown.data(), static_cast<std::int64_t>(shown.size()))));
        EXPECT_EQ(shown, c.shown) << c.raw;
        EXPECT_EQ(u8(DecodeFieldText(c.raw)), c.text) << c.raw;
    }
}
