#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/scan_command.h"
#include "support/test_support.h"

TEST(ScanCommand, PrintsTheLogLinesOrTheOffsetsAsJson) {
    testing_support::TempDir dir;
    auto mbox = (dir / "inbox.mbox").string();
    auto imm = (dir / "box.imm").string();
    testing_support::writeFile(mbox, "From a\nx\nFrom b\ny\n");
    testing_support::writeFile(imm, "MIME-Version: 1.0\r\n\r\nx\r\n");

    std::ostringstream out, err;
    EXPECT_EQ(cli::runScan({{mbox, imm}, false}, out, err), 0);
    EXPECT_EQ(out.str(), "Processing File: " + mbox + "\nTotal number of emails found: (2)\n" +
                             "Processing File: " + imm + "\nTotal number of emails found: (1)\n");

    std::ostringstream json;
    EXPECT_EQ(cli::runScan({{mbox, imm}, true}, json, err), 0);
    auto parsed = nlohmann::json::parse(json.str());
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0]["path"], mbox);
    EXPECT_EQ(parsed[0]["offsets"], nlohmann::json({0, 8, 18}));
    EXPECT_EQ(parsed[1]["offsets"], nlohmann::json({0, 24}));
}

TEST(ScanCommand, AMissingFileIsReportedAndTheOthersStillScanned) {
    testing_support::TempDir dir;
    auto mbox = (dir / "inbox.mbox").string();
    testing_support::writeFile(mbox, "From a\nx\n");
    std::ostringstream out, err;
    EXPECT_EQ(cli::runScan({{(dir / "missing").string(), mbox}, false}, out, err), 1);
    EXPECT_NE(err.str().find("missing"), std::string::npos);
    EXPECT_NE(out.str().find("Total number of emails found: (1)"), std::string::npos);
}
