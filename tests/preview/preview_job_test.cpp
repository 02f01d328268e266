#include "preview/preview_job.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "scan/temp_files.h"
#include "support/test_support.h"

using preview::writePreview;

namespace {

struct PreviewFixture {
    testing_support::TempDir dir;
    scan::CMboxFile mbox;
    explicit PreviewFixture(const std::string& bytes, const char* name = "box.mbox") {
        scan::g_tempBase = platform::fromNativePath(dir.path().string());
        testing_support::writeFile(dir / name, bytes);
        std::u16string path = platform::fromNativePath((dir / name).string());
        EXPECT_TRUE(mbox.file.open(path));
        if (scan::isImmPath(path))
            mbox.scanMimeVersion(path);
        else
            mbox.scanFromLines();
    }
    ~PreviewFixture() { scan::g_tempBase.clear(); }
    std::string previewOf(std::uint64_t k, bool imm = false) {
        auto result = writePreview(mbox, k, imm);
        EXPECT_TRUE(result);
        return result ? testing_support::readFile(platform::nativePath(result->previewFile)) : std::string();
    }
};

}  // namespace

TEST(PreviewFile, CutRepairedAndWithCrLfLineEnds) {
    struct Case {
        const char* name;
        std::string mailbox;
        std::uint64_t k;
        std::string expected;
    } cases[] = {
        {"LF lines become CR LF; the scanner's LF is dropped", "From a\nSubject: 1\n\nx\nFrom b\nSubject: 2\n\ny\n", 1,
         "From b\r\nSubject: 2\r\n\r\ny\r\n"},
        {"bare CR lines become CR LF", "From a\rSubject: 1\r\rx\rFrom b\rSubject: 2\r\ry\r", 1,
         "From b\r\nSubject: 2\r\n\r\ny\r\n"},
        {"the last message is read in full", "From a\r\nA: 1\r\n\r\nx\r\nFrom b\r\nB: 2\r\n\r\nlast line", 1,
         "From b\r\nB: 2\r\n\r\nlast line"},
        {"no line break at all: unchanged", "single line without breaks", 0, "single line without breaks"},
        {"a message without a text part is shown as HTML", "From a\r\nContent-Type: image/gif\r\n\r\nGIF89a", 0,
         "From a\r\nContent-Type: text/html; charset=\"ISO-8859-1\"\r\n\r\nGIF89a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PreviewFixture fixture(c.mailbox);
        EXPECT_EQ(fixture.previewOf(c.k), c.expected);
    }
}

TEST(PreviewFile, HeaderTextsAndOneAttachmentItemPerName) {
    PreviewFixture fixture(
        "From a\nFrom: Ann <a@x>\nTo: b@x\nSubject: Files\nDate: today\nContent-Type: multipart/mixed; boundary=b\n\n"
        "--b\nContent-Type: text/plain\n\nsee attached\n--b\nContent-Type: application/pdf; name=a.pdf\n\nAAAA\n"
        "--b\nContent-Type: application/msword; name=b.doc\n\nAAAA\n--b--\n");
    auto result = writePreview(fixture.mbox, 0, false);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->summary.from, u"Ann <a@x>");
    EXPECT_EQ(result->summary.subject, u"Files");
    ASSERT_EQ(result->attachments.size(), 2u);
    EXPECT_EQ(result->attachments[0].name, u"a.pdf");
    EXPECT_EQ(result->attachments[1].name, u"b.doc");
    EXPECT_TRUE(result->attachments[0].withIcon);
}

TEST(PreviewFile, ImmMessagesKeepTheirContentTypeAndListTheirFileNames) {
    std::string imm = "X: 0\r\nMIME-Version: 1.0\r\nSubject: one\r\nContent-Type: image/png\r\n\r\nx\r\n"
                      "-----[%ImFilePath%]-----report.pdf\r\n[%ImFilePath%]dir\\sheet.csv\r\n";
    PreviewFixture fixture(imm, "box.imm");
    auto result = writePreview(fixture.mbox, 0, true);
    ASSERT_TRUE(result);
    EXPECT_EQ(testing_support::readFile(platform::nativePath(result->previewFile)), imm);
    ASSERT_EQ(result->attachments.size(), 2u);
    EXPECT_EQ(result->attachments[0].name, u"report.pdf");
    EXPECT_EQ(result->attachments[1].name, u"sheet.csv");
    EXPECT_FALSE(result->attachments[0].withIcon);
    EXPECT_TRUE(result->summary.hasAttachments);
    EXPECT_TRUE(fixture.mbox.imAttachmentNames.empty());
}
