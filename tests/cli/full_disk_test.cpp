// Conversions onto a disk that fills up or fails: every message is either in the output or named in a
// "Failed to save: " line, the run ends with status 1, and a PST opens at its last good commit holding
// exactly the messages not reported failed. In process with a failing file layer, and with the
// program itself on a small tmpfs where mounting one is permitted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "cli/convert_command.h"
#include "cli_fixture.h"
#include "oracle_tools.h"
#include "platform/paths.h"
#include "store/pst/faulty_io.h"
#include "store/pst/messaging/message_store.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CliTest;
using testing_support::FaultyIo;

// A mailbox of count messages "<tag> <n>", each with an attachment "<tag><n>.bin" of a little more
// than attachmentBytes.
std::string mailboxWithAttachments(const std::string& tag, int count, std::size_t attachmentBytes) {
    static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::uint32_t x = 12345;
    std::string out;
    for (int n = 1; n <= count; ++n) {
        out += "From a@example.com Tue Dec  1 10:00:00 2026\n"
               "From: a@example.com\nTo: b@example.com\nSubject: " + tag + " " + std::to_string(n) + "\n"
               "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
               "--b\nContent-Type: text/plain\n\nBody of " + tag + " " + std::to_string(n) + "\n"
               "--b\nContent-Type: application/octet-stream; name=\"" + tag + std::to_string(n) + ".bin\"\n"
               "Content-Transfer-Encoding: base64\n\n";
        for (std::size_t line = 0; line < attachmentBytes / 57 + 1; ++line) {
            for (int i = 0; i < 76; ++i) {
                x = x * 1103515245u + 12345u;
                out += kBase64[(x >> 16) % 64];
            }
            out += '\n';
        }
        out += "--b--\n\n";
    }
    return out;
}

// The item names of the "Failed to save: " lines of a log.
std::multiset<std::string> failedItems(const std::string& log) {
    std::multiset<std::string> out;
    const std::string prefix = "Failed to save: ";
    for (const std::string& line : testing_support::lines(log))
        if (auto at = line.find(prefix); at != std::string::npos) out.insert(line.substr(at + prefix.size()));
    return out;
}

std::multiset<std::string> items(const std::string& mailbox, int from, int to, int count) {
    std::multiset<std::string> out;
    for (int n = from; n <= to; ++n) out.insert(mailbox + "[" + std::to_string(n) + "/" + std::to_string(count) + "]");
    return out;
}

// The messages of the mailbox's folder in a PST, as the writer's own reader finds them; -1 when the
// file does not open.
int messagesIn(const fs::path& pst, const std::u16string& folderName) {
    auto store = store::pst::MessageStore::open(platform::fromNativePath(pst.string())).value();
    if (!store) return -1;
    auto folder = store->findFolder(store->topOfPersonalFolders(), folderName);
    return folder ? static_cast<int>(store->messageCount(*folder)) : 0;
}

class FullDisk : public CliTest {
protected:
    static constexpr int kCount = 5;
    int convert(std::string& log) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        std::ostringstream o, e;
        const int status = cli::runConvert({{first, second}, "pst", (dir / "out").string(), false, false}, options, o, e);
        log = o.str() + e.str();
        return status;
    }
    // Runs a conversion that fails nowhere and returns how many bytes and flushes to disk it took.
    std::pair<std::size_t, int> cleanRun() {
        FaultyIo counter(FaultyIo::kNoLimit);
        std::string log;
        EXPECT_EQ(convert(log), 0) << log;
        return {counter.bytesWritten(), counter.syncs()};
    }

    std::string first = mailbox("mail/A.mbox", mailboxWithAttachments("A", kCount, 30000));
    std::string second = mailbox("mail/B.mbox", mailboxWithAttachments("B", kCount, 30000));
};

