#include "mime/message_render.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/paths.h"
#include "support/test_support.h"

using namespace mime;
using testing_support::TempDir;

TEST(ToDisplayText, Utf8OnlyWhenItHoldsValidMultiByteSequences) {
    struct Case {
        std::string in;
        std::u16string out;
    } cases[] = {
        {"plain ascii", u"plain ascii"},
        {"caf\xC3\xA9", u"caf\u00E9"},           // UTF-8
        {"caf\xE9", u"caf\u00E9"},               // Latin-1 byte: the ANSI code page
        {"\x93quoted\x94", u"\u201Cquoted\u201D"},  // Windows-1252 punctuation
        {std::string("ab\0cd", 5), u"ab"},       // the text ends at its first zero byte
        {"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToDisplayText(c.in), c.out) << c.in;
}

TEST(ForceHtmlContentType, RewritesOnlyMessagesWithoutADeclaredTextBody) {
    const std::string forced(kForcedContentType);
    struct Case {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"image only: the value is replaced, the CR LF and continuation kept",
         "Subject: x\r\nContent-Type: image/jpeg;\r\n\tname=a.jpg\r\n\r\nbody",
         "Subject: x\r\n" + forced + "\r\n\tname=a.jpg\r\n\r\nbody"},
        {"a text/plain part anywhere keeps the message",
         "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type:text/plain\r\n\r\nx\r\n--b--\r\n",
         "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type:text/plain\r\n\r\nx\r\n--b--\r\n"},
        {"text/html with one space keeps the message", "A: 1\r\nContent-Type: text/html\r\n\r\n<p>",
         "A: 1\r\nContent-Type: text/html\r\n\r\n<p>"},
        {"lower-case t is not recognised: no line to rewrite", "A: 1\r\nContent-type: image/png\r\n\r\nx",
         "A: 1\r\nContent-type: image/png\r\n\r\nx"},
        {"no Content-Type line at all: left as plain text", "Subject: hello\r\n\r\nline one\r\nline two\r\n",
         "Subject: hello\r\n\r\nline one\r\nline two\r\n"},
        {"shorter than 15 bytes", "\r\nContent-Typ", "\r\nContent-Typ"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        ForceHtmlContentType(c.in);
        EXPECT_EQ(c.in, c.out);
    }
}

TEST(ForceHtmlContentType, TheExportKeepsMultipartsMessagesAndBase64Bodies) {
    struct Case {
        std::string in;
        bool rewritten;
    } cases[] = {
        {"A: 1\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: application/pdf\r\n\r\nx\r\n--b--\r\n",
         false},
        {"A: 1\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\nx\r\n", false},
        {"A: 1\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA\r\n", false},
        {"A: 1\r\nContent-Type: image/gif\r\n\r\nGIF89a\r\n", true},
    };
    for (auto c : cases) {
        std::string original = c.in;
        EXPECT_EQ(ForceHtmlContentTypeForExport(c.in), c.rewritten) << original;
        EXPECT_EQ(c.in != original, c.rewritten);
    }
}

TEST(ListAttachmentNames, NamesOfNonTextLeavesAndTextAttachmentsJoinedByCommas) {
    auto part = [](const std::string& headers) { return "--b\r\n" + headers + "\r\n\r\nAAAA\r\n"; };
    std::string message = "Content-Type: multipart/mixed; boundary=b\r\n\r\n" +
                          part("Content-Type: text/plain; name=notes.txt") +
                          part("Content-Type: application/pdf; name=\"a.pdf\"") +
                          part("Content-Type: image/png\r\nContent-Disposition: attachment; filename=pic.png") +
                          part("Content-Type: application/pdf; name=\"=?UTF-8?Q?r=C3=A9sum=C3=A9.pdf?=\"") +
                          part("Content-Type: application/zip") +
                          part("Content-Type: text/plain\r\nContent-Disposition: ATTACHMENT; filename=\"notes 2.txt\"") +
                          part("Content-Type: text/plain\r\nContent-Disposition: inline; filename=body.txt") + "--b--\r\n";
    EXPECT_EQ(ListAttachmentNamesOf(message), u"a.pdf,pic.png,r\u00E9sum\u00E9.pdf,notes 2.txt");

    // A file with LF line ends is converted before it is read.
    TempDir dir;
    std::string lf = message;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
    testing_support::writeFile(dir / "m.mht", lf);
    EXPECT_EQ(ListAttachmentNames(platform::fromNativePath((dir / "m.mht").string())),
              u"a.pdf,pic.png,r\u00E9sum\u00E9.pdf,notes 2.txt");
    EXPECT_EQ(ListAttachmentNames(u"/nonexistent/m.mht"), u"");
}

TEST(Base64Encode, PadsAndNeverBreaksLines) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    std::string encoded = Base64Encode(std::string(100, 'x'));
    EXPECT_EQ(encoded.size(), 136u);
    EXPECT_EQ(encoded.find('\n'), std::string::npos);
}

namespace {

// An .imm message file with its Attachments folder, rebuilt and parsed back.
struct RebuildFixture {
    TempDir dir;
    std::filesystem::path attachments = dir / "Attachments";
    std::filesystem::path eml = dir / "m.eml";
    RebuildFixture() { std::filesystem::create_directories(attachments); }

    std::unique_ptr<CMimeMessage> rebuild(const std::string& source, const std::vector<std::u16string>& names) {
        testing_support::writeFile(eml, source);
        EXPECT_EQ(RebuildImMessage(names, platform::fromNativePath(attachments.string()) + u"/",
                                   platform::fromNativePath(eml.string())),
                  1);
        stored = testing_support::readFile(eml);
        auto message = std::make_unique<CMimeMessage>();
        message->Parse(stored.data(), static_cast<std::int64_t>(stored.size()));
        return message;
    }
    std::string stored;
};

const std::string kImmSource =
    "Date: today\r\nMIME-Version: 1.0\r\nFrom: Ann <a@x>\r\nTo: b@x\r\ncc: c@x\r\nSubject: Budget\r\n"
    "X-Dropped: yes\r\nContent-Type: multipart/alternative; boundary=q\r\n\r\n"
    "--q\r\nContent-Type: text/plain\r\n\r\nplain text\r\n"
    "--q\r\nContent-Type: text/html\r\n\r\n<p>K\xC3\xB6ln</p>\r\n--q--\r\n";

}  // namespace

TEST(RebuildImMessage, KeepsTheAddressFieldsAndTheHtmlTextAndAttachesTheFiles) {
    RebuildFixture fixture;
    testing_support::writeFile(fixture.attachments / "report.pdf", "%PDF-1.4 data");
    testing_support::writeFile(fixture.attachments / "empty.txt", "");
    auto message = fixture.rebuild(kImmSource, {u"--report.pdf", u"empty.txt", u"missing.doc"});

    std::vector<std::string> names;
    for (const auto& field : message->Fields()) names.push_back(field.name);
    EXPECT_EQ(names, (std::vector<std::string>{"To", "From", "CC", "Subject", "Date", "MIME-Version", "Content-Type"}));
    EXPECT_EQ(*message->FieldText("CC"), "c@x");
    EXPECT_FALSE(message->BoundaryText().empty());

    ASSERT_EQ(message->Parts().size(), 3u);  // the missing file gets no part
    auto part = message->Parts().begin();
    EXPECT_EQ((*part)->SubTypeText(), "html");
    EXPECT_EQ(*(*part)->TransferEncodingText(), "quoted-printable");
    EXPECT_EQ((*part)->ContentView(), "<p>K\xC3\xB6ln</p>");
    ++part;
    EXPECT_EQ((*part)->PartName(), "report.pdf");  // decoded from "=?utf-8?B?...?="
    EXPECT_EQ((*part)->ContentView(), "%PDF-1.4 data");
    EXPECT_NE(fixture.stored.find("name=\"=?utf-8?B?cmVwb3J0LnBkZg==?=\""), std::string::npos);
    ++part;
    EXPECT_EQ((*part)->PartName(), "empty.txt");  // an empty file is named, without content
    EXPECT_EQ((*part)->ContentSize(), 0);
}

TEST(RebuildImMessage, ListsTheFilesNotAttachedWholeAndReadsBackslashPaths) {
    RebuildFixture fixture;
    std::filesystem::create_directories(fixture.attachments / "sub");
    testing_support::writeFile(fixture.attachments / "sub" / "deep.txt", "deep");
    testing_support::writeFile(fixture.attachments / "huge.bin", "");
    std::filesystem::resize_file(fixture.attachments / "huge.bin", kRebuildAttachmentLimit);
    RebuiltImMessage rebuilt = RebuildImMessageBytes(
        {u"--sub\\deep.txt", u"missing.doc", u"..\\m.eml", u"huge.bin"},
        platform::fromNativePath(fixture.attachments.string()) + u"/", kImmSource);
    EXPECT_EQ(rebuilt.notAttached, (std::vector<std::u16string>{u"missing.doc", u"../m.eml", u"huge.bin"}));
    CMimeMessage message;
    message.Parse(rebuilt.bytes.data(), static_cast<std::int64_t>(rebuilt.bytes.size()));
    ASSERT_EQ(message.Parts().size(), 3u);  // the text, deep.txt, huge.bin by name
    EXPECT_EQ((*std::next(message.Parts().begin()))->PartName(), "deep.txt");
    EXPECT_EQ((*std::next(message.Parts().begin()))->ContentView(), "deep");
}

TEST(RebuildImMessage, PlainTextWhenThereIsNoHtmlAndLargeFilesByNameOnly) {
    RebuildFixture fixture;
    {
        int fd = ::open((fixture.attachments / "huge.bin").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kRebuildAttachmentLimit), 0);
        ::close(fd);
    }
    auto message = fixture.rebuild("To: b@x\r\nSubject: Hi\r\nContent-Type: text/plain\r\n\r\nK\xC3\xB6ln\r\n", {u"huge.bin"});
    ASSERT_EQ(message->Parts().size(), 2u);
    const CMimeBody& text = *message->Parts().front();
    EXPECT_EQ(text.SubTypeText(), "plain");
    EXPECT_EQ(text.ContentView(), "K\xC3\xB6ln\r\n");
    EXPECT_NE(text.ContentTypeText()->find("UTF-8"), std::string::npos);
    EXPECT_EQ(message->Parts().back()->PartName(), "huge.bin");
    EXPECT_EQ(message->Parts().back()->ContentSize(), 0);
}

TEST(RebuildImMessage, NamesThatLeadOutOfTheAttachmentsFolderAreNotRead) {
    RebuildFixture fixture;
    testing_support::writeFile(fixture.dir / "secret.txt", "private");
    std::filesystem::create_symlink(fixture.dir / "secret.txt", fixture.attachments / "link.txt");
    std::u16string absolute = platform::fromNativePath((fixture.dir / "secret.txt").string());
    auto message = fixture.rebuild(kImmSource, {u"../secret.txt", absolute, u"link.txt", u"sub/../../secret.txt"});
    EXPECT_EQ(message->Parts().size(), 1u);  // the text only
    EXPECT_EQ(fixture.stored.find("private"), std::string::npos);
}

TEST(RebuildImMessage, AnUnreadableFileIsLeftAlone) {
    EXPECT_EQ(RebuildImMessage({}, u"/nonexistent/", u"/nonexistent/m.eml"), 0);
}
