#pragma once
// The command-line tests' fixture: every run logs into a scratch folder, keeps its temporary files
// under it, and prints the activity log lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "support/test_support.h"

namespace testing_support {

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        const char* old = std::getenv("TMPDIR");
        if (old) oldTmp = old;
        std::filesystem::create_directories(dir / "tmp");
        ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
        options.logDir = (dir / "logs").string();
        options.progress = false;
        options.verbosity = cli::Verbosity::Verbose;  // most tests read the activity log lines
    }
    ~CliTest() override {
        if (oldTmp.empty()) ::unsetenv("TMPDIR");
        else ::setenv("TMPDIR", oldTmp.c_str(), 1);
    }
    std::string mailbox(const std::string& name, std::string_view bytes) {
        std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        testing_support::writeFile(path, bytes);
        return path.string();
    }

    testing_support::TempDir dir;
    std::string oldTmp;
    cli::GlobalOptions options;
    std::ostringstream out, err;
};

}  // namespace testing_support
