// The export flows driven through the controller on the headless host, with the recording library.
#include <gtest/gtest.h>

#include "app/headless_frame.h"
#include "export/export_job.h"
#include "export/export_run.h"
#include "export/save_options.h"
#include "fake_library.h"
#include "log_lines.h"
#include "store/library/library_registry.h"

using namespace testing_support;
using exporter::g_saveMode;

namespace {

class ExportFlow : public HeadlessFrame {
protected:
    ExportFlow() {
        library::registerSessionFactory([this] { return std::make_shared<fake_library::FakeSession>(journal); });
        frame->saveCommand = [this](scan::FrameContext& f) { exporter::onSave(f, [this] { return chooseOptions(); }); };
        std::filesystem::create_directories(dir / "out");
        exporter::g_exportThreads = 1;  // the journal then holds each message's calls together
    }
    ~ExportFlow() override {
        library::registerSessionFactory({});
        exporter::g_exportThreads = 0;
    }

    bool chooseOptions() {
        g_saveMode = mode;
        exporter::g_saveInHierarchy = hierarchy ? 1 : 0;
        exporter::g_attachToOutlook = 0;
        exporter::g_destinationFolder = u16(dir / "out") + u"/";
        return true;
    }
    void save() {
        frame->OnSave();
        frame->waitForWorker();
    }
    std::vector<std::u16string> logAfter(const std::u16string& first) const { return linesFrom(logRows(), first); }
    std::u16string out() { return u16(dir / "out") + u"/"; }

    fake_library::Journal journal;
    int mode = exporter::SaveEml;
    bool hierarchy = false;
};

}  // namespace

TEST_F(ExportFlow, EmlFilesAreNumberedWithCrLfLineEndsAndRepeatsGoToANumberedFolder) {
    auto inbox = mailbox("mail/Inbox.mbox", mailboxOf(3));
    open({inbox});
    save();
    std::u16string folder = out() + u"Inbox.mbox/";
    std::vector<std::u16string> expected = {u"Saving process started.", u16(inbox) + u" file selected for saving email items."};
    for (int n = 1; n <= 3; ++n) expected.push_back(u"Saving: " + folder + exporter::decimal(n) + u".eml");
    expected.push_back(u"Saving process completed, destination folder path is: " + folder);
    expected.push_back(u"Saving Process Completed. destination folder path is: " + out());
    expected.push_back(u"Log file path is : " + frame::g_logFilePath);
    EXPECT_EQ(logAfter(u"Saving process started."), expected);
    EXPECT_EQ(host.boxes.back().request.text, u"Log file path is : " + frame::g_logFilePath);

    std::string first = readFile(dir / "out" / "Inbox.mbox" / "1.eml");
    EXPECT_EQ(first.rfind("From sender@example.com", 0), 0u);
    EXPECT_NE(first.find("Subject: Message 0\r\n"), std::string::npos);
    EXPECT_EQ(first.find("\n\n"), std::string::npos);
    EXPECT_NE(readFile(dir / "out" / "Inbox.mbox" / "2.eml").find("Body 1"), std::string::npos);
    EXPECT_EQ(exporter::g_lastExportFailures, 0);

    save();
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "0Inbox.mbox" / "3.eml"));

    hierarchy = true;
    save();
    std::filesystem::path mirrored = dir / "out" / std::filesystem::path(inbox).relative_path();
    EXPECT_TRUE(std::filesystem::exists(mirrored / "3.eml")) << mirrored;
}

