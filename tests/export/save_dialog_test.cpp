#include "export/save_dialog.h"

#include <gtest/gtest.h>

#include "export/save_options.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace exporter;

namespace {

struct DialogFixture {
    testing_support::TempDir dir;
    std::u16string folder = platform::fromNativePath(dir.path().string());
    std::vector<std::u16string> boxes;
    std::optional<std::u16string> browsed;
    CKelvaSaveRecDataDlg dialog{{[this](const std::u16string&) { return browsed; },
                                 [this](const std::u16string& text) { boxes.push_back(text); }}};
    DialogFixture() {
        g_saveMode = SaveNone;
        g_attachToOutlook = 0;
        g_saveInHierarchy = 0;
        g_destinationFolder.clear();
        dialog.OnInitDialog();
    }
    std::vector<int> checked() const {
        std::vector<int> ids;
        for (int id : {IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_RTF, IDC_SAVE_HTML, IDC_SAVE_PST, IDC_SEPARATE_PST, IDC_SINGLE_PST})
            if (dialog.button(id).checked) ids.push_back(id);
        return ids;
    }
};

}  // namespace

TEST(SaveDialog, ClicksKeepTheFormatChoicesExclusiveAndGiveTheModeInOrder) {
    struct Case {
        std::vector<int> clicks;
        std::vector<int> checked;
        int mode;
        bool pstChoicesEnabled;
    } cases[] = {
        {{}, {IDC_SAVE_EML}, SaveEml, false},
        {{IDC_SAVE_PST}, {IDC_SAVE_PST, IDC_SEPARATE_PST}, SaveSeparatePst, true},
        {{IDC_SAVE_PST, IDC_SINGLE_PST}, {IDC_SAVE_PST, IDC_SINGLE_PST}, SaveSinglePst, true},
        {{IDC_SAVE_MSG}, {IDC_SAVE_MSG}, SaveMsg, false},
        {{IDC_SAVE_PST, IDC_SAVE_RTF}, {IDC_SAVE_RTF}, SaveRtf, false},
        {{IDC_SAVE_HTML}, {IDC_SAVE_HTML}, SaveHtml, false},
    };
    for (const auto& c : cases) {
        DialogFixture f;
        for (int id : c.clicks) f.dialog.OnClicked(id);
        EXPECT_EQ(f.checked(), c.checked);
        EXPECT_EQ(f.dialog.button(IDC_SEPARATE_PST).enabled, c.pstChoicesEnabled);
        EXPECT_EQ(f.dialog.button(IDC_ATTACH_OUTLOOK).enabled, c.pstChoicesEnabled);
        f.dialog.folderText = f.folder;
        ASSERT_TRUE(f.dialog.OnOK());
        EXPECT_EQ(g_saveMode, c.mode);
        EXPECT_TRUE(f.boxes.empty());
    }
}

TEST(SaveDialog, TheAttachBoxKeepsItsCheckWhenDisabled) {
    DialogFixture f;
    f.dialog.OnClicked(IDC_SAVE_PST);
    f.dialog.OnClicked(IDC_ATTACH_OUTLOOK);
    f.dialog.OnClicked(IDC_SAVE_EML);
    EXPECT_TRUE(f.dialog.button(IDC_ATTACH_OUTLOOK).checked);
    EXPECT_FALSE(f.dialog.button(IDC_ATTACH_OUTLOOK).enabled);
    f.dialog.OnClicked(IDC_HIERARCHY);
    f.dialog.folderText = f.folder;
    ASSERT_TRUE(f.dialog.OnOK());
    EXPECT_EQ(g_saveMode, SaveEml);
    EXPECT_EQ(g_attachToOutlook, 1);
    EXPECT_EQ(g_saveInHierarchy, 1);
}

TEST(SaveDialog, OkValidatesTheFolderAndAppendsOneSeparator) {
    DialogFixture f;
    testing_support::writeFile(f.dir / "file.txt", "x");
    struct Case {
        std::u16string typed;
        bool accepted;
        std::u16string stored;
    } cases[] = {
        {u"", false, u""},
        {f.folder + u"/missing", false, u""},
        {f.folder, true, f.folder + u"/"},
        {f.folder + u"/", true, f.folder + u"/"},
        {f.folder + u"/file.txt", true, f.folder + u"/file.txt/"},  // an existing file passes the check
    };
    for (const auto& c : cases) {
        g_destinationFolder.clear();
        f.boxes.clear();
        f.dialog.folderText = c.typed;
        EXPECT_EQ(f.dialog.OnOK(), c.accepted);
        EXPECT_EQ(g_destinationFolder, c.stored);
        EXPECT_EQ(f.boxes, c.accepted ? std::vector<std::u16string>{} : std::vector<std::u16string>{kInvalidDestination});
    }
}

TEST(SaveDialog, BrowsePutsAnExistingFolderIntoTheBoxAndComplainsOtherwise) {
    DialogFixture f;
    f.dialog.folderText = u"typed";
    f.browsed = std::nullopt;  // cancelled
    f.dialog.OnBrowse();
    EXPECT_EQ(f.dialog.folderText, u"typed");
    EXPECT_EQ(f.boxes, std::vector<std::u16string>{kInvalidBrowsedFolder});

    f.boxes.clear();
    f.browsed = u"  " + f.folder + u"  ";
    f.dialog.OnBrowse();
    EXPECT_EQ(f.dialog.folderText, f.folder);
    EXPECT_TRUE(f.boxes.empty());
}

TEST(SaveDialog, CancelLeavesTheOptionsAlone) {
    DialogFixture f;
    g_saveMode = SaveMsg;
    f.dialog.OnClicked(IDC_SAVE_HTML);  // no OK
    EXPECT_EQ(g_saveMode, SaveMsg);
}
