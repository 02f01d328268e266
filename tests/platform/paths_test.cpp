#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/cfile.h"
#include "platform/codepage.h"
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

TEST(Paths, NativeNamesKeepEveryByteAndShowUndecodableOnesVisibly) {
    struct Case {
        std::string native;
        std::u16string shown;
    } cases[] = {
        {"/m/inbox.mbox", u"/m/inbox.mbox"},
        {"/m/\xc3\xa4-\xf0\x9f\x93\xa7.mbox", u"/m/\u00e4-\U0001F4E7.mbox"},
        {"/m/bad\xff.mbox", u"/m/bad\\xFF.mbox"},
        {"/m/latin1-\xe4.mbox", u"/m/latin1-\\xE4.mbox"},
        {"/m/cut-\xe2\x82", u"/m/cut-\\xE2\\x82"},                      // a sequence cut short
        {"/m/surrogate-\xed\xa0\x80", u"/m/surrogate-\\xED\\xA0\\x80"},  // an encoded surrogate
        {"/m/overlong-\xc0\xaf", u"/m/overlong-\\xC0\\xAF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.native);
        const std::u16string path = platform::fromNativePath(c.native);
        EXPECT_EQ(platform::nativePath(path), c.native);
        EXPECT_EQ(platform::visibleText(path), c.shown);
    }
    // Every single byte and every pair of bytes comes back as it was.
    for (int a = 1; a < 256; ++a)
        for (int b = 0; b < 256; b += 17) {
            std::string native{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(platform::nativePath(platform::fromNativePath(native)), native) << a << ' ' << b;
        }
}

TEST(Paths, AFileWithAnUndecodableNameOpensByItsUtf16Path) {
    testing_support::TempDir dir;
    const std::string native = (dir / "bad\xff.mbox").string();
    testing_support::writeFile(native, "From a\n");
    EXPECT_TRUE(platform::fileExists(platform::fromNativePath(native)));
    platform::CFile file;
    EXPECT_TRUE(file.open(platform::fromNativePath(native)));
    EXPECT_EQ(file.size(), 7u);
}

TEST(Paths, ANameALossyToolkitGaveBackIsFoundOnDisk) {
    testing_support::TempDir dir;
    const std::string folder = dir.path().string();
    testing_support::writeFile(folder + "/bad\xff\xfe.mbox", "x");
    testing_support::writeFile(folder + "/twin\xe4.mbox", "x");
    testing_support::writeFile(folder + "/twin\xf6.mbox", "x");
    const std::u16string base = fromNativePath(folder);
    EXPECT_EQ(recoverPath(base + u"/bad\uFFFD.mbox"), fromNativePath(folder + "/bad\xff\xfe.mbox"));
    EXPECT_EQ(recoverPath(base + u"/bad\uFFFD\uFFFD.mbox"), fromNativePath(folder + "/bad\xff\xfe.mbox"));
    EXPECT_EQ(recoverPath(base + u"/twin\uFFFD.mbox"), base + u"/twin\uFFFD.mbox");  // two candidates
    EXPECT_EQ(recoverPath(base + u"/inbox.mbox"), base + u"/inbox.mbox");
}
