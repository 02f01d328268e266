#include <gtest/gtest.h>

#include <random>

#include "cfb_reader.h"
#include "oracle_tools.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "store/cfb/compound_file_writer.h"
#include "support/test_support.h"

using namespace store::cfb;
using store_test::CfbContents;
using store_test::readCompoundFile;
using testing_support::TempDir;

namespace {

std::string patternBytes(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    std::mt19937 rng(seed);
    for (auto& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

std::u16string u16(const std::filesystem::path& p) { return platform::fromNativePath(p.string()); }

CfbContents readBack(const std::filesystem::path& path) {
    CfbContents contents;
    std::string error;
    EXPECT_TRUE(readCompoundFile(path, contents, error)) << error;
    return contents;
}

}  // namespace

TEST(CfbLayoutTest, FatAndDifatSectorCounts) {
    struct Case {
        std::uint64_t other, fat, difat;
    };
    // 128 numbers per FAT sector; the header holds 109 FAT sector numbers, each DIFAT sector 127 more.
    const Case cases[] = {
        {1, 1, 0},         {127, 1, 0},           {128, 2, 0},           {13843, 109, 0},
        {13844, 110, 1},   {29971, 236, 1},       {29972, 237, 2},
    };
    for (const auto& c : cases) {
        const FatLayout l = fatLayoutFor(c.other);
        EXPECT_EQ(l.fatSectors, c.fat) << c.other;
        EXPECT_EQ(l.difatSectors, c.difat) << c.other;
    }
    // For sizes up to the largest file, the FAT covers every sector and is no larger than needed.
    for (std::uint64_t other : {1000000ULL, 33554432ULL, 4000000000ULL}) {
        const FatLayout l = fatLayoutFor(other);
        const std::uint64_t total = other + l.fatSectors + l.difatSectors;
        EXPECT_GE(l.fatSectors * 128, total);
        EXPECT_LT((l.fatSectors - 1) * 128, total);
        EXPECT_EQ(l.difatSectors, (l.fatSectors - 109 + 126) / 127);
    }
}

TEST(CfbNamesTest, OrderAndValidity) {
    EXPECT_LT(compareNames(u"zz", u"aaa"), 0);      // shorter first
    EXPECT_LT(compareNames(u"abc", u"ABD"), 0);     // then without regard to case
    EXPECT_EQ(compareNames(u"Straße", u"STRAßE"), 0);
    EXPECT_EQ(compareNames(u"ünï", u"ÜNÏ"), 0);
    EXPECT_TRUE(isValidName(u"__substg1.0_0037001F"));
    EXPECT_FALSE(isValidName(u""));
    EXPECT_FALSE(isValidName(std::u16string(32, u'a')));
    EXPECT_TRUE(isValidName(std::u16string(31, u'a')));
    EXPECT_FALSE(isValidName(u"a/b"));
    EXPECT_FALSE(isValidName(u"a!b"));
}

TEST(CfbWriterTest, StreamsOfEverySizeRoundTripWholeAndInPieces) {
    // Sizes around the mini sector, the sector and the 4096-byte mini stream cutoff.
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 8191, 8192, 100000};
    TempDir dir;
    const auto path = dir / "sizes.cfb";
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    std::map<std::u16string, std::string> expected;
    unsigned seed = 1;
    std::mt19937 rng(99);
    for (std::size_t size : sizes) {
        const std::string data = patternBytes(size, seed++);
        const std::u16string whole = u"whole" + platform::fromNativePath(std::to_string(size));
        ASSERT_TRUE(cf.addStream(kRootEntry, whole, data));
        expected[whole] = data;
        // The same bytes in pieces of random length.
        const std::u16string pieces = u"pieces" + platform::fromNativePath(std::to_string(size));
        ASSERT_TRUE(cf.beginStream(kRootEntry, pieces));
        for (std::size_t at = 0; at < size;) {
            const std::size_t n = std::min<std::size_t>(size - at, rng() % 700 + 1);
            ASSERT_TRUE(cf.append(std::string_view(data).substr(at, n)));
            at += n;
        }
        ASSERT_TRUE(cf.endStream());
        expected[pieces] = data;
    }
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    const CfbContents contents = readBack(path);
    EXPECT_EQ(contents.streams, expected);
    EXPECT_EQ(contents.difatSectors, 0u);
}

TEST(CfbWriterTest, NestedStoragesAndManySiblingsFormValidTrees) {
    TempDir dir;
    const auto path = dir / "tree.cfb";
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    std::map<std::u16string, std::string> expected;
    // Storages with 1 to 40 children each check the red-black coloring for many tree shapes.
    for (int n = 1; n <= 40; ++n) {
        const std::u16string name = u"box" + platform::fromNativePath(std::to_string(n));
        const auto box = cf.addStorage(kRootEntry, name);
        ASSERT_TRUE(box);
        for (int k = n; k > 0; --k) {
            const std::u16string child = platform::fromNativePath(std::string(static_cast<std::size_t>(k % 7 + 1), 'x') +
                                                                  std::to_string(k));
            const std::string data = patternBytes(static_cast<std::size_t>(k * 37 + n), static_cast<unsigned>(k));
            ASSERT_TRUE(cf.addStream(*box, child, data));
            expected[name + u"/" + child] = data;
        }
    }
    const auto deep1 = cf.addStorage(kRootEntry, u"deep");
    const auto deep2 = cf.addStorage(*deep1, u"deeper");
    ASSERT_TRUE(cf.addStream(*deep2, u"leaf", "leaf data"));
    expected[u"deep/deeper/leaf"] = "leaf data";
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    const CfbContents contents = readBack(path);
    EXPECT_EQ(contents.streams, expected);
    EXPECT_EQ(contents.storages.size(), 42u);
}

TEST(CfbWriterTest, MiniAndRegularSectorsInterleave) {
    TempDir dir;
    const auto path = dir / "mixed.cfb";
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    std::map<std::u16string, std::string> expected;
    for (int i = 0; i < 60; ++i) {
        const std::size_t size = i % 3 == 0 ? 5000 + static_cast<std::size_t>(i) * 101 : static_cast<std::size_t>(i) * 57 + 1;
        const std::u16string name = u"s" + platform::fromNativePath(std::to_string(i));
        expected[name] = patternBytes(size, static_cast<unsigned>(i) + 500);
        ASSERT_TRUE(cf.addStream(kRootEntry, name, expected[name]));
    }
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    const CfbContents contents = readBack(path);
    EXPECT_EQ(contents.streams, expected);
    EXPECT_GT(contents.miniFatSectors, 0u);
}

TEST(CfbWriterTest, LargeStreamNeedsDifatSectors) {
    // 9 MiB takes 18432 sectors: more FAT sectors (145) than the header can list (109).
    TempDir dir;
    const auto path = dir / "large.cfb";
    const std::string block = patternBytes(1 << 20, 7);
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    ASSERT_TRUE(cf.addStream(kRootEntry, u"small", "tiny"));
    ASSERT_TRUE(cf.beginStream(kRootEntry, u"big"));
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(cf.append(block));
    ASSERT_TRUE(cf.append("tail"));
    ASSERT_TRUE(cf.endStream());
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    const CfbContents contents = readBack(path);
    EXPECT_GT(contents.fatSectors, 109u);
    EXPECT_EQ(contents.difatSectors, 1u);
    ASSERT_EQ(contents.streams.count(u"big"), 1u);
    const std::string& big = contents.streams.at(u"big");
    ASSERT_EQ(big.size(), 9u * (1 << 20) + 4);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(big.compare(static_cast<std::size_t>(i) << 20, 1 << 20, block), 0) << i;
    EXPECT_EQ(big.substr(big.size() - 4), "tail");
    EXPECT_EQ(contents.streams.at(u"small"), "tiny");
}

TEST(CfbWriterTest, RefusesBadNamesAndMisuse) {
    TempDir dir;
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(dir / "misuse.cfb")));
    const auto box = cf.addStorage(kRootEntry, u"Box");
    ASSERT_TRUE(box);
    EXPECT_FALSE(cf.addStorage(kRootEntry, u"BOX"));               // same name, other case
    EXPECT_FALSE(cf.addStream(kRootEntry, std::u16string(32, u'n'), "x"));
    EXPECT_FALSE(cf.addStream(kRootEntry, u"a:b", "x"));
    EXPECT_FALSE(cf.append("no stream open"));
    ASSERT_TRUE(cf.addStream(*box, u"s", "x"));
    EXPECT_FALSE(cf.addStream(*box + 1, u"child of a stream", "x"));
    EXPECT_FALSE(cf.addStorage(999, u"no such parent"));
    ASSERT_TRUE(cf.beginStream(kRootEntry, u"open"));
    EXPECT_FALSE(cf.beginStream(kRootEntry, u"second"));
    EXPECT_FALSE(cf.failure().message.empty());
    ASSERT_TRUE(cf.finish());  // closes the open stream
    EXPECT_FALSE(cf.finish());
    const CfbContents contents = readBack(dir / "misuse.cfb");
    EXPECT_EQ(contents.streams.size(), 2u);
}

