#include "platform/paths.h"

#include <filesystem>
#include <system_error>

#include "platform/codepage.h"

namespace platform {

std::u16string fileNameOf(std::u16string_view path) {
    auto pos = path.rfind(kSeparator);
    if (pos == std::u16string_view::npos) return {};
    return std::u16string(path.substr(pos + 1));
}

std::u16string folderOf(std::u16string_view path) {
    auto pos = path.rfind(kSeparator);
    if (pos == std::u16string_view::npos) return {};
    return std::u16string(path.substr(0, pos));
}

bool isAbsolute(std::u16string_view path) { return !path.empty() && path.front() == kSeparator; }

std::u16string relativeToRoot(std::u16string_view path) {
    std::size_t start = 0;
    while (start < path.size() && path[start] == kSeparator) ++start;
    return std::u16string(path.substr(start));
}

std::u16string withTrailingSeparator(std::u16string_view folder) {
    std::u16string out(folder);
    if (out.empty() || out.back() != kSeparator) out.push_back(kSeparator);
    return out;
}

std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
    if (folder.empty()) return std::u16string(name);
    std::size_t start = 0;
    while (start < name.size() && name[start] == kSeparator) ++start;
    return withTrailingSeparator(folder) + std::u16string(name.substr(start));
}

std::string nativePath(std::u16string_view path) { return utf16ToUtf8(path); }
std::u16string fromNativePath(std::string_view path) { return utf8ToUtf16(path); }

bool fileExists(std::u16string_view path) {
    std::error_code ec;
    auto st = std::filesystem::status(nativePath(path), ec);
    return !ec && std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

bool folderExists(std::u16string_view path) {
    std::error_code ec;
    return std::filesystem::is_directory(nativePath(path), ec);
}

bool createFolders(std::u16string_view path) {
    std::error_code ec;
    std::filesystem::create_directories(nativePath(path), ec);
    return folderExists(path);
}

}  // namespace platform
