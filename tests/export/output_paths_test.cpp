#include "export/output_paths.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/test_support.h"

using namespace exporter;

TEST(OutputPaths, NumberedNamesSkipTakenNames) {
    testing_support::TempDir dir;
    std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    EXPECT_EQ(numberedName(destination, u"Inbox.mbox.pst"), destination + u"Inbox.mbox.pst");
    testing_support::writeFile(dir / "Inbox.mbox.pst", "");
    EXPECT_EQ(numberedName(destination, u"Inbox.mbox.pst"), destination + u"0Inbox.mbox.pst");
    std::filesystem::create_directory(dir / "0Inbox.mbox.pst");  // a folder counts too
    EXPECT_EQ(numberedName(destination, u"Inbox.mbox.pst"), destination + u"1Inbox.mbox.pst");
}

TEST(OutputPaths, OutputFoldersFlatNumberedOrMirroringTheMailboxLocation) {
    testing_support::TempDir dir;
    std::u16string destination = platform::fromNativePath(dir.path().string()) + u"/";
    EXPECT_EQ(createOutputFolder(destination, u"/mail/Inbox.mbox", false), destination + u"Inbox.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"/mail/Inbox.mbox", false), destination + u"0Inbox.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"/home/ann/Inbox.mbox", true), destination + u"home/ann/Inbox.mbox/");
    EXPECT_EQ(createOutputFolder(destination, u"/home/ann/Inbox.mbox", true), destination + u"home/ann/Inbox.mbox/");
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
