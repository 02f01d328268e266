#include <gtest/gtest.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"
#include "scan/temp_files.h"
#include "support/test_support.h"

using testing_support::TempDir;

namespace {

// A scanned mailbox over bytes written to a scratch file.
struct ScannedMailbox {
    TempDir dir;
    scan::CMboxFile mbox;
    explicit ScannedMailbox(const std::string& bytes) {
        testing_support::writeFile(dir / "box.mbox", bytes);
        EXPECT_TRUE(mbox.file.open(platform::fromNativePath((dir / "box.mbox").string())));
        mbox.scanFromLines();
    }
};

}  // namespace

TEST(ReadMessage, DropsTheLeadingBreakOnlyWithTheSkipFlag) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string secondWithout, secondWith;
    } cases[] = {
        {"LF", "From a\nx\nFrom b\ny\n", "\nFrom b\ny\n", "From b\ny\n"},
        {"CR LF", "From a\r\nx\r\nFrom b\r\ny\r\n", "\nFrom b\r\ny\r\n", "From b\r\ny\r\n"},
        {"bare CR keeps the F", "From a\rx\rFrom b\ry\r", "\rFrom b\ry\r", "From b\ry\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScannedMailbox box(c.bytes);
        ASSERT_EQ(box.mbox.messageCount(), 2u);
        EXPECT_EQ(*scan::readMessage(box.mbox, 1, false), c.secondWithout);
        EXPECT_EQ(*scan::readMessage(box.mbox, 1, true), c.secondWith);
        EXPECT_EQ(scan::readMessage(box.mbox, 0, true)->substr(0, 6), "From a");
    }
}

TEST(ReadMessage, EmptyForMessagesWithoutPositiveLengthOrOutsideTheList) {
    ScannedMailbox box("\nFrom a\nx\n");  // offsets 0, 0, size: the first message is empty
    EXPECT_EQ(*scan::readMessage(box.mbox, 0, true), "");
    EXPECT_EQ(*scan::readMessage(box.mbox, 1, true), "From a\nx\n");
    EXPECT_EQ(*scan::readMessage(box.mbox, 7, false), "");
    box.mbox.messageOffsets = {0, 5, 3, 9};
    EXPECT_EQ(*scan::readMessage(box.mbox, 1, true), "");
}

TEST(ReadMessage, NothingForAMessageTheFileNoLongerHoldsWhole) {
    // Offsets kept from a larger file (a snapshot of a mailbox that has since shrunk).
    ScannedMailbox box("From a\nx\n");
    box.mbox.messageOffsets = {0, 5, 1ull << 50};
    EXPECT_EQ(scan::readMessage(box.mbox, 0, false), "From ");
    EXPECT_FALSE(scan::readMessage(box.mbox, 1, false));
    box.mbox.messageOffsets = {0, 1ull << 40, 1ull << 50};
    EXPECT_FALSE(scan::readMessage(box.mbox, 0, true));
    EXPECT_FALSE(scan::readMessage(box.mbox, 1, true));
    box.mbox.messageOffsets = {0, 1ull << 40, 1ull << 40};  // an empty message that starts beyond the end
    EXPECT_FALSE(scan::readMessage(box.mbox, 1, false));
}

TEST(ReadMessage, AMailboxCutAfterTheScanGivesItsWholeMessagesAndNothingForTheRest) {
    const std::string first = "From a\nx\n", second = "From b\nyy\n", third = "From c\nzzz\n";
    ScannedMailbox box(first + second + third);
    ASSERT_EQ(box.mbox.messageCount(), 3u);
    std::filesystem::resize_file(box.dir / "box.mbox", first.size() + second.size() / 2);
    EXPECT_EQ(*scan::readMessage(box.mbox, 0, true), first.substr(0, first.size() - 1));
    EXPECT_FALSE(scan::readMessage(box.mbox, 1, true));  // cut inside
    EXPECT_FALSE(scan::readMessage(box.mbox, 2, true));  // gone
    std::filesystem::resize_file(box.dir / "box.mbox", 0);
    EXPECT_FALSE(scan::readMessage(box.mbox, 0, false));
}

TEST(ReadMessage, AMailboxThatGrewAfterAReadGivesTheNewMessagesToo) {
    const std::string first = "From a\nx\n", second = "From b\nyy\n";
    ScannedMailbox box(first);
    EXPECT_EQ(*scan::readMessage(box.mbox, 0, true), first);  // the size read is now the first message's
    {
        std::ofstream out(box.dir / "box.mbox", std::ios::binary | std::ios::app);
        out << second;
    }
    box.mbox.messageOffsets = {0, first.size(), first.size() + second.size()};
    EXPECT_EQ(*scan::readMessage(box.mbox, 1, true), second);
}

TEST(NormalizeLineEnds, AddsCrBeforeBareLfElseLfAfterCr) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"\nx", "\r\nx"},
        {"\n\n", "\r\n\r\n"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"\r\r", "\r\n\r\n"},
        {"no breaks", "no breaks"},
        {"mixed\r\nand\n", "mixed\r\nand\r\n"},
        {std::string("nul\0\nx", 6), std::string("nul\0\r\nx", 7)},
    };
    for (auto c : cases) {
        scan::normalizeLineEnds(c.in);
        EXPECT_EQ(c.in, c.out);
    }
    EXPECT_TRUE(scan::hasCrLf("a\r\nb"));
    EXPECT_FALSE(scan::hasCrLf("a\n\rb"));
}

