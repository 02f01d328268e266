#include <fcntl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <unistd.h>

#include "scan/reference_scanner.h"
#include "scan/scan_fixture.h"

using scan::ScanPath;
using scan_fixture::scanBytes;
using Offsets = std::vector<std::uint64_t>;

namespace {

// The fallback reads every position through the handle, so large inputs check only the windowed path,
// which is the one that has window edges.
void expectBothPaths(const std::string& bytes, const Offsets& expected) {
    for (ScanPath path : {ScanPath::Windowed, ScanPath::Fallback}) {
        if (path == ScanPath::Fallback && bytes.size() > (256u << 10)) continue;
        auto result = scanBytes(bytes, false, path);
        EXPECT_EQ(result.offsets, expected) << "path " << static_cast<int>(path);
        EXPECT_TRUE(result.rangeFirst);
        EXPECT_EQ(result.positions, reference::progressPositions(bytes.size()));
    }
}

}  // namespace

TEST(FromLineScanner, FindsTheBoundariesOfTheDefinition) {
    struct Case {
        const char* name;
        std::string bytes;
        Offsets expected;
    } cases[] = {
        {"empty file", "", {0}},
        {"no boundary", "Subject: x\n\nbody\n", {0, 17}},
        {"LF", "From a\nx\nFrom b\ny\n", {0, 8, 18}},
        {"CR LF: offset at the LF", "From a\r\nx\r\nFrom b\r\n", {0, 10, 19}},
        {"bare CR", "From a\rx\rFrom b\r", {0, 8, 16}},
        {"leading LF gives an empty first message", "\nFrom a\nx\n", {0, 0, 10}},
        {"quoted, colon and no space never match", "From a\n>From b\nFrom:c\nFromd\n", {0, 28}},
        {"body line starting with From splits", "From a\n\nFrom here on\n", {0, 7, 21}},
        {"pattern cut by the end of the file", "x\nFrom", {0, 6}},
        {"pattern ending exactly at the end", "x\nFrom ", {0, 1, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(reference::fromLineOffsets(c.bytes), c.expected);
        expectBothPaths(c.bytes, c.expected);
    }
}

TEST(FromLineScanner, MatchesTheDefinitionAcrossWindowEdgesAndPageMultiples) {
    std::mt19937 random(12345);
    const char* pieces[] = {"\n", "\r\n", "\r", "From ", "From", ">From ", "x", "F", "rom ", "abcdefghij"};
    std::vector<std::size_t> sizes = {4096, 8192, 1 << 20, (1 << 20) + 5, 3 * (1 << 20) - 2};
    for (int round = 0; round < 40; ++round) sizes.push_back(random() % 5000);
    for (std::size_t size : sizes) {
        std::string bytes;
        while (bytes.size() < size) bytes += pieces[random() % std::size(pieces)];
        bytes.resize(size);
        // Put boundaries right across the first window edge too.
        if (size > (1 << 20) + 5) bytes.replace((1 << 20) - 3, 6, "\nFrom ");
        SCOPED_TRACE(size);
        expectBothPaths(bytes, reference::fromLineOffsets(bytes));
    }
}

TEST(FromLineScanner, StopEndsWithoutTheSentinelAndRearmsKeepRunning) {
    std::string bytes;
    while (bytes.size() < 5u << 20) bytes += "From a\nSubject: x\n\nbody text\n";
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "big.mbox", bytes);

    // A target that presses Stop at the first progress step past 0.
    struct StoppingTarget : platform::MessageTarget {
        scan::CMboxFile* mbox = nullptr;
        std::vector<std::int64_t> positions;
        platform::LParam sendMessage(unsigned m, platform::WParam w, platform::LParam) override {
            if (m == platform::UM_PROGRESS_POS) {
                positions.push_back(static_cast<std::int32_t>(w));
                if (w > 0 && w < 1000) mbox->keepRunning = false;
            }
            return 0;
        }
    } target;
    Offsets full = reference::fromLineOffsets(bytes);
    for (ScanPath path : {ScanPath::Windowed, ScanPath::Fallback}) {
        scan::CMboxFile mbox;
        target.mbox = &mbox;
        target.positions.clear();
        mbox.notifyWindow = &target;
        ASSERT_TRUE(mbox.file.open(platform::fromNativePath((dir / "big.mbox").string())));
        mbox.scanFromLines(path);
        EXPECT_TRUE(mbox.keepRunning);
        EXPECT_EQ(target.positions.back(), 1000);
        ASSERT_GT(mbox.messageOffsets.size(), 1u);
        ASSERT_LT(mbox.messageOffsets.size(), full.size());
        EXPECT_NE(mbox.messageOffsets.back(), bytes.size());
        EXPECT_TRUE(std::equal(mbox.messageOffsets.begin(), mbox.messageOffsets.end(), full.begin()));
        // Stop takes effect within one MiB of the position at which it was pressed.
        EXPECT_LT(mbox.messageOffsets.back(), (5u << 20) * 2 / 1000 + (1u << 20));
    }
}

TEST(FromLineScanner, AStopBeforeTheFirstByteRecordsNothing) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "m", "From a\nx\n");
    scan::CMboxFile mbox;
    ASSERT_TRUE(mbox.file.open(platform::fromNativePath((dir / "m").string())));
    mbox.keepRunning = false;
    mbox.scanFromLines();
    EXPECT_TRUE(mbox.messageOffsets.empty());
    EXPECT_EQ(mbox.messageCount(), 0u);
    EXPECT_TRUE(mbox.keepRunning);
}

