#include <gtest/gtest.h>
#include <random>

#include "scan/reference_scanner.h"
#include "scan/scan_fixture.h"

using scan::ScanPath;
using scan_fixture::scanBytes;
using Offsets = std::vector<std::uint64_t>;

namespace {

void expectBothPaths(const std::string& bytes, const Offsets& expected) {
    for (ScanPath path : {ScanPath::Windowed, ScanPath::Fallback}) {
        auto result = scanBytes(bytes, true, path);
        EXPECT_EQ(result.offsets, expected) << "path " << static_cast<int>(path);
    }
}

const std::string kFirst = "X-Mailer: im\r\nMIME-Version: 1.0\r\nFrom: a@x\r\nTo: b@x\r\nSubject: one\r\n\r\nbody one\r\n";

}  // namespace

TEST(MimeVersionScanner, PlacesBoundariesAsTheDefinitionSays) {
    std::string headersAfter = kFirst + "\r\nMIME-Version: 1.0\r\nTo: c@x\r\nFrom: d@x\r\nSubject: two\r\n\r\nb\r\n";
    std::string headersBefore = kFirst + "Date: today\r\nTo: c@x\r\nFrom: d@x\r\nSubject: two\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string noHeaderNear = kFirst + "X-A: 1\r\nX-B: 2\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string lfOnly = "X: 0\nMIME-Version: 1.0\nTo: a\n\nx\nX-A: 1\nMIME-Version: 1.0\n\nb\n";
    struct Case {
        const char* name;
        std::string bytes;
        Offsets expected;
    } cases[] = {
        {"one MIME-Version line", kFirst, {0, kFirst.size()}},
        {"headers within the eight lines after: the LF before the line", headersAfter,
         {0, kFirst.size() + 1, headersAfter.size()}},
        {"headers before: the earliest header line reached", headersBefore,
         {0, headersBefore.find("To: c@x"), headersBefore.size()}},
        {"no header line near: the CR of the tenth pair back or the earliest pair",
         noHeaderNear, reference::mimeVersionOffsets(noHeaderNear)},
        {"LF-only lines: the look-back finds no pair and keeps the position", lfOnly,
         {0, lfOnly.rfind("\nMIME"), lfOnly.size()}},
        {"empty", "", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(reference::mimeVersionOffsets(c.bytes), c.expected);
        expectBothPaths(c.bytes, c.expected);
    }
}

TEST(MimeVersionScanner, MatchesTheDefinitionOnGeneratedMailboxes) {
    std::mt19937 random(777);
    const char* pieces[] = {"\r\n", "\n", "\r", "MIME-Version: 1.0", "To: a", "From: b", "Subject: c",
                            "X-Other: y", "text ", "To:", "Subject:", "\nMIME-Version: 1.0\r\nTo: long"};
    std::vector<std::size_t> sizes;
    for (int round = 0; round < 60; ++round) sizes.push_back(random() % 3000);
    sizes.push_back((1 << 20) + 300);
    for (std::size_t size : sizes) {
        std::string bytes;
        while (bytes.size() < size) {
            bytes += pieces[random() % std::size(pieces)];
            // Now and then a line longer than the look-ahead's read block.
            if (random() % 200 == 0) bytes += std::string(5000 + random() % 5000, 'x');
        }
        SCOPED_TRACE(size);
        expectBothPaths(bytes, reference::mimeVersionOffsets(bytes));
    }
}

TEST(MimeVersionScanner, AnUnreadableSecondHandleKeepsEachPosition) {
    // The path given for the look-ahead and look-back names no file: every later match stays where it is.
    testing_support::TempDir dir;
    std::string bytes = kFirst + "X: 1\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    testing_support::writeFile(dir / "box.imm", bytes);
    scan::CMboxFile mbox;
    ASSERT_TRUE(mbox.file.open(platform::fromNativePath((dir / "box.imm").string())));
    mbox.scanMimeVersion(u"/nonexistent/box.imm");
    EXPECT_EQ(mbox.messageOffsets, (Offsets{0, bytes.rfind("\r\nMIME-Version") + 1, bytes.size()}));
}
