#include "unseen_mail.h"

#include <algorithm>

#include "oracle_tools.h"
#include "support/test_support.h"

namespace store_test {

namespace fs = std::filesystem;

namespace {

// The email test messages of the newest Python test suite installed.
std::vector<fs::path> pythonEmailMessages() {
    std::vector<fs::path> found;
    std::error_code ec;
    std::vector<fs::path> suites;
    for (const auto& entry : fs::directory_iterator("/usr/lib", ec)) {
        const std::string name = entry.path().filename().string();
        const fs::path data = entry.path() / "test" / "test_email" / "data";
        if (name.starts_with("python3") && fs::is_directory(data, ec)) suites.push_back(data);
    }
    if (suites.empty()) return found;
    std::sort(suites.begin(), suites.end());
    for (const auto& entry : fs::directory_iterator(suites.back(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("msg_") && name.ends_with(".txt")) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::vector<UnseenMailSet> unseenMail(const fs::path& into) {
    std::vector<UnseenMailSet> sets;
    const fs::path shapes = into / "shapes";
    const fs::path generator = testing_support::sourceDir() / "tests" / "store" / "message_shapes.py";
    if (hasProgram("python3") &&
        runCommand("python3 " + shellQuote(generator.string()) + " " + shellQuote(shapes.string())).status == 0)
        sets.push_back({"shapes", shapes});
    const std::vector<fs::path> python = pythonEmailMessages();
    if (!python.empty()) {
        const fs::path folder = into / "python-email";
        fs::create_directories(folder);
        for (const fs::path& file : python) fs::copy_file(file, folder / (file.stem().string() + ".eml"));
        sets.push_back({"python-email", folder});
    }
    return sets;
}

}  // namespace store_test
