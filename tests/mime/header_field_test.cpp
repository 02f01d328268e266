#include <gtest/gtest.h>

#include <random>

#include "mime/mime_header.h"

using namespace mime;

namespace {

std::string stored(const CMimeHeaderField& field) {
    std::string out(static_cast<std::size_t>(field.StoredSize()), '\0');
    out.resize(static_cast<std::size_t>(field.WriteTo(out.data(), static_cast<std::int64_t>(out.size()))));
    return out;
}

}  // namespace

TEST(HeaderFieldParse, ReadsOneField) {
    struct Case {
        const char* name;
        std::string text;
        std::int64_t consumed;
        std::string fieldName;
        std::string value;
        std::string charset;
    } cases[] = {
        {"plain", "Subject: hi\r\nTo: x\r\n", 13, "Subject", "hi", ""},
        {"no space after the colon", "Subject:hi\r\n", 12, "Subject", "hi", ""},
        {"leading blanks skipped, trailing kept", "Subject: \t hi  \r\n", 17, "Subject", "hi  ", ""},
        {"folded value keeps CR LF and the space", "Subject: a\r\n b\r\nTo: x\r\n", 16, "Subject", "a\r\n b",
         ""},
        {"folded with a tab", "Subject: a\r\n\tb\r\n", 16, "Subject", "a\r\n\tb", ""},
        {"empty value", "X-Empty:\r\n", 10, "X-Empty", "", ""},
        {"second colon stays in the value", "Name: a:b\r\n", 11, "Name", "a:b", ""},
        {"bare LF inside the value", "Subject: a\nb\r\n", 14, "Subject", "a\nb", ""},
        {"mbox separator line splits at the time", "From ann@x Mon Jan  1 10:00:00 2024\r\n", 37,
         "From ann@x Mon Jan  1 10", "00:00 2024", ""},
        {"line without colon", "From ann@x\r\n", 12, "", "From ann@x", ""},
        {"stray continuation line skipped", " stray\r\nSubject: x\r\n", 20, "Subject", "x", ""},
        {"zero byte before the colon", std::string("A\0B: x\r\n", 8), 8, "", std::string("A\0B: x", 6), ""},
        {"encoded word", "Subject: =?UTF-8?B?w6k=?=\r\n", 27, "Subject", "\xC3\xA9", "UTF-8"},
        {"two words on folded lines join", "Subject: =?a?q?x?=\r\n =?b?q?y?=\r\n", 32, "Subject", "xy", "a"},
        {"encoded word in an unregistered field", "X-Note: =?a?q?x_y?=\r\n", 21, "X-Note", "x y", "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeHeaderField field;
        EXPECT_EQ(field.Parse(c.text.data(), static_cast<std::int64_t>(c.text.size())), c.consumed);
        EXPECT_EQ(field.name, c.fieldName);
        EXPECT_EQ(field.Value(), c.value);
        EXPECT_EQ(field.Charset(), c.charset);
    }
}

TEST(HeaderFieldParse, RejectsTextWithoutACompleteField) {
    const std::string cases[] = {"\r\n",
                                 "\r\nSubject: x\r\n",
                                 " stray\r\n\r\n",
                                 " stray\r\n only",
                                 "Subject: no end",
                                 "Subject: lf only\n",
                                 "",
                                 "Subject: a\r\n"};
    for (std::size_t i = 0; i + 1 < std::size(cases); ++i) {
        CMimeHeaderField field;
        EXPECT_EQ(field.Parse(cases[i].data(), static_cast<std::int64_t>(cases[i].size())), 0) << cases[i];
    }
    // Bytes past the length are never read: the CR LF just outside does not count.
    CMimeHeaderField field;
    EXPECT_EQ(field.Parse(cases[7].data(), 11), 0);
}

TEST(HeaderFieldParams, LocateAndReadParameters) {
    struct Case {
        std::string value;
        const char* param;
        bool found;
        std::string text;
    } cases[] = {
        {"multipart/mixed; boundary=abc", "boundary", true, "abc"},
        {"multipart/mixed; boundary=\"abc\"", "boundary", true, "abc"},
        {"multipart/mixed; boundary=\"abc", "boundary", true, ""},  // no closing quote
        {"application/pdf; name=\"a.pdf\"; filename=\"b.pdf\"", "name", true, "a.pdf"},
        {"application/pdf; name=\"a.pdf\"; filename=\"b.pdf\"", "filename", true, "b.pdf"},
        {"text/plain; charset = \"x\"", "charset", true, "x"},
        {"text/plain;charset=us-ascii", "charset", true, "us-ascii"},
        {"text/plain; CHARSET=x", "charset", true, "x"},
        {"text/plain; charsetx=y", "charset", false, ""},
        {"text/plain; name*=utf-8''a", "name", false, ""},
        {"text/plain", "charset", false, ""},
        {"text/plain charset=x", "charset", false, ""},
        {"text/plain; format=flowed; charset=x(comment)", "charset", true, "x"},
        {"text/plain; a=\"x;charset=y\"; charset=z", "charset", true, "z"},
        {"text/plain; charset=\r\n\tx", "charset", true, "x"},
        {"text/plain; x; charset=y", "charset", false, ""},  // "x; charset" reads as one name
        {"a/b; name=\xE9t\xE9.pdf", "name", true, "\xE9t\xE9.pdf"},
        {"a/b; name=x y", "name", true, "x"},
        {"a/b; boundary==_abc", "boundary", true, ""},
        {"a/b; name=\"a\\\"b\"", "name", true, "a\\"},  // no backslash escapes
        {std::string("a/b; x=1\0; name=y", 17), "name", false, ""},
    };
    for (const auto& c : cases) {
        CMimeHeaderField field("Content-Type", c.value);
        std::string text = "unchanged";
        EXPECT_EQ(field.ParamText(c.param, text), c.found) << c.value;
        EXPECT_EQ(text, c.text) << c.value;
        EXPECT_EQ(field.LocateParam(c.param).has_value(), c.found) << c.value;
    }
    const auto where =
        CMimeHeaderField("Content-Type", "multipart/mixed; boundary=\"abc\"").LocateParam("boundary");
    ASSERT_TRUE(where);
    EXPECT_EQ(where->position, 26u);
    EXPECT_EQ(where->length, 5u);
}

TEST(HeaderFieldParams, PutParamQuotesAndReplaces) {
    struct Case {
        std::string value;
        const char* param;
        std::string paramValue;
        std::string expected;
    } cases[] = {
        {"text/plain", "charset", "UTF-8", "text/plain; charset=\"UTF-8\""},
        {"text/plain; charset=\"UTF-8\"", "charset", "ISO", "text/plain; charset=\"ISO\""},
        {"text/plain; charset=us-ascii; format=flowed", "charset", "x",
         "text/plain; charset=\"x\"; format=flowed"},
        {"a/b", "name", "\"q\"", "a/b; name=\"q\""},
        {"a/b", "name", "\"q", "a/b; name=\"q\""},
        {"a/b", "name", "q\"", "a/b; name=\"q\""},
        {"a/b", "name", "\"", "a/b; name=\"\""},
        {"a/b", "name", "", "a/b; name=\"\""},
        {"", "name", "x", "; name=\"x\""},
    };
    for (const auto& c : cases) {
        CMimeHeaderField field("Content-Type", c.value);
        field.PutParam(c.param, c.paramValue);
        EXPECT_EQ(field.Value(), c.expected) << c.value << " / " << c.paramValue;
    }
}

TEST(HeaderFieldParams, LeadingValue) {
    struct Case {
        std::string value;
        std::string expected;
    } cases[] = {{"text/html ; charset=x", "text/html"},
                 {"text/html", "text/html"},
                 {"text/html\r\n ;x", "text/html"},
                 {"", ""},
                 {"; x", ""},
                 {" text/html \t", " text/html"}};
    for (const auto& c : cases)
        EXPECT_EQ(CMimeHeaderField("Content-Type", c.value).LeadingValue(), c.expected);
}

TEST(HeaderFieldWrite, EncodesValuesWithACharsetAndFolds) {
    struct Case {
        const char* name;
        std::string fieldName;
        std::string value;
        std::string charset;
        std::string expected;
    } cases[] = {
        {"no charset: written as set", "Subject", "caf\xE9", "", "Subject: caf\xE9\r\n"},
        {"text field is one Q segment", "Subject", "caf\xE9 ok", "ISO-8859-1",
         "Subject: =?ISO-8859-1?Q?caf=E9=20ok?=\r\n"},
        {"mostly non-ASCII text gets B", "Subject", "\xE9\xE9\xE9\xE9\xE9\xE9", "x",
         "Subject: =?x?B?6enp6enp?=\r\n"},
        {"ASCII value with a charset is unchanged", "Subject", "plain words", "x",
         "Subject: plain words\r\n"},
        {"address list: one address per line", "To", "J\xF6rg <j@x>,  Ann <a@y>", "ISO-8859-1",
         "To: =?ISO-8859-1?Q?J=F6rg?= <j@x>,\r\n\tAnn <a@y>\r\n"},
        {"blanks between non-ASCII words stay inside one word", "From", "J\xF8rn  St\xF8ylen <j@x>", "x",
         "From: =?x?Q?J=F8rn=20=20St=F8ylen?= <j@x>\r\n"},
        {"comment is one segment", "From", "(J\xF6rg Z) <a@b>", "x", "From: (=?x?Q?J=F6rg=20Z?=) <a@b>\r\n"},
        {"parameter list: one parameter per line", "Content-Type", "text/plain; name=\"caf\xE9.txt\"", "x",
         "Content-Type: text/plain;\r\n\tname=\"=?x?Q?caf=E9.txt?=\"\r\n"},
        {"unregistered field does not fold", "X-List", "a, \xE9", "x", "X-List: a, =?x?Q?=E9?=\r\n"},
        {"empty name", "", "From ann@x", "", ": From ann@x\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CMimeHeaderField field(c.fieldName, c.value, c.charset);
        EXPECT_EQ(stored(field), c.expected);
    }
}

TEST(HeaderFieldWrite, StaysWithinTheBuffer) {
    const CMimeHeaderField field("From", "abc");
    char buffer[16] = {};
    EXPECT_EQ(field.WriteTo(buffer, 7), 0);  // below name + 4
    EXPECT_EQ(field.WriteTo(buffer, 9), 9);
    EXPECT_EQ(std::string(buffer, 9), "From: a\r\n");
    EXPECT_EQ(field.StoredSize(), 11);
}

TEST(HeaderFieldWrite, StoredSizeBoundsTheEncodedField) {
    std::mt19937 random(3);
    const char* names[] = {"Subject", "To", "Content-Type", "X-Other"};
    const std::string alphabet = "ab ,;:\"()<>=?_\r\n\t.\xE9\xC3\xA9";
    for (int round = 0; round < 500; ++round) {
        std::string value(random() % 200, ' ');
        for (char& c : value) c = alphabet[random() % alphabet.size()];
        const CMimeHeaderField field(names[round % 4], value, std::string(random() % 70 + 1, 'c'));
        const std::int64_t bound = field.StoredSize();
        std::string out(static_cast<std::size_t>(bound) + 64, '\0');
        EXPECT_LE(field.WriteTo(out.data(), static_cast<std::int64_t>(out.size())), bound) << value;
    }
}

TEST(HeaderFieldWrite, StoredFieldsReadBackToTheirValue) {
    const CMimeHeaderField cases[] = {
        {"From", "J\xF8rn St\xF8ylen <j@x>, \xC5se <a@b>", "ISO-8859-1"},
        {"Subject", "caf\xE9 au lait", "ISO-8859-1"},
        {"Content-Type", "image/png; name=\"\xE9t\xE9 d\xE9j\xE0.png\"", "x"},
        {"X-Other", "a \xE9 b \xE9\xE9 c", "x"},
    };
    for (const auto& field : cases) {
        const std::string text = stored(field);
        CMimeHeaderField read;
        ASSERT_EQ(read.Parse(text.data(), static_cast<std::int64_t>(text.size())),
                  static_cast<std::int64_t>(text.size()));
        // Folding after ',' and ';' adds CR LF TAB and drops the blanks that followed.
        std::string expected = field.Value();
        for (const char* from : {", ", "; "}) {
            for (std::size_t at = expected.find(from); at != std::string::npos; at = expected.find(from, at))
                expected.replace(at, 2, std::string(1, from[0]) + "\r\n\t");
        }
        EXPECT_EQ(read.Value(), expected) << text;
        EXPECT_EQ(read.Charset(), field.Charset());
    }
}
