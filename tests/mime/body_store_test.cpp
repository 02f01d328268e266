#include <gtest/gtest.h>

#include "body_test_util.h"

using namespace mime;
using mime_test::parse;
using mime_test::shape;
using mime_test::store;

TEST(BodyStore, ParsedMessagesStoreBack) {
    struct Case {
        const char* name;
        std::string text;
        std::string stored;  // empty: the text itself
    } cases[] = {
        {"single part", "Subject: s\r\n\r\nhello\r\n", ""},
        {"multipart without preamble",
         "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nA: "
         "1\r\n\r\none\r\n--b\r\n\r\ntwo\r\n--b--\r\n",
         ""},
        {"multipart with preamble",
         "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\npre\r\n--b\r\n\r\none\r\n--b--\r\n", ""},
        {"nested",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: multipart/related; "
         "boundary=i\r\n\r\n"
         "--i\r\n\r\nx\r\n--i--\r\n\r\n--b--\r\n",
         // the inner closing line's CR LF and the outer delimiter's CR LF were one blank line
         ""},
        {"epilogue and padding are dropped",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b  \r\n\r\nx\r\n--b--\r\nepilogue",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n"},
        {"missing closing delimiter is added",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx",
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nx\r\n--b--\r\n"},
        {"base64 is re-encoded in 76-character lines",
         "Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\nREVG\r\n",
         "Content-Transfer-Encoding: base64\r\n\r\nQUJDREVG\r\n"},
        {"quoted-printable is re-encoded",
         "Content-Transfer-Encoding: quoted-printable\r\n\r\na=\r\nb=3d c \r\n",
         "Content-Transfer-Encoding: quoted-printable\r\n\r\nab=3D c=20\r\n"},
        {"encoded words are written back in their charset", "Subject: =?ISO-8859-1?Q?caf=E9?=\r\n\r\n",
         "Subject: =?ISO-8859-1?Q?caf=E9?=\r\n\r\n"},
        {"blanks after the colon become one space", "Subject:\t  s\r\n\r\n", "Subject: s\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeMessage message;
        ASSERT_GT(parse(message, c.text), 0);
        EXPECT_EQ(store(message), c.stored.empty() ? c.text : c.stored);
    }
}

TEST(BodyStore, ComposedMultipartHasNoDoubledEmptyLine) {
    CMimeMessage message;
    message.PutFieldText("Subject", "s");
    message.PutFieldText("Content-Type", "multipart/mixed; boundary=\"b\"");
    CMimeBody* text = message.AddChildPart();
    text->PutFieldText("Content-Type", "text/plain");
    EXPECT_EQ(text->PutContent("hello", 0), 5);
    CMimeBody* file = message.AddChildPart();
    file->PutFieldText("Content-Transfer-Encoding", "base64");
    file->PutPartName("a.pdf");
    EXPECT_EQ(file->PutContent("ABC", 3), 3);

    const std::string expected =
        "Subject: s\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nhello"
        "\r\n--b\r\nContent-Transfer-Encoding: base64\r\nContent-Type: application/pdf; "
        "name=\"a.pdf\"\r\n\r\nQUJD\r\n"
        "\r\n--b--\r\n";
    EXPECT_EQ(store(message), expected);

    CMimeMessage again;
    parse(again, expected);
    EXPECT_EQ(shape(again), "''['hello','ABC']");
    EXPECT_EQ(again.Parts().back()->PartName(), "a.pdf");
}

TEST(BodyStore, ReportsWhatDoesNotFit) {
    CMimeMessage message;
    message.PutFieldText("Content-Type", "multipart/mixed");
    message.AddChildPart()->PutContent("x", 0);
    EXPECT_EQ(store(message), "<error -1>");  // parts but no boundary

    CMimeMessage single;
    single.PutFieldText("Subject", "a long enough subject");
    single.PutContent("body", 0);
    char buffer[64];
    EXPECT_EQ(single.WriteTo(buffer, 10), 0);   // the field does not fit
    EXPECT_EQ(single.WriteTo(buffer, 33), 0);   // no room for the blank line
    ASSERT_EQ(single.WriteTo(buffer, 36), 36);  // the content is cut to the room
    EXPECT_EQ(std::string(buffer, 36), "Subject: a long enough subject\r\n\r\nbo");
}

TEST(BodyStore, StoredSizeBoundsEveryWrite) {
    CMimeMessage message;
    parse(message,
          "Subject: =?UTF-8?B?w6nDqcOp?= and more\r\nTo: =?ISO-8859-1?Q?J=F6rg?= <j@x>, b@y\r\n"
          "Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n--b\r\nContent-Transfer-Encoding: "
          "quoted-printable\r\n\r\n" +
              std::string(300, '\xE9') + "\r\n--b\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
              std::string(400, 'A') + "\r\n--b--\r\n");
    const std::int64_t bound = message.StoredSize();
    std::string roomy(static_cast<std::size_t>(bound) + 100, '\0');
    const std::int64_t written = message.WriteTo(roomy.data(), static_cast<std::int64_t>(roomy.size()));
    EXPECT_LE(written, bound);
    // Any smaller buffer is respected.
    for (std::int64_t size = 0; size <= written; size += 7) {
        std::string buffer(static_cast<std::size_t>(size) + 8, '#');
        EXPECT_LE(message.WriteTo(buffer.data(), size), size);
        EXPECT_EQ(buffer.substr(static_cast<std::size_t>(size)), "########");
    }
}
