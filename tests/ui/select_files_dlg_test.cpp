#include <gtest/gtest.h>

#include <filesystem>

#include "frame/controls.h"
#include "frame/process_state.h"
#include "platform/paths.h"
#include "scan/temp_files.h"
#include "support/test_support.h"
#include "ui/headless_host.h"
#include "ui/select_files_dlg.h"

namespace {

namespace fs = std::filesystem;

std::u16string u16(const fs::path& path) { return platform::fromNativePath(path.string()); }

class SelectFilesDlgTest : public ::testing::Test {
protected:
    SelectFilesDlgTest() : dlg(dispatcher, host) {
        frame::g_selectedFiles.clear();
        dlg.OnInitDialog();
    }
    ~SelectFilesDlgTest() override { frame::g_selectedFiles.clear(); }

    fs::path file(const std::string& name, std::string_view bytes = "From a\n") {
        fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        testing_support::writeFile(path, bytes);
        return path;
    }
    std::vector<std::u16string> rowPaths() const {
        std::vector<std::u16string> paths;
        for (const auto& row : dlg.rows()) paths.push_back(row.path);
        return paths;
    }
    void addFiles(std::vector<std::u16string> picked) {
        host.pickedFiles.push_back(std::move(picked));
        dlg.OnAddFiles();
        dlg.WaitForWorkers();
    }
    void search(const fs::path& folder) {
        host.folderChoices.push_back(u16(folder));
        dlg.OnSearchFile();
        dlg.WaitForWorkers();
    }

    testing_support::TempDir dir;
    ui::CDispatcher dispatcher;
    ui::CHeadlessHost host;
    ui::CSelectFilesDlg dlg;
};

TEST_F(SelectFilesDlgTest, AddFilesKeepsOneRowPerFileAndRefusesWhatIsNotAFile) {
    fs::path box = file("Box");
    fs::create_hard_link(box, dir / "BOX");  // the same file under a name that differs in case
    fs::path other = file("box");             // a different file on a case-sensitive file system
    fs::create_directories(dir / "folder");
    addFiles({u16(box), u16(dir / "BOX"), u16(dir / "missing"), u16(dir / "folder"), u16(box),
              u"/" + u16(other)});
    EXPECT_EQ(rowPaths(), (std::vector<std::u16string>{u16(box), u16(other)}));
    EXPECT_EQ(host.boxTexts(),
              (std::vector<std::u16string>{u"Selected file is not valid.", u"Selected file is not valid."}));
    EXPECT_EQ(dlg.statusLine, u"Total number of files: [2]");
    EXPECT_FALSE(dlg.progressVisible);
    EXPECT_FALSE(dlg.stopVisible);
    EXPECT_EQ(dlg.m_running, 0);
    EXPECT_EQ(dlg.rows()[0].image, 0);
}

TEST_F(SelectFilesDlgTest, ACancelledPickerAddsNothing) {
    host.pickedFiles.push_back(std::nullopt);
    dlg.OnAddFiles();
    dlg.WaitForWorkers();
    EXPECT_TRUE(dlg.rows().empty());
    EXPECT_EQ(dlg.statusLine, u"Add files to continue the process.");
}

TEST_F(SelectFilesDlgTest, SearchFindsEveryFileOfTheTreeOnceAndDoesNotFollowLinkedFolders) {
    fs::path a = file("a.mbox");
    file("sub/b.txt");
    file("sub/deeper/c");
    file(".hidden");
    fs::create_directory_symlink(dir.path(), dir / "sub" / "loop");
    addFiles({u16(a)});
    search(dir.path());
    std::vector<std::u16string> rows = rowPaths();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], u16(a));
    std::sort(rows.begin() + 1, rows.end());
    EXPECT_EQ(rows[1], u16(dir / ".hidden"));
    EXPECT_EQ(rows[2], u16(dir / "sub" / "b.txt"));
    EXPECT_EQ(rows[3], u16(dir / "sub" / "deeper" / "c"));
    EXPECT_EQ(dlg.statusLine, u"Total number of files: [4]");
    EXPECT_EQ(host.folderBrowserTitles.back(), u"Select folder to search file(s)");

    ui::CSelectFilesDlg fresh(dispatcher, host);
    fs::create_directories(dir / "empty");
    host.folderChoices.push_back(u16(dir / "empty"));
    fresh.OnSearchFile();
    fresh.WaitForWorkers();
    EXPECT_EQ(fresh.statusLine, u"");
}

TEST_F(SelectFilesDlgTest, StopEndsADeepSearchAtOnceAtEveryLevel) {
    std::string deep;
    for (int level = 0; level < 20; ++level) {
        deep += "d/";
        for (int i = 0; i < 5; ++i) file(deep + "f" + std::to_string(i));
    }
    host.boxAnswers.push_back(frame::BoxAnswer::Yes);
    dlg.onChanged = [&] {
        if (dlg.rows().size() == 3 && dlg.m_running) dlg.OnStop();
    };
    search(dir / "d");
    EXPECT_EQ(dlg.rows().size(), 3u);
    EXPECT_EQ(host.boxTexts(), (std::vector<std::u16string>{u"Do you want to stop the running process."}));
    EXPECT_FALSE(dlg.WorkersRunning());
}

