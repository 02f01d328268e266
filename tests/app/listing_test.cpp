#include <gtest/gtest.h>

#include "headless_frame.h"
#include "scan/frame_context.h"

namespace {

using testing_support::u16;

class FolderListing : public testing_support::HeadlessFrame {
protected:
    FolderListing() {
        frame->captionBar.onChanged = [this] { captions.push_back(frame->captionBar.text()); };
    }
    // Opens the mailboxes and forgets what the Open showed.
    void openBoxes(const std::vector<std::filesystem::path>& files) {
        open(files);
        captions.clear();
        host.boxes.clear();
    }
    std::vector<std::u16string> captions;
};

const std::u16string kDone = u"Click on emails items to see preview.";

TEST_F(FolderListing, ThreeMessagesCountAlongInTheCaptionAndEndWithTheBox) {
    openBoxes({mailbox("inbox.mbox", testing_support::mailboxOf(3))});
    clickFolder(1);

    EXPECT_EQ(captions, (std::vector<std::u16string>{u"inbox.mbox", u"inbox.mbox [0 / 3]", u"inbox.mbox [1 / 3]",
                                                      u"inbox.mbox [2 / 3]", u"inbox.mbox [3]"}));
    std::vector<std::u16string> rows = logRows();
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(std::vector<std::u16string>(rows.end() - 3, rows.end()),
              (std::vector<std::u16string>{u"Please wait while inbox.mbox folder is scanning....",
                                           u"Displaying email items.", kDone}));
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>{kDone});

    const auto& list = frame->messageList.rows();
    ASSERT_EQ(list.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const frame::ListRow& row = list[static_cast<std::size_t>(k)];
        std::string n = std::to_string(k);
        EXPECT_EQ(row.name, u"inbox.mbox");
        EXPECT_EQ(row.image, 38);
        EXPECT_EQ(row.attachmentImage, -1);
        EXPECT_EQ(row.to, u"to" + u16(n) + u"@example.com");
        EXPECT_EQ(row.from, u"from" + u16(n) + u"@example.com");
        EXPECT_EQ(row.subject, u"Message " + u16(n));
        EXPECT_EQ(row.date, u"Tue, 1 Dec 2026 10:00:00 +0100");
        EXPECT_EQ(row.data, static_cast<std::uint64_t>(k));
    }
    EXPECT_EQ(frame->messageList.ensuredVisibleRow(), 2);
    EXPECT_EQ(frame::g_busy, 0);
    EXPECT_FALSE(frame->progressBar.visible());
    EXPECT_EQ(frame->progressBar.position(), 3);
    EXPECT_EQ(frame->outputPane.activeTab(), 0);
    // The preview shows the blank page while the folder is listed.
    EXPECT_EQ(frame->previewBrowser.shownFile, frame->previewPath);
    EXPECT_EQ(testing_support::readFile(testing_support::u8(frame->previewPath)).substr(0, 2), "\xFF\xFE");
}

TEST_F(FolderListing, RowsHandedOverInBatchesKeepTheirOrderCaptionsAndProgress) {
    openBoxes({mailbox("many.mbox", testing_support::mailboxOf(600))});
    std::vector<int> positionsAtRows;
    frame->messageList.onRowAdded = [&](int, const frame::ListRow&) { positionsAtRows.push_back(frame->progressBar.position()); };
    clickFolder(1);
    const auto& list = frame->messageList.rows();
    ASSERT_EQ(list.size(), 600u);
    for (std::size_t k = 0; k < list.size(); ++k) {
        EXPECT_EQ(list[k].data, k);
        EXPECT_EQ(list[k].subject, u"Message " + u16(std::to_string(k)));
        // Each row is added while the progress shows its own message.
        EXPECT_EQ(positionsAtRows[k], static_cast<int>(k));
    }
    ASSERT_EQ(captions.size(), 602u);
    EXPECT_EQ(captions[1], u"many.mbox [0 / 600]");
    EXPECT_EQ(captions[600], u"many.mbox [599 / 600]");
    EXPECT_EQ(captions.back(), u"many.mbox [600]");
    EXPECT_EQ(frame->progressBar.position(), 600);
}

TEST_F(FolderListing, AnEmptyMailboxShowsItsNameAndNothingElse) {
    openBoxes({mailbox("empty.mbox", "")});
    clickFolder(1);
    EXPECT_EQ(captions, std::vector<std::u16string>{u"empty.mbox"});
    EXPECT_EQ(logRows().back(), u"Displaying email items.");
    EXPECT_TRUE(host.boxTexts().empty());
    EXPECT_EQ(frame->messageList.GetItemCount(), 0);
}

