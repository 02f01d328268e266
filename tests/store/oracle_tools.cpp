#include "oracle_tools.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace store_test {

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::optional<std::string> pythonWithOlefile() {
    static const std::optional<std::string> found = []() -> std::optional<std::string> {
        for (const char* candidate : {"/usr/bin/python3", "python3"}) {
            if (runCommand(std::string(candidate) + " -c 'import olefile'").status == 0) return std::string(candidate);
        }
        return std::nullopt;
    }();
    return found;
}

bool hasProgram(const std::string& name) {
    return runCommand("command -v " + shellQuote(name) + " >/dev/null").status == 0;
}

std::optional<std::filesystem::path> oracleDir() {
    const char* shared = std::getenv("KELVA_SHARED_DIR");
    if (!shared || !*shared) return std::nullopt;
    std::filesystem::path dir = std::filesystem::path(shared) / "tools" / "oracle";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return std::nullopt;
    return dir;
}

}  // namespace store_test