TEST(TempFiles, PrivateFolderUnderTheBaseAndBlankPage) {
    TempDir dir;
    std::u16string base = platform::fromNativePath(dir.path().string());
    scan::g_tempBase = base;
    const std::u16string folder = scan::tempFolderPath();
    scan::g_tempBase = base + u"/";
    EXPECT_EQ(scan::tempFolderPath(), folder);  // the same base, the same folder
    // <base>/kelva-XXXXXX/KelvaMbox2PSTCon/, the parent made for this process with mode 0700.
    EXPECT_EQ(folder.rfind(base + u"/kelva-", 0), 0u);
    EXPECT_EQ(folder.substr(folder.size() - 18), u"/KelvaMbox2PSTCon/");
    const std::filesystem::path parent = std::filesystem::path(platform::nativePath(folder)).parent_path().parent_path();
    struct stat st {};
    ASSERT_EQ(::lstat(parent.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());

    std::u16string first = scan::tempFileName(u".eml"), second = scan::tempFileName(u".eml");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(folder + u"Tmp", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 4), u".eml");
    EXPECT_FALSE(platform::fileExists(first));

    std::u16string page = scan::writeBlankPreviewPage();
    std::string bytes = testing_support::readFile(platform::nativePath(page));
    std::string expected = "\xFF\xFE";
    for (char c : std::string("<html><head><title></title></head><body></body></html>")) expected += {c, '\0'};
    EXPECT_EQ(bytes, expected);
    ASSERT_EQ(::lstat(platform::nativePath(page).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(scan::writeTempFile(page, "again"));  // never over an existing file

    // Emptying removes files and sub-folders (links are removed, never followed) and keeps the folder.
    TempDir outside;
    testing_support::writeFile(outside / "keep.txt", "keep");
    std::filesystem::path temp = platform::nativePath(folder);
    std::filesystem::create_directories(temp / "sub" / "deeper");
    testing_support::writeFile(temp / "sub" / "deeper" / "f", "x");
    std::filesystem::create_directory_symlink(outside.path(), temp / "link");
    std::filesystem::create_directory_symlink(outside.path(), temp / "sub" / "link");
    scan::emptyFolder(folder);
    EXPECT_TRUE(std::filesystem::is_directory(temp));
    EXPECT_TRUE(std::filesystem::is_empty(temp));
    EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));

    // A new base gets a new private folder; the old one is removed with its files, and so is the new one at the end.
    TempDir other;
    scan::g_tempBase = platform::fromNativePath(other.path().string());
    EXPECT_EQ(scan::tempFolderPath().rfind(scan::g_tempBase + u"/kelva-", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(parent));
    scan::removeTempFolder();
    EXPECT_TRUE(std::filesystem::is_empty(other.path()));
    scan::g_tempBase.clear();
}

TEST(TempFiles, AnUnusableBaseGivesAFolderWhereNothingCanBeCreated) {
    scan::g_tempBase = u"/nonexistent-base";
    EXPECT_FALSE(scan::tempFolderUsable());
    EXPECT_FALSE(scan::writeTempFile(scan::tempFolderPath() + u"1.eml", "x"));
    scan::g_tempBase.clear();
}

TEST(ImMessage, AttachmentNamesFollowTheMarkers) {
    scan::CMboxFile mbox;
    EXPECT_TRUE(scan::collectImAttachmentNames("x\r\n--[%ImFilePath%]--report.pdf\r\n[%ImFilePath%]caf\xE9.txt", mbox));
    EXPECT_EQ(mbox.imAttachmentNames, (std::vector<std::u16string>{u"--report.pdf", u"caf\u00E9.txt"}));
    scan::CMboxFile shortOne;
    EXPECT_FALSE(scan::collectImAttachmentNames("[%ImFilePath%]", shortOne));  // 14 bytes: too short
    EXPECT_FALSE(scan::collectImAttachmentNames("no markers in this text", shortOne));
    EXPECT_TRUE(shortOne.imAttachmentNames.empty());
}

TEST(ImMessage, HeaderLinesGiveTheFirstNonEmptyValue) {
    std::string text = "From:\nX: 1\r\nSubject: Budget\r\nFrom: Ann <a@x>\r\nTo:b@x\nbody\nFrom: late\r\n";
    EXPECT_EQ(scan::findImHeaderLine(text, "From:"), u" Ann <a@x>\r");
    EXPECT_EQ(scan::findImHeaderLine(text, "Subject:"), u" Budget\r");
    EXPECT_EQ(scan::findImHeaderLine(text, "To:"), u"b@x");
    EXPECT_EQ(scan::findImHeaderLine(text, "Cc:"), u"");
    EXPECT_EQ(scan::findImHeaderLine("To:", "To:"), u"");
    EXPECT_EQ(scan::findImHeaderLine("Subject: \xE9t\xE9", "Subject:"), u" \u00E9t\u00E9");
}
