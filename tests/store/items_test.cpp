#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "cfb_reader.h"
#include "oracle_tools.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "sample_messages.h"
#include "store/items/attachment_files.h"
#include "store/little_endian.h"
#include "mime/html_sanitizer.h"
#include "mime/html_text.h"
#include "mime/html_tokens.h"
#include "store/items/html_writer.h"
#include "store/items/message_text.h"
#include "store/items/rtf_writer.h"
#include "store/mapi/codepages.h"
#include "store/mapi/property_tags.h"
#include "support/test_support.h"

using namespace store::items;
using namespace mime;
using namespace store::mapi;
using testing_support::TempDir;

namespace {

std::u16string u16(const std::filesystem::path& p) { return platform::fromNativePath(p.string()); }

std::string lowered(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Local time is UTC while a test runs, so that sent times read the same everywhere.
class UtcTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> saved_;
};

Message itemMessage() {
    Message m = store_test::simpleMessage(u"Grüße – 日本語 {report}", u"Line one: café\r\nLine two\tтекст \\ done");
    m.props.setString(PidTagSentRepresentingName, u"Jürgen Weiß");
    m.props.setString(PidTagSentRepresentingSmtpAddress, u"juergen@example.com");
    m.recipients.push_back(store_test::recipient(MAPI_TO, u"Anna", u"anna@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_TO, u"bob@example.com", u"bob@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_CC, u"Carol", u"carol@example.com"));
    m.recipients.push_back(store_test::recipient(MAPI_BCC, u"Dave", u"dave@example.com"));
    m.attachments.push_back(store_test::fileAttachment(u"report.pdf", u"application/pdf", "%PDF"));
    Attachment hidden = store_test::fileAttachment(u"logo.png", u"image/png", "PNG");
    hidden.props.setBool(PidTagAttachmentHidden, true);
    m.attachments.push_back(hidden);
    Attachment embedded;
    embedded.props.setString(PidTagDisplayName, u"Forwarded");
    embedded.setEmbeddedMessage(store_test::simpleMessage(u"Inner", u"inner body"));
    m.attachments.push_back(embedded);
    return m;
}

}  // namespace

