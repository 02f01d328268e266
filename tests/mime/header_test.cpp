#include <gtest/gtest.h>

#include "mime/mime_header.h"

using namespace mime;

namespace {

std::int64_t parse(CMimeHeader& header, std::string_view text) {
    return header.Parse(text.data(), static_cast<std::int64_t>(text.size()));
}

}  // namespace

TEST(HeaderParse, ReadsFieldsUpToTheBlankLine) {
    struct Case {
        const char* name;
        std::string text;
        std::int64_t result;
        std::size_t fields;
    } cases[] = {
        {"two fields and a body", "From: a\r\nTo: b\r\n\r\nbody", 18, 2},
        {"LF line ends are not lines", "From: a\nTo: b\n\nbody", 0, 0},
        {"last field without CR LF fails, earlier fields stay", "From: a\r\nTo: b", 0, 1},
        {"header up to the end of the text", "From: a\r\n", 9, 1},
        {"no fields", "\r\nbody", 2, 0},
        {"empty text", "", 0, 0},
        {"every line a stray continuation", " x\r\n y\r\n", 0, 0},
        {"stray line, then the blank line", " x\r\n\r\nbody", 0, 0},
        {"zero byte ends the header", std::string("From: a\r\n\0junk", 14), 9, 1},
        {"a bare CR is taken as the blank line", "From: a\r\n\rXbody", 11, 1},
        {"CR as the last byte", "From: a\r\n\r", 10, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeHeader header;
        EXPECT_EQ(parse(header, c.text), c.result);
        EXPECT_EQ(header.Fields().size(), c.fields);
    }
}

TEST(HeaderParse, ReplacesEarlierFields) {
    CMimeHeader header;
    parse(header, "A: 1\r\nB: 2\r\n\r\n");
    parse(header, "C: 3\r\n\r\n");
    ASSERT_EQ(header.Fields().size(), 1u);
    EXPECT_EQ(header.Fields()[0].name, "C");
}

TEST(HeaderLookup, FindsTheFirstFieldWithoutRegardToCase) {
    CMimeHeader header;
    parse(header,
          "Content-Type: text/plain\r\nSubject: one\r\nSUBJECT: two\r\nX-Empty:\r\nFrom: f\r\nTo: t\r\n"
          "Date: d\r\nContent-Transfer-Encoding: base64\r\n\r\n");
    ASSERT_NE(header.LookupField("content-type"), nullptr);
    EXPECT_EQ(header.LookupField("content-type")->name, "Content-Type");
    EXPECT_EQ(*header.FieldText("subject"), "one");
    EXPECT_EQ(header.FieldText("Missing"), std::nullopt);
    ASSERT_NE(header.FieldText("X-Empty"), std::nullopt);
    EXPECT_EQ(*header.FieldText("X-Empty"), "");
    EXPECT_EQ(*header.FromText(), "f");
    EXPECT_EQ(*header.ToText(), "t");
    EXPECT_EQ(*header.SubjectText(), "one");
    EXPECT_EQ(*header.DateText(), "d");
    EXPECT_EQ(*header.ContentTypeText(), "text/plain");
    EXPECT_EQ(*header.TransferEncodingText(), "base64");
}

TEST(HeaderLookup, MboxSeparatorLineIsNotTheFromField) {
    for (std::string_view text :
         {"From ann@x Mon Jan  1 10:00:00 2024\r\nSubject: s\r\n\r\n", "From ann@x\r\nSubject: s\r\n\r\n"}) {
        CMimeHeader header;
        EXPECT_GT(parse(header, text), 0);
        EXPECT_EQ(header.FromText(), std::nullopt) << text;
        EXPECT_EQ(header.Fields().size(), 2u);
    }
}

TEST(HeaderPut, OverwritesOrAppends) {
    CMimeHeader header;
    parse(header, "Subject: =?a?q?x?=\r\nTo: t\r\n\r\n");
    EXPECT_EQ(header.LookupField("Subject")->Charset(), "a");
    header.PutFieldText("SUBJECT", "new");
    header.PutField(CMimeHeaderField("Cc", "c", "cs"));
    ASSERT_EQ(header.Fields().size(), 3u);
    EXPECT_EQ(header.Fields()[0].name, "SUBJECT");
    EXPECT_EQ(header.Fields()[0].Value(), "new");
    EXPECT_EQ(header.Fields()[0].Charset(), "");
    EXPECT_EQ(header.Fields()[2].Charset(), "cs");
}

TEST(HeaderPut, AReadFieldKeepsItsWrittenValueUntilTheProgramChangesIt) {
    CMimeHeader header;
    parse(header, "Content-Type: text/plain; name==?utf-8?q?f=C3=A9?=\r\n\r\n");
    CMimeHeaderField* type = header.LookupField("Content-Type");
    ASSERT_TRUE(type);
    EXPECT_EQ(type->RawValue(), "text/plain; name==?utf-8?q?f=C3=A9?=");  // as written, decoded when asked
    EXPECT_EQ(type->Value(), "text/plain; name=f\xC3\xA9");
    EXPECT_EQ(type->ParamText("name"), "f\xC3\xA9");
    type->PutParam("charset", "x");
    // Now a field the program made: its text, written in the charset of the word it was read with.
    EXPECT_EQ(type->RawValue(), "text/plain; name=f\xC3\xA9; charset=\"x\"");
    EXPECT_EQ(type->Charset(), "utf-8");
    std::string out(static_cast<std::size_t>(type->StoredSize()), '\0');
    out.resize(static_cast<std::size_t>(type->WriteTo(out.data(), static_cast<std::int64_t>(out.size()))));
    EXPECT_NE(out.find("=?utf-8?"), std::string::npos) << out;
    EXPECT_EQ(out.find("\xC3"), std::string::npos) << out;
}

TEST(HeaderWrite, WritesFieldsAndTheBlankLine) {
    CMimeHeader header;
    header.PutFieldText("From", "a");
    header.PutFieldText("To", "b");
    EXPECT_EQ(header.StoredSize(), 18);
    std::string out(18, '\0');
    ASSERT_EQ(header.WriteTo(out.data(), 18), 18);
    EXPECT_EQ(out, "From: a\r\nTo: b\r\n\r\n");
    EXPECT_EQ(header.WriteTo(out.data(), 5), 0);   // From needs name + 4 bytes
    EXPECT_EQ(header.WriteTo(out.data(), 12), 0);  // To does not fit after From
    EXPECT_EQ(header.WriteTo(out.data(), 17), 0);  // no room for the blank line
    EXPECT_EQ(header.WriteTo(nullptr, 100), 0);
}

TEST(HeaderWrite, ParsedHeaderStoresBackAsItStood) {
    const std::string text = "Subject: a\r\n b\r\nFrom ann@x Mon Jan  1 10:00:00 2024\r\nX:\r\n\r\n";
    CMimeHeader header;
    ASSERT_EQ(parse(header, text), static_cast<std::int64_t>(text.size()));
    std::string out(static_cast<std::size_t>(header.StoredSize()), '\0');
    out.resize(static_cast<std::size_t>(header.WriteTo(out.data(), static_cast<std::int64_t>(out.size()))));
    // Values lose the blanks after the colon and gain ": " on output.
    EXPECT_EQ(out, "Subject: a\r\n b\r\nFrom ann@x Mon Jan  1 10: 00:00 2024\r\nX: \r\n\r\n");
}