TEST_F(ExportFlow, SeparatePstsGetOneFolderPerMailboxAndOneItemPerMessage) {
    mode = exporter::SaveSeparatePst;
    auto inbox = mailbox("mail/Inbox.mbox", mailboxOf(2));
    auto sent = mailbox("mail/Sent.mbox", mailboxOf(1));
    open({inbox, sent});
    save();
    const std::string pst = (dir / "out" / "Inbox.mbox.pst").string();
    const std::string top = "\\\\" + pst + "\\Top of Personal Folders";
    std::vector<std::string> firstMailbox(journal.calls.begin(), journal.calls.begin() + 14);
    EXPECT_EQ(firstMailbox, (std::vector<std::string>{
                                "openStore(" + pst + ",1,Personal Folders)", "topFolder", "topFolder", "find(Inbox.mbox)",
                                "addFolder(Inbox.mbox)", "folderByPath(" + top + "\\Inbox.mbox)", "items.add",
                                "import(Message 0,1024)", "flags", "save", "items.add", "import(Message 1,1024)", "flags",
                                "save"}));
    EXPECT_EQ(journal.calls[14], "logOff");
    EXPECT_EQ(journal.count("logOff"), 2);
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Sent.mbox.pst"));
    auto lines = logAfter(u"Saving process started.");
    EXPECT_EQ(lines[1], u"Saving: Inbox.mbox[1/2]");
    EXPECT_EQ(lines[3], u"Saving: Sent.mbox[1/1]");
    EXPECT_EQ(lines[4], u"Saving process completed, destination folder path is: " + out());
    EXPECT_EQ(journal.importedItems, 3);
    // Messages are imported from memory: no message file is written in the temporary folder.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(u8(scan::tempFolderPath())))
        EXPECT_NE(entry.path().extension(), ".eml") << entry.path();
}

TEST_F(ExportFlow, ASinglePstHoldsAFolderChainPerMailboxWithTheHierarchyOption) {
    mode = exporter::SaveSinglePst;
    hierarchy = true;
    auto inbox = mailbox("mail/Inbox.mbox", mailboxOf(1));
    open({inbox});
    save();
    EXPECT_EQ(journal.count("openStore(" + (dir / "out" / "Resultant.pst").string() + ",1,Personal Folders)"), 1);
    std::string chain;
    for (const auto& call : journal.calls)
        if (call.rfind("addFolder(", 0) == 0) chain += call.substr(10, call.size() - 11) + "/";
    EXPECT_EQ("/" + chain, std::filesystem::path(inbox).string() + "/");
    EXPECT_EQ(journal.importedItems, 1);
}

TEST_F(ExportFlow, FailedItemsAreLoggedCountedAndReported) {
    mode = exporter::SaveSeparatePst;
    journal.failing.insert("import(Message 1,1024)");
    auto inbox = mailbox("Inbox.mbox", mailboxOf(3));
    open({inbox});
    save();
    auto lines = logAfter(u"Saving process started.");
    EXPECT_EQ(lines[1], u"Saving: Inbox.mbox[1/3]");
    EXPECT_EQ(lines[2], u"Failed to save: Inbox.mbox[2/3]");
    EXPECT_EQ(lines[3], u"Saving: Inbox.mbox[3/3]");
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"1 email items could not be saved."), lines.end());
    EXPECT_EQ(exporter::g_lastExportFailures, 1);
    EXPECT_EQ(journal.count("import(Message 1,1024)"), 2);  // retried once
}

TEST_F(ExportFlow, StopEndsTheRunAfterTheCurrentMessageAndStillClosesTheStore) {
    mode = exporter::SaveSinglePst;
    int saves = 0;
    journal.onCall = [&](const std::string& call) {
        if (call == "save" && ++saves == 2) frame::g_stopRequested = true;  // what Stop answered with Yes does
    };
    open({mailbox("Inbox.mbox", mailboxOf(5))});
    save();
    EXPECT_EQ(journal.importedItems, 2);
    EXPECT_EQ(journal.calls.back(), "logOff");
    auto lines = logAfter(u"Saving process started.");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], u"Saving: Inbox.mbox[2/5]");
    EXPECT_EQ(lines[3], u"Saving Process Stopped. 2 email items were saved. destination folder path is: " + out());
    EXPECT_EQ(lines.back(), u"Log file path is : " + frame::g_logFilePath);
    for (const std::u16string& line : lines) EXPECT_EQ(line.find(u"ompleted"), std::u16string::npos);
}

