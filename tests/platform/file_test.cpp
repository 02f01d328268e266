#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cfile.h"
#include "platform/file_output.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "support/test_support.h"

using namespace platform;
using testing_support::TempDir;

TEST(CFile, ReadsAtPositionsAndStopsAtTheEnd) {
    TempDir dir;
    testing_support::writeFile(dir / "f", "0123456789");
    CFile file;
    ASSERT_TRUE(file.open(fromNativePath((dir / "f").string())));
    EXPECT_EQ(file.size(), 10u);
    char buffer[8] = {};
    EXPECT_EQ(file.readAt(7, buffer, 8), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(file.readAt(10, buffer, 8), 0u);
    ASSERT_TRUE(file.seek(2));
    EXPECT_EQ(file.read(buffer, 3), 3u);
    EXPECT_EQ(file.read(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "56");
}

TEST(CFile, RefusesMissingFilesAndFolders) {
    TempDir dir;
    CFile file;
    EXPECT_FALSE(file.open(fromNativePath((dir / "missing").string())));
    EXPECT_FALSE(file.open(fromNativePath(dir.path().string())));
    // A FIFO is refused at once instead of blocking until somebody writes to it.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.open(fromNativePath((dir / "fifo").string())));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.size(), 0u);
}

TEST(CFile, AddressesOffsetsBeyondFourGigabytes) {
    TempDir dir;
    const std::uint64_t far = (5ull << 30) + 3;
    int fd = ::open((dir / "sparse").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "end", 3, static_cast<off_t>(far)), 3);
    ::close(fd);
    CFile file;
    ASSERT_TRUE(file.open(fromNativePath((dir / "sparse").string())));
    EXPECT_EQ(file.size(), far + 3);
    char buffer[3];
    ASSERT_EQ(file.readAt(far, buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "end");
}

TEST(MappedFile, MapsOrReadsTheWholeFile) {
    TempDir dir;
    testing_support::writeFile(dir / "f", "hello");
    testing_support::writeFile(dir / "empty", "");
    CFile file, empty;
    ASSERT_TRUE(file.open(fromNativePath((dir / "f").string())));
    ASSERT_TRUE(empty.open(fromNativePath((dir / "empty").string())));
    MappedFile view;
    ASSERT_TRUE(view.map(file));
    EXPECT_TRUE(view.isMapping());
    EXPECT_EQ(view.bytes(), "hello");
    ASSERT_TRUE(view.readWhole(file));
    EXPECT_FALSE(view.isMapping());
    EXPECT_EQ(view.bytes(), "hello");
    ASSERT_TRUE(view.map(empty));
    EXPECT_EQ(view.size(), 0u);
    EXPECT_FALSE(view.map(CFile()));
}

TEST(FileOutput, RewritingInPlaceLeavesExactlyTheNewBytes) {
    TempDir dir;
    const std::u16string path = fromNativePath((dir / "message.eml").string());
    for (std::string bytes : {"a longer first message\r\n", "short\r\n", "a message longer than both before\r\n"}) {
        ASSERT_TRUE(platform::rewriteFileInPlace(path, bytes));
        EXPECT_EQ(testing_support::readFile(dir / "message.eml"), bytes);
    }
    EXPECT_FALSE(platform::rewriteFileInPlace(fromNativePath((dir / "missing" / "x").string()), "x"));
}

TEST(FileOutput, AnOutputFolderWritesByNameAndNeverThroughALink) {
    TempDir dir;
    const std::filesystem::path root = dir / "dest";
    const std::filesystem::path elsewhere = dir / "elsewhere";
    std::filesystem::create_directories(root / "box");
    std::filesystem::create_directories(elsewhere);
    platform::addOutputRoot(fromNativePath(root.string()));
    std::filesystem::create_directory_symlink(elsewhere, root / "linked");
    std::filesystem::create_symlink(elsewhere / "planted.eml", root / "box" / "2.eml");

    // The root itself and a folder below it open; a link below the root does not.
    for (const std::filesystem::path& folder : {root, root / "box"}) {
        platform::OutputFolder out(fromNativePath(folder.string() + "/"));
        ASSERT_TRUE(out) << folder;
        ASSERT_TRUE(out.writeWholeFile("1.eml", "first")) << folder;
        ASSERT_TRUE(out.writeWholeFile("1.eml", "again")) << folder;
        EXPECT_EQ(testing_support::readFile(folder / "1.eml"), "again");
    }
    EXPECT_FALSE(platform::OutputFolder(fromNativePath((root / "linked").string())));
    EXPECT_FALSE(platform::OutputFolder(fromNativePath((root / "missing").string())));

    platform::OutputFolder box(fromNativePath((root / "box").string()));
    EXPECT_FALSE(box.writeWholeFile("2.eml", "x"));  // a dangling link planted where the file goes
    for (const char* bad : {"", ".", "..", "../escape.eml", "sub/x.eml"}) EXPECT_FALSE(box.writeWholeFile(bad, "x")) << bad;
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_FALSE(std::filesystem::exists(dir / "escape.eml"));
}

TEST(FileOutput, AHeldFolderServesClaimsWritesAndRemovalsAsTheWalkFromTheRootDoes) {
    TempDir dir;
    const std::filesystem::path root = dir / "dest";
    const std::filesystem::path elsewhere = dir / "elsewhere";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(elsewhere);
    platform::addOutputRoot(fromNativePath(root.string()));
    auto path = [&](const std::string& name) { return fromNativePath((root / "box" / name).string()); };
    {
        // Held before the folder exists: opened once it is made.
        const platform::HeldOutputFolder held(fromNativePath((root / "box").string() + "/"));
        ASSERT_TRUE(platform::makeOutputFolders(fromNativePath((root / "box").string())));
        EXPECT_EQ(platform::claimOutputFile(path("a.txt")), platform::Claim::Claimed);
        EXPECT_EQ(platform::claimOutputFile(path("a.txt")), platform::Claim::Taken);
        ASSERT_TRUE(platform::writeWholeFile(path("a.txt"), "held"));
        EXPECT_EQ(testing_support::readFile(root / "box" / "a.txt"), "held");
        std::filesystem::create_symlink(elsewhere / "planted.txt", root / "box" / "b.txt");
        EXPECT_FALSE(platform::writeWholeFile(path("b.txt"), "x"));
        EXPECT_TRUE(platform::removeOutputFile(path("a.txt")));
        EXPECT_FALSE(platform::writeWholeFile(path(".."), "x"));
    }
    // Afterwards the same paths are walked again.
    EXPECT_TRUE(platform::writeWholeFile(path("c.txt"), "walked"));
    EXPECT_FALSE(platform::writeWholeFile(path("b.txt"), "x"));
    EXPECT_FALSE(std::filesystem::exists(root / "box" / "a.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}
