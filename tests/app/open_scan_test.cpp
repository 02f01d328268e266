#include <gtest/gtest.h>

#include <regex>

#include "headless_frame.h"
#include "scan/frame_context.h"

namespace {

using testing_support::u16;
using testing_support::u8;

class OpenAndScan : public testing_support::HeadlessFrame {};

const std::u16string kScanDone =
    u"Scanning process completed for selected file, click on folder to see recovered email items.";

TEST_F(OpenAndScan, AFreshStartWritesOnlyTheMarkAndTheBanner) {
    std::string name = std::filesystem::path(u8(frame::g_logFilePath)).filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(KelvaMbox2PSTConv_log_\d{1,2}-\d{1,2}-\d{4}-\d{1,2}-\d{1,2}-\d{1,2}\.txt)")))
        << name;
    std::string bytes = testing_support::readFile(u8(frame::g_logFilePath));
    ASSERT_EQ(bytes.size(), 2u + 2 * 151);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(logFileLines(), (std::vector<std::u16string>{std::u16string(149, u'*')}));
    EXPECT_EQ(frame->captionBar.text(), u"Select Mbox file to continue the conversion process.");
    EXPECT_FALSE(frame->progressBar.visible());
    EXPECT_EQ(frame->applicationLook, 215);
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(OpenAndScan, TwoFilesTheSecondGoneBeforeTheScan) {
    auto first = mailbox("mail/inbox.mbox", testing_support::mailboxOf(3));
    auto second = mailbox("mail/gone.mbox", testing_support::mailboxOf(1));
    open({first, second}, [&] { std::filesystem::remove(second); });

    ASSERT_EQ(frame->catalogue.size(), 2u);
    EXPECT_TRUE(frame->catalogue[0].mbox->file.isOpen());
    EXPECT_FALSE(frame->catalogue[1].mbox->file.isOpen());
    EXPECT_TRUE(frame->catalogue[1].mbox->messageOffsets.empty());

    auto& tree = frame->mailboxTree;
    frame::TreeItem root1 = rootItem(1), root2 = rootItem(2);
    EXPECT_EQ(tree.GetItemText(root1), u16(first));
    EXPECT_EQ(tree.GetItemText(tree.GetChildItem(root1)), u"inbox.mbox(3)");
    EXPECT_EQ(tree.GetItemData(tree.GetChildItem(root1)), 1u);
    EXPECT_EQ(tree.GetItemText(root2), u16(second));
    EXPECT_EQ(tree.GetChildItem(root2), 0u);
    EXPECT_TRUE(tree.GetCheck(root1));
    EXPECT_TRUE(tree.GetCheck(tree.GetChildItem(root1)));
    EXPECT_TRUE(tree.GetCheck(root2));
    int image = 0, selected = 0;
    tree.GetItemImage(root1, image, selected);
    EXPECT_EQ(image, 1);
    EXPECT_TRUE(tree.GetItemState(root1) & ui::TVIS_EXPANDED);
    EXPECT_EQ(tree.GetItemRecord(root1)->isExpanded, 1);

    std::vector<std::u16string> rows = logRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].rfind(u"KelvaTools MBOX to PST Conversion process starts.  ", 0), 0u);
    EXPECT_EQ(rows[1], u16(first) + u" (2 files) File is selected for conversion....");
    EXPECT_EQ(rows[2], u"Processing File: " + u16(first));
    EXPECT_EQ(rows[3], u"Total number of emails found: (3)");
    EXPECT_EQ(rows[4], kScanDone);
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>{kScanDone});

    // Every line reaches the file exactly once, after the banner.
    std::vector<std::u16string> fileLines = logFileLines();
    fileLines.erase(fileLines.begin());
    EXPECT_EQ(fileLines, rows);

    EXPECT_EQ(frame::g_busy, 0);
    EXPECT_TRUE(frame::g_selectedFiles.empty());
    EXPECT_FALSE(frame->progressBar.visible());
    EXPECT_EQ(frame->progressBar.position(), 0);
    EXPECT_EQ(frame::g_currentMboxPath, u16(second));
    EXPECT_EQ(frame->currentMbox.load(), frame->catalogue[1].mbox.get());
}

TEST_F(OpenAndScan, TheCaptionAndLogNameTheNewSelectionNotTheLastMailbox) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(1));
    auto b = mailbox("b.mbox", testing_support::mailboxOf(1));
    open({a});
    EXPECT_EQ(logRows()[1], u16(a) + u" File is selected for conversion....");
    open({b});
    EXPECT_EQ(logRows()[1], u16(b) + u" File is selected for conversion....");
    EXPECT_EQ(frame->captionBar.text(), u16(b));
    // The log list restarts at each Open, the file keeps everything.
    EXPECT_EQ(logRows().size(), 5u);
    EXPECT_EQ(logFileLines().size(), 11u);
}