TEST_F(FullDisk, ADiskFullDuringTheSecondPstFailsEveryMessageItCannotHold) {
    const auto [bytes, syncs] = cleanRun();
    std::string log;
    {
        FaultyIo disk(bytes * 3 / 4);  // room for the first PST and part of the second
        EXPECT_EQ(convert(log), 1) << log;
        EXPECT_TRUE(disk.fired());
    }
    EXPECT_EQ(failedItems(log), items("B.mbox", 1, kCount, kCount)) << log;
    EXPECT_NE(log.find("No space left on device"), std::string::npos) << log;
    EXPECT_NE(log.find("5 email items could not be saved."), std::string::npos) << log;
    EXPECT_EQ(messagesIn(dir / "out" / "A.mbox.pst", u"A.mbox"), kCount);
    EXPECT_EQ(messagesIn(dir / "out" / "B.mbox.pst", u"B.mbox"), 0);  // the file as first committed
}

TEST_F(FullDisk, MessagesSavedButLostWhenTheFinalCommitFailsAreReportedFailed) {
    const auto [bytes, syncs] = cleanRun();
    std::string log;
    {
        // The second PST's last commit makes three flushes to disk; the first of them fails.
        FaultyIo disk(FaultyIo::Call::Sync, syncs - 2, EIO);
        disk.arm();
        EXPECT_EQ(convert(log), 1) << log;
        EXPECT_TRUE(disk.fired());
    }
    // Each was logged as saved when it was written, and as failed when the file could not hold it.
    for (const std::string& item : items("B.mbox", 1, kCount, kCount))
        EXPECT_NE(log.find("Saving: " + item), std::string::npos) << item;
    EXPECT_EQ(failedItems(log), items("B.mbox", 1, kCount, kCount)) << log;
    EXPECT_NE(log.find("Input/output error"), std::string::npos) << log;
    EXPECT_EQ(messagesIn(dir / "out" / "A.mbox.pst", u"A.mbox"), kCount);
    EXPECT_EQ(messagesIn(dir / "out" / "B.mbox.pst", u"B.mbox"), 0);
}

#ifdef MBOX2PST_PATH
using store_test::runCommand;
using store_test::shellQuote;

// The program on a real full disk: a tmpfs mounted in a mount namespace of its own, so that it
// disappears with the command. Skips when this process may not mount one.
class FullTmpfs : public CliTest {
protected:
    void SetUp() override {
        if (!store_test::hasProgram("unshare")) GTEST_SKIP() << "unshare not installed";
        const std::string probe = unshare() + " sh -c " + shellQuote("mount -t tmpfs -o size=64k tmpfs " + shellQuote(mnt.string()));
        fs::create_directories(mnt);
        if (runCommand(probe).status != 0) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    }
    static std::string unshare() { return ::geteuid() == 0 ? "unshare -m" : "unshare -r -m"; }

    // Converts the mailboxes into the tmpfs of that size, then copies what it wrote to out/.
    store_test::CommandResult convertOnTmpfs(const std::string& format, const std::string& size,
                                             const std::vector<std::string>& mailboxes) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        std::string program = std::string(MBOX2PST_PATH) + " --verbose --log-dir " + shellQuote((dir / "logs").string()) +
                              " convert";
        for (const std::string& m : mailboxes) program += " " + shellQuote(m);
        program += " --to " + format + " --dest " + shellQuote(mnt.string());
        const std::string script = "mount -t tmpfs -o size=" + size + " tmpfs " + shellQuote(mnt.string()) +
                                   " || exit 99; " + program + " 2>&1; status=$?; cp -r " +
                                   shellQuote(mnt.string()) + "/. " + shellQuote((dir / "out").string()) +
                                   "; exit $status";
        return runCommand(unshare() + " sh -c " + shellQuote(script));
    }

    fs::path mnt = dir / "mnt";
};

