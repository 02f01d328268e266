// EML export against the independent oracle: every message of every corpus mailbox and of the sample
// mailbox, exported with mbox2pst convert, has the same facts as the message in its mailbox.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "cli/convert_command.h"
#include "cli_fixture.h"
#include "oracle_tools.h"

namespace {

namespace fs = std::filesystem;
using store_test::runCommand;
using store_test::shellQuote;

struct Fidelity {
    int faithful = 0, total = 0;
};

// The exported files of the one mailbox folder under dest, in their numbering order.
std::vector<fs::path> exportedFiles(const fs::path& dest) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(dest))
        if (entry.path().extension() == ".eml") files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return std::stoul(a.stem().string()) < std::stoul(b.stem().string());
    });
    return files;
}

Fidelity compareWithOracle(const fs::path& oracle, const fs::path& mailbox, const std::vector<fs::path>& files,
                           const fs::path& scratch, std::string& report) {
    std::string python = "/usr/bin/python3 ";
    std::string expected = (scratch / "expected.json").string(), actual = (scratch / "actual.json").string();
    runCommand(python + shellQuote((oracle / "facts.py").string()) + " mbox " + shellQuote(mailbox.string()) + " > " +
               shellQuote(expected));
    std::string eml = python + shellQuote((oracle / "facts.py").string()) + " eml";
    for (const auto& file : files) eml += " " + shellQuote(file.string());
    runCommand(files.empty() ? "echo [] > " + shellQuote(actual) : eml + " > " + shellQuote(actual));
    report = runCommand(python + shellQuote((oracle / "compare.py").string()) + " " + shellQuote(expected) + " " +
                        shellQuote(actual) + " --match order")
                 .output;
    std::smatch m;
    if (!std::regex_search(report, m, std::regex(R"(fidelity: (\d+)/(\d+) messages)"))) return {0, -1};
    return {std::stoi(m[1]), std::stoi(m[2])};
}

using EmlOracle = testing_support::CliTest;

}  // namespace

TEST_F(EmlOracle, EmlExportKeepsTheFactsOfEveryCorpusAndSampleMessage) {
    auto corpus = testing_support::sharedCorpus();
    auto oracle = store_test::oracleDir();
    if (!corpus || !oracle) GTEST_SKIP() << "the shared corpus and oracle are absent";
    std::vector<fs::path> mailboxes = testing_support::filesUnder(*corpus / "mbox");
    mailboxes.push_back(testing_support::sourceDir() / "samples/inbox.mbox");
    Fidelity all;
    for (std::size_t i = 0; i < mailboxes.size(); ++i) {
        fs::path dest = dir / ("out" + std::to_string(i));
        fs::create_directories(dest);
        std::ostringstream log, problems;
        EXPECT_EQ(cli::runConvert({{mailboxes[i].string()}, "eml", dest.string(), false, false}, options, log, problems),
                  0)
            << mailboxes[i] << '\n' << problems.str();
        std::string report;
        Fidelity one = compareWithOracle(*oracle, mailboxes[i], exportedFiles(dest), dir.path(), report);
        EXPECT_EQ(one.faithful, one.total) << mailboxes[i] << '\n' << report;
        all.faithful += one.faithful;
        all.total += one.total;
    }
    std::cout << "EML fidelity: " << all.faithful << "/" << all.total << " messages\n";
    EXPECT_GT(all.total, 60);
}
