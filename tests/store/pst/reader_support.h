#pragma once
// Runs the independent PST readers (pffinfo, pffexport, readpst) on a file for the round-trip tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "pst_check.h"

namespace store::pst::testing {

inline bool haveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct ToolRun {
    int status = -1;
    std::string output;
};

inline ToolRun runTool(const std::string& command) {
    ToolRun run;
    std::string text;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        run.status = ::pclose(pipe);
    }
    run.output = std::move(text);
    return run;
}

// The structural check of a written store finds no error.
inline void expectStructurallySound(const std::filesystem::path& pst) {
    const pst_check::Report report = pst_check::checkFile(pst.string());
    EXPECT_TRUE(report.ok()) << pst << ":\n" << report.summary();
}

inline std::string quoted(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

}  // namespace store::pst::testing
