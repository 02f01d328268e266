#pragma once
// Access to the independent readers used as oracles (olefile, msgconvert, the shared oracle scripts);
// tests skip themselves when a reader is absent.
#include <filesystem>
#include <optional>
#include <string>

namespace store_test {

struct CommandResult {
    int status = -1;
    std::string output;  // stdout and stderr together
};

CommandResult runCommand(const std::string& command);
std::string shellQuote(const std::string& text);

// A Python interpreter that can import olefile (the system one first).
std::optional<std::string> pythonWithOlefile();
bool hasProgram(const std::string& name);
// The shared oracle folder (KELVA_SHARED_DIR/tools/oracle), when present.
std::optional<std::filesystem::path> oracleDir();

}  // namespace store_test