// The messages readpst finds in a PST, by subject.
std::multiset<std::string> readpstSubjects(const fs::path& pst, const fs::path& into) {
    fs::create_directories(into);
    const auto run = runCommand("readpst -j 0 -e -D -b -8 -q -o " + shellQuote(into.string()) + " " + shellQuote(pst.string()));
    std::multiset<std::string> subjects;
    for (const auto& file : testing_support::filesUnder(into))
        for (const std::string& line : testing_support::lines(testing_support::readFile(file)))
            if (line.rfind("Subject: ", 0) == 0) {
                subjects.insert(line.substr(9, line.find_last_not_of("\r") - 8));
                break;
            }
    if (run.status != 0) subjects.insert("readpst failed: " + run.output);
    return subjects;
}

TEST_F(FullTmpfs, PstReadersFindExactlyTheMessagesNotReportedFailed) {
    if (!store_test::hasProgram("readpst")) GTEST_SKIP() << "readpst not installed";
    constexpr int kPerMailbox = 25;
    const std::vector<std::string> mailboxes = {mailbox("mail/A.mbox", mailboxWithAttachments("A", kPerMailbox, 75000)),
                                                mailbox("mail/B.mbox", mailboxWithAttachments("B", kPerMailbox, 75000))};
    const auto run = convertOnTmpfs("pst", "3800k", mailboxes);
    ASSERT_NE(run.status, 99) << run.output;
    EXPECT_EQ(run.status, 1) << run.output;
    const std::multiset<std::string> failed = failedItems(run.output);
    EXPECT_FALSE(failed.empty()) << run.output;
    EXPECT_NE(run.output.find("No space left on device"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(std::to_string(failed.size()) + " email items could not be saved."), std::string::npos)
        << run.output;
    for (const std::string tag : {"A", "B"}) {
        const fs::path pst = dir / "out" / (tag + ".mbox.pst");
        ASSERT_TRUE(fs::exists(pst)) << tag;
        std::multiset<std::string> expected;
        for (int n = 1; n <= kPerMailbox; ++n)
            if (!failed.count(tag + ".mbox[" + std::to_string(n) + "/" + std::to_string(kPerMailbox) + "]"))
                expected.insert(tag + " " + std::to_string(n));
        EXPECT_EQ(readpstSubjects(pst, dir / ("readpst-" + tag)), expected) << tag << '\n' << run.output;
        if (store_test::hasProgram("pffinfo")) {
            const auto info = runCommand("pffinfo " + shellQuote(pst.string()));
            EXPECT_EQ(info.status, 0) << tag << '\n' << info.output;
        }
    }
}

TEST_F(FullTmpfs, FileWritersReportEveryMessageTheyCouldNotWriteWhole) {
    constexpr std::size_t kMessages = 20;
    const std::vector<std::string> mailboxes = {mailbox("mail/A.mbox", mailboxWithAttachments("A", kMessages, 75000))};
    for (const std::string format : {"eml", "msg", "rtf", "html"}) {
        const auto run = convertOnTmpfs(format, "1m", mailboxes);
        ASSERT_NE(run.status, 99) << run.output;
        EXPECT_EQ(run.status, 1) << format << '\n' << run.output;
        const std::size_t failed = failedItems(run.output).size();
        std::size_t saved = 0;
        for (const std::string& line : testing_support::lines(run.output)) saved += line.rfind("Saving: ", 0) == 0;
        EXPECT_GT(failed, 0u) << format << '\n' << run.output;
        EXPECT_EQ(saved + failed, kMessages) << format << '\n' << run.output;
        // Each message saved left its file (for RTF and HTML: its attachment's file) whole, as large as
        // the attachment at least.
        const std::string whole = format == "eml" || format == "msg" ? "." + format : ".bin";
        std::size_t files = 0;
        for (const auto& file : testing_support::filesUnder(dir / "out")) {
            if (file.extension() != whole) continue;
            EXPECT_GT(fs::file_size(file), 75000u) << file;
            ++files;
        }
        EXPECT_EQ(files, saved) << format << '\n' << run.output;
    }
}
#endif

}  // namespace
