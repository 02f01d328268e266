// RTF and HTML item files of every corpus message, made through the session as the file export makes
// them, read back with unrtf and Python's HTML parser: they hold the subject and the body text, and
// the HTML files no script. Skips itself without the corpus, the oracle scripts, python3 or unrtf.
// KELVA_ROUNDTRIP_KEEP=DIR keeps the files there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "corpus_messages.h"
#include "oracle_tools.h"
#include "platform/paths.h"
#include "store/session/native_session.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using store_test::shellQuote;

std::u16string u16(const fs::path& p) { return platform::fromNativePath(p.string()); }

TEST(ItemsRoundTrip, CorpusRtfAndHtmlFilesHoldSubjectAndBody) {
    const auto corpus = testing_support::sharedCorpus();
    const auto oracle = store_test::oracleDir();
    const auto python = store_test::pythonWithOlefile();
    if (!corpus || !oracle || !python || !store_test::hasProgram("unrtf"))
        GTEST_SKIP() << "the corpus, the oracle scripts, python3 or unrtf is missing";
    testing_support::TempDir temp;
    const char* keep = std::getenv("KELVA_ROUNDTRIP_KEEP");
    const fs::path root = (keep && *keep ? fs::path(keep) : temp.path()) / "items";
    fs::create_directories(root / "src");
    fs::create_directories(root / "out");

    store::session::NativeSession session;
    session.openStore(u16(temp / "Tartmp.pst"), std::nullopt, std::nullopt);
    auto items = session.defaultFolder(library::kDefaultFolderImport)->items();
    std::string names;
    int count = 0;
    for (const auto& m : store_test::corpusMessages(*corpus)) {
        const fs::path eml = root / "src" / (m.name + ".eml");
        testing_support::writeFile(eml, m.bytes);
        auto item = items->add();
        ASSERT_TRUE(item->importFile(u16(eml), library::kImportRfc822)) << m.name;
        item->markSentAndRead();
        item->save();
        ASSERT_TRUE(item->saveAs(u16(root / "out" / (m.name + ".rtf")), library::kSaveAsRtf)) << m.name;
        ASSERT_TRUE(item->saveAs(u16(root / "out" / (m.name + ".html")), library::kSaveAsHtml)) << m.name;
        item->remove(1);
        session.defaultFolder(library::kDefaultFolderDeletedItems)->purge(true);
        names += " " + shellQuote(m.name);
        ++count;
    }
    const fs::path script = testing_support::sourceDir() / "tests" / "store" / "item_files_check.py";
    const auto result = store_test::runCommand(*python + " " + shellQuote(script.string()) + " " +
                                               shellQuote(oracle->string()) + " " + shellQuote((root / "src").string()) +
                                               " " + shellQuote((root / "out").string()) + names + " 2>/dev/null");
    ASSERT_EQ(result.status, 0) << result.output;
    const auto summary = nlohmann::json::parse(result.output);
    const double total = summary.at("total").get<double>();
    EXPECT_EQ(total, count);
    std::cout << "RTF files read by unrtf: " << summary.at("rtf_ok") << "/" << total << ", HTML files: " << summary.at("html_ok")
              << "/" << total << "\n";
    EXPECT_GE(summary.at("rtf_ok").get<double>() / total, 0.99) << summary.at("failures").dump(1);
    EXPECT_GE(summary.at("html_ok").get<double>() / total, 0.99) << summary.at("failures").dump(1);
}

}  // namespace
