#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <regex>
#include <sstream>

#include "cli/list_command.h"
#include "cli/scan_command.h"
#include "cli/snapshot_command.h"
#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliTest;
using testing_support::lines;

TEST_F(CliTest, ScanPrintsTheLogLinesOrTheOffsetsAsJson) {
    auto mbox = mailbox("inbox.mbox", "From a\nx\nFrom b\ny\n");
    auto imm = mailbox("box.imm", "MIME-Version: 1.0\r\n\r\nx\r\n");
    EXPECT_EQ(cli::runScan({{mbox, imm}, false}, options, out, err), 0);
    std::vector<std::string> printed = lines(out.str());
    ASSERT_EQ(printed.size(), 8u);
    EXPECT_TRUE(std::regex_match(printed[0], std::regex(R"(KelvaTools MBOX to PST Conversion process starts\.  )"
                                                        R"([A-Z][a-z]{2}-\d\d-\d{4}\(\d\d-\d\d-\d\d-[AP]M\))")));
    EXPECT_EQ(std::vector<std::string>(printed.begin() + 1, printed.end()),
              (std::vector<std::string>{mbox + " (2 files) File is selected for conversion....",
                                        "Processing File: " + mbox, "Total number of emails found: (2)",
                                        "Processing File: " + imm, "Total number of emails found: (1)",
                                        "Scanning process completed for selected file, click on folder to see "
                                        "recovered email items.",
                                        "Application has been closed."}));

    std::ostringstream json;
    EXPECT_EQ(cli::runScan({{mbox, imm}, true}, options, json, err), 0);
    auto parsed = nlohmann::json::parse(json.str());
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0]["path"], mbox);
    EXPECT_EQ(parsed[0]["offsets"], nlohmann::json({0, 8, 18}));
    EXPECT_EQ(parsed[1]["offsets"], nlohmann::json({0, 24}));
    EXPECT_EQ(json.str(), nlohmann::json::parse(json.str()).dump() + "\n");
}

TEST_F(CliTest, AMissingFileIsReportedAndTheOthersStillScanned) {
    auto mbox = mailbox("inbox.mbox", "From a\nx\n");
    EXPECT_EQ(cli::runScan({{(dir / "missing").string(), mbox}, false}, options, out, err), 1);
    EXPECT_NE(err.str().find("Cannot open file: " + (dir / "missing").string()), std::string::npos);
    EXPECT_NE(out.str().find("Total number of emails found: (1)"), std::string::npos);

    std::ostringstream none;
    EXPECT_EQ(cli::runScan({{(dir / "missing").string()}, false}, options, none, err), 1);
    EXPECT_EQ(none.str().find("Processing File"), std::string::npos);
}

TEST_F(CliTest, TheActivityLogGoesToTheLogFolderInEitherEncodingAndTheTemporaryFolderIsRemoved) {
    auto mbox = mailbox("inbox.mbox", "From a\nx\n");
    ASSERT_EQ(cli::runScan({{mbox}, false}, options, out, err), 0);
    std::vector<fs::path> logs = testing_support::filesUnder(dir / "logs");
    ASSERT_EQ(logs.size(), 1u);
    std::string bytes = testing_support::readFile(logs[0]);
    EXPECT_EQ(bytes.substr(0, 150), std::string(149, '*') + "\n");  // UTF-8, no byte-order mark
    EXPECT_NE(bytes.find("\nTotal number of emails found: (1)\n"), std::string::npos) << bytes;
    EXPECT_EQ(err.str().find("Log file path is"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));  // the private temporary folder went at exit

    fs::remove_all(dir / "logs");
    options.logEncoding = app::LogEncoding::Utf16;
    ASSERT_EQ(cli::runScan({{mbox}, false}, options, out, err), 0);
    logs = testing_support::filesUnder(dir / "logs");
    ASSERT_EQ(logs.size(), 1u);
    bytes = testing_support::readFile(logs[0]);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE*\0", 4));
    EXPECT_NE(bytes.find(std::string("\r\0\n\0", 4)), std::string::npos);
}