TEST_F(ExportFlow, AnExceptionWhileWritingAMailboxFailsItsRemainingMessagesAndTheRunGoesOn) {
    auto first = mailbox("First.mbox", mailboxOf(3));
    auto second = mailbox("Second.mbox", mailboxOf(2));
    open({first, second});
    bool armed = true;
    frame->progressBar.onChanged = [&] {  // reached from the worker through a synchronous hand-off
        if (armed && frame->progressBar.high() == 3) {
            armed = false;
            throw std::runtime_error("injected");
        }
    };
    save();
    auto lines = logAfter(u"Saving process started.");
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        u"Failed to save: " + u16(first) + u": messages 1 to 3: not saved because of an error: injected"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"3 email items could not be saved."), lines.end());
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Second.mbox" / "2.eml"));
    EXPECT_EQ(exporter::g_lastExportFailures, 3);
    EXPECT_EQ(frame::g_busy, 0);
}

TEST_F(ExportFlow, LibraryModesNeedTheLibraryAndItsMailSystem) {
    auto inbox = mailbox("Inbox.mbox", mailboxOf(1));
    open({inbox});
    mode = exporter::SaveMsg;
    library::registerSessionFactory({});
    save();
    EXPECT_EQ(host.boxes.back().request.text, exporter::kRegisterLibrary);
    EXPECT_EQ(frame::g_busy, 0);

    library::registerSessionFactory([this] { return std::make_shared<fake_library::FakeSession>(journal); });
    journal.outlookPresent = false;
    save();
    EXPECT_EQ(host.boxes.back().request.text, exporter::kInstallOutlook);
    EXPECT_EQ(logRows().back(), exporter::kInstallOutlook);
    EXPECT_TRUE(journal.calls.empty());
}

TEST_F(ExportFlow, HtmlItemsSaveTheirAttachmentsUnderSafeNames) {
    mode = exporter::SaveHtml;
    journal.attachmentNames = {u"a.txt", u"../../escape.txt", u"a.txt", u"..", u"sub/dir\\x\ty.pdf"};
    auto inbox = mailbox("Inbox.mbox", mailboxOf(1));
    open({inbox});
    save();
    std::filesystem::path attachments = dir / "out" / "Inbox.mbox" / "Inbox.mbox_Attachment";
    EXPECT_TRUE(std::filesystem::exists(dir / "out" / "Inbox.mbox" / "1.html"));
    std::vector<std::string> names;
    for (const auto& file : filesUnder(dir / "out")) names.push_back(std::filesystem::relative(file, dir / "out").string());
    // The repeated name is numbered, never written over the first file.
    EXPECT_EQ(names, (std::vector<std::string>{"Inbox.mbox/1.html", "Inbox.mbox/Inbox.mbox_Attachment/a (2).txt",
                                               "Inbox.mbox/Inbox.mbox_Attachment/a.txt",
                                               "Inbox.mbox/Inbox.mbox_Attachment/attachment4",
                                               "Inbox.mbox/Inbox.mbox_Attachment/escape.txt",
                                               "Inbox.mbox/Inbox.mbox_Attachment/x_y.pdf"}));
    EXPECT_TRUE(std::filesystem::is_directory(attachments));
    EXPECT_EQ(journal.count("delete(1)"), 1);
    EXPECT_EQ(journal.count("purge"), 1);
}

TEST_F(ExportFlow, SaveRefusesWithoutCheckedMailboxesOrWhileBusy) {
    frame->OnSave();
    EXPECT_EQ(host.boxes.back().request.text, exporter::kNoMailboxToSave);
    auto inbox = mailbox("Inbox.mbox", mailboxOf(1));
    open({inbox});
    frame->mailboxTree.SetCheck(rootItem(1), false);
    frame->OnSave();
    EXPECT_EQ(host.boxes.back().request.text, exporter::kNoFolderChecked);
    frame::g_busy = 1;
    frame->OnSave();
    EXPECT_EQ(host.boxes.back().request.text, frame::kBusyRefusal);
    frame::g_busy = 0;
}