TEST(CfbWriterTest, ADuplicateNameIsRefusedAmongFewAndManySiblings) {
    // A storage checks a short list of its children's names until it has many, then an index: a
    // duplicate is found on both sides of that change, whatever the case of its letters.
    for (int siblings : {3, 31, 32, 33, 200}) {
        TempDir dir;
        CompoundFileWriter cf;
        ASSERT_TRUE(cf.open(u16(dir / "names.cfb")));
        const auto box = cf.addStorage(kRootEntry, u"box");
        ASSERT_TRUE(box);
        for (int i = 0; i < siblings; ++i)
            ASSERT_TRUE(cf.addStream(*box, u"stream" + platform::utf8ToUtf16(std::to_string(i)), "x")) << i;
        for (int i : {0, siblings / 2, siblings - 1}) {
            EXPECT_FALSE(cf.addStream(*box, u"STREAM" + platform::utf8ToUtf16(std::to_string(i)), "y"))
                << siblings << " siblings, duplicate of " << i;
        }
        EXPECT_TRUE(cf.addStream(*box, u"other", "z")) << siblings;
        ASSERT_TRUE(cf.finish());
        EXPECT_EQ(readBack(dir / "names.cfb").streams.size(), static_cast<std::size_t>(siblings + 1));
    }
}