TEST_F(OpenAndScan, ImmMailboxesAreSplitAtMimeVersionAndFindTheirAttachmentsFolder) {
    const std::string message = "Date: d\r\nMIME-Version: 1.0\r\nFrom: f\r\nTo: t\r\nSubject: s\r\n\r\nbody\r\n";
    auto imm = mailbox("box/Mail.imm", message + message);
    std::filesystem::create_directories(dir / "box" / "Attachments");
    auto upper = mailbox("box/Mail.IMM", "From a\nx\n");
    open({imm, upper});
    ASSERT_EQ(frame->catalogue.size(), 2u);
    EXPECT_TRUE(frame->catalogue[0].isImm);
    EXPECT_TRUE(frame->catalogue[0].hasAttachmentsFolder);
    EXPECT_EQ(frame->catalogue[0].mbox->attachmentsFolder, u16(dir / "box" / "Attachments") + u"/");
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(1)), u"Mail.imm(2)");
    EXPECT_FALSE(frame->catalogue[1].isImm);
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(2)), u"Mail.IMM(1)");
}

TEST_F(OpenAndScan, AnEmptyMailboxGetsACountOfZero) {
    open({mailbox("empty.mbox", "")});
    EXPECT_EQ(frame->catalogue[0].mbox->messageOffsets, std::vector<std::uint64_t>{0});
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(1)), u"empty.mbox(0)");
}

TEST_F(OpenAndScan, ACancelledDialogReleasesTheBusyFlagAndChangesNothing) {
    open({mailbox("a.mbox", testing_support::mailboxOf(2))});
    host.selectFilesScript = [](ui::CSelectFilesDlg& dlg) { dlg.OnCancel(); };
    frame->OnOpen();
    EXPECT_EQ(frame::g_busy, 0);
    EXPECT_EQ(frame->catalogue.size(), 1u);
    EXPECT_EQ(frame->mailboxTree.GetCount(), 2u);
}

TEST_F(OpenAndScan, OpenWhileAScanRunsIsRefusedAndChangesNothing) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(2));
    frame->logList.onLineAdded = [&](const std::u16string& line) {
        if (line.rfind(u"Processing File: ", 0) == 0) frame->OnOpen();
    };
    open({a});
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_EQ(host.boxTexts(),
              (std::vector<std::u16string>{u"Please stop the running process to continue the process.", kScanDone}));
    EXPECT_EQ(frame->catalogue.size(), 1u);
}

TEST_F(OpenAndScan, StopAnsweredNoLetsTheScanGoOn) {
    auto a = mailbox("a.mbox", testing_support::mailboxOf(2));
    auto b = mailbox("b.mbox", testing_support::mailboxOf(3));
    host.boxAnswers.push_back(frame::BoxAnswer::No);
    frame->logList.onLineAdded = [&](const std::u16string& line) {
        if (line == u"Processing File: " + u16(a)) frame->OnStop();
    };
    open({a, b});
    EXPECT_EQ(host.boxTexts()[0], u"Are you sure to stop the running process?");
    EXPECT_EQ(host.boxes[0].request.buttons, frame::BoxButtons::YesNo);
    EXPECT_EQ(frame->mailboxTree.GetItemText(childItem(2)), u"b.mbox(3)");
}

TEST_F(OpenAndScan, StopEndsTheScanWithinAMebibyteAndScansNoFurtherFile) {
    std::string big;
    while (big.size() < 4u << 20) big += "From x\n" + std::string(1000, 'a') + "\n";
    auto a = mailbox("big.mbox", big);
    auto b = mailbox("b.mbox", testing_support::mailboxOf(3));
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    bool stopped = false;
    frame->progressBar.onChanged = [&] {
        if (!stopped && frame->progressBar.position() > 0 && frame->progressBar.position() < 1000) {
            stopped = true;
            frame->OnStop();
        }
    };
    open({a, b});
    ASSERT_TRUE(stopped);
    const auto& offsets = frame->catalogue[0].mbox->messageOffsets;
    ASSERT_FALSE(offsets.empty());
    EXPECT_LE(offsets.back(), 2u << 20);  // the scan saw at most the window after the stop
    EXPECT_LT(offsets.back(), big.size());  // no end sentinel
    EXPECT_EQ(frame->catalogue.size(), 1u);
    EXPECT_NE(childItem(1), 0u);  // the stopped file still gets its count
    EXPECT_EQ(logRows().back(), kScanDone);
    EXPECT_EQ(host.boxTexts().back(), kScanDone);
    EXPECT_TRUE(frame->catalogue[0].mbox->keepRunning);
}

TEST_F(OpenAndScan, DestroyingTheWindowDuringAScanStopsAndWaitsForIt) {
    std::string big;
    while (big.size() < 8u << 20) big += "From x\n" + std::string(2000, 'b') + "\n";
    auto a = mailbox("big.mbox", big);
    scriptOpen({a, a});
    frame->OnOpen();  // the scan runs; the window goes away at once
    application.reset();
    EXPECT_EQ(frame::g_busy, 0);
}

}  // namespace
