// What a conversion prints for people and for scripts: the summary line, the JSON summary, the failures
// by message, and nothing meant for the desktop program.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>

#include "cli/convert_command.h"
#include "cli/convert_summary.h"
#include "cli/scan_command.h"
#include "cli/show_command.h"
#include "cli/snapshot_command.h"
#include "cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliTest;

cli::ConvertSummary summaryOf(long long saved, long long messages, int mailboxes, const std::string& format,
                              std::uintmax_t bytes, double seconds) {
    cli::ConvertSummary s;
    s.format = format;
    s.destination = "/out";
    s.mailboxes = mailboxes;
    s.messages = messages;
    s.saved = saved;
    s.ran = true;
    s.bytes = bytes;
    s.seconds = seconds;
    return s;
}

TEST(SummaryText, LinesForEveryShapeOfRun) {
    cli::ConvertSummary stopped = summaryOf(120, 30000, 1, "eml", 512, 1.04);
    stopped.stopped = true;
    cli::ConvertSummary failed = summaryOf(1, 3, 2, "single-pst", 1, 0.3);
    failed.failed = 2;
    struct Case {
        cli::ConvertSummary summary;
        const char* line;
    } cases[] = {
        {summaryOf(26487, 26487, 1, "pst", 322122547, 2.46),
         "Saved 26,487 of 26,487 messages from 1 mailbox to /out (PST, 0.30 GiB) in 2.5 s"},
        {summaryOf(1, 1, 1, "msg", 12800, 0.04), "Saved 1 of 1 message from 1 mailbox to /out (MSG, 12.5 KiB) in 0.0 s"},
        {summaryOf(1234567, 1234567, 12, "html", 5 * 1048576 + 104858, 187.4),
         "Saved 1,234,567 of 1,234,567 messages from 12 mailboxes to /out (HTML, 5.1 MiB) in 3 min 07 s"},
        {stopped, "Stopped: saved 120 of 30,000 messages from 1 mailbox to /out (EML, 512 bytes) in 1.0 s"},
        {failed, "Saved 1 of 3 messages from 2 mailboxes to /out (one PST, 1 byte) in 0.3 s; 2 messages failed"},
    };
    for (const Case& c : cases) EXPECT_EQ(cli::summaryLine(c.summary), c.line);
}

TEST(SummaryText, JsonNamesEveryFieldInAFixedOrder) {
    cli::ConvertSummary s = summaryOf(1, 2, 1, "eml", 300, 0.12345);
    s.failed = 1;
    s.failures = {{"/out/Inbox.mbox/2.eml", "the attachment file could not be read: a.bin"}};
    s.files = {"Inbox.mbox/1.eml"};
    EXPECT_EQ(cli::summaryJson(s), R"({
  "format": "eml",
  "destination": "/out",
  "mailboxes": 1,
  "messages": 2,
  "saved": 1,
  "failed": 1,
  "stopped": false,
  "completed": true,
  "failures": [
    {
      "message": "/out/Inbox.mbox/2.eml",
      "reason": "the attachment file could not be read: a.bin"
    }
  ],
  "files": [
    "Inbox.mbox/1.eml"
  ],
  "bytes": 300,
  "seconds": 0.123
})");
}

TEST(SummaryText, FailureLinesSplitIntoMessageAndReason) {
    struct Case {
        const char* line;
        const char* message;
        const char* reason;
    } cases[] = {
        {"Failed to save: /o/a.mbox/2.eml: the attachment file could not be read: x.bin", "/o/a.mbox/2.eml",
         "x.bin"},
        {"Failed to save: /m/a.mbox: messages 3 to 9: not saved because of an error: disk full",
         "/m/a.mbox: messages 3 to 9", "disk full"},
        {"Failed to save: a.mbox[2/3]", "a.mbox[2/3]", ""},
    };
    for (const Case& c : cases) {
        cli::FailedMessage f = cli::failedMessageOf(c.line);
        EXPECT_EQ(f.message, c.message) << c.line;
        EXPECT_EQ(f.reason, c.reason) << c.line;
    }
}

const char kTwoMessages[] =
    "From a@example.com Tue Dec  1 10:00:00 2026\nFrom: Ann <ann@example.com>\nSubject: First\n\nHello\n\n"
    "From b@example.com Tue Dec  1 11:00:00 2026\nFrom: bob@example.com\nSubject: Second\n"
    "Content-Type: text/html\n\n<p>Plain <b>body</b></p>\n";

class Output : public CliTest {
protected:
    Output() { options.verbosity = cli::Verbosity::Normal; }
    cli::ConvertRequest request(const std::string& format, const std::string& file) {
        return {{file}, format, (dir / "out").string(), false, false, false};
    }
    static void expectNoDesktopLines(const std::string& text) {
        for (const char* line : {"click on folder", "Application has been closed.", "Log file path is", "Saving: ",
                                 "Saving Process Completed"})
            EXPECT_EQ(text.find(line), std::string::npos) << line << '\n' << text;
    }
    std::string inbox = mailbox("mail/Inbox.mbox", kTwoMessages);
};