// Names beyond ASCII: siblings are ordered by their upper-cased code units (the reader checks every
// tree against compareNames), whose high byte decides first (U+00FF before U+0100), and a name that
// differs only in case from a sibling is refused.
TEST(CfbWriterTest, NamesBeyondAsciiAreOrderedAndComparedWithoutCase) {
    const std::u16string names[] = {u"\u00FF", u"\u0100", u"\u00E9", u"\u00F7", u"\u03B1x", u"\u03A9x", u"\u0436a",
                                    u"\uFF21a", u"a\u0101", u"a\u00FE", u"ab", u"AC", u"\u0451\u0451"};
    const std::u16string sameWithoutCase[] = {u"\u00C9", u"\u0391X", u"\u0416A", u"Ab", u"\u0401\u0401", u"A\u00DE"};
    TempDir dir;
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(dir / "names.cfb")));
    std::map<std::u16string, std::string> expected;
    for (const std::u16string& name : names) {
        ASSERT_TRUE(cf.addStream(kRootEntry, name, "x")) << platform::utf16ToUtf8(name);
        expected[name] = "x";
    }
    for (const std::u16string& name : sameWithoutCase)
        EXPECT_FALSE(cf.addStream(kRootEntry, name, "y")) << platform::utf16ToUtf8(name);
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    EXPECT_EQ(readBack(dir / "names.cfb").streams, expected);
    EXPECT_LT(compareNames(u"\u00FF", u"\u0100"), 0);
}

TEST(CfbWriterTest, UnfinishedFileIsRemovedAndUnwritablePathFails) {
    TempDir dir;
    const auto path = dir / "unfinished.cfb";
    {
        CompoundFileWriter cf;
        ASSERT_TRUE(cf.open(u16(path)));
        ASSERT_TRUE(cf.addStream(kRootEntry, u"s", "data"));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    CompoundFileWriter cf;
    EXPECT_FALSE(cf.open(u16(dir / "no-such-folder" / "x.cfb")));
    EXPECT_FALSE(cf.failure().message.empty());
    EXPECT_FALSE(cf.addStream(kRootEntry, u"s", "data"));
}

TEST(CfbWriterTest, OlefileReadsWhatWasWritten) {
    const auto python = store_test::pythonWithOlefile();
    if (!python) GTEST_SKIP() << "python3-olefile is not installed";
    TempDir dir;
    const auto path = dir / "ole.cfb";
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    const auto box = cf.addStorage(kRootEntry, u"box");
    ASSERT_TRUE(cf.addStream(*box, u"a", std::string(4095, 'a')));
    ASSERT_TRUE(cf.addStream(*box, u"b", std::string(4096, 'b')));
    ASSERT_TRUE(cf.addStream(kRootEntry, u"c", ""));
    ASSERT_TRUE(cf.addStream(kRootEntry, u"d", std::string(300000, 'd')));
    ASSERT_TRUE(cf.finish());
    const std::string script =
        "import olefile,sys\n"
        "ole=olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_INCORRECT)\n"
        "for e in sorted(ole.listdir()):\n"
        "    d=ole.openstream(e).read()\n"
        "    print('/'.join(e), len(d), len(set(d)))\n";
    const auto result = store_test::runCommand(*python + " -c " + store_test::shellQuote(script) + " " +
                                               store_test::shellQuote(path.string()));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "box/a 4095 1\nbox/b 4096 1\nc 0 0\nd 300000 1\n");
}

