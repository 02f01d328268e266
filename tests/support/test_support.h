#pragma once
// Helpers shared by the tests: scratch folders, file writing, the shared corpus and a message recorder.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_message.h"

namespace testing_support {

// A fresh folder under the system temporary folder, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// The shared corpus folder (KELVA_SHARED_DIR/corpus), when present.
std::optional<std::filesystem::path> sharedCorpus();
// The repository's own folder (KELVA_SOURCE_DIR).
std::filesystem::path sourceDir();

// Every regular file under a folder, sorted.
std::vector<std::filesystem::path> filesUnder(const std::filesystem::path& folder);

struct RecordedMessage {
    unsigned message;
    platform::WParam wParam;
    platform::LParam lParam;
};

// A message target that records what it receives.
class RecordingTarget : public platform::MessageTarget {
public:
    platform::LParam sendMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override {
        messages.push_back({message, wParam, lParam});
        return 0;
    }
    std::vector<RecordedMessage> messages;
};

}  // namespace testing_support
