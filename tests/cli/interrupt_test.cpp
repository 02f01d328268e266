// mbox2pst stopped by SIGINT or SIGTERM in the middle of a conversion: it ends with 128 + the signal,
// says that the run was stopped and how many messages it saved, and exactly those are in the output.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "oracle_tools.h"

namespace {

namespace fs = std::filesystem;
using store_test::runCommand;
using store_test::shellQuote;

struct Stopped {
    int status = -1;
    std::string output;
};

// Runs the program, sends the signal once it has logged its first saved message, and collects the rest.
Stopped runAndStop(const std::vector<std::string>& arguments, int signal) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        ::close(pipeEnds[0]);
        std::vector<char*> argv{const_cast<char*>(MBOX2PST_PATH)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(MBOX2PST_PATH, argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    Stopped result;
    bool sent = false;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        result.output.append(buffer, static_cast<std::size_t>(n));
        if (!sent && result.output.find("\nSaving: ") != std::string::npos) {
            ::kill(child, signal);
            sent = true;
        }
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string bigMailbox(int count) {
    std::string text;
    for (int k = 0; k < count; ++k)
        text += "From a@example.com Tue Dec  1 10:00:00 2026\nFrom: a@example.com\nTo: b@example.com\nSubject: Message " +
                std::to_string(k) + "\nDate: Tue, 1 Dec 2026 10:00:00 +0100\n\n" + std::string(200, 'x') + "\n\n";
    return text;
}

std::size_t countFiles(const fs::path& folder, const std::string& extension) {
    std::size_t count = 0;
    for (const fs::path& file : testing_support::filesUnder(folder)) count += file.extension() == extension;
    return count;
}

}  // namespace

TEST(Interrupt, ASignalStopsTheRunWithItsStatusAndTheCountOfSavedMessages) {
    constexpr int kMessages = 30000;
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "big.mbox", bigMailbox(kMessages));
    struct Case {
        int signal;
        const char* format;
    };
    for (const Case& c : {Case{SIGINT, "pst"}, Case{SIGTERM, "eml"}}) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        Stopped run = runAndStop({"--no-progress", "--verbose", "--log-dir", (dir / "logs").string(), "convert", "--to", c.format,
                                  "--dest", (dir / "out").string(), (dir / "big.mbox").string()},
                                 c.signal);
        EXPECT_EQ(run.status, 128 + c.signal) << c.format;
        std::smatch match;
        ASSERT_TRUE(std::regex_search(run.output, match,
                                      std::regex("\nSaving Process Stopped\\. ([0-9]+) email items were saved\\. "
                                                 "destination folder path is: [^\n]*\n")))
            << c.format << '\n' << run.output.substr(run.output.size() - std::min<std::size_t>(run.output.size(), 2000));
        EXPECT_EQ(run.output.find("Saving Process Completed"), std::string::npos) << c.format;
        const std::size_t saved = std::stoul(match[1]);
        EXPECT_GT(saved, 0u) << c.format;
        EXPECT_LT(saved, static_cast<std::size_t>(kMessages)) << c.format;
        EXPECT_NE(run.output.find("\nStopped: saved "), std::string::npos) << c.format;
        EXPECT_NE(run.output.find(" of 30,000 messages from 1 mailbox to "), std::string::npos) << c.format;

        if (std::string(c.format) == "eml") {
            EXPECT_EQ(countFiles(dir / "out", ".eml"), saved);
        } else if (store_test::hasProgram("readpst")) {
            fs::create_directories(dir / "read");
            store_test::CommandResult read = runCommand("readpst -q -j 0 -e -o " + shellQuote((dir / "read").string()) + " " +
                                                        shellQuote((dir / "out" / "big.mbox.pst").string()));
            EXPECT_EQ(read.status, 0) << read.output;
            EXPECT_EQ(countFiles(dir / "read", ".eml"), saved);
        }
    }
}