TEST(CfbWriterTest, StoragesClosedAsTheyAreWrittenFormValidTrees) {
    // Thousands of siblings, each storage closed once written so that its entries go to the file
    // early, with a nested storage closed by its parent and one storage left open until finish().
    TempDir dir;
    const auto path = dir / "closed.cfb";
    CompoundFileWriter cf;
    ASSERT_TRUE(cf.open(u16(path)));
    std::map<std::u16string, std::string> expected;
    constexpr int kStorages = 3000;
    for (int i = 0; i < kStorages; ++i) {
        const std::u16string name = u"__recip_version1.0_#" + platform::fromNativePath(std::to_string(i));
        const auto box = cf.addStorage(kRootEntry, name);
        ASSERT_TRUE(box);
        for (int k = 0; k < 3; ++k) {
            const std::u16string child = u"stream" + platform::fromNativePath(std::to_string(k));
            const std::string data = patternBytes(static_cast<std::size_t>((i * 7 + k * 13) % 300), static_cast<unsigned>(i));
            ASSERT_TRUE(cf.addStream(*box, child, data));
            expected[name + u"/" + child] = data;
        }
        if (i % 500 == 0) {
            const auto inner = cf.addStorage(*box, u"inner");
            ASSERT_TRUE(inner && cf.addStream(*inner, u"leaf", "leaf"));
            expected[name + u"/inner/leaf"] = "leaf";
        }
        if (i + 1 < kStorages) {
            ASSERT_TRUE(cf.closeStorage(*box)) << cf.failure().message;
        }
        if (i == 0) {
            EXPECT_FALSE(cf.addStream(*box, u"late", "x")) << "a closed storage takes no children";
        }
    }
    ASSERT_TRUE(cf.addStream(kRootEntry, u"top", "top"));
    expected[u"top"] = "top";
    EXPECT_FALSE(cf.closeStorage(kRootEntry));
    ASSERT_TRUE(cf.beginStream(kRootEntry, u"open"));
    EXPECT_FALSE(cf.closeStorage(kRootEntry));
    ASSERT_TRUE(cf.endStream());
    expected[u"open"] = "";
    ASSERT_TRUE(cf.finish()) << cf.failure().message;
    const CfbContents contents = readBack(path);
    EXPECT_EQ(contents.streams, expected);
    EXPECT_EQ(contents.storages.size(), static_cast<std::size_t>(kStorages + 6));

    const auto python = store_test::pythonWithOlefile();
    if (!python) return;
    const std::string script =
        "import olefile,sys\n"
        "ole=olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_INCORRECT)\n"
        "print(len([e for e in ole.listdir() if len(e) >= 2]))\n";
    const auto result = store_test::runCommand(*python + " -c " + store_test::shellQuote(script) + " " +
                                               store_test::shellQuote(path.string()));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, std::to_string(expected.size() - 2) + "\n");
}

TEST(CfbWriterTest, StopRequestFailsTheNextStorageOrStreamAndRemovesTheFile) {
    TempDir dir;
    const auto path = dir / "stopped.cfb";
    int polls = 0;
    bool stop = false;
    {
        CompoundFileWriter cf;
        cf.setStopRequest([&] {
            ++polls;
            return stop;
        });
        ASSERT_TRUE(cf.open(u16(path)));
        const auto box = cf.addStorage(kRootEntry, u"box");
        ASSERT_TRUE(box && cf.addStream(*box, u"s", "data"));
        EXPECT_EQ(polls, 2);
        stop = true;
        EXPECT_FALSE(cf.addStream(*box, u"t", "data"));
        EXPECT_EQ(cf.failure().message, "stopped");
        EXPECT_FALSE(cf.addStorage(kRootEntry, u"other"));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}
