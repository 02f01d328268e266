// mbox2pst convert and show, in process: the files and log lines of a conversion, the exit status,
// and one message as the viewer shows it.
#include <gtest/gtest.h>

#include <map>

#include "cli/convert_command.h"
#include "cli/show_command.h"
#include "export/save_options.h"
#include "cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliTest;
using testing_support::lines;

const char kTwoMessages[] =
    "From a@example.com Tue Dec  1 10:00:00 2026\n"
    "To: Bob <bob@example.com>\nFrom: Ann <ann@example.com>\nSubject: First\n"
    "Date: Tue, 1 Dec 2026 10:00:00 +0100\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\n\n"
    "--b\nContent-Type: text/html\n\n<p onclick=\"x()\">Hello <script>alert(1)</script><img src=\"http://x/y.png\"></p>\n"
    "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\n\nJVBERi0=\n"
    "--b--\n"
    "\n"
    "From b@example.com Tue Dec  1 11:00:00 2026\n"
    "To: ann@example.com\nFrom: bob@example.com\nSubject: Second\n\nPlain body\n";

class Convert : public CliTest {
protected:
    cli::ConvertRequest request(const std::string& format) {
        fs::create_directories(dir / "out");
        return {{inbox}, format, (dir / "out").string(), false, false};
    }
    std::string inbox = mailbox("mail/Inbox.mbox", kTwoMessages);
};

}  // namespace

TEST_F(Convert, EmlWritesNumberedFilesWithCrLfAndTheSaveLogLines) {
    EXPECT_EQ(cli::runConvert(request("eml"), options, out, err), 0) << err.str();
    fs::path folder = dir / "out" / "Inbox.mbox";
    std::string first = testing_support::readFile(folder / "1.eml");
    EXPECT_NE(first.find("Subject: First\r\n"), std::string::npos);
    EXPECT_EQ(first.find("\n\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "2.eml"));
    EXPECT_FALSE(fs::exists(folder / "3.eml"));
    std::string log = out.str();
    EXPECT_NE(log.find("Saving: " + (folder / "2.eml").string() + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Saving Process Completed. destination folder path is: " + (dir / "out").string() + "/\n"),
              std::string::npos);
}

TEST_F(Convert, EveryItemFormatAndPstModeCompletes) {
    for (const char* format : {"msg", "rtf", "html", "pst", "single-pst"}) {
        std::ostringstream log, problems;
        fs::remove_all(dir / "out");
        EXPECT_EQ(cli::runConvert(request(format), options, log, problems), 0) << format << '\n' << problems.str();
        EXPECT_EQ(log.str().find("could not be saved"), std::string::npos) << format << '\n' << log.str();
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "out"))
            files += entry.is_regular_file() && entry.file_size() > 0;
        EXPECT_GE(files, std::string(format).ends_with("pst") ? 1u : 2u) << format;
    }
    EXPECT_TRUE(fs::exists(dir / "out" / "Resultant.pst"));
}

TEST_F(Convert, ThreadsSetsTheExportsWorkerCountAndLeavesTheFilesAsTheyAre) {
    std::map<std::string, std::string> oneThread;
    for (int threads : {1, 3}) {
        fs::remove_all(dir / "out");
        cli::ConvertRequest r = request("msg");
        r.threads = threads;
        ASSERT_EQ(cli::runConvert(r, options, out, err), 0) << err.str();
        EXPECT_EQ(exporter::exportThreadCount(), threads);
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "out"))
            if (entry.is_regular_file()) files[entry.path().string()] = testing_support::readFile(entry.path());
        if (threads == 1) oneThread = files;
        EXPECT_EQ(files, oneThread);
        EXPECT_EQ(files.size(), 2u);
    }
    exporter::g_exportThreads = 0;
}