TEST(FromLineScanner, AFileTruncatedDuringTheScanEndsWithWhatWasFound) {
    std::string bytes;
    while (bytes.size() < 24u << 20) bytes += "From a\nSubject: x\n\nbody\n";
    testing_support::TempDir dir;
    auto path = dir / "shrinking.mbox";
    testing_support::writeFile(path, bytes);
    struct TruncatingTarget : platform::MessageTarget {
        std::string path;
        bool done = false;
        platform::LParam sendMessage(unsigned m, platform::WParam w, platform::LParam) override {
            if (m == platform::UM_PROGRESS_POS && w > 0 && !done) {
                done = true;
                EXPECT_EQ(::truncate(path.c_str(), 1 << 20), 0);
            }
            return 0;
        }
    } target;
    target.path = path.string();
    scan::CMboxFile mbox;
    mbox.notifyWindow = &target;
    ASSERT_TRUE(mbox.file.open(platform::fromNativePath(path.string())));
    mbox.scanFromLines();
    // Windows read before the truncation was seen may still count; nothing after them does.
    ASSERT_FALSE(mbox.messageOffsets.empty());
    EXPECT_LT(mbox.messageOffsets.back(), 12u << 20);
    EXPECT_TRUE(std::is_sorted(mbox.messageOffsets.begin(), mbox.messageOffsets.end()));
}

TEST(FromLineScanner, AddressesFilesAboveFourGigabytes) {
    testing_support::TempDir dir;
    auto path = dir / "sparse.mbox";
    const std::uint64_t far = (4ull << 30) + 1234;
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "From a\n", 7, 0), 7);
    ASSERT_EQ(::pwrite(fd, "\nFrom b\n", 8, static_cast<off_t>(far)), 8);
    ::close(fd);
    scan::CMboxFile mbox;
    ASSERT_TRUE(mbox.file.open(platform::fromNativePath(path.string())));
    mbox.scanFromLines();
    EXPECT_EQ(mbox.messageOffsets, (Offsets{0, far, far + 8}));
    EXPECT_EQ(mbox.messageSpan(1).offset, far);
    EXPECT_EQ(mbox.messageSpan(1).length, 8u);
}

TEST(MboxFile, MessageSpansNeverUnderflow) {
    scan::CMboxFile mbox;
    mbox.messageOffsets = {0, 50, 40, 40, 90};
    EXPECT_EQ(mbox.messageCount(), 4u);
    EXPECT_EQ(mbox.messageSpan(0).length, 50u);
    EXPECT_EQ(mbox.messageSpan(1).length, 0u);  // end below start
    EXPECT_EQ(mbox.messageSpan(2).length, 0u);  // end equal to start
    EXPECT_EQ(mbox.messageSpan(3).length, 50u);
    EXPECT_EQ(mbox.messageSpan(4).length, 0u);  // outside the list
    EXPECT_TRUE(scan::isImmPath(u"/m/a.imm"));
    EXPECT_FALSE(scan::isImmPath(u"/m/a.IMM"));
    EXPECT_FALSE(scan::isImmPath(u"imm"));
}

TEST(FromLineScanner, BothPathsAgreeWithTheDefinitionOnTheSharedCorpus) {
    auto corpus = testing_support::sharedCorpus();
    if (!corpus) GTEST_SKIP() << "shared corpus absent";
    for (const auto& file : testing_support::filesUnder(*corpus / "mbox")) {
        SCOPED_TRACE(file.string());
        std::string bytes = testing_support::readFile(file);
        expectBothPaths(bytes, reference::fromLineOffsets(bytes));
    }
}
