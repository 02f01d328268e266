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
    std::string headersBefore =
        kFirst + "Date: today\r\nTo: c@x\r\nFrom: d@x\r\nSubject: two\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string headersAround =
        kFirst + "Date: today\r\nMIME-Version: 1.0\r\nFrom: d@x\r\nTo: c@x\r\nSubject: two\r\n\r\nb\r\n";
    std::string otherHeaders = kFirst + "X-A: 1\r\nX-B: 2\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string folded = kFirst + "Received: by x\r\n\t(y)\r\n  z\r\nDate: d\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string blankFold = kFirst + "X-A: 1\r\n \t \r\nX-B: 2\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string foldWithoutField = kFirst + " indented\r\nMIME-Version: 1.0\r\nTo: c@x\r\n\r\nb\r\n";
    std::string badNames = kFirst + "Bad Name: 1\r\n: 2\r\nMIME-Version: 1.0\r\nTo: c@x\r\n\r\nb\r\n";
    std::string emptyValue = kFirst + "Thread-Topic:\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string lfOnly = "X: 0\nMIME-Version: 1.0\nTo: a\n\nx\nX-A: 1\nX-B: 2\nMIME-Version: 1.0\n\nb\n";
    std::string mixedBreaks = "X: 0\nMIME-Version: 1.0\n\nx\r\nX-A: 1\nX-B: 2\r\nMIME-Version: 1.0\n\nb\n";
    std::string bareCr = kFirst + "X-A: 1\rx\r\nMIME-Version: 1.0\r\n\r\nb\r\n";
    std::string twelve = kFirst;
    for (int n = 1; n <= 12; ++n) twelve += "X-" + std::to_string(n) + ": v\r\n";
    twelve += "MIME-Version: 1.0\r\n\r\nb\r\n";
    std::string foldAtTheTenth = kFirst + "X-0: v\r\n";
    for (int n = 1; n <= 10; ++n) foldAtTheTenth += n == 1 ? " fold\r\n" : "X-" + std::to_string(n) + ": v\r\n";
    foldAtTheTenth += "MIME-Version: 1.0\r\n\r\nb\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        Offsets expected;
    } cases[] = {
        {"one MIME-Version line", kFirst, {0, kFirst.size()}},
        {"blank line above, headers after: the LF before the line", headersAfter,
         {0, kFirst.size() + 1, headersAfter.size()}},
        {"header lines above: the first of them", headersBefore,
         {0, headersBefore.find("Date: today"), headersBefore.size()}},
        {"a header above wins over the look-ahead", headersAround,
         {0, headersAround.find("Date: today"), headersAround.size()}},
        {"any field names count", otherHeaders, {0, otherHeaders.find("X-A"), otherHeaders.size()}},
        {"continuation lines with tab and spaces", folded, {0, folded.find("Received"), folded.size()}},
        {"a blank continuation ends the run", blankFold, {0, blankFold.find("X-B"), blankFold.size()}},
        {"a continuation under no field line: look-ahead", foldWithoutField,
         {0, foldWithoutField.rfind("\nMIME"), foldWithoutField.size()}},
        {"names with a space or no name: look-ahead", badNames,
         {0, badNames.rfind("\nMIME"), badNames.size()}},
        {"a field with an empty value", emptyValue, {0, emptyValue.find("Thread-Topic"), emptyValue.size()}},
        {"LF-only lines", lfOnly, {0, lfOnly.find("X-A"), lfOnly.size()}},
        {"LF and CR LF mixed", mixedBreaks, {0, mixedBreaks.find("X-A"), mixedBreaks.size()}},
        {"a bare CR does not end a line", bareCr, {0, bareCr.find("X-A"), bareCr.size()}},
        {"at most ten lines back", twelve, {0, twelve.find("X-3:"), twelve.size()}},
        {"a continuation at the tenth line counts only below a field within ten", foldAtTheTenth,
         {0, foldAtTheTenth.find("X-2:"), foldAtTheTenth.size()}},
        {"empty", "", {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(reference::mimeVersionOffsets(c.bytes), c.expected);
        expectBothPaths(c.bytes, c.expected);
    }
}

TEST(MimeVersionScanner, TheSampleMessagesStartAtTheirDateLines) {
    std::string bytes = testing_support::readFile(testing_support::sourceDir() / "samples/imm/Mailbox.imm");
    ASSERT_FALSE(bytes.empty());
    Offsets expected{0};
    for (std::size_t at = bytes.find("\nDate:"); at != std::string::npos; at = bytes.find("\nDate:", at + 1))
        expected.push_back(at + 1);
    expected.push_back(bytes.size());
    ASSERT_EQ(expected.size(), 4u);
    expectBothPaths(bytes, expected);
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
