// mboxcl2 Content-Length boundaries, mboxrd unescaping, and which files count as mailboxes.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "scan/mailbox_kinds.h"
#include "scan/mbox_variants.h"
#include "support/test_support.h"

namespace {

std::string clMessage(const std::string& subject, const std::string& body, long length) {
    return "From x@example.com Mon Jan  1 10:00:00 2024\nSubject: " + subject +
           "\nContent-Length: " + std::to_string(length) + "\n\n" + body + "\n";
}

std::size_t countWith(const std::string& bytes, bool honour) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "box", bytes);
    scan::CMboxFile mbox;
    if (!mbox.file.open(platform::fromNativePath((dir / "box").string()))) return 0;
    mbox.scanFromLines();
    if (honour) scan::joinContentLengthMessages(mbox);
    return mbox.messageCount();
}

}  // namespace

TEST(ContentLength, ACorrectLengthKeepsAFromLineInsideTheBody) {
    const std::string body = "one\nFrom here on\nlast\n";
    const std::string crlfBody = "one\r\nFrom here on\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t plain, honoured;
    } cases[] = {
        {"correct length", clMessage("a", body, static_cast<long>(body.size())) + clMessage("b", "x\n", 2), 3,
         2},
        {"correct, last message", clMessage("a", body, static_cast<long>(body.size())), 2, 1},
        {"CR LF", "From x Mon Jan  1 10:00:00 2024\r\nContent-Length: 19\r\n\r\n" + crlfBody + "\r\n", 2, 1},
        {"too short", clMessage("a", body, 5) + clMessage("b", "x\n", 2), 3, 3},
        {"too long", clMessage("a", body, static_cast<long>(body.size()) + 3) + clMessage("b", "x\n", 2), 3,
         3},
        {"beyond the file", clMessage("a", body, 100000), 2, 2},
        {"no number", clMessage("a", body, -1), 2, 2},
        {"no header", "From x\nSubject: a\n\none\nFrom b\n", 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(countWith(c.bytes, false), c.plain) << c.name;
        EXPECT_EQ(countWith(c.bytes, true), c.honoured) << c.name;
    }
}

TEST(MboxrdUnescape, OneLevelOfQuotingBeforeFromIsRemoved) {
    std::string text =
        "From a\nSubject: x\n\n>From one\n>>From two\n> From no\n>From\nFrom x\n>Fromage\n>From end";
    scan::unescapeFromLines(text);
    EXPECT_EQ(text,
              "From a\nSubject: x\n\nFrom one\n>From two\n> From no\n>From\nFrom x\n>Fromage\nFrom end");
}

TEST(MailboxKinds, SniffingBundlesAndSearchChoices) {
    testing_support::TempDir dir;
    auto wide = [&](const std::string& name) { return platform::fromNativePath((dir / name).string()); };
    testing_support::writeFile(dir / "Inbox", "\n  \nFrom a Mon Jan  1 10:00:00 2024\nSubject: x\n\nb\n");
    testing_support::writeFile(dir / "Inbox.msf", "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n");
    testing_support::writeFile(dir / "filterlog.html", "<html>From </html>\n");
    testing_support::writeFile(dir / "empty", "");
    testing_support::writeFile(dir / "x.imm", "MIME-Version: 1.0\n");
    std::filesystem::create_directories(dir / "Archive.mbox");
    std::filesystem::create_directories(dir / "NotABundle.mbox");
    testing_support::writeFile(dir / "Archive.mbox" / "mbox", "From a\n\nb\n");
    testing_support::writeFile(dir / "Archive.mbox" / "Info.plist", "<plist/>\n");
    testing_support::writeFile(dir / "NotABundle.mbox" / "other", "From a\n\nb\n");

    EXPECT_TRUE(scan::looksLikeMailbox(wide("Inbox")));
    EXPECT_FALSE(scan::looksLikeMailbox(wide("Inbox.msf")));
    EXPECT_FALSE(scan::looksLikeMailbox(wide("filterlog.html")));
    EXPECT_FALSE(scan::looksLikeMailbox(wide("empty")));
    EXPECT_TRUE(scan::looksLikeMailbox(wide("x.imm")));

    EXPECT_EQ(scan::appleMailBundleFile(wide("Archive.mbox")), wide("Archive.mbox/mbox"));
    EXPECT_EQ(scan::appleMailBundleFile(wide("Archive.mbox") + u"/"), wide("Archive.mbox/mbox"));
    EXPECT_FALSE(scan::appleMailBundleFile(wide("NotABundle.mbox")));
    EXPECT_EQ(scan::mailboxDisplayName(wide("Archive.mbox/mbox")), u"Archive.mbox");
    EXPECT_EQ(scan::mailboxDisplayName(wide("Inbox")), u"Inbox");

    EXPECT_TRUE(scan::searchTakes(wide("Inbox.msf"), false));  // without the option: every file
    EXPECT_FALSE(scan::searchTakes(wide("Inbox.msf"), true));
    EXPECT_TRUE(scan::searchTakes(wide("Inbox"), true));
    EXPECT_FALSE(scan::searchTakes(wide("Archive.mbox/Info.plist"), false));
    EXPECT_TRUE(scan::searchTakes(wide("Archive.mbox/mbox"), true));
    EXPECT_TRUE(scan::searchTakes(wide("NotABundle.mbox/other"), true));
}
