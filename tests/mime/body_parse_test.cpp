#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "body_test_util.h"

using namespace mime;
using mime_test::parse;
using mime_test::shape;
using mime_test::store;

namespace {

const std::string kMixed = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";

}  // namespace

TEST(BodyParse, SplitsMultipartsAtTheirDelimiters) {
    struct Case {
        const char* name;
        std::string text;
        std::string shape;
        std::int64_t consumed;  // -1: the whole text
    } cases[] = {
        {"delimiter right after the blank line", kMixed + "--b\r\n\r\none\r\n--b\r\n\r\ntwo\r\n--b--\r\n",
         "''['one','two']", -1},
        {"preamble keeps the CR LF before the delimiter", kMixed + "pre\r\n--b\r\n\r\nx\r\n--b--\r\n",
         "'pre\r\n'['x']", -1},
        {"transport padding after the boundary", kMixed + "--b \t\r\n\r\nx\r\n--b--  \r\n", "''['x']", -1},
        {"epilogue is dropped", kMixed + "--b\r\n\r\nx\r\n--b--\r\nepilogue\r\n", "''['x']",
         static_cast<std::int64_t>(kMixed.size()) + 17},
        {"no closing delimiter: the last part runs to the end", kMixed + "--b\r\n\r\nx\r\n--b\r\n\r\nlast",
         "''['x','last']", -1},
        {"no closing delimiter: the final line end is the delimiter's", kMixed + "--b\r\n\r\nx\r\n--b\r\n\r\nlast\r\n",
         "''['x','last']", -1},
        {"no closing delimiter: only one line end is the delimiter's", kMixed + "--b\r\n\r\nlast\r\n\r\n",
         "''['last\r\n']", -1},
        {"closing delimiter without a line end", kMixed + "--b\r\n\r\nx\r\n--b--", "''['x']", -1},
        {"delimiter line cut by the end", kMixed + "--b\r\n\r\nx\r\n--b", "''['x']", -1},
        {"empty part between delimiters", kMixed + "--b\r\n\r\n--b\r\n\r\ny\r\n--b--\r\n", "''['','y']", -1},
        {"boundary never found: everything is content", kMixed + "no parts\r\n", "'no parts\r\n'", -1},
        {"multipart without boundary keeps its body", "Content-Type: multipart/mixed\r\n\r\n--b\r\n\r\nx\r\n",
         "'--b\r\n\r\nx\r\n'", -1},
        {"token boundary, case-insensitive type",
         "Content-Type: MULTIPART/Alternative; boundary=zz\r\n\r\n--zz\r\n\r\nx\r\n--zz--\r\n", "''['x']",
         -1},
        {"nested multipart",
         kMixed + "--b\r\nContent-Type: multipart/alternative; "
                  "boundary=i\r\n\r\n--i\r\n\r\np1\r\n--i\r\n\r\np2\r\n"
                  "--i--\r\n\r\n--b\r\n\r\nlast\r\n--b--\r\n",
         "''[''['p1','p2'],'last']", -1},
        {"inner boundary that begins with the outer one",
         kMixed +
             "--b\r\nContent-Type: multipart/alternative; boundary=\"b-alt\"\r\n\r\n--b-alt\r\n\r\np1\r\n"
             "--b-alt\r\n\r\np2\r\n--b-alt--\r\n\r\n--b\r\n\r\nlast\r\n--b--\r\n",
         "''[''['p1','p2'],'last']", -1},
        {"bare CRs and a CR LF without the dashes before the delimiter are content",
         kMixed + "--b\r\n\r\nx\r\ry\r\r\n-b\r\n-\r\r\n--b\r\n\r\nz\r\n--b--\r\n", "''['x\r\ry\r\r\n-b\r\n-\r','z']", -1},
        {"delimiter at the very end of the text", kMixed + "--b\r\n\r\nx\r\n--b", "''['x']", -1},
        {"a delimiter line with text after the boundary is content",
         kMixed + "--b\r\n\r\nx\r\n--bx\r\n--b-y\r\n--b--\r\n", "''['x\r\n--bx\r\n--b-y']", -1},
        {"transfer encodings of parts are decoded",
         kMixed + "--b\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n--b\r\nContent-Transfer-Encoding: "
                  "Quoted-Printable\r\n\r\n=41=\r\nB\r\n--b--\r\n",
         "''['ABC','AB']", -1},
        {"a message part is a leaf",
         kMixed +
             "--b\r\nContent-Type: message/rfc822\r\n\r\nContent-Type: multipart/mixed; boundary=c\r\n\r\n"
             "--c\r\n\r\nin\r\n--b--\r\n",
         "''['Content-Type: multipart/mixed; boundary=c\r\n\r\n--c\r\n\r\nin']", -1},
        {"single body", "Subject: s\r\n\r\nhello\r\n", "'hello\r\n'", -1},
        {"header only", "Subject: s\r\n", "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMimeMessage message;
        EXPECT_EQ(parse(message, c.text),
                  c.consumed < 0 ? static_cast<std::int64_t>(c.text.size()) : c.consumed);
        EXPECT_EQ(shape(message), c.shape.empty() ? "''" : c.shape);

        // The outline reads the same headers and parts, and no content.
        CMimeMessage outline;
        EXPECT_EQ(mime_test::parseOutline(outline, c.text), parse(message, c.text));
        EXPECT_EQ(mime_test::outline(outline), mime_test::outlineWithoutContent(message));
    }
}

TEST(BodyParse, PartsKeepTheirHeaders) {
    CMimeMessage message;
    parse(
        message,
        kMixed + "--b\r\nContent-Type: text/html\r\nX-A: 1\r\n\r\n<p>\r\n--b\r\n\r\nno header\r\n--b--\r\n");
    ASSERT_EQ(message.Parts().size(), 2u);
    const CMimeBody& html = *message.Parts().front();
    EXPECT_EQ(*html.ContentTypeText(), "text/html");
    EXPECT_EQ(*html.FieldText("x-a"), "1");
    const CMimeBody& plain = *message.Parts().back();
    EXPECT_TRUE(plain.Fields().empty());
    EXPECT_EQ(plain.MediaTypeIndex(), kMediaText);
    EXPECT_EQ(plain.MainTypeText(), "text");
}

TEST(BodyParse, MalformedInputReturnsZeroOrShortens) {
    struct Case {
        std::string text;
        std::int64_t result;
    } cases[] = {
        {"", 0},
        {"Subject: lf only\n\nbody\n", 0},
        {"Subject: s", 0},
        {" stray\r\n\r\nbody", 0},
    };
    for (const auto& c : cases) {
        CMimeMessage message;
        EXPECT_EQ(parse(message, c.text), c.result) << c.text;
        EXPECT_EQ(message.Content(), nullptr);
    }
    // A malformed part stays in the tree with what it could read.
    CMimeMessage message;
    parse(message, kMixed + "--b\r\nX-A: 1\r\nno line end\r\n--b\r\n\r\nok\r\n--b--\r\n");
    EXPECT_EQ(shape(message), "''['','ok']");
    EXPECT_EQ(*message.Parts().front()->FieldText("X-A"), "1");
}

TEST(BodyParse, ParsingAgainReplacesTheTree) {
    CMimeMessage message;
    parse(message, kMixed + "--b\r\n\r\nx\r\n--b--\r\n");
    parse(message, "Subject: s\r\n\r\nplain");
    EXPECT_EQ(shape(message), "'plain'");
    EXPECT_EQ(message.Fields().size(), 1u);
}

TEST(BodyParse, DeepNestingIsBoundedNotRecursedWithoutLimit) {
    // Thousands of nested multiparts, each opening the next one inside its first part.
    const int depth = 20000;
    std::string text;
    for (int level = 0; level < depth; ++level)
        text += "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(level) + "x\"\r\n\r\n--b" +
                std::to_string(level) + "x\r\n";
    text += "\r\ninnermost\r\n";
    CMimeMessage message;
    EXPECT_EQ(parse(message, text), static_cast<std::int64_t>(text.size()));
    int levels = 0;
    const CMimeBody* body = &message;
    while (!body->Parts().empty()) {
        body = body->Parts().front().get();
        ++levels;
    }
    EXPECT_EQ(levels, kMaxNestingDepth);
    EXPECT_EQ(body->MediaTypeIndex(), kMediaMultipart);  // not split: keeps the rest as content
    EXPECT_GT(body->ContentSize(), 0);
    std::vector<const CMimeBody*> leaves;
    EXPECT_EQ(message.CollectLeaves(leaves), 0);  // the unsplit multipart has no parts
    EXPECT_GT(store(message).size(), text.size() / 2);
}

// Delimiters are searched 32 bytes at a time by their first and last bytes: parts of random CRs, LFs,
// dashes and boundary letters, short and long, split exactly where the delimiters stand, for a short
// boundary and a long one.
TEST(BodyParse, DelimitersFoundAmongNearMissesAtEveryOffset) {
    std::mt19937 random(3);
    for (const std::string& boundary : {std::string("b"), "q" + std::string(58, 'b')}) {
        const std::string delimiter = "\r\n--" + boundary;
        for (int round = 0; round < 200; ++round) {
            std::vector<std::string> contents(1 + random() % 6);
            std::string text = "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
            std::string expected = "''[";
            for (std::string& content : contents) {
                do {
                    content.clear();
                    const std::size_t size = random() % 4 == 0 ? 100 + random() % 200 : random() % 40;
                    while (content.size() < size) content += "\r\n-bqx"[random() % 7];
                } while (content.find(delimiter) != std::string::npos || content.starts_with("-"));
                text += "--" + boundary + "\r\n\r\n" + content + "\r\n";
                expected += (&content == &contents.front() ? "'" : ",'") + content + "'";
            }
            text += "--" + boundary + "--\r\n";
            CMimeMessage message;
            parse(message, text);
            ASSERT_EQ(shape(message), expected + "]") << round;
        }
    }
}

TEST(BodyParse, NearMissDelimitersDoNotSplit) {
    // Many lines that almost match the delimiter, in one long part.
    std::string text = "Content-Type: multipart/mixed; boundary=\"" + std::string(60, 'x') + "\"\r\n\r\n--" +
                       std::string(60, 'x') + "\r\n\r\n";
    for (int i = 0; i < 200000; ++i) text += "\r\n--" + std::string(59, 'x') + "y";
    CMimeMessage message;
    EXPECT_EQ(parse(message, text), static_cast<std::int64_t>(text.size()));
    ASSERT_EQ(message.Parts().size(), 1u);
}