TEST_F(FolderListing, TheProgressRangeIsTheMessageCountAbove65535) {
    std::string many;
    for (int k = 0; k < 70000; ++k) many += "From a@example.com Tue Dec  1 10:00:00 2026\nSubject: m\n\nb\n\n";
    openBoxes({mailbox("many.mbox", many)});
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    int high = 0;
    frame->messageList.onRowAdded = [&](int row, const frame::ListRow&) {
        if (row != 0) return;
        high = frame->progressBar.high();
        frame->OnStop();
    };
    clickFolder(1);
    EXPECT_EQ(high, 70000);
}

TEST_F(FolderListing, MessagesAMailboxCutAfterTheScanNoLongerHoldsAreCountedInTheLog) {
    const std::string three = testing_support::mailboxOf(3);
    auto inbox = mailbox("inbox.mbox", three);
    openBoxes({inbox});
    std::filesystem::resize_file(inbox, three.find("From: from1"));
    clickFolder(1);
    ASSERT_EQ(frame->messageList.rows().size(), 1u);
    EXPECT_EQ(frame->messageList.rows()[0].subject, u"Message 0");
    EXPECT_NE(std::find(logRows().begin(), logRows().end(),
                        u"2 email items could not be read whole; the mailbox may have changed since it was scanned."),
              logRows().end());
}

TEST_F(FolderListing, StopAfterTheSecondOfTenRowsKeepsTwoRows) {
    openBoxes({mailbox("ten.mbox", testing_support::mailboxOf(10))});
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    frame->messageList.onRowAdded = [&](int row, const frame::ListRow&) {
        if (row == 1) frame->OnStop();
    };
    clickFolder(1);
    EXPECT_EQ(frame->messageList.GetItemCount(), 2);
    EXPECT_EQ(captions.back(), u"ten.mbox [2]");
    EXPECT_EQ(host.boxTexts(), (std::vector<std::u16string>{u"Are you sure to stop the running process?", kDone}));
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(FolderListing, ATopLevelClickListsNothingAndKeepsThePreviousRows) {
    openBoxes({mailbox("a.mbox", testing_support::mailboxOf(2))});
    clickFolder(1);
    captions.clear();
    host.boxes.clear();
    frame->mailboxTree.Click(rootItem(1), frame::TVHT_ONITEMLABEL);
    frame->waitForWorker();
    EXPECT_EQ(frame->messageList.GetItemCount(), 2);
    EXPECT_TRUE(captions.empty());
    EXPECT_TRUE(host.boxTexts().empty());
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(FolderListing, AClickOnAnotherFolderWhileListingIsRefusedAndHighlighted) {
    openBoxes({mailbox("a.mbox", testing_support::mailboxOf(4)), mailbox("b.mbox", testing_support::mailboxOf(1))});
    frame->messageList.onRowAdded = [&](int row, const frame::ListRow&) {
        if (row == 0) frame->mailboxTree.Click(childItem(2), frame::TVHT_ONITEMLABEL);
    };
    clickFolder(1);
    EXPECT_EQ(frame->messageList.GetItemCount(), 4);
    EXPECT_EQ(host.boxTexts(),
              (std::vector<std::u16string>{u"Please stop the running process to continue the process.", kDone}));
    EXPECT_EQ(frame->mailboxTree.GetDropHilightItem(), childItem(2));
    EXPECT_TRUE(frame->mailboxTree.GetItemState(childItem(2)) & ui::TVIS_SELECTED);
    EXPECT_EQ(frame::g_currentMboxPath, u16(dir / "a.mbox"));
}

TEST_F(FolderListing, ClickingAFolderMakesItsMailboxTheCurrentSelection) {
    openBoxes({mailbox("a.mbox", testing_support::mailboxOf(1)), mailbox("b.imm", "MIME-Version: 1.0\r\n\r\nx\r\n")});
    clickFolder(1);
    EXPECT_EQ(frame->currentMbox.load(), frame->catalogue[0].mbox.get());
    EXPECT_EQ(frame::g_currentMboxPath, u16(dir / "a.mbox"));
    EXPECT_FALSE(frame->currentIsImm);
}

TEST_F(FolderListing, ImmMessagesTakeTheirAttachmentFlagFromTheMarkersAndHeaderLinesFromTheBytes) {
    openBoxes({mailbox("m.imm", "MIME-Version: 1.0\r\nSubject: Report\r\n\r\n[%ImFilePath%]report.pdf\r\n")});
    clickFolder(1);
    ASSERT_EQ(frame->messageList.GetItemCount(), 1);
    EXPECT_EQ(frame->messageList.rows()[0].attachmentImage, 56);
    EXPECT_EQ(frame->messageList.rows()[0].subject, u"Report");
    EXPECT_TRUE(frame->catalogue[0].mbox->imAttachmentNames.empty());
}

}  // namespace