TEST_F(Output, TheTerminalGetsOneSummaryLineAndQuietGetsNothing) {
    fs::create_directories(dir / "out");
    ASSERT_EQ(cli::runConvert(request("eml", inbox), options, out, err), 0) << err.str();
    const std::string expected = "Saved 2 of 2 messages from 1 mailbox to " + (dir / "out").string() +
                                 " \\(EML, [0-9]+ bytes\\) in [0-9]+\\.[0-9] s\n";
    EXPECT_TRUE(std::regex_match(out.str(), std::regex(expected))) << out.str();
    EXPECT_EQ(err.str(), "");
    expectNoDesktopLines(out.str());

    std::ostringstream quietOut, quietErr;
    options.verbosity = cli::Verbosity::Quiet;
    EXPECT_EQ(cli::runConvert(request("pst", inbox), options, quietOut, quietErr), 0);
    EXPECT_EQ(quietOut.str() + quietErr.str(), "");
}

TEST_F(Output, JsonListsTheFilesWrittenAndTheirSize) {
    fs::create_directories(dir / "out");
    testing_support::writeFile(dir / "out" / "kept.txt", "not ours");
    cli::ConvertRequest r = request("eml", inbox);
    r.json = true;
    ASSERT_EQ(cli::runConvert(r, options, out, err), 0) << err.str();
    nlohmann::json json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["files"], nlohmann::json({"Inbox.mbox/1.eml", "Inbox.mbox/2.eml"}));
    EXPECT_EQ(json["bytes"], fs::file_size(dir / "out" / "Inbox.mbox" / "1.eml") +
                                 fs::file_size(dir / "out" / "Inbox.mbox" / "2.eml"));
    EXPECT_EQ(json["saved"], 2);
    EXPECT_EQ(json["messages"], 2);
    EXPECT_EQ(json["completed"], true);
    EXPECT_EQ(json["failures"], nlohmann::json::array());
    expectNoDesktopLines(err.str());
}

TEST_F(Output, FailuresArePrintedByMessageAndCountedInBothSummaries) {
    const std::string imm = mailbox("imm/Mailbox.imm",
                                    "From: a@example.com\r\nTo: b@example.com\r\nSubject: Paths\r\n"
                                    "Content-Type: text/plain\r\n\r\nSee files.\r\n"
                                    "----------[%ImFilePath%]----------missing.bin\r\n");
    ASSERT_EQ(cli::runConvert(request("eml", imm), options, out, err), 1);
    const std::string item = (dir / "out" / "Mailbox.imm" / "1.eml").string();
    EXPECT_EQ(err.str(), "Created the destination folder " + (dir / "out").string() + "\nFailed to save: " + item +
                             ": the attachment file could not be read: missing.bin\n");
    // The message is written without the attachment: saved, and counted as a failure too.
    EXPECT_NE(out.str().find("Saved 1 of 1 message from 1 mailbox to "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("; 1 message failed\n"), std::string::npos) << out.str();

    std::ostringstream json, problems;
    cli::ConvertRequest r = request("eml", imm);
    r.json = true;
    fs::remove_all(dir / "out");
    ASSERT_EQ(cli::runConvert(r, options, json, problems), 1);
    nlohmann::json parsed = nlohmann::json::parse(json.str());
    EXPECT_EQ(parsed["failed"], 1);
    EXPECT_EQ(parsed["failures"],
              nlohmann::json::parse(R"([{"message": ")" + item + R"(", "reason": "missing.bin"}])"));
}

TEST_F(Output, ScanCountsEachMailboxAndShowPrintsTheBodyText) {
    ASSERT_EQ(cli::runScan({{inbox}, false}, options, out, err), 0);
    EXPECT_EQ(out.str(), inbox + ": 2 messages\n");
    std::ostringstream shown, problems;
    cli::ShowRequest r{inbox, 1, "", "", true};
    ASSERT_EQ(cli::runShow(r, options, shown, problems), 0) << problems.str();
    const std::string text = shown.str();
    EXPECT_NE(text.find("Subject: Second\nDate: \n\nPlain body"), std::string::npos) << text;
    EXPECT_NE(text.find("Plain body"), std::string::npos) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(problems.str(), "");
}

TEST_F(Output, ASnapshotLoadsByTheNameItWasSavedUnder) {
    const std::string name = (dir / "mail-snapshot").string();
    ASSERT_EQ(cli::runSnapshotSave({name, {inbox}}, options, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "Snapshot file: " + name + ".MBOX2PSTKLV\n");
    EXPECT_EQ(cli::snapshotFile(name), name + ".MBOX2PSTKLV");
    options.snapshot = name;
    std::ostringstream scanned;
    EXPECT_EQ(cli::runScan({{}, false}, options, scanned, err), 0) << err.str();
    EXPECT_EQ(scanned.str(), inbox + ": 2 messages\n");
}

}  // namespace