TEST_F(SelectFilesDlgTest, RemoveAndRemoveAllExplainEmptyListsAndSetTheStatus) {
    dlg.OnRemove();
    dlg.OnRemoveAll();
    addFiles({u16(file("a")), u16(file("b"))});
    dlg.OnRemove();
    dlg.SetRowSelected(0, true);
    dlg.OnRemove();
    EXPECT_EQ(dlg.statusLine, u"Total number of files: [1]");
    frame::g_selectedFiles = {u"stale"};
    dlg.OnRemoveAll();
    EXPECT_TRUE(frame::g_selectedFiles.empty());
    EXPECT_EQ(dlg.statusLine, u"Add files to continue the process.");
    EXPECT_EQ(host.boxTexts(), (std::vector<std::u16string>{u"No file(s) is present in the list to remove.",
                                                             u"No file is present in the list to remove",
                                                             u"No file(s) selected to remove."}));
}

TEST_F(SelectFilesDlgTest, OkChecksTheTemporaryFolderAndTheRowsThenHandsThemBackInOrder) {
    addFiles({u16(file("1")), u16(file("2")), u16(file("3"))});
    dlg.tempFolder = u16(dir / "nowhere");
    EXPECT_FALSE(dlg.OnOK());
    EXPECT_TRUE(frame::g_selectedFiles.empty());
    dlg.tempFolder = u"/proc";  // a folder, but no private folder can be made in it
    EXPECT_FALSE(dlg.OnOK());
    EXPECT_TRUE(frame::g_selectedFiles.empty());
    dlg.tempFolder = u16(dir.path());
    EXPECT_TRUE(dlg.OnOK());
    EXPECT_EQ(scan::g_tempBase, u16(dir.path()));
    EXPECT_EQ(frame::g_selectedFiles, (std::vector<std::u16string>{u16(dir / "1"), u16(dir / "2"), u16(dir / "3")}));

    ui::CSelectFilesDlg empty(dispatcher, host);
    empty.tempFolder = u16(dir.path());
    EXPECT_FALSE(empty.OnOK());
    EXPECT_EQ(host.boxTexts().back(), u"Please select files to continue the process.");
    EXPECT_EQ(host.boxTexts().front(),
              u"Please select valid temporary folder path to create temporary files during conversion process.");
}

TEST_F(SelectFilesDlgTest, BrowsingTheTemporaryFolderKeepsOnlyExistingFolders) {
    host.folderChoices.push_back(u"  " + u16(dir.path()) + u"  ");
    dlg.OnBrowseTempFolder();
    EXPECT_EQ(dlg.tempFolder, u16(dir.path()));
    host.folderChoices.push_back(u16(dir / "missing"));
    dlg.OnBrowseTempFolder();
    EXPECT_EQ(dlg.tempFolder, u16(dir.path()));
    EXPECT_TRUE(host.boxTexts().empty());
    dlg.tempFolder = u16(dir / "gone");
    host.folderChoices.push_back(std::nullopt);
    dlg.OnBrowseTempFolder();
    EXPECT_EQ(host.boxTexts(), (std::vector<std::u16string>{u"Please select valid folder path."}));
}

TEST_F(SelectFilesDlgTest, ClosingTheDialogStopsAndWaitsForItsWorkers) {
    for (int i = 0; i < 50; ++i) file("tree/" + std::to_string(i));
    host.folderChoices.push_back(u16(dir / "tree"));
    host.selectFilesScript = [](ui::CSelectFilesDlg& d) { d.OnSearchFile(); };  // closes at once
    EXPECT_FALSE(dlg.DoModal());
    EXPECT_FALSE(dlg.WorkersRunning());
    EXPECT_TRUE(dlg.rows().empty());
    EXPECT_EQ(host.folderChoices.size(), 1u);  // the closed dialog asked for nothing more
}

TEST_F(SelectFilesDlgTest, TheListStartsEmptyAtEveryShowing) {
    fs::path a = file("a");
    host.selectFilesScript = [&](ui::CSelectFilesDlg& d) {
        EXPECT_TRUE(d.rows().empty());
        EXPECT_EQ(d.statusLine, u"Add files to continue the process.");
        host.pickedFiles.push_back(std::vector<std::u16string>{u16(a)});
        d.OnAddFiles();
        d.WaitForWorkers();
        d.tempFolder = u16(dir.path());
        d.OnOK();
    };
    EXPECT_TRUE(dlg.DoModal());
    EXPECT_TRUE(dlg.DoModal());
    EXPECT_EQ(frame::g_selectedFiles.size(), 2u);
}

TEST_F(SelectFilesDlgTest, TheSearchTimerAdvancesTheBarAndStartsOverAtTheEnd) {
    dlg.progressPos = 998;
    for (int tick = 0; tick < 3; ++tick) dlg.OnTimer(ui::CSelectFilesDlg::kTimerId);
    EXPECT_EQ(dlg.progressPos, 0);
    EXPECT_EQ(dlg.progressHigh, 1000);
    dlg.OnTimer(7);  // other timers are not the bar's
    EXPECT_EQ(dlg.progressPos, 0);
}

TEST(SelectFilesHelpers, CaseFoldingCoversOnlyAsciiLetters) {
    EXPECT_TRUE(ui::sameIgnoringAsciiCase(u"/Mail/Box", u"/mail/box"));
    EXPECT_FALSE(ui::sameIgnoringAsciiCase(u"/Ärger", u"/ärger"));
    EXPECT_EQ(ui::collapseSeparators(u"//a.mbox"), u"/a.mbox");
    EXPECT_EQ(ui::trimBlanks(u"  x y "), u"x y");
}

}  // namespace
