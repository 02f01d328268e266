// Mailboxes that change under the program and mailbox names that are not valid UTF-8, through the
// command-line front end in process.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/convert_command.h"
#include "cli/scan_command.h"
#include "cli/snapshot_command.h"
#include "cli_fixture.h"
#include "export/save_dialog.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliTest;

std::string message(int k) {
    return "From a@example.com Tue Dec  1 10:00:00 2026\nSubject: Message " + std::to_string(k) +
           "\nFrom: a@example.com\nTo: b@example.com\n\nBody " + std::to_string(k) + "\n";
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ChangedInput : public CliTest {
protected:
    // Plays the "Save output" dialog for one format and destination, as a user would.
    static bool playDialog(int formatButton, const fs::path& destination) {
        exporter::CKelvaSaveRecDataDlg dialog({nullptr, [](const std::u16string&) {}});
        dialog.OnInitDialog();
        dialog.OnClicked(formatButton);
        dialog.folderText = platform::fromNativePath(destination.string());
        return dialog.OnOK();
    }
    const std::string three = message(1) + "\n" + message(2) + "\n" + message(3);
};

}  // namespace

TEST_F(ChangedInput, AMailboxCutBetweenScanAndSaveFailsTheMessagesItNoLongerHolds) {
    struct Case {
        const char* name;
        int button;
        const char* extension;
    } cases[] = {{"eml", exporter::IDC_SAVE_EML, ".eml"},
                 {"msg", exporter::IDC_SAVE_MSG, ".msg"},
                 {"pst", exporter::IDC_SAVE_PST, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string inbox = mailbox("Inbox.mbox", three);
        const fs::path destination = dir / "out" / c.name;
        fs::create_directories(destination);
        std::ostringstream log, problems;
        cli::CliSession session(options, log, problems);
        ASSERT_TRUE(session.start());
        session.fillCatalogue({inbox});
        std::optional<exporter::ExportResult> result = session.save([&] {
            fs::resize_file(inbox, message(1).size() + 1 + message(2).size() / 2);  // inside message 2
            return playDialog(c.button, destination);
        });
        ASSERT_TRUE(result);
        EXPECT_EQ(result->saved, 1);
        EXPECT_EQ(result->failed, 2);
        EXPECT_FALSE(result->stopped);
        session.close();
        EXPECT_TRUE(session.failed());
        EXPECT_EQ(count(log.str(), "Failed to save: "), 2u) << log.str();
        if (!c.extension) continue;
        const fs::path folder = destination / "Inbox.mbox";
        EXPECT_TRUE(fs::exists(folder / (std::string("1") + c.extension)));
        for (const char* k : {"2", "3"}) {
            EXPECT_FALSE(fs::exists(folder / (k + std::string(c.extension)))) << k;
            EXPECT_NE(log.str().find("Failed to save: " + (folder / (k + std::string(c.extension))).string()),
                      std::string::npos);
        }
        if (c.button == exporter::IDC_SAVE_EML) {
            EXPECT_TRUE(testing_support::readFile(folder / "1.eml").ends_with("\r\n\r\nBody 1\r\n"));
        }
    }
}

TEST_F(ChangedInput, ASnapshotOfAMailboxThatGrewSinceIsRefusedWithExitOne) {
    const std::string inbox = mailbox("Inbox.mbox", three);
    ASSERT_EQ(cli::runSnapshotSave({(dir / "state").string(), {inbox}}, options, out, err), 0) << err.str();
    testing_support::writeFile(inbox, three + "\n" + three);
    fs::create_directories(dir / "out");
    cli::GlobalOptions withSnapshot = options;
    withSnapshot.snapshot = (dir / "state.MBOX2PSTKLV").string();
    std::ostringstream log, problems;
    EXPECT_EQ(cli::runConvert({{}, "eml", (dir / "out").string(), false, false}, withSnapshot, log, problems), 1);
    EXPECT_NE(log.str().find("The mailbox changed after the snapshot was saved; open it again to scan it: " + inbox),
              std::string::npos)
        << log.str();
    EXPECT_FALSE(fs::exists(dir / "out" / "Inbox.mbox" / "1.eml"));
}

TEST_F(ChangedInput, ANameThatIsNotUtf8KeepsItsBytesByFolderSearchAndByName) {
    const std::string badName = "bad\xff.mbox";
    const std::string inbox = mailbox("search/" + badName, message(1));
    for (bool bySearch : {true, false}) {
        SCOPED_TRACE(bySearch ? "folder search" : "named");
        const fs::path destination = dir / (bySearch ? "out-search" : "out-named");
        fs::create_directories(destination);
        cli::GlobalOptions run = options;
        std::vector<std::string> files;
        if (bySearch)
            run.search = (dir / "search").string();
        else
            files.push_back(inbox);
        std::ostringstream log, problems;
        EXPECT_EQ(cli::runConvert({files, "eml", destination.string(), false, false}, run, log, problems), 0)
            << problems.str() << log.str();
        // The output folder carries the mailbox's own bytes; texts show the byte as \xFF.
        const fs::path written = destination / badName / "1.eml";
        EXPECT_TRUE(fs::exists(written));
        EXPECT_NE(testing_support::readFile(written).find("Subject: Message 1"), std::string::npos);
        EXPECT_NE(log.str().find("Processing File: " + (dir / "search").string() + "/bad\\xFF.mbox"),
                  std::string::npos)
            << log.str();
        EXPECT_EQ(log.str().find("\xff"), std::string::npos);
    }
    std::ostringstream json;
    EXPECT_EQ(cli::runScan({{inbox}, true}, options, json, err), 0);
    EXPECT_EQ(nlohmann::json::parse(json.str())[0]["path"], (dir / "search").string() + "/bad\\xFF.mbox");
}
