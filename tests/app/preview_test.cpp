// The preview of a clicked message through the frame: the viewer's header texts and attachment items,
// the preview file in the temporary folder, and the file viewer tab.
#include <gtest/gtest.h>

#include "app/headless_frame.h"
#include "platform/file_output.h"

using namespace testing_support;

namespace {

const char kWithAttachments[] =
    "From a@example.com Tue Dec  1 10:00:00 2026\n"
    "To: Bob <bob@example.com>\nFrom: Ann <ann@example.com>\nSubject: Two files\n"
    "Date: Tue, 1 Dec 2026 10:00:00 +0100\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\n\n"
    "--b\nContent-Type: text/plain\n\nSee both.\n"
    "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Disposition: attachment; filename=\"a.pdf\"\n"
    "Content-Transfer-Encoding: base64\n\nJVBERi0=\n"
    "--b\nContent-Type: application/msword; name=\"b.doc\"\nContent-Disposition: attachment; filename=\"b.doc\"\n"
    "Content-Transfer-Encoding: base64\n\n0M8R4A==\n"
    "--b--\n";

class Preview : public HeadlessFrame {
protected:
    void clickRow(int row) {
        frame->messageList.OnLButtonDown(row);
        frame->waitForWorker();
    }
};

}  // namespace

TEST_F(Preview, ARowClickShowsTheHeaderTextsTheAttachmentsWithIconsAndTheCrLfPreviewFile) {
    open({mailbox("a.mbox", std::string(kWithAttachments) + "\n" + mailboxOf(1))});
    clickFolder(1);
    clickRow(0);
    const ui::CKelvaStaticViewer& viewer = frame->previewBrowser;
    EXPECT_EQ(viewer.subjectText, u"Two files");
    EXPECT_EQ(viewer.fromText, u"Ann <ann@example.com>");
    EXPECT_EQ(viewer.toText, u"Bob <bob@example.com>");
    EXPECT_FALSE(viewer.dateText.empty());
    ASSERT_EQ(viewer.attachments.size(), 2u);
    EXPECT_EQ(viewer.attachments[0].name, u"a.pdf");
    EXPECT_EQ(viewer.attachments[1].name, u"b.doc");
    EXPECT_EQ(viewer.attachments[0].icon, 0);
    EXPECT_EQ(viewer.m_bBrowserOnly, 0);
    EXPECT_EQ(frame->outputPane.activeTab(), 1);
    ASSERT_TRUE(viewer.shownFile.ends_with(u".mht"));
    std::string shown;
    ASSERT_TRUE(platform::readWholeFile(viewer.shownFile, shown));
    EXPECT_NE(shown.find("Subject: Two files\r\n"), std::string::npos);
    EXPECT_EQ(frame::g_busy, 0);

    clickRow(1);
    EXPECT_EQ(viewer.subjectText, u"Message 0");
    EXPECT_TRUE(viewer.attachments.empty());
}

TEST_F(Preview, ImmAttachmentsAreListedByNameWithoutIcons) {
    std::filesystem::path imm = sourceDir() / "samples/imm/Mailbox.imm";
    open({imm});
    clickFolder(1);
    bool sawAttachment = false;
    for (int row = 0; row < frame->messageList.GetItemCount() && !sawAttachment; ++row) {
        clickRow(row);
        for (const auto& item : frame->previewBrowser.attachments) {
            sawAttachment = true;
            EXPECT_EQ(item.icon, -1);
            EXPECT_EQ(item.name.find_first_of(u"\\/"), std::u16string::npos);
            EXPECT_NE(item.name.front(), u'-');
        }
    }
    EXPECT_TRUE(sawAttachment);
}
