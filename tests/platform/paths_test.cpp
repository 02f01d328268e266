#include "platform/paths.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace platform;

TEST(Paths, SplitsAtTheLastSeparator) {
    struct Case {
        std::u16string path, name, folder, relative;
    } cases[] = {
        {u"/home/ann/mail/Inbox.mbox", u"Inbox.mbox", u"/home/ann/mail", u"home/ann/mail/Inbox.mbox"},
        {u"Inbox.mbox", u"", u"", u"Inbox.mbox"},
        {u"mail/Inbox", u"Inbox", u"mail", u"mail/Inbox"},
        {u"/x", u"x", u"", u"x"},
        {u"/home/ann/", u"", u"/home/ann", u"home/ann/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileNameOf(c.path), c.name);
        EXPECT_EQ(folderOf(c.path), c.folder);
        EXPECT_EQ(relativeToRoot(c.path), c.relative);
    }
    EXPECT_TRUE(isAbsolute(u"/a"));
    EXPECT_FALSE(isAbsolute(u"a/b"));
}

TEST(Paths, JoinsWithOneSeparator) {
    EXPECT_EQ(joinPath(u"/tmp", u"x"), u"/tmp/x");
    EXPECT_EQ(joinPath(u"/tmp/", u"/x"), u"/tmp/x");
    EXPECT_EQ(joinPath(u"", u"x"), u"x");
    EXPECT_EQ(withTrailingSeparator(u"/tmp"), u"/tmp/");
    EXPECT_EQ(withTrailingSeparator(u"/tmp/"), u"/tmp/");
}

TEST(Paths, ExistenceAndCreation) {
    testing_support::TempDir dir;
    std::u16string base = fromNativePath(dir.path().string());
    std::u16string nested = joinPath(base, u"a/b/\u00E9t\u00E9");
    EXPECT_FALSE(folderExists(nested));
    EXPECT_TRUE(createFolders(nested));
    EXPECT_TRUE(folderExists(nested));
    EXPECT_FALSE(fileExists(nested));
    testing_support::writeFile(dir / "f.txt", "x");
    EXPECT_TRUE(fileExists(joinPath(base, u"f.txt")));
}
