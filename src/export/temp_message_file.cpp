#include "export/temp_message_file.h"

#include <cstdio>
#include <filesystem>

#include "platform/file_output.h"
#include "platform/paths.h"

namespace exporter {

TempMessageFile::~TempMessageFile() {
    if (current_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(platform::nativePath(current_), ignored);
}

bool TempMessageFile::write(const std::u16string& path, std::string_view bytes) {
    if (!current_.empty() && current_ != path &&
        std::rename(platform::nativePath(current_).c_str(), platform::nativePath(path).c_str()) != 0) {
        std::error_code ignored;
        std::filesystem::remove(platform::nativePath(current_), ignored);
    }
    current_ = path;
    return platform::rewriteFileInPlace(path, bytes);
}

}  // namespace exporter
