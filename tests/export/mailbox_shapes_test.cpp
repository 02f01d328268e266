// Gmail labels as folders, the message state read from headers, and the folder chains of Thunderbird
// trees and Apple Mail bundles.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/folder_chain.h"
#include "export/gmail_labels.h"
#include "export/mail_headers.h"
#include "export/message_state.h"
#include "export/save_dialog.h"
#include "export/save_options.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace exporter;

namespace {

std::string message(const std::string& headers) {
    return "From x Mon Jan  1 10:00:00 2024\n" + headers + "Subject: s\n\nFrom: body\n";
}

struct RootGuard {
    explicit RootGuard(std::u16string root) { g_hierarchyRoot = std::move(root); }
    ~RootGuard() { g_hierarchyRoot.clear(); }
};

}  // namespace

TEST(MailHeaders, FoldedValuesAreJoinedAndTheBodyIsNotSearched) {
    const std::string text =
        "From x\r\nx-gmail-labels: Inbox,\r\n  Work\r\nSubject: a\r\n\r\nX-Gmail-Labels: body\r\n";
    EXPECT_EQ(headerValues(text, "X-Gmail-Labels"), std::vector<std::string>{"Inbox, Work"});
    EXPECT_TRUE(headerValues(text, "Status").empty());
}

TEST(GmailLabels, FoldersOfEachLabelKind) {
    struct Case {
        const char* labels;
        LabelFolders mode;
        std::vector<FolderPath> expected;
    } cases[] = {
        {"Inbox,Sent,Drafts,Trash,Spam",
         LabelFolders::Every,
         {{u"Inbox"}, {u"Sent Items"}, {u"Drafts"}, {u"Deleted Items"}, {u"Junk Email"}}},
        {"Opened,Unread,Important,Starred,Category Updates", LabelFolders::Every, {{}}},
        {"Opened,Work/Projects/2024,Inbox",
         LabelFolders::Every,
         {{u"Work", u"Projects", u"2024"}, {u"Inbox"}}},
        {"Opened,Work/Projects,Inbox", LabelFolders::First, {{u"Work", u"Projects"}}},
        {"Inbox,Work", LabelFolders::Off, {{}}},
        {"\"Family, Friends\",=?UTF-8?Q?Re=C3=A7u?=",
         LabelFolders::Every,
         {{u"Family, Friends"}, {u"Re\u00E7u"}}},
        {"=?iso-8859-1?q?Caf=E9?=,=?utf-8?b?w4Q=?= =?utf-8?b?w7Y=?=",  // each word in its charset
         LabelFolders::Every,
         {{u"Caf\u00E9"}, {u"\u00C4\u00F6"}}},
        {"../../etc,a/./b,Inbox,inbox", LabelFolders::Every, {{u"etc"}, {u"a", u"b"}, {u"Inbox"}}},
        {"x\\y:z", LabelFolders::Every, {{u"x_y_z"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(labelFolderPaths(message(std::string("X-Gmail-Labels: ") + c.labels + "\n"), c.mode),
                  c.expected)
            << c.labels;
    EXPECT_EQ(labelFolderPaths(message(""), LabelFolders::Every), std::vector<FolderPath>{{}});
}

TEST(MessageState, EachSourceOfState) {
    using library::MessageState;
    struct Case {
        const char* headers;
        MessageState expected;
    } cases[] = {
        {"", {true, false, false, false}},
        {"X-Gmail-Labels: Inbox,Unread\n", {false, false, false, false}},
        {"X-Gmail-Labels: Inbox,Opened,Starred\n", {true, false, false, true}},
        {"X-Mozilla-Status: 0000\n", {false, false, false, false}},
        {"X-Mozilla-Status: 0001\n", {true, false, false, false}},
        {"X-Mozilla-Status: 0007\n", {true, true, false, true}},
        {"X-Mozilla-Status: 1001\n", {true, false, true, false}},
        {"X-Mozilla-Status: zz\nStatus: O\n", {false, false, false, false}},  // a broken value is passed over
        {"Status: O\n", {false, false, false, false}},
        {"Status: RO\nX-Status: AF\n", {true, true, false, true}},
        {"X-Gmail-Labels: Opened\nX-Mozilla-Status: 0000\n",
         {true, false, false, false}},  // labels come first
    };
    for (const Case& c : cases) EXPECT_EQ(messageStateOf(message(c.headers)), c.expected) << c.headers;
}

TEST(FolderChain, ThunderbirdTreesBelowTheRootAndAppleBundles) {
    using Parts = std::vector<std::u16string>;
    {
        RootGuard root(u"/home/ann/.thunderbird/p/Mail/Local Folders/");
        EXPECT_EQ(shapedHierarchyParts(u"/home/ann/.thunderbird/p/Mail/Local Folders/Inbox"),
                  Parts{u"Inbox"});
        EXPECT_EQ(
            shapedHierarchyParts(u"/home/ann/.thunderbird/p/Mail/Local Folders/Inbox.sbd/Work.sbd/Deep"),
            (Parts{u"Inbox", u"Work", u"Deep"}));
        EXPECT_EQ(shapedHierarchyParts(u"/home/ann/.thunderbird/p/Mail/Local Folders/a.sbd/b.sbd"),
                  (Parts{u"a", u"b.sbd"}));
        EXPECT_FALSE(shapedHierarchyParts(u"/home/ann/Local Folders2/Inbox"));  // outside: the plain rule
        EXPECT_TRUE(hierarchyRooted());
        // ... and the log says so, naming the mailbox and the root.
        EXPECT_EQ(outsideRootNotice(u"/home/ann/Local Folders2/Inbox"),
                  u"The mailbox /home/ann/Local Folders2/Inbox is not inside the hierarchy root "
                  u"/home/ann/.thunderbird/p/Mail/Local Folders: its folders follow its full path.");
        EXPECT_FALSE(outsideRootNotice(u"/home/ann/.thunderbird/p/Mail/Local Folders/Inbox.sbd/Work"));
        EXPECT_FALSE(outsideRootNotice(u"Inbox"));  // a relative path makes no folders at all
    }
    EXPECT_FALSE(hierarchyRooted());
    EXPECT_FALSE(outsideRootNotice(u"/mail/Inbox"));
    EXPECT_EQ(shapedHierarchyParts(u"/mail/Archive.mbox/mbox"), (Parts{u"mail", u"Archive.mbox"}));
    EXPECT_FALSE(shapedHierarchyParts(u"/mail/Inbox.sbd/Work"));  // .sbd only below a root
}

TEST(FolderChain, AThunderbirdFolderWithMessagesAndSubfoldersGetsOneOutputFolder) {
    testing_support::TempDir dir;
    const std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    for (bool subfolderFirst : {true, false}) {
        startOutputChains();
        const std::u16string run = destination + (subfolderFirst ? u"a/" : u"b/");
        std::filesystem::create_directories(platform::nativePath(run));
        std::u16string own, sub;
        if (subfolderFirst) sub = rootedOutputFolder(run, {u"Inbox", u"Work"});
        own = rootedOutputFolder(run, {u"Inbox"});
        if (!subfolderFirst) sub = rootedOutputFolder(run, {u"Inbox", u"Work"});
        EXPECT_EQ(own, run + u"Inbox/");
        EXPECT_EQ(sub, run + u"Inbox/Work/");
        // A second run never shares the first one's folder.
        startOutputChains();
        EXPECT_EQ(rootedOutputFolder(run, {u"Inbox", u"Work"}), run + u"Inbox/0Work/");
        EXPECT_EQ(rootedOutputFolder(run, {u"Inbox"}), run + u"0Inbox/");
    }
}

TEST(SaveDialogShapes, TheTwoCheckBoxesStartClearedAndOkWritesThem) {
    testing_support::TempDir dir;
    CKelvaSaveRecDataDlg dialog{{nullptr, nullptr}};
    for (bool tick : {true, false}) {
        dialog.OnInitDialog();
        EXPECT_FALSE(dialog.button(IDC_LABEL_FOLDERS).checked);
        EXPECT_FALSE(dialog.button(IDC_MESSAGE_STATE).checked);
        if (tick) {
            dialog.OnClicked(IDC_LABEL_FOLDERS);
            dialog.OnClicked(IDC_MESSAGE_STATE);
        }
        dialog.folderText = platform::fromNativePath(dir.path().string());
        ASSERT_TRUE(dialog.OnOK());
        EXPECT_EQ(g_labelFolders.load(), tick ? static_cast<int>(LabelFolders::Every) : 0);
        EXPECT_EQ(g_keepMessageState.load(), tick ? 1 : 0);
    }
}