TEST_F(CliTest, TheLogFolderIsTheStateFolderUnlessOneIsGiven) {
    const char* oldState = std::getenv("XDG_STATE_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string kept = oldState ? oldState : "", keptHome = oldHome ? oldHome : "";
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    EXPECT_EQ(cli::defaultLogFolder(), (dir / "state" / "kelva-mbox2pst").string());
    options.logDir.clear();
    ASSERT_EQ(cli::runScan({{mailbox("inbox.mbox", "From a\nx\n")}, false}, options, out, err), 0);
    EXPECT_EQ(testing_support::filesUnder(dir / "state" / "kelva-mbox2pst").size(), 1u);
    ::setenv("XDG_STATE_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(cli::defaultLogFolder(), "/home/someone/.local/state/kelva-mbox2pst");
    if (oldState) ::setenv("XDG_STATE_HOME", kept.c_str(), 1);
    else ::unsetenv("XDG_STATE_HOME");
    if (oldHome) ::setenv("HOME", keptHome.c_str(), 1);
    else ::unsetenv("HOME");
}

TEST_F(CliTest, ListStreamsOneJsonObjectWithEveryRow) {
    auto mbox = mailbox("inbox.mbox",
                        "From a\nTo: Bob <bob@example.com>\nFrom: Ann <ann@example.com>\nSubject: Gr=?utf-8?q?=C3=BC?=\n"
                        "Date: Tue, 1 Dec 2026 10:00:00 +0100\n\nhi\n"
                        "From b\nSubject: second\nContent-Type: multipart/mixed; boundary=X\n\n--X\n"
                        "Content-Type: text/plain\n\nbody\n--X\nContent-Type: application/pdf\n"
                        "Content-Disposition: attachment; filename=a.pdf\n\nPDF\n--X--\n");
    ASSERT_EQ(cli::runList({mbox, true}, options, out, err), 0);
    auto parsed = nlohmann::json::parse(out.str());
    EXPECT_EQ(parsed["path"], mbox);
    ASSERT_EQ(parsed["rows"].size(), 2u);
    EXPECT_EQ(parsed["rows"][0], nlohmann::json({{"index", 0},
                                                 {"to", "Bob <bob@example.com>"},
                                                 {"from", "Ann <ann@example.com>"},
                                                 {"subject", "Grü"},
                                                 {"date", "Tue, 1 Dec 2026 10:00:00 +0100"},
                                                 {"hasAttachments", false}}));
    EXPECT_EQ(parsed["rows"][1]["index"], 1);
    EXPECT_EQ(parsed["rows"][1]["hasAttachments"], true);
    EXPECT_NE(err.str().find("Displaying email items."), std::string::npos);

    std::ostringstream text;
    ASSERT_EQ(cli::runList({mbox, false}, options, text, err), 0);
    std::vector<std::string> printed = lines(text.str());
    EXPECT_NE(std::find(printed.begin(), printed.end(),
                        "0\tBob <bob@example.com>\tAnn <ann@example.com>\tGrü\tTue, 1 Dec 2026 10:00:00 +0100\t"),
              printed.end());
}

TEST_F(CliTest, AnEmptyMailboxListsAsAnEmptyArray) {
    auto mbox = mailbox("empty.mbox", "");
    ASSERT_EQ(cli::runList({mbox, true}, options, out, err), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json({{"path", mbox}, {"rows", nlohmann::json::array()}}));
}

TEST_F(CliTest, ASnapshotSavedFromAScanServesListingsWithoutScanning) {
    auto a = mailbox("mail/a.mbox", "From a\nSubject: one\n\nx\nFrom b\nSubject: two\n\ny\n");
    auto b = mailbox("mail/sub/b.mbox", "From c\nSubject: three\n\nz\n");
    options.search = (dir / "mail").string();
    ASSERT_EQ(cli::runSnapshotSave({(dir / "state").string(), {}}, options, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Snapshot file: " + (dir / "state.MBOX2PSTKLV").string()), std::string::npos);

    options.search.clear();
    options.snapshot = (dir / "state.MBOX2PSTKLV").string();
    std::ostringstream json;
    ASSERT_EQ(cli::runList({a, true}, options, json, err), 0);
    auto parsed = nlohmann::json::parse(json.str());
    ASSERT_EQ(parsed["rows"].size(), 2u);
    EXPECT_EQ(parsed["rows"][1]["subject"], "two");

    std::ostringstream offsets;
    ASSERT_EQ(cli::runScan({{}, true}, options, offsets, err), 0);
    EXPECT_EQ(nlohmann::json::parse(offsets.str()).size(), 2u);

    std::ostringstream missing;
    EXPECT_EQ(cli::runList({(dir / "other.mbox").string(), true}, options, missing, err), 1);
    EXPECT_NE(err.str().find("is not in the snapshot"), std::string::npos);

    // A moved mailbox is reported and makes the run fail.
    fs::remove(b);
    std::ostringstream scanned;
    EXPECT_EQ(cli::runScan({{}, false}, options, scanned, err), 1);
    EXPECT_NE(err.str().find("Cannot open file: " + b), std::string::npos);
}

TEST_F(CliTest, ADamagedSnapshotFailsTheRun) {
    testing_support::writeFile(dir / "bad.MBOX2PSTKLV", std::string("\x05\x00\x00\x00\xff\xff\xff\xff", 8));
    options.snapshot = (dir / "bad.MBOX2PSTKLV").string();
    EXPECT_EQ(cli::runScan({{}, false}, options, out, err), 1);
    EXPECT_NE(err.str().find("is damaged"), std::string::npos);
    EXPECT_NE(out.str().find("Loading snapshot process completed."), std::string::npos);
}

#ifdef MBOX2PST_PATH
// The program itself: usage errors, help and version.
// Runs the program; the output gets the standard output, and the error output too unless quiet.
int run(const std::string& arguments, std::string* output = nullptr, bool quiet = false) {
    std::string command = std::string(MBOX2PST_PATH) + " " + arguments + (quiet ? " 2>/dev/null" : " 2>&1");
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CliTest, TheProgramAnswersUsageErrorsWithStatusTwo) {
    std::string logs = " --log-dir " + (dir / "logs").string() + " ";
    struct Case {
        std::string arguments;
        int status;
    } cases[] = {
        {"--help", 0},
        {"--version", 0},
        {"", 2},
        {logs + "scan", 2},
        {logs + "list", 2},
        {logs + "--temp " + (dir / "nowhere").string() + " scan x", 2},
        {logs + "--search " + (dir / "nowhere").string() + " scan", 2},
        {logs + "--snapshot s --search " + dir.path().string() + " scan", 2},
        {logs + "snapshot", 2},
        {logs + "scan --bogus x", 2},
        {logs + "convert x --dest " + dir.path().string(), 2},
        {logs + "convert x --to zip --dest " + dir.path().string(), 2},
        {logs + "convert x --to eml --attach --dest " + dir.path().string(), 2},
        {logs + "convert --to eml --dest " + dir.path().string(), 2},
        {logs + "convert x --to eml --threads 0 --dest " + dir.path().string(), 2},
        {logs + "convert x --to eml --threads many --dest " + dir.path().string(), 2},
        {logs + "show x", 2},
        {logs + "-v -q scan x", 2},
        {logs + "--log-encoding latin1 scan x", 2},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(run(c.arguments, &output), c.status) << c.arguments << "\n" << output;
    }
    std::string version;
    run("--version", &version);
    EXPECT_EQ(version, "mbox2pst 1.0.0\n");
    std::string unknown;
    EXPECT_EQ(run(logs + "--temp /tmp convrt x", &unknown), 2);
    EXPECT_EQ(unknown, "mbox2pst: unknown command \"convrt\"; the commands are scan, list, show, convert, snapshot\n"
                       "Run with --help for more information.\n");
    std::string help;
    run("--help", &help);
    EXPECT_NE(help.find("Examples:\n  mbox2pst convert "), std::string::npos) << help;
}

TEST_F(CliTest, EveryCorpusMailboxScansListsAndSnapshots) {
    std::vector<fs::path> boxes;
    if (auto corpus = testing_support::sharedCorpus())
        for (const fs::path& p : testing_support::filesUnder(*corpus / "mbox")) boxes.push_back(p);
    for (const fs::path& p : testing_support::filesUnder(testing_support::sourceDir() / "samples"))
        if (p.extension() == ".mbox" || p.extension() == ".imm") boxes.push_back(p);
    ASSERT_FALSE(boxes.empty());
    std::string logs = " --log-dir " + (dir / "logs").string() + " ";
    for (const fs::path& box : boxes) {
        SCOPED_TRACE(box.string());
        std::string scanned, listed, saved;
        ASSERT_EQ(run(logs + "scan --offsets '" + box.string() + "'", &scanned), 0) << scanned;
        std::string json = scanned.substr(scanned.find("[{"));
        json = json.substr(0, json.find('\n'));
        std::size_t count = nlohmann::json::parse(json)[0]["offsets"].size() - 1;
        ASSERT_EQ(run(logs + "list --json '" + box.string() + "'", &listed, true), 0) << listed;
        EXPECT_EQ(nlohmann::json::parse(listed)["rows"].size(), count);
        std::string snap = (dir / "s.MBOX2PSTKLV").string();
        ASSERT_EQ(run(logs + "snapshot save " + snap + " '" + box.string() + "'", &saved), 0) << saved;
        ASSERT_EQ(run(logs + "--snapshot " + snap + " list --json '" + box.string() + "'", &saved, true), 0);
        EXPECT_EQ(saved, listed);
    }
}
#endif

}  // namespace