TEST_F(Convert, RelativePathsAreTakenFromTheWorkingFolder) {
    fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    cli::ConvertRequest r{{"mail/../mail/Inbox.mbox"}, "pst", "out", true, false};
    fs::create_directories(dir / "out");
    int status = cli::runConvert(r, options, out, err);
    fs::current_path(previous);
    EXPECT_EQ(status, 0) << out.str() << err.str();
    EXPECT_NE(out.str().find("Saving: Inbox.mbox[2/2]"), std::string::npos) << out.str();
    EXPECT_TRUE(fs::exists(dir / "out" / "Inbox.mbox.pst"));
}

TEST_F(Convert, AMissingDestinationIsMadeAndOneThatCannotBeIsAFailure) {
    cli::ConvertRequest r = request("eml");
    r.destination = (dir / "new" / "folder").string();
    EXPECT_EQ(cli::runConvert(r, options, out, err), 0) << err.str();
    EXPECT_NE(err.str().find("Created the destination folder " + r.destination + "\n"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::exists(dir / "new" / "folder" / "Inbox.mbox" / "2.eml"));

    testing_support::writeFile(dir / "plain-file", "");
    std::ostringstream none, problem;
    r.destination = (dir / "plain-file" / "out").string();
    EXPECT_EQ(cli::runConvert(r, options, none, problem), 1);
    EXPECT_NE(problem.str().find("mbox2pst: cannot create the destination folder " + r.destination + ": "),
              std::string::npos)
        << problem.str();
    std::ostringstream none2, notFolder;
    r.destination = (dir / "plain-file").string();
    EXPECT_EQ(cli::runConvert(r, options, none2, notFolder), 1);
    EXPECT_EQ(notFolder.str(), "mbox2pst: the destination is not a folder: " + r.destination + "\n");
}

TEST_F(Convert, ALogFileThatCannotBeWrittenIsSaidSoAndFailsTheRun) {
    testing_support::writeFile(dir / "plain-file", "");
    options.logDir = (dir / "plain-file" / "logs").string();
    EXPECT_EQ(cli::runConvert(request("eml"), options, out, err), 1);
    EXPECT_TRUE(fs::exists(dir / "out" / "Inbox.mbox" / "2.eml"));
    EXPECT_NE(err.str().find("mbox2pst: cannot write the activity log file " + options.logDir + "/"), std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find("The log file could not be written: " + options.logDir + "/KelvaMbox2PSTConv_log_"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("Log file path is"), std::string::npos);
    EXPECT_EQ(err.str().find("Log file path is"), std::string::npos);
}

TEST_F(Convert, ShowPrintsTheViewerTextsAndWritesAnInertDocument) {
    cli::ShowRequest r{inbox, 0, (dir / "m.mht").string(), (dir / "m.html").string()};
    EXPECT_EQ(cli::runShow(r, options, out, err), 0) << err.str();
    EXPECT_EQ(lines(out.str()), (std::vector<std::string>{"From: Ann <ann@example.com>", "To: Bob <bob@example.com>",
                                                           "Subject: First", "Date: Tue, 1 Dec 2026 10:00:00 +0100",
                                                           "Attachment: a.pdf"}));
    EXPECT_NE(testing_support::readFile(dir / "m.mht").find("Subject: First\r\n"), std::string::npos);
    std::string html = testing_support::readFile(dir / "m.html");
    EXPECT_NE(html.find("Hello"), std::string::npos);
    for (const char* banned : {"<script", "onclick", "http://x/y.png"})
        EXPECT_EQ(html.find(banned), std::string::npos) << banned;

    for (long long index : {2LL, -1LL}) {
        std::ostringstream none, problem;
        EXPECT_EQ(cli::runShow({inbox, index, "", ""}, options, none, problem), 2);
        EXPECT_NE(problem.str().find("show: INDEX " + std::to_string(index) +
                                     " is out of range: give 0 to 1 (the mailbox has 2 messages)"),
                  std::string::npos)
            << problem.str();
    }
}
