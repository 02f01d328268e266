#include "export/output_paths.h"

#include <fcntl.h>
#include <set>
#include <thread>
#include <vector>
#include <gtest/gtest.h>

#include "platform/file_output.h"

#include "platform/paths.h"
#include "support/test_support.h"

using namespace exporter;

TEST(OutputPaths, NumberedNamesAreClaimedAndSkipEverythingThatExists) {
    testing_support::TempDir dir;
    std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    EXPECT_EQ(claimNumberedFile(destination, u"Inbox.mbox.pst"), destination + u"Inbox.mbox.pst");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "Inbox.mbox.pst"));  // claimed: the next call skips it
    EXPECT_EQ(claimNumberedFile(destination, u"Inbox.mbox.pst"), destination + u"0Inbox.mbox.pst");
    std::filesystem::create_directory(dir / "1Inbox.mbox.pst");                  // a folder counts too
    std::filesystem::create_symlink(dir / "nowhere", dir / "2Inbox.mbox.pst");  // and a dangling link
    EXPECT_EQ(claimNumberedFile(destination, u"Inbox.mbox.pst"), destination + u"3Inbox.mbox.pst");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
    EXPECT_EQ(claimNumberedFolder(destination, u"Inbox.mbox.pst"), destination + u"4Inbox.mbox.pst");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "4Inbox.mbox.pst"));
}

TEST(OutputPaths, ClaimsRacingForOneNameAllGetNamesOfTheirOwn) {
    testing_support::TempDir dir;
    const std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    constexpr int kThreads = 8, kClaims = 25;
    std::vector<std::vector<std::u16string>> claimed(kThreads);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kClaims; ++i)
                    claimed[t].push_back(t % 2 ? claimNumberedFile(destination, u"Inbox.mbox.pst")
                                               : claimNumberedFolder(destination, u"Inbox.mbox.pst"));
            });
    }
    std::set<std::u16string> distinct;
    for (const auto& names : claimed) distinct.insert(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kClaims));
}

TEST(OutputPaths, OutputFoldersFlatNumberedOrMirroringTheMailboxLocation) {
    testing_support::TempDir dir;
    std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    EXPECT_EQ(createOutputFolder(destination, u"/mail/Inbox.mbox", false), destination + u"Inbox.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"/mail/Inbox.mbox", false), destination + u"0Inbox.mbox/");
    // The mirrored chain is shared, the mailbox's own folder is never reused.
    EXPECT_EQ(createOutputFolder(destination, u"/home/ann/Inbox.mbox", true), destination + u"home/ann/Inbox.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"/home/ann/Inbox.mbox", true), destination + u"home/ann/0Inbox.mbox/");
    EXPECT_TRUE(platform::folderExists(destination + u"home/ann/Inbox.mbox"));
    EXPECT_EQ(createOutputFolder(destination, u"/Top.mbox", true), destination + u"Top.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"relative/Inbox.mbox", true), destination);
    EXPECT_EQ(hierarchyParts(u"/home/ann/mail/Inbox.mbox"),
              (std::vector<std::u16string>{u"home", u"ann", u"mail", u"Inbox.mbox"}));
    EXPECT_TRUE(hierarchyParts(u"Inbox.mbox").empty());
    // Dot parts are resolved: the chain never leaves the destination.
    EXPECT_EQ(hierarchyParts(u"/home/./ann/../../../../etc/Inbox.mbox"),
              (std::vector<std::u16string>{u"etc", u"Inbox.mbox"}));
    EXPECT_EQ(createOutputFolder(destination, u"/../../x/../Other.mbox", true), destination + u"Other.mbox/");
}

TEST(OutputPaths, NothingIsCreatedThroughALinkBelowTheDestination) {
    testing_support::TempDir dir, elsewhere;
    std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    std::filesystem::create_directory_symlink(elsewhere.path(), dir / "tmp");
    std::filesystem::create_symlink(elsewhere / "planted.pst", dir / "Inbox.mbox.pst");
    // The chain through the link is refused: no file of the mailbox can be written there.
    const std::u16string folder = createOutputFolder(destination, u"/tmp/Inbox.mbox", true);
    EXPECT_FALSE(platform::writeWholeFile(folder + u"1.eml", "mail"));
    EXPECT_EQ(platform::openOutputFile(destination + u"Inbox.mbox.pst", O_WRONLY | O_CREAT | O_TRUNC), -1);
    EXPECT_FALSE(platform::makeOutputFolders(destination + u"tmp/sub"));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
    // The destination itself may be a link the user chose.
    std::filesystem::create_directory_symlink(dir.path(), elsewhere / "chosen");
    const std::u16string chosen = platform::fromNativePath((elsewhere / "chosen").string()) + u"/";
    const std::u16string real = createOutputFolder(chosen, u"/mail/Inbox.mbox", false);
    EXPECT_TRUE(platform::writeWholeFile(real + u"1.eml", "mail"));
    EXPECT_EQ(testing_support::readFile(dir / "Inbox.mbox" / "1.eml"), "mail");
}

TEST(OutputPaths, RepeatedAttachmentNamesAreNumbered) {
    testing_support::TempDir dir;
    const std::u16string folder = platform::fromNativePath(dir.path().string());
    struct Case {
        std::u16string name, expected;
    } cases[] = {
        {u"image001.png", u"image001.png"},       {u"image001.png", u"image001 (2).png"},
        {u"image001.png", u"image001 (3).png"},   {u"noext", u"noext"},
        {u"noext", u"noext (2)"},                 {u".hidden", u".hidden"},
        {u".hidden", u".hidden (2)"},             {u"a.tar.gz", u"a.tar.gz"},
        {u"a.tar.gz", u"a.tar (2).gz"},           {std::u16string(255, u'x'), std::u16string(255, u'x')},
        {std::u16string(255, u'x'), std::u16string(251, u'x') + u" (2)"},
    };
    for (const Case& c : cases) EXPECT_EQ(claimUniqueFile(folder, c.name), folder + u"/" + c.expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              static_cast<long>(std::size(cases)));
}

TEST(OutputPaths, FilesGetCrLfLineEnds) {
    testing_support::TempDir dir;
    struct Case {
        std::string in, out;
    } cases[] = {{"a\nb\n", "a\r\nb\r\n"}, {"a\rb\r", "a\r\nb\r\n"}, {"a\r\nb\r\n", "a\r\nb\r\n"}, {"none", "none"}};
    for (const auto& c : cases) {
        testing_support::writeFile(dir / "m.eml", c.in);
        EXPECT_TRUE(normalizeFileLineEnds(platform::fromNativePath((dir / "m.eml").string())));
        EXPECT_EQ(testing_support::readFile(dir / "m.eml"), c.out);
    }
    EXPECT_FALSE(normalizeFileLineEnds(u"/nonexistent/m.eml"));
}
