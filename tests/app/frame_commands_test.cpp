#include <gtest/gtest.h>

#include "headless_frame.h"
#include "scan/frame_context.h"
#include "scan/temp_files.h"

namespace {

using testing_support::u16;
using testing_support::u8;

class FrameCommands : public testing_support::HeadlessFrame {};

TEST_F(FrameCommands, ProgressMessagesPackTheRangeAndIgnoreNonPositivePositions) {
    struct Step {
        unsigned message;
        platform::WParam w;
        platform::LParam l;
        int low, high, position;
    } steps[] = {
        {platform::UM_PROGRESS_RANGE, 0, 1000, 0, 1000, 0},
        {platform::UM_PROGRESS_POS, 250, 0, 0, 1000, 250},
        {platform::UM_PROGRESS_POS, 0, 0, 0, 1000, 250},
        {platform::UM_PROGRESS_POS, static_cast<platform::WParam>(static_cast<std::uint32_t>(-5)), 0, 0, 1000, 250},
        {platform::UM_PROGRESS_RANGE, 0, 70000, 0, 70000 & 0xFFFF, 0},
    };
    for (const Step& s : steps) {
        frame->sendMessage(s.message, s.w, s.l);
        EXPECT_EQ(frame->progressBar.low(), s.low);
        EXPECT_EQ(frame->progressBar.high(), s.high);
        EXPECT_EQ(frame->progressBar.position(), s.position);
    }
}

TEST_F(FrameCommands, TextMessagesShowTheHandedOverTexts) {
    frame->captionText = u"caption";
    frame->sendMessage(platform::UM_SHOW_CAPTION, 0, 0);
    frame->previewPath = u"/tmp/page.html";
    frame->sendMessage(platform::UM_SHOW_PREVIEW, 0, 0);
    frame->sendMessage(platform::UM_SHOW_TAB, 1, 0);
    frame->statusText = u"a line";
    frame->sendMessage(platform::UM_LOG_STATUS, 0, 0);
    EXPECT_EQ(frame->captionBar.text(), u"caption");
    EXPECT_EQ(frame->previewBrowser.shownFile, u"/tmp/page.html");
    EXPECT_EQ(frame->outputPane.activeTab(), 1);
    EXPECT_EQ(logRows(), std::vector<std::u16string>{u"a line"});
    EXPECT_EQ(logFileLines().back(), u"a line");
}

TEST_F(FrameCommands, StopWhileIdleDoesNothing) {
    EXPECT_FALSE(frame->IsStopEnabled());
    frame->OnStop();
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(FrameCommands, HelpAndAboutRefuseWhileBusy) {
    frame::g_busy = 1;
    frame->OnCommand(app::ID_HELP);
    frame->OnCommand(app::ID_ABOUT);
    frame->OnSave();
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>(3, frame::kBusyRefusal));
    EXPECT_EQ(host.helpOpened + host.aboutShown, 0);
    frame::g_busy = 0;
    frame->OnCommand(app::ID_HELP);
    frame->OnCommand(app::ID_ABOUT);
    EXPECT_EQ(host.helpOpened, 1);
    EXPECT_EQ(host.aboutShown, 1);
    EXPECT_EQ(host.boxes[0].request.caption, u"KelvaTools MBOX to PST Converter");
}

TEST_F(FrameCommands, ChoosingALookStoresIt) {
    frame->OnCommand(217);
    EXPECT_EQ(frame->applicationLook, 217);
    EXPECT_EQ(application->settings()->applicationLook(), 217);
}

TEST_F(FrameCommands, CloseRefusesWhileBusyAsksFirstAndThenCleansUp) {
    open({mailbox("a.mbox", testing_support::mailboxOf(2))});
    host.boxes.clear();
    std::u16string temp = scan::tempFolderPath();
    testing_support::writeFile(u8(temp) + "left.eml", "x");

    frame::g_busy = 1;
    EXPECT_FALSE(frame->OnClose());
    frame::g_busy = 0;
    host.boxAnswers.push_back(frame::BoxAnswer::No);
    EXPECT_FALSE(frame->OnClose());
    EXPECT_EQ(frame->catalogue.size(), 1u);
    EXPECT_TRUE(frame->OnClose());

    EXPECT_EQ(host.boxTexts(),
              (std::vector<std::u16string>{u"Please stop the running process to close the application.",
                                           u"Do you want to close the application?",
                                           u"Do you want to close the application?",
                                           u"Log file path is : " + frame::g_logFilePath}));
    EXPECT_EQ(host.boxes[1].request.icon, frame::BoxIcon::Question);
    EXPECT_TRUE(frame->catalogue.empty());
    EXPECT_FALSE(std::filesystem::exists(u8(temp)));
    EXPECT_EQ(logRows().back(), u"Application has been closed.");
    EXPECT_EQ(host.endedWith, -1);
}

TEST_F(FrameCommands, AMessageClickRunsThePreviewHookForTheRowAndReleasesTheBusyFlag) {
    open({mailbox("a.mbox", testing_support::mailboxOf(3))});
    clickFolder(1);
    host.boxes.clear();
    std::uint64_t previewed = 99;
    frame->previewJob = [&](scan::FrameContext& f) {
        EXPECT_EQ(frame::g_busy, 1);
        previewed = f.listControl().GetItemData(f.selectedMessageRow);
        // A click arriving while the preview runs is refused.
        f.sendMessage(platform::UM_MESSAGE_CLICKED, 0, 0);
        return 1;
    };
    frame->previewBrowser.subjectText = u"old";
    frame->messageList.OnLButtonDown(2);
    frame->waitForWorker();
    EXPECT_EQ(previewed, 2u);
    EXPECT_TRUE(frame->previewBrowser.subjectText.empty());
    EXPECT_EQ(host.boxTexts(), std::vector<std::u16string>{frame::kBusyRefusal});
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(FrameCommands, SaveRunsTheExportHookWhichMayStartAWorker) {
    bool ran = false;
    frame->saveCommand = [&](scan::FrameContext& f) {
        frame::g_busy = 1;
        f.startWorker([&] {
            f.logStatus(u"Saving process started.");
            ran = true;
            frame::g_busy = 0;
        });
    };
    frame->OnCommand(app::ID_SAVE);
    frame->waitForWorker();
    EXPECT_TRUE(ran);
    EXPECT_EQ(logRows(), std::vector<std::u16string>{u"Saving process started."});
}

TEST_F(FrameCommands, AJobEndedByAnExceptionIsLoggedCountedAndFreesTheFrame) {
    frame::g_busy = 1;
    ASSERT_TRUE(frame->startWorker([] { throw std::runtime_error("injected"); }));
    frame->waitForWorker();
    EXPECT_EQ(logRows().back(), std::u16string(app::kJobEndedEarly) + u"injected");
    EXPECT_EQ(frame->workerFailures(), 1);
    EXPECT_EQ(frame::g_busy, 0);
    // The next job starts as usual.
    bool ran = false;
    ASSERT_TRUE(frame->startWorker([&] { ran = true; }));
    frame->waitForWorker();
    EXPECT_TRUE(ran);
}

TEST_F(FrameCommands, AJobStartedRightAfterAStopWaitsForTheStoppedWorkerToEnd) {
    open({mailbox("a.mbox", testing_support::mailboxOf(40)), mailbox("b.mbox", testing_support::mailboxOf(2))});
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    bool clickedAgain = false;
    frame->messageList.onRowAdded = [&](int row, const frame::ListRow&) {
        if (row != 0 || clickedAgain) return;
        clickedAgain = true;
        frame->OnStop();
        // The user's next click arrives while the stopped listing still finishes its step.
        dispatcher.post([&] { frame->mailboxTree.Click(childItem(2), frame::TVHT_ONITEMLABEL); });
    };
    clickFolder(1);
    EXPECT_EQ(frame::g_currentMboxPath, u16(dir / "b.mbox"));
    ASSERT_EQ(frame->messageList.GetItemCount(), 2);
    EXPECT_EQ(frame->messageList.rows()[0].name, u"b.mbox");
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(FrameCommands, AClickHandledInsideTheStoppedWorkersOwnSendIsRefusedInsteadOfDeadlocking) {
    open({mailbox("a.mbox", testing_support::mailboxOf(5)), mailbox("b.mbox", testing_support::mailboxOf(2))});
    host.boxes.clear();
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    frame->messageList.onRowAdded = [&](int row, const frame::ListRow&) {
        if (row != 0) return;
        frame->OnStop();
        frame->mailboxTree.Click(childItem(2), frame::TVHT_ONITEMLABEL);  // still inside the listing's send
    };
    clickFolder(1);
    EXPECT_EQ(host.boxTexts(), (std::vector<std::u16string>{u"Are you sure to stop the running process?",
                                                             frame::kBusyRefusal,
                                                             u"Click on emails items to see preview."}));
    EXPECT_EQ(frame->messageList.GetItemCount(), 1);
    EXPECT_EQ(frame::g_busy, 0);
}

TEST(SelectionText, NamesTheFirstFileAndTheCount) {
    EXPECT_EQ(app::CMainFrame::selectionText({}), u"");
    EXPECT_EQ(app::CMainFrame::selectionText({u"/a"}), u"/a");
    EXPECT_EQ(app::CMainFrame::selectionText({u"/a", u"/b", u"/c"}), u"/a (3 files)");
}

TEST(StartUp, ASecondInstanceIsRefusedWithAMessageAndNoWindow) {
    testing_support::TempDir dir;
    ui::CDispatcher dispatcher;
    ui::CHeadlessHost host;
    app::StartOptions options;
    options.singleInstance = true;
    options.lockFolder = testing_support::u16(dir.path());
    options.settingsPath = testing_support::u16(dir / "s.conf");
    options.frame.logFolder = testing_support::u16(dir.path());
    app::CKelvaHaldenApp first(dispatcher, host);
    ASSERT_TRUE(first.InitInstance(options));
    app::CKelvaHaldenApp second(dispatcher, host);
    EXPECT_FALSE(second.InitInstance(options));
    EXPECT_EQ(second.mainFrame(), nullptr);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].request.text, u"Another instance of application is already running");
    EXPECT_FALSE(host.boxes[0].request.ownedByMainWindow);
}

}  // namespace
