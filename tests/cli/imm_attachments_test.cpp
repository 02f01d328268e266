// .imm mailboxes: every output format carries the files the messages name, byte for byte, as read back
// by independent readers (Python's email package, readpst); a named file that cannot be attached is a
// failure of its message, never an empty attachment.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/convert_command.h"
#include "cli_fixture.h"
#include "oracle_tools.h"

namespace {

namespace fs = std::filesystem;
using store_test::runCommand;
using store_test::shellQuote;

// Prints "sha256 filename" for every attachment of each message file, after checking that the file is a
// well-formed MIME message.
constexpr const char* kAttachmentDigests = R"(
import email, email.policy, hashlib, sys
for path in sys.argv[1:]:
    message = email.message_from_binary_file(open(path, 'rb'), policy=email.policy.default)
    for part in message.walk():
        if part.defects: sys.exit('%s: %s' % (path, part.defects))
    for part in message.iter_attachments():
        print(hashlib.sha256(part.get_payload(decode=True) or b'').hexdigest(), part.get_filename())
)";

std::vector<std::string> digestsOf(const std::vector<fs::path>& files, const fs::path& scratch) {
    testing_support::writeFile(scratch / "digests.py", kAttachmentDigests);
    std::string command = "/usr/bin/python3 " + shellQuote((scratch / "digests.py").string());
    for (const fs::path& file : files) command += " " + shellQuote(file.string());
    store_test::CommandResult result = runCommand(command);
    EXPECT_EQ(result.status, 0) << result.output;
    std::vector<std::string> digests = testing_support::lines(result.output);
    std::sort(digests.begin(), digests.end());
    return digests;
}

std::vector<fs::path> filesWithExtension(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> found;
    for (const fs::path& file : testing_support::filesUnder(folder))
        if (file.extension() == extension) found.push_back(file);
    return found;
}

class ImmAttachments : public testing_support::CliTest {
protected:
    ImmAttachments() {
        fs::copy(testing_support::sourceDir() / "samples" / "imm", dir / "imm", fs::copy_options::recursive);
        fs::create_directories(dir / "out");
    }
    int convert(const std::string& format) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        out.str({});
        cli::ConvertRequest request{{(dir / "imm" / "Mailbox.imm").string()}, format, (dir / "out").string(), false, false};
        return cli::runConvert(request, options, out, err);
    }
    // "sha256 name" of the sample's three references: budget.csv, report.pdf, budget.csv.
    std::vector<std::string> sampleDigests() {
        const fs::path folder = dir / "imm" / "Attachments";
        std::string command = "cd " + shellQuote(folder.string()) + " && sha256sum budget.csv report.pdf budget.csv";
        std::vector<std::string> digests = testing_support::lines(runCommand(command).output);
        for (std::string& line : digests) line.replace(line.find("  "), 2, " ");
        std::sort(digests.begin(), digests.end());
        return digests;
    }
};

}  // namespace

TEST_F(ImmAttachments, EmlAndPstCarryTheSampleFilesByteForByte) {
    ASSERT_EQ(convert("eml"), 0) << out.str() << err.str();
    std::vector<fs::path> emls = filesWithExtension(dir / "out", ".eml");
    ASSERT_EQ(emls.size(), 3u);
    EXPECT_EQ(digestsOf(emls, dir.path()), sampleDigests());

    if (!store_test::hasProgram("readpst")) GTEST_SKIP() << "readpst is not installed";
    ASSERT_EQ(convert("pst"), 0) << out.str() << err.str();
    fs::create_directories(dir / "readpst");
    store_test::CommandResult read = runCommand("readpst -q -j 0 -e -o " + shellQuote((dir / "readpst").string()) + " " +
                                                shellQuote((dir / "out" / "Mailbox.imm.pst").string()));
    ASSERT_EQ(read.status, 0) << read.output;
    std::vector<fs::path> items = filesWithExtension(dir / "readpst", ".eml");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(digestsOf(items, dir.path()), sampleDigests());
}

TEST_F(ImmAttachments, BackslashPathsAreFoundAndUnreadableFilesAreReportedNotLeftEmpty) {
    fs::create_directories(dir / "imm" / "Attachments" / "sub");
    testing_support::writeFile(dir / "imm" / "Attachments" / "sub" / "deep.txt", "deep contents\n");
    testing_support::writeFile(dir / "secret.txt", "private");
    testing_support::writeFile(dir / "imm" / "Mailbox.imm",
                               "Date: Fri, 6 Mar 2026 09:00:00 +0100\r\nMIME-Version: 1.0\r\nFrom: a@example.com\r\n"
                               "To: b@example.com\r\nSubject: Paths\r\nContent-Type: text/plain\r\n\r\nSee files.\r\n"
                               "----------[%ImFilePath%]----------sub\\deep.txt\r\n"
                               "----------[%ImFilePath%]----------missing.bin\r\n"
                               "----------[%ImFilePath%]----------..\\..\\secret.txt\r\n");
    for (const char* format : {"eml", "pst", "html"}) {
        EXPECT_EQ(convert(format), 1) << format;
        const std::string log = out.str();
        for (const char* name : {"missing.bin", "../../secret.txt"})
            EXPECT_NE(log.find(std::string(": the attachment file could not be read: ") + name + "\n"), std::string::npos)
                << format << '\n' << log;
        EXPECT_NE(log.find("1 email items could not be saved."), std::string::npos) << format << '\n' << log;
    }
    // The HTML export saved the one readable file under its own name, and no empty stand-in.
    std::vector<fs::path> saved;
    for (const fs::path& file : testing_support::filesUnder(dir / "out"))
        if (file.extension() != ".html") saved.push_back(file.filename());
    EXPECT_EQ(saved, std::vector<fs::path>{"deep.txt"});

    ASSERT_EQ(convert("eml"), 1);
    std::string deepDigest = testing_support::lines(
        runCommand("sha256sum " + shellQuote((dir / "imm" / "Attachments" / "sub" / "deep.txt").string())).output)[0];
    deepDigest = deepDigest.substr(0, deepDigest.find(' ')) + " deep.txt";
    EXPECT_EQ(digestsOf(filesWithExtension(dir / "out", ".eml"), dir.path()), std::vector<std::string>{deepDigest});
    EXPECT_EQ(out.str().find("private"), std::string::npos);
}
