#include "support/test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("kelva-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::optional<std::filesystem::path> sharedCorpus() {
    const char* shared = std::getenv("KELVA_SHARED_DIR");
    if (!shared) return std::nullopt;
    std::filesystem::path corpus = std::filesystem::path(shared) / "corpus";
    if (!std::filesystem::is_directory(corpus)) return std::nullopt;
    return corpus;
}

std::filesystem::path sourceDir() {
    const char* source = std::getenv("KELVA_SOURCE_DIR");
    return source ? std::filesystem::path(source) : std::filesystem::path(KELVA_SOURCE_DIR_DEFAULT);
}

std::vector<std::filesystem::path> filesUnder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file()) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testing_support