TEST(HtmlEntitiesTest, DecodesNamedAndNumericReferences) {
    const std::pair<const char*, const char*> cases[] = {
        {"a &amp; b &lt;c&gt;", "a & b <c>"},
        {"caf&eacute; &euro;5 &#233;&#xE9;&#Xe9;", "café €5 ééé"},
        {"&nbsp;", "\xC2\xA0"},
        {"&unknown; & &#; &#xZZ;", "&unknown; & &#; &#xZZ;"},
        {"&amp", "&"},
        {"&#0;&#x110000;", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(decodeEntities(in), out) << in;
    EXPECT_EQ(escapeHtml("<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
}

TEST(HtmlToTextTest, GivesTheTextAReaderSees) {
    const std::pair<std::string, std::string> cases[] = {
        {"<p>one</p><p>two</p>", "one\r\ntwo"},
        {"a<br>b<br/>c", "a\r\nb\r\nc"},
        {"  many \n\t spaces  here ", "many spaces here"},
        {"<head><title>T</title><style>p{}</style></head><body>Hi <b>there</b></body>", "Hi there"},
        {"<html><head><title>open head<body>Shown", "Shown"},
        {"x<script>var a = '<p>no</p>';</script>y", "xy"},
        {"<pre>  keep\n  this</pre>", "  keep\r\n  this"},
        {"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a\tb\r\nc"},
        {"caf&eacute; &amp; cr&egrave;me", "café & crème"},
        {"<p>a</p><p></p><p></p><p>b</p>", "a\r\nb"},
        {"<div><p>a</p>\n\n<br><br><br><p>b</p></div>", "a\r\n\r\nb"},
        {"", ""},
        // White space runs, words of any length, entities and line breaks at the ends.
        {"<p>  lead   and\ttabs\n\nend  </p>", "lead and tabs end"},
        {"a<br><br><br><br>b", "a\r\n\r\nb"},
        {"<br><br>x<br>", "x"},
        {"a &amp;&amp; b", "a && b"},
        {"x &#13;&#10; y", "x y"},
        {std::string(100, 'w') + " \n " + std::string(70, 'v'), std::string(100, 'w') + " " + std::string(70, 'v')},
        {"<pre>x\r\n  y</pre>z", "x\r\n  y\r\nz"},
        {"<div>one</div>\r\n<div> two</div>", "one\r\ntwo"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(htmlToText(in), out) << in;
}

TEST(RtfEscapeTest, EscapesControlsAndNonAscii) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain", "plain"},
        {u"a{b}\\c", "a\\{b\\}\\\\c"},
        {u"é", "\\u233\\'3f"},
        {u"日", "\\u26085\\'3f"},
        {u"\uFFFD", "\\u-3\\'3f"},
        {u"😀", "\\u-10179\\'3f\\u-8704\\'3f"},
        {u"a\r\nb\nc\rd", "a\\par\r\nb\\par\r\nc\\par\r\nd"},
        {u"t\tx\x01y", "t\\tab xy"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(rtfEscape(in), out);
}

// rtfEscape and the plain body's line ends copy plain text a run at a time: the same as the rules
// applied a character at a time, wherever the special characters fall (at the ends, across 16-, 32-
// and 64-unit blocks, in runs of them).
TEST(RtfEscapeTest, RunCopiesFollowTheCharacterRules) {
    auto rtfByCharacter = [](std::u16string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c >= 0x20 && c < 0x80 && c != u'\\' && c != u'{' && c != u'}') {
                out.push_back(static_cast<char>(c));
            } else if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                out += "\\par\r\n";
            } else if (c == u'\t') {
                out += "\\tab ";
            } else if (c == u'\\' || c == u'{' || c == u'}') {
                out += '\\';
                out.push_back(static_cast<char>(c));
            } else if (c >= 0x20) {
                out += "\\u" + std::to_string(static_cast<std::int16_t>(c)) + "\\'3f";
            }
        }
        return out;
    };
    auto crLfByCharacter = [](std::u16string_view text) {
        std::u16string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            if (text[i] == u'\r' || text[i] == u'\n') {
                out += u"\r\n";
            } else {
                out.push_back(text[i]);
            }
        }
        return out;
    };
    std::vector<std::u16string> texts = {u"", u"a", u"\r", u"\n", u"\r\n", u"\n\r", u"é", u"\x01", u"\x7F"};
    const std::u16string specials[] = {u"\r",  u"\n", u"\r\n", u"\r\r", u"\n\n\r", u"\\", u"{}", u"\t",
                                       u"\x01", u"\x7F", u"é",   u"😀",   u"\uFFFF", u"\x80"};
    for (const std::u16string& special : specials) {
        for (const std::size_t at : {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
            std::u16string text(100, u'a');
            text.insert(at, special);
            texts.push_back(text);
            texts.push_back(text.substr(0, at + special.size()));  // ending with it
        }
    }
    for (const std::u16string& text : texts) {
        EXPECT_EQ(rtfEscape(text), rtfByCharacter(text)) << platform::utf16ToUtf8(text);
        Message m;
        m.props.setString(PidTagBody, text);
        EXPECT_EQ(plainTextOf(m), crLfByCharacter(text)) << platform::utf16ToUtf8(text);
    }
}

// utf8Text copies ASCII runs itself and converts the rest run by run: the same bytes as converting
// the whole text, wherever the runs start and end (pairs, lone halves and escaped bytes beside ASCII).
TEST(Utf8TextTest, SameAsTheWholeConversion) {
    std::vector<std::u16string> texts = {u"", u"a", u"é", u"😀", u"\xD83D", u"\xDE00", u"\xDC80", u"\xD83D\xDC80",
                                         u"\xDCFF" u"a", u"a\xD83D", u"\xD83D" u"a\xDE00", u"日本語 text"};
    const std::u16string pieces[] = {u"é", u"😀", u"\xD83D", u"\xDE00", u"\xDC9F", u"\xD83D\xDC9F", u"\x7F\x80", u"日"};
    for (const std::u16string& piece : pieces) {
        for (const std::size_t at : {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
            std::u16string text(100, u'a');
            text.insert(at, piece);
            texts.push_back(text);
            texts.push_back(text.substr(0, at + piece.size()));
            texts.push_back(text.substr(at));
        }
    }
    for (const std::u16string& text : texts) EXPECT_EQ(utf8Text(text), platform::utf16ToUtf8(text)) << text.size();
}

TEST(CodepageTest, NamesAndDecoding) {
    EXPECT_EQ(charsetOfCodepage(65001), "UTF-8");
    EXPECT_EQ(charsetOfCodepage(20866), "KOI8-R");
    EXPECT_EQ(charsetOfCodepage(1251), "WINDOWS-1251");
    EXPECT_EQ(charsetOfCodepage(12345), "CP12345");
    EXPECT_EQ(codepageOfCharset("utf-8"), 65001);
    EXPECT_EQ(codepageOfCharset("Shift_JIS"), 932);
    EXPECT_EQ(codepageOfCharset("iso-2022-jp"), 50220);
    EXPECT_EQ(codepageOfCharset("windows-1250"), 1250);
    EXPECT_EQ(codepageOfCharset("cp1257"), 1257);
    EXPECT_EQ(codepageOfCharset("x-unknown"), std::nullopt);
    // Numbers are parsed without exceptions; anything that does not fit or is not a number is unknown.
    for (const char* junk : {"CP99999999999999999999", "windows-2147483648", "cp", "cp-5", "cp+5", "cp 1252", "cp1252x"})
        EXPECT_EQ(codepageOfCharset(junk), std::nullopt) << junk;
    EXPECT_EQ(codepageOfCharset("CP2147483647"), 2147483647);
    EXPECT_EQ(decodeCodepage(1252, "caf\xE9 \x80"), u"café €");
    EXPECT_EQ(decodeCodepage(20866, "\xF0\xD2\xC9\xD7\xC5\xD4"), u"Привет");
    EXPECT_EQ(decodeCodepage(932, "\x93\xfa\x96\x7b"), u"日本");
    EXPECT_EQ(decodeCodepage(99999, "caf\xE9"), u"café");  // unknown: Windows-1252
}

TEST(SafeFileNameTest, NamesStayInsideTheirFolder) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"report.pdf", u"report.pdf"},
        {u"../../etc/passwd", u".._.._etc_passwd"},
        {u"..", u"_"},
        {u".", u"_"},
        {u"", u"attachment"},
        {u"   ", u"attachment"},
        {u"a\\b:c*d?e\"f<g>h|i", u"a_b_c_d_e_f_g_h_i"},
        {u"tab\there\x01", u"tab_here_"},
        {u" spaced name.txt ", u"spaced name.txt"},
        {u"Größe 日本.txt", u"Größe 日本.txt"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(safeFileName(in), out) << platform::utf16ToUtf8(in);
    // Too long: cut to 255 bytes of UTF-8, extension kept, no half characters.
    const std::u16string longName = std::u16string(200, u'日') + u".txt";
    const std::u16string cut = safeFileName(longName);
    EXPECT_LE(platform::utf16ToUtf8(cut).size(), 255u);
    EXPECT_EQ(cut.substr(cut.size() - 4), u".txt");
    EXPECT_TRUE(platform::isValidUtf8(platform::utf16ToUtf8(cut)));
}

TEST(AttachmentFilesTest, NamesAndSaving) {
    Attachment a = store_test::fileAttachment(u"long name.txt", u"text/plain", "contents");
    a.props.setString(PidTagAttachFilename, u"LONGNA~1.TXT");
    EXPECT_EQ(attachmentFileName(a), u"long name.txt");
    a.props.remove(PidTagAttachLongFilename);
    EXPECT_EQ(attachmentFileName(a), u"LONGNA~1.TXT");
    a.props.remove(PidTagAttachFilename);
    a.props.setString(PidTagDisplayName, u"dir/evil");
    EXPECT_EQ(attachmentFileName(a), u"dir_evil");
    Attachment embedded;
    embedded.props.setString(PidTagDisplayName, u"Fwd: news");
    embedded.setEmbeddedMessage(store_test::simpleMessage(u"news", u"text"));
    EXPECT_EQ(attachmentFileName(embedded), u"Fwd_ news.msg");
    EXPECT_EQ(attachmentFileName(Attachment{}), u"attachment");

    TempDir dir;
    ASSERT_TRUE(saveAttachmentFile(a, u16(dir / "a.txt")));
    EXPECT_EQ(testing_support::readFile(dir / "a.txt"), "contents");
    ASSERT_TRUE(saveAttachmentFile(embedded, u16(dir / "e.msg")));
    store_test::CfbContents contents;
    std::string error;
    ASSERT_TRUE(store_test::readCompoundFile(dir / "e.msg", contents, error)) << error;
    EXPECT_EQ(contents.streams.at(u"__substg1.0_0037001F"), store::utf16le(u"news"));
    const auto missing = saveAttachmentFile(a, u16(dir / "missing" / "x"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.failure().code, ENOENT);
    EXPECT_NE(missing.failure().message.find("No such file or directory"), std::string::npos);
}

TEST_F(UtcTime, SentTimeReadsLikeAMailClient) {
    EXPECT_EQ(formatSentTime(fileTimeFromUnix(1709296496)), u"Friday, March 1, 2024 12:34 PM");
    EXPECT_EQ(formatSentTime(fileTimeFromUnix(1704067200)), u"Monday, January 1, 2024 12:00 AM");
    EXPECT_EQ(formatSentTime(fileTimeFromUnix(1704110340)), u"Monday, January 1, 2024 11:59 AM");
}

TEST_F(UtcTime, HeaderBlockFromTheMessage) {
    const ItemHeader h = itemHeaderOf(itemMessage());
    EXPECT_EQ(h.from, u"Jürgen Weiß <juergen@example.com>");
    EXPECT_EQ(h.sent, u"Friday, March 1, 2024 12:34 PM");
    EXPECT_EQ(h.to, u"Anna <anna@example.com>; bob@example.com");
    EXPECT_EQ(h.cc, u"Carol <carol@example.com>");
    EXPECT_EQ(h.subject, u"Grüße – 日本語 {report}");
    EXPECT_EQ(h.attachments, (std::vector<std::u16string>{u"report.pdf", u"Forwarded.msg"}));

    // Without recipient rows the display lists stand in; without sent-representing, the sender.
    Message bare;
    bare.props.setString(PidTagDisplayTo, u"Somebody");
    bare.props.setString(PidTagSenderName, u"Only Sender");
    const ItemHeader b = itemHeaderOf(bare);
    EXPECT_EQ(b.to, u"Somebody");
    EXPECT_EQ(b.from, u"Only Sender");
    EXPECT_TRUE(b.sent.empty());
}

TEST_F(UtcTime, HtmlItemsLinkTheSavedAttachmentsWhateverTheBody) {
    const SavedAttachmentFiles saved{u"Inbox_Attachment/report (2).pdf"};
    for (const bool htmlBody : {false, true}) {
        SCOPED_TRACE(htmlBody ? "HTML body" : "plain body");
        Message m = itemMessage();
        if (htmlBody) {
            m.props.setBinary(PidTagHtml, "<body><p>Hi <a href=\"../outside.html\">rel</a></p></body>");
            m.props.setLong(PidTagInternetCodepage, 65001);
        }
        const std::string html = htmlDocument(m, saved);
        EXPECT_NE(html.find("<a href=\"Inbox_Attachment/report%20%282%29.pdf\">report (2).pdf</a>"),
                  std::string::npos)
            << html;
        // The message's own relative links are still not followed.
        EXPECT_EQ(html.find("outside.html"), std::string::npos);
    }
}

// A document rendered before the attachment files were saved gets their links by its header block
// alone: the same bytes as a document rendered with them, whatever the body (a plain or HTML body, an
// HTML body whose parser moves things into the body, one with no markup at all).
TEST_F(UtcTime, HeaderBlockRenderedAgainGivesTheWholeRender) {
    const SavedAttachmentFiles saved{u"Inbox_Attachment/report (2).pdf", {}, u"Inbox_Attachment/Forwarded.msg"};
    const std::optional<std::string> htmlBodies[] = {std::nullopt, "<body><p>Hi</p></body>",
                                                     "<title>T</title><table><p>moved</p></table>", "plain words", ""};
    for (const auto& body : htmlBodies) {
        SCOPED_TRACE(body.value_or("no HTML body"));
        Message m = itemMessage();
        if (body) m.props.setBinary(PidTagHtml, *body);
        const ItemDocument html = htmlItemDocument(m);
        EXPECT_EQ(html.bytes, htmlDocument(m));
        EXPECT_EQ(html.withHeader(htmlHeaderBlock(m, saved)), htmlDocument(m, saved));
        const ItemDocument rtf = rtfItemDocument(m);
        EXPECT_EQ(rtf.bytes, rtfDocument(m));
        EXPECT_EQ(rtf.withHeader(rtfHeaderBlock(m, saved)), rtfDocument(m, saved));
    }
    // A document without a header block's place stays as it is.
    EXPECT_EQ((ItemDocument{"abc"}).withHeader("header"), "abc");
}

TEST(MessageTextTest, BodiesAndCodePages) {
    Message m;
    EXPECT_EQ(plainTextOf(m), u"");
    EXPECT_EQ(htmlBodyUtf8(m), std::nullopt);
    m.props.setBinary(PidTagHtml, "<p>Caf\xE9</p><p>cr\xE8me</p>");
    m.props.setLong(PidTagInternetCodepage, 1252);
    EXPECT_EQ(htmlBodyUtf8(m), "<p>Café</p><p>crème</p>");
    EXPECT_EQ(plainTextOf(m), u"Café\r\ncrème");
    m.props.setLong(PidTagInternetCodepage, 20866);
    m.props.setBinary(PidTagHtml, "<b>\xF0\xD2\xC9\xD7\xC5\xD4</b>");
    EXPECT_EQ(plainTextOf(m), u"Привет");
    m.props.remove(PidTagInternetCodepage);
    m.props.setBinary(PidTagHtml, "<b>d\xC3\xA9j\xC3\xA0</b>");  // no code page: UTF-8 when valid
    EXPECT_EQ(plainTextOf(m), u"déjà");
    m.props.setBinary(PidTagHtml, "<b>d\xE9j\xE0</b>");  // else Windows-1252
    EXPECT_EQ(plainTextOf(m), u"déjà");
    m.props.setString(PidTagBody, u"plain\nwins");
    EXPECT_EQ(plainTextOf(m), u"plain\r\nwins");
}

TEST_F(UtcTime, HtmlDocumentHasHeaderAndSafeBody) {
    Message m = itemMessage();
    m.props.setBinary(PidTagHtml,
                      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">"
                      "<script>evil()</script></head><body onload=\"evil()\"><p>Caf\xE9 <b>bold</b></p>"
                      "<img src=x onerror=evil()></body></html>");
    m.props.setLong(PidTagInternetCodepage, 28591);
    const std::string doc = htmlDocument(m);
    EXPECT_EQ(lowered(doc).find("script"), std::string::npos) << doc;
    EXPECT_EQ(doc.find("evil"), std::string::npos) << doc;
    EXPECT_EQ(doc.find("iso-8859-1"), std::string::npos);
    EXPECT_EQ(doc.rfind(mime::htmlDocumentStart(), 0), 0u) << doc;  // the policy first
    EXPECT_NE(doc.find("<p>Café <b>bold</b></p>"), std::string::npos) << doc;
    // The header block follows the body tag and comes before the message's own text.
    const auto body = doc.find("<body>");
    const auto header = doc.find("Jürgen Weiß &lt;juergen@example.com&gt;");
    ASSERT_NE(body, std::string::npos);
    ASSERT_NE(header, std::string::npos);
    EXPECT_LT(body, header);
    EXPECT_LT(header, doc.find("Café"));
    EXPECT_NE(doc.find("Grüße – 日本語 {report}"), std::string::npos);
    EXPECT_NE(doc.find("Friday, March 1, 2024 12:34 PM"), std::string::npos);
    EXPECT_NE(doc.find("report.pdf; Forwarded.msg"), std::string::npos);
    EXPECT_EQ(doc.find("logo.png"), std::string::npos);  // hidden attachment
    EXPECT_EQ(doc.find("Dave"), std::string::npos);      // Bcc is not shown

    // A plain body becomes escaped preformatted text in a document of its own.
    Message plain = store_test::simpleMessage(u"<Plain> & simple", u"x < y & z\r\nnext");
    const std::string p = htmlDocument(plain);
    EXPECT_EQ(p.rfind(mime::htmlDocumentStart(), 0), 0u) << p;
    EXPECT_NE(p.find("<title>&lt;Plain&gt; &amp; simple</title>"), std::string::npos) << p;
    EXPECT_NE(p.find("x &lt; y &amp; z\r\nnext"), std::string::npos) << p;
}

TEST_F(UtcTime, RtfDocumentHasHeaderAndBody) {
    const std::string doc = rtfDocument(itemMessage());
    EXPECT_EQ(doc.rfind("{\\rtf1", 0), 0u);
    for (unsigned char c : doc) ASSERT_LT(c, 0x80) << "the document is ASCII";
    EXPECT_NE(doc.find("{\\b Subject:}\\tab Gr\\u252\\'3f\\u223\\'3fe \\u8211\\'3f \\u26085\\'3f"), std::string::npos) << doc;
    EXPECT_NE(doc.find("\\{report\\}"), std::string::npos);
    EXPECT_NE(doc.find("{\\b Attachments:}\\tab report.pdf; Forwarded.msg"), std::string::npos);
    EXPECT_NE(doc.find("Line one: caf\\u233\\'3f\\par\r\nLine two\\tab "), std::string::npos);
    EXPECT_EQ(doc.find("{\\b Cc:}"), doc.find("{\\b Cc:}\\tab Carol <carol@example.com>"));
    // Braces balance.
    int depth = 0;
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\\') {
            ++i;
        } else if (doc[i] == '{') {
            ++depth;
        } else if (doc[i] == '}') {
            ASSERT_GT(depth, 0);
            --depth;
        }
    }
    EXPECT_EQ(depth, 0);
}

TEST(ItemReaderTest, UnrtfReadsSubjectAndBody) {
    const auto python = store_test::pythonWithOlefile();
    if (!store_test::hasProgram("unrtf") || !python) GTEST_SKIP() << "unrtf or python3 is not installed";
    TempDir dir;
    Message m = itemMessage();
    m.props.remove(PidTagBody);
    m.props.setBinary(PidTagHtml, "<p>HTML only: \xC3\xBC\xC3\x9F and <i>more</i></p><script>x()</script>");
    m.props.setLong(PidTagInternetCodepage, 65001);
    const auto path = dir / "item.rtf";
    ASSERT_TRUE(writeRtfFile(m, u16(path)));
    // unrtf's text mode shows '?' beyond ASCII; its HTML mode keeps the characters.
    const std::string script =
        "import html,re,sys\n"
        "t=re.sub(r'<[^>]*>',' ',sys.stdin.read())\n"
        "print(' '.join(html.unescape(t).split()))\n";
    const auto result = store_test::runCommand("unrtf --html " + store_test::shellQuote(path.string()) + " 2>/dev/null | " +
                                               *python + " -c " + store_test::shellQuote(script));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Grüße – 日本語 {report}"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("HTML only: üß and more"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Jürgen Weiß"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("x()"), std::string::npos) << result.output;
}

TEST(ItemReaderTest, PythonHtmlParserFindsTextAndNoScript) {
    const auto python = store_test::pythonWithOlefile();
    if (!python) GTEST_SKIP() << "python3 is not installed";
    TempDir dir;
    Message m = itemMessage();
    m.props.setBinary(PidTagHtml, "<body><p>HTML body \xC3\xA9t\xC3\xA9</p><SCRIPT>x()</SCRIPT>"
                                  "<a href='javascript:y()' onclick='z()'>link</a></body>");
    m.props.setLong(PidTagInternetCodepage, 65001);
    const auto path = dir / "item.html";
    ASSERT_TRUE(writeHtmlFile(m, u16(path)));
    const std::string script =
        "import sys\n"
        "from html.parser import HTMLParser\n"
        "class P(HTMLParser):\n"
        "    text=[]; bad=[]\n"
        "    def handle_starttag(self, tag, attrs):\n"
        "        if tag=='script': self.bad.append(tag)\n"
        "        self.bad += [k for k,v in attrs if k.startswith('on') or 'javascript' in (v or '')]\n"
        "    def handle_data(self, d): self.text.append(d)\n"
        "p=P(); p.feed(open(sys.argv[1],encoding='utf-8').read())\n"
        "print(' '.join(''.join(p.text).split())); print('BAD', p.bad)\n";
    const auto result = store_test::runCommand(*python + " -c " + store_test::shellQuote(script) + " " +
                                               store_test::shellQuote(path.string()));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Grüße – 日本語 {report}"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("HTML body été"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("BAD []"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("x()"), std::string::npos) << result.output;
}
